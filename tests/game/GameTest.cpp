// What the game shows of its rules, on a headless OpenGL context: the shaders, the HUD
// texts, the hearts and the title, and the scene drawn between the last two ticks.
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

TEST_F(GameRules, ModeKeysSwitchTheirTextsAndARunSwitchesTheShader) {
    press(GameKey::F2);
    EXPECT_EQ(shown(game().hud().modeText()), "RANDOM");
    EXPECT_EQ(shown(game().hud().f2Prompt()), "PRESS F2 FOR NORMAL MODE");
    press(GameKey::F1);
    EXPECT_EQ(shown(game().hud().f1Prompt()), "PRESS F1 FOR HARD MODE");
    EXPECT_EQ(currentProgram(), game().gameOverShader().program()) << "still the title screen";

    press(GameKey::Space);
    EXPECT_TRUE(game().running());
    EXPECT_EQ(currentProgram(), game().basicShader().program());

    frames(90);
    press(GameKey::F2);
    EXPECT_EQ(shown(game().hud().modeText()), "NORMAL");
    EXPECT_EQ(shown(game().hud().f2Prompt()), "PRESS F2 FOR RANDOM MODE");
    frames(90);
    press(GameKey::F1);
    EXPECT_EQ(shown(game().hud().f1Prompt()), "PRESS F1 FOR EASY MODE");
    EXPECT_EQ(currentProgram(), game().basicShader().program());
}

TEST_F(GameRules, AHitShowsTheGameOverShaderUntilTheRecoveryEnds) {
    writeTraffic(R"({"cars": [], "patterns": []})");
    press(GameKey::F1);
    startAndRecover();
    EXPECT_EQ(currentProgram(), game().basicShader().program());
    parkCarOnTruck(0);
    frames(1);
    ASSERT_EQ(game().lives(), 2);
    EXPECT_EQ(currentProgram(), game().gameOverShader().program());
    game().simulation().carSlot(0).active = false;
    frames(150);
    EXPECT_EQ(currentProgram(), game().basicShader().program());
}

TEST_F(GameRules, MultiplierTextFollowsTheBand) {
    startAndRecover();
    for (float x : {0.84f, -4.37f, 4.09f}) {
        game().simulation().truck().x = x;
        frames(1);
        EXPECT_EQ(shown(game().hud().multiplierText()), "x" + std::to_string(static_cast<int>(game().multiplier())))
            << "x " << x;
    }
}

TEST_F(GameRules, HudShowsTruncatedNumbers) {
    startAndRecover();
    frames(1);
    EXPECT_EQ(shown(game().hud().scoreText()), std::to_string(static_cast<int>(game().score())));
    // The distance text is written before the last tick's travel.
    float before = 0.0f;
    for (int tick = 0; tick < 4; ++tick) {
        before = game().distance();
        game().update(Simulation::kTickSeconds);
    }
    EXPECT_EQ(shown(game().hud().distanceText()), std::to_string(static_cast<int>(before)));
}

TEST_F(GameRules, TheSceneIsDrawnBetweenTheLastTwoTicks) {
    // A car beside the road, out of the bar's reach.
    writeTraffic(R"({"cars": [{"x": 15, "speed": 10, "time": 0}], "patterns": [[]]})");
    press(GameKey::Space);
    frames(150);
    const Simulation& sim = game().simulation();
    ASSERT_TRUE(sim.carSlot(0).active);
    // A tick and a half: the cars and the road are drawn half a tick behind the rules.
    const float carY = sim.carSlot(0).y;
    const float scroll = sim.run().scroll;
    game().update(1.5f * Simulation::kTickSeconds);
    const float tickTravel = 10.0f * Simulation::kTickSeconds;
    EXPECT_NEAR(sim.carSlot(0).y, carY - tickTravel, 1e-4f);
    EXPECT_NEAR(game().carBody(0).y, carY - 0.5f * tickTravel, 1e-4f);
    EXPECT_NEAR(game().background().y, sim.backgroundY() + 0.5f * 15.0f * Simulation::kTickSeconds, 1e-3f);
    EXPECT_GT(sim.run().scroll, scroll);

    // A car that has just entered is drawn where it entered, not smeared from its last place.
    writeTraffic(R"({"cars": [], "patterns": [[]]})");
    EnemyCar& car = game().simulation().carSlot(1);
    car.active = true;
    car.x = -5.0f;
    car.y = -14.99f;
    car.speed = 10.0f;
    game().update(Simulation::kTickSeconds);  // it leaves the road
    ASSERT_FALSE(car.active);
    car.active = true;
    car.y = 15.5f;
    game().update(Simulation::kTickSeconds);
    EXPECT_NEAR(game().carBody(1).y, car.y, 1e-4f);
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
    game().simulation().carSlot(0).active = false;
    frames(150);
    game().render();
    EXPECT_TRUE(isHeartRed(140));
    EXPECT_FALSE(isHeartRed(200));
}
