// The verifier against records changed the ways a damaged file, other content or a forger
// would change them: each is refused with the first reason, and a sound one passes.
#include "io/FileReader.h"
#include "io/RunRecord.h"
#include "sim/RecordPlayer.h"
#include "sim/RecordVerifier.h"
#include "sim/RunRecorder.h"
#include "sim/SimContent.h"
#include "sim/Simulation.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// By default a golden EASY run that weaves into the traffic until its fourth hit.
RunRecord goldenRecord(const std::string& name = "normal-easy-weave.rec") {
    std::string bytes, fault;
    RunRecord record;
    EXPECT_TRUE(FileReader::read(std::string(TAMQ_TEST_DATA_DIR) + "/golden/" + name, bytes, fault)) << fault;
    EXPECT_TRUE(RunRecord::fromBytes(bytes, record, fault)) << fault;
    return record;
}

std::vector<std::uint8_t> bytesOf(const RunRecord& record) {
    const std::string bytes = record.toBytes();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

SimContent shippedContent() {
    SimContent content;
    EXPECT_TRUE(content.load());
    return content;
}

// Holds keys from a tick on, replacing what the record held there.
void holdFrom(RunRecord& record, std::uint32_t tick, std::uint8_t keys) {
    std::vector<RunRecord::Change> changes;
    std::uint8_t last = 0;
    for (const RunRecord::Change& change : record.changes) {
        if (change.tick < tick) {
            changes.push_back(change);
            last = change.keys;
        }
    }
    if (keys != last) {
        changes.push_back({tick, keys});
    }
    record.changes = changes;
}

}  // namespace

TEST(RecordVerifier, ASoundRecordIsValidWithWhatTheRunCameTo) {
    const RunRecord record = goldenRecord();
    const VerifyResult result = verifyRecord(bytesOf(record), shippedContent());
    ASSERT_TRUE(result.valid) << result.reason;
    EXPECT_EQ(result.ticks, record.ticks);
    EXPECT_EQ(result.score, record.score);
    EXPECT_EQ(result.json(), "{\"valid\":true,\"mode\":\"NORMAL\",\"difficulty\":\"EASY\",\"score\":" +
                                 std::to_string(static_cast<long long>(record.score)) + ",\"distance\":" +
                                 std::to_string(static_cast<long long>(record.distance)) + ",\"ticks\":" +
                                 std::to_string(record.ticks) + "}");
}

TEST(RecordVerifier, RefusesWithTheFirstReason) {
    const RunRecord golden = goldenRecord();
    const std::vector<std::uint8_t> whole = bytesOf(golden);
    const std::uint32_t seconds = golden.ticks / Simulation::kTickRate;
    ASSERT_GE(seconds, 6u);
    const auto changed = [&golden](const std::function<void(RunRecord&)>& change) {
        RunRecord record = golden;
        change(record);
        return bytesOf(record);
    };
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::string reason;
    } cases[] = {
        {"not a record", {'h', 'i'}, "malformed: not a run record (no TAMQRUN mark at the start)"},
        {"cut short", std::vector<std::uint8_t>(whole.begin(), whole.end() - 1),
         "malformed: cut short in the end"},
        {"another tick rate", changed([](RunRecord& r) { r.tickRate = 120; r.stateHashes.resize(r.ticks / 120, 0); }),
         "malformed: made at 120 ticks a second, this game runs 240"},
        {"other content", changed([](RunRecord& r) { r.contentHash ^= 1; }), "content differs"},
        {"another seed", changed([](RunRecord& r) { r.seed ^= 1; }), "state hash differs at second 1"},
        {"a hash changed", changed([](RunRecord& r) { r.stateHashes[2] ^= 1; }), "state hash differs at second 3"},
        {"steered the other way from second 4",
         changed([](RunRecord& r) { holdFrom(r, 4 * Simulation::kTickRate, 1u << 3 | 1u << 5); }),
         "state hash differs at second 5"},
        {"score raised", changed([](RunRecord& r) { r.score += 1.0f; }), "score claimed differs"},
        {"distance raised", changed([](RunRecord& r) { r.distance += 0.5f; }), "distance claimed differs"},
        {"final hash changed", changed([](RunRecord& r) { r.finalHash ^= 1; }), "state hash differs at the end"},
        {"ends early", changed([](RunRecord& r) {
             r.ticks -= 1;
             r.stateHashes.resize(r.ticks / Simulation::kTickRate);
         }),
         "the run is not over at the claimed end, tick " + std::to_string(golden.ticks - 1)},
        {"claims to go on", changed([](RunRecord& r) {
             r.ticks += Simulation::kTickRate;
             r.stateHashes.push_back(0);
         }),
         "the run ends at tick " + std::to_string(golden.ticks) + ", before the claimed " +
             std::to_string(golden.ticks + Simulation::kTickRate)},
        {"restarted with SPACE", changed([](RunRecord& r) { holdFrom(r, 3 * Simulation::kTickRate, 1u << 0); }),
         "the inputs restart the run at tick 720"},
    };
    const SimContent content = shippedContent();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const VerifyResult result = verifyRecord(c.bytes, content);
        EXPECT_FALSE(result.valid);
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_EQ(result.json(), "{\"valid\":false,\"reason\":\"" + c.reason + "\"}");
    }
}

// The recorder's record of a live run is what the verifier re-plays, whatever the arrows
// held at the start: a run restarted with SPACE while steering starts with them.
TEST(RunRecorder, RecordsARunStartedWhileSteeringAndDropsOneRestartedBeforeItsEnd) {
    auto sim = std::make_unique<Simulation>();
    ASSERT_TRUE(sim->init());
    sim->setNextSeed(77);
    RunRecorder recorder("test");
    GameInput input;
    long tick = 0;
    const auto play = [&](long until, GameInput keys) {
        for (; tick < until && !recorder.complete(); ++tick) {
            input = keys;
            sim->tick(input);
            recorder.follow(*sim, input);
        }
    };
    play(300, {});
    play(301, {GameKey::Space});
    play(800, {GameKey::Left});
    EXPECT_FALSE(recorder.complete());
    // SPACE again while LEFT is held: the first run is dropped, the second starts steering.
    play(801, {GameKey::Space, GameKey::Left});
    EXPECT_TRUE(recorder.record().arrowsAtStart & 1u);
    play(Simulation::kTickRate * 600, {GameKey::Left, GameKey::Up});
    ASSERT_TRUE(recorder.complete());
    const RunRecord& record = recorder.record();
    EXPECT_EQ(record.seed, 77u);
    EXPECT_EQ(record.gameVersion, "test");
    EXPECT_EQ(record.changes.front().tick, 0u);
    EXPECT_EQ(record.stateHashes.size(), record.ticks / Simulation::kTickRate);
    EXPECT_EQ(record.score, sim->run().score);
    const VerifyResult result = verifyRecord(bytesOf(record), sim->content());
    EXPECT_TRUE(result.valid) << result.reason;
}

// The player under the verifier hands each tick the keys the record holds there (the later
// of two changes on one tick), stops at the claimed end, and says where the state parts
// from the record's hashes.
TEST(RecordPlayer, PlaysTheRecordsKeysToItsEndAndSaysWhereItParts) {
    const SimContent content = shippedContent();
    const RunRecord whole = goldenRecord();
    RunRecord cut = whole;
    cut.ticks = 2 * Simulation::kTickRate + 17;
    cut.stateHashes.resize(2);
    std::erase_if(cut.changes, [&cut](const RunRecord::Change& change) { return change.tick >= cut.ticks; });
    // Steering the other way for one tick, overruled on that very tick: the same run.
    RunRecord doubled = goldenRecord("normal-hard-dodge.rec");
    const std::uint8_t other = doubled.changes[1].keys == 0x28 ? 0x50 : 0x28;
    doubled.changes.insert(doubled.changes.begin() + 1, {doubled.changes[1].tick, other});
    RunRecord forged = whole;
    forged.stateHashes[1] ^= 1;
    RunRecord hashless = whole;
    hashless.stateHashes.clear();
    const struct {
        const char* what;
        const RunRecord& record;
        std::uint32_t firstSecondApart;  // 0 for none
        bool matchesEnd;
    } cases[] = {
        {"whole", whole, 0, true},         {"cut mid-second", cut, 0, false},
        {"two changes on a tick", doubled, 0, true}, {"a forged hash", forged, 2, true},
        {"no hashes", hashless, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(RecordPlayer::fit(c.record, content), RecordPlayer::Fit::Fits);
        RecordPlayer player;
        player.start(c.record, content);
        std::uint32_t apart = 0;
        while (player.step()) {
            apart = apart != 0 || player.matchesSecond() ? apart : player.secondClosed();
        }
        EXPECT_EQ(player.played(), c.record.ticks);
        EXPECT_FALSE(player.step()) << "a step past the end";
        EXPECT_EQ(apart, c.firstSecondApart);
        EXPECT_EQ(player.matchesEnd(), c.matchesEnd);
    }
}
