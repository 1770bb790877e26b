#include "ContentFolder.h"

#include "vocab/ContentPaths.h"

namespace fs = std::filesystem;

namespace {

// Options arrive as UTF-8 on every platform; Windows paths are wide.
fs::path fromUtf8(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }

std::string toUtf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool holdsData(const fs::path& folder) {
    std::error_code error;
    return fs::is_directory(folder / ContentPaths::kDataFolder, error);
}

} // namespace

std::vector<fs::path> ContentFolder::candidates(const std::string& dataOption, const fs::path& workingDirectory,
                                                const fs::path& executableFolder,
                                                const std::string& installedRelative) {
    if (!dataOption.empty()) {
        fs::path given = (workingDirectory / fromUtf8(dataOption)).lexically_normal();
        if (!given.has_filename()) {
            given = given.parent_path();  // a trailing separator
        }
        // The data folder itself was named: its parent holds it.
        if (!holdsData(given) && given.filename() == ContentPaths::kDataFolder) {
            given = given.parent_path();
        }
        return {given};
    }
    return {workingDirectory.lexically_normal(), (executableFolder / installedRelative).lexically_normal()};
}

bool ContentFolder::enter(const std::vector<fs::path>& candidates) {
    for (const fs::path& candidate : candidates) {
        if (!holdsData(candidate)) {
            continue;
        }
        std::error_code failure;
        fs::current_path(candidate, failure);
        if (failure) {
            error = "Cannot enter the game's content folder " + toUtf8(candidate) + ": " + failure.message();
            return false;
        }
        folder = candidate;
        return true;
    }
    error = "Cannot find the game's data folder; looked for";
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        error += (i == 0 ? " " : ", ") + toUtf8(candidates[i] / ContentPaths::kDataFolder);
    }
    return false;
}
