#pragma once

#include "Gamepad.h"

// The browser page's touch controls (web/touch.js) as one more game controller: the thumb's
// stick steers like the left stick, the EASY/HARD and NORMAL/RANDOM buttons are X and Y,
// the pause button is Start, the watch buttons are B and Back, DAILY/RACE is a press on the
// left stick, and a thumb put down while
// no run is on is A. So a phone
// reaches the rules and the pause the way a key or a pad does. The page keeps what the
// fingers did; the game takes it once a frame, so every reading in a frame agrees and a
// press shorter than a frame still counts for one. Outside a browser there is no page:
// beginFrame and addTo do nothing.
class TouchControls {
public:
    // What the page answers for a frame, bit by bit (touch.js names them too).
    enum PageBit : unsigned {
        kPageStart = 1u << 0,
        kPageMode = 1u << 1,
        kPagePattern = 1u << 2,
        kPagePause = 1u << 3,
        kPageWatch = 1u << 4,
        kPageBoardWatch = 1u << 5,
        // DAILY/RACE: the day's road, or a challenge of the watched or highlighted run.
        kPageCompete = 1u << 6,
        // The board's table: a row up, a row down, the season (the shoulders, the right stick).
        kPageRowUp = 1u << 8,
        kPageRowDown = 1u << 9,
        kPageSeason = 1u << 10,
    };

    // Takes the fingers' frame from the page, told whether a run is going on and whether
    // the game is paused (a thumb put down then starts nothing), and whether the game has
    // an online board (whose best run the page then offers to watch).
    static void beginFrame(bool runOn, bool paused, bool board);
    // Adds the frame taken by beginFrame to the controllers; nothing on a page without them.
    static void addTo(Gamepad& pad);

    // Adds one frame of the page: its bits, and its stick with y growing down the screen.
    static void addFrame(Gamepad& pad, unsigned pageBits, float stickX, float stickY);
};
