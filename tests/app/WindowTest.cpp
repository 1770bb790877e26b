#include "app/Platform.h"
#include "app/Window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace {

std::vector<std::pair<int, int>> sizes;

void recordSize(void*, int width, int height) { sizes.emplace_back(width, height); }

class WindowMessages : public ::testing::Test {
protected:
    void SetUp() override {
        sizes.clear();
        window.setResizeCallback(recordSize, nullptr);
    }
    Window window;
};

TEST_F(WindowMessages, OnlyTheFirstEscKeyDownOfAPressTogglesThePause) {
    window.handleMessage(WindowMessage::KeyDown, kEscapeKey);
    EXPECT_FALSE(window.isActive());
    // ESC held: the auto-repeats are further key-downs, marked as repeats.
    window.handleMessage(WindowMessage::KeyDown, kEscapeKey, kKeyRepeated);
    window.handleMessage(WindowMessage::KeyDown, kEscapeKey, kKeyRepeated);
    EXPECT_FALSE(window.isActive());
    window.handleMessage(WindowMessage::KeyUp, kEscapeKey);
    window.handleMessage(WindowMessage::KeyDown, kEscapeKey);
    EXPECT_TRUE(window.isActive());
}

TEST_F(WindowMessages, F11AndAltEnterSwitchFullscreenOncePerPress) {
    window.handleMessage(WindowMessage::KeyDown, kFullscreenKey);
    EXPECT_TRUE(window.isFullscreen());
    window.handleMessage(WindowMessage::KeyDown, kFullscreenKey, kKeyRepeated);
    EXPECT_TRUE(window.isFullscreen());
    // Enter alone is no switch.
    window.handleMessage(WindowMessage::KeyDown, kReturnKey);
    EXPECT_TRUE(window.isFullscreen());
    window.handleMessage(WindowMessage::KeyDown, kReturnKey, kKeyWithAlt);
    EXPECT_FALSE(window.isFullscreen());
    window.handleMessage(WindowMessage::KeyDown, kReturnKey, kKeyWithAlt | kKeyRepeated);
    EXPECT_FALSE(window.isFullscreen());
    EXPECT_TRUE(window.isActive());
}

TEST_F(WindowMessages, StartOnAControllerTogglesThePauseOnItsPressOnly) {
    Gamepad start;
    start.add(Gamepad::kStart, 0.0f, 0.0f);
    Gamepad other;
    other.add(Gamepad::kA, 0.0f, 0.0f);
    window.setGamepad(start);
    EXPECT_FALSE(window.isActive());
    // Held over many frames, with other buttons coming and going.
    window.setGamepad(start);
    Gamepad both = start;
    both.add(Gamepad::kA, 0.0f, 0.0f);
    window.setGamepad(both);
    EXPECT_FALSE(window.isActive());
    window.setGamepad(other);
    EXPECT_FALSE(window.isActive());
    window.setGamepad(start);
    EXPECT_TRUE(window.isActive());
    EXPECT_TRUE(window.gamepad().holdsStart());
}

TEST_F(WindowMessages, ExposingOrResizingAsksForARedraw) {
    EXPECT_FALSE(window.needsRedraw());
    window.handleMessage(WindowMessage::Expose);
    EXPECT_TRUE(window.needsRedraw());
    Window resized;
    resized.handleMessage(WindowMessage::Size, 640, 480);
    EXPECT_TRUE(resized.needsRedraw());
}

TEST_F(WindowMessages, KeyUpsAndOtherKeysLeaveThePauseAlone) {
    window.handleMessage(WindowMessage::KeyUp, kEscapeKey);
    EXPECT_TRUE(window.isActive());
    window.handleMessage(WindowMessage::KeyDown, ' ');
    window.handleMessage(WindowMessage::KeyDown, 'q');
    EXPECT_TRUE(window.isActive());
    window.handleMessage(WindowMessage::KeyDown, kEscapeKey);
    window.handleMessage(WindowMessage::KeyUp, kEscapeKey);
    EXPECT_FALSE(window.isActive());
}

TEST_F(WindowMessages, EachPressOfMTogglesTheSoundOnceHoweverLongItIsHeld) {
    EXPECT_FALSE(window.isMuted());
    window.handleMessage(WindowMessage::KeyDown, kMuteKey);
    EXPECT_TRUE(window.isMuted());
    window.handleMessage(WindowMessage::KeyDown, kMuteKey, kKeyRepeated);
    window.handleMessage(WindowMessage::KeyDown, kMuteKey, kKeyRepeated);
    EXPECT_TRUE(window.isMuted()) << "auto-repeats of a held M";
    window.handleMessage(WindowMessage::KeyUp, kMuteKey);
    window.handleMessage(WindowMessage::KeyDown, kMuteKey);
    EXPECT_FALSE(window.isMuted());
    EXPECT_TRUE(window.isActive());
}

TEST_F(WindowMessages, SizesReachTheGameIncludingMinimisedAndRestored) {
    window.handleMessage(WindowMessage::Size, 1280, 720);
    window.handleMessage(WindowMessage::Size, 0, 0);
    window.handleMessage(WindowMessage::Size, 1280, 720);
    window.handleMessage(WindowMessage::Size, 800, 450);
    const std::vector<std::pair<int, int>> expected = {{1280, 720}, {0, 0}, {1280, 720}, {800, 450}};
    EXPECT_EQ(sizes, expected);
}

TEST_F(WindowMessages, SizeWithNoGameAttachedIsIgnored) {
    window.setGame(nullptr);
    EXPECT_TRUE(window.handleMessage(WindowMessage::Size, 640, 360));
    EXPECT_TRUE(sizes.empty());
}

TEST_F(WindowMessages, CloseAndDestroyStopTheLoopWithoutDefaultHandling) {
    for (WindowMessage closing : {WindowMessage::Close, WindowMessage::Destroy}) {
        Window w;
        EXPECT_FALSE(w.handleMessage(closing));
        EXPECT_FALSE(w.isRunning());
        EXPECT_FALSE(w.hasContext());
        // A second close (SDL sends both a window close and a quit) changes nothing.
        EXPECT_FALSE(w.handleMessage(closing));
        EXPECT_FALSE(w.isRunning());
    }
}

TEST_F(WindowMessages, AGameKeyPressedSinceTheLastQuestionCountsOnceUnlessThePauseOrFocusChanged) {
    const struct {
        const char* what;
        bool pausedBefore;
        GameKey pressed;
        void (*between)(Window&);
        bool counts;
    } cases[] = {
        {"a tap of SPACE", false, GameKey::Space, [](Window&) {}, true},
        {"a tap of an arrow", false, GameKey::Left, [](Window&) {}, true},
        {"a tap, then auto-repeats and the release", false, GameKey::F2,
         [](Window& w) {
             w.latchNativeKey(nativeKeyOf(GameKey::F2));
             w.handleMessage(WindowMessage::KeyUp, kOtherKey);
         },
         true},
        {"a tap while paused, then the resume", true, GameKey::Space,
         [](Window& w) { w.handleMessage(WindowMessage::KeyDown, kEscapeKey); }, false},
        {"a tap, then the pause", false, GameKey::F1,
         [](Window& w) { w.handleMessage(WindowMessage::KeyDown, kEscapeKey); }, false},
        {"a tap, then another program takes the keyboard", false, GameKey::Right,
         [](Window& w) { w.handleMessage(WindowMessage::FocusLost); }, false},
        {"a tap, then Start on a controller", false, GameKey::Up,
         [](Window& w) {
             Gamepad pad;
             pad.add(Gamepad::kStart, 0.0f, 0.0f);
             w.setGamepad(pad);
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Window fresh;
        if (c.pausedBefore) {
            fresh.handleMessage(WindowMessage::KeyDown, kEscapeKey);
        }
        fresh.latchNativeKey(nativeKeyOf(c.pressed));
        c.between(fresh);
        for (GameKey key : kGameKeys) {
            EXPECT_EQ(fresh.takeLatchedKey(key), c.counts && key == c.pressed) << static_cast<int>(key);
        }
        EXPECT_FALSE(fresh.takeLatchedKey(c.pressed)) << "answered once";
    }
    // Keys the game does not use latch nothing.
    window.latchNativeKey(nativeKeyOf(GameKey::Space) + 1000);
    window.latchNativeKey(0);
    for (GameKey key : kGameKeys) {
        EXPECT_FALSE(window.takeLatchedKey(key));
    }
}

// R and T latch as the game keys do: a tap between two frames' questions counts once,
// for its own watching only, unless the pause or the focus changed in between.
TEST_F(WindowMessages, AWatchKeyTappedBetweenTwoQuestionsCountsOnce) {
    const struct {
        const char* what;
        WatchKey pressed;
        WindowMessage between;
        int argument;
        bool counts;
    } cases[] = {
        {"a tap of R", WatchKey::Best, WindowMessage::KeyUp, kOtherKey, true},
        {"a tap of T", WatchKey::Board, WindowMessage::KeyUp, kOtherKey, true},
        {"a tap of R, then the pause", WatchKey::Best, WindowMessage::KeyDown, kEscapeKey, false},
        {"a tap of T, then another program takes the keyboard", WatchKey::Board, WindowMessage::FocusLost, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Window fresh;
        fresh.latchNativeKey(nativeKeyOf(c.pressed));
        fresh.handleMessage(c.between, c.argument);
        for (WatchKey key : kWatchKeys) {
            EXPECT_EQ(fresh.takeLatchedKey(key), c.counts && key == c.pressed);
        }
        EXPECT_FALSE(fresh.takeLatchedKey(c.pressed)) << "answered once";
        for (GameKey key : kGameKeys) {
            EXPECT_FALSE(fresh.takeLatchedKey(key));
        }
    }
}

// A clock the tests set by hand.
std::uint32_t fakeNow = 0;
std::uint32_t fakeClock() { return fakeNow; }

class FrameTimer : public ::testing::Test {
protected:
    void SetUp() override {
        window.setClock(fakeClock);
    }
    // Makes `start` the previous reading.
    void startAt(std::uint32_t start) {
        fakeNow = start;
        window.elapsedSeconds();
    }
    Window window;
};

TEST_F(FrameTimer, ReturnsSecondsSinceThePreviousReading) {
    startAt(5000);
    fakeNow = 5016;
    EXPECT_FLOAT_EQ(window.elapsedSeconds(), 0.016f);
    fakeNow = 5016;
    EXPECT_FLOAT_EQ(window.elapsedSeconds(), 0.0f);
    fakeNow = 8016;
    EXPECT_FLOAT_EQ(window.elapsedSeconds(), 3.0f);
}

TEST_F(FrameTimer, WrapOfTheMillisecondCounterStillGivesASmallPositiveStep) {
    startAt(0xFFFFFFF0u);
    fakeNow = 0x00000010u;
    EXPECT_FLOAT_EQ(window.elapsedSeconds(), 0.032f);
    startAt(0xFFFFFFFFu);
    fakeNow = 0;
    EXPECT_FLOAT_EQ(window.elapsedSeconds(), 0.001f);
}

} // namespace
