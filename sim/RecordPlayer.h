#pragma once

#include "io/RunRecord.h"
#include "sim/GameInput.h"
#include "sim/Simulation.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class SimContent;

// Plays a recorded run back under the rules, one tick per step, with the keys the record
// holds for each tick: the one loop behind watching a run on screen and verifying it
// headless, so that what is shown and what is checked can never part ways. It reports
// where the played state meets the record's own hashes (each second's and the end's);
// judging what a mismatch means is its callers' business.
class RecordPlayer {
public:
    // Whether a record can be played here at all.
    enum class Fit { Fits, OtherTickRate, OtherContent };
    static Fit fit(const RunRecord& record, const SimContent& content);

    RecordPlayer() = default;
    RecordPlayer(const RecordPlayer&) = delete;
    RecordPlayer& operator=(const RecordPlayer&) = delete;

    // Re-creates the record's run on content. The record is read, not copied: it must
    // stay put until stop() or the next start.
    void start(const RunRecord& record, const SimContent& content);
    void stop();
    bool playing() const { return record_ != nullptr; }

    // Plays the next claimed tick; false, with nothing played, once all of them have been.
    bool step();
    // Ticks played since the start tick.
    std::uint32_t played() const { return played_; }
    // Every tick the record claims has been played.
    bool atEnd() const { return played_ >= record_->ticks; }

    // The second of play the tick just played closed, or 0 when it closed none.
    std::uint32_t secondClosed() const;
    // The state hash agrees with the record's at the second just closed (true when none was).
    bool matchesSecond() const;
    // At the end, the state hash agrees with the record's final one.
    bool matchesEnd() const { return atEnd() && simulation_->stateHash() == record_->finalHash; }

    // The rules as the record has played them so far.
    const Simulation& simulation() const { return *simulation_; }
    const RunRecord& record() const { return *record_; }

private:
    const RunRecord* record_ = nullptr;
    // The simulation is large (its car slots and queue): on the heap. Each start makes a
    // fresh one, so nothing of an earlier playing can leak into the next.
    std::unique_ptr<Simulation> simulation_;
    std::uint32_t played_ = 0;
    std::size_t nextChange_ = 0;
    GameInput input_;
};
