// The rules, tick by tick, without a window: keys and their gap, runs and restarts, the
// traffic, the bar against the cars, recovery, lives and the road.
#include "SimRules.h"

#include <chrono>
#include <cmath>
#include <filesystem>

TEST_F(SimRules, InitShowsTheTitleScreen) {
    EXPECT_FALSE(sim_.run().running);
    EXPECT_EQ(sim_.run().lives, 0);
    EXPECT_TRUE(sim_.spawnQueue().empty());
    EXPECT_EQ(sim_.shading(), Shading::GameOver);
    EXPECT_EQ(sim_.run().mode, Mode::Normal);
    EXPECT_EQ(sim_.run().difficulty, Difficulty::Hard);
}

TEST_F(SimRules, ModeKeysOnTheTitleScreenOnlyChangeTheModes) {
    press(GameKey::F2);
    EXPECT_FALSE(sim_.run().running);
    EXPECT_EQ(sim_.run().mode, Mode::Random);
    EXPECT_TRUE(sim_.events().has(GameEvent::SwitchedMode));
    EXPECT_LT(sim_.run().toggleTimer, 0.1f);

    press(GameKey::F1);
    EXPECT_FALSE(sim_.run().running);
    EXPECT_EQ(sim_.run().difficulty, Difficulty::Easy);

    // The next SPACE starts a RANDOM run in EASY: the clock at 70, the bar half a turn round.
    press(GameKey::Space);
    EXPECT_TRUE(sim_.run().running);
    EXPECT_EQ(sim_.run().lives, 3);
    EXPECT_EQ(sim_.shading(), Shading::Basic);
    EXPECT_EQ(sim_.bar().rotation, 6300.0f);
    EXPECT_GE(sim_.run().runClock, 70.0f);
}

TEST_F(SimRules, ModeKeysDuringARunToggleBackAndRestartWithTheirChoice) {
    press(GameKey::F2);
    press(GameKey::F1);
    press(GameKey::Space);
    ASSERT_GE(sim_.run().runClock, 70.0f);
    ASSERT_EQ(sim_.run().lives, 3);

    // The first second of a run is slowed, and the key gap with it.
    ticks(ticksIn(1.5));
    press(GameKey::F2);
    EXPECT_EQ(sim_.run().mode, Mode::Normal);
    EXPECT_LT(sim_.run().runClock, 1.0f) << "a NORMAL run starts its clock at 0";
    EXPECT_EQ(sim_.run().lives, 3);
    EXPECT_TRUE(sim_.events().has(GameEvent::Started) && sim_.events().has(GameEvent::SwitchedMode));

    ticks(ticksIn(1.5));
    press(GameKey::F1);
    EXPECT_EQ(sim_.run().difficulty, Difficulty::Hard);
    EXPECT_EQ(sim_.run().lives, 0);
    EXPECT_EQ(sim_.shading(), Shading::Basic);
}

TEST_F(SimRules, OneKeyActionATickAndOnlyAfterTheGap) {
    // Straight after init the gap has not passed yet: nothing happens.
    play({{0, {GameKey::Space}}, {1, {}}});
    EXPECT_FALSE(sim_.run().running);
    // The gap is more than one second: exactly one second is not enough.
    ticks(ticksIn(1.0) - 1);
    ASSERT_LE(sim_.run().toggleTimer, 1.0f);
    play({{0, {GameKey::Space}}, {1, {}}});
    EXPECT_FALSE(sim_.run().running);

    play({{40, {GameKey::F2, GameKey::Space}}, {41, {}}});
    EXPECT_EQ(sim_.run().mode, Mode::Random);
    EXPECT_FALSE(sim_.run().running) << "F2 acted, so SPACE had to wait";
}

TEST_F(SimRules, HoldingSpaceRestartsAboutEveryOneAndAHalfSeconds) {
    hold(GameKey::Space);
    ticks(ticksIn(1.2));
    ASSERT_TRUE(sim_.run().running);
    int restarts = 0;
    for (int tick = 0; tick < ticksIn(6.0); ++tick) {
        ticks(1);
        restarts += sim_.events().has(GameEvent::Started) ? 1 : 0;
    }
    // The gap runs on slowed time after each restart, so 6 s hold 4 restarts.
    EXPECT_EQ(restarts, 4);
}

TEST_F(SimRules, F1DuringARunRestartsAtOnceWithTheNewLives) {
    startAndRecover();
    EXPECT_EQ(sim_.run().lives, 0);
    hold(GameKey::F1);
    ticks(1);
    EXPECT_EQ(sim_.run().lives, 3);
    EXPECT_LT(sim_.run().recoveryTime, 0.1f);
    EXPECT_EQ(sim_.shading(), Shading::Basic);
}

TEST_F(SimRules, AScriptedCarEntersTheTickAfterItsTime) {
    writeTraffic(R"({"cars": [{"x": 2, "speed": 7, "time": 0}], "patterns": [[]]})");
    press(GameKey::Space);
    EXPECT_EQ(sim_.spawnQueue().size(), 1u) << "0 > 0 is false in the starting tick";
    EXPECT_FALSE(sim_.carSlot(0).active);
    ticks(1);
    ASSERT_TRUE(sim_.carSlot(0).active);
    EXPECT_EQ(sim_.carSlot(0).x, 2.0f);
    EXPECT_LT(sim_.carSlot(0).y, 15.5f);
    EXPECT_TRUE(sim_.spawnQueue().empty());
}

TEST_F(SimRules, APatternStartsThreeSecondsAfterItIsDrawn) {
    writeTraffic(R"({"cars": [], "patterns": [[{"x": -3, "speed": 9, "time": 0.5}, {"x": 3, "speed": 9, "time": 1}]]})");
    // The script is empty, so the starting tick itself draws the pattern, at run clock 0.
    press(GameKey::Space);
    ASSERT_EQ(sim_.spawnQueue().size(), 2u);
    EXPECT_EQ(sim_.spawnQueue()[0].time, 3.5f);
    EXPECT_EQ(sim_.spawnQueue()[1].time, 4.0f);
    ticks(ticksIn(1.0));
    for (int i = 0; i < Simulation::kCarSlots; ++i) {
        EXPECT_FALSE(sim_.carSlot(i).active);
    }
}

TEST_F(SimRules, RecoverySlowsOnlyTheFirstSecondByItsOwnTime) {
    ticks(ticksIn(1.2));
    hold(GameKey::Space);
    ticks(ticksIn(0.1));
    hold(GameKey::Space, false);
    // The restart zeroed the recovery, which then took each unscaled tick and scaled the
    // rest of it: the clock ran the integral of t over the first tenth, about 0.1^2 / 2.
    EXPECT_NEAR(sim_.run().recoveryTime, 0.1f, 1e-5f);
    const float slowed = 0.1f * 0.1f / 2.0f;
    EXPECT_NEAR(sim_.run().runClock, slowed, 0.1f * Simulation::kTickSeconds);
    EXPECT_FLOAT_EQ(sim_.run().scroll, 200.0f + sim_.run().runClock * 15.0f);

    // In the second second the road runs at full speed, although the bar counts only
    // from its end.
    ticks(ticksIn(1.2));
    ASSERT_GT(sim_.run().recoveryTime, 1.0f);
    ASSERT_LT(sim_.run().recoveryTime, 2.0f);
    const float scroll = sim_.run().scroll;
    const float clock = sim_.run().runClock;
    ticks(ticksIn(0.5));
    ASSERT_LT(sim_.run().recoveryTime, 2.0f);
    EXPECT_NEAR(sim_.run().runClock - clock, 0.5f, 1e-4f);
    EXPECT_NEAR(sim_.run().scroll - scroll, 0.5f * 15.0f, 1e-3f);
}

TEST(RunStateRecovery, ScalesTheStepByTheRecoveryOnlyBelowOneSecond) {
    struct Case {
        float before;
        float dt;
        float step;
    } cases[] = {
        {0.0f, 0.25f, 0.25f * 0.25f},  // the step is scaled by the time after it
        {0.5f, 0.25f, 0.25f * 0.75f},
        {0.75f, 0.25f, 0.25f},         // reaching one second: full speed
        {1.0f, 0.25f, 0.25f},
        {1.5f, 0.25f, 0.25f},          // the second safe second runs at full speed
        {1.9f, 0.05f, 0.05f},
    };
    for (const Case& c : cases) {
        RunState run;
        run.recoveryTime = c.before;
        EXPECT_FLOAT_EQ(run.recover(c.dt), c.step) << "recovery at " << c.before;
        EXPECT_FLOAT_EQ(run.recoveryTime, c.before + c.dt);
    }
}

TEST_F(SimRules, MultiplierBandLimitsFallAsFloats) {
    startAndRecover();
    struct Case {
        float x;
        float multiplier;
    } cases[] = {{0.84f, 3}, {-1.05f, 3}, {-4.37f, 2}, {4.09f, 1}, {0.0f, 3}, {-8.0f, 1}};
    for (const Case& c : cases) {
        sim_.truck().x = c.x;
        ticks(1);
        EXPECT_EQ(sim_.run().multiplier, c.multiplier) << "x " << c.x;
    }
}

// The float next to a band's limit on either side of it.
float floatBelow(double limit) {
    const float near = static_cast<float>(limit);
    return near < limit ? near : std::nextafter(near, -100.0f);
}
float floatAbove(double limit) {
    const float near = static_cast<float>(limit);
    return near > limit ? near : std::nextafter(near, 100.0f);
}

TEST_F(SimRules, EachBandLimitParts) {
    startAndRecover();
    struct Case {
        float x;
        float multiplier;
    } cases[] = {
        {floatAbove(-1.05), 3}, {floatBelow(-1.05), 2},  // the middle band's left limit
        {floatBelow(0.84), 3},  {floatAbove(0.84), 2},   // and its right one
        {floatAbove(-4.37), 2}, {floatBelow(-4.37), 1},  // the middle lane's
        {floatBelow(4.09), 2},  {floatAbove(4.09), 1},
    };
    for (const Case& c : cases) {
        sim_.truck().x = c.x;
        ticks(1);
        EXPECT_EQ(sim_.run().multiplier, c.multiplier) << "x " << c.x;
    }
}

// Cars slow with the road after a start: a car's travel in each stretch of the recovery.
TEST_F(SimRules, CarsCrawlInTheFirstSecondOfARecoveryOnly) {
    press(GameKey::Space);
    ASSERT_TRUE(sim_.run().running);
    EnemyCar& car = sim_.carSlot(Simulation::kCarSlots - 1);
    car.active = true;
    car.x = 8.0f;
    car.y = 60.0f;
    car.speed = 10.0f;
    struct Case {
        double seconds;
        float travel;
    } cases[] = {
        {0.5, 10.0f * 0.5f * 0.5f / 2.0f},                  // the integral of t over the first half
        {0.5, 10.0f * (1.0f - 0.5f * 0.5f) / 2.0f},         // and over the second
        {0.5, 10.0f * 0.5f},                                // then at its own speed
    };
    for (const Case& c : cases) {
        const float before = car.y;
        ticks(ticksIn(c.seconds));
        EXPECT_NEAR(before - car.y, c.travel, 0.1f) << "after " << sim_.run().recoveryTime << " s";
    }
}

TEST_F(SimRules, ScrollOfExactlySixHundredDoesNotWrap) {
    // On the title screen time is never slowed: 6400 ticks of 1/16 of a unit land on 600.
    ticks(6400);
    EXPECT_EQ(sim_.run().scroll, 600.0f);
    EXPECT_EQ(sim_.backgroundY(), 50.0f - 400.0f);
    ticks(1);
    EXPECT_EQ(sim_.run().scroll, 200.0625f);
    EXPECT_EQ(sim_.backgroundY(), 250.0f - sim_.run().scroll);
}

TEST_F(SimRules, TwoCarsTouchingInOneTickCostOneLife) {
    press(GameKey::F1);
    startAndRecover();
    ASSERT_EQ(sim_.run().lives, 3);
    parkCarOnTruck(0);
    parkCarOnTruck(1);
    ticks(1);
    EXPECT_EQ(sim_.run().lives, 2);
    EXPECT_LT(sim_.run().recoveryTime, 0.1f);
    EXPECT_EQ(sim_.shading(), Shading::GameOver);
    EXPECT_TRUE(sim_.events().has(GameEvent::Hit) && sim_.events().has(GameEvent::LifeLost));
    // During recovery the parked cars touch nothing.
    ticks(ticksIn(0.5));
    EXPECT_EQ(sim_.run().lives, 2);
}

TEST_F(SimRules, EasyEndsOnTheFourthTouchAndGameOverFreezesEverything) {
    press(GameKey::F1);
    startAndRecover();
    for (int touch = 1; touch <= 4; ++touch) {
        parkCarOnTruck(0);
        ticks(1);
        if (touch < 4) {
            EXPECT_EQ(sim_.run().lives, 3 - touch);
            EXPECT_FALSE(sim_.run().gameOver);
            sim_.carSlot(0).active = false;
            ticks(ticksIn(2.5));
        }
    }
    ASSERT_TRUE(sim_.run().gameOver);
    EXPECT_TRUE(sim_.events().has(GameEvent::GameOver));
    EXPECT_EQ(sim_.run().lives, 0);

    const std::uint64_t frozen = sim_.stateHash();
    const float truckX = sim_.truck().x;
    hold(GameKey::Left);
    ticks(ticksIn(2.0));
    hold(GameKey::Left, false);
    EXPECT_EQ(sim_.truck().x, truckX);
    // The arrows still reach the controller's flags; nothing else moves.
    hold(GameKey::Left);
    ticks(1);
    hold(GameKey::Left, false);
    ticks(1);
    EXPECT_EQ(sim_.stateHash(), frozen);
    EXPECT_EQ(sim_.shading(), Shading::GameOver);

    // SPACE brings a fresh run.
    hold(GameKey::Space);
    ticks(1);
    EXPECT_FALSE(sim_.run().gameOver);
    EXPECT_EQ(sim_.run().lives, 3);
}

TEST_F(SimRules, HardEndsOnTheFirstTouch) {
    startAndRecover();
    parkCarOnTruck(5);
    ticks(1);
    EXPECT_TRUE(sim_.run().gameOver);
}

TEST_F(SimRules, AFullRoadKeepsTheNextCarWaiting) {
    std::string cars;
    for (int i = 0; i < 31; ++i) {
        cars += std::string(i ? "," : "") + R"({"x": 0, "speed": 0.001, "time": 0})";
    }
    writeTraffic(R"({"cars": [)" + cars + R"(], "patterns": []})");
    press(GameKey::Space);
    ticks(20);
    for (int i = 0; i < Simulation::kCarSlots; ++i) {
        EXPECT_TRUE(sim_.carSlot(i).active);
    }
    EXPECT_EQ(sim_.spawnQueue().size(), 1u);
}

TEST_F(SimRules, AnEmptyPoolSpawnsNothing) {
    writeTraffic(R"({"cars": [], "patterns": []})");
    press(GameKey::Space);
    ticks(ticksIn(5.0));
    EXPECT_TRUE(sim_.spawnQueue().empty());
    for (int i = 0; i < Simulation::kCarSlots; ++i) {
        EXPECT_FALSE(sim_.carSlot(i).active);
    }
}

TEST_F(SimRules, ARunIsReadFromTheTrafficFileAsItStandsAtItsStart) {
    writeTraffic(R"({"cars": [{"x": 1, "speed": 7, "time": 5}], "patterns": [[]]})");
    press(GameKey::Space);
    ASSERT_EQ(sim_.spawnQueue().size(), 1u);
    // A file without "cars" starts the next run without a script: nothing of the last
    // run's queue carries over into a run that must be re-created from its start alone.
    writeTraffic(R"({"patterns": [[]]})");
    ticks(ticksIn(1.5));
    press(GameKey::Space);
    EXPECT_TRUE(sim_.spawnQueue().empty());
}

// A start looks at the traffic file and reads it only when it changed: its time or its size.
TEST_F(SimRules, AStartReadsTheTrafficFileOnlyWhenItChanged) {
    const auto traffic = [](int x, const char* time) {
        return R"({"cars": [{"x": )" + std::to_string(x) + R"(, "speed": 7, "time": )" + time + R"(}], "patterns": [[]]})";
    };
    const std::filesystem::path path = data_->root() / "data/cars.json";
    const struct {
        const char* what;
        std::string bytes;
        bool sameTime;
        float x;  // of the scripted car the start then holds
    } cases[] = {
        {"as it was", traffic(1, "5"), true, 1.0f},
        {"other bytes of the same size and time: not read", traffic(2, "5"), true, 1.0f},
        {"the same size at another time", traffic(3, "5"), false, 3.0f},
        {"another size", traffic(4, "50"), true, 4.0f},
    };
    // A file changed a minute ago: one just written may change again within the tick of
    // its clock (a second on Windows) and is always read.
    writeTraffic(traffic(1, "5"));
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) - std::chrono::minutes(1));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto before = std::filesystem::last_write_time(path);
        writeTraffic(c.bytes);
        std::filesystem::last_write_time(path, c.sameTime ? before : before + std::chrono::seconds(2));
        ticks(ticksIn(1.5));
        press(GameKey::Space);
        ASSERT_EQ(sim_.spawnQueue().size(), 1u);
        EXPECT_EQ(sim_.spawnQueue()[0].x, c.x);
    }
    // Two writes of one size within one tick of a coarse clock (Windows counts seconds):
    // the same time and size, yet the second is read.
    const auto now = std::filesystem::file_time_type::clock::now();
    for (int x : {6, 7}) {
        writeTraffic(traffic(x, "5"));
        std::filesystem::last_write_time(path, now);
        ticks(ticksIn(1.5));
        press(GameKey::Space);
        ASSERT_EQ(sim_.spawnQueue().size(), 1u);
        EXPECT_EQ(sim_.spawnQueue()[0].x, float(x)) << "written twice within a tick";
    }
}

