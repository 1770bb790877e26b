// What the rules tell the shell after each frame, and the best scores they show.
#include "GameRules.h"

#include <array>
#include <vector>

TEST_F(GameRules, EachFrameRecordsWhatHappenedForTheShell) {
    press(GameKey::F2);
    EXPECT_TRUE(game().events().has(GameEvent::SwitchedMode));
    EXPECT_FALSE(game().events().has(GameEvent::Started)) << "a switch on the title screen starts nothing";
    frames(1);
    EXPECT_TRUE(game().events().empty());
    press(GameKey::F1);
    EXPECT_TRUE(game().events().has(GameEvent::SwitchedDifficulty));
    startAndRecover();
    parkCarOnTruck(0);
    frames(1);
    EXPECT_TRUE(game().events().has(GameEvent::Hit) && game().events().has(GameEvent::LifeLost));
    EXPECT_FALSE(game().events().has(GameEvent::GameOver));
    // A switch during a run restarts it: both are told.
    press(GameKey::F1);
    EXPECT_TRUE(game().events().has(GameEvent::SwitchedDifficulty) && game().events().has(GameEvent::Started));
}

TEST_F(GameRules, AGameOverThatBeatsTheBestCreditsTheScoreTheHudShows) {
    BestScores stored;
    stored.offer(Mode::Normal, Difficulty::Hard, 1);
    stored.offer(Mode::Random, Difficulty::Hard, 77);
    game().bestScores().setScores(stored);
    auto best = [this] {
        const std::string text = shown(game().bestScores().bestText());
        return text.substr(text.find_first_not_of(' '));
    };
    EXPECT_EQ(best(), "BEST 1");
    press(GameKey::F2);
    EXPECT_EQ(best(), "BEST 77") << "the best of the chosen way to play";
    press(GameKey::F2);
    startAndRecover();
    parkCarOnTruck(0);
    frames(1);
    ASSERT_TRUE(game().gameOver());
    EXPECT_TRUE(game().events().has(GameEvent::Hit) && game().events().has(GameEvent::GameOver));
    EXPECT_TRUE(game().events().has(GameEvent::NewBest));
    const int credited = game().bestScores().scores().best(Mode::Normal, Difficulty::Hard);
    EXPECT_EQ(std::to_string(credited), shown(game().hud().scoreText()));
    EXPECT_EQ(best(), "BEST " + std::to_string(credited));
    EXPECT_TRUE(game().bestScores().newBest());
    // A shorter run beats nothing.
    hold(GameKey::Space);
    frames(1);
    hold(GameKey::Space, false);
    EXPECT_FALSE(game().bestScores().newBest());
    frames(125);
    parkCarOnTruck(0);
    frames(1);
    ASSERT_TRUE(game().gameOver());
    EXPECT_FALSE(game().events().has(GameEvent::NewBest));
}

// The best is written in the grass right of the road, where today's screens show nothing.
TEST_F(GameRules, TheBestScoreCoversNothingOfTheTitleScreen) {
    game().render();
    std::vector<std::array<uint8_t, 4>> before;
    for (int y = 0; y < 720; y += 2) {
        for (int x = 0; x < 1280; x += 2) {
            before.push_back(HeadlessGl::instance().pixel(x, y));
        }
    }
    BestScores stored;
    stored.offer(Mode::Normal, Difficulty::Hard, 987654321);
    game().bestScores().setScores(stored);
    game().render();
    int changed = 0;
    std::size_t i = 0;
    for (int y = 0; y < 720; y += 2) {
        for (int x = 0; x < 1280; x += 2, ++i) {
            if (HeadlessGl::instance().pixel(x, y) != before[i]) {
                ++changed;
                EXPECT_TRUE(x >= 988 && y >= 640) << "changed at " << x << ", " << y;
            }
        }
    }
    EXPECT_GT(changed, 100);
}
