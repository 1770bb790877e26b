#include "RunRecord.h"

#include "ByteCursor.h"
#include "ByteWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

uint8_t RunRecord::keysAt(uint32_t tick) const {
    auto after = std::upper_bound(changes.begin(), changes.end(), tick,
                                  [](uint32_t t, const Change& change) { return t < change.tick; });
    return after == changes.begin() ? 0 : std::prev(after)->keys;
}

std::string RunRecord::toBytes() const {
    ByteWriter out;
    out.writeBytes(std::string_view(kMagic, sizeof kMagic));
    out.writeU16(kFormatVersion);
    // The reader takes no longer version: a longer one is cut rather than written unreadable.
    const std::string_view version = std::string_view(gameVersion).substr(0, kMaxVersionLength);
    out.writeU8(static_cast<uint8_t>(version.size()));
    out.writeBytes(version);
    out.writeU16(tickRate);
    out.writeU32(seed);
    out.writeU8(mode);
    out.writeU8(difficulty);
    out.writeU8(arrowsAtStart);
    out.writeU64(contentHash);
    out.writeVarU32(static_cast<uint32_t>(changes.size()));
    uint32_t last = 0;
    for (const Change& change : changes) {
        out.writeVarU32(change.tick - last);
        out.writeU8(change.keys);
        last = change.tick;
    }
    out.writeVarU32(static_cast<uint32_t>(stateHashes.size()));
    for (uint64_t hash : stateHashes) {
        out.writeU64(hash);
    }
    out.writeU32(ticks);
    out.writeF32(score);
    out.writeF32(distance);
    out.writeU64(finalHash);
    return out.bytes();
}

namespace {

// Every refusal is one line: what was being read, and what is wrong with it.
bool refuse(std::string& fault, const std::string& line) {
    fault = line;
    return false;
}

bool printable(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

}  // namespace

bool RunRecord::fromBytes(std::string_view bytes, RunRecord& record, std::string& fault) {
    if (bytes.size() > kMaxFileBytes) {
        return refuse(fault, std::to_string(bytes.size()) + " bytes, more than any record holds");
    }
    ByteCursor in(bytes);
    const std::string cut = "cut short in the ";
    char magic[sizeof kMagic] = {};
    if (!in.readBytes(magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof magic) != 0) {
        return refuse(fault, "not a run record (no TAMQRUN mark at the start)");
    }
    RunRecord read;
    uint16_t version = 0;
    if (!in.readU16(version)) {
        return refuse(fault, cut + "header");
    }
    if (version != kFormatVersion) {
        return refuse(fault, "record format " + std::to_string(version) + ", this game reads format " +
                                 std::to_string(kFormatVersion));
    }
    uint8_t versionLength = 0;
    if (!in.readU8(versionLength)) {
        return refuse(fault, cut + "header");
    }
    if (versionLength > kMaxVersionLength) {
        return refuse(fault, "game version of " + std::to_string(versionLength) + " characters, at most " +
                                 std::to_string(kMaxVersionLength));
    }
    read.gameVersion.resize(versionLength);
    if (!in.readBytes(read.gameVersion.data(), versionLength) || !in.readU16(read.tickRate) ||
        !in.readU32(read.seed) || !in.readU8(read.mode) || !in.readU8(read.difficulty) ||
        !in.readU8(read.arrowsAtStart) || !in.readU64(read.contentHash)) {
        return refuse(fault, cut + "header");
    }
    if (!printable(read.gameVersion)) {
        return refuse(fault, "game version is not plain text");
    }
    if (read.tickRate == 0 || read.tickRate > kMaxTickRate) {
        return refuse(fault, "tick rate " + std::to_string(read.tickRate) + " is not from 1 to " +
                                 std::to_string(kMaxTickRate));
    }
    if (read.mode >= kModeCodes || read.difficulty >= kDifficultyCodes || (read.arrowsAtStart & ~kArrowBits) != 0) {
        return refuse(fault, "unknown mode, difficulty or arrows in the header");
    }
    const uint32_t maxTicks = read.maxTicks();

    uint32_t changeCount = 0;
    if (!in.readVarU32(changeCount)) {
        return refuse(fault, cut + "inputs");
    }
    // Each change takes at least two bytes and falls on a tick of its own.
    if (changeCount > maxTicks || changeCount > in.remaining() / 2) {
        return refuse(fault, std::to_string(changeCount) + " input changes claimed, more than the file or " +
                                 std::to_string(kMaxPlaySeconds / 3600) + " hours of play can hold");
    }
    read.changes.reserve(changeCount);
    uint64_t tick = 0;
    uint8_t previous = 0;
    for (uint32_t i = 0; i < changeCount; ++i) {
        uint32_t gap = 0;
        Change change{};
        if (!in.readVarU32(gap) || !in.readU8(change.keys)) {
            return refuse(fault, cut + "inputs");
        }
        tick += gap;
        if (i > 0 && gap == 0) {
            return refuse(fault, "input change " + std::to_string(i) + " falls on the tick of the one before");
        }
        if ((change.keys & ~kKeyBits) != 0 || change.keys == previous) {
            return refuse(fault, "input change " + std::to_string(i) + " holds unknown keys or changes nothing");
        }
        if (tick >= maxTicks) {
            return refuse(fault, "input change " + std::to_string(i) + " lies past " +
                                     std::to_string(kMaxPlaySeconds / 3600) + " hours of play");
        }
        change.tick = static_cast<uint32_t>(tick);
        previous = change.keys;
        read.changes.push_back(change);
    }

    uint32_t hashCount = 0;
    if (!in.readVarU32(hashCount)) {
        return refuse(fault, cut + "state hashes");
    }
    if (hashCount > maxTicks / read.tickRate || hashCount > in.remaining() / 8) {
        return refuse(fault, std::to_string(hashCount) + " state hashes claimed, more than the file or " +
                                 std::to_string(kMaxPlaySeconds / 3600) + " hours of play can hold");
    }
    read.stateHashes.resize(hashCount);
    for (uint64_t& hash : read.stateHashes) {
        in.readU64(hash);
    }

    if (!in.readU32(read.ticks) || !in.readF32(read.score) || !in.readF32(read.distance) ||
        !in.readU64(read.finalHash)) {
        return refuse(fault, cut + "end");
    }
    if (in.remaining() != 0) {
        return refuse(fault, std::to_string(in.remaining()) + " bytes after the end of the record");
    }
    if (read.ticks > maxTicks) {
        return refuse(fault, std::to_string(read.ticks) + " ticks claimed, more than " +
                                 std::to_string(kMaxPlaySeconds / 3600) + " hours of play");
    }
    if (hashCount != read.ticks / read.tickRate) {
        return refuse(fault, std::to_string(hashCount) + " state hashes for " + std::to_string(read.ticks) +
                                 " ticks, which call for " + std::to_string(read.ticks / read.tickRate));
    }
    if (!read.changes.empty() && read.changes.back().tick >= read.ticks) {
        return refuse(fault, "an input change lies after the last tick");
    }
    if (!std::isfinite(read.score) || read.score < 0.0f || !std::isfinite(read.distance) || read.distance < 0.0f) {
        return refuse(fault, "score or distance is negative or not a number");
    }
    record = std::move(read);
    return true;
}
