// The rules and the frame of the real game on a headless OpenGL context, with the
// keyboard and the clock in the test's hands.
#include "GameRules.h"

TEST_F(GameRules, InitShowsTheTitleScreenThroughTheGameOverShader) {
    EXPECT_FALSE(game().running());
    EXPECT_EQ(game().lives(), 0);
    EXPECT_TRUE(game().spawnQueue().empty());
    EXPECT_EQ(currentProgram(), game().gameOverShader().program());
    EXPECT_EQ(shown(game().hud().modeText()), "NORMAL");
    EXPECT_EQ(shown(game().hud().f1Prompt()), "PRESS F1 FOR EASY MODE");
    EXPECT_EQ(shown(game().hud().f2Prompt()), "PRESS F2 FOR RANDOM MODE");
}

TEST_F(GameRules, ModeKeysOnTheTitleScreenOnlyChangeTheModes) {
    press(GameKey::F2);
    EXPECT_FALSE(game().running());
    EXPECT_EQ(game().mode(), Mode::Random);
    EXPECT_EQ(shown(game().hud().modeText()), "RANDOM");
    EXPECT_EQ(shown(game().hud().f2Prompt()), "PRESS F2 FOR NORMAL MODE");
    EXPECT_LT(game().toggleTimer(), 0.1f);

    press(GameKey::F1);
    EXPECT_FALSE(game().running());
    EXPECT_EQ(game().difficulty(), Difficulty::Easy);
    EXPECT_EQ(shown(game().hud().f1Prompt()), "PRESS F1 FOR HARD MODE");

    // The next SPACE starts a RANDOM run in EASY: the clock at 70, the bar half a turn round.
    press(GameKey::Space);
    EXPECT_TRUE(game().running());
    EXPECT_EQ(game().lives(), 3);
    EXPECT_EQ(currentProgram(), game().basicShader().program());
    EXPECT_EQ(game().bar().rotation(), 6300.0f);
    EXPECT_GE(game().runClock(), 70.0f);
}

TEST_F(GameRules, ModeKeysDuringARunToggleBackAndRestartWithTheirChoice) {
    press(GameKey::F2);
    press(GameKey::F1);
    press(GameKey::Space);
    ASSERT_GE(game().runClock(), 70.0f);
    ASSERT_EQ(game().lives(), 3);

    // The first second of a run is slowed, and the key gap with it.
    frames(90);
    press(GameKey::F2);
    EXPECT_EQ(game().mode(), Mode::Normal);
    EXPECT_LT(game().runClock(), 1.0f) << "a NORMAL run starts its clock at 0";
    EXPECT_EQ(game().lives(), 3);
    EXPECT_EQ(shown(game().hud().modeText()), "NORMAL");
    EXPECT_EQ(shown(game().hud().f2Prompt()), "PRESS F2 FOR RANDOM MODE");

    frames(90);
    press(GameKey::F1);
    EXPECT_EQ(game().difficulty(), Difficulty::Hard);
    EXPECT_EQ(game().lives(), 0);
    EXPECT_EQ(shown(game().hud().f1Prompt()), "PRESS F1 FOR EASY MODE");
    EXPECT_EQ(currentProgram(), game().basicShader().program());
}

TEST_F(GameRules, OneKeyActionAFrameAndOnlyAfterTheGap) {
    // Straight after init the gap has not passed yet: nothing happens.
    play({{0, {GameKey::Space}}, {1, {}}});
    EXPECT_FALSE(game().running());

    play({{70, {GameKey::F2, GameKey::Space}}, {71, {}}});
    EXPECT_EQ(game().mode(), Mode::Random);
    EXPECT_FALSE(game().running()) << "F2 acted, so SPACE had to wait";
}

TEST_F(GameRules, HoldingSpaceRestartsAboutEveryOneAndAHalfSeconds) {
    hold(GameKey::Space);
    frames(70);
    ASSERT_TRUE(game().running());
    int restarts = 0;
    float previous = game().toggleTimer();
    for (int frame = 0; frame < 60 * 6; ++frame) {
        frames(1);
        if (game().toggleTimer() < previous) {
            ++restarts;
        }
        previous = game().toggleTimer();
    }
    // The gap runs on slowed time after each restart, so 6 s hold about 4 restarts.
    EXPECT_EQ(restarts, 4);
}

TEST_F(GameRules, F1DuringARunRestartsAtOnceWithTheNewLives) {
    startAndRecover();
    EXPECT_EQ(game().lives(), 0);
    frames(70);
    hold(GameKey::F1);
    frames(1);
    EXPECT_EQ(game().lives(), 3);
    EXPECT_LT(game().recoveryTime(), 0.1f);
    EXPECT_EQ(currentProgram(), game().basicShader().program());
}

TEST_F(GameRules, AScriptedCarEntersTheFrameAfterItsTime) {
    writeTraffic(R"({"cars": [{"x": 2, "speed": 7, "time": 0}], "patterns": [[]]})");
    press(GameKey::Space);
    EXPECT_EQ(game().spawnQueue().size(), 1u) << "0 > 0 is false in the starting frame";
    EXPECT_FALSE(game().carSlot(0).active);
    frames(1, 0.1f);
    ASSERT_TRUE(game().carSlot(0).active);
    EXPECT_EQ(game().carSlot(0).body.x, 2.0f);
    EXPECT_LT(game().carSlot(0).body.y, 15.5f);
    EXPECT_TRUE(game().spawnQueue().empty());
}

TEST_F(GameRules, APatternStartsThreeSecondsAfterItIsDrawn) {
    writeTraffic(R"({"cars": [], "patterns": [[{"x": -3, "speed": 9, "time": 0.5}, {"x": 3, "speed": 9, "time": 1}]]})");
    // The script is empty, so the starting frame itself draws the pattern, at run clock 0.
    press(GameKey::Space);
    ASSERT_EQ(game().spawnQueue().size(), 2u);
    EXPECT_EQ(game().spawnQueue()[0].time, 3.5f);
    EXPECT_EQ(game().spawnQueue()[1].time, 4.0f);
    frames(60);
    for (int i = 0; i < 30; ++i) {
        EXPECT_FALSE(game().carSlot(i).active);
    }
}

TEST_F(GameRules, RecoverySlowsTheFirstSecondByItsOwnTime) {
    frames(70);
    hold(GameKey::Space);
    game().update(0.1f);
    // The restart zeroed the recovery, which then took the unscaled step and scaled the rest.
    EXPECT_FLOAT_EQ(game().recoveryTime(), 0.1f);
    EXPECT_FLOAT_EQ(game().runClock(), 0.1f * 0.1f);
    EXPECT_FLOAT_EQ(game().scroll(), 200.0f + 0.1f * 0.1f * 15.0f);
}

TEST_F(GameRules, MultiplierBandLimitsFallAsFloats) {
    startAndRecover();
    struct Case {
        float x;
        float multiplier;
    } cases[] = {{0.84f, 3}, {-1.05f, 3}, {-4.37f, 2}, {4.09f, 1}, {0.0f, 3}, {-8.0f, 1}};
    for (const Case& c : cases) {
        game().truck().x = c.x;
        frames(1);
        EXPECT_EQ(game().multiplier(), c.multiplier) << "x " << c.x;
        EXPECT_EQ(shown(game().hud().multiplierText()), "x" + std::to_string(static_cast<int>(c.multiplier)));
    }
}

TEST_F(GameRules, ScrollOfExactlySixHundredDoesNotWrap) {
    // On the title screen time is never slowed: one step of 400 / 15 s lands on 600.
    game().update(26.666666f);
    EXPECT_EQ(game().scroll(), 600.0f);
    EXPECT_EQ(game().background().y, 50.0f - 400.0f);
    game().update(0.1f);
    EXPECT_FLOAT_EQ(game().scroll(), 201.5f);
    EXPECT_FLOAT_EQ(game().background().y, 250.0f - game().scroll());
}

TEST_F(GameRules, TwoCarsTouchingInOneFrameCostOneLife) {
    press(GameKey::F1);
    startAndRecover();
    ASSERT_EQ(game().lives(), 3);
    parkCarOnTruck(0);
    parkCarOnTruck(1);
    frames(1);
    EXPECT_EQ(game().lives(), 2);
    EXPECT_LT(game().recoveryTime(), 0.1f);
    EXPECT_EQ(currentProgram(), game().gameOverShader().program());
    // During recovery the parked cars touch nothing.
    frames(30);
    EXPECT_EQ(game().lives(), 2);
}

TEST_F(GameRules, EasyEndsOnTheFourthTouchAndGameOverFreezesEverything) {
    press(GameKey::F1);
    startAndRecover();
    for (int touch = 1; touch <= 4; ++touch) {
        parkCarOnTruck(0);
        frames(1);
        if (touch < 4) {
            EXPECT_EQ(game().lives(), 3 - touch);
            EXPECT_FALSE(game().gameOver());
            frames(150);
        }
    }
    ASSERT_TRUE(game().gameOver());
    EXPECT_EQ(game().lives(), 0);

    float scroll = game().scroll(), score = game().score(), clock = game().runClock();
    float carY = game().carSlot(0).body.y, truckX = game().truck().x;
    hold(GameKey::Left);
    frames(120);
    hold(GameKey::Left, false);
    EXPECT_EQ(game().scroll(), scroll);
    EXPECT_EQ(game().score(), score);
    EXPECT_EQ(game().runClock(), clock);
    EXPECT_EQ(game().carSlot(0).body.y, carY);
    EXPECT_EQ(game().truck().x, truckX);
    EXPECT_EQ(currentProgram(), game().gameOverShader().program());

    // SPACE brings a fresh run.
    hold(GameKey::Space);
    frames(1);
    EXPECT_FALSE(game().gameOver());
    EXPECT_EQ(game().lives(), 3);
}

TEST_F(GameRules, HardEndsOnTheFirstTouch) {
    startAndRecover();
    parkCarOnTruck(5);
    frames(1);
    EXPECT_TRUE(game().gameOver());
}

TEST_F(GameRules, AFullRoadKeepsTheNextCarWaiting) {
    std::string cars;
    for (int i = 0; i < 31; ++i) {
        cars += std::string(i ? "," : "") + R"({"x": 0, "speed": 0.001, "time": 0})";
    }
    writeTraffic(R"({"cars": [)" + cars + R"(], "patterns": []})");
    press(GameKey::Space);
    frames(5);
    for (int i = 0; i < 30; ++i) {
        EXPECT_TRUE(game().carSlot(i).active);
    }
    EXPECT_EQ(game().spawnQueue().size(), 1u);
}

TEST_F(GameRules, AnEmptyPoolSpawnsNothing) {
    writeTraffic(R"({"cars": [], "patterns": []})");
    press(GameKey::Space);
    frames(300);
    EXPECT_TRUE(game().spawnQueue().empty());
    for (int i = 0; i < 30; ++i) {
        EXPECT_FALSE(game().carSlot(i).active);
    }
}

TEST_F(GameRules, HudShowsTruncatedNumbers) {
    startAndRecover();
    frames(1);
    EXPECT_EQ(shown(game().hud().scoreText()), std::to_string(static_cast<int>(game().score())));
    float distance = game().distance();
    frames(1);
    // The distance text is written before this frame's travel.
    EXPECT_EQ(shown(game().hud().distanceText()), std::to_string(static_cast<int>(distance)));
}

TEST_F(GameRules, HeartsAndTitleAreDrawnOnlyWhenTheyShould) {
    auto isHeartRed = [](int x) {
        auto p = HeadlessGl::instance().pixel(x, 570);
        return p[0] > 150 && p[1] < 110 && p[2] < 110;
    };
    // Title screen: the title's dark outline and the black start prompt sit over the road.
    game().render();
    int darkest = -1, darkestValue = 255;
    for (int x = 420; x < 980; ++x) {
        auto p = HeadlessGl::instance().pixel(x, 60);
        int value = (p[0] + p[1] + p[2]) / 3;
        if (value < darkestValue) {
            darkestValue = value;
            darkest = x;
        }
    }
    EXPECT_LT(darkestValue, 40) << "the start prompt's ink";
    EXPECT_FALSE(isHeartRed(80));

    writeTraffic(R"({"cars": [], "patterns": []})");
    press(GameKey::F1);
    press(GameKey::Space);
    game().render();
    auto p = HeadlessGl::instance().pixel(darkest, 60);
    EXPECT_GT((p[0] + p[1] + p[2]) / 3, 45) << "no prompt once a run is on";
    EXPECT_TRUE(isHeartRed(80));
    EXPECT_TRUE(isHeartRed(140));
    EXPECT_TRUE(isHeartRed(200));
    EXPECT_FALSE(isHeartRed(260));

    frames(150);
    parkCarOnTruck(0);
    frames(1);
    ASSERT_EQ(game().lives(), 2);
    // Once the recovery's sepia is over, two hearts are left.
    game().carSlot(0).active = false;
    frames(150);
    game().render();
    EXPECT_TRUE(isHeartRed(140));
    EXPECT_FALSE(isHeartRed(200));
}
