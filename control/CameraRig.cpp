#include "CameraRig.h"

#include "math/Matrix4.h"

#include <algorithm>
#include <cmath>

namespace {

// One float step short of 2π and of π. The camera paths were tuned with these values.
constexpr float kTwoPi = 6.283185f;
constexpr float kPi = 3.1415925f;

float distanceBetween(const Vec3& a, const Vec3& b) {
    float dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

float cubic(float y0, float y1, float y2, float y3, float f) {
    float a0 = y3 - y2 - y0 + y1;
    float a1 = y0 - y1 - a0;
    float a2 = y2 - y0;
    return a0 * f * (f * f) + a1 * (f * f) + a2 * f + y1;
}

int clampIndex(int index, int count) { return std::clamp(index, 0, count - 1); }

// What a curve's neighbour contributes: the first three floats the keyframe holds in the
// file, whatever its kind (an arc's centre; a repeat's target and count, then 0).
Vec3 shapePoint(const CameraKeyframe& key) {
    switch (key.kind) {
    case CameraRig::kArc:
        return key.centre;
    case CameraRig::kRepeat:
        return Vec3(key.target, key.count, 0.0f);
    default:
        return key.point;
    }
}

// The second float of a timing record, which its neighbours interpolate from: a repeat's
// target stands where the others keep their value.
float speedOf(const CameraTiming& record, int32_t repeatKind) {
    return record.kind == repeatKind ? record.target : record.value;
}

}  // namespace

const CameraRig::PositionKeyframeKind CameraRig::kPositionKeyframeKinds[5] = {
    {&CameraRig::enterHold, &CameraRig::stepHold},
    {&CameraRig::enterPath, &CameraRig::stepLine},
    {&CameraRig::enterArc, &CameraRig::stepArc},
    {&CameraRig::enterPath, &CameraRig::stepCurve},
    {&CameraRig::enterRepeat, &CameraRig::stepRepeat},
};

const CameraRig::TrackOperation CameraRig::kRollKeyframeSteps[3] = {
    &CameraRig::stepRollStep,
    &CameraRig::stepRollRamp,
    &CameraRig::stepRollRepeat,
};

const CameraRig::TimingOperation CameraRig::kPositionTimingValues[5] = {
    &CameraRig::timingConstant, &CameraRig::timingLinear, &CameraRig::timingCosine,
    &CameraRig::timingCubic,    &CameraRig::timingRepeat,
};

const CameraRig::TimingOperation CameraRig::kRollTimingValues[3] = {
    &CameraRig::timingConstant,
    &CameraRig::timingLinear,
    &CameraRig::rollTimingRepeat,
};

// ---- Loading -------------------------------------------------------------------------

void CameraRig::clear() {
    Camera* camera = camera_;
    *this = CameraRig();
    camera_ = camera;
}

bool CameraRig::load(const std::string& path) {
    CameraPathFile file;
    if (!file.load(path)) {
        clear();
        return false;
    }
    load(file);
    return true;
}

void CameraRig::load(const CameraPathFile& file) {
    clear();
    Track* tracks[3] = {&eye_, &target_, &roll_};
    for (int t = 0; t < 3; ++t) {
        const CameraPathFile::Track& from = file.tracks[t];
        tracks[t]->keyframeCount = from.keyframeCount;
        std::copy(std::begin(from.keyframes), std::end(from.keyframes), tracks[t]->keyframes);
        tracks[t]->timingCount = from.timingCount;
        std::copy(std::begin(from.timing), std::end(from.timing), tracks[t]->timing);
    }
    setInitialState();
    loaded_ = true;
}

// After clear(): clocks, distances, roll and the last horizontal direction are all zero.
void CameraRig::setInitialState() {
    // Eye and target start from these fixed points, not from keyframe 0.
    eye_.current = eye_.start = Vec3(6.0f, 6.0f, 0.0f);
    eye_.keyframeIndex = 1;
    eye_.timingIndex = 1;
    target_.current = target_.start = Vec3(0.0f, 0.0f, -4.0f);
    target_.keyframeIndex = 1;
    target_.timingIndex = 1;
    roll_.current = Vec3(0.0f, 0.0f, 1.0f);
    roll_.keyframeIndex = 1;
    hopsLeft_ = kMaxHopsPerFrame;
    enterKeyframe(eye_);
    hopsLeft_ = kMaxHopsPerFrame;
    enterKeyframe(target_);
    roll_.timingIndex = 1;
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
    int32_t kind = track.keyframes[track.keyframeIndex].kind;
    (this->*kPositionKeyframeKinds[kind].enter)(track);
}

void CameraRig::stepKeyframe(Track& track) {
    int32_t kind = track.keyframes[track.keyframeIndex].kind;
    (this->*kPositionKeyframeKinds[kind].step)(track);
}

void CameraRig::enterHold(Track& track) {
    track.current = track.keyframes[track.keyframeIndex].point;
}

void CameraRig::enterPath(Track& track) {
    track.segmentLength = distanceBetween(track.current, track.keyframes[track.keyframeIndex].point);
    track.distance = 0.0f;
    track.start = track.current;
}

void CameraRig::enterArc(Track& track) {
    const CameraKeyframe& key = track.keyframes[track.keyframeIndex];
    float radius = distanceBetween(track.current, key.centre);
    track.segmentLength = radius * kTwoPi * (key.angle / 360.0f);
    track.distance = 0.0f;
    track.start = track.current;
}

namespace {

// The jump of a repeat keyframe, shared by the position and roll tracks: n = -1 loops
// forever, n > 1 uses one count up in the stored keyframe (the script plays once per load),
// and a spent repeat moves on, except at the end of the list, where it still jumps back
// so its span plays forever.
void takeRepeat(CameraRig::Track& track) {
    CameraKeyframe& key = track.keyframes[track.keyframeIndex];
    int32_t target = static_cast<int32_t>(key.target);
    float& count = key.count;
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

// The budget is checked before the jump: a frame out of hops stays on the repeat, and the
// next frame takes it and enters its target, rather than landing on a keyframe never entered.
void CameraRig::enterRepeat(Track& track) {
    if (spendHop()) {
        takeRepeat(track);
        enterKeyframe(track);
    }
}

void CameraRig::stepHold(Track& track) { enterHold(track); }

// Only reached when a frame ran out of hops before a jump: take the jump now.
void CameraRig::stepRepeat(Track& track) { enterRepeat(track); }

bool CameraRig::advanceAlongPath(Track& track, bool snapToEnd, float& fraction) {
    track.distance += timingValue(track) * frameStep_;
    if (track.distance > track.segmentLength) {
        if (snapToEnd) {
            track.current = track.keyframes[track.keyframeIndex].point;
        }
        // Out of hops, the track stays on this keyframe, overshot: the next frame moves on.
        const bool another = track.keyframeIndex + 1 < track.keyframeCount;
        if (another && !spendHop()) {
            return false;
        }
        track.keyframeIndex += 1;
        if (another) {
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
    const Vec3& b = track.keyframes[track.keyframeIndex].point;
    const Vec3& a = track.start;
    track.current = Vec3(a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.z + (b.z - a.z) * f);
}

// An overshot arc is not snapped: it keeps the point it reached in the previous frame.
void CameraRig::stepArc(Track& track) {
    float f = 0.0f;
    if (!advanceAlongPath(track, false, f)) {
        return;
    }
    const CameraKeyframe& key = track.keyframes[track.keyframeIndex];
    const Vec3& c = key.centre;
    Matrix4 turn;
    setIdentity(turn);
    rotateDegrees(turn, key.angle * f, key.axis.x, key.axis.y, key.axis.z);
    float x = track.start.x - c.x, y = track.start.y - c.y, z = track.start.z - c.z;
    transformPoint(x, y, z, turn);
    track.current = Vec3(c.x + x, c.y + y, c.z + z);
}

// The curve is shaped by keyframes k-2 and k+1. A curve at either end of the list borrows
// the nearest keyframe that exists: keyframe 0 for the first curve, itself for the last.
void CameraRig::stepCurve(Track& track) {
    float f = 0.0f;
    if (!advanceAlongPath(track, true, f)) {
        return;
    }
    int k = track.keyframeIndex;
    const Vec3 before = shapePoint(track.keyframes[clampIndex(k - 2, track.keyframeCount)]);
    const Vec3& end = track.keyframes[k].point;
    const Vec3 after = shapePoint(track.keyframes[clampIndex(k + 1, track.keyframeCount)]);
    const Vec3& a = track.start;
    track.current = Vec3(cubic(before.x, a.x, end.x, after.x, f), cubic(before.y, a.y, end.y, after.y, f),
                         cubic(before.z, a.z, end.z, after.z, f));
}

// ---- Roll keyframes ------------------------------------------------------------------------

void CameraRig::stepRoll(Track& track) {
    int32_t kind = track.keyframes[track.keyframeIndex].kind;
    (this->*kRollKeyframeSteps[kind])(track);
}

void CameraRig::stepRollStep(Track& track) {
    float d = track.keyframes[track.keyframeIndex].degrees;
    rollAngle_ = rollBase_ + d;
    rollBase_ = rollAngle_;
    track.keyframeIndex += 1;
    track.distance = 0.0f;
}

void CameraRig::stepRollRamp(Track& track) {
    float d = track.keyframes[track.keyframeIndex].degrees;
    track.distance += timingValue(track) * frameStep_;
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
    if (spendHop()) {
        takeRepeat(track);
        stepRoll(track);
    }
}

// ---- Timing ------------------------------------------------------------------------------

float CameraRig::timingValue(Track& track) {
    if (track.timingIndex >= track.timingCount) {
        return 0.0f;
    }
    int32_t kind = track.timing[track.timingIndex].kind;
    const TimingOperation* values = &track == &roll_ ? kRollTimingValues : kPositionTimingValues;
    return (this->*values[kind])(track);
}

namespace {

// How far the clock is through the running record's span; a span of no length is over.
float spanFraction(const CameraRig::Track& track) {
    int j = track.timingIndex;
    float begin = track.timing[j - 1].time;
    float end = track.timing[j].time;
    return end != begin ? (track.clock - begin) / (end - begin) : 1.0f;
}

}  // namespace

float CameraRig::speedAt(const Track& track, int index) const {
    return speedOf(track.timing[index], &track == &roll_ ? kRollTimingRepeat : kTimingRepeat);
}

float CameraRig::timingConstant(Track& track) { return track.timing[track.timingIndex].value; }

float CameraRig::timingLinear(Track& track) {
    int j = track.timingIndex;
    float u = spanFraction(track);
    return speedAt(track, j - 1) + (speedAt(track, j) - speedAt(track, j - 1)) * u;
}

float CameraRig::timingCosine(Track& track) {
    int j = track.timingIndex;
    float u = spanFraction(track);
    float w = (1.0f - std::cos(u * kPi)) / 2.0f;
    return (1.0f - w) * speedAt(track, j - 1) + w * speedAt(track, j);
}

// Shaped by records j-2 and j+1; at either end of the list the nearest record stands in.
float CameraRig::timingCubic(Track& track) {
    int j = track.timingIndex;
    float u = spanFraction(track);
    return cubic(speedAt(track, clampIndex(j - 2, track.timingCount)), speedAt(track, j - 1),
                 speedAt(track, j), speedAt(track, clampIndex(j + 1, track.timingCount)), u);
}

float CameraRig::timingRepeat(Track& track) {
    CameraTiming& record = track.timing[track.timingIndex];
    int32_t target = static_cast<int32_t>(record.target);
    float clockValue = record.clock;
    float& count = record.count;
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
    return spendHop() ? timingValue(track) : 0.0f;
}

// A roll repeat record has no clock value or count in the file: it loops forever, setting
// the clock back to where the target record's span begins.
float CameraRig::rollTimingRepeat(Track& track) {
    int32_t target = static_cast<int32_t>(track.timing[track.timingIndex].target);
    track.clock = track.timing[target - 1].time;
    track.timingIndex = target;
    return spendHop() ? timingValue(track) : 0.0f;
}

// ---- Playback ------------------------------------------------------------------------------

void CameraRig::advanceTrack(Track& track, TrackOperation step) {
    if (track.keyframeIndex >= track.keyframeCount || track.timingIndex >= track.timingCount) {
        return;
    }
    // The record is passed on after the step, even when a repeat moved j meanwhile.
    bool recordPassed = track.timing[track.timingIndex].time < track.clock;
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
        // The first float of the keyframe before: a roll repeat's target stands in its place.
        const CameraKeyframe& before = roll_.keyframes[roll_.keyframeIndex - 1];
        roll_.current = Vec3(0.0f, 0.0f, before.kind == kRollRepeat ? before.target : before.upZ);
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
