#include "app/Gamepad.h"
#include "app/TouchControls.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

namespace {

constexpr GameKey kAllKeys[] = {GameKey::Space, GameKey::F1,    GameKey::F2,  GameKey::Left,
                                GameKey::Right, GameKey::Up,    GameKey::Down};

// The game keys a gamepad holds, as a string of initials: "S12LRUD".
std::string held(const Gamepad& pad) {
    const char names[] = "S12LRUD";
    std::string result;
    for (int i = 0; i < 7; ++i) {
        if (pad.holds(kAllKeys[i])) {
            result += names[i];
        }
    }
    return result;
}

Gamepad with(unsigned buttons, float x = 0.0f, float y = 0.0f) {
    Gamepad pad;
    pad.add(buttons, x, y);
    return pad;
}

TEST(Gamepad, FaceButtonsAndTheDpadAreTheGameKeys) {
    EXPECT_EQ(held(Gamepad{}), "");
    EXPECT_EQ(held(with(Gamepad::kA)), "S");
    EXPECT_EQ(held(with(Gamepad::kX)), "1");
    EXPECT_EQ(held(with(Gamepad::kY)), "2");
    EXPECT_EQ(held(with(Gamepad::kDpadLeft | Gamepad::kDpadUp)), "LU");
    EXPECT_EQ(held(with(Gamepad::kDpadRight | Gamepad::kDpadDown)), "RD");
    // Start is the pause, not a game key.
    EXPECT_EQ(held(with(Gamepad::kStart)), "");
    EXPECT_TRUE(with(Gamepad::kStart).holdsStart());
    EXPECT_FALSE(with(Gamepad::kA).holdsStart());
    // B watches the best run: the shell's key, never the rules'.
    EXPECT_EQ(held(with(Gamepad::kB)), "");
    EXPECT_TRUE(with(Gamepad::kB).holds(WatchKey::Best));
    EXPECT_FALSE(with(Gamepad::kStart).holds(WatchKey::Best));
    // Back watches the online board's best run; Y stays the mode switch.
    EXPECT_EQ(held(with(Gamepad::kBack)), "");
    EXPECT_TRUE(with(Gamepad::kBack).holds(WatchKey::Board));
    EXPECT_FALSE(with(Gamepad::kB | Gamepad::kY).holds(WatchKey::Board));
    EXPECT_FALSE(with(Gamepad::kBack).holds(WatchKey::Best));
}

TEST(Gamepad, TheLeftStickSteersOnlyPastAQuarterOfItsTravel) {
    EXPECT_EQ(held(with(0, -0.24f, 0.24f)), "");
    EXPECT_EQ(held(with(0, 0.25f, -0.25f)), "");
    EXPECT_EQ(held(with(0, -0.26f, 0.0f)), "L");
    EXPECT_EQ(held(with(0, 0.0f, 0.3f)), "U");
    EXPECT_EQ(held(with(0, 1.0f, -1.0f)), "RD");
    // A diagonal steers on both axes, as two arrows would.
    EXPECT_EQ(held(with(0, -0.7f, 0.7f)), "LU");
}

TEST(Gamepad, EveryConnectedControllerCounts) {
    Gamepad pad;
    pad.add(Gamepad::kA, 0.0f, 0.0f);
    pad.add(0, -1.0f, 0.0f);
    pad.add(Gamepad::kStart, 0.1f, 0.0f);
    EXPECT_EQ(held(pad), "SL");
    EXPECT_TRUE(pad.holdsStart());
}

TEST(Gamepad, AnXInputStateReadsAsTheSameKeys) {
    // XInput's buttons: d-pad 0x1 up, 0x2 down, 0x4 left, 0x8 right; 0x10 Start;
    // 0x1000 A, 0x2000 B, 0x4000 X, 0x8000 Y. Its thumb y grows upwards.
    const auto xinput = [](std::uint16_t buttons, std::int16_t x, std::int16_t y) {
        Gamepad pad;
        pad.addXInput(buttons, x, y);
        return pad;
    };
    EXPECT_EQ(held(xinput(0x1000, 0, 0)), "S");
    EXPECT_EQ(held(xinput(0x4000 | 0x8000, 0, 0)), "12");
    // B only watches; the shoulder buttons do nothing.
    EXPECT_EQ(held(xinput(0x2000 | 0x0100 | 0x0200, 0, 0)), "");
    EXPECT_TRUE(xinput(0x2000, 0, 0).holds(WatchKey::Best));
    EXPECT_FALSE(xinput(0x0100 | 0x0200, 0, 0).holds(WatchKey::Best));
    // Back (0x20) watches the board's best run.
    EXPECT_EQ(held(xinput(0x0020, 0, 0)), "");
    EXPECT_TRUE(xinput(0x0020, 0, 0).holds(WatchKey::Board));
    EXPECT_FALSE(xinput(0x2000 | 0x8000, 0, 0).holds(WatchKey::Board));
    // The left thumb's press (0x40) is the day's road or a challenge, never the best run.
    EXPECT_TRUE(xinput(0x0040, 0, 0).holds(WatchKey::Daily));
    EXPECT_TRUE(xinput(0x0040, 0, 0).holds(WatchKey::Challenge));
    EXPECT_FALSE(xinput(0x0040 | 0x0080, 0, 0).holds(WatchKey::Best));
    EXPECT_EQ(held(xinput(0x0001 | 0x0004, 0, 0)), "LU");
    EXPECT_EQ(held(xinput(0x0002 | 0x0008, 0, 0)), "RD");
    EXPECT_TRUE(xinput(0x0010, 0, 0).holdsStart());
    EXPECT_EQ(held(xinput(0, -32768, 32767)), "LU");
    EXPECT_EQ(held(xinput(0, 8000, -8000)), "");
    EXPECT_EQ(held(xinput(0, 9000, -9000)), "RD");
}

} // namespace

// The board table's browse keys: the shoulders and the right stick's press, from the common
// layout, from XInput's bits and from the touch page; they drive no game key.
TEST(Gamepad, TheShouldersAndTheRightStickBrowseTheOnlineTopList) {
    const auto touched = [](unsigned pageBits) {
        Gamepad pad;
        TouchControls::addFrame(pad, pageBits, 0, 0);
        return pad;
    };
    const struct {
        const char* what;
        Gamepad pad;
        const char* browse;  // U row up, D row down, S season
    } cases[] = {
        {"left shoulder", [] { Gamepad p; p.add(Gamepad::kLeftShoulder, 0, 0); return p; }(), "U"},
        {"right shoulder", [] { Gamepad p; p.add(Gamepad::kRightShoulder, 0, 0); return p; }(), "D"},
        {"right stick", [] { Gamepad p; p.add(Gamepad::kRightStick | Gamepad::kA, 0, 0); return p; }(), "S"},
        {"face buttons", [] { Gamepad p; p.add(Gamepad::kB | Gamepad::kBack | Gamepad::kY, 0, 0); return p; }(), ""},
        {"XInput shoulders", [] { Gamepad p; p.addXInput(0x0100 | 0x0200, 0, 0); return p; }(), "UD"},
        {"XInput thumbs", [] { Gamepad p; p.addXInput(0x0080 | 0x0040, 0, 0); return p; }(), "S"},
        {"touch row buttons", touched(TouchControls::kPageRowUp | TouchControls::kPageRowDown), "UD"},
        {"touch season", touched(TouchControls::kPageSeason), "S"},
    };
    for (const auto& c : cases) {
        std::string browse;
        for (const auto& [key, letter] : {std::pair{BrowseKey::RowUp, 'U'}, std::pair{BrowseKey::RowDown, 'D'},
                                          std::pair{BrowseKey::Season, 'S'}, std::pair{BrowseKey::PageUp, 'p'},
                                          std::pair{BrowseKey::PageDown, 'n'}}) {
            if (c.pad.holdsBrowse(key)) {
                browse += letter;
            }
        }
        EXPECT_EQ(browse, c.browse) << c.what;
        EXPECT_FALSE(c.pad.holds(GameKey::Up) || c.pad.holds(GameKey::Down)) << c.what;
    }
}
