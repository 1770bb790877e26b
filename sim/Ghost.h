#pragma once

#include "io/RunRecord.h"
#include "sim/RecordPlayer.h"
#include "sim/RunStart.h"

#include <cstdint>
#include <string>

class Simulation;

// A recorded run raced beside the player's own: it rides from the tick a run of the player
// starts on the same road (the record's seed, mode and difficulty) and is stepped once per
// later tick of that run by the RecordPlayer that plays every record, so both stand at the
// same tick of their runs. It only reads the player's simulation: the player's rules, record
// and state hashes are the same with a ghost beside them as without one.
class Ghost {
public:
    // Takes a copy of the record to race; false with fault set, and none held, for a record
    // that cannot be played on this content.
    bool hold(const RunRecord& record, const SimContent& content, std::string& fault);
    void drop();
    bool held() const { return held_; }
    const RunRecord& record() const { return record_; }
    // The road the ghost's run was played on.
    const RunStart& road() const { return road_; }

    // After each tick of the player's simulation.
    void follow(const Simulation& player);
    // The player's run is on the ghost's road and the ghost rides beside it.
    bool riding() const { return riding_; }
    // The ghost's own run has reached its end (its game over, or the record's last tick).
    bool ended() const { return riding_ && player_.atEnd(); }
    // The ghost's rules as they stand; only while riding.
    const Simulation& simulation() const { return player_.simulation(); }
    // The player's score less the ghost's at the same tick, in whole points as the HUD shows.
    int lead(const Simulation& player) const;

    // Whether a run that started as start is on the road of a record that started as road:
    // the arrows held at the start do not change the road.
    static bool sameRoad(const RunStart& start, const RunStart& road);

private:
    RunRecord record_;
    RunStart road_;
    bool held_ = false;
    bool riding_ = false;
    // The player's run ticks the ghost has followed.
    std::int64_t ticks_ = 0;
    RecordPlayer player_;
};
