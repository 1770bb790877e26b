#include "TestRecords.h"

#include "board/RunVerifier.h"
#include "io/RunRecord.h"
#include "vocab/ContentPaths.h"
#include "sim/RunRecorder.h"
#include "sim/Simulation.h"

#include <memory>
#include <stdexcept>

namespace {

const std::string kData = TAMQ_SOURCE_DIR "/data";

// The keys of a scripted player at a tick: weaves left and right at a pace the variant
// sets, now and then climbing or dropping.
uint8_t scriptedKeys(uint32_t tick, int variant) {
    const uint32_t period = 90 + static_cast<uint32_t>(variant % 13) * 17;
    uint8_t keys = (tick / period) % 2 == 0 ? 1u << static_cast<int>(GameKey::Left)
                                             : 1u << static_cast<int>(GameKey::Right);
    if ((tick / (period * 3)) % 3 == 1) {
        keys |= 1u << static_cast<int>(GameKey::Up);
    } else if ((tick / (period * 3)) % 3 == 2) {
        keys |= 1u << static_cast<int>(GameKey::Down);
    }
    return keys;
}

}  // namespace

uint64_t TestRecords::contentHash() {
    static const uint64_t hash = [] {
        RunVerifier verifier;
        std::string fault;
        if (!verifier.load(kData, fault)) {
            throw std::runtime_error(fault);
        }
        return verifier.contentHash();
    }();
    return hash;
}

std::string TestRecords::play(uint32_t seed, const std::string& mode, const std::string& difficulty, int seconds,
                              int variant) {
    auto simulation = std::make_unique<Simulation>();
    if (!simulation->init(kData + "/" + ContentPaths::inData(ContentPaths::kTraffic),
                          kData + "/" + ContentPaths::inData(ContentPaths::kCollider))) {
        throw std::runtime_error("the content of " + kData + " cannot be used");
    }
    modeNamed(mode.c_str(), simulation->run().mode);
    difficultyNamed(difficulty.c_str(), simulation->run().difficulty);
    simulation->setNextSeed(seed);
    RunRecorder recorder("1.0.0");
    // The title screen lets SPACE act once a second has passed.
    GameInput none;
    while (!simulation->run().keyActionAllowed()) {
        simulation->tick(none);
        recorder.follow(*simulation, none);
    }
    const GameInput space{GameKey::Space};
    simulation->tick(space);
    recorder.follow(*simulation, space);
    if (!simulation->run().running || simulation->runStart().seed != seed) {
        throw std::runtime_error("SPACE did not start a run");
    }
    const uint32_t most = static_cast<uint32_t>(seconds) * Simulation::kTickRate;
    for (uint32_t tick = 0; tick < most && !recorder.complete(); ++tick) {
        GameInput input = GameInput::fromBits(scriptedKeys(tick, variant));
        simulation->tick(input);
        recorder.follow(*simulation, input);
    }
    if (!recorder.complete()) {
        throw std::runtime_error("the scripted player outlived " + std::to_string(seconds) + " s");
    }
    return recorder.record().toBytes();
}

std::string TestRecords::claiming(uint32_t seed, const std::string& mode, const std::string& difficulty,
                                  int seconds) {
    RunRecord record;
    record.gameVersion = "1.0.0";
    record.tickRate = Simulation::kTickRate;
    record.seed = seed;
    Mode played = Mode::Normal;
    Difficulty level = Difficulty::Hard;
    modeNamed(mode.c_str(), played);
    difficultyNamed(difficulty.c_str(), level);
    record.mode = modeCode(played);
    record.difficulty = difficultyCode(level);
    record.contentHash = contentHash();
    record.ticks = static_cast<uint32_t>(seconds) * record.tickRate;
    record.stateHashes.assign(static_cast<std::size_t>(seconds), 0);
    record.score = 1e6f;
    record.distance = 1e5f;
    return record.toBytes();
}

float TestRecords::score(const std::string& bytes) {
    RunRecord run;
    std::string fault;
    if (!RunRecord::fromBytes(bytes, run, fault)) {
        throw std::runtime_error(fault);
    }
    return run.score;
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
