#include "MeshArt.h"

#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

namespace {

using Corners = std::vector<std::pair<float, float>>;

// The car is laid out in metres of a 2.4 x 4 car: x from -1.2 to 1.2, y from 0 (front
// bumper) to 4 (rear), then squeezed into the unit box the sprite scales.
constexpr float kCarWidth = 2.4f;
constexpr float kCarLength = 4.0f;

Corners toUnitBox(const Corners& carCorners) {
    Corners unit;
    for (auto [x, y] : carCorners) {
        unit.emplace_back((x + kCarWidth / 2.0f) / kCarWidth, y / kCarLength);
    }
    return unit;
}

Corners roundedRect(float x0, float y0, float x1, float y1, float radius, int stepsPerCorner) {
    Corners corners;
    const float centres[4][2] = {{x1 - radius, y0 + radius},
                                 {x1 - radius, y1 - radius},
                                 {x0 + radius, y1 - radius},
                                 {x0 + radius, y0 + radius}};
    for (int corner = 0; corner < 4; ++corner) {
        float start = static_cast<float>(corner) * 0.5f * std::numbers::pi_v<float> -
                      0.5f * std::numbers::pi_v<float>;
        for (int s = 0; s <= stepsPerCorner; ++s) {
            float angle = start + 0.5f * std::numbers::pi_v<float> * static_cast<float>(s) /
                                      static_cast<float>(stepsPerCorner);
            corners.emplace_back(centres[corner][0] + radius * std::cos(angle),
                                 centres[corner][1] + radius * std::sin(angle));
        }
    }
    return corners;
}

Corners mirroredX(const Corners& corners) {
    Corners mirrored;
    for (auto it = corners.rbegin(); it != corners.rend(); ++it) {
        mirrored.emplace_back(-it->first, it->second);
    }
    return mirrored;
}

// Adds a shape on the right side of the car and its mirror image on the left.
void addPair(MeshData& mesh, const Corners& rightSide, Colour colour) {
    mesh.addConvex(toUnitBox(rightSide), colour);
    mesh.addConvex(toUnitBox(mirroredX(rightSide)), colour);
}

Colour mixed(Colour a, Colour b, float t) { return Canvas::mix(a, b, t); }

MeshData unitQuad(float uMax, float vMax) {
    MeshData mesh;
    const Colour white{1.0f, 1.0f, 1.0f};
    uint32_t lowerLeft = mesh.addVertex({0.0f, 0.0f, 0.0f, 0.0f, 0.0f, white});
    uint32_t upperLeft = mesh.addVertex({0.0f, 1.0f, 0.0f, 0.0f, vMax, white});
    uint32_t lowerRight = mesh.addVertex({1.0f, 0.0f, 0.0f, uMax, 0.0f, white});
    uint32_t upperRight = mesh.addVertex({1.0f, 1.0f, 0.0f, uMax, vMax, white});
    mesh.addTriangle(lowerLeft, lowerRight, upperLeft);
    mesh.addTriangle(upperLeft, lowerRight, upperRight);
    return mesh;
}

}  // namespace

MeshData MeshArt::quad() {
    return unitQuad(1.0f, 1.0f);
}

MeshData MeshArt::quadBackground() {
    // One grass tile per 10 x 10 world units.
    return unitQuad(20.0f, 80.0f);
}

MeshData MeshArt::car(Colour body) {
    MeshData mesh;
    const Colour tyre{0.06f, 0.06f, 0.07f};
    const Colour outline{0.05f, 0.05f, 0.07f};
    const Colour glass{0.10f, 0.14f, 0.22f};
    const Colour glassShine{0.32f, 0.42f, 0.55f};
    const Colour headlight{1.0f, 0.97f, 0.72f};
    const Colour tailLight{0.85f, 0.04f, 0.04f};
    const Colour grille{0.12f, 0.12f, 0.14f};
    const Colour white{1.0f, 1.0f, 1.0f};

    // Wheels first: the body covers their inner half, the outer half shows.
    addPair(mesh, roundedRect(0.90f, 0.55f, 1.18f, 1.25f, 0.06f, 2), tyre);
    addPair(mesh, roundedRect(0.90f, 2.75f, 1.18f, 3.45f, 0.06f, 2), tyre);

    // A dark rim around the body keeps the silhouette crisp on the asphalt.
    mesh.addConvex(toUnitBox(roundedRect(-1.11f, 0.02f, 1.11f, 3.98f, 0.42f, 4)), outline);
    mesh.addConvexShaded(toUnitBox(roundedRect(-1.06f, 0.06f, 1.06f, 3.94f, 0.38f, 4)),
                         Canvas::shade(body, 1.12f), Canvas::shade(body, 0.72f));

    // Racing stripes on the bonnet and the boot.
    const Colour stripe = mixed(Canvas::shade(body, 1.25f), white, 0.45f);
    mesh.addConvex(toUnitBox({{-0.22f, 0.30f}, {0.22f, 0.30f}, {0.22f, 1.12f}, {-0.22f, 1.12f}}),
                   stripe);
    mesh.addConvex(toUnitBox({{-0.22f, 3.42f}, {0.22f, 3.42f}, {0.22f, 3.72f}, {-0.22f, 3.72f}}),
                   stripe);

    // Windscreen towards the front (low y), wider at its lower edge, with a streak of
    // reflected sky.
    mesh.addConvex(toUnitBox({{-0.94f, 1.18f}, {0.94f, 1.18f}, {0.76f, 1.80f}, {-0.76f, 1.80f}}),
                   glass);
    mesh.addConvex(toUnitBox({{-0.55f, 1.26f}, {-0.25f, 1.26f}, {-0.50f, 1.72f}, {-0.72f, 1.72f}}),
                   glassShine);
    // Roof, darker than the body.
    mesh.addConvexShaded(toUnitBox(roundedRect(-0.76f, 1.80f, 0.76f, 3.00f, 0.10f, 2)),
                         Canvas::shade(body, 0.88f), Canvas::shade(body, 0.70f));
    // Side windows along the roof.
    addPair(mesh, {{0.80f, 1.86f}, {0.95f, 1.96f}, {0.95f, 2.90f}, {0.80f, 2.96f}}, glass);
    // Rear window.
    mesh.addConvex(toUnitBox({{-0.76f, 3.02f}, {0.76f, 3.02f}, {0.88f, 3.38f}, {-0.88f, 3.38f}}),
                   glass);
    mesh.addConvex(toUnitBox({{0.30f, 3.08f}, {0.50f, 3.08f}, {0.62f, 3.32f}, {0.42f, 3.32f}}),
                   glassShine);

    // Front: grille between the headlights; rear: tail lights.
    mesh.addConvex(toUnitBox({{-0.42f, 0.10f}, {0.42f, 0.10f}, {0.42f, 0.22f}, {-0.42f, 0.22f}}),
                   grille);
    addPair(mesh, {{0.52f, 0.09f}, {0.86f, 0.09f}, {0.98f, 0.20f}, {0.96f, 0.30f}, {0.55f, 0.28f}},
            headlight);
    addPair(mesh, {{0.58f, 3.74f}, {0.96f, 3.70f}, {0.92f, 3.88f}, {0.58f, 3.90f}}, tailLight);

    // Door mirrors just behind the windscreen.
    addPair(mesh, {{1.04f, 1.30f}, {1.19f, 1.36f}, {1.19f, 1.46f}, {1.04f, 1.46f}},
            Canvas::shade(body, 0.7f));
    return mesh;
}
