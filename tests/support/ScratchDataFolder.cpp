#include "ScratchDataFolder.h"

#include "TestFiles.h"

#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

ScratchDataFolder::ScratchDataFolder(const std::string& name)
    : root_(fs::path(TestFiles::folder()) / name), previous_(fs::current_path()) {
    fs::remove_all(root_);
    const fs::path source = previous_ / "data";
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(source)) {
        const fs::path target = root_ / "data" / fs::relative(entry.path(), source);
        if (entry.is_directory()) {
            fs::create_directories(target);
            continue;
        }
        fs::create_directories(target.parent_path());
        std::error_code linkError;
        fs::create_symlink(entry.path(), target, linkError);
        if (linkError) {
            fs::copy_file(entry.path(), target);
        }
    }
    fs::current_path(root_);
}

ScratchDataFolder::~ScratchDataFolder() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
    fs::remove_all(root_, ignored);
}

void ScratchDataFolder::write(const std::string& path, const std::string& bytes) {
    remove(path);
    fs::create_directories((root_ / path).parent_path());
    std::ofstream file(root_ / path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void ScratchDataFolder::remove(const std::string& path) {
    std::error_code ignored;
    fs::remove_all(root_ / path, ignored);
}
