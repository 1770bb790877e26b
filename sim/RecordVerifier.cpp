#include "sim/RecordVerifier.h"

#include "io/RunRecord.h"
#include "sim/RecordPlayer.h"
#include "sim/RunRecorder.h"
#include "sim/SimContent.h"
#include "sim/Simulation.h"

#include <nlohmann/json.hpp>

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

bool readRecord(std::string_view bytes, RunRecord& record, std::string& reason) {
    std::string fault;
    if (!RunRecord::fromBytes(bytes, record, fault)) {
        reason = "malformed: " + fault;
        return false;
    }
    return true;
}

VerifyResult verifyRecord(const std::vector<std::uint8_t>& bytes, const SimContent& content) {
    RunRecord record;
    std::string reason;
    if (!readRecord(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), record, reason)) {
        return invalid(std::move(reason));
    }
    return verifyRecord(record, content);
}

VerifyResult verifyRecord(const RunRecord& record, const SimContent& content) {
    switch (RecordPlayer::fit(record, content)) {
    case RecordPlayer::Fit::OtherTickRate:
        return invalid("malformed: made at " + std::to_string(record.tickRate) + " ticks a second, this game runs " +
                       std::to_string(Simulation::kTickRate));
    case RecordPlayer::Fit::OtherContent:
        return invalid("content differs");
    case RecordPlayer::Fit::Fits:
        break;
    }
    RecordPlayer player;
    player.start(record, content);
    while (player.step()) {
        const Simulation& sim = player.simulation();
        if (sim.events().has(GameEvent::Started)) {
            return invalid("the inputs restart the run at tick " + std::to_string(player.played() - 1));
        }
        if (sim.run().gameOver && !player.atEnd()) {
            return invalid("the run ends at tick " + std::to_string(player.played()) + ", before the claimed " +
                           std::to_string(record.ticks));
        }
        if (!player.matchesSecond()) {
            return invalid("state hash differs at second " + std::to_string(player.secondClosed()));
        }
    }
    const RunState& run = player.simulation().run();
    if (!run.gameOver) {
        return invalid("the run is not over at the claimed end, tick " + std::to_string(record.ticks));
    }
    if (!player.matchesEnd()) {
        return invalid("state hash differs at the end");
    }
    if (run.score != record.score) {
        return invalid("score claimed differs");
    }
    if (run.distance != record.distance) {
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
