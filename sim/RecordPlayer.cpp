#include "sim/RecordPlayer.h"

#include "sim/RunRecorder.h"
#include "sim/SimContent.h"

RecordPlayer::Fit RecordPlayer::fit(const RunRecord& record, const SimContent& content) {
    if (record.tickRate != Simulation::kTickRate) {
        return Fit::OtherTickRate;
    }
    return record.contentHash == content.hash() ? Fit::Fits : Fit::OtherContent;
}

void RecordPlayer::start(const RunRecord& record, const SimContent& content) {
    simulation_ = std::make_unique<Simulation>();
    simulation_->startReplay(RunRecorder::startOf(record), content);
    record_ = &record;
    played_ = 0;
    nextChange_ = 0;
    input_ = GameInput{};
}

void RecordPlayer::stop() {
    record_ = nullptr;
    simulation_.reset();
}

bool RecordPlayer::step() {
    if (atEnd()) {
        return false;
    }
    // A change holds from its tick on; the last of several on one tick wins, as keysAt has it.
    const std::vector<RunRecord::Change>& changes = record_->changes;
    while (nextChange_ < changes.size() && changes[nextChange_].tick <= played_) {
        input_ = GameInput::fromBits(changes[nextChange_].keys);
        ++nextChange_;
    }
    simulation_->tick(input_);
    ++played_;
    return true;
}

std::uint32_t RecordPlayer::secondClosed() const {
    return played_ > 0 && played_ % Simulation::kTickRate == 0 ? played_ / Simulation::kTickRate : 0;
}

bool RecordPlayer::matchesSecond() const {
    const std::uint32_t second = secondClosed();
    if (second == 0) {
        return true;
    }
    // A record read from a file has a hash for every second it claims; one built by hand may not.
    return second <= record_->stateHashes.size() && simulation_->stateHash() == record_->stateHashes[second - 1];
}
