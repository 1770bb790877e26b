#include "RunVerifier.h"

#include "io/RunRecord.h"
#include "sim/Simulation.h"

#include <cstring>
#include <memory>

bool RunVerifier::load(const std::string& dataFolder, std::string& fault) {
    if (!content_.load(dataFolder + "/cars.json", dataFolder + "/meshes/colliders/quadCollider.json")) {
        fault = dataFolder + ": the rules' content cannot be used";
        return false;
    }
    contentHash_ = content_.hash();
    return true;
}

bool RunVerifier::readClaim(const std::string& bytes, RecordClaim& claim, std::string& reason) {
    RunRecord record;
    std::string fault;
    if (!RunRecord::fromBytes(bytes, record, fault)) {
        reason = "malformed: " + fault;
        return false;
    }
    claim.seed = record.seed;
    claim.mode = record.mode == 0 ? "normal" : "random";
    claim.difficulty = record.difficulty == 0 ? "hard" : "easy";
    claim.contentHash = record.contentHash;
    claim.ticks = record.ticks;
    claim.playSeconds = double(record.ticks) / record.tickRate;
    return true;
}

Replay RunVerifier::replay(const std::string& bytes) const {
    Replay replay;
    RunRecord record;
    std::string fault;
    if (!RunRecord::fromBytes(bytes, record, fault)) {
        replay.reason = "malformed: " + fault;
        return replay;
    }
    if (record.contentHash != contentHash_) {
        replay.reason = "content differs";
        return replay;
    }
    if (record.tickRate != Simulation::kTickRate) {
        replay.reason = "malformed: tick rate " + std::to_string(record.tickRate) + ", the rules run at " +
                        std::to_string(Simulation::kTickRate);
        return replay;
    }
    RunStart start;
    start.seed = record.seed;
    start.mode = record.mode == 0 ? Mode::Normal : Mode::Random;
    start.difficulty = record.difficulty == 0 ? Difficulty::Hard : Difficulty::Easy;
    start.left = (record.arrowsAtStart & 1) != 0;
    start.right = (record.arrowsAtStart & 2) != 0;
    start.up = (record.arrowsAtStart & 4) != 0;
    start.down = (record.arrowsAtStart & 8) != 0;
    auto simulation = std::make_unique<Simulation>();
    simulation->startReplay(start, content_);
    std::size_t change = 0;
    GameInput input;
    for (uint32_t tick = 0; tick < record.ticks; ++tick) {
        if (change < record.changes.size() && record.changes[change].tick == tick) {
            uint8_t keys = record.changes[change++].keys;
            input.releaseAll();
            for (int key = 0; key < 7; ++key) {
                input.hold(static_cast<GameKey>(key), (keys >> key & 1) != 0);
            }
        }
        simulation->tick(input);
        if ((tick + 1) % record.tickRate == 0 &&
            simulation->stateHash() != record.stateHashes[(tick + 1) / record.tickRate - 1]) {
            replay.reason = "state hash differs at second " + std::to_string((tick + 1) / record.tickRate);
            return replay;
        }
    }
    float score = simulation->run().score;
    float distance = simulation->run().distance;
    if (simulation->stateHash() != record.finalHash) {
        replay.reason = "state hash differs at the end";
        return replay;
    }
    if (std::memcmp(&score, &record.score, sizeof score) != 0 ||
        std::memcmp(&distance, &record.distance, sizeof distance) != 0) {
        replay.reason = "score claimed differs";
        return replay;
    }
    replay.ticks = record.ticks;
    replay.score = score;
    replay.distance = distance;
    replay.valid = true;
    return replay;
}
