#include "tools/content/ContentFiles.h"

#include "game/AssetFiles.h"
#include "math/Collider.h"
#include "io/JsonFile.h"
#include "render/Collision.h"
#include "render/ImageDecoders.h"
#include "render/Sprite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

const std::string kDataDir = std::string(TAMQ_SOURCE_DIR) + "/data/";

// The generators take about a second; every test shares one run.
const std::vector<ContentFile>& generated() {
    static const std::vector<ContentFile> files = ContentFiles::generate();
    return files;
}

const ContentFile& generatedFile(const std::string& path) {
    for (const ContentFile& file : generated()) {
        if (file.path == path) {
            return file;
        }
    }
    throw std::runtime_error("no generated file " + path);
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t littleEndian(const std::vector<uint8_t>& bytes, std::size_t offset, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = value << 8 | bytes[offset + static_cast<std::size_t>(i)];
    }
    return value;
}

// The files of the asset table that the content generator makes (all, or those of one
// kind), relative to data/.
std::vector<std::string> generatedAssets(std::optional<AssetKind> onlyKind = std::nullopt) {
    std::vector<std::string> paths;
    for (const AssetFile& file : kAssetFiles) {
        const bool generated = file.kind == AssetKind::Texture || file.kind == AssetKind::Mesh ||
                               file.kind == AssetKind::Collider;
        if (generated && (!onlyKind || file.kind == *onlyKind)) {
            paths.push_back(std::string(file.path).substr(std::string("data/").size()));
        }
    }
    return paths;
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

TEST(ContentFiles, CommittedDataIsExactlyWhatTheGeneratorsMake) {
    std::string differing;
    for (const ContentFile& file : generated()) {
        std::vector<uint8_t> committed = readFile(kDataDir + file.path);
        if (committed != file.bytes) {
            differing += "\n  data/" + file.path + (committed.empty() ? " (missing)" : " (differs)");
        }
    }
    EXPECT_TRUE(differing.empty()) << "regenerate with contentgen and commit:" << differing;
}

TEST(ContentFiles, EveryAssetTheGameLoadsIsGeneratedAndTheBytesAreRepeatable) {
    const std::vector<std::string> loadedByTheGame = generatedAssets();
    EXPECT_EQ(loadedByTheGame.size(), 15u) << "eight textures, six meshes and the collider";
    std::vector<std::string> paths;
    for (const ContentFile& file : generated()) {
        paths.push_back(file.path);
    }
    for (const std::string& path : loadedByTheGame) {
        EXPECT_NE(std::find(paths.begin(), paths.end(), path), paths.end()) << path;
    }

    // A second run must give the same bytes: no clock, no unseeded randomness.
    std::vector<ContentFile> again = ContentFiles::generate();
    ASSERT_EQ(again.size(), generated().size());
    for (std::size_t i = 0; i < again.size(); ++i) {
        EXPECT_EQ(again[i].path, generated()[i].path);
        EXPECT_TRUE(again[i].bytes == generated()[i].bytes) << again[i].path << " changed between runs";
    }
}

TEST(ContentImages, BmpFilesHave24BitRowsThatNeedNoPaddingAndDecode) {
    int checked = 0;
    for (const ContentFile& file : generated()) {
        if (!endsWith(file.path, ".bmp") && !endsWith(file.path, ".fnt")) {
            continue;
        }
        SCOPED_TRACE(file.path);
        ++checked;
        const std::vector<uint8_t>& b = file.bytes;
        ASSERT_GE(b.size(), 54u);
        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[1], 'M');
        EXPECT_EQ(littleEndian(b, 10, 4), 54u) << "pixels must start right after the headers";
        EXPECT_EQ(littleEndian(b, 28, 2), 24u);
        EXPECT_EQ(littleEndian(b, 30, 4), 0u) << "uncompressed";
        const uint32_t width = littleEndian(b, 18, 4);
        const uint32_t height = littleEndian(b, 22, 4);
        ASSERT_LT(height, 0x80000000u) << "rows must be stored bottom-up";
        // The loaders hand rows to OpenGL as 4-byte aligned, and the font loader expands
        // padding bytes as if they were pixels: rows must need none.
        EXPECT_EQ(width * 3 % 4, 0u) << "width " << width;
        EXPECT_EQ(littleEndian(b, 34, 4), width * height * 3);
        EXPECT_EQ(b.size(), 54u + width * height * 3);

        std::string path = kDataDir + file.path;
        uint16_t w = 0;
        uint16_t h = 0;
        auto pixels = endsWith(file.path, ".bmp") ? decodeBmp(path.c_str(), w, h)
                                                  : decodeBmpWithAlpha(path.c_str(), w, h);
        ASSERT_TRUE(pixels != nullptr);
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
    }
    EXPECT_EQ(checked, 5);
}

TEST(ContentImages, PngFilesAre8BitRgbaAndTransparentWhereTheyShouldBe) {
    for (const char* name : {"road6.png", "heart.png", "title.png"}) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t>& b = generatedFile(name).bytes;
        ASSERT_GE(b.size(), 33u);
        ASSERT_EQ(std::string(b.begin() + 12, b.begin() + 16), "IHDR");
        EXPECT_EQ(b[24], 8) << "bit depth";
        EXPECT_EQ(b[25], 6) << "colour type RGBA";
        EXPECT_EQ(b[28], 0) << "not interlaced";
    }

    auto decoded = [](const char* name, uint16_t& w, uint16_t& h) {
        std::string path = kDataDir + name;
        return decodePng(path.c_str(), w, h);
    };
    uint16_t w = 0;
    uint16_t h = 0;
    auto alphaAt = [&](const std::unique_ptr<unsigned char[]>& p, int x, int y) {
        return p[(static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)) * 4 + 3];
    };

    auto heart = decoded("heart.png", w, h);
    ASSERT_TRUE(heart != nullptr);
    EXPECT_EQ(alphaAt(heart, 0, 0), 0);
    EXPECT_EQ(alphaAt(heart, w - 1, h - 1), 0);
    EXPECT_EQ(alphaAt(heart, w / 2, h / 2), 255);

    auto title = decoded("title.png", w, h);
    ASSERT_TRUE(title != nullptr);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 400);
    EXPECT_EQ(alphaAt(title, 0, 0), 0);
    EXPECT_EQ(alphaAt(title, w - 1, h - 1), 0);
    EXPECT_EQ(alphaAt(title, 0, h - 1), 0);
    std::size_t opaque = 0;
    for (std::size_t i = 3; i < std::size_t{w} * h * 4; i += 4) {
        opaque += title[i] == 255 ? 1 : 0;
    }
    EXPECT_GT(opaque, std::size_t{w} * h / 5) << "the lettering is missing";

    auto road = decoded("road6.png", w, h);
    ASSERT_TRUE(road != nullptr);
    for (std::size_t i = 3; i < std::size_t{w} * h * 4; i += 4) {
        ASSERT_EQ(road[i], 255) << "the road must hide whatever lies under it";
    }
}

TEST(ContentImages, RoadMarkingsLookTheSameOnMirroredQuads) {
    uint16_t w = 0;
    uint16_t h = 0;
    std::string path = kDataDir + "road6.png";
    auto road = decodePng(path.c_str(), w, h);
    ASSERT_TRUE(road != nullptr);
    auto brightness = [&](int x, int y) {
        const unsigned char* p = &road[(static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)) * 4];
        return (p[0] + p[1] + p[2]) / 3;
    };
    // The lane lines lie at a third and two thirds of the width: each row and its mirror
    // row are both paint or both asphalt, so mirrored quads join into even dashes.
    int paintRows = 0;
    for (int x : {w / 3, 2 * w / 3}) {
        for (int y = 0; y < h; ++y) {
            bool painted = brightness(x, y) > 180;
            bool mirrorPainted = brightness(x, h - 1 - y) > 180;
            ASSERT_EQ(painted, mirrorPainted) << "column " << x << " row " << y;
            paintRows += painted ? 1 : 0;
        }
    }
    EXPECT_GT(paintRows, h / 2) << "lane dashes are missing";
    EXPECT_LT(paintRows, 2 * h) << "lane lines must be dashed";
}

class FontAtlas : public ::testing::Test {
protected:
    static constexpr int kCell = 64;

    void SetUp() override {
        std::string path = kDataDir + "font.bmp.fnt";
        pixels_ = decodeBmpWithAlpha(path.c_str(), width_, height_);
        ASSERT_TRUE(pixels_ != nullptr);
        ASSERT_EQ(width_, 16 * kCell);
        ASSERT_EQ(height_, 16 * kCell);
    }

    // Alpha of pixel (x, y) of character c's cell, (0, 0) at the cell's top left.
    int alpha(int c, int x, int y) const {
        int imageX = (c % 16) * kCell + x;
        int imageYFromTop = (c / 16) * kCell + y;
        int row = height_ - 1 - imageYFromTop;  // the buffer is bottom row first
        return pixels_[(static_cast<std::size_t>(row) * width_ + static_cast<std::size_t>(imageX)) * 4 + 3];
    }

    struct Ink {
        int pixels = 0;
        int left = kCell;
        int right = -1;
        int top = kCell;
        int bottom = -1;
    };

    Ink ink(int c) const {
        Ink result;
        for (int y = 0; y < kCell; ++y) {
            for (int x = 0; x < kCell; ++x) {
                if (alpha(c, x, y) > 64) {
                    ++result.pixels;
                    result.left = std::min(result.left, x);
                    result.right = std::max(result.right, x);
                    result.top = std::min(result.top, y);
                    result.bottom = std::max(result.bottom, y);
                }
            }
        }
        return result;
    }

    std::unique_ptr<unsigned char[]> pixels_;
    uint16_t width_ = 0;
    uint16_t height_ = 0;
};

TEST_F(FontAtlas, EveryPrintableCharacterHasInkCentredInsideItsCellAndSpaceHasNone) {
    EXPECT_EQ(ink(' ').pixels, 0);
    EXPECT_GT(ink('A').pixels, 200);
    for (int c = 33; c <= 126; ++c) {
        SCOPED_TRACE(std::string("character '") + static_cast<char>(c) + "'");
        Ink box = ink(c);
        ASSERT_GT(box.pixels, 0);
        // Cells are drawn side by side; ink at a cell border would bleed into the neighbour.
        EXPECT_GE(box.left, 4);
        EXPECT_LE(box.right, kCell - 5);
        EXPECT_GE(box.top, 1);
        EXPECT_LE(box.bottom, kCell - 2);
        EXPECT_NEAR((box.left + box.right) / 2.0, (kCell - 1) / 2.0, 2.0);
    }
    // Nothing outside the printable range.
    for (int c : {0, 10, 31, 127, 200, 255}) {
        EXPECT_EQ(ink(c).pixels, 0) << "code " << c;
    }
}

TEST_F(FontAtlas, GlyphsStandUprightOnOneBaseline) {
    // '^' sits high, '_' and the tail of 'g' low: an atlas flipped upside down fails here.
    EXPECT_LT(ink('^').bottom, kCell / 2);
    EXPECT_GT(ink('_').top, kCell / 2);
    EXPECT_GT(ink('g').bottom, ink('a').bottom);
    // Capitals and digits share the baseline, so a HUD number does not wobble (round
    // shapes overshoot it by a pixel).
    for (int c : {'0', '1', '4', '7', 'E', 'H', 'T', 'X'}) {
        EXPECT_NEAR(ink(c).bottom, ink('A').bottom, 1) << static_cast<char>(c);
    }
    // Letters are big enough to read at 25 pixels per cell.
    EXPECT_GE(ink('H').bottom - ink('H').top, kCell / 2);
}

namespace {

struct LoadedMesh {
    std::vector<float> x, y, z;
    std::vector<float> u, v;
    std::vector<float> r, g, b;
    std::vector<uint32_t> indices;
};

LoadedMesh loadMesh(const std::string& name) {
    JsonValue root = JsonFile::parse(kDataDir + name);
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
    for (const std::string& name : generatedAssets(AssetKind::Mesh)) {
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
    ASSERT_TRUE(collider.load(kDataDir + "meshes/colliders/quadCollider.json"));
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
