#pragma once

#include "math/Vec3.h"

#include <cstdint>
#include <string>
#include <string_view>

// One keyframe of a camera track. Which members a keyframe uses depends on its kind:
// eye and target hold, line and curve end at `point`; an arc turns about `axis` through
// `centre` by `angle` degrees; a repeat jumps back to keyframe `target`, `count` times in
// all (-1: forever). Roll steps and ramps turn by `degrees` and set the up reference's
// height to `upZ`; a roll repeat uses `target` and `count`.
struct CameraKeyframe {
    int32_t kind = 0;
    Vec3 point;
    Vec3 centre;
    float angle = 0.0f;
    Vec3 axis;
    float target = 0.0f;
    float count = 0.0f;
    float upZ = 0.0f;
    float degrees = 0.0f;
};

// One timing record: the track's speed `value` until `time` on its clock. A repeat sends
// the track back to record `target`, setting its clock to `clock`, `count` times in all.
// Roll repeats have room for no clock or count in the file.
struct CameraTiming {
    int32_t kind = 0;
    float time = 0.0f;
    float value = 0.0f;
    float target = 0.0f;
    float clock = 0.0f;
    float count = 0.0f;
};

// The camera path file ("data/cam/camversion1"), read and written in one place for the
// rig and for the campath tool: a little-endian header of counts, then each track's
// keyframes, then each track's timing records, every record a kind and its floats.
class CameraPathFile {
public:
    static constexpr int kMaxRecords = 15;
    static constexpr int kHeaderBytes = 48;

    // Keyframe kinds of the eye and target tracks, then of the roll track.
    static constexpr int32_t kHold = 0, kLine = 1, kArc = 2, kCurve = 3, kRepeat = 4;
    static constexpr int32_t kRollStep = 0, kRollRamp = 1, kRollRepeat = 2;
    // Timing record kinds of the eye and target tracks, then of the roll track.
    static constexpr int32_t kConstant = 0, kLinear = 1, kCosine = 2, kCubic = 3, kTimingRepeat = 4;
    static constexpr int32_t kRollConstant = 0, kRollLinear = 1, kRollTimingRepeat = 2;

    enum TrackId { kEye = 0, kTarget = 1, kRoll = 2 };
    static constexpr const char* kTrackNames[3] = {"eye", "target", "roll"};

    struct Track {
        int32_t keyframeCount = 0;
        CameraKeyframe keyframes[kMaxRecords] = {};
        int32_t timingCount = 0;
        CameraTiming timing[kMaxRecords] = {};
        // The byte just past the track's keyframes, and the header's second reserved value;
        // kept as read, though nothing plays them.
        int32_t keyframesEnd = 0;
        int32_t reserved = 0;
    };

    // Reads a file's bytes. Returns "" when the file is sound, else what is wrong and where
    // (counts over 15, eye or target with fewer than 2 keyframes, unknown kinds, values that
    // are not finite numbers, repeat targets outside their list, a file that ends early).
    std::string read(std::string_view bytes);
    // Reads the file at path; a fault is reported in one line naming the file.
    bool load(const std::string& path);
    // The file's bytes; the reserved header values are written as 0.
    std::string write() const;

    // Builds a record of the given kind from its floats in file order, and back; the number
    // of floats is the kind's (see floatCount). Unknown kinds have no floats.
    static CameraKeyframe keyframeFromFloats(TrackId track, int32_t kind, const float* floats);
    static CameraTiming timingFromFloats(TrackId track, int32_t kind, const float* floats);
    static int keyframeFloatCount(TrackId track, int32_t kind);
    static int timingFloatCount(TrackId track, int32_t kind);
    // How many kinds the track's keyframes and timing records have.
    static int keyframeKindCount(TrackId track) { return track == kRoll ? 3 : 5; }
    static int timingKindCount(TrackId track) { return track == kRoll ? 3 : 5; }

    Track tracks[3];
};
