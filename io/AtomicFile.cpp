#include "AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
int openForWriting(const std::string& path) {
    return _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int writeSome(int fd, const char* data, std::size_t size) {
    return _write(fd, data, static_cast<unsigned>(size));
}
int flushToDisk(int fd) { return _commit(fd); }
int closeFile(int fd) { return _close(fd); }
bool renameOver(const std::string& from, const std::string& to, std::string& fault) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    fault = "cannot rename the new file over the old one (Windows error " + std::to_string(GetLastError()) + ")";
    return false;
}
void flushFolder(const std::string&) {}
#else
int openForWriting(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644); }
int writeSome(int fd, const char* data, std::size_t size) { return static_cast<int>(::write(fd, data, size)); }
int flushToDisk(int fd) { return ::fsync(fd); }
int closeFile(int fd) { return ::close(fd); }
bool renameOver(const std::string& from, const std::string& to, std::string& fault) {
    if (std::rename(from.c_str(), to.c_str()) == 0) {
        return true;
    }
    fault = std::string("cannot rename the new file over the old one: ") + std::strerror(errno);
    return false;
}
// The rename itself lives in the folder: flushing the folder makes it last.
void flushFolder(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
#endif

}  // namespace

bool AtomicFile::replace(const std::string& path, std::string_view content, std::string& fault) {
    const std::string temporary = temporaryPath(path);
    const int fd = openForWriting(temporary);
    if (fd < 0) {
        fault = std::string("cannot create ") + temporary + ": " + std::strerror(errno);
        return false;
    }
    std::size_t written = 0;
    while (written < content.size()) {
        const int count = writeSome(fd, content.data() + written, content.size() - written);
        if (count <= 0) {
            break;
        }
        written += static_cast<std::size_t>(count);
    }
    const bool complete = written == content.size() && flushToDisk(fd) == 0;
    const int error = errno;
    if (closeFile(fd) != 0 || !complete) {
        fault = std::string("cannot write ") + temporary + ": " + std::strerror(complete ? errno : error);
        std::remove(temporary.c_str());
        return false;
    }
    if (!renameOver(temporary, path, fault)) {
        std::remove(temporary.c_str());
        return false;
    }
    flushFolder(path);
    return true;
}
