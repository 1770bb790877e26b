#pragma once

#include "control/CameraPathFile.h"
#include "math/Camera.h"
#include "math/Vec3.h"

#include <cstdint>
#include <string>

// The scripted camera: eye, target and roll tracks read from a camera path file, each
// played keyframe by keyframe at the speeds given by its timing records.
class CameraRig {
public:
    static constexpr int kMaxRecords = CameraPathFile::kMaxRecords;
    // A chain of repeats and overshoots may visit at most this many keyframes or timing
    // records in one frame, so a script that loops without moving cannot hang the game.
    static constexpr int kMaxHopsPerFrame = 64;

    // The kinds, as the path file numbers them.
    static constexpr int32_t kHold = CameraPathFile::kHold, kLine = CameraPathFile::kLine,
                             kArc = CameraPathFile::kArc, kCurve = CameraPathFile::kCurve,
                             kRepeat = CameraPathFile::kRepeat;
    static constexpr int32_t kRollStep = CameraPathFile::kRollStep,
                             kRollRamp = CameraPathFile::kRollRamp,
                             kRollRepeat = CameraPathFile::kRollRepeat;
    static constexpr int32_t kConstant = CameraPathFile::kConstant,
                             kLinear = CameraPathFile::kLinear, kCosine = CameraPathFile::kCosine,
                             kCubic = CameraPathFile::kCubic,
                             kTimingRepeat = CameraPathFile::kTimingRepeat;
    static constexpr int32_t kRollConstant = CameraPathFile::kRollConstant,
                             kRollLinear = CameraPathFile::kRollLinear,
                             kRollTimingRepeat = CameraPathFile::kRollTimingRepeat;

    // One list of keyframes played against its own clock, with its list of speed records.
    // The lists are the file's; playback uses up the counts of their repeats.
    struct Track {
        int32_t keyframeCount = 0;
        CameraKeyframe keyframes[kMaxRecords] = {};
        // Eye and target: the track's output point. Roll: the up reference.
        Vec3 current;
        Vec3 start;
        int32_t keyframeIndex = 0;
        CameraTiming timing[kMaxRecords] = {};
        int32_t timingCount = 0;
        int32_t timingIndex = 0;
        float segmentLength = 0.0f;
        // Roll track: degrees turned within the running ramp.
        float distance = 0.0f;
        float clock = 0.0f;
    };

    // Reads the path file and sets the initial state. A missing, short or malformed file
    // gets one line on stderr, leaves the rig empty (it then does nothing) and returns false.
    bool load(const std::string& path);
    // The same from a file already read.
    void load(const CameraPathFile& file);
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

    // What each kind read from the file does, indexed by its number.
    struct PositionKeyframeKind {
        TrackOperation enter;
        TrackOperation step;
    };
    static const PositionKeyframeKind kPositionKeyframeKinds[5];
    static const TrackOperation kRollKeyframeSteps[3];
    static const TimingOperation kPositionTimingValues[5];
    static const TimingOperation kRollTimingValues[3];

    void clear();
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

    // The speed of the track's running timing record.
    float timingValue(Track& track);
    // The speed record index holds, as its neighbours read it.
    float speedAt(const Track& track, int index) const;
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
