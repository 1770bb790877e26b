#include "sim/RunRecorder.h"

#include "sim/GameInput.h"
#include "sim/Simulation.h"

#include <vector>

// A key byte holds every game key, and nothing else.
static_assert(RunRecord::kKeyBits == (1u << kGameKeyCount) - 1, "a record's key bits are the game keys");

void RunRecorder::follow(const Simulation& sim, const GameInput& input) {
    if (sim.events().has(GameEvent::Started)) {
        // The lists keep their room from run to run, and start with room for an hour of
        // play and a change every quarter second: ticks during play allocate nothing.
        std::vector<RunRecord::Change> changes = std::move(record_.changes);
        std::vector<std::uint64_t> hashes = std::move(record_.stateHashes);
        changes.clear();
        hashes.clear();
        changes.reserve(kReservedSeconds * 4);
        hashes.reserve(kReservedSeconds);
        record_ = RunRecord{};
        record_.changes = std::move(changes);
        record_.stateHashes = std::move(hashes);
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
    start.mode = modeOfCode(record.mode);
    start.difficulty = difficultyOfCode(record.difficulty);
    start.left = (record.arrowsAtStart & 1u) != 0;
    start.right = (record.arrowsAtStart & 2u) != 0;
    start.up = (record.arrowsAtStart & 4u) != 0;
    start.down = (record.arrowsAtStart & 8u) != 0;
    return start;
}

void RunRecorder::writeStart(const RunStart& start, RunRecord& record) {
    record.seed = start.seed;
    record.mode = modeCode(start.mode);
    record.difficulty = difficultyCode(start.difficulty);
    record.arrowsAtStart = static_cast<uint8_t>((start.left ? 1u : 0u) | (start.right ? 2u : 0u) |
                                                (start.up ? 4u : 0u) | (start.down ? 8u : 0u));
}
