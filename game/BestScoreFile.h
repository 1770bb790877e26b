#pragma once

#include "game/BestScores.h"

#include <string>

// Where the best scores live between runs of the game: "best.json" in the player's data
// folder. A damaged file is set aside as "best.json.bad" and play starts from zero; a folder
// that cannot be written is reported once and the game plays on. Saving replaces the file
// atomically, so the last best is never lost.
class BestScoreFile {
public:
    // $XDG_DATA_HOME/tamq4pelrok (else ~/.local/share/tamq4pelrok), or %APPDATA%\tamq4pelrok
    // on Windows, /tamq4pelrok in a browser. Empty when the environment names no home at all.
    static std::string defaultFolder();

    explicit BestScoreFile(std::string folder);

    const std::string& path() const { return path_; }

    // The stored bests; zero for all when there is no file or it is damaged (reported).
    BestScores load();
    // Writes the bests. False when the folder or file cannot be written; only the first
    // failure is reported.
    bool save(const BestScores& scores);

private:
    void reportOnce(const std::string& line);

    std::string folder_;
    std::string path_;
    bool reported_ = false;
};
