#include "RunVerifier.h"

#include "vocab/ContentPaths.h"
#include "sim/RunRecorder.h"

bool RunVerifier::load(const std::string& dataFolder, std::string& fault) {
    if (!content_.load(dataFolder + "/" + ContentPaths::inData(ContentPaths::kTraffic),
                       dataFolder + "/" + ContentPaths::inData(ContentPaths::kCollider))) {
        fault = dataFolder + ": the rules' content cannot be used";
        return false;
    }
    contentHash_ = content_.hash();
    return true;
}

bool RunVerifier::read(const std::string& bytes, RunRecord& record, RecordClaim& claim, std::string& reason) {
    if (!readRecord(bytes, record, reason)) {
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

VerifyResult RunVerifier::replay(const RunRecord& record) const { return verifyRecord(record, content_); }
