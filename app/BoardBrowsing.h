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
// shared once (standard output, and a link under the picture in a browser).
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

    // The page address of a run: "{board}/?run=ID".
    static std::string runAddress(const std::string& boardUrl, long long runId);

private:
    // A key's press, or its run-on while held (row keys only), once per call.
    bool acted(BrowseKey key, std::uint32_t now, bool repeats);
    void showRun(Game& game, BoardLink& board, bool onTitle);
    void share(BoardLink& board);

    PlayerFile& player_;
    std::string url_;
    bool started_ = false;
    BoardBrowser browser_;
    Mode shownMode_ = Mode::Normal;
    Difficulty shownDifficulty_ = Difficulty::Hard;
    bool held_[5] = {};
    std::uint32_t nextRepeat_[5] = {};
};
