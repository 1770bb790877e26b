#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The collision shape of a kind of object: circles and free-standing edges, in the
// 0..1 box units of whatever sprite carries it. Loaded once and shared by every carrier.
class Collider {
public:
    // Reads a collider file. A path without ".json" after its first character reads
    // nothing and succeeds. A faulty file prints one line naming the file and the fault,
    // leaves the collider empty (so nothing collides) and returns false.
    bool load(const std::string& path);
    // The same from the file's text, already read; path names it in reports.
    bool loadText(const std::string& text, const std::string& path);

    uint32_t circleCount() const { return static_cast<uint32_t>(circleX_.size()); }
    uint32_t edgeCount() const { return static_cast<uint32_t>(edgeIndices_.size() / 2); }
    uint32_t vertexCount() const { return static_cast<uint32_t>(vertexX_.size()); }

    float circleX(uint32_t i) const { return circleX_[i]; }
    float circleY(uint32_t i) const { return circleY_[i]; }
    float circleRadius(uint32_t i) const { return circleRadius_[i]; }

    // Edge i as (xa, ya, xb, yb).
    void edgeEnds(uint32_t i, float ends[4]) const;
    int32_t edgeIndex(uint32_t i, int end) const { return edgeIndices_[2 * i + end]; }

    void clear();

private:
    std::vector<float> circleX_;
    std::vector<float> circleY_;
    std::vector<float> circleRadius_;
    std::vector<float> vertexX_;
    std::vector<float> vertexY_;
    std::vector<int32_t> edgeIndices_;
};
