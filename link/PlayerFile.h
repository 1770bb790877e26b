#pragma once

#include "io/FileWriteQueue.h"
#include "vocab/PlayerKey.h"
#include "sim/RunState.h"

#include <atomic>
#include <map>
#include <set>
#include <string>

// Who the player is to the online board, kept in "player.json" in the player's data folder
// beside the best scores: the name they gave last time, the install's player key (a random
// secret made once, which ties their runs together on the board; the board keeps only its
// hash), their public id on the board as it told it (learnt once, from a run of theirs) and
// their own best accepted score on each board, as the board answered it. A
// damaged file is kept aside as "player.json.broken" rather than overwritten with a new
// key, and play starts afresh. Saving replaces the file atomically.
class PlayerFile {
public:
    // The length of the player keys it makes.
    static constexpr int kKeyLength = PlayerKey::kMadeLength;

    // The folder is the player's data folder (app/Platform.h); an empty one keeps nothing,
    // and the key then lasts as long as the program.
    explicit PlayerFile(std::string folder);

    const std::string& path() const { return path_; }

    // Reads the file, and makes and saves a key when there is none. A damaged file is
    // reported in one line and set aside.
    void load();

    const std::string& name() const { return name_; }
    const std::string& playerKey() const { return playerKey_; }
    // The board's public id of the player; empty until the board told it.
    const std::string& playerId() const { return playerId_; }
    // The player's best accepted score on a board; -1 when none is known.
    int boardScore(Mode mode, Difficulty difficulty) const;

    // Each saves the file when it changes something.
    void setName(const std::string& name);
    // An id that is none (BoardNumbers::isPlayerId) is not kept.
    void setPlayerId(const std::string& playerId);
    void setBoardScore(Mode mode, Difficulty difficulty, int score);
    // The board's numbers of the player's accepted runs, the latest kOwnRuns of them: the
    // rows the board table marks as the player's own.
    static constexpr std::size_t kOwnRuns = 64;
    const std::set<long long>& ownRuns() const { return ownRuns_; }
    void addOwnRun(long long runId);

    // Where the saves are written: off the game's thread when the shell gives a started
    // queue, which must outlive this file's saves. Without one they are written at once.
    void setWriter(FileWriteQueue* writer) { writer_ = writer != nullptr ? writer : &ownWriter_; }

    // Called with the file's path after each save, on the writer's thread (the browser
    // copies it to its storage).
    using SavedHook = void (*)(const std::string& path);
    void setSavedHook(SavedHook hook) { savedHook_ = hook; }

    // "normal-hard" and so on, as the file keeps the boards.
    static std::string boardName(Mode mode, Difficulty difficulty);
    // A new player key: kKeyLength characters of A-Z, a-z and 0-9 from std::random_device.
    static std::string makeKey();

    // The file's text, and the other way round: false with fault set (nothing changed) when
    // it is no JSON object, or a member is of the wrong kind or out of range.
    std::string toJson() const;
    bool fromJson(const std::string& text, std::string& fault);

private:
    bool save();

    std::string folder_;
    std::string path_;
    std::string name_;
    std::string playerKey_;
    std::string playerId_;
    std::map<std::string, int> boards_;
    std::set<long long> ownRuns_;
    std::atomic<bool> reported_ = false;
    SavedHook savedHook_ = nullptr;
    FileWriteQueue ownWriter_;
    FileWriteQueue* writer_ = &ownWriter_;
};
