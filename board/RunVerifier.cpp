#include "RunVerifier.h"

#include "io/ByteCursor.h"
#include "io/FileReader.h"

#include <cstring>

namespace {

const char kMagic[8] = {'T', 'A', 'M', 'Q', 'R', 'U', 'N', '\x1a'};

uint64_t fnv1a(uint64_t hash, const std::string& bytes) {
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

bool readU64(ByteCursor& cursor, uint64_t& value) {
    uint32_t low = 0;
    uint32_t high = 0;
    if (!cursor.readU32(low) || !cursor.readU32(high)) {
        return false;
    }
    value = uint64_t(high) << 32 | low;
    return true;
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
    ByteCursor cursor(bytes);
    char magic[8];
    uint16_t format = 0;
    unsigned char versionLength = 0;
    uint16_t tickRate = 0;
    unsigned char mode = 0;
    unsigned char difficulty = 0;
    unsigned char arrows = 0;
    if (!cursor.readBytes(magic, 8) || std::memcmp(magic, kMagic, 8) != 0) {
        reason = "malformed: not a run record";
        return false;
    }
    if (!cursor.readU16(format) || !cursor.readBytes(&versionLength, 1) || !cursor.skip(versionLength) ||
        !cursor.readU16(tickRate) || !cursor.readU32(claim.seed) || !cursor.readBytes(&mode, 1) ||
        !cursor.readBytes(&difficulty, 1) || !cursor.readBytes(&arrows, 1) || !readU64(cursor, claim.contentHash) ||
        tickRate == 0 || mode > 1 || difficulty > 1) {
        reason = "malformed: the header is cut short or out of range";
        return false;
    }
    ByteCursor end(std::string_view(bytes).substr(bytes.size() < 20 ? 0 : bytes.size() - 20));
    if (bytes.size() < cursor.position() + 20 || !end.readU32(claim.ticks)) {
        reason = "malformed: the end is cut short";
        return false;
    }
    claim.mode = mode == 0 ? "normal" : "random";
    claim.difficulty = difficulty == 0 ? "hard" : "easy";
    claim.playSeconds = double(claim.ticks) / tickRate;
    return true;
}

Replay RunVerifier::replay(const std::string& bytes) const {
    Replay replay;
    RecordClaim claim;
    if (!readClaim(bytes, claim, replay.reason)) {
        return replay;
    }
    if (claim.contentHash != contentHash_) {
        replay.reason = "content differs";
        return replay;
    }
    ByteCursor end(std::string_view(bytes).substr(bytes.size() - 20));
    float score = 0;
    float distance = 0;
    end.readU32(replay.ticks);
    end.readF32(score);
    end.readF32(distance);
    replay.score = score;
    replay.distance = distance;
    replay.valid = true;
    return replay;
}
