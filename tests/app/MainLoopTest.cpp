#include "app/MainLoop.h"
#include "game/Game.h"
#include "sim/GameInput.h"

#include "support/HeadlessGl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>
#include <memory>
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
    bool redraw = false;
    bool createResult = true;
    int iteration = 0;
    int timerReads = 0;
    int swaps = 0;
    std::vector<int> waits;
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
    bool needsRedraw() const { return redraw; }
    void waitForMessages(int milliseconds) { waits.push_back(milliseconds); }
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
    void swapBuffers() {
        ++swaps;
        redraw = false;
    }
};

struct FakeGame {
    std::vector<float> steps;
    std::vector<bool> spaceHeld;  // as each frame's ticks saw it
    std::vector<int> ticks;
    int renders = 0;
    bool initResult = true;
    GameInput keys;
    TickClock clock{Simulation::kTickRate};

    GameInput& input() { return keys; }
    bool init() {
        journal.push_back("init");
        return initResult;
    }
    int ticksFor(float dt) {
        steps.push_back(dt);
        return clock.advance(dt);
    }
    void runTicks(int count) {
        ticks.push_back(count);
        if (count > 0) {
            spaceHeld.push_back(keys.isDown(GameKey::Space));
        }
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
    window.onPump = [](FakeWindow& w, int i) { closeAt(w, i, 3); };
    runMainLoop(window, game, nullptr);

    ASSERT_EQ(game.steps.size(), 2u);
    EXPECT_GE(game.steps[0], kMinimumTimeStep);
    EXPECT_NEAR(game.steps[0], 0.0013f, 1e-6f);
    EXPECT_FLOAT_EQ(game.steps[1], 0.020f);
    EXPECT_EQ(window.timerReads, 6);
}

TEST(MainLoop, PauseStopsUpdateRenderAndSwapButKeepsReadingTheTimerAndWaitsForMessages) {
    FakeWindow window;
    FakeGame game;
    // Iteration 1 plays; ESC at 2 pauses for three iterations of half a second each; ESC
    // at 5 resumes, so iterations 5 and 6 play again.
    window.readings = {0.016f, 0.5f, 0.5f, 0.5f, 0.017f, 0.018f};
    window.onPump = [](FakeWindow& w, int i) {
        if (i == 2 || i == 5) {
            w.active = !w.active;
        }
        closeAt(w, i, 7);
    };
    runMainLoop(window, game, nullptr);

    // Only drawn frames are presented: a swap of an undrawn back buffer would show a
    // stale frame on drivers that do not keep it.
    EXPECT_EQ(window.swaps, 3);
    EXPECT_EQ(window.timerReads, 7);
    EXPECT_EQ(game.renders, 3);
    // Paused, each iteration sleeps on the message queue for about a display refresh.
    EXPECT_EQ(window.waits, std::vector<int>(3, kPausedWaitMilliseconds));
    EXPECT_LE(kPausedWaitMilliseconds, 17);
    ASSERT_EQ(game.steps.size(), 3u);
    EXPECT_FLOAT_EQ(game.steps[0], 0.016f);
    // The first step after the pause is one iteration long, not the pause's 1.5 s.
    EXPECT_FLOAT_EQ(game.steps[1], 0.017f);
    EXPECT_FLOAT_EQ(game.steps[2], 0.018f);
}

TEST(MainLoop, TheIterationThatSeesTheCloseDrawsAndPresentsNothing) {
    for (bool active : {true, false}) {
        FakeWindow window;
        FakeGame game;
        window.active = active;
        window.redraw = true;
        window.onPump = [](FakeWindow& w, int i) {
            if (i == 3) {
                w.redraw = true;
            }
            closeAt(w, i, 3);
        };
        runMainLoop(window, game, nullptr);

        EXPECT_EQ(window.iteration, 3);
        EXPECT_EQ(game.steps.size(), active ? 2u : 0u);
        EXPECT_EQ(game.renders, active ? 2 : 1);
        EXPECT_EQ(window.swaps, game.renders);
        EXPECT_EQ(window.waits.size(), active ? 0u : 2u);
    }
}

TEST(MainLoop, LongStallsReachTheGameAsATenthOfASecond) {
    FakeWindow window;
    FakeGame game;
    window.readings = {2.0f, 0.1f, 0.25f, 0.016f};
    window.onPump = [](FakeWindow& w, int i) { closeAt(w, i, 5); };
    runMainLoop(window, game, nullptr);

    const std::vector<float> expected = {kMaximumTimeStep, 0.1f, kMaximumTimeStep, 0.016f};
    EXPECT_EQ(game.steps, expected);
}

TEST(MainLoop, PausedWindowDrawsTheFrozenSceneOnceWhenItShowsStalePixels) {
    FakeWindow window;
    FakeGame game;
    window.active = false;
    // Uncovered at iteration 2, resized at 4.
    window.onPump = [](FakeWindow& w, int i) {
        w.redraw = w.redraw || i == 2 || i == 4;
        closeAt(w, i, 6);
    };
    runMainLoop(window, game, nullptr);

    EXPECT_TRUE(game.steps.empty());
    EXPECT_EQ(game.renders, 2);
    EXPECT_EQ(window.swaps, 2);
    EXPECT_EQ(window.waits.size(), 5u);
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
        closeAt(w, i, 5);
    };
    runMainLoop(window, game, spaceFromThirdReading);

    EXPECT_EQ(keyboardReadings, 3) << "one reading per update, none in the paused iteration";
    EXPECT_EQ(game.spaceHeld, (std::vector<bool>{false, false, true}));
    EXPECT_FALSE(game.keys.isDown(GameKey::F1));
}

TEST(MainLoop, KeysAreReadOnlyInFramesThatRunATick) {
    FakeWindow window;
    FakeGame game;
    keyboardReadings = 0;
    // 2 ms frames: a tick (1/240 s) falls due every second or third frame.
    window.readings = std::deque<float>(12, 0.002f);
    window.onPump = [](FakeWindow& w, int i) { closeAt(w, i, 13); };
    runMainLoop(window, game, spaceFromThirdReading);

    int ticks = 0;
    int framesWithTicks = 0;
    for (int count : game.ticks) {
        ticks += count;
        framesWithTicks += count > 0 ? 1 : 0;
    }
    EXPECT_EQ(ticks, 5) << "24 ms of frames";
    EXPECT_EQ(keyboardReadings, framesWithTicks);
    EXPECT_EQ(game.renders, 12) << "every frame is drawn, between its last two ticks";
}

// The real rules behind the real loop, at any frame rate: a frame's keys go to each of
// its ticks, and the run is recorded from its start tick on.
struct RulesGame {
    Simulation sim;
    TickClock clock{Simulation::kTickRate};
    GameInput keys;
    std::vector<RunStart> starts;
    std::vector<std::uint64_t> hashes;  // from the last start tick on

    GameInput& input() { return keys; }
    int ticksFor(float dt) { return clock.advance(dt); }
    void runTicks(int count) {
        for (int i = 0; i < count; ++i) {
            sim.tick(keys);
            if (sim.events().has(GameEvent::Started)) {
                starts.push_back(sim.runStart());
                hashes.clear();
            }
            if (sim.run().running) {
                hashes.push_back(sim.stateHash());
            }
        }
    }
    void render() {}
};

// Keys by wall time, in sixths of a second: every frame rate tested has a frame there.
struct TimedKeys {
    int fromSixth;
    int toSixth;
    GameKey key;
};
constexpr TimedKeys kWallScript[] = {
    {12, 13, GameKey::F1},      {21, 22, GameKey::Space},   {21, 30, GameKey::Left},
    {33, 45, GameKey::Right},   {48, 52, GameKey::Up},      {50, 70, GameKey::Left},
    {75, 80, GameKey::Down},    {84, 110, GameKey::Right},  {115, 117, GameKey::F2},
    {120, 150, GameKey::Left},  {130, 160, GameKey::Up},    {170, 230, GameKey::Right},
    {240, 300, GameKey::Left},  {310, 311, GameKey::Space}, {320, 380, GameKey::Right},
    {390, 395, GameKey::Down},  {400, 460, GameKey::Left},  {470, 540, GameKey::Right},
};
int framesPerSecond = 60;
int frameNumber = 0;
bool scriptedKey(GameKey key) {
    for (const TimedKeys& timed : kWallScript) {
        // The frame's time is frameNumber / framesPerSecond.
        if (timed.key == key && frameNumber * 6 >= timed.fromSixth * framesPerSecond &&
            frameNumber * 6 < timed.toSixth * framesPerSecond) {
            return true;
        }
    }
    return false;
}

TEST(MainLoop, OneWallClockScriptPlaysTheSameRunAtThirtySixtyAndAHundredFortyFourFrames) {
    constexpr int kSeconds = 95;
    std::vector<std::unique_ptr<RulesGame>> games;
    for (int fps : {30, 60, 144}) {
        framesPerSecond = fps;
        frameNumber = 0;
        auto game = std::make_unique<RulesGame>();
        game->sim.setNextSeed(2024);
        ASSERT_TRUE(game->sim.init());
        FakeWindow window;
        window.laterReading = 1.0f / static_cast<float>(fps);
        window.onPump = [fps](FakeWindow& w, int i) {
            frameNumber = i;
            closeAt(w, i, kSeconds * fps + 1);
        };
        runMainLoop(window, *game, scriptedKey);
        games.push_back(std::move(game));
    }
    const RulesGame& reference = *games[1];
    ASSERT_EQ(reference.starts.size(), 3u) << "SPACE, F2 and SPACE again during the run";
    EXPECT_EQ(reference.starts.back().mode, Mode::Random);
    EXPECT_EQ(reference.starts.back().difficulty, Difficulty::Easy);
    for (const auto& game : games) {
        EXPECT_EQ(game->starts, reference.starts);
        // The frame rate only moves where the wall clock's end falls: by a few ticks.
        const std::size_t common = std::min(game->hashes.size(), reference.hashes.size());
        ASSERT_GT(common + 8, std::max(game->hashes.size(), reference.hashes.size()));
        for (std::size_t tick = 0; tick < common; ++tick) {
            ASSERT_EQ(game->hashes[tick], reference.hashes[tick]) << "tick " << tick << " of the last run";
        }
    }
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
    EXPECT_EQ(window.swaps, 0);
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
    // The discarded reading never reaches the game; the closing iteration updates nothing.
    EXPECT_EQ(game.steps.size(), 1u);
}

TEST_F(Startup, FullscreenIsAskedOfTheWindowAtCreation) {
    StartupServices services = fakeServices;
    services.fullscreen = true;
    EXPECT_EQ(runGame(window, game, services), 0);
    EXPECT_EQ(journal[1], "create 1280x720 32 fullscreen");
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

// The cap on the real game: a stall must not carry a car through the bar untested.
class LongFrame : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_GL();
        HeadlessGl::instance().makeCurrent();
        game.resize(1280, 720);
        ASSERT_TRUE(game.init());
        game.restart();
        for (int i = 0; i < 150; ++i) {
            game.update(1.0f / 60.0f);
        }
        ASSERT_GE(game.recoveryTime(), 2.0f);
    }
    void TearDown() override { game.releaseTextures(); }

    // Plays on until the bar stands upright and no car is due to enter in the next frame.
    void waitForAnUprightBarAndAnEmptyRoad() {
        for (int i = 0; i < 600; ++i) {
            const float turn = std::fmod(game.runClock(), 2.0f);
            const bool upright = turn < 0.03f || turn > 1.97f;
            const bool nothingDue = game.spawnQueue().empty() || game.spawnQueue().front().time >= game.runClock();
            if (upright && nothingDue && !game.gameOver()) {
                break;
            }
            game.update(1.0f / 60.0f);
        }
        for (int slot = 0; slot < Game::kCarSlots; ++slot) {
            game.simulation().carSlot(slot).active = false;
        }
    }

    Game game;
};

TEST_F(LongFrame, ATwoSecondStallStillLetsTheBarHitACarJustAboveItsReach) {
    waitForAnUprightBarAndAnEmptyRoad();
    ASSERT_FALSE(game.gameOver());
    // A HARD run: the first touch ends it. The car's lower edge is half a unit above the
    // upright bar's top end; in two seconds at this speed it would pass the whole bar.
    EnemyCar& car = game.simulation().carSlot(0);
    car.active = true;
    car.speed = 10.0f;
    car.x = game.simulation().truck().x;
    car.y = game.simulation().truck().y + 6.5f + 0.5f + 2.0f;
    const float scoreBefore = game.score();

    FakeWindow window;
    window.readings = {2.0f, 1.0f / 60.0f};
    window.onPump = [](FakeWindow& w, int i) { closeAt(w, i, 3); };
    runMainLoop(window, game, nullptr);

    EXPECT_TRUE(game.gameOver()) << "car at y " << car.y;
    // Score grows 15 a second times the multiplier, 3 in the middle of the road.
    EXPECT_LE(game.score() - scoreBefore, (kMaximumTimeStep + 1.0f / 60.0f) * 15.0f * 3.0f + 0.01f);
}

} // namespace

TEST(MainLoop, TheFollowerSeesTheWindowEveryIterationAndTheGameAfterEachUpdate) {
    struct Follower {
        std::vector<std::string> seen;
        void followWindow(const FakeWindow& window) { seen.push_back(window.active ? "window" : "paused"); }
        void followFrame(const FakeGame& game) { seen.push_back("frame " + std::to_string(game.steps.size())); }
    };
    FakeWindow window;
    FakeGame game;
    window.onPump = [](FakeWindow& w, int i) {
        w.active = i != 2;
        closeAt(w, i, 4);
    };
    Follower follower;
    runMainLoop(window, game, nullptr, follower);
    // The closing iteration still tells the window, and draws no frame.
    EXPECT_EQ(follower.seen,
              (std::vector<std::string>{"window", "frame 1", "paused", "window", "frame 2", "window"}));
}
