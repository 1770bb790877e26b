// The generated meshes and the car's collider as the game draws and tests them.

#include "GeneratedContent.h"

#include "io/JsonFile.h"
#include "math/Collider.h"
#include "render/Collision.h"
#include "render/Sprite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct LoadedMesh {
    std::vector<float> x, y, z;
    std::vector<float> u, v;
    std::vector<float> r, g, b;
    std::vector<uint32_t> indices;
};

LoadedMesh loadMesh(const std::string& name) {
    JsonValue root = JsonFile::parse(GeneratedContent::inData(name));
    const JsonValue& model = root.at("model");
    LoadedMesh mesh;
    for (const auto& p : model.at("vertices")) {
        mesh.x.push_back(JsonFile::number(p, "x"));
        mesh.y.push_back(JsonFile::number(p, "y"));
        mesh.z.push_back(JsonFile::number(p, "z"));
    }
    for (const auto& t : model.at("uvs")) {
        mesh.u.push_back(JsonFile::number(t, "u"));
        mesh.v.push_back(JsonFile::number(t, "v"));
    }
    for (const auto& c : model.at("colors")) {
        mesh.r.push_back(JsonFile::number(c, "r"));
        mesh.g.push_back(JsonFile::number(c, "g"));
        mesh.b.push_back(JsonFile::number(c, "b"));
    }
    for (const auto& i : model.at("indices")) {
        for (const char* key : {"a", "b", "c"}) {
            mesh.indices.push_back(static_cast<uint32_t>(JsonFile::number(i, key)));
        }
    }
    return mesh;
}

}  // namespace

TEST(ContentMeshes, EveryTriangleFacesTheCameraInsideTheUnitBox) {
    for (const std::string& name : GeneratedContent::assets(AssetKind::Mesh)) {
        SCOPED_TRACE(name);
        LoadedMesh mesh = loadMesh(name);
        const std::size_t n = mesh.x.size();
        ASSERT_GT(n, 0u);
        EXPECT_EQ(mesh.u.size(), n);
        EXPECT_EQ(mesh.r.size(), n);
        ASSERT_EQ(mesh.indices.size() % 3, 0u);
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_TRUE(mesh.x[i] >= 0.0f && mesh.x[i] <= 1.0f && mesh.y[i] >= 0.0f &&
                        mesh.y[i] <= 1.0f)
                << "vertex " << i << " at " << mesh.x[i] << ", " << mesh.y[i];
            // One depth for the whole mesh: later triangles cover earlier ones by draw order.
            EXPECT_EQ(mesh.z[i], 0.0f);
        }
        for (std::size_t t = 0; t < mesh.indices.size(); t += 3) {
            uint32_t a = mesh.indices[t];
            uint32_t b = mesh.indices[t + 1];
            uint32_t c = mesh.indices[t + 2];
            ASSERT_TRUE(a < n && b < n && c < n) << "triangle " << t / 3;
            float area = (mesh.x[b] - mesh.x[a]) * (mesh.y[c] - mesh.y[a]) -
                         (mesh.x[c] - mesh.x[a]) * (mesh.y[b] - mesh.y[a]);
            EXPECT_GT(area, 0.0f) << "triangle " << t / 3 << " is clockwise and would be culled";
        }
    }
}

TEST(ContentMeshes, QuadsMapTheirTexturesUprightAndTheGrassRepeats) {
    for (auto [name, uMax, vMax] : {std::tuple{"quad.json", 1.0f, 1.0f},
                                    std::tuple{"quadBackground.json", 20.0f, 80.0f}}) {
        SCOPED_TRACE(name);
        LoadedMesh mesh = loadMesh(name);
        ASSERT_EQ(mesh.x.size(), 4u);
        EXPECT_EQ(mesh.indices.size(), 6u);
        for (std::size_t i = 0; i < 4; ++i) {
            // v = 0 at the bottom: the loaders store images bottom row first.
            EXPECT_EQ(mesh.u[i], mesh.x[i] * uMax);
            EXPECT_EQ(mesh.v[i], mesh.y[i] * vMax);
            EXPECT_EQ(mesh.r[i] + mesh.g[i] + mesh.b[i], 3.0f) << "quads are white";
        }
    }
}

TEST(ContentMeshes, CarsShowHeadlightsAtTheFrontAndTailLightsAtTheBack) {
    // Cars drive down the screen, so their front is at y = 0 of the box.
    std::map<std::string, int> bodyHue = {{"carBlue", 2}, {"carYellow", 0}, {"carRed", 0},
                                          {"carGreen", 1}};
    for (const auto& [car, hue] : bodyHue) {
        SCOPED_TRACE(car);
        LoadedMesh mesh = loadMesh("meshes/display/" + car + ".json");
        int headlights = 0;
        int tailLights = 0;
        for (std::size_t i = 0; i < mesh.x.size(); ++i) {
            if (mesh.r[i] > 0.95f && mesh.g[i] > 0.9f && mesh.b[i] > 0.6f) {
                ++headlights;
                EXPECT_LT(mesh.y[i], 0.1f);
            }
            if (mesh.r[i] > 0.8f && mesh.g[i] < 0.06f && mesh.b[i] < 0.06f) {
                ++tailLights;
                EXPECT_GT(mesh.y[i], 0.9f);
            }
            EXPECT_EQ(mesh.u[i], 0.5f) << "the white pixel is sampled in its middle";
        }
        EXPECT_GE(headlights, 6);
        EXPECT_GE(tailLights, 6);
        // The vertex at the body's centre carries the car's own colour.
        std::size_t centre = 0;
        float best = 1.0f;
        for (std::size_t i = 0; i < mesh.x.size(); ++i) {
            float d = std::abs(mesh.x[i] - 0.5f) + std::abs(mesh.y[i] - 0.5f);
            if (d < best) {
                best = d;
                centre = i;
            }
        }
        float channels[3] = {mesh.r[centre], mesh.g[centre], mesh.b[centre]};
        EXPECT_EQ(std::max_element(channels, channels + 3) - channels, hue);
    }
}

TEST(ContentMeshes, CarsPaintEachPixelOfTheirBodyAboutOnce) {
    // The software rasteriser pays for every layer of triangles over a car, so details are
    // cut out of the body rather than drawn on top of it.
    constexpr int kGrid = 1024;
    for (const char* car : {"carBlue", "carYellow", "carRed", "carGreen"}) {
        SCOPED_TRACE(car);
        LoadedMesh mesh = loadMesh(std::string("meshes/display/") + car + ".json");
        std::vector<bool> covered(kGrid * kGrid, false);
        double trianglesArea = 0.0;
        for (std::size_t t = 0; t < mesh.indices.size(); t += 3) {
            const double ax = mesh.x[mesh.indices[t]], ay = mesh.y[mesh.indices[t]];
            const double bx = mesh.x[mesh.indices[t + 1]], by = mesh.y[mesh.indices[t + 1]];
            const double cx = mesh.x[mesh.indices[t + 2]], cy = mesh.y[mesh.indices[t + 2]];
            const double doubled = (bx - ax) * (cy - ay) - (cx - ax) * (by - ay);
            trianglesArea += std::abs(doubled) / 2.0;
            auto cell = [](double v) { return std::clamp(static_cast<int>(v * kGrid), 0, kGrid - 1); };
            for (int row = cell(std::min({ay, by, cy})); row <= cell(std::max({ay, by, cy})); ++row) {
                for (int col = cell(std::min({ax, bx, cx})); col <= cell(std::max({ax, bx, cx})); ++col) {
                    const double x = (col + 0.5) / kGrid;
                    const double y = (row + 0.5) / kGrid;
                    const double w0 = (bx - x) * (cy - y) - (cx - x) * (by - y);
                    const double w1 = (cx - x) * (ay - y) - (ax - x) * (cy - y);
                    const double w2 = doubled - w0 - w1;
                    if (w0 >= 0.0 && w1 >= 0.0 && w2 >= 0.0) {
                        covered[static_cast<std::size_t>(row * kGrid + col)] = true;
                    }
                }
            }
        }
        const double silhouette =
            static_cast<double>(std::count(covered.begin(), covered.end(), true)) / (kGrid * kGrid);
        EXPECT_GT(silhouette, 0.8) << "the car fills most of its box";
        EXPECT_LE(trianglesArea, 1.15 * silhouette);
    }
}

TEST(ContentMeshes, CarsStayWithinTheTriangleBudgetOfTheSoftwareRasteriser) {
    // A full road of cars is drawn per triangle, not per pixel: past a few dozen
    // triangles each, the cars alone cost more than the rest of the frame.
    for (const char* car : {"carBlue", "carYellow", "carRed", "carGreen"}) {
        SCOPED_TRACE(car);
        LoadedMesh mesh = loadMesh(std::string("meshes/display/") + car + ".json");
        EXPECT_LE(mesh.indices.size() / 3, 48u);
    }
}

TEST(ContentCollider, TheBarHitsACarWhereItsBodyIsAndMissesBesideIt) {
    Collider collider;
    ASSERT_TRUE(collider.load(GeneratedContent::inData("meshes/colliders/quadCollider.json")));
    ASSERT_GT(collider.edgeCount(), 3u);
    for (uint32_t i = 0; i < collider.edgeCount(); ++i) {
        float ends[4];
        collider.edgeEnds(i, ends);
        for (float e : ends) {
            EXPECT_TRUE(e > 0.0f && e < 1.0f) << "edge " << i << " leaves the box";
        }
    }

    // An enemy car as the game places it, centred on the origin: 2.4 wide, 4 long.
    Sprite car;
    car.place(0.0f, 0.0f, -1.0f, nullptr, nullptr, nullptr);
    car.setSize(2.4f, 4.0f, 1.0f);
    car.setPivot(0.5f, 0.5f);
    car.attachCollider(&collider);

    EXPECT_TRUE(segmentHitsCollider(car, -6.5f, 0.0f, 6.5f, 0.0f)) << "across the middle";
    EXPECT_TRUE(segmentHitsCollider(car, 0.0f, -6.5f, 0.0f, 6.5f)) << "along the middle";
    EXPECT_TRUE(segmentHitsCollider(car, -6.5f, -1.85f, 6.5f, -1.85f)) << "across the bumper";
    EXPECT_TRUE(segmentHitsCollider(car, 1.0f, -6.5f, 1.0f, 6.5f)) << "along the side";
    EXPECT_TRUE(segmentHitsCollider(car, -3.0f, -4.0f, 3.0f, 4.0f)) << "corner to corner";
    EXPECT_TRUE(segmentHitsCollider(car, 0.0f, 0.0f, 6.5f, 1.0f)) << "a bar ending inside";

    EXPECT_FALSE(segmentHitsCollider(car, 1.3f, -6.5f, 1.3f, 6.5f)) << "beside the car";
    EXPECT_FALSE(segmentHitsCollider(car, -6.5f, 2.1f, 6.5f, 2.1f)) << "behind the car";
    EXPECT_FALSE(segmentHitsCollider(car, 0.9f, 2.3f, 1.5f, 1.7f)) << "grazing a corner";
}
