#include "app/TouchControls.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The game keys a frame of the page holds, as initials ("S12LRUD"), then "P" for the pause,
// "W" for watching the best run and "B" the board's.
std::string held(unsigned pageBits, float x, float y) {
    Gamepad pad;
    TouchControls::addFrame(pad, pageBits, x, y);
    const GameKey keys[] = {GameKey::Space, GameKey::F1,    GameKey::F2,  GameKey::Left,
                            GameKey::Right, GameKey::Up,    GameKey::Down};
    const char names[] = "S12LRUD";
    std::string result;
    for (int i = 0; i < 7; ++i) {
        if (pad.holds(keys[i])) {
            result += names[i];
        }
    }
    result += pad.holdsStart() ? "P" : "";
    result += pad.holds(WatchKey::Best) ? "W" : "";
    result += pad.holds(WatchKey::Daily) && pad.holds(WatchKey::Challenge) ? "C" : "";
    return pad.holds(WatchKey::Board) ? result + "B" : result;
}

TEST(TouchControls, APageFrameReadsAsTheKeysItStandsFor) {
    struct Case {
        unsigned bits;
        float x, y; // the stick as the page gives it: y grows down the screen
        const char* keys;
    };
    using T = TouchControls;
    const Case cases[] = {
        {0, 0.0f, 0.0f, ""},
        {T::kPageStart, 0.0f, 0.0f, "S"},
        {T::kPageMode, 0.0f, 0.0f, "1"},
        {T::kPagePattern, 0.0f, 0.0f, "2"},
        // The pause button is the pause, no game key.
        {T::kPagePause, 0.0f, 0.0f, "P"},
        {T::kPageMode | T::kPagePattern | T::kPageStart, 0.0f, 0.0f, "S12"},
        // A thumb slid up the screen drives the truck up, down drives it down.
        {0, 0.0f, -1.0f, "U"},
        {0, 0.0f, 0.6f, "D"},
        {0, -0.8f, 0.0f, "L"},
        {0, 1.0f, 0.0f, "R"},
        {0, -0.7f, -0.7f, "LU"},
        {0, 0.7f, 0.7f, "RD"},
        // A thumb resting near where it landed steers nothing.
        {0, 0.2f, -0.2f, ""},
        {T::kPagePause, -1.0f, 0.0f, "LP"},
        // The watch buttons are the shell's, as a controller's B and Back.
        {T::kPageWatch, 0.0f, 0.0f, "W"},
        {T::kPageBoardWatch, 0.0f, 0.0f, "B"},
        {T::kPageWatch | T::kPageBoardWatch | T::kPageStart, 0.0f, 0.0f, "SWB"},
        // DAILY/RACE is the left stick's press: the day's road, or a challenge where one is.
        {T::kPageCompete, 0.0f, 0.0f, "C"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(held(c.bits, c.x, c.y), c.keys) << "page bits " << c.bits << ", stick " << c.x << ", " << c.y;
    }
}

TEST(TouchControls, TheTouchControllerAddsToTheOthers) {
    Gamepad pad;
    pad.add(Gamepad::kA, 0.0f, 0.0f);
    TouchControls::addFrame(pad, 0, 0.0f, 0.0f);
    EXPECT_TRUE(pad.holds(GameKey::Space));
    TouchControls::addFrame(pad, 0, 1.0f, 0.0f);
    EXPECT_TRUE(pad.holds(GameKey::Right));
}

} // namespace
