#include "TestRecords.h"

#include "board/RunVerifier.h"
#include "io/ByteWriter.h"

#include <stdexcept>

namespace {

void writeU64(ByteWriter& writer, uint64_t value) {
    writer.writeU32(static_cast<uint32_t>(value));
    writer.writeU32(static_cast<uint32_t>(value >> 32));
}

std::string record(uint32_t seed, const std::string& mode, const std::string& difficulty, uint32_t ticks,
                   float score, uint64_t contentHash) {
    std::string bytes("TAMQRUN\x1a", 8);
    bytes += std::string("\x01\x00", 2);
    bytes += std::string("\x05" "1.0.0", 6);
    ByteWriter writer;
    writer.writeU32(0);
    std::string rate("\xf0\x00", 2);
    ByteWriter fields;
    fields.writeU32(seed);
    bytes += rate + fields.bytes();
    bytes += static_cast<char>(mode == "random");
    bytes += static_cast<char>(difficulty == "easy");
    bytes += '\0';
    ByteWriter tail;
    writeU64(tail, contentHash);
    tail.writeU32(ticks);
    tail.writeF32(score);
    tail.writeF32(score / 3);
    writeU64(tail, 0);
    return bytes + tail.bytes();
}

}  // namespace

uint64_t TestRecords::contentHash() {
    static const uint64_t hash = [] {
        RunVerifier verifier;
        std::string fault;
        if (!verifier.load(TAMQ_SOURCE_DIR "/data", fault)) {
            throw std::runtime_error(fault);
        }
        return verifier.contentHash();
    }();
    return hash;
}

std::string TestRecords::play(uint32_t seed, const std::string& mode, const std::string& difficulty, int seconds,
                              int variant) {
    return record(seed, mode, difficulty, static_cast<uint32_t>(seconds) * 240, float(100 + seconds * 15 + variant),
                  contentHash());
}

std::string TestRecords::claiming(uint32_t seed, const std::string& mode, const std::string& difficulty,
                                  int seconds) {
    return record(seed, mode, difficulty, static_cast<uint32_t>(seconds) * 240, 1e6f, contentHash());
}

std::string TestRecords::onOtherContent(const std::string& bytes) {
    std::string changed = bytes;
    changed[8 + 2 + 6 + 2 + 4 + 3] ^= 1;
    return changed;
}
