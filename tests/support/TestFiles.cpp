#include "TestFiles.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

struct ScratchFolder {
    std::filesystem::path path;
    ScratchFolder() {
        path = std::filesystem::temp_directory_path() / ("tamq-tests-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

ScratchFolder& scratch() {
    static ScratchFolder folder;
    return folder;
}

}  // namespace

std::string TestFiles::folder() { return scratch().path.string(); }

std::string TestFiles::write(const std::string& name, const std::string& bytes) {
    std::filesystem::path path = scratch().path / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

std::string TestFiles::write(const std::string& name, const std::vector<unsigned char>& bytes) {
    return write(name, std::string(bytes.begin(), bytes.end()));
}

std::string TestFiles::missing(const std::string& name) {
    return (scratch().path / "missing" / name).string();
}

std::string TestFiles::readAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}
