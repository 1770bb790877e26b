#include "TestRecords.h"

#include "board/RunVerifier.h"
#include "io/RunRecord.h"

#include <stdexcept>

namespace {

std::string record(uint32_t seed, const std::string& mode, const std::string& difficulty, uint32_t seconds,
                   float score, uint64_t contentHash) {
    RunRecord run;
    run.gameVersion = "1.0.0";
    run.tickRate = 240;
    run.seed = seed;
    run.mode = mode == "random" ? 1 : 0;
    run.difficulty = difficulty == "easy" ? 1 : 0;
    run.contentHash = contentHash;
    run.changes = {{0, 0x08}, {120, 0x00}};
    run.ticks = seconds * run.tickRate;
    run.stateHashes.assign(seconds, 0x1234);
    run.score = score;
    run.distance = score / 3;
    return run.toBytes();
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
    return record(seed, mode, difficulty, static_cast<uint32_t>(seconds), float(100 + seconds * 15 + variant),
                  contentHash());
}

std::string TestRecords::claiming(uint32_t seed, const std::string& mode, const std::string& difficulty,
                                  int seconds) {
    return record(seed, mode, difficulty, static_cast<uint32_t>(seconds), 1e6f, contentHash());
}

std::string TestRecords::onOtherContent(const std::string& bytes) {
    RunRecord run;
    std::string fault;
    if (!RunRecord::fromBytes(bytes, run, fault)) {
        throw std::runtime_error(fault);
    }
    run.contentHash ^= 1;
    return run.toBytes();
}
