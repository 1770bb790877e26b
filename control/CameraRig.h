#pragma once

#include "math/Camera.h"
#include "math/Vec3.h"

#include <cstdint>
#include <string>
#include <vector>

// The scripted camera: eye, target and roll tracks read from a binary camera path
// file, each played keyframe by keyframe at the speeds given by its timing records.
class CameraRig {
public:
    static constexpr int kMaxRecords = 15;
    // A chain of repeats and overshoots may visit at most this many keyframes or timing
    // records in one frame, so a script that loops without moving cannot hang the game.
    static constexpr int kMaxHopsPerFrame = 64;

    // Keyframe kinds of the eye and target tracks, then of the roll track.
    static constexpr int32_t kHold = 0, kLine = 1, kArc = 2, kCurve = 3, kRepeat = 4;
    static constexpr int32_t kRollStep = 0, kRollRamp = 1, kRollRepeat = 2;
    // Timing record kinds of the eye and target tracks, then of the roll track.
    static constexpr int32_t kConstant = 0, kLinear = 1, kCosine = 2, kCubic = 3, kTimingRepeat = 4;
    static constexpr int32_t kRollConstant = 0, kRollLinear = 1, kRollTimingRepeat = 2;

    // One list of keyframes played against its own clock, with its list of speed records.
    struct Track {
        int32_t keyframeCount = 0;
        // Up to 7 floats per keyframe; which ones mean what depends on the kind.
        float keyframes[kMaxRecords][7] = {};
        int32_t keyframeKinds[kMaxRecords] = {};
        // Eye and target: the track's output point. Roll: the up reference.
        Vec3 current;
        Vec3 start;
        int32_t keyframeIndex = 0;
        // time t, value v, clock value c, count n
        float timing[kMaxRecords][4] = {};
        int32_t timingCount = 0;
        int32_t timingKinds[kMaxRecords] = {};
        int32_t timingIndex = 0;
        float segmentLength = 0.0f;
        // Roll track: degrees turned within the running ramp.
        float distance = 0.0f;
        float clock = 0.0f;
        // The first holds the file position just past the track's keyframes.
        int32_t reserved[2] = {};
    };

    // Reads the path file and sets the initial state. A missing, short or malformed file
    // gets one line on stderr, leaves the rig empty (it then does nothing) and returns false.
    bool load(const std::string& path);
    // The camera whose model-view applyToCamera writes; not owned.
    void setCamera(Camera* camera) { camera_ = camera; }
    // Advances the eye, target and roll tracks by one frame of dt seconds.
    void update(float dt);
    // Writes the view from eye, target, up reference and roll angle into the camera.
    void applyToCamera();

    bool loaded() const { return loaded_; }
    const Track& eye() const { return eye_; }
    const Track& target() const { return target_; }
    const Track& roll() const { return roll_; }
    float rollAngle() const { return rollAngle_; }
    float rollBase() const { return rollBase_; }
    float lastDirectionX() const { return lastDirectionX_; }
    float lastDirectionY() const { return lastDirectionY_; }

private:
    using TrackOperation = void (CameraRig::*)(Track&);
    using TimingOperation = float (CameraRig::*)(Track&);

    // What each kind read from the file means: its size in the file and its operations.
    struct PositionKeyframeKind {
        int floatCount;
        TrackOperation enter;
        TrackOperation step;
    };
    struct RollKeyframeKind {
        TrackOperation step;
    };
    struct TimingRecordKind {
        int floatCount;
        TimingOperation value;
    };
    static const PositionKeyframeKind kPositionKeyframeKinds[5];
    static const RollKeyframeKind kRollKeyframeKinds[3];
    static const TimingRecordKind kPositionTimingKinds[5];
    static const TimingRecordKind kRollTimingKinds[3];

    void clear();
    // Fills the tracks from the file's bytes; returns what is wrong, or "" when all is well.
    std::string readTracks(const std::vector<unsigned char>& bytes);
    void setInitialState();
    bool spendHop();

    void enterKeyframe(Track& track);
    void stepKeyframe(Track& track);
    void enterHold(Track& track);
    void enterPath(Track& track);
    void enterArc(Track& track);
    void enterRepeat(Track& track);
    void stepHold(Track& track);
    void stepLine(Track& track);
    void stepArc(Track& track);
    void stepCurve(Track& track);
    void stepRepeat(Track& track);
    // Moves s on by one frame; false once the keyframe is overshot and the track has gone on.
    bool advanceAlongPath(Track& track, bool snapToEnd, float& fraction);

    void stepRoll(Track& track);
    void stepRollStep(Track& track);
    void stepRollRamp(Track& track);
    void stepRollRepeat(Track& track);

    float positionTimingValue(Track& track);
    float rollTimingValue(Track& track);
    float timingConstant(Track& track);
    float timingLinear(Track& track);
    float timingCosine(Track& track);
    float timingCubic(Track& track);
    float timingRepeat(Track& track);
    float rollTimingRepeat(Track& track);

    void advanceTrack(Track& track, TrackOperation step);

    Camera* camera_ = nullptr;
    Track eye_;
    Track target_;
    Track roll_;
    float rollAngle_ = 0.0f;
    float rollBase_ = 0.0f;
    float frameStep_ = 0.0f;
    float lastDirectionX_ = 0.0f;
    float lastDirectionY_ = 0.0f;
    bool loaded_ = false;
    int hopsLeft_ = 0;
};
