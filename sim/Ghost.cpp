#include "sim/Ghost.h"

#include "sim/RunRecorder.h"
#include "sim/Simulation.h"

bool Ghost::hold(const RunRecord& record, const SimContent& content, std::string& fault) {
    drop();
    if (RecordPlayer::fit(record, content) != RecordPlayer::Fit::Fits) {
        fault = "made with other content or another version of the game; it cannot ride";
        return false;
    }
    record_ = record;
    road_ = RunRecorder::startOf(record_);
    held_ = true;
    return true;
}

void Ghost::drop() {
    player_.stop();
    held_ = false;
    riding_ = false;
}

bool Ghost::sameRoad(const RunStart& start, const RunStart& road) {
    return start.seed == road.seed && start.mode == road.mode && start.difficulty == road.difficulty;
}

void Ghost::follow(const Simulation& player) {
    if (!held_) {
        return;
    }
    if (player.events().has(GameEvent::Started)) {
        riding_ = sameRoad(player.runStart(), road_);
        ticks_ = player.runTicks();
        if (riding_) {
            // Started in the same tick as the player's: both stand after their start tick.
            player_.start(record_, player.content());
        } else {
            player_.stop();
        }
        return;
    }
    // One step for each tick the player's run played, the one that ended it included; the
    // ghost waits with the player's game over, and its own end freezes it where it ended.
    if (riding_ && player.runTicks() > ticks_) {
        ticks_ = player.runTicks();
        player_.step();
    }
}

int Ghost::lead(const Simulation& player) const {
    if (!riding_) {
        return 0;
    }
    return static_cast<int>(player.run().score) - static_cast<int>(player_.simulation().run().score);
}
