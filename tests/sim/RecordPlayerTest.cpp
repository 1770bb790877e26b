// The record player: the keys it hands each tick are the ones the record holds there, it
// stops at the claimed end, and it tells where the state meets the record's hashes.
#include "io/FileReader.h"
#include "io/RunRecord.h"
#include "sim/RecordPlayer.h"
#include "sim/RecordVerifier.h"
#include "sim/RunRecorder.h"
#include "sim/SimContent.h"
#include "sim/Simulation.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

RunRecord golden(const std::string& name) {
    std::string bytes, fault;
    RunRecord record;
    EXPECT_TRUE(FileReader::read(std::string(TAMQ_TEST_DATA_DIR) + "/golden/" + name, bytes, fault)) << fault;
    EXPECT_TRUE(RunRecord::fromBytes(bytes, record, fault)) << fault;
    return record;
}

SimContent shippedContent() {
    SimContent content;
    EXPECT_TRUE(content.load());
    return content;
}

// Cuts a record to its first ticks, with the hashes of the seconds left.
RunRecord cut(RunRecord record, std::uint32_t ticks) {
    record.ticks = ticks;
    record.stateHashes.resize(ticks / Simulation::kTickRate);
    std::erase_if(record.changes, [ticks](const RunRecord::Change& change) { return change.tick >= ticks; });
    return record;
}

}  // namespace

// Every tick of the player is the tick a simulation fed keysAt gets, whole records, cut
// ones and one built by hand with two changes on a tick (the later wins) alike; the end
// and every second meet the record's hashes exactly where the record has them.
TEST(RecordPlayer, PlaysEachTickWithTheRecordsKeysToTheClaimedEnd) {
    const SimContent content = shippedContent();
    RunRecord doubled = cut(golden("normal-hard-dodge.rec"), 6 * Simulation::kTickRate);
    ASSERT_GE(doubled.changes.size(), 2u);
    // LEFT with UP, or RIGHT with DOWN: steering the one way or the other, for that tick only.
    const std::uint8_t other = doubled.changes[1].keys == 0x28 ? 0x50 : 0x28;
    doubled.changes.insert(doubled.changes.begin() + 1, {doubled.changes[1].tick, other});
    const struct {
        const char* what;
        RunRecord record;
        bool matchesEnd;
    } cases[] = {
        {"normal hard still", golden("normal-hard-still.rec"), true},
        {"normal easy weave", golden("normal-easy-weave.rec"), true},
        {"random hard weave", golden("random-hard-weave.rec"), true},
        {"random easy dodge", golden("random-easy-dodge.rec"), true},
        {"cut to nothing", cut(golden("normal-easy-weave.rec"), 0), false},
        {"cut mid-second", cut(golden("normal-easy-weave.rec"), 2 * Simulation::kTickRate + 17), false},
        {"two changes on a tick", doubled, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RecordPlayer player;
        player.start(c.record, content);
        auto byKeys = std::make_unique<Simulation>();
        byKeys->startReplay(RunRecorder::startOf(c.record), content);
        std::uint32_t seconds = 0;
        while (player.step()) {
            byKeys->tick(GameInput::fromBits(c.record.keysAt(player.played() - 1)));
            // Keys gone astray move the truck for good: a look every few ticks finds them.
            if (player.played() % 16 == 0 || player.atEnd()) {
                ASSERT_EQ(player.simulation().stateHash(), byKeys->stateHash()) << "tick " << player.played();
            }
            seconds += player.secondClosed() != 0 ? 1 : 0;
            EXPECT_TRUE(player.matchesSecond() || c.record.stateHashes.empty());
        }
        EXPECT_EQ(player.played(), c.record.ticks);
        EXPECT_EQ(seconds, c.record.ticks / Simulation::kTickRate);
        EXPECT_FALSE(player.step()) << "a step past the end";
        EXPECT_EQ(player.matchesEnd(), c.matchesEnd);
    }
}

TEST(RecordPlayer, TellsWhichRecordsCanBePlayedAndWhereTheyPart) {
    const SimContent content = shippedContent();
    const RunRecord whole = golden("normal-easy-weave.rec");
    RunRecord slower = whole;
    slower.tickRate = 120;
    RunRecord elsewhere = whole;
    elsewhere.contentHash ^= 1;
    RunRecord forged = whole;
    forged.stateHashes[1] ^= 1;
    RunRecord hashless = whole;
    hashless.stateHashes.clear();
    const struct {
        const char* what;
        const RunRecord& record;
        RecordPlayer::Fit fit;
        std::uint32_t firstSecondApart;  // 0 for none
    } cases[] = {
        {"sound", whole, RecordPlayer::Fit::Fits, 0},
        {"another tick rate", slower, RecordPlayer::Fit::OtherTickRate, 0},
        {"other content", elsewhere, RecordPlayer::Fit::OtherContent, 0},
        {"a forged hash", forged, RecordPlayer::Fit::Fits, 2},
        {"no hashes at all", hashless, RecordPlayer::Fit::Fits, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RecordPlayer::fit(c.record, content), c.fit);
        if (c.fit != RecordPlayer::Fit::Fits) {
            continue;
        }
        RecordPlayer player;
        player.start(c.record, content);
        std::uint32_t apart = 0;
        while (apart == 0 && player.step()) {
            apart = player.matchesSecond() ? 0 : player.secondClosed();
        }
        EXPECT_EQ(apart, c.firstSecondApart);
    }
}

// A record cut short stops the player where the verifier says the run is not over, and
// whole records end where the verifier accepts them.
TEST(RecordPlayer, StopsWhereTheVerifierJudgesTheEnd) {
    const SimContent content = shippedContent();
    const RunRecord whole = golden("normal-hard-still.rec");
    const std::uint32_t cuts[] = {whole.ticks, whole.ticks - 1, 5 * Simulation::kTickRate, 1};
    for (const std::uint32_t ticks : cuts) {
        SCOPED_TRACE(ticks);
        const RunRecord record = cut(whole, ticks);
        RecordPlayer player;
        player.start(record, content);
        while (player.step()) {
        }
        const VerifyResult result = verifyRecord(record, content);
        EXPECT_EQ(result.valid, player.matchesEnd());
        EXPECT_EQ(player.simulation().run().gameOver, ticks == whole.ticks);
        if (!result.valid) {
            EXPECT_EQ(result.reason, "the run is not over at the claimed end, tick " + std::to_string(ticks));
        }
    }
}
