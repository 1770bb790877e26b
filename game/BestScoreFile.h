#pragma once

#include "game/BestScores.h"

#include <string>

// Where the best scores live between runs of the game: "best.json" in the player's data
// folder. A damaged file is set aside as "best.json.bad" and play starts from zero; a folder
// that cannot be written is reported once and the game plays on. Saving replaces the file
// atomically, so the last best is never lost.
class BestScoreFile {
public:
    // The folder is the player's data folder, chosen by the platform (app/Platform.h); an
    // empty one keeps nothing.
    explicit BestScoreFile(std::string folder);

    const std::string& path() const { return path_; }

    // The stored bests; zero for all when there is no file or it is damaged (reported).
    BestScores load();
    // Writes the bests. False when the folder or file cannot be written; only the first
    // failure is reported.
    bool save(const BestScores& scores);

    // Called with the file's path after each save that wrote it: where the folder lives
    // elsewhere too (the browser's IndexedDB), the platform copies it there.
    using SavedHook = void (*)(const std::string& path);
    void setSavedHook(SavedHook hook) { savedHook_ = hook; }

private:
    void reportOnce(const std::string& line);

    std::string folder_;
    std::string path_;
    bool reported_ = false;
    SavedHook savedHook_ = nullptr;
};
