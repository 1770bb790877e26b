#include "FileReader.h"

#include <cstdio>
#include <filesystem>
#include <stdexcept>

bool FileReader::read(const std::string& path, std::string& bytes, std::string& fault) {
    bytes.clear();
    // A folder opens as a stream on some systems and reads as nothing, which would pass
    // for an empty file; on others it fails to open. Either way it is named for what it is.
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        fault = "is a folder, not a file";
        return false;
    }
    // C streams: nothing here throws, whatever the path names.
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        fault = "cannot open the file";
        return false;
    }
    char chunk[16384];
    std::size_t count = 0;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.append(chunk, count);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        bytes.clear();
        fault = "cannot read the file";
        return false;
    }
    return true;
}

std::string FileReader::readOrThrow(const std::string& path) {
    std::string bytes;
    std::string fault;
    if (!read(path, bytes, fault)) {
        throw std::runtime_error(path + ": " + fault);
    }
    return bytes;
}
