#include "RunVerifier.h"

#include "io/FileReader.h"
#include "io/RunRecord.h"

namespace {

uint64_t fnv1a(uint64_t hash, const std::string& bytes) {
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

}  // namespace

bool RunVerifier::load(const std::string& dataFolder, std::string& fault) {
    std::string traffic;
    std::string collider;
    const std::string trafficPath = dataFolder + "/cars.json";
    const std::string colliderPath = dataFolder + "/meshes/colliders/quadCollider.json";
    if (!FileReader::read(trafficPath, traffic, fault)) {
        fault = trafficPath + ": " + fault;
        return false;
    }
    if (!FileReader::read(colliderPath, collider, fault)) {
        fault = colliderPath + ": " + fault;
        return false;
    }
    contentHash_ = fnv1a(fnv1a(0xcbf29ce484222325ull, traffic), collider);
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
    claim.mode = record.mode == 0 ? "normal" : "random";
    claim.difficulty = record.difficulty == 0 ? "hard" : "easy";
    claim.contentHash = record.contentHash;
    claim.ticks = record.ticks;
    claim.playSeconds = double(record.ticks) / record.tickRate;
    return true;
}

Replay RunVerifier::replay(const std::string& bytes) const {
    Replay replay;
    RunRecord record;
    std::string fault;
    if (!RunRecord::fromBytes(bytes, record, fault)) {
        replay.reason = "malformed: " + fault;
        return replay;
    }
    if (record.contentHash != contentHash_) {
        replay.reason = "content differs";
        return replay;
    }
    replay.ticks = record.ticks;
    replay.score = record.score;
    replay.distance = record.distance;
    replay.valid = true;
    return replay;
}
