#include "MeshAnimation.h"

#include "io/JsonFile.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

namespace {

// An animation is a container whose first member (or first element) is its keyframe list;
// later members are not read.
const JsonValue* keyframeList(const JsonValue& animation) {
    if ((animation.is_array() || animation.is_object()) && !animation.empty()) {
        return &*animation.begin();
    }
    return nullptr;
}

// Appends the named members of every element of a list, prefixing a fault with the element.
void appendMembers(const JsonValue& list, const char* listName,
                   std::initializer_list<const char*> keys, std::vector<float>& out) {
    std::size_t index = 0;
    JsonFile::forEachListElement(list, [&](const JsonValue& element) {
        try {
            for (const char* key : keys) {
                out.push_back(JsonFile::number(element, key));
            }
        } catch (const std::runtime_error& error) {
            throw std::runtime_error(std::string("\"") + listName + "\" element " +
                                     std::to_string(index) + ": " + error.what());
        }
        ++index;
    });
}

}  // namespace

void MeshAnimation::loadAnimations(const JsonValue& animations) {
    std::vector<const JsonValue*> animationNodes;
    JsonFile::forEachListElement(animations,
                                 [&](const JsonValue& node) { animationNodes.push_back(&node); });
    if (animationNodes.size() > std::numeric_limits<uint16_t>::max()) {
        throw std::runtime_error("more than 65535 animations");
    }

    std::vector<float> positions;
    std::vector<float> colours;
    std::vector<float> uvs;
    std::vector<float> startTimes;
    std::vector<int32_t> firstKeyframe;
    std::size_t vertexCount = 0;
    bool vertexCountKnown = false;

    for (std::size_t a = 0; a < animationNodes.size(); ++a) {
        const std::string where = "animation " + std::to_string(a);
        const JsonValue* keyframes = keyframeList(*animationNodes[a]);
        if (keyframes == nullptr || JsonFile::listSize(*keyframes) == 0) {
            throw std::runtime_error(where + " has no keyframes");
        }
        firstKeyframe.push_back(static_cast<int32_t>(startTimes.size()));
        std::size_t k = 0;
        JsonFile::forEachListElement(*keyframes, [&](const JsonValue& keyframe) {
            const std::string at = where + ", keyframe " + std::to_string(k);
            try {
                float startTime = JsonFile::number(keyframe, "startTime");
                if (k == 0 && startTime != 0.0f) {
                    throw std::runtime_error("the first keyframe starts at " +
                                             std::to_string(startTime) + ", not at 0");
                }
                if (k > 0 && !(startTime > startTimes.back())) {
                    throw std::runtime_error("\"startTime\" " + std::to_string(startTime) +
                                             " does not follow the keyframe before it");
                }
                const JsonValue& vertices = JsonFile::member(keyframe, "vertices");
                const JsonValue& keyUvs = JsonFile::member(keyframe, "uvs");
                const JsonValue& keyColours = JsonFile::member(keyframe, "colors");
                if (!vertexCountKnown) {
                    vertexCount = JsonFile::listSize(vertices);
                    vertexCountKnown = true;
                }
                for (auto [list, name] : {std::pair{&vertices, "vertices"},
                                          std::pair{&keyUvs, "uvs"},
                                          std::pair{&keyColours, "colors"}}) {
                    if (JsonFile::listSize(*list) != vertexCount) {
                        throw std::runtime_error("\"" + std::string(name) + "\" has " +
                                                 std::to_string(JsonFile::listSize(*list)) +
                                                 " entries where the first keyframe has " +
                                                 std::to_string(vertexCount) + " vertices");
                    }
                }
                startTimes.push_back(startTime);
                appendMembers(vertices, "vertices", {"x", "y", "z"}, positions);
                appendMembers(keyUvs, "uvs", {"u", "v"}, uvs);
                appendMembers(keyColours, "colors", {"r", "g", "b"}, colours);
            } catch (const std::runtime_error& error) {
                throw std::runtime_error(at + ": " + error.what());
            }
            ++k;
        });
    }

    positions_ = std::move(positions);
    colours_ = std::move(colours);
    uvs_ = std::move(uvs);
    startTimes_ = std::move(startTimes);
    firstKeyframe_ = std::move(firstKeyframe);
    keyframeCount_ = static_cast<int32_t>(startTimes_.size());
    animationCount_ = static_cast<uint16_t>(firstKeyframe_.size());
    vertexCount_ = static_cast<int32_t>(vertexCount);
    currentPositions_.assign(vertexCount * 3, 0.0f);
    currentColours_.assign(vertexCount * 3, 0.0f);
    currentUvs_.assign(vertexCount * 2, 0.0f);
    if (keyframeCount_ > 0) {
        copyKeyframe(0);
    }
}

int32_t MeshAnimation::lastKeyframe(uint32_t animation) const {
    return animation + 1 < animationCount_ ? firstKeyframe_[animation + 1] - 1 : keyframeCount_ - 1;
}

void MeshAnimation::copyKeyframe(int32_t keyframe) {
    const std::size_t k = static_cast<std::size_t>(keyframe);
    const std::size_t n = static_cast<std::size_t>(vertexCount_);
    std::copy_n(positions_.begin() + k * n * 3, n * 3, currentPositions_.begin());
    std::copy_n(colours_.begin() + k * n * 3, n * 3, currentColours_.begin());
    std::copy_n(uvs_.begin() + k * n * 2, n * 2, currentUvs_.begin());
}

void MeshAnimation::sample(uint32_t animation, float time) {
    if (animation >= animationCount_) {
        return;
    }
    const int32_t first = firstKeyframe_[animation];
    // Written as "not after the start" so that a NaN time shows the first pose too.
    if (!(time > 0.0f)) {
        copyKeyframe(first);
        return;
    }
    const int32_t last = lastKeyframe(animation);
    if (time >= startTimes_[last]) {
        copyKeyframe(last);
        return;
    }
    int32_t next = first;
    while (!(time <= startTimes_[next])) {
        ++next;
    }
    const int32_t k = next - 1;
    const float f = (time - startTimes_[k]) / (startTimes_[next] - startTimes_[k]);
    auto blend = [f](const std::vector<float>& from, std::size_t start, std::size_t count,
                     std::vector<float>& out) {
        for (std::size_t i = 0; i < count; ++i) {
            const float a = from[start + i];
            const float b = from[start + count + i];
            out[i] = a + f * (b - a);
        }
    };
    const std::size_t n = static_cast<std::size_t>(vertexCount_);
    const std::size_t kk = static_cast<std::size_t>(k);
    blend(positions_, kk * n * 3, n * 3, currentPositions_);
    blend(colours_, kk * n * 3, n * 3, currentColours_);
    blend(uvs_, kk * n * 2, n * 2, currentUvs_);
}

float MeshAnimation::endTime(uint32_t animation) const {
    if (animation >= animationCount_) {
        return -1.0f;
    }
    return startTimes_[lastKeyframe(animation)];
}
