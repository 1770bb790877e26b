#include "game/AssetFiles.h"
#include "game/Game.h"
#include "render/Mesh.h"

#include "support/HeadlessGl.h"
#include "support/ScratchDataFolder.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cctype>
#include <stdexcept>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

enum class Outcome { Starts, Refuses };

// One bad file swapped into a copy of the game's data folder. `file` is in
// tests/hostile/files, or one of: "<missing>" (the data file is deleted), "<folder>" (a
// folder stands in its place), "<deep>" (a JSON file a million arrays deep, made here).
// One line of the game's output must name `replaces` and say `fault`; a null fault means
// the file is read without complaint. Shader compile reports carry the driver's log and the
// shader kind, not the path (their wording is fixed), so `named` is false for them.
struct HostileCase {
    const char* file;
    const char* replaces;
    Outcome outcome;
    const char* fault;
    bool named;
};

std::ostream& operator<<(std::ostream& out, const HostileCase& c) {
    return out << c.file << " as " << c.replaces;
}

constexpr Outcome S = Outcome::Starts;
constexpr Outcome R = Outcome::Refuses;

// The manifest: what each bad file does to the game. Textures, the collider, the traffic
// file, the camera path and the shaders are reported and played around; a faulty mesh
// stops the game before its window shows garbage. A top-down BMP (negative height) is a
// valid file and is read the right way up.
const HostileCase kCases[] = {
    // Plain BMP (the bar's wall texture).
    {"<missing>", "data/paroi.bmp", S, "cannot open the file", true},
    {"<folder>", "data/paroi.bmp", S, "is a folder, not a file", true},
    {"bmp-empty.bmp", "data/paroi.bmp", S, "too short for a BMP header (0 bytes)", true},
    {"bmp-cut-in-header.bmp", "data/paroi.bmp", S, "too short for a BMP header (20 bytes)", true},
    {"bmp-cut-in-pixels.bmp", "data/paroi.bmp", S, "declares 192 bytes of pixel data but only 40 follow", true},
    {"bmp-huge-dimensions.bmp", "data/paroi.bmp", S, "0 bytes of pixel data for a 60000 x 60000 image", true},
    {"bmp-negative-height.bmp", "data/paroi.bmp", S, nullptr, true},
    {"bmp-zero-width.bmp", "data/paroi.bmp", S, "unsupported BMP size 0 x 8", true},
    {"bmp-8-bit-palette.bmp", "data/paroi.bmp", S, "unsupported BMP format (8 bits per pixel", true},
    {"bmp-text.bmp", "data/paroi.bmp", S, "too short for a BMP header (21 bytes)", true},
    {"bmp-offset-past-end.bmp", "data/paroi.bmp", S, "declares 192 bytes of pixel data but only 0 follow", true},
    // The font's BMP.
    {"<missing>", "data/font.bmp.fnt", S, "cannot open the file", true},
    {"font-cut-in-pixels.fnt", "data/font.bmp.fnt", S, "declares 768 bytes of pixel data but only 246 follow", true},
    {"font-huge-dimensions.fnt", "data/font.bmp.fnt", S, "0 bytes of pixel data for a 65535 x 65535 image", true},
    // PNG (the heart and the title).
    {"<missing>", "data/heart.png", S, "cannot open the file", true},
    {"<folder>", "data/title.png", S, "is a folder, not a file", true},
    {"png-empty.png", "data/heart.png", S, "not a PNG file", true},
    {"png-signature-only.png", "data/heart.png", S, "the file ends early", true},
    {"png-cut-in-data.png", "data/heart.png", S, "the file ends early", true},
    {"png-bad-checksum.png", "data/heart.png", S, "IDAT: CRC error", true},
    {"png-huge-dimensions.png", "data/title.png", S, "larger than 65535 pixels on a side", true},
    {"png-chunk-length-past-end.png", "data/heart.png", S, "the file ends early", true},
    {"png-text.png", "data/title.png", S, "not a PNG file", true},
    {"png-zero-width.png", "data/heart.png", S, "Invalid IHDR data", true},
    // JSON meshes.
    {"<missing>", "data/meshes/display/carBlue.json", R, "cannot open the file", true},
    {"<folder>", "data/quad.json", R, "is a folder, not a file", true},
    {"<deep>", "data/quadBackground.json", R, "\"model\" is not an object", true},
    {"mesh-empty.json", "data/meshes/display/carRed.json", R, "line 1, column 1: value - unexpected end of input", true},
    {"mesh-cut-in-vertices.json", "data/meshes/display/carRed.json", R, "line 3, column 46", true},
    {"mesh-cut-before-end.json", "data/meshes/display/carRed.json", R, "line 7, column 4", true},
    {"mesh-no-model.json", "data/quad.json", R, "no \"model\" member", true},
    {"mesh-root-array.json", "data/quad.json", R, "the root is not an object", true},
    {"mesh-string-for-number.json", "data/meshes/display/carGreen.json", R, "\"vertices\" element 1: \"x\" is not a number", true},
    {"mesh-nan.json", "data/meshes/display/carGreen.json", R, "line 3, column 50: value - invalid literal", true},
    {"mesh-infinite.json", "data/meshes/display/carGreen.json", R, "line 3, column 50: number overflow parsing '1e999'", true},
    {"mesh-float-overflow.json", "data/meshes/display/carGreen.json", R, "\"x\" is out of range", true},
    {"mesh-index-out-of-range.json", "data/meshes/display/carYellow.json", R, "\"c\" = 3 is not below the vertex count 3", true},
    {"mesh-negative-index.json", "data/meshes/display/carYellow.json", R, "\"a\" = -1 is not below", true},
    {"mesh-too-few-colours.json", "data/meshes/display/carYellow.json", R, "\"colors\" has 2 entries but \"vertices\" has 3", true},
    {"mesh-duplicate-model.json", "data/meshes/display/carBlue.json", R, "\"model\" is not an object", true},
    {"mesh-deep-nesting.json", "data/meshes/display/carBlue.json", R, "\"model\" is not an object", true},
    {"mesh-keyframe-sizes-differ.json", "data/meshes/display/carBlue.json", R, "keyframe 1: \"vertices\" has 2 entries where the first keyframe has 3", true},
    {"mesh-keyframes-start-late.json", "data/meshes/display/carBlue.json", R, "the first keyframe starts at 1.000000, not at 0", true},
    {"mesh-keyframe-times-go-back.json", "data/meshes/display/carBlue.json", R, "\"startTime\" 1.000000 does not follow", true},
    {"mesh-animation-without-keyframes.json", "data/meshes/display/carBlue.json", R, "animation 0 has no keyframes", true},
    // The collider.
    {"<missing>", "data/meshes/colliders/quadCollider.json", S, "cannot open the file", true},
    {"<folder>", "data/meshes/colliders/quadCollider.json", S, "is a folder, not a file", true},
    {"collider-empty.json", "data/meshes/colliders/quadCollider.json", S, "line 1, column 1", true},
    {"collider-index-out-of-range.json", "data/meshes/colliders/quadCollider.json", S, "\"b\" = 7 is outside the 2 vertices", true},
    {"collider-negative-index.json", "data/meshes/colliders/quadCollider.json", S, "\"a\" = -1 is outside", true},
    {"collider-string-radius.json", "data/meshes/colliders/quadCollider.json", S, "\"radius\" is not a number", true},
    {"collider-infinite-radius.json", "data/meshes/colliders/quadCollider.json", S, "number overflow parsing '1e999'", true},
    {"collider-negative-radius.json", "data/meshes/colliders/quadCollider.json", S, "\"radius\" = -0.25 is negative", true},
    {"collider-not-an-object.json", "data/meshes/colliders/quadCollider.json", S, "\"collider\" is not an object", true},
    // The traffic file.
    {"<missing>", "data/cars.json", S, "cannot open the file", true},
    {"<folder>", "data/cars.json", S, "is a folder, not a file", true},
    {"cars-empty.json", "data/cars.json", S, "line 1, column 1", true},
    {"cars-cut.json", "data/cars.json", S, "line 1, column 58", true},
    {"cars-string-speed.json", "data/cars.json", S, "\"cars\" element 0: \"speed\" is not a number, car skipped", true},
    {"cars-missing-time.json", "data/cars.json", S, "missing \"time\", car skipped", true},
    {"cars-patterns-not-lists.json", "data/cars.json", S, "\"patterns\" is not an array, ignored", true},
    {"cars-nan-time.json", "data/cars.json", S, "line 1, column 41: value - invalid literal", true},
    {"cars-negative-speed.json", "data/cars.json", S, "\"cars\" element 0: \"speed\" = -6 is not above 0, car skipped", true},
    {"cars-duplicate-cars.json", "data/cars.json", S, "\"cars\" is not an array, ignored", true},
    {"cars-no-patterns.json", "data/cars.json", S, "no car in \"patterns\": once the scripted cars run out", true},
    // The camera path.
    {"<missing>", "data/cam/camversion1", S, "cannot open the file", true},
    {"<folder>", "data/cam/camversion1", S, "is a folder, not a file", true},
    {"cam-empty", "data/cam/camversion1", S, "the file ends at byte 0, inside the 48-byte header", true},
    {"cam-cut-in-header", "data/cam/camversion1", S, "the file ends at byte 20", true},
    {"cam-cut-in-keyframes", "data/cam/camversion1", S, "the file ends at byte 100, inside eye keyframe 3", true},
    {"cam-absurd-count", "data/cam/camversion1", S, "eye keyframe count 1000000 is outside 0 to 15", true},
    {"cam-negative-count", "data/cam/camversion1", S, "eye keyframe count -3 is outside", true},
    {"cam-unknown-kind", "data/cam/camversion1", S, "kind 99 is not one of 0 to 4", true},
    {"cam-nan-point", "data/cam/camversion1", S, "value 1 is not a finite number", true},
    // Shader sources.
    {"<missing>", "data/shaders/basic-fixed.vert", S, "Could not load shader: ", true},
    {"<folder>", "data/shaders/gameover-fixed.frag", S, "Could not load shader: ", true},
    {"shader-empty.vert", "data/shaders/basic-fixed.vert", S, "Could not compile vertexShader 35633", false},
    {"shader-garbage.frag", "data/shaders/basic-fixed.frag", S, "Could not compile fragmentShader 35632", false},
    {"shader-binary.frag", "data/shaders/gameover-fixed.frag", S, "Could not compile fragmentShader 35632", false},
};

bool hasReportLine(const std::string& output, const std::string& file, const std::string& fault) {
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        const std::string line = output.substr(start, end == std::string::npos ? end : end - start);
        if (line.find(file) != std::string::npos && line.find(fault) != std::string::npos) {
            return true;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return false;
}

// Puts the case's file in place of the one it replaces in a scratch copy of data/.
void swapIn(ScratchDataFolder& data, const HostileCase& c) {
    const std::string file = c.file;
    data.remove(c.replaces);
    if (file == "<folder>") {
        fs::create_directories(data.root() / c.replaces / "inside");
    } else if (file == "<deep>") {
        data.write(c.replaces, "{\"model\": " + std::string(1000000, '[') + std::string(1000000, ']') + "}");
    } else if (file != "<missing>") {
        data.write(c.replaces, TestFiles::readAll(std::string(TAMQ_SOURCE_DIR) + "/tests/hostile/files/" + file));
    }
}

class HostileDataFile : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileDataFile, GameReportsTheFileAndStartsOrRefusesAsListed) {
    REQUIRE_GL();
    const HostileCase& c = GetParam();
    ScratchDataFolder data("hostile");
    swapIn(data, c);

    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    bool started = false;
    {
        Game game;
        started = game.init();
        if (started) {
            // A second and a half of play with the bad file in place, one frame drawn.
            game.resize(1280, 720);
            game.input().hold(GameKey::Space);
            for (int frame = 0; frame < 90; ++frame) {
                game.update(1.0f / 60.0f);
            }
            game.render();
        }
        game.releaseTextures();
    }
    const std::string output = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();

    EXPECT_EQ(started, c.outcome == Outcome::Starts) << output;
    if (c.fault == nullptr) {
        EXPECT_EQ(output.find(c.replaces), std::string::npos) << "unexpected report:\n" << output;
        return;
    }
    EXPECT_TRUE(hasReportLine(output, c.named ? c.replaces : "", c.fault))
        << "no line names " << c.replaces << " with \"" << c.fault << "\":\n" << output;
}

std::string caseName(const testing::TestParamInfo<HostileCase>& info) {
    std::string name = std::to_string(info.index) + "_";
    for (const char* p = info.param.file[0] == '<' ? info.param.replaces : info.param.file; *p; ++p) {
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    }
    if (info.param.file[0] == '<') {
        name += std::string("_") + (info.param.file[1] == 'm' ? "missing" : info.param.file[1] == 'f' ? "folder" : "deep");
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Manifest, HostileDataFile, testing::ValuesIn(kCases), caseName);

// Every file of the game's asset table, taken away: some line names it, and the game
// starts without it, except without a mesh. The manifest's own cases also check the wording.
std::vector<HostileCase> missingAssetCases() {
    std::vector<HostileCase> cases;
    auto add = [&cases](const char* path, AssetKind kind) {
        for (const HostileCase& c : kCases) {
            if (std::string(c.file) == "<missing>" && std::string(c.replaces) == path) {
                return;
            }
        }
        cases.push_back({"<missing>", path, kind == AssetKind::Mesh ? R : S, "", true});
    };
    for (const AssetFile& file : kAssetFiles) {
        add(file.path, file.kind);
        if (file.secondPath != nullptr) {
            add(file.secondPath, file.kind);
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryAsset, HostileDataFile, testing::ValuesIn(missingAssetCases()), caseName);

// The game reads no ".bloc" mesh, so these bad files go straight to the mesh reader, which
// must refuse each with a message naming the file and the fault and leave the mesh as it was.
struct BlocCase {
    const char* file;
    const char* fault;
};

const BlocCase kBlocCases[] = {
    {"<missing>", "cannot open the file"},
    {"<folder>", "is a folder, not a file"},
    {"bloc-empty.bloc", "0 bytes is too short for a mesh header"},
    {"bloc-cut-in-header.bloc", "5 bytes is too short for a mesh header"},
    {"bloc-absurd-counts.bloc", "4294967295 vertices and 4294967295 triangles need"},
    {"bloc-cut-in-indices.bloc", "need 116 bytes but the file has 111"},
    {"bloc-index-out-of-range.bloc", "triangle 0 names vertex 3 of only 3"},
    {"bloc-nan-position.bloc", "the positions hold a value that is not a finite number"},
    {"bloc-infinite-colour.bloc", "the colours hold a value that is not a finite number"},
};

TEST(HostileBlocFile, EveryBadFileIsRefusedWithItsFaultAndTheMeshKept) {
    const fs::path folder = fs::path(TestFiles::folder()) / "hostile-bloc";
    fs::create_directories(folder / "folder.bloc");
    for (const BlocCase& c : kBlocCases) {
        const std::string file = c.file;
        const fs::path path = file == "<missing>"  ? folder / "missing.bloc"
                              : file == "<folder>" ? folder / "folder.bloc"
                                                   : fs::path(TAMQ_SOURCE_DIR) / "tests/hostile/files" / file;
        SCOPED_TRACE(file);
        Mesh mesh;
        mesh.appendPosition(1, 2, 3);
        mesh.updateCounts();
        std::string message;
        try {
            mesh.load(path.string());
        } catch (const std::runtime_error& error) {
            message = error.what();
        }
        EXPECT_EQ(message.rfind(path.string() + ": ", 0), 0u) << message;
        EXPECT_NE(message.find(c.fault), std::string::npos) << message;
        EXPECT_EQ(mesh.positionCount(), 3u);
    }
    fs::remove_all(folder);
}

}  // namespace
