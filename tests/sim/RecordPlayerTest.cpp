// The record player hands each tick the keys the record holds there (the later of two
// changes on one tick), stops at the claimed end, and says where the state parts from the
// record's hashes.
#include "io/FileReader.h"
#include "io/RunRecord.h"
#include "sim/RecordPlayer.h"
#include "sim/SimContent.h"
#include "sim/Simulation.h"

#include <gtest/gtest.h>

#include <string>

namespace {

RunRecord golden(const std::string& name) {
    std::string bytes, fault;
    RunRecord record;
    EXPECT_TRUE(FileReader::read(std::string(TAMQ_TEST_DATA_DIR) + "/golden/" + name, bytes, fault)) << fault;
    EXPECT_TRUE(RunRecord::fromBytes(bytes, record, fault)) << fault;
    return record;
}

}  // namespace

TEST(RecordPlayer, PlaysTheRecordsKeysToItsEndAndSaysWhereItParts) {
    SimContent content;
    ASSERT_TRUE(content.load());
    const RunRecord whole = golden("normal-easy-weave.rec");
    RunRecord cut = whole;
    cut.ticks = 2 * Simulation::kTickRate + 17;
    cut.stateHashes.resize(2);
    std::erase_if(cut.changes, [&cut](const RunRecord::Change& change) { return change.tick >= cut.ticks; });
    // Steering the other way for one tick, overruled on that very tick: the same run.
    RunRecord doubled = golden("normal-hard-dodge.rec");
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
