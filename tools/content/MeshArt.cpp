#include "MeshArt.h"

#include <algorithm>
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

// The car is painted as layers, later ones over earlier ones, but stored as a flat
// mosaic: every layer keeps only what no later layer covers, so each pixel of the car is
// rasterised once instead of two or three times.
//
// A patch is a convex piece whose colour varies linearly across it: a flat shape, or one
// triangle of a shaded fan. Cutting it along a line and blending the colours along the
// cut edges therefore leaves every remaining pixel exactly the colour it had.
struct Patch {
    Corners corners;
    std::vector<Colour> colours;
};

// A painted layer: the convex outline it hides from the layers below, and the patches
// that show.
struct Layer {
    Corners outline;
    std::vector<Patch> patches;
};

float cross(std::pair<float, float> a, std::pair<float, float> b, std::pair<float, float> p) {
    return (b.first - a.first) * (p.second - a.second) - (b.second - a.second) * (p.first - a.first);
}

float doubledArea(const Corners& corners) {
    float sum = 0.0f;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const auto& [x0, y0] = corners[i];
        const auto& [x1, y1] = corners[(i + 1) % corners.size()];
        sum += x0 * y1 - x1 * y0;
    }
    return sum;
}

Corners counterClockwise(Corners corners) {
    if (doubledArea(corners) < 0.0f) {
        std::reverse(corners.begin(), corners.end());
    }
    return corners;
}

// Keeps the part of the patch on the left of a -> b (or on its right when keepLeft is false).
Patch clipped(const Patch& patch, std::pair<float, float> a, std::pair<float, float> b,
              bool keepLeft) {
    Patch kept;
    const std::size_t n = patch.corners.size();
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t j = (i + 1) % n;
        float si = cross(a, b, patch.corners[i]) * (keepLeft ? 1.0f : -1.0f);
        float sj = cross(a, b, patch.corners[j]) * (keepLeft ? 1.0f : -1.0f);
        if (si >= 0.0f) {
            kept.corners.push_back(patch.corners[i]);
            kept.colours.push_back(patch.colours[i]);
        }
        if ((si > 0.0f && sj < 0.0f) || (si < 0.0f && sj > 0.0f)) {
            float t = si / (si - sj);
            const auto& [xi, yi] = patch.corners[i];
            const auto& [xj, yj] = patch.corners[j];
            kept.corners.emplace_back(xi + (xj - xi) * t, yi + (yj - yi) * t);
            kept.colours.push_back(Canvas::mix(patch.colours[i], patch.colours[j], t));
        }
    }
    return kept;
}

// Slivers below this (in unit-box area) are far under a pixel at any size the game draws.
constexpr float kSliver = 1e-7f;

bool entirelyRightOf(const Corners& corners, std::pair<float, float> a, std::pair<float, float> b) {
    return std::all_of(corners.begin(), corners.end(),
                       [&](const auto& p) { return cross(a, b, p) <= 1e-7f; });
}

bool separated(const Corners& patch, const Corners& outline) {
    for (std::size_t i = 0; i < outline.size(); ++i) {
        if (entirelyRightOf(patch, outline[i], outline[(i + 1) % outline.size()])) {
            return true;
        }
    }
    for (std::size_t i = 0; i < patch.size(); ++i) {
        if (entirelyRightOf(outline, patch[i], patch[(i + 1) % patch.size()])) {
            return true;
        }
    }
    return false;
}

// The patch minus a convex outline, as convex pieces: what lies outside each edge in turn.
void subtract(const Patch& patch, const Corners& outline, std::vector<Patch>& out) {
    if (separated(patch.corners, outline)) {
        out.push_back(patch);
        return;
    }
    Patch rest = patch;
    for (std::size_t i = 0; i < outline.size() && rest.corners.size() >= 3; ++i) {
        const auto& a = outline[i];
        const auto& b = outline[(i + 1) % outline.size()];
        Patch outside = clipped(rest, a, b, false);
        if (outside.corners.size() >= 3 && doubledArea(outside.corners) > 2.0f * kSliver) {
            out.push_back(std::move(outside));
        }
        rest = clipped(rest, a, b, true);
    }
}

// The outline moved outwards by distance (inwards when negative). The miter is capped so
// that a sliver's sharp corner stays put.
Corners offset(const Corners& outline, float distance) {
    Corners moved;
    const std::size_t n = outline.size();
    auto outwardNormal = [](std::pair<float, float> a, std::pair<float, float> b) {
        float dx = b.first - a.first;
        float dy = b.second - a.second;
        float length = std::hypot(dx, dy);
        return std::pair<float, float>{dy / length, -dx / length};
    };
    for (std::size_t i = 0; i < n; ++i) {
        auto n1 = outwardNormal(outline[(i + n - 1) % n], outline[i]);
        auto n2 = outwardNormal(outline[i], outline[(i + 1) % n]);
        float scale = distance / std::max(1.0f + n1.first * n2.first + n1.second * n2.second, 0.5f);
        moved.emplace_back(outline[i].first + (n1.first + n2.first) * scale,
                           outline[i].second + (n1.second + n2.second) * scale);
    }
    return moved;
}

// Every piece is drawn this much larger than it is (a hundredth of a pixel on the largest
// car the game draws). Neighbours in one layer blend into each other there and the layer
// above is drawn later, so nothing changes but the seams: the cut points the mesh file
// rounds to four decimals no longer leave hairline cracks for the road to show through.
constexpr float kSeamOverlap = 0.0002f;

// Joins pieces of one patch that share a whole edge when the join stays convex, so the
// cuts cost fewer triangles.
void mergeNeighbours(std::vector<Patch>& pieces) {
    bool merged = true;
    while (merged) {
        merged = false;
        for (std::size_t i = 0; i < pieces.size() && !merged; ++i) {
            for (std::size_t j = i + 1; j < pieces.size() && !merged; ++j) {
                const Corners& a = pieces[i].corners;
                const Corners& b = pieces[j].corners;
                for (std::size_t ea = 0; ea < a.size() && !merged; ++ea) {
                    const auto& p = a[ea];
                    const auto& q = a[(ea + 1) % a.size()];
                    for (std::size_t eb = 0; eb < b.size() && !merged; ++eb) {
                        if (b[eb] != q || b[(eb + 1) % b.size()] != p) {
                            continue;
                        }
                        // a from q round to p, then b from p round to q.
                        Patch joined;
                        for (std::size_t k = 0; k < a.size(); ++k) {
                            std::size_t at = (ea + 1 + k) % a.size();
                            joined.corners.push_back(a[at]);
                            joined.colours.push_back(pieces[i].colours[at]);
                        }
                        for (std::size_t k = 1; k + 1 < b.size(); ++k) {
                            std::size_t at = (eb + 1 + k) % b.size();
                            joined.corners.push_back(b[at]);
                            joined.colours.push_back(pieces[j].colours[at]);
                        }
                        bool convex = true;
                        const std::size_t n = joined.corners.size();
                        for (std::size_t k = 0; k < n && convex; ++k) {
                            convex = cross(joined.corners[k], joined.corners[(k + 1) % n],
                                           joined.corners[(k + 2) % n]) >= -1e-9f;
                        }
                        if (convex) {
                            pieces[i] = std::move(joined);
                            pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(j));
                            merged = true;
                        }
                    }
                }
            }
        }
    }
}

class CarPainter {
public:
    void flat(const Corners& carCorners, Colour colour) {
        Corners unit = counterClockwise(toUnitBox(carCorners));
        layers_.push_back(Layer{unit, {Patch{unit, std::vector<Colour>(unit.size(), colour)}}});
    }

    // Shaded from centreColour at the centroid to edgeColour at the corners, one fan
    // triangle per edge.
    void shaded(const Corners& carCorners, Colour centreColour, Colour edgeColour) {
        Corners unit = counterClockwise(toUnitBox(carCorners));
        std::pair<float, float> centre{0.0f, 0.0f};
        for (auto [x, y] : unit) {
            centre.first += x / static_cast<float>(unit.size());
            centre.second += y / static_cast<float>(unit.size());
        }
        Layer layer{unit, {}};
        for (std::size_t i = 0; i < unit.size(); ++i) {
            layer.patches.push_back(Patch{{centre, unit[i], unit[(i + 1) % unit.size()]},
                                          {centreColour, edgeColour, edgeColour}});
        }
        layers_.push_back(std::move(layer));
    }

    // A band between two outlines with matching corners, inner inside outer: it hides the
    // whole outer shape from what lies below, but only the band itself is painted.
    void band(const Corners& outerCar, const Corners& innerCar, Colour colour) {
        Corners outer = counterClockwise(toUnitBox(outerCar));
        Corners inner = counterClockwise(toUnitBox(innerCar));
        Layer layer{outer, {}};
        for (std::size_t i = 0; i < outer.size(); ++i) {
            std::size_t j = (i + 1) % outer.size();
            layer.patches.push_back(
                Patch{{outer[i], outer[j], inner[j], inner[i]}, std::vector<Colour>(4, colour)});
        }
        layers_.push_back(std::move(layer));
    }

    // A shape on the right side of the car and its mirror image on the left.
    void flatPair(const Corners& rightSide, Colour colour) {
        flat(rightSide, colour);
        flat(mirroredX(rightSide), colour);
    }

    MeshData mosaic() const {
        MeshData mesh;
        for (std::size_t i = 0; i < layers_.size(); ++i) {
            for (const Patch& source : layers_[i].patches) {
                std::vector<Patch> showing = {source};
                for (std::size_t above = i + 1; above < layers_.size(); ++above) {
                    std::vector<Patch> remaining;
                    for (const Patch& patch : showing) {
                        subtract(patch, layers_[above].outline, remaining);
                    }
                    showing = std::move(remaining);
                }
                mergeNeighbours(showing);
                for (const Patch& patch : showing) {
                    emit(mesh, patch);
                }
            }
        }
        return mesh;
    }

private:
    // Written on the grid the mesh file rounds to, so the triangles checked here are the
    // triangles the game loads.
    static float onGrid(float value) { return std::round(value * 10000.0f) / 10000.0f; }

    static void emit(MeshData& mesh, const Patch& patch) {
        const Corners grown = offset(patch.corners, kSeamOverlap);
        Patch snapped;
        for (std::size_t i = 0; i < grown.size(); ++i) {
            std::pair<float, float> p{onGrid(grown[i].first), onGrid(grown[i].second)};
            if (!snapped.corners.empty() && snapped.corners.back() == p) {
                continue;
            }
            snapped.corners.push_back(p);
            snapped.colours.push_back(patch.colours[i]);
        }
        while (snapped.corners.size() > 1 && snapped.corners.front() == snapped.corners.back()) {
            snapped.corners.pop_back();
            snapped.colours.pop_back();
        }
        if (snapped.corners.size() < 3) {
            return;
        }
        std::vector<uint32_t> ids;
        for (std::size_t i = 0; i < snapped.corners.size(); ++i) {
            auto [x, y] = snapped.corners[i];
            ids.push_back(mesh.addVertex({x, y, 0.0f, 0.5f, 0.5f, snapped.colours[i]}));
        }
        // A fan whose slivers are left out: one with no area would face neither way.
        for (std::size_t i = 1; i + 1 < ids.size(); ++i) {
            if (cross(snapped.corners[0], snapped.corners[i], snapped.corners[i + 1]) > 2.0f * kSliver) {
                mesh.addTriangle(ids[0], ids[i], ids[i + 1]);
            }
        }
    }

    std::vector<Layer> layers_;
};

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
    CarPainter car;
    const Colour tyre{0.06f, 0.06f, 0.07f};
    const Colour outline{0.05f, 0.05f, 0.07f};
    const Colour glass{0.10f, 0.14f, 0.22f};
    const Colour glassShine{0.32f, 0.42f, 0.55f};
    const Colour headlight{1.0f, 0.97f, 0.72f};
    const Colour tailLight{0.85f, 0.04f, 0.04f};
    const Colour grille{0.12f, 0.12f, 0.14f};
    const Colour white{1.0f, 1.0f, 1.0f};

    // Wheels first: the body covers their inner half, the outer half shows.
    car.flatPair(roundedRect(0.90f, 0.55f, 1.18f, 1.25f, 0.06f, 2), tyre);
    car.flatPair(roundedRect(0.90f, 2.75f, 1.18f, 3.45f, 0.06f, 2), tyre);

    // A dark rim around the body keeps the silhouette crisp on the asphalt.
    const Corners bodyOutline = roundedRect(-1.06f, 0.06f, 1.06f, 3.94f, 0.38f, 4);
    car.band(roundedRect(-1.11f, 0.02f, 1.11f, 3.98f, 0.42f, 4), bodyOutline, outline);
    car.shaded(bodyOutline, Canvas::shade(body, 1.12f), Canvas::shade(body, 0.72f));

    // Racing stripes on the bonnet and the boot.
    const Colour stripe = mixed(Canvas::shade(body, 1.25f), white, 0.45f);
    car.flat({{-0.22f, 0.30f}, {0.22f, 0.30f}, {0.22f, 1.12f}, {-0.22f, 1.12f}}, stripe);
    car.flat({{-0.22f, 3.42f}, {0.22f, 3.42f}, {0.22f, 3.72f}, {-0.22f, 3.72f}}, stripe);

    // Windscreen towards the front (low y), wider at its lower edge, with a streak of
    // reflected sky.
    car.flat({{-0.94f, 1.18f}, {0.94f, 1.18f}, {0.76f, 1.80f}, {-0.76f, 1.80f}}, glass);
    car.flat({{-0.55f, 1.26f}, {-0.25f, 1.26f}, {-0.50f, 1.72f}, {-0.72f, 1.72f}}, glassShine);
    // Roof, darker than the body.
    car.shaded(roundedRect(-0.76f, 1.80f, 0.76f, 3.00f, 0.10f, 2), Canvas::shade(body, 0.88f),
               Canvas::shade(body, 0.70f));
    // Side windows along the roof.
    car.flatPair({{0.80f, 1.86f}, {0.95f, 1.96f}, {0.95f, 2.90f}, {0.80f, 2.96f}}, glass);
    // Rear window.
    car.flat({{-0.76f, 3.02f}, {0.76f, 3.02f}, {0.88f, 3.38f}, {-0.88f, 3.38f}}, glass);
    car.flat({{0.30f, 3.08f}, {0.50f, 3.08f}, {0.62f, 3.32f}, {0.42f, 3.32f}}, glassShine);

    // Front: grille between the headlights; rear: tail lights.
    car.flat({{-0.42f, 0.10f}, {0.42f, 0.10f}, {0.42f, 0.22f}, {-0.42f, 0.22f}}, grille);
    car.flatPair({{0.52f, 0.09f}, {0.86f, 0.09f}, {0.98f, 0.20f}, {0.96f, 0.30f}, {0.55f, 0.28f}},
                 headlight);
    car.flatPair({{0.58f, 3.74f}, {0.96f, 3.70f}, {0.92f, 3.88f}, {0.58f, 3.90f}}, tailLight);

    // Door mirrors just behind the windscreen.
    car.flatPair({{1.04f, 1.30f}, {1.19f, 1.36f}, {1.19f, 1.46f}, {1.04f, 1.46f}},
                 Canvas::shade(body, 0.7f));
    return car.mosaic();
}
