#pragma once

#include "sim/GameKeys.h"

#include <cstdint>

// What the player's game controllers hold in one frame, merged over every connected one
// and read as game keys: the d-pad and the left stick steer like the arrows, A (the bottom
// face button) is SPACE, X is F1, Y is F2. Start pauses like ESC, so the window, not the
// rules, watches it; B is R, the shell's key to watch the best run, and Back (Select) is T,
// the key to watch the online board's best run. Each backend reads its controllers into
// one of these once a frame.
// The shell's keys to watch a recorded run: R (the player's best run) and T (the board's);
// and to choose the road of the next run: D (the day's road, ranked on the day's table)
// and C (challenge the watched or highlighted board run: its road, with it as the ghost).
// The rules never see them; they latch like the game keys.
enum class WatchKey { Best, Board, Daily, Challenge };
inline constexpr WatchKey kWatchKeys[] = {WatchKey::Best, WatchKey::Board, WatchKey::Daily, WatchKey::Challenge};

// The shell's keys that browse the online board's table on the title and game-over screens:
// a row up or down (PAGE UP and PAGE DOWN, a controller's left and right shoulders, held
// to run on), five rows up or down ([ and ]), this week or all time (W, a press on the
// right stick) and the rows around the player's own place and back (HOME).
enum class BrowseKey { RowUp, RowDown, PageUp, PageDown, Season, Around };
inline constexpr int kBrowseKeyCount = 6;

class Gamepad {
public:
    // A controller's buttons in the common layout, whatever the backend calls them.
    enum Button : unsigned {
        kA = 1u << 0,
        kX = 1u << 1,
        kY = 1u << 2,
        kStart = 1u << 3,
        kDpadLeft = 1u << 4,
        kDpadRight = 1u << 5,
        kDpadUp = 1u << 6,
        kDpadDown = 1u << 7,
        kB = 1u << 8,
        kBack = 1u << 9,
        kLeftShoulder = 1u << 10,
        kRightShoulder = 1u << 11,
        kRightStick = 1u << 12,
        kLeftStick = 1u << 13,
    };
    // The share of its full travel a stick must lean before it steers: worn sticks rest
    // well off the centre.
    static constexpr float kDeadZone = 0.25f;

    // Adds one controller: its buttons and its left stick, each axis from -1 to 1, y up.
    void add(unsigned buttons, float stickX, float stickY);
    // Adds one XInput controller from the fields of its XINPUT_GAMEPAD.
    void addXInput(std::uint16_t buttons, std::int16_t thumbX, std::int16_t thumbY);

    bool holds(GameKey key) const { return (keys_ & bitOf(key)) != 0; }
    bool holdsStart() const { return start_; }
    // B, Back, and a press on the left stick for both Daily and Challenge: the shell takes it
    // as a challenge where there is a run to challenge, and as the day's road elsewhere.
    bool holds(WatchKey key) const;
    bool holdsBrowse(BrowseKey key) const;

private:
    static unsigned bitOf(GameKey key) { return 1u << static_cast<unsigned>(key); }

    unsigned keys_ = 0;
    bool start_ = false;
    unsigned watch_ = 0;
    unsigned browse_ = 0;
};
