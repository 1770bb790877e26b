#pragma once

#include "vocab/PlayModes.h"
#include "vocab/TokenTimes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One run as it was played, small enough to keep, send and re-play: how it started (seed,
// mode, difficulty, the arrows held at the start, the content it was played on), the keys
// of every tick as changes, a hash of the whole run state after every second of play, and
// how it ended. The one description of the file, shared by the game, its tools and tests.
//
// Layout, little-endian:
//   magic "TAMQRUN" 0x1A | u16 format version | u8 length + game version text |
//   u16 tick rate | u32 seed | u8 mode | u8 difficulty | u8 arrows at start | u64 content hash |
//   varint change count | count x (varint ticks since the last change, u8 keys) |
//   varint hash count | count x u64 state hash |
//   u32 ticks | f32 score | f32 distance | u64 final state hash
// A change's ticks count from the previous change (from tick 0 for the first); its keys hold
// from that tick on. Before the first change no key is held.
class RunRecord {
public:
    static constexpr char kMagic[8] = {'T', 'A', 'M', 'Q', 'R', 'U', 'N', '\x1a'};
    static constexpr uint16_t kFormatVersion = 1;
    // The longest play a record may claim (see TokenTimes).
    static constexpr uint32_t kMaxPlaySeconds = TokenTimes::kLongestRunSeconds;
    static constexpr uint16_t kMaxTickRate = 1000;
    static constexpr std::size_t kMaxVersionLength = 32;
    // Far above what two hours at the highest tick rate can fill; a reader checks it before
    // taking a file into memory.
    static constexpr std::size_t kMaxFileBytes = 32u << 20;
    // The game keys are bits 0 to 6 of a key byte; the arrows at the start bits 0 to 3.
    static constexpr uint8_t kKeyBits = 0x7f;
    static constexpr uint8_t kArrowBits = 0x0f;

    struct Change {
        uint32_t tick;  // counted from the first tick after the start
        uint8_t keys;
        bool operator==(const Change&) const = default;
    };

    std::string gameVersion;
    uint16_t tickRate = 0;
    uint32_t seed = 0;
    uint8_t mode = 0;        // modeCode (vocab/PlayModes.h)
    uint8_t difficulty = 0;  // difficultyCode
    uint8_t arrowsAtStart = 0;
    uint64_t contentHash = 0;
    std::vector<Change> changes;
    // The state hash after every tickRate ticks: entry n after tick (n + 1) x tickRate.
    std::vector<uint64_t> stateHashes;
    uint32_t ticks = 0;
    float score = 0.0f;
    float distance = 0.0f;
    uint64_t finalHash = 0;

    // Ticks of play the file may claim at its tick rate.
    uint32_t maxTicks() const { return uint32_t{kMaxPlaySeconds} * tickRate; }
    // The keys held in a tick, from the changes.
    uint8_t keysAt(uint32_t tick) const;

    std::string toBytes() const;
    // Reads a record. False with fault set to one line saying what is wrong (record
    // untouched) for a file that is cut short, has another magic or format version, claims
    // more than kMaxPlaySeconds, or whose counts and ticks contradict each other.
    static bool fromBytes(std::string_view bytes, RunRecord& record, std::string& fault);

    bool operator==(const RunRecord&) const = default;
};
