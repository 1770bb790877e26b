// A run re-created from how it started, its content and its ticks' inputs is the same run,
// bit for bit; and what a run is made of (seed, content) shows in its state.
#include "SimRules.h"

#include "sim/Random.h"

#include <vector>

namespace {

// Busy traffic straight down the middle, so a wandering truck's bar meets cars.
const char* kBusyTraffic = R"({
  "cars": [{"x": 0, "speed": 9, "time": 0.5}, {"x": -3, "speed": 12, "time": 1.5}, {"x": 4, "speed": 8, "time": 2}],
  "patterns": [[{"x": -2, "speed": 10, "time": 0}, {"x": 2, "speed": 11, "time": 0.3}],
               [{"x": 0, "speed": 14, "time": 0}],
               [{"x": 5, "speed": 9, "time": 0}, {"x": -5, "speed": 9, "time": 0.2}, {"x": 0, "speed": 13, "time": 0.6}]]
})";

struct Recorded {
    RunStart start;
    std::vector<GameInput> inputs;       // of every tick after the start tick
    std::vector<std::uint64_t> hashes;   // after the start tick, then after each of those
    int hits = 0;
};

}  // namespace

class Replay : public SimRules {
protected:
    // Plays EASY with the arrows wandering, starting with LEFT held, until the run ends
    // or a minute has passed, and records the run from its start tick.
    Recorded playWandering() {
        press(GameKey::F1);
        InputScript script;
        // From the title screen the arrows only count from the tick after SPACE: the run
        // recorded is the restart, which has them from its start tick.
        script.add(ticksIn(1.5), {GameKey::Space});
        script.add(ticksIn(1.5) + 1, {});
        script.add(ticksIn(3.5), {GameKey::Space, GameKey::Left});
        const GameKey moves[] = {GameKey::Left, GameKey::Right, GameKey::Up, GameKey::Down, GameKey::Right};
        long at = ticksIn(3.5) + 1;
        for (int i = 0; i < 60; ++i) {
            script.add(at, {moves[i % 5]});
            at += 97 + (i * 37) % 211;
            script.add(at, {});
            at += 13 + (i * 53) % 89;
        }
        Recorded recorded;
        bool started = false;
        while (script.play(input_) && !sim_.run().gameOver) {
            sim_.tick(input_);
            if (sim_.events().has(GameEvent::Started)) {
                started = true;
                recorded = Recorded();
                recorded.start = sim_.runStart();
                recorded.hashes.push_back(sim_.stateHash());
                continue;
            }
            if (started) {
                recorded.inputs.push_back(input_);
                recorded.hashes.push_back(sim_.stateHash());
                recorded.hits += sim_.events().has(GameEvent::Hit) ? 1 : 0;
            }
        }
        return recorded;
    }
};

TEST_F(Replay, ARunReCreatedFromItsStartGivesTheSameStateAtEveryTick) {
    writeTraffic(kBusyTraffic);
    sim_.setNextSeed(0xC0FFEEu);
    const Recorded live = playWandering();
    ASSERT_EQ(live.start.seed, 0xC0FFEEu);
    ASSERT_EQ(live.start.difficulty, Difficulty::Easy);
    ASSERT_TRUE(live.start.left) << "the arrows held in the start tick belong to the run";
    ASSERT_GT(live.hits, 0) << "the run should meet traffic, or the check proves little";
    ASSERT_GT(live.inputs.size(), 1000u);

    Simulation replay;
    replay.startReplay(live.start, sim_.content());
    ASSERT_EQ(replay.stateHash(), live.hashes[0]) << "the start tick";
    for (std::size_t i = 0; i < live.inputs.size(); ++i) {
        replay.tick(live.inputs[i]);
        ASSERT_EQ(replay.stateHash(), live.hashes[i + 1]) << "tick " << i + 1 << " after the start";
    }
    EXPECT_EQ(replay.run().score, sim_.run().score);
    EXPECT_EQ(replay.run().gameOver, sim_.run().gameOver);
}

TEST_F(Replay, TheSeedTheContentAndTheStartArrowsEachMakeAnotherRun) {
    writeTraffic(kBusyTraffic);
    sim_.setNextSeed(7);
    const Recorded live = playWandering();
    auto hashAfter = [&](const RunStart& start, const SimContent& content) {
        Simulation replay;
        replay.startReplay(start, content);
        for (std::size_t i = 0; i < 600 && i < live.inputs.size(); ++i) {
            replay.tick(live.inputs[i]);
        }
        return replay.stateHash();
    };
    const std::uint64_t same = hashAfter(live.start, sim_.content());
    ASSERT_EQ(same, live.hashes[std::min<std::size_t>(600, live.inputs.size())]);

    RunStart otherSeed = live.start;
    otherSeed.seed = 8;
    RunStart otherArrows = live.start;
    otherArrows.left = false;
    RunStart otherMode = live.start;
    otherMode.mode = Mode::Random;
    for (const RunStart& start : {otherSeed, otherArrows, otherMode}) {
        EXPECT_NE(hashAfter(start, sim_.content()), same);
    }

    SimContent changed = sim_.content();
    std::string traffic = changed.trafficBytes();
    traffic.replace(traffic.find("\"speed\": 9"), 10, "\"speed\": 8");
    changed.setTraffic(traffic);
    EXPECT_NE(changed.hash(), sim_.content().hash());
    EXPECT_NE(hashAfter(live.start, changed), same);
}

TEST(SimContentHash, CoversTheTrafficThenTheColliderBytes) {
    SimContent a;
    a.setTraffic("ab");
    SimContent b;
    b.setTraffic("a");
    // The collider's text would not parse; only its bytes count here.
    testing::internal::CaptureStderr();
    b.setCollider("b");
    a.setCollider("");
    testing::internal::GetCapturedStderr();
    SimContent empty;
    // FNV-1a 64 of "ab" and of the empty input.
    EXPECT_EQ(a.hash(), 0x089c4407b545986aull);
    EXPECT_EQ(empty.hash(), 0xcbf29ce484222325ull);
    EXPECT_EQ(b.hash(), a.hash()) << "the same bytes in the same order";
}

TEST(RandomGenerator, FollowsThePublishedPcg32Sequence) {
    // The reference generator's demo: state 42, stream 54.
    Random random;
    random.seed(42u, 54u);
    const std::uint32_t expected[] = {0xa15c02b7u, 0x7b47f409u, 0xba1d3330u,
                                      0x83d2f293u, 0xbfa4784bu, 0xcbed606eu};
    for (std::uint32_t value : expected) {
        EXPECT_EQ(random.next(), value);
    }
}

TEST(RandomGenerator, SeedsGiveTheirOwnSequencesAndDrawsStayBelowTheCount) {
    Random a, b, c, colours;
    a.seed(1);
    b.seed(1);
    c.seed(2);
    colours.seed(3);
    int differ = 0;
    int counts[4] = {};
    for (int i = 0; i < 4000; ++i) {
        const std::uint32_t x = a.next();
        EXPECT_EQ(x, b.next());
        differ += x != c.next() ? 1 : 0;
        const std::uint32_t colour = colours.below(4);
        ASSERT_LT(colour, 4u);
        ++counts[colour];
    }
    EXPECT_GT(differ, 3990);
    for (int count : counts) {
        EXPECT_GT(count, 850) << "each of four colours about a quarter of the time";
    }
}
