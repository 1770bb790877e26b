// Golden records: runs played by scripts on the shipped content from fixed seeds, kept in
// tests/data/golden/ with what each run came to. Every build (Linux, the sanitizers, Windows
// under Wine, WebAssembly under node) re-plays them and must meet every state hash; a
// difference names the first second where the runs part.
//
// To make them again after a deliberate change of the rules or the content:
//   TAMQ_WRITE_GOLDEN=1 ./build/tests/sim_tests --gtest_filter='Golden*'
#include "io/FileReader.h"
#include "io/RunRecord.h"
#include "sim/InputScript.h"
#include "sim/RecordVerifier.h"
#include "sim/RunRecorder.h"
#include "sim/SimContent.h"
#include "sim/Simulation.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kGoldenFolder = std::string(TAMQ_TEST_DATA_DIR) + "/golden";

// What a run went through, counted while it is played and again while it is re-played.
struct RunStory {
    int hits = 0;
    int livesLost = 0;
    int patternDraws = 0;
    bool gameOver = false;

    void follow(const Simulation& sim, std::size_t queueBefore) {
        hits += sim.events().has(GameEvent::Hit) ? 1 : 0;
        livesLost += sim.events().has(GameEvent::LifeLost) ? 1 : 0;
        gameOver = gameOver || sim.events().has(GameEvent::GameOver);
        // An empty queue filled again without a start: a random pattern was drawn.
        patternDraws += queueBefore == 0 && !sim.spawnQueue().empty() && !sim.events().has(GameEvent::Started) ? 1 : 0;
    }
    bool operator==(const RunStory&) const = default;
};

// Steers away from the cars about to meet the bar's circle: picks the lane whose nearest
// threatening car is farthest and drives there, staying low on the road for time to react.
GameInput dodge(const Simulation& sim) {
    const Vec2& truck = sim.truck();
    float bestX = truck.x;
    float bestGap = -1.0f;
    for (float x = PlayerController::kMinX; x <= PlayerController::kMaxX; x += 0.5f) {
        float gap = 100.0f;
        for (int i = 0; i < Simulation::kCarSlots; ++i) {
            const EnemyCar& car = sim.carSlot(i);
            if (!car.active || car.y < truck.y - 9.0f || car.y > truck.y + 22.0f) {
                continue;
            }
            gap = std::min(gap, std::fabs(car.x - x));
        }
        // The travel there counts against a lane, so the truck does not dither.
        gap -= std::fabs(x - truck.x) * 0.15f;
        if (gap > bestGap) {
            bestGap = gap;
            bestX = x;
        }
    }
    GameInput input{GameKey::Down};
    if (bestX < truck.x - 0.3f) {
        input.hold(GameKey::Left);
    } else if (bestX > truck.x + 0.3f) {
        input.hold(GameKey::Right);
    }
    return input;
}

// Weaves left and right in long sweeps, as a careless player would.
GameInput weave(const Simulation& sim) {
    const long second = sim.runTicks() / Simulation::kTickRate;
    return second % 4 < 2 ? GameInput{GameKey::Left} : GameInput{GameKey::Right};
}

GameInput still(const Simulation&) { return {}; }

struct Golden {
    const char* name;
    std::uint32_t seed;
    Mode mode;
    Difficulty difficulty;
    GameInput (*steer)(const Simulation&);
    // Seconds of dodging first; the steering follows.
    int dodgeSeconds;
};

const Golden kGoldens[] = {
    {"normal-hard-still", 1, Mode::Normal, Difficulty::Hard, still, 0},
    {"normal-easy-weave", 2, Mode::Normal, Difficulty::Easy, weave, 0},
    {"random-hard-weave", 3, Mode::Random, Difficulty::Hard, weave, 0},
    {"random-easy-dodge", 4, Mode::Random, Difficulty::Easy, weave, 150},
    {"normal-easy-dodge", 5, Mode::Normal, Difficulty::Easy, still, 200},
    {"normal-hard-dodge", 6, Mode::Normal, Difficulty::Hard, weave, 40},
};

std::string recordPath(const Golden& golden) { return kGoldenFolder + "/" + golden.name + ".rec"; }

// Plays a golden run from the title screen: its choices made, SPACE once the key gap allows,
// then the script's keys every tick until the game is over.
RunRecord playGolden(const Golden& golden, RunStory& story) {
    auto sim = std::make_unique<Simulation>();
    sim->init();
    sim->run().mode = golden.mode;
    sim->run().difficulty = golden.difficulty;
    sim->setNextSeed(golden.seed);
    RunRecorder recorder("golden");
    GameInput input;
    for (int tick = 0; tick < Simulation::kTickRate * 2 && !sim->run().running; ++tick) {
        input = tick >= Simulation::kTickRate * 3 / 2 ? GameInput{GameKey::Space} : GameInput{};
        sim->tick(input);
        recorder.follow(*sim, input);
    }
    const long limit = long{Simulation::kTickRate} * 60 * 20;
    for (long tick = 0; tick < limit && !recorder.complete(); ++tick) {
        const bool dodging = sim->runTicks() < long{golden.dodgeSeconds} * Simulation::kTickRate;
        input = dodging ? dodge(*sim) : golden.steer(*sim);
        const std::size_t queued = sim->spawnQueue().size();
        sim->tick(input);
        story.follow(*sim, queued);
        recorder.follow(*sim, input);
    }
    return recorder.record();
}

// Re-plays a record tick by tick for its story; the state hashes are the verifier's to compare.
RunStory replayStory(const RunRecord& record, const SimContent& content) {
    auto sim = std::make_unique<Simulation>();
    sim->startReplay(RunRecorder::startOf(record), content);
    RunStory story;
    for (std::uint32_t tick = 0; tick < record.ticks; ++tick) {
        const std::size_t queued = sim->spawnQueue().size();
        sim->tick(GameInput::fromBits(record.keysAt(tick)));
        story.follow(*sim, queued);
    }
    return story;
}

nlohmann::json storyJson(const RunRecord& record, const RunStory& story) {
    return {{"ticks", record.ticks},     {"score", static_cast<long long>(record.score)},
            {"hits", story.hits},        {"livesLost", story.livesLost},
            {"patternDraws", story.patternDraws}, {"gameOver", story.gameOver}};
}

std::vector<std::uint8_t> bytesOf(const std::string& path) {
    std::string bytes, fault;
    EXPECT_TRUE(FileReader::read(path, bytes, fault)) << path << ": " << fault;
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace

TEST(GoldenRecords, WrittenAgainOnRequest) {
    if (std::getenv("TAMQ_WRITE_GOLDEN") == nullptr) {
        GTEST_SKIP() << "set TAMQ_WRITE_GOLDEN=1 to make the golden records again";
    }
    nlohmann::ordered_json expected = nlohmann::ordered_json::object();
    for (const Golden& golden : kGoldens) {
        RunStory story;
        const RunRecord record = playGolden(golden, story);
        ASSERT_TRUE(story.gameOver) << golden.name << " did not end within twenty minutes";
        std::ofstream(recordPath(golden), std::ios::binary) << record.toBytes();
        expected[golden.name] = storyJson(record, story);
        std::printf("%s: %s, %zu bytes\n", golden.name, expected[golden.name].dump().c_str(), record.toBytes().size());
    }
    std::ofstream(kGoldenFolder + "/expected.json") << expected.dump(2) << "\n";
}

// Between them the goldens must go through what the rules can do to a run: hits that cost
// a heart, hits that end it, random patterns after the script, and a long EASY survival.
TEST(GoldenRecords, CoverHitsHeartsGameOversPatternsAndALongSurvival) {
    std::ifstream file(kGoldenFolder + "/expected.json");
    const nlohmann::json expected = nlohmann::json::parse(file);
    int livesLost = 0, patternDraws = 0, longestEasy = 0;
    bool modes[2] = {}, difficulties[2] = {};
    for (const Golden& golden : kGoldens) {
        const nlohmann::json& story = expected.at(golden.name);
        EXPECT_TRUE(story.at("gameOver").get<bool>()) << golden.name;
        EXPECT_GT(story.at("hits").get<int>(), 0) << golden.name;
        livesLost += story.at("livesLost").get<int>();
        patternDraws += story.at("patternDraws").get<int>();
        if (golden.difficulty == Difficulty::Easy) {
            longestEasy = std::max(longestEasy, story.at("ticks").get<int>());
        }
        modes[golden.mode == Mode::Random ? 1 : 0] = true;
        difficulties[golden.difficulty == Difficulty::Easy ? 1 : 0] = true;
    }
    EXPECT_GT(livesLost, 0);
    EXPECT_GT(patternDraws, 0);
    EXPECT_GE(longestEasy, Simulation::kTickRate * 90) << "no EASY run lasts a minute and a half";
    EXPECT_TRUE(modes[0] && modes[1] && difficulties[0] && difficulties[1]);
}

TEST(GoldenRecords, ReplayWithEveryStateHashAndEndAsTheyDid) {
    SimContent content;
    ASSERT_TRUE(content.load());
    std::ifstream file(kGoldenFolder + "/expected.json");
    ASSERT_TRUE(file.good()) << "no expected.json in " << kGoldenFolder;
    const nlohmann::json expected = nlohmann::json::parse(file);
    for (const Golden& golden : kGoldens) {
        SCOPED_TRACE(golden.name);
        const std::vector<std::uint8_t> bytes = bytesOf(recordPath(golden));
        const VerifyResult result = verifyRecord(bytes, content);
        ASSERT_TRUE(result.valid) << result.reason;
        EXPECT_EQ(result.mode, golden.mode);
        EXPECT_EQ(result.difficulty, golden.difficulty);
        RunRecord record;
        std::string fault;
        ASSERT_TRUE(RunRecord::fromBytes(std::string(bytes.begin(), bytes.end()), record, fault)) << fault;
        EXPECT_EQ(storyJson(record, replayStory(record, content)), expected.at(golden.name));
    }
}

// The recorder and the verifier agree with today's rules: the scripts played again make
// the very same files.
TEST(GoldenRecords, TheScriptsStillMakeTheSameRecords) {
    for (const Golden& golden : kGoldens) {
        SCOPED_TRACE(golden.name);
        RunStory story;
        const std::string made = playGolden(golden, story).toBytes();
        const std::vector<std::uint8_t> kept = bytesOf(recordPath(golden));
        EXPECT_TRUE(made == std::string(kept.begin(), kept.end()));
    }
}
