#include "app/MainLoop.h"
#include "game/GameInput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace {

std::vector<std::string> journal;

// A window whose timer readings and per-iteration events are scripted.
struct FakeWindow {
    std::deque<float> readings;  // returned by elapsedSeconds, in order
    float laterReading = 0.016f; // once the script runs out
    // Called on each pump with the 1-based iteration number.
    std::function<void(FakeWindow&, int)> onPump = [](FakeWindow&, int) {};
    bool running = true;
    bool active = true;
    bool createResult = true;
    int iteration = 0;
    int timerReads = 0;
    int swaps = 0;
    void* game = nullptr;

    void setGame(void* g) {
        game = g;
        journal.push_back("setGame");
    }
    bool create(int width, int height, int bits, bool fullscreen) {
        journal.push_back("create " + std::to_string(width) + "x" + std::to_string(height) + " " +
                          std::to_string(bits) + (fullscreen ? " fullscreen" : " windowed"));
        return createResult;
    }
    void destroy() { journal.push_back("destroy"); }
    bool isRunning() const { return running; }
    bool isActive() const { return active; }
    void pumpMessages() {
        ++iteration;
        onPump(*this, iteration);
    }
    float elapsedSeconds() {
        ++timerReads;
        journal.push_back("timer");
        if (readings.empty()) {
            return laterReading;
        }
        const float reading = readings.front();
        readings.pop_front();
        return reading;
    }
    void swapBuffers() { ++swaps; }
};

struct FakeGame {
    std::vector<float> steps;
    std::vector<bool> spaceHeld;  // as each update saw it
    int renders = 0;
    bool initResult = true;
    GameInput keys;

    GameInput& input() { return keys; }
    bool init() {
        journal.push_back("init");
        return initResult;
    }
    void update(float dt) {
        steps.push_back(dt);
        spaceHeld.push_back(keys.isDown(GameKey::Space));
    }
    void render() { ++renders; }
    void releaseTextures() { journal.push_back("releaseTextures"); }
};

void closeAt(FakeWindow& window, int iteration, int closing) {
    if (iteration == closing) {
        window.running = false;
    }
}

TEST(MainLoop, FramesUnderAMillisecondApartWaitUntilTheMinimumStepHasAccumulated) {
    FakeWindow window;
    FakeGame game;
    window.readings = {0.0004f, 0.0003f, 0.0002f, 0.0004f, 0.020f};
    window.onPump = [](FakeWindow& w, int i) { closeAt(w, i, 2); };
    runMainLoop(window, game, nullptr);

    ASSERT_EQ(game.steps.size(), 2u);
    EXPECT_GE(game.steps[0], kMinimumTimeStep);
    EXPECT_NEAR(game.steps[0], 0.0013f, 1e-6f);
    EXPECT_FLOAT_EQ(game.steps[1], 0.020f);
    EXPECT_EQ(window.timerReads, 5);
}

TEST(MainLoop, PauseStopsUpdateAndRenderButKeepsSwappingAndReadingTheTimer) {
    FakeWindow window;
    FakeGame game;
    // Iteration 1 plays; ESC at 2 pauses for three iterations of half a second each; ESC
    // at 5 resumes, so iterations 5 and 6 play again.
    window.readings = {0.016f, 0.5f, 0.5f, 0.5f, 0.017f, 0.018f};
    window.onPump = [](FakeWindow& w, int i) {
        if (i == 2 || i == 5) {
            w.active = !w.active;
        }
        closeAt(w, i, 6);
    };
    runMainLoop(window, game, nullptr);

    EXPECT_EQ(window.swaps, 6);
    EXPECT_EQ(window.timerReads, 6);
    EXPECT_EQ(game.renders, 3);
    ASSERT_EQ(game.steps.size(), 3u);
    EXPECT_FLOAT_EQ(game.steps[0], 0.016f);
    // The first step after the pause is one iteration long, not the pause's 1.5 s.
    EXPECT_FLOAT_EQ(game.steps[1], 0.017f);
    EXPECT_FLOAT_EQ(game.steps[2], 0.018f);
}

TEST(MainLoop, ClosingFinishesTheCurrentIterationAndStops) {
    FakeWindow window;
    FakeGame game;
    window.onPump = [](FakeWindow& w, int i) { closeAt(w, i, 3); };
    runMainLoop(window, game, nullptr);

    EXPECT_EQ(window.iteration, 3);
    EXPECT_EQ(game.steps.size(), 3u);
    EXPECT_EQ(game.renders, 3);
    EXPECT_EQ(window.swaps, 3);
}

// The keyboard as the platform reports it: SPACE is down from the third reading on.
int keyboardReadings = 0;
bool spaceFromThirdReading(GameKey key) {
    if (key == GameKey::Space) {
        ++keyboardReadings;
        return keyboardReadings >= 3;
    }
    return false;
}

TEST(MainLoop, KeysAreReadBeforeEachUpdateAndNotWhilePaused) {
    FakeWindow window;
    FakeGame game;
    // A key a test left held must not survive the first poll.
    game.keys.hold(GameKey::F1);
    keyboardReadings = 0;
    window.onPump = [](FakeWindow& w, int i) {
        w.active = i != 2;
        closeAt(w, i, 4);
    };
    runMainLoop(window, game, spaceFromThirdReading);

    EXPECT_EQ(keyboardReadings, 3) << "one reading per update, none in the paused iteration";
    EXPECT_EQ(game.spaceHeld, (std::vector<bool>{false, false, true}));
    EXPECT_FALSE(game.keys.isDown(GameKey::F1));
}

TEST(MainLoop, PausedWindowNeverSpinsOnTheTimer) {
    FakeWindow window;
    FakeGame game;
    window.active = false;
    window.readings = {0.0f, 0.0f, 0.0f};
    window.onPump = [](FakeWindow& w, int i) { closeAt(w, i, 3); };
    runMainLoop(window, game, nullptr);

    EXPECT_EQ(window.timerReads, 3);
    EXPECT_TRUE(game.steps.empty());
    EXPECT_EQ(window.swaps, 3);
}

// Start-up and shutdown around the loop.

std::string missingEntryPoints;
std::vector<std::string> shownErrors;

std::string fakeLoadEntryPoints() {
    journal.push_back("load");
    return missingEntryPoints;
}
void fakeFixedState() { journal.push_back("fixedState"); }
void fakeShowError(const char* text) { shownErrors.push_back(text); }
bool fakeKeyQuery(GameKey) { return true; }

const StartupServices fakeServices{fakeLoadEntryPoints, fakeFixedState, fakeShowError, fakeKeyQuery};

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        journal.clear();
        shownErrors.clear();
        missingEntryPoints.clear();
        window.onPump = [](FakeWindow& w, int i) { closeAt(w, i, 2); };
    }
    FakeWindow window;
    FakeGame game;
};

TEST_F(Startup, NormalRunWiresTheGameFirstAndTearsDownInOrder) {
    EXPECT_EQ(runGame(window, game, fakeServices), 0);

    EXPECT_EQ(window.game, &game);
    EXPECT_TRUE(game.keys.isDown(GameKey::Space)) << "the platform's keyboard reaches the game";
    const std::vector<std::string> expected = {
        "setGame", "create 1280x720 32 windowed", "load", "fixedState", "init",
        "timer", // loading time, discarded
        "timer", "timer", "releaseTextures", "destroy"};
    EXPECT_EQ(journal, expected);
    EXPECT_TRUE(shownErrors.empty());
    // The discarded reading never reaches the game.
    EXPECT_EQ(game.steps.size(), 2u);
}

TEST_F(Startup, WindowThatCannotBeCreatedNeverInitialisesTheGame) {
    window.createResult = false;
    testing::internal::CaptureStderr();
    EXPECT_EQ(runGame(window, game, fakeServices), 1);
    const std::string err = testing::internal::GetCapturedStderr();

    const std::vector<std::string> expected = {"setGame", "create 1280x720 32 windowed", "destroy"};
    EXPECT_EQ(journal, expected);
    ASSERT_EQ(shownErrors.size(), 1u);
    EXPECT_EQ(shownErrors[0], "Unable to create the OpenGL Window");
    EXPECT_NE(err.find("Unable to create the OpenGL Window"), std::string::npos);
    EXPECT_EQ(window.iteration, 0);
}

TEST_F(Startup, MissingEntryPointsStopStartUpNamingTheFunctions) {
    missingEntryPoints = "glGenBuffers glUseProgram";
    testing::internal::CaptureStderr();
    EXPECT_EQ(runGame(window, game, fakeServices), 1);
    const std::string err = testing::internal::GetCapturedStderr();

    ASSERT_EQ(shownErrors.size(), 1u);
    EXPECT_EQ(shownErrors[0], "Could not initialize the application");
    EXPECT_NE(err.find("glGenBuffers glUseProgram"), std::string::npos);
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "init"), 0);
    EXPECT_EQ(journal.back(), "destroy");
}

TEST_F(Startup, FailedGameInitReportsAndExitsWithoutRunningTheLoop) {
    game.initResult = false;
    testing::internal::CaptureStderr();
    EXPECT_EQ(runGame(window, game, fakeServices), 1);
    const std::string err = testing::internal::GetCapturedStderr();

    ASSERT_EQ(shownErrors.size(), 1u);
    EXPECT_EQ(shownErrors[0], "Could not initialize the application");
    EXPECT_NE(err.find("Could not initialize the application"), std::string::npos);
    EXPECT_EQ(window.iteration, 0);
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "releaseTextures"), 0);
    EXPECT_EQ(journal.back(), "destroy");
}

} // namespace
