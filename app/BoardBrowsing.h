#pragma once

#include "Gamepad.h"
#include "game/BoardBrowser.h"
#include "game/Game.h"
#include "link/BoardLink.h"
#include "link/PlayerFile.h"

#include <cstdint>
#include <string>

// The online board's runs on the title and game-over screens, through BoardLink: the table
// browsed through the top hundred of the shown board, this week or all time, with the
// player's own rows marked; the highlighted row watched with T (a controller's Back); a
// run named by its number watched at start (--watch, ?watch= in a browser), after its
// re-play under the rules matched the board's score; and each accepted run's page address
// shared once (standard output, and a link under the picture in a browser). Also the roads
// a run competes on: the day's road (D), ranked on the day's table with the day's leading
// run as the ghost, and a challenge (C) of a watched or highlighted run, played on its
// road, unranked, with it as the ghost; and the player's place under the table ("YOU 5432
// OF 98113"), whose rows around it HOME browses.
class BoardBrowsing {
public:
    // How long a held row key waits before it runs on, and then between rows.
    static constexpr std::uint32_t kRepeatAfterMilliseconds = 400;
    static constexpr std::uint32_t kRepeatEveryMilliseconds = 80;

    explicit BoardBrowsing(PlayerFile& player);

    // The board's address, as given, for the runs' page addresses; runId, when not empty,
    // is fetched to be watched first.
    void start(const std::string& boardUrl, BoardLink& board, const std::string& runId);
    // The season browsed, whose table the board link reads.
    Season season() const { return browser_.season(); }

    // Once a frame before the ticks: the answers, the browse keys, the table shown and a
    // fetched run put on screen. watchPressed is T's press; true when it was taken here
    // (a board run is being fetched for it).
    bool follow(Game& game, BoardLink& board, bool onTitle, bool watchPressed, std::uint32_t now);

    // Whether a browse key was held at the last follow: the player is at the screen.
    bool browsing() const;

    // Once a frame before follow: D's and C's presses (a controller's left stick press is
    // both: a challenge where there is a run to challenge, else the day's road).
    void compete(Game& game, BoardLink& board, bool onTitle, bool dailyPressed, bool challengePressed,
                 std::uint32_t now);
    // The seed the next run must start with for the challenge on; false when none is on.
    bool challengeSeed(std::uint32_t& seed) const;
    // "DAILY 05:12:33 LEFT": the time until the next road from msToEnd, the day's end less now.
    static std::string dailyLine(long long msToEnd);

    // The page address of a run: "{board}/?run=ID".
    static std::string runAddress(const std::string& boardUrl, long long runId);

private:
    // A key's press, or its run-on while held (row keys only), once per call.
    bool acted(BrowseKey key, std::uint32_t now, bool repeats);
    void showRun(Game& game, BoardLink& board, bool onTitle);
    void share(BoardLink& board);
    // What a fetched run is for.
    enum class Fetch { Watch, Challenge, Ghost };
    void fetchFor(BoardLink& board, Fetch purpose, long long runId);
    // The rows browsed: the shown season's table, or the rows around the player's place.
    const std::vector<BoardRow>& table(const BoardLink& board, Mode mode, Difficulty difficulty) const;
    void challenge(Game& game, const RunRecord& record, const std::string& caption);
    void endCompeting(Game& game);
    std::string roadLine(const BoardLink& board, Mode mode, Difficulty difficulty) const;

    PlayerFile& player_;
    std::string url_;
    bool started_ = false;
    BoardBrowser browser_;
    Mode shownMode_ = Mode::Normal;
    Difficulty shownDifficulty_ = Difficulty::Hard;
    bool held_[kBrowseKeyCount] = {};
    std::uint32_t nextRepeat_[kBrowseKeyCount] = {};

    Fetch fetch_ = Fetch::Watch;
    bool daily_ = false;
    long long ghostRunId_ = 0;
    bool challenging_ = false;
    RunStart challengeRoad_;
    std::string challengeCaption_;
};
