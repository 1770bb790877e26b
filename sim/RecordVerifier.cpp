#include "sim/RecordVerifier.h"

#include "io/RunRecord.h"
#include "sim/RunRecorder.h"
#include "sim/SimContent.h"
#include "sim/Simulation.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <string_view>

namespace {

VerifyResult invalid(std::string reason) {
    VerifyResult result;
    result.reason = std::move(reason);
    return result;
}

}  // namespace

std::string VerifyResult::json() const {
    nlohmann::ordered_json line = nlohmann::ordered_json::object();
    line["valid"] = valid;
    if (!valid) {
        line["reason"] = reason;
        return line.dump();
    }
    line["mode"] = mode == Mode::Random ? "RANDOM" : "NORMAL";
    line["difficulty"] = difficulty == Difficulty::Easy ? "EASY" : "HARD";
    // Whole points and units, truncated toward zero as the HUD prints them.
    line["score"] = static_cast<long long>(score);
    line["distance"] = static_cast<long long>(distance);
    line["ticks"] = ticks;
    return line.dump();
}

VerifyResult verifyRecord(const std::vector<std::uint8_t>& bytes, const SimContent& content) {
    RunRecord record;
    std::string fault;
    if (!RunRecord::fromBytes(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), record,
                              fault)) {
        return invalid("malformed: " + fault);
    }
    if (record.tickRate != Simulation::kTickRate) {
        return invalid("malformed: made at " + std::to_string(record.tickRate) + " ticks a second, this game runs " +
                       std::to_string(Simulation::kTickRate));
    }
    if (record.contentHash != content.hash()) {
        return invalid("content differs");
    }
    // The simulation is large (its car slots and queue): on the heap, not the stack.
    auto sim = std::make_unique<Simulation>();
    sim->startReplay(RunRecorder::startOf(record), content);
    std::size_t nextChange = 0;
    GameInput input;
    for (uint32_t tick = 0; tick < record.ticks; ++tick) {
        if (nextChange < record.changes.size() && record.changes[nextChange].tick == tick) {
            input = GameInput::fromBits(record.changes[nextChange].keys);
            ++nextChange;
        }
        sim->tick(input);
        if (sim->events().has(GameEvent::Started)) {
            return invalid("the inputs restart the run at tick " + std::to_string(tick));
        }
        const uint32_t played = tick + 1;
        if (sim->run().gameOver && played < record.ticks) {
            return invalid("the run ends at tick " + std::to_string(played) + ", before the claimed " +
                           std::to_string(record.ticks));
        }
        if (played % Simulation::kTickRate == 0 &&
            sim->stateHash() != record.stateHashes[played / Simulation::kTickRate - 1]) {
            return invalid("state hash differs at second " + std::to_string(played / Simulation::kTickRate));
        }
    }
    if (!sim->run().gameOver) {
        return invalid("the run is not over at the claimed end, tick " + std::to_string(record.ticks));
    }
    if (sim->stateHash() != record.finalHash) {
        return invalid("state hash differs at the end");
    }
    if (sim->run().score != record.score) {
        return invalid("score claimed differs");
    }
    if (sim->run().distance != record.distance) {
        return invalid("distance claimed differs");
    }
    VerifyResult result;
    result.valid = true;
    const RunStart start = RunRecorder::startOf(record);
    result.mode = start.mode;
    result.difficulty = start.difficulty;
    result.score = record.score;
    result.distance = record.distance;
    result.ticks = record.ticks;
    return result;
}
