#include "sim/RunRecorder.h"

#include "sim/GameInput.h"
#include "sim/Simulation.h"

void RunRecorder::follow(const Simulation& sim, const GameInput& input) {
    if (sim.events().has(GameEvent::Started)) {
        record_ = RunRecord{};
        record_.gameVersion = gameVersion_;
        record_.tickRate = Simulation::kTickRate;
        writeStart(sim.runStart(), record_);
        // The content this run read at its start.
        record_.contentHash = sim.content().hash();
        recording_ = true;
        complete_ = false;
        keys_ = 0;
        return;
    }
    if (!recording_) {
        return;
    }
    const uint32_t tick = record_.ticks;
    const uint8_t keys = input.bits() & RunRecord::kKeyBits;
    if (keys != keys_) {
        keys_ = keys;
        record_.changes.push_back({tick, keys});
    }
    record_.ticks = tick + 1;
    if (record_.ticks % Simulation::kTickRate == 0) {
        record_.stateHashes.push_back(sim.stateHash());
    }
    const RunState& run = sim.run();
    if (run.gameOver) {
        record_.score = run.score;
        record_.distance = run.distance;
        record_.finalHash = sim.stateHash();
        recording_ = false;
        complete_ = true;
    } else if (record_.ticks >= record_.maxTicks()) {
        // Longer than any record may claim: no verifier would take it.
        recording_ = false;
        record_ = RunRecord{};
    }
}

RunStart RunRecorder::startOf(const RunRecord& record) {
    RunStart start;
    start.seed = record.seed;
    start.mode = record.mode == 1 ? Mode::Random : Mode::Normal;
    start.difficulty = record.difficulty == 1 ? Difficulty::Easy : Difficulty::Hard;
    start.left = (record.arrowsAtStart & 1u) != 0;
    start.right = (record.arrowsAtStart & 2u) != 0;
    start.up = (record.arrowsAtStart & 4u) != 0;
    start.down = (record.arrowsAtStart & 8u) != 0;
    return start;
}

void RunRecorder::writeStart(const RunStart& start, RunRecord& record) {
    record.seed = start.seed;
    record.mode = start.mode == Mode::Random ? 1 : 0;
    record.difficulty = start.difficulty == Difficulty::Easy ? 1 : 0;
    record.arrowsAtStart = static_cast<uint8_t>((start.left ? 1u : 0u) | (start.right ? 2u : 0u) |
                                                (start.up ? 4u : 0u) | (start.down ? 8u : 0u));
}
