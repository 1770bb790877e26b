#pragma once

#include "game/BestScores.h"
#include "io/FileWriteQueue.h"
#include "io/RunRecord.h"

#include <atomic>
#include <string>

// Where the best scores live between runs of the game: "best.json" in the player's data
// folder, and beside it the record of each best run ("best-run-normal-hard.rec" and so on),
// to be watched again. A damaged file is set aside with ".bad" appended and play starts
// from zero (or without that run); a folder that cannot be written is reported once and the
// game plays on. Saving replaces a file atomically, so the last best is never lost.
class BestScoreFile {
public:
    // The folder is the player's data folder, chosen by the platform (app/Platform.h); an
    // empty one keeps nothing.
    explicit BestScoreFile(std::string folder);

    const std::string& path() const { return path_; }

    // The stored bests; zero for all when there is no file or it is damaged (reported).
    BestScores load();
    // Writes the bests, or queues them. False when the folder cannot be made or written to
    // (a failure of a queued write is reported when it happens); only the first failure is
    // reported.
    bool save(const BestScores& scores);

    // Where the saves are written: off the game's thread when the shell gives a started
    // queue, which must outlive this file's saves. Without one they are written at once.
    void setWriter(FileWriteQueue* writer) { writer_ = writer != nullptr ? writer : &ownWriter_; }

    // Called with the file's path after each save that wrote it (on the writer's thread):
    // where the folder lives elsewhere too (the browser's IndexedDB), the platform copies it there.
    using SavedHook = void (*)(const std::string& path);
    void setSavedHook(SavedHook hook) { savedHook_ = hook; }

    // "best-run-normal-hard.rec", "best-run-random-easy.rec" and so on.
    static std::string runFileName(Mode mode, Difficulty difficulty);
    std::string runPath(Mode mode, Difficulty difficulty) const;
    // The kept best run of that way to play: false when there is none, or it is damaged
    // (reported and set aside).
    bool loadRun(Mode mode, Difficulty difficulty, RunRecord& record);
    // Keeps the record as the best run of its mode and difficulty. False when it cannot be
    // written (reported once, like the scores).
    bool saveRun(const RunRecord& record);

private:
    void reportOnce(const std::string& line);
    // Moves a damaged file to path + ".bad" and says so: what was wrong, and what play does without it.
    static void setAside(const std::string& path, const std::string& fault, const std::string& without);
    bool writeFile(const std::string& path, std::string_view content, const char* what);

    std::string folder_;
    std::string path_;
    std::atomic<bool> reported_ = false;
    SavedHook savedHook_ = nullptr;
    FileWriteQueue ownWriter_;
    FileWriteQueue* writer_ = &ownWriter_;
};
