// The start-up every entry point shares, run whole on SDL's offscreen driver.

#include "app/GameSession.h"
#include "app/MainLoop.h"

#include "support/TestFiles.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

class Session : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("SDL_VIDEODRIVER") == nullptr) {
            setenv("SDL_VIDEODRIVER", "offscreen", 1);
        }
        // The player's own best scores stay out of reach.
        setenv("XDG_DATA_HOME", (TestFiles::folder() + "/session-saves").c_str(), 1);
        previous_ = std::filesystem::current_path();
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

    std::filesystem::path previous_;
};

// Runs frames until the window closes, asking it to after a few; the frames run.
int playUntilClosed(GameSession& session) {
    int frames = 0;
    while (session.frame()) {
        if (++frames == 5) {
            SDL_Event quit{};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
        }
        if (frames > 100) {
            ADD_FAILURE() << "the window never closed";
            return frames;
        }
    }
    return frames;
}

} // namespace

TEST_F(Session, OptionsThatEndTheProgramNeverOpenAWindow) {
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
        const char* output;
    } cases[] = {
        {{"--help"}, 0, "--fullscreen"},
        {{"--version"}, 0, "TAMQ 4 Pelrok"},
        {{"--frobnicate"}, 2, "--frobnicate"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments[0]);
        GameSession session;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_FALSE(session.prepare(c.arguments));
        EXPECT_EQ(GameSession::run(c.arguments), c.exitCode);
        const std::string text = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
        EXPECT_EQ(session.exitCode(), c.exitCode);
        EXPECT_NE(text.find(c.output), std::string::npos) << text;
        EXPECT_FALSE(session.window().isRunning());
    }
}

TEST_F(Session, OptionsReachTheWindowAndTheFirstFrameIsAnnouncedOnce) {
    const struct {
        std::vector<std::string> arguments;
        bool muted;
        bool fullscreen;
    } cases[] = {
        {{"--data", TAMQ_SOURCE_DIR}, false, false},
        {{"--mute", "--data", TAMQ_SOURCE_DIR}, true, false},
        {{"--data", TAMQ_SOURCE_DIR, "--fullscreen"}, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments[0] + " " + c.arguments.back());
        GameSession session;
        ASSERT_TRUE(session.prepare(c.arguments));
        testing::internal::CaptureStdout();
        if (!session.start()) {
            testing::internal::GetCapturedStdout();
            GTEST_SKIP() << "no OpenGL window here";
        }
        EXPECT_EQ(session.window().isMuted(), c.muted);
        EXPECT_EQ(session.window().isFullscreen(), c.fullscreen);
        EXPECT_FALSE(session.game().running()) << "the title screen comes first";
        EXPECT_GE(playUntilClosed(session), 5);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, std::string(kFirstFrameLine) + "\n");
        EXPECT_EQ(session.exitCode(), 0);
        EXPECT_FALSE(session.frame()) << "nothing runs after the close";
    }
}
