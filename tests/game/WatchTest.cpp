// Watching a recorded run in the game: what is drawn follows the record to its end, the
// title screen waits meanwhile, and a key brings it back without acting on it.
#include "GameRules.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "io/FileReader.h"
#include "io/RunRecord.h"

namespace {

RunRecord golden(const char* name) {
    std::string bytes, fault;
    RunRecord record;
    EXPECT_TRUE(FileReader::read(std::string(TAMQ_TEST_DATA_DIR) + "/golden/" + name, bytes, fault)) << fault;
    EXPECT_TRUE(RunRecord::fromBytes(bytes, record, fault)) << fault;
    return record;
}

}  // namespace

class Watching : public GameRules {
protected:
    // The shipped traffic, which the golden runs were played on.
    void SetUp() override {
        GameRules::SetUp();
        std::string traffic, fault;
        ASSERT_TRUE(FileReader::read(std::string(TAMQ_SOURCE_DIR) + "/data/cars.json", traffic, fault)) << fault;
        writeTraffic(traffic);
        ASSERT_TRUE(game().init());
    }
};

TEST_F(Watching, ARunPlaysToItsEndThenTheTitleComesBackAsItWas) {
    const RunRecord record = golden("normal-hard-still.rec");
    const float titleClock = game().runClock();
    std::string fault;
    ASSERT_TRUE(game().watch(record, fault)) << fault;
    EXPECT_TRUE(game().shown().run().running);
    // All of the run at 60 frames a second, with its end shown for three seconds.
    const int runFrames = static_cast<int>(record.ticks / 4) + 1;
    frames(runFrames);
    EXPECT_TRUE(game().watching());
    EXPECT_TRUE(game().shown().run().gameOver);
    EXPECT_EQ(game().shown().run().score, record.score);
    EXPECT_EQ(game().shown().stateHash(), record.finalHash);
    EXPECT_EQ(game().runClock(), titleClock) << "the title screen ran on while a run was watched";
    frames(3 * 60 + 1);
    EXPECT_FALSE(game().watching());
    EXPECT_FALSE(game().running());
}

TEST_F(Watching, AKeyEndsItAndActsOnlyOnceLetGo) {
    std::string fault;
    frames(120);
    ASSERT_TRUE(game().watch(golden("normal-easy-weave.rec"), fault)) << fault;
    frames(30);
    hold(GameKey::Space);
    frames(1);
    EXPECT_FALSE(game().watching());
    // SPACE still held: the title screen does not start a run with it.
    frames(120);
    EXPECT_FALSE(game().running());
    hold(GameKey::Space, false);
    frames(1);
    hold(GameKey::Space);
    frames(2);
    EXPECT_TRUE(game().running());
}

TEST_F(Watching, ARecordOfOtherContentIsNotShown) {
    RunRecord record = golden("normal-hard-still.rec");
    record.contentHash ^= 1;
    std::string fault;
    EXPECT_FALSE(game().watch(record, fault));
    EXPECT_NE(fault.find("other content"), std::string::npos) << fault;
    EXPECT_FALSE(game().watching());
}

// The board's best run is watched with its entry under "REPLAY"; the board's own top is
// the title screen's and waits hidden meanwhile, and a name cannot be asked over a run.
TEST_F(Watching, ABoardRunShowsItsCaptionAndHidesTheBoard) {
    game().showBoardTop({{1, "ACE", 3437}});
    game().showBoardStatus("RANK 2");
    game().setReplayCaption("1 ACE 3437");
    std::string fault;
    ASSERT_TRUE(game().watch(golden("normal-hard-still.rec"), fault)) << fault;
    frames(30);
    EXPECT_EQ(shown(game().replayCaptionText()), "1 ACE 3437");
    // Centred under "REPLAY".
    const Text& replay = game().replayText();
    const Text& caption = game().replayCaptionText();
    EXPECT_FLOAT_EQ(caption.x() + 10 * caption.size() / 2.0f, replay.x() + 6 * replay.size() / 2.0f);
    EXPECT_LT(caption.y() + static_cast<float>(caption.size()), replay.y());

    auto ink = [](int left, int right, int bottom, int top) {
        int dark = 0;
        for (int y = bottom; y < top; y += 2) {
            for (int x = left; x < right; x += 2) {
                const auto p = HeadlessGl::instance().pixel(x, y);
                dark += p[0] + p[1] + p[2] < 60 ? 1 : 0;
            }
        }
        return dark;
    };
    game().render();
    EXPECT_EQ(ink(1040, 1270, 100, 490), 0) << "the board drawn over a watched run";
    game().stopWatching();
    EXPECT_EQ(shown(game().replayCaptionText()), "");
    game().render();
    EXPECT_GT(ink(1040, 1270, 100, 490), 20) << "the board is back with the title screen";

    game().askName("ACE");
    EXPECT_FALSE(game().watch(golden("normal-hard-still.rec"), fault));
    EXPECT_FALSE(game().watching());
}

// A record cut short is shown up to its cut, in the state the record player reaches there,
// then its end is shown for three seconds like any other.
TEST_F(Watching, ARecordCutShortStopsAtItsCut) {
    for (const std::uint32_t ticks : {0u, 120u, 2404u}) {
        SCOPED_TRACE(ticks);
        RunRecord record = golden("normal-easy-weave.rec");
        record.ticks = ticks;
        RecordPlayer player;
        player.start(record, game().simulation().content());
        while (player.step()) {
        }
        std::string fault;
        ASSERT_TRUE(game().watch(record, fault)) << fault;
        frames(static_cast<int>(ticks / 4) + 1);
        EXPECT_TRUE(game().watching());
        EXPECT_EQ(game().shown().stateHash(), player.simulation().stateHash());
        frames(3 * 60);
        EXPECT_FALSE(game().watching());
    }
}

// A ghost rides beside the player's run and never touches it: the same keys give the same
// record, state hashes included, with a ghost as without one. Raced against its own record,
// the ghost stands at the same tick as the player all along: the lead stays 0 to the end.
TEST_F(Watching, AGhostLeavesTheRecordAndItsHashesAsTheyWere) {
    for (const char* name : {"normal-hard-still.rec", "normal-easy-weave.rec", "random-hard-weave.rec"}) {
        SCOPED_TRACE(name);
        const RunRecord played = golden(name);
        const RunStart road = RunRecorder::startOf(played);
        auto playAgain = [&](bool withGhost) {
            std::string fault;
            game().stopRacing();
            if (withGhost) {
                EXPECT_TRUE(game().race(played, fault)) << fault;
            }
            game().choose(road.mode, road.difficulty);
            game().input().releaseAll();
            game().runTicks(Simulation::kTickRate * 2);
            game().simulation().setNextSeed(road.seed);
            game().input().hold(GameKey::Space);
            for (const auto& [held, key] : {std::pair{road.left, GameKey::Left}, {road.right, GameKey::Right},
                                            {road.up, GameKey::Up}, {road.down, GameKey::Down}}) {
                game().input().hold(key, held);
            }
            game().runTicks(1);
            bool rode = game().ghost().riding(), leadStayed = true;
            for (std::uint32_t tick = 0; tick < played.ticks; ++tick) {
                game().input() = GameInput::fromBits(played.keysAt(tick));
                game().runTicks(1);
                leadStayed = leadStayed && game().ghost().lead(game().simulation()) == 0;
            }
            EXPECT_EQ(rode, withGhost);
            EXPECT_TRUE(leadStayed);
            EXPECT_EQ(game().ghost().ended(), withGhost);
            EXPECT_TRUE(game().recorder().complete());
            return game().recorder().record();
        };
        const RunRecord alone = playAgain(false);
        const RunRecord raced = playAgain(true);
        EXPECT_EQ(alone.finalHash, played.finalHash);
        EXPECT_EQ(raced, alone);
    }
}

// A ghost that has steered away from the player shows on the road, which is drawn after
// the trucks: the frame with it differs from the same frame without it around its truck.
TEST_F(Watching, AGhostAwayFromThePlayerShowsOnTheRoad) {
    const RunRecord ghost = golden("normal-easy-weave.rec");
    const RunStart road = RunRecorder::startOf(ghost);
    std::string fault;
    ASSERT_TRUE(game().race(ghost, fault)) << fault;
    game().choose(road.mode, road.difficulty);
    game().runTicks(Simulation::kTickRate * 2);
    game().simulation().setNextSeed(road.seed);
    game().input().hold(GameKey::Space);
    game().runTicks(1);
    game().input().releaseAll();
    // The player keeps to the middle while the ghost weaves: on to a tick where they part.
    float apart = 0;
    for (int tick = 0; tick < Simulation::kTickRate * 30 && apart < 6; ++tick) {
        game().runTicks(1);
        apart = std::fabs(game().ghost().simulation().truck().x - game().simulation().truck().x);
    }
    ASSERT_GE(apart, 6.0f);
    auto screen = [&] {
        game().render();
        std::vector<uint8_t> pixels(1280 * 720 * 4);
        glReadPixels(0, 0, 1280, 720, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    };
    const std::vector<uint8_t> raced = screen();
    const float ghostX = game().ghost().simulation().truck().x;
    game().stopRacing();
    const std::vector<uint8_t> alone = screen();
    // World x -24..24 across the 1280 pixels; a truck is 2.55 wide.
    const auto column = [](float x) { return static_cast<int>((x + 24.0f) / 48.0f * 1280.0f); };
    int changed = 0;
    for (std::size_t i = 0; i < raced.size(); i += 4) {
        const int x = static_cast<int>((i / 4) % 1280);
        changed += std::abs(x - column(ghostX)) < 40 && !std::equal(raced.begin() + i, raced.begin() + i + 3, alone.begin() + i);
    }
    EXPECT_GT(changed, 2000);
}
