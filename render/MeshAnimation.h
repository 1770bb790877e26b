#pragma once

#include "io/JsonValue.h"

#include <cstdint>
#include <vector>

// The keyframes of a mesh's numbered animations: whole sets of vertex positions, colours
// and texture coordinates at given times, blended linearly into the current arrays that
// the mesh's animated draw uploads.
class MeshAnimation {
public:
    // Reads the "animations" value of a mesh file. Throws std::runtime_error naming the
    // animation and keyframe when the keyframes disagree on their vertex count, when an
    // animation has no keyframes, does not start at time 0 or has times that do not
    // increase, or when a member is missing or not a number. The current arrays start
    // as the first keyframe.
    void loadAnimations(const JsonValue& animations);

    // Recomputes the current arrays for an animation at a time; an animation number out
    // of range leaves them as they were. The final pose holds once the time is past the end.
    void sample(uint32_t animation, float time);

    // Start time of the animation's last keyframe, or -1 for an animation number out of range.
    float endTime(uint32_t animation) const;

    const std::vector<float>& currentPositions() const { return currentPositions_; }
    const std::vector<float>& currentColours() const { return currentColours_; }
    const std::vector<float>& currentUvs() const { return currentUvs_; }

    int32_t keyframeCount() const { return keyframeCount_; }
    uint16_t animationCount() const { return animationCount_; }
    int32_t vertexCount() const { return vertexCount_; }
    const std::vector<int32_t>& firstKeyframes() const { return firstKeyframe_; }
    const std::vector<float>& startTimes() const { return startTimes_; }

private:
    int32_t lastKeyframe(uint32_t animation) const;
    void copyKeyframe(int32_t keyframe);

    std::vector<float> positions_;
    std::vector<float> colours_;
    std::vector<float> uvs_;
    int32_t keyframeCount_ = 0;
    std::vector<float> startTimes_;
    std::vector<int32_t> firstKeyframe_;
    uint16_t animationCount_ = 0;
    int32_t vertexCount_ = 0;
    std::vector<float> currentPositions_;
    std::vector<float> currentColours_;
    std::vector<float> currentUvs_;
};
