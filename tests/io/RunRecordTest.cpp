#include "io/ByteWriter.h"
#include "io/RunRecord.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

namespace {

// A short EASY RANDOM run of 2.5 seconds at 240 ticks a second.
RunRecord sampleRecord() {
    RunRecord record;
    record.gameVersion = "1.0.0";
    record.tickRate = 240;
    record.seed = 0xdeadbeefu;
    record.mode = 1;
    record.difficulty = 1;
    record.arrowsAtStart = 0x02;
    record.contentHash = 0x0123456789abcdefull;
    record.changes = {{0, 0x01}, {3, 0x00}, {200, 0x08}, {599, 0x18}};
    record.stateHashes = {0x1111111111111111ull, 0x2222222222222222ull};
    record.ticks = 600;
    record.score = 112.5f;
    record.distance = 37.5f;
    record.finalHash = 0xfedcba9876543210ull;
    return record;
}

// Where the fields of sampleRecord's file lie.
constexpr std::size_t kVersionAt = 8;
constexpr std::size_t kTickRateAt = 8 + 2 + 1 + 5;
constexpr std::size_t kModeAt = kTickRateAt + 2 + 4;
constexpr std::size_t kChangeCountAt = kModeAt + 3 + 8;

TEST(RunRecord, ReadsBackWhatItWrote) {
    const RunRecord record = sampleRecord();
    const std::string bytes = record.toBytes();
    RunRecord read;
    std::string fault;
    ASSERT_TRUE(RunRecord::fromBytes(bytes, read, fault)) << fault;
    EXPECT_EQ(read, record);
    // The gaps are stored, not the ticks: 0 and 3 take a byte, 197 and 399 two, and each keys one.
    EXPECT_EQ(bytes.size(), kChangeCountAt + 1 + (1 + 1) * 2 + (2 + 1) * 2 + 1 + 2 * 8 + 20);
}

TEST(RunRecord, KeysHoldFromTheirChangeUntilTheNext) {
    const RunRecord record = sampleRecord();
    const struct {
        uint32_t tick;
        uint8_t keys;
    } cases[] = {{0, 0x01}, {2, 0x01}, {3, 0x00}, {199, 0x00}, {200, 0x08}, {598, 0x08}, {599, 0x18}, {5000, 0x18}};
    for (const auto& c : cases) {
        EXPECT_EQ(record.keysAt(c.tick), c.keys) << "tick " << c.tick;
    }
    EXPECT_EQ(RunRecord{}.keysAt(10), 0);
}

TEST(RunRecord, LongGapsAndTheLongestPlayRoundTrip) {
    RunRecord record = sampleRecord();
    record.ticks = record.maxTicks();
    record.stateHashes.assign(record.ticks / record.tickRate, 7);
    record.changes = {{0, 0x10}, {300000, 0x20}, {record.ticks - 1, 0x40}};
    RunRecord read;
    std::string fault;
    ASSERT_TRUE(RunRecord::fromBytes(record.toBytes(), read, fault)) << fault;
    EXPECT_EQ(read, record);
}

// A version longer than a record keeps is cut, never written as a length the reader refuses
// or one that wraps past 255.
TEST(RunRecord, AVersionIsWrittenAtMostAsLongAsTheReaderTakes) {
    const std::size_t most = RunRecord::kMaxVersionLength;
    const struct {
        std::size_t length;
        std::size_t kept;
    } cases[] = {{0, 0}, {most, most}, {most + 1, most}, {256, most}, {300, most}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        RunRecord record = sampleRecord();
        record.gameVersion = std::string(c.length, '7');
        RunRecord read;
        std::string fault;
        ASSERT_TRUE(RunRecord::fromBytes(record.toBytes(), read, fault)) << fault;
        EXPECT_EQ(read.gameVersion, std::string(c.kept, '7'));
    }
}

std::string withBytes(std::string bytes, std::size_t at, const std::string& replacement) {
    return bytes.replace(at, replacement.size(), replacement);
}

std::string withByte(const std::string& bytes, std::size_t at, char value) {
    return withBytes(bytes, at, std::string(1, value));
}

std::string withTail(std::string bytes, std::size_t cut, const std::string& tail) {
    return bytes.substr(0, bytes.size() - cut) + tail;
}

std::string recordWith(const std::function<void(RunRecord&)>& change) {
    RunRecord record = sampleRecord();
    change(record);
    return record.toBytes();
}

std::string u32(uint32_t value) {
    ByteWriter out;
    out.writeU32(value);
    return out.bytes();
}

// Every refusal names what is wrong; none of them crashes or reads past the bytes.
TEST(RunRecord, RefusesDamagedAndForgedFilesWithOneLine) {
    const std::string good = sampleRecord().toBytes();
    const std::size_t endAt = good.size() - 20;
    const struct {
        const char* what;
        std::string bytes;
        const char* fault;
    } cases[] = {
        {"empty", "", "not a run record"},
        {"another file", "{\"normal\": 3}", "not a run record"},
        {"magic only", good.substr(0, 8), "cut short in the header"},
        {"newer format", withByte(good, kVersionAt, 2), "record format 2, this game reads format 1"},
        {"version too long", withByte(good, kVersionAt + 2, 100), "game version of 100 characters"},
        {"version with control bytes", withByte(good, kVersionAt + 3, '\n'), "not plain text"},
        {"cut in header", good.substr(0, kModeAt), "cut short in the header"},
        {"tick rate zero", withBytes(good, kTickRateAt, std::string(2, '\0')), "tick rate 0"},
        {"tick rate huge", withByte(good, kTickRateAt + 1, '\x7f'), "tick rate 32752"},
        {"unknown mode", withByte(good, kModeAt, 2), "unknown mode"},
        {"unknown arrows", withByte(good, kModeAt + 2, '\x10'), "unknown mode, difficulty or arrows"},
        {"cut in inputs", good.substr(0, kChangeCountAt + 10), "cut short in the inputs"},
        {"absurd change count", withBytes(good, kChangeCountAt, "\xff\x7f"),
         "input changes claimed"},
        {"unknown key bit", withByte(good, kChangeCountAt + 2, '\x81'), "holds unknown keys"},
        {"change repeats the keys", recordWith([](RunRecord& r) { r.changes[1].keys = 0x01; }), "changes nothing"},
        {"two changes on one tick", recordWith([](RunRecord& r) { r.changes[1].tick = 0; }), "tick of the one before"},
        {"change past the last tick", recordWith([](RunRecord& r) { r.changes[3].tick = 600; }),
         "after the last tick"},
        {"change past two hours", recordWith([](RunRecord& r) { r.changes[3].tick = 240 * 7200; }),
         "past 2 hours"},
        {"hashes for fewer ticks", recordWith([](RunRecord& r) { r.ticks = 479; }), "2 state hashes for 479 ticks"},
        {"hashes missing", recordWith([](RunRecord& r) { r.stateHashes.pop_back(); }), "1 state hashes for 600"},
        {"cut in hashes", good.substr(0, endAt - 4), "2 state hashes claimed, more than the file"},
        {"cut in end", good.substr(0, good.size() - 1), "cut short in the end"},
        {"absurd ticks", withTail(good, 20, u32(240u * 7200 + 1) + good.substr(endAt + 4)), "more than 2 hours"},
        {"trailing bytes", good + "x", "1 bytes after the end"},
        {"negative score", recordWith([](RunRecord& r) { r.score = -1.0f; }), "score or distance"},
        {"score not a number", recordWith([](RunRecord& r) { r.score = NAN; }), "score or distance"},
        {"distance infinite", recordWith([](RunRecord& r) { r.distance = INFINITY; }), "score or distance"},
        {"huge file", good + std::string(RunRecord::kMaxFileBytes, '\0'), "more than any record holds"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RunRecord read = sampleRecord();
        read.seed = 99;
        std::string fault;
        EXPECT_FALSE(RunRecord::fromBytes(c.bytes, read, fault));
        EXPECT_NE(fault.find(c.fault), std::string::npos) << fault;
        EXPECT_EQ(fault.find('\n'), std::string::npos);
        EXPECT_EQ(read.seed, 99u) << "a refused file must leave the record untouched";
    }
}

TEST(RunRecord, EveryCutOfAGoodFileIsRefused) {
    const std::string good = sampleRecord().toBytes();
    for (std::size_t size = 0; size < good.size(); ++size) {
        RunRecord read;
        std::string fault;
        EXPECT_FALSE(RunRecord::fromBytes(good.substr(0, size), read, fault)) << size;
        EXPECT_FALSE(fault.empty());
    }
}

}  // namespace
