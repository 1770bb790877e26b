#include "RunVerifier.h"

#include "io/RunRecord.h"
#include "online/ContentPaths.h"
#include "sim/RunRecorder.h"

#include <vector>

bool RunVerifier::load(const std::string& dataFolder, std::string& fault) {
    if (!content_.load(dataFolder + "/" + ContentPaths::inData(ContentPaths::kTraffic),
                       dataFolder + "/" + ContentPaths::inData(ContentPaths::kCollider))) {
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
    const RunStart start = RunRecorder::startOf(record);
    claim.mode = modeName(start.mode);
    claim.difficulty = difficultyName(start.difficulty);
    claim.contentHash = record.contentHash;
    claim.ticks = record.ticks;
    claim.playSeconds = double(record.ticks) / record.tickRate;
    return true;
}

VerifyResult RunVerifier::replay(const std::string& bytes) const {
    return verifyRecord(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), content_);
}
