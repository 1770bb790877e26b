#include "MeshArt.h"

#include <initializer_list>
#include <utility>
#include <vector>

namespace {

// The car is laid out in metres of a 2.4 x 4 car: x from -1.2 to 1.2, y from 0 (front
// bumper) to 4 (rear), then squeezed into the unit box the sprite scales.
constexpr float kCarWidth = 2.4f;
constexpr float kCarLength = 4.0f;

struct Corner {
    float x;
    float y;
    Colour colour;
};

// One convex piece of the car, corners in order round it, as a fan. Pieces only meet
// along shared edges and never overlap: the software rasteriser pays for every triangle
// and every layer, so the car is a single flat mosaic of few, large pieces.
void addPiece(MeshData& mesh, std::initializer_list<Corner> corners) {
    std::vector<uint32_t> ids;
    for (const Corner& c : corners) {
        ids.push_back(mesh.addVertex({(c.x + kCarWidth / 2.0f) / kCarWidth, c.y / kCarLength,
                                      0.0f, 0.5f, 0.5f, c.colour}));
    }
    for (std::size_t i = 1; i + 1 < ids.size(); ++i) {
        mesh.addTriangle(ids[0], ids[i], ids[i + 1]);
    }
}

// A band across the body from y0 (half-width w0) to y1 (half-width w1), split along the
// centre line so the crest can be lighter than the flanks: that reads as a rounded panel.
void addCrestedBand(MeshData& mesh, float y0, float w0, float y1, float w1, Colour flank0,
                    Colour crest0, Colour flank1, Colour crest1) {
    addPiece(mesh, {{-w0, y0, flank0}, {0.0f, y0, crest0}, {0.0f, y1, crest1}, {-w1, y1, flank1}});
    addPiece(mesh, {{0.0f, y0, crest0}, {w0, y0, flank0}, {w1, y1, flank1}, {0.0f, y1, crest1}});
}

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
    auto tone = [&](float factor) { return Canvas::shade(body, factor); };
    const Colour tyre{0.05f, 0.05f, 0.06f};
    const Colour tread{0.15f, 0.15f, 0.16f};
    const Colour bumper{0.17f, 0.17f, 0.19f};
    const Colour bumperEdge{0.09f, 0.09f, 0.10f};
    const Colour glassDark{0.07f, 0.10f, 0.17f};
    const Colour glassSky{0.30f, 0.40f, 0.54f};
    const Colour headlight{1.0f, 0.95f, 0.62f};
    const Colour headlightHot{1.0f, 1.0f, 0.95f};
    const Colour tailLight{0.95f, 0.03f, 0.03f};
    const Colour tailLightDim{0.82f, 0.02f, 0.02f};

    // The body's half-width: full along the sides, drawn in at the bumpers.
    constexpr float kSide = 1.0f;
    constexpr float kNose = 0.86f;
    constexpr float kTail = 0.93f;
    constexpr float kRearEnd = 0.86f;
    // Band edges from the front bumper (y = 0) to the rear one (y = 4).
    constexpr float kBumperBack = 0.30f;
    constexpr float kWindscreenFront = 1.25f;
    constexpr float kRoofFront = 1.85f;
    constexpr float kRoofBack = 2.95f;
    constexpr float kTrunkFront = 3.35f;
    constexpr float kTailLightFront = 3.62f;
    constexpr float kRearBumperFront = 3.90f;
    // The glass is narrower than the body: the pillars and door tops stay body-coloured.
    constexpr float kWindscreenBase = 0.88f;
    constexpr float kRoofHalf = 0.74f;
    constexpr float kRearWindowBase = 0.84f;

    // Wheels outside the body, the outer edge of the tyre catching a little light.
    for (float side : {-1.0f, 1.0f}) {
        for (auto [front, back] : {std::pair{0.50f, 1.15f}, std::pair{2.75f, 3.40f}}) {
            const float inner = side * kSide;
            const float outer = side * 1.18f;
            addPiece(mesh, {{inner, front, tyre}, {outer, front, tread}, {outer, back, tread},
                            {inner, back, tyre}});
        }
    }

    // Front bumper, headlights set into it between body-coloured corners and middle.
    for (float side : {-1.0f, 1.0f}) {
        addPiece(mesh, {{side * 0.80f, 0.0f, tone(0.70f)}, {side * kNose, 0.0f, tone(0.70f)},
                        {side * kSide, kBumperBack, tone(0.85f)},
                        {side * 0.90f, kBumperBack, tone(0.85f)}});
        addPiece(mesh, {{side * 0.40f, 0.0f, headlightHot}, {side * 0.80f, 0.0f, headlight},
                        {side * 0.90f, kBumperBack, headlight},
                        {side * 0.44f, kBumperBack, headlightHot}});
    }
    addPiece(mesh, {{-0.40f, 0.0f, tone(0.72f)}, {0.40f, 0.0f, tone(0.72f)},
                    {0.44f, kBumperBack, tone(0.95f)}, {-0.44f, kBumperBack, tone(0.95f)}});

    // Bonnet, rising towards the windscreen.
    addCrestedBand(mesh, kBumperBack, kSide, kWindscreenFront, kSide, tone(0.82f), tone(1.02f),
                   tone(0.88f), tone(1.12f));

    // Pillars and door tops down each side of the cabin, one convex piece a side.
    for (float side : {-1.0f, 1.0f}) {
        addPiece(mesh, {{side * kSide, kWindscreenFront, tone(0.80f)},
                        {side * kSide, kTrunkFront, tone(0.80f)},
                        {side * kRearWindowBase, kTrunkFront, tone(0.98f)},
                        {side * kRoofHalf, kRoofBack, tone(1.0f)},
                        {side * kRoofHalf, kRoofFront, tone(1.0f)},
                        {side * kWindscreenBase, kWindscreenFront, tone(0.98f)}});
    }

    // Windscreen with the sky reflected along its lower edge, a darker roof, rear window.
    addPiece(mesh, {{-kWindscreenBase, kWindscreenFront, glassSky},
                    {kWindscreenBase, kWindscreenFront, glassSky},
                    {kRoofHalf, kRoofFront, glassDark}, {-kRoofHalf, kRoofFront, glassDark}});
    addCrestedBand(mesh, kRoofFront, kRoofHalf, kRoofBack, kRoofHalf, tone(0.66f), tone(0.86f),
                   tone(0.62f), tone(0.80f));
    addPiece(mesh, {{-kRoofHalf, kRoofBack, glassDark}, {kRoofHalf, kRoofBack, glassDark},
                    {kRearWindowBase, kTrunkFront, glassSky},
                    {-kRearWindowBase, kTrunkFront, glassSky}});

    // Boot lid, then the tail lights at the rear corners and the rear bumper.
    addPiece(mesh, {{-kSide, kTrunkFront, tone(0.90f)}, {kSide, kTrunkFront, tone(0.90f)},
                    {kSide, kTailLightFront, tone(1.0f)}, {-kSide, kTailLightFront, tone(1.0f)}});
    for (float side : {-1.0f, 1.0f}) {
        addPiece(mesh, {{side * 0.55f, kTailLightFront, tailLightDim},
                        {side * kSide, kTailLightFront, tailLight},
                        {side * kTail, kRearBumperFront, tailLight},
                        {side * 0.55f, kRearBumperFront, tailLightDim}});
    }
    // A dark panel between the lights, so they stand out even on the red car.
    addPiece(mesh, {{-0.55f, kTailLightFront, tone(0.62f)}, {0.55f, kTailLightFront, tone(0.62f)},
                    {0.55f, kRearBumperFront, tone(0.50f)}, {-0.55f, kRearBumperFront, tone(0.50f)}});
    addPiece(mesh, {{-kTail, kRearBumperFront, bumper}, {kTail, kRearBumperFront, bumper},
                    {kRearEnd, kCarLength, bumperEdge}, {-kRearEnd, kCarLength, bumperEdge}});
    return mesh;
}
