#pragma once

#include "io/RunRecord.h"
#include "sim/RunStart.h"

#include <string>
#include <utility>

class GameInput;
class Simulation;

// Records every run as it is played: follows the simulation after each tick with that
// tick's keys. A run's record begins in the tick that started it and is complete at its
// game over; a run restarted before its end is dropped, and so is one that outlasts the
// longest play a record may hold.
class RunRecorder {
public:
    // The game version written into every record.
    explicit RunRecorder(std::string gameVersion = "") : gameVersion_(std::move(gameVersion)) {}

    void follow(const Simulation& sim, const GameInput& input);

    // A record is complete: the run it holds has just ended (true until the next run starts).
    bool complete() const { return complete_; }
    const RunRecord& record() const { return record_; }

    // How a record's run starts, and the other way round. The arrows at the start are bits
    // 0 to 3: left, right, up, down.
    static RunStart startOf(const RunRecord& record);
    static void writeStart(const RunStart& start, RunRecord& record);

private:
    std::string gameVersion_;
    RunRecord record_;
    bool recording_ = false;
    bool complete_ = false;
    uint8_t keys_ = 0;
};
