#include "Road.h"

#include "Mesh.h"
#include "MeshInstance.h"

#include <cmath>

namespace {

// One strip for the whole program, whichever road draws it.
struct SharedStrip {
    Mesh mesh;
    MeshInstance drawable;
    bool built = false;
};

SharedStrip& sharedStrip() {
    static SharedStrip strip;
    return strip;
}

constexpr unsigned kStepsPerSegment = 20;

// Moves p along the line from centre so that its x-y distance from centre becomes width.
void pullToWidth(Vec3& p, const Vec3& centre, float width) {
    const float dx = p.x - centre.x;
    const float dy = p.y - centre.y;
    const float factor = width / std::sqrt(dx * dx + dy * dy);
    p.x = centre.x + dx * factor;
    p.y = centre.y + dy * factor;
}

// x of the point with p's y and z on the plane through centre perpendicular to d.
float onNormalPlane(const Vec3& p, const Vec3& centre, const Vec3& d) {
    return (-d.y * p.y - d.z * p.z + d.x * centre.x + d.y * centre.y + d.z * centre.z) / d.x;
}

float widthAt(const std::vector<float>& widths, unsigned segment, float t) {
    const float here = widths[segment];
    const float next = widths[(segment + 1) % widths.size()];
    return here - here * t + next * t;
}

}  // namespace

Road::Road() {
    for (float y : {0.0f, 200.0f, 400.0f, 600.0f, 800.0f, 1000.0f}) {
        addPoint(50.0f, y, -2.0f);
    }
    leftWidths_.assign(pointCount(), 13.0f);
    rightWidths_.assign(pointCount(), 13.0f);
    sharedStrip().built = false;
}

Road::~Road() {
    SharedStrip& strip = sharedStrip();
    strip.mesh.releaseBuffers();
    // A road still in use rebuilds the strip on its next draw instead of drawing released buffers.
    strip.built = false;
}

const Mesh& Road::stripMesh() { return sharedStrip().mesh; }

bool Road::stripBuilt() { return sharedStrip().built; }

void Road::draw(Camera& camera, const Texture& texture) {
    SharedStrip& strip = sharedStrip();
    if (!strip.built) {
        // A road built after another starts from an empty strip rather than appending to it.
        strip.mesh.clear();
        buildStrip(strip.mesh);
        strip.mesh.updateCounts();
        strip.mesh.upload();
        strip.drawable.place(0.0f, 0.0f, 0.0f, &strip.mesh, &texture, &camera);
        strip.built = true;
    }
    strip.drawable.setMatrix(camera.modelView());
    strip.drawable.draw();
}

void Road::buildStrip(Mesh& mesh) const {
    const unsigned points = pointCount();
    if (points < 2 || leftWidths_.size() < points || rightWidths_.size() < points) {
        return;
    }
    uint32_t r = 0;
    Vec3 prev = evaluate(0, 0.0f);
    Vec3 prevLeft;
    Vec3 prevRight;
    Vec3 left;
    Vec3 right;
    unsigned i = 1;
    for (unsigned m = 0; m + 1 < points; ++m) {
        for (; i < kStepsPerSegment; ++i) {
            const float t = static_cast<float>(i) / static_cast<float>(kStepsPerSegment);
            const Vec3 cur = evaluate(m, t);
            const Vec3 d(cur.x - prev.x, cur.y - prev.y, cur.z - prev.z);
            left.z = prev.z;
            right.z = prev.z;
            const float wl = widthAt(leftWidths_, m, t);
            const float wr = widthAt(rightWidths_, m, t);
            if (d.x == 0.0f) {
                // Straight up or down the screen; a step that does not move keeps the last edges' x.
                if (cur.y > prev.y) {
                    left.x = prev.x - wl;
                    right.x = prev.x + wr;
                } else if (cur.y < prev.y) {
                    left.x = prev.x + wl;
                    right.x = prev.x - wr;
                }
                left.y = prev.y;
                right.y = prev.y;
            } else {
                const float sx = d.x > 0.0f ? 1.0f : -1.0f;
                left.y = prev.y + sx;
                right.y = prev.y - sx;
                left.x = onNormalPlane(left, prev, d);
                right.x = onNormalPlane(right, prev, d);
                pullToWidth(left, prev, wl);
                pullToWidth(right, prev, wr);
            }

            mesh.appendPosition(right.x, right.y, right.z);
            mesh.appendPosition(left.x, left.y, left.z);
            mesh.appendColour(1.0f, 1.0f, 1.0f);
            mesh.appendColour(1.0f, 1.0f, 1.0f);

            const bool lastPair = m + 2 == points && i + 1 == kStepsPerSegment;
            if (!lastPair) {
                const float leftMove = (prevLeft.x - left.x) * (prevLeft.x - left.x) +
                                       (prevLeft.y - left.y) * (prevLeft.y - left.y);
                const float rightMove = (prevRight.x - right.x) * (prevRight.x - right.x) +
                                        (prevRight.y - right.y) * (prevRight.y - right.y);
                if (leftMove > rightMove) {
                    mesh.appendTriangle(r + 1, r, r + 2);
                    mesh.appendTriangle(r + 1, r + 2, r + 3);
                } else {
                    mesh.appendTriangle(r + 1, r, r + 3);
                    mesh.appendTriangle(r, r + 2, r + 3);
                }
            }

            // The texture runs across the road from left (u 0) to right (u 1), mirrored
            // on every other quad along it.
            const float v = i % 2 == 0 ? 1.0f : 0.0f;
            mesh.appendUv(1.0f, v);
            mesh.appendUv(0.0f, v);

            r += 2;
            prevLeft = left;
            prevRight = right;
            prev = cur;
        }
        i = 0;
    }
}
