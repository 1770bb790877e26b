#pragma once

#include <filesystem>
#include <string>

// A data folder of a test's own, for the whole game or a loader that reads "data/...":
// a fresh folder under the scratch folder whose data/ holds the project's files as links
// (copies where links are refused, as Windows may do), and which is the working directory
// while the object lives. A test replaces the files it is about; the working directory is
// restored and the folder removed at the end.
class ScratchDataFolder {
public:
    // name: the folder's name under TestFiles::folder(), unique among the live ones.
    explicit ScratchDataFolder(const std::string& name);
    ~ScratchDataFolder();
    ScratchDataFolder(const ScratchDataFolder&) = delete;
    ScratchDataFolder& operator=(const ScratchDataFolder&) = delete;

    // Replaces a file, given from the folder's root ("data/cars.json"), with these bytes.
    void write(const std::string& path, const std::string& bytes);
    // Takes a file away: its path no longer names anything.
    void remove(const std::string& path);
    const std::filesystem::path& root() const { return root_; }

private:
    std::filesystem::path root_;
    std::filesystem::path previous_;
};
