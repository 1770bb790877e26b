#include "CameraRig.h"

#include "math/Matrix4.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// One float step short of 2π and of π. The camera paths were tuned with these values.
constexpr float kTwoPi = 6.283185f;
constexpr float kPi = 3.1415925f;

constexpr int kHeaderInts = 12;
constexpr const char* kTrackNames[3] = {"eye", "target", "roll"};

// Reads the little-endian 4-byte fields of a path file front to back.
struct ByteCursor {
    const std::vector<unsigned char>& bytes;
    std::size_t position = 0;

    bool has(std::size_t count) const { return bytes.size() - position >= count; }

    uint32_t word() {
        uint32_t value = static_cast<uint32_t>(bytes[position]) |
                         static_cast<uint32_t>(bytes[position + 1]) << 8 |
                         static_cast<uint32_t>(bytes[position + 2]) << 16 |
                         static_cast<uint32_t>(bytes[position + 3]) << 24;
        position += 4;
        return value;
    }
    int32_t int32() { return static_cast<int32_t>(word()); }
    float float32() {
        uint32_t bits = word();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
};

std::string format(const char* pattern, auto... values) {
    char line[256];
    std::snprintf(line, sizeof line, pattern, values...);
    return line;
}

float distanceBetween(const Vec3& a, float x, float y, float z) {
    float dx = x - a.x, dy = y - a.y, dz = z - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

float cubic(float y0, float y1, float y2, float y3, float f) {
    float a0 = y3 - y2 - y0 + y1;
    float a1 = y0 - y1 - a0;
    float a2 = y2 - y0;
    return a0 * f * (f * f) + a1 * (f * f) + a2 * f + y1;
}

// A repeat target is stored as a float and truncated toward zero. It must name a played
// record (1 to count - 1): record 0 only shapes its neighbours and is never played.
bool repeatTargetFits(float target, int count) {
    return std::isfinite(target) && std::trunc(target) >= 1.0f && std::trunc(target) < count;
}

int clampIndex(int index, int count) { return std::clamp(index, 0, count - 1); }

}  // namespace

const CameraRig::PositionKeyframeKind CameraRig::kPositionKeyframeKinds[5] = {
    {3, &CameraRig::enterHold, &CameraRig::stepHold},
    {3, &CameraRig::enterPath, &CameraRig::stepLine},
    {7, &CameraRig::enterArc, &CameraRig::stepArc},
    {3, &CameraRig::enterPath, &CameraRig::stepCurve},
    {2, &CameraRig::enterRepeat, &CameraRig::stepRepeat},
};

const CameraRig::RollKeyframeKind CameraRig::kRollKeyframeKinds[3] = {
    {&CameraRig::stepRollStep},
    {&CameraRig::stepRollRamp},
    {&CameraRig::stepRollRepeat},
};

const CameraRig::TimingRecordKind CameraRig::kPositionTimingKinds[5] = {
    {2, &CameraRig::timingConstant}, {2, &CameraRig::timingLinear}, {2, &CameraRig::timingCosine},
    {2, &CameraRig::timingCubic},    {4, &CameraRig::timingRepeat},
};

// Roll timing records always carry two floats in the file, whatever their kind.
const CameraRig::TimingRecordKind CameraRig::kRollTimingKinds[3] = {
    {2, &CameraRig::timingConstant},
    {2, &CameraRig::timingLinear},
    {2, &CameraRig::rollTimingRepeat},
};

// ---- Loading -------------------------------------------------------------------------

void CameraRig::clear() {
    eye_ = Track();
    target_ = Track();
    roll_ = Track();
    rollAngle_ = 0.0f;
    rollBase_ = 0.0f;
    frameStep_ = 0.0f;
    lastDirectionX_ = 0.0f;
    lastDirectionY_ = 0.0f;
    loaded_ = false;
    hopsLeft_ = 0;
}

bool CameraRig::load(const std::string& path) {
    clear();
    // Plain stdio: a folder or an unreadable file shows up as a read error, not an exception.
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        std::fprintf(stderr, "%s: cannot open the camera path file\n", path.c_str());
        return false;
    }
    std::vector<unsigned char> bytes;
    unsigned char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    bool readFailed = std::ferror(file) != 0;
    std::fclose(file);
    if (readFailed) {
        std::fprintf(stderr, "%s: cannot read the camera path file\n", path.c_str());
        return false;
    }

    std::string fault = readTracks(bytes);
    if (!fault.empty()) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), fault.c_str());
        clear();
        return false;
    }
    setInitialState();
    loaded_ = true;
    return true;
}

std::string CameraRig::readTracks(const std::vector<unsigned char>& bytes) {
    ByteCursor in{bytes};
    if (!in.has(kHeaderInts * 4)) {
        return format("the file ends at byte %zu, inside the %d-byte header", bytes.size(),
                      kHeaderInts * 4);
    }
    int32_t header[kHeaderInts];
    for (int32_t& value : header) {
        value = in.int32();
    }
    Track* tracks[3] = {&eye_, &target_, &roll_};
    for (int i = 0; i < 6; ++i) {
        const char* what = i < 3 ? "keyframe" : "timing record";
        if (header[i] < 0 || header[i] > kMaxRecords) {
            return format("header field %d at byte %d: %s %s count %d is outside 0 to %d", i + 1,
                          i * 4, kTrackNames[i % 3], what, header[i], kMaxRecords);
        }
    }
    for (int i = 0; i < 2; ++i) {
        if (header[i] < 2) {
            return format("header field %d at byte %d: the %s track needs at least 2 keyframes, "
                          "not %d",
                          i + 1, i * 4, kTrackNames[i], header[i]);
        }
    }
    for (int i = 0; i < 3; ++i) {
        tracks[i]->keyframeCount = header[i];
        tracks[i]->timingCount = header[3 + i];
        tracks[i]->reserved[1] = header[9 + i];
    }

    auto shortFile = [&](const char* track, const char* what, int index, std::size_t need) {
        return format("the file ends at byte %zu, inside %s %s %d (which needs %zu bytes from "
                      "byte %zu)",
                      bytes.size(), track, what, index, need, in.position);
    };
    // Reads a kind and its floats into place; the table's size decides which kinds exist.
    auto readRecord = [&](const char* track, const char* what, int index, int kindCount,
                          auto floatCount, int32_t& kind, float* floats) -> std::string {
        std::size_t at = in.position;
        if (!in.has(4)) {
            return shortFile(track, what, index, 4);
        }
        kind = in.int32();
        if (kind < 0 || kind >= kindCount) {
            return format("%s %s %d at byte %zu: kind %d is not one of 0 to %d", track, what, index,
                          at, kind, kindCount - 1);
        }
        int count = floatCount(kind);
        if (!in.has(static_cast<std::size_t>(count) * 4)) {
            return shortFile(track, what, index, static_cast<std::size_t>(count) * 4);
        }
        for (int f = 0; f < count; ++f) {
            floats[f] = in.float32();
            if (!std::isfinite(floats[f])) {
                return format("%s %s %d at byte %zu: value %d is not a finite number", track, what,
                              index, at, f + 1);
            }
        }
        return "";
    };

    std::size_t keyframesAt[3] = {};
    for (int t = 0; t < 3; ++t) {
        Track& track = *tracks[t];
        bool isRoll = t == 2;
        keyframesAt[t] = in.position;
        for (int i = 0; i < track.keyframeCount; ++i) {
            std::string fault =
                isRoll ? readRecord(kTrackNames[t], "keyframe", i, 3, [](int) { return 2; },
                                    track.keyframeKinds[i], track.keyframes[i])
                       : readRecord(kTrackNames[t], "keyframe", i, 5,
                                    [](int kind) { return kPositionKeyframeKinds[kind].floatCount; },
                                    track.keyframeKinds[i], track.keyframes[i]);
            if (!fault.empty()) {
                return fault;
            }
        }
        // Nothing reads this value; it records where the track's keyframes ended.
        track.reserved[0] = static_cast<int32_t>(in.position);
    }
    std::size_t timingAt[3] = {};
    for (int t = 0; t < 3; ++t) {
        Track& track = *tracks[t];
        const TimingRecordKind* kinds = t == 2 ? kRollTimingKinds : kPositionTimingKinds;
        int kindCount = t == 2 ? 3 : 5;
        timingAt[t] = in.position;
        for (int i = 0; i < track.timingCount; ++i) {
            std::string fault =
                readRecord(kTrackNames[t], "timing record", i, kindCount,
                           [kinds](int kind) { return kinds[kind].floatCount; },
                           track.timingKinds[i], track.timing[i]);
            if (!fault.empty()) {
                return fault;
            }
        }
    }

    // Repeat targets can only be checked once the counts are known.
    for (int t = 0; t < 3; ++t) {
        Track& track = *tracks[t];
        int32_t repeatKind = t == 2 ? kRollRepeat : kRepeat;
        std::size_t at = keyframesAt[t];
        for (int i = 0; i < track.keyframeCount; ++i) {
            int floats = t == 2 ? 2 : kPositionKeyframeKinds[track.keyframeKinds[i]].floatCount;
            if (track.keyframeKinds[i] == repeatKind &&
                !repeatTargetFits(track.keyframes[i][0], track.keyframeCount)) {
                return format("%s keyframe %d at byte %zu: repeat target %g is not a keyframe "
                              "from 1 to %d",
                              kTrackNames[t], i, at, track.keyframes[i][0], track.keyframeCount - 1);
            }
            at += 4 + static_cast<std::size_t>(floats) * 4;
        }
        const TimingRecordKind* kinds = t == 2 ? kRollTimingKinds : kPositionTimingKinds;
        int32_t timingRepeatKind = t == 2 ? kRollTimingRepeat : kTimingRepeat;
        at = timingAt[t];
        for (int i = 0; i < track.timingCount; ++i) {
            if (track.timingKinds[i] == timingRepeatKind &&
                !repeatTargetFits(track.timing[i][1], track.timingCount)) {
                return format("%s timing record %d at byte %zu: repeat target %g is not a "
                              "record from 1 to %d",
                              kTrackNames[t], i, at, track.timing[i][1], track.timingCount - 1);
            }
            at += 4 + static_cast<std::size_t>(kinds[track.timingKinds[i]].floatCount) * 4;
        }
    }
    return "";
}

void CameraRig::setInitialState() {
    eye_.clock = 0.0f;
    target_.clock = 0.0f;
    roll_.clock = 0.0f;
    // Eye and target start from these fixed points, not from keyframe 0.
    eye_.current = eye_.start = Vec3(6.0f, 6.0f, 0.0f);
    eye_.keyframeIndex = 1;
    eye_.timingIndex = 1;
    target_.current = target_.start = Vec3(0.0f, 0.0f, -4.0f);
    target_.keyframeIndex = 1;
    target_.timingIndex = 1;
    roll_.current = Vec3(0.0f, 0.0f, 1.0f);
    rollAngle_ = 0.0f;
    rollBase_ = 0.0f;
    roll_.keyframeIndex = 1;
    hopsLeft_ = kMaxHopsPerFrame;
    enterKeyframe(eye_);
    hopsLeft_ = kMaxHopsPerFrame;
    enterKeyframe(target_);
    roll_.timingIndex = 1;
    roll_.distance = 0.0f;
    lastDirectionX_ = 0.0f;
    lastDirectionY_ = 0.0f;
}

bool CameraRig::spendHop() {
    if (hopsLeft_ <= 0) {
        return false;
    }
    --hopsLeft_;
    return true;
}

// ---- Eye and target keyframes ------------------------------------------------------------

void CameraRig::enterKeyframe(Track& track) {
    int32_t kind = track.keyframeKinds[track.keyframeIndex];
    (this->*kPositionKeyframeKinds[kind].enter)(track);
}

void CameraRig::stepKeyframe(Track& track) {
    int32_t kind = track.keyframeKinds[track.keyframeIndex];
    (this->*kPositionKeyframeKinds[kind].step)(track);
}

void CameraRig::enterHold(Track& track) {
    const float* key = track.keyframes[track.keyframeIndex];
    track.current = Vec3(key[0], key[1], key[2]);
}

void CameraRig::enterPath(Track& track) {
    const float* key = track.keyframes[track.keyframeIndex];
    track.segmentLength = distanceBetween(track.current, key[0], key[1], key[2]);
    track.distance = 0.0f;
    track.start = track.current;
}

void CameraRig::enterArc(Track& track) {
    const float* key = track.keyframes[track.keyframeIndex];
    float radius = distanceBetween(track.current, key[0], key[1], key[2]);
    track.segmentLength = radius * kTwoPi * (key[3] / 360.0f);
    track.distance = 0.0f;
    track.start = track.current;
}

namespace {

// The jump of a repeat keyframe, shared by the position and roll tracks: n = -1 loops
// forever, n > 1 uses one count up in the stored keyframe (the script plays once per load),
// and a spent repeat moves on, except at the end of the list, where it still jumps back
// so its span plays forever.
void takeRepeat(CameraRig::Track& track) {
    float* key = track.keyframes[track.keyframeIndex];
    int32_t target = static_cast<int32_t>(key[0]);
    float& count = key[1];
    if (count == -1.0f) {
        track.keyframeIndex = target;
    } else if (count > 1.0f) {
        count -= 1.0f;
        track.keyframeIndex = target;
    } else {
        track.keyframeIndex += 1;
        if (track.keyframeIndex >= track.keyframeCount) {
            track.keyframeIndex = target;
        }
    }
}

}  // namespace

void CameraRig::enterRepeat(Track& track) {
    takeRepeat(track);
    if (spendHop()) {
        enterKeyframe(track);
    }
}

void CameraRig::stepHold(Track& track) { enterHold(track); }

// Only reached when a frame ran out of hops while jumping: take the jump now.
void CameraRig::stepRepeat(Track& track) { enterRepeat(track); }

bool CameraRig::advanceAlongPath(Track& track, bool snapToEnd, float& fraction) {
    track.distance += positionTimingValue(track) * frameStep_;
    if (track.distance > track.segmentLength) {
        if (snapToEnd) {
            const float* key = track.keyframes[track.keyframeIndex];
            track.current = Vec3(key[0], key[1], key[2]);
        }
        track.keyframeIndex += 1;
        if (track.keyframeIndex < track.keyframeCount && spendHop()) {
            enterKeyframe(track);
            stepKeyframe(track);
        }
        return false;
    }
    // A keyframe of no length stays at its start rather than dividing by zero.
    fraction = track.segmentLength != 0.0f ? track.distance / track.segmentLength : 0.0f;
    return true;
}

void CameraRig::stepLine(Track& track) {
    float f = 0.0f;
    if (!advanceAlongPath(track, true, f)) {
        return;
    }
    const float* key = track.keyframes[track.keyframeIndex];
    const Vec3& a = track.start;
    track.current = Vec3(a.x + (key[0] - a.x) * f, a.y + (key[1] - a.y) * f, a.z + (key[2] - a.z) * f);
}

// An overshot arc is not snapped: it keeps the point it reached in the previous frame.
void CameraRig::stepArc(Track& track) {
    float f = 0.0f;
    if (!advanceAlongPath(track, false, f)) {
        return;
    }
    const float* key = track.keyframes[track.keyframeIndex];
    Matrix4 turn;
    setIdentity(turn);
    rotateDegrees(turn, key[3] * f, key[4], key[5], key[6]);
    float x = track.start.x - key[0], y = track.start.y - key[1], z = track.start.z - key[2];
    transformPoint(x, y, z, turn);
    track.current = Vec3(key[0] + x, key[1] + y, key[2] + z);
}

// The curve is shaped by keyframes k-2 and k+1. A curve at either end of the list borrows
// the nearest keyframe that exists: keyframe 0 for the first curve, itself for the last.
void CameraRig::stepCurve(Track& track) {
    float f = 0.0f;
    if (!advanceAlongPath(track, true, f)) {
        return;
    }
    int k = track.keyframeIndex;
    const float* before = track.keyframes[clampIndex(k - 2, track.keyframeCount)];
    const float* end = track.keyframes[k];
    const float* after = track.keyframes[clampIndex(k + 1, track.keyframeCount)];
    const Vec3& a = track.start;
    track.current = Vec3(cubic(before[0], a.x, end[0], after[0], f),
                         cubic(before[1], a.y, end[1], after[1], f),
                         cubic(before[2], a.z, end[2], after[2], f));
}

// ---- Roll keyframes ------------------------------------------------------------------------

void CameraRig::stepRoll(Track& track) {
    int32_t kind = track.keyframeKinds[track.keyframeIndex];
    (this->*kRollKeyframeKinds[kind].step)(track);
}

void CameraRig::stepRollStep(Track& track) {
    float d = track.keyframes[track.keyframeIndex][1];
    rollAngle_ = rollBase_ + d;
    rollBase_ = rollAngle_;
    track.keyframeIndex += 1;
    track.distance = 0.0f;
}

void CameraRig::stepRollRamp(Track& track) {
    float d = track.keyframes[track.keyframeIndex][1];
    track.distance += rollTimingValue(track) * frameStep_;
    if (track.distance > d) {
        stepRollStep(track);
        if (track.keyframeIndex < track.keyframeCount && spendHop()) {
            stepRoll(track);
        }
        return;
    }
    rollAngle_ = d != 0.0f ? d * (track.distance / d) + rollBase_ : rollBase_;
}

void CameraRig::stepRollRepeat(Track& track) {
    takeRepeat(track);
    if (spendHop()) {
        stepRoll(track);
    }
}

// ---- Timing ------------------------------------------------------------------------------

float CameraRig::positionTimingValue(Track& track) {
    if (track.timingIndex >= track.timingCount) {
        return 0.0f;
    }
    int32_t kind = track.timingKinds[track.timingIndex];
    return (this->*kPositionTimingKinds[kind].value)(track);
}

float CameraRig::rollTimingValue(Track& track) {
    if (track.timingIndex >= track.timingCount) {
        return 0.0f;
    }
    int32_t kind = track.timingKinds[track.timingIndex];
    return (this->*kRollTimingKinds[kind].value)(track);
}

namespace {

// How far the clock is through the running record's span; a span of no length is over.
float spanFraction(const CameraRig::Track& track) {
    int j = track.timingIndex;
    float begin = track.timing[j - 1][0];
    float end = track.timing[j][0];
    return end != begin ? (track.clock - begin) / (end - begin) : 1.0f;
}

}  // namespace

float CameraRig::timingConstant(Track& track) { return track.timing[track.timingIndex][1]; }

float CameraRig::timingLinear(Track& track) {
    int j = track.timingIndex;
    float u = spanFraction(track);
    return track.timing[j - 1][1] + (track.timing[j][1] - track.timing[j - 1][1]) * u;
}

float CameraRig::timingCosine(Track& track) {
    int j = track.timingIndex;
    float u = spanFraction(track);
    float w = (1.0f - std::cos(u * kPi)) / 2.0f;
    return (1.0f - w) * track.timing[j - 1][1] + w * track.timing[j][1];
}

// Shaped by records j-2 and j+1; at either end of the list the nearest record stands in.
float CameraRig::timingCubic(Track& track) {
    int j = track.timingIndex;
    float u = spanFraction(track);
    return cubic(track.timing[clampIndex(j - 2, track.timingCount)][1], track.timing[j - 1][1],
                 track.timing[j][1], track.timing[clampIndex(j + 1, track.timingCount)][1], u);
}

float CameraRig::timingRepeat(Track& track) {
    float* record = track.timing[track.timingIndex];
    int32_t target = static_cast<int32_t>(record[1]);
    float clockValue = record[2];
    float& count = record[3];
    if (count == -1.0f) {
        track.clock = clockValue;
        track.timingIndex = target;
    } else if (count > 1.0f) {
        count -= 1.0f;
        track.clock = clockValue;
        track.timingIndex = target;
    } else {
        track.timingIndex += 1;
    }
    return spendHop() ? positionTimingValue(track) : 0.0f;
}

// A roll repeat record has no clock value or count in the file: it loops forever, setting
// the clock back to where the target record's span begins.
float CameraRig::rollTimingRepeat(Track& track) {
    int32_t target = static_cast<int32_t>(track.timing[track.timingIndex][1]);
    track.clock = track.timing[target - 1][0];
    track.timingIndex = target;
    return spendHop() ? rollTimingValue(track) : 0.0f;
}

// ---- Playback ------------------------------------------------------------------------------

void CameraRig::advanceTrack(Track& track, TrackOperation step) {
    if (track.keyframeIndex >= track.keyframeCount || track.timingIndex >= track.timingCount) {
        return;
    }
    // The record is passed on after the step, even when a repeat moved j meanwhile.
    bool recordPassed = track.timing[track.timingIndex][0] < track.clock;
    hopsLeft_ = kMaxHopsPerFrame;
    (this->*step)(track);
    if (recordPassed) {
        track.timingIndex += 1;
    }
}

void CameraRig::update(float dt) {
    if (!loaded_) {
        return;
    }
    frameStep_ = dt;
    eye_.clock += dt;
    target_.clock += dt;
    roll_.clock += dt;

    // Still the previous frame's positions: the direction seen before eye and target line up.
    if (eye_.current.x != target_.current.x && eye_.current.y != target_.current.y) {
        lastDirectionX_ = target_.current.x - eye_.current.x;
        lastDirectionY_ = target_.current.y - eye_.current.y;
    }

    advanceTrack(eye_, &CameraRig::stepKeyframe);
    advanceTrack(target_, &CameraRig::stepKeyframe);
    advanceTrack(roll_, &CameraRig::stepRoll);

    if (eye_.current.x == target_.current.x && eye_.current.y == target_.current.y) {
        // Looking straight up or down: the last horizontal direction gives "up".
        roll_.current = Vec3(lastDirectionX_, lastDirectionY_, 0.0f);
    } else if (roll_.keyframeIndex - 1 < roll_.keyframeCount) {
        // A file without roll keyframes keeps the up reference it started with.
        roll_.current = Vec3(0.0f, 0.0f, roll_.keyframes[roll_.keyframeIndex - 1][0]);
    }
}

void CameraRig::applyToCamera() {
    if (!loaded_ || camera_ == nullptr) {
        return;
    }
    const Vec3& eye = eye_.current;
    const Vec3& target = target_.current;
    Vec3 forward(target.x - eye.x, target.y - eye.y, target.z - eye.z);
    float length = std::sqrt(forward.dot(forward));
    Vec3 side = forward.cross(roll_.current);
    // Eye on the target, or an up reference along the line of sight, has no view: keep the
    // camera's previous one rather than writing NaNs into it.
    if (!(length > 0.0f) || !(side.dot(side) > 0.0f) || !std::isfinite(side.dot(side))) {
        return;
    }
    forward.scale(1.0f / length);
    side = forward.cross(roll_.current);
    Vec3 up = side.cross(forward);

    Matrix4 turn;
    setIdentity(turn);
    rotateDegrees(turn, rollAngle_, forward.x, forward.y, forward.z);
    transformPoint(up.x, up.y, up.z, turn);
    lookAt(camera_->modelView(), eye.x, eye.y, eye.z, target.x, target.y, target.z, up.x, up.y, up.z);
}
