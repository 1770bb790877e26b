#include "render/Mesh.h"
#include "render/MeshAnimation.h"

#include "render/FlatColourDrawing.h"
#include "support/HeadlessGl.h"
#include "support/TestFiles.h"

#include "io/JsonFile.h"
#include "render/GlEntryPoints.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::string kExampleMesh =
    R"({"model": {"vertices": [{"x": 0, "y": 0, "z": 0}, {"x": 0, "y": 1, "z": 0}, {"x": 1, "y": 0, "z": 0}],)"
    R"( "uvs": [{"u": 0, "v": 0}, {"u": 0, "v": 1}, {"u": 1, "v": 0}],)"
    R"( "colors": [{"r": 1, "g": 1, "b": 1}, {"r": 1, "g": 1, "b": 1}, {"r": 1, "g": 1, "b": 1}],)"
    R"( "indices": [{"a": 0, "b": 2, "c": 1}]}})";

// Expects load to throw a message that names the file and contains `fault`.
void expectRejected(const std::string& path, const std::string& fault) {
    Mesh mesh;
    try {
        mesh.load(path);
        ADD_FAILURE() << path << " was accepted, expected: " << fault;
    } catch (const std::runtime_error& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.rfind(path, 0), 0u) << message;
        EXPECT_NE(message.find(fault), std::string::npos) << message;
    }
    EXPECT_EQ(mesh.positionCount(), 0u);
}

void put32(std::string& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
    }
}

void putFloat(std::string& bytes, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    put32(bytes, bits);
}

// A ".bloc" quad: 4 vertices, 2 triangles, 160 bytes before the optional marker.
std::string blocQuad() {
    std::string bytes;
    put32(bytes, 4);
    put32(bytes, 2);
    const float positions[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
    for (float v : positions) putFloat(bytes, v);
    for (int i = 0; i < 4; ++i) {
        putFloat(bytes, 0.25f);
        putFloat(bytes, 0.5f);
        putFloat(bytes, 0.75f);
    }
    const float uvs[] = {0, 0, 1, 0, 0, 1, 1, 1};
    for (float v : uvs) putFloat(bytes, v);
    for (uint32_t i : {0u, 1u, 2u, 2u, 1u, 3u}) put32(bytes, i);
    return bytes;
}

std::string loadCapturingOutput(Mesh& mesh, const std::string& path) {
    testing::internal::CaptureStdout();
    mesh.load(path);
    return testing::internal::GetCapturedStdout();
}

GLint bufferSize(GLenum target, GLuint buffer) {
    auto getParameter = reinterpret_cast<PFNGLGETBUFFERPARAMETERIVPROC>(
        HeadlessGl::procAddress("glGetBufferParameteriv"));
    GLint size = -1;
    gl.glBindBuffer(target, buffer);
    getParameter(target, GL_BUFFER_SIZE, &size);
    return size;
}

bool isBuffer(GLuint buffer) {
    auto isBufferFn = reinterpret_cast<PFNGLISBUFFERPROC>(HeadlessGl::procAddress("glIsBuffer"));
    return isBufferFn(buffer) == GL_TRUE;
}

}  // namespace

TEST(MeshJson, ReadsTheDocumentedExample) {
    Mesh mesh;
    EXPECT_TRUE(mesh.load(TestFiles::write("example.json", kExampleMesh)));
    EXPECT_EQ(mesh.positionCount(), 9u);
    EXPECT_EQ(mesh.uvCount(), 6u);
    EXPECT_EQ(mesh.colourCount(), 9u);
    EXPECT_EQ(mesh.indexCount(), 3u);
    EXPECT_EQ(mesh.positions(), (std::vector<float>{0, 0, 0, 0, 1, 0, 1, 0, 0}));
    EXPECT_EQ(mesh.uvs(), (std::vector<float>{0, 0, 0, 1, 1, 0}));
    EXPECT_EQ(mesh.indices(), (std::vector<uint32_t>{0, 2, 1}));
    EXPECT_EQ(mesh.animation(), nullptr);
}

TEST(MeshJson, ReadsMembersByNameTruncatesIndicesAndSkipsUnknownRootMembers) {
    Mesh mesh;
    mesh.load(TestFiles::write("loose.json", R"({"author": "someone", "model": {
        "colors": {"first": {"b": 0.5, "g": 0.25, "r": 1}, "second": {"r": 0, "g": 0, "b": 0}},
        "vertices": [{"z": 3, "y": 2, "x": 1}, {"x": -1.5, "y": 0, "z": 0}],
        "indices": [{"c": 0, "b": 1.9, "a": 1.5}],
        "uvs": [{"v": 0.5, "u": 0.25}, {"u": 1, "v": 1}]}, "extra": [1, 2]})"));
    EXPECT_EQ(mesh.positions(), (std::vector<float>{1, 2, 3, -1.5f, 0, 0}));
    EXPECT_EQ(mesh.colours(), (std::vector<float>{1, 0.25f, 0.5f, 0, 0, 0}));
    EXPECT_EQ(mesh.uvs(), (std::vector<float>{0.25f, 0.5f, 1, 1}));
    EXPECT_EQ(mesh.indices(), (std::vector<uint32_t>{1, 1, 0}));

    Mesh example;
    std::string withFraction = kExampleMesh;
    withFraction.replace(withFraction.find(R"("b": 2)"), 6, R"("b": 2.9)");
    example.load(TestFiles::write("fraction.json", withFraction));
    EXPECT_EQ(example.indices(), (std::vector<uint32_t>{0, 2, 1}));
}

TEST(MeshJson, AnimationsBeforeTheModelLoadLikeAfterIt) {
    Mesh first;
    first.load(std::string(TAMQ_TEST_DATA_DIR) + "/render/slidingQuad.json");
    // The same document with the model moved in front of the animations.
    const JsonValue original =
        JsonFile::parse(std::string(TAMQ_TEST_DATA_DIR) + "/render/slidingQuad.json");
    ASSERT_EQ(original.begin().key(), "animations");
    JsonValue reordered;
    reordered["model"] = original["model"];
    reordered["animations"] = original["animations"];
    Mesh second;
    second.load(TestFiles::write("modelFirst.json", reordered.dump()));

    for (const Mesh* mesh : {&first, &second}) {
        ASSERT_NE(mesh->animation(), nullptr);
        EXPECT_EQ(mesh->positionCount(), 12u);
        EXPECT_EQ(mesh->indexCount(), 6u);
        EXPECT_EQ(mesh->animation()->keyframeCount(), 2);
        EXPECT_EQ(mesh->animation()->vertexCount(), 4);
        EXPECT_EQ(mesh->animation()->endTime(0), 2.0f);
    }
    EXPECT_EQ(first.positions(), second.positions());
}

TEST(MeshFiles, OnlyJsonAfterTheFirstCharacterPicksTheJsonReader) {
    const std::string quad = blocQuad();
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(TestFiles::folder());
    TestFiles::write(".jsonquad", quad);
    Mesh mesh;
    std::string output;
    EXPECT_NO_THROW(output = loadCapturingOutput(mesh, ".jsonquad"));
    std::filesystem::current_path(previous);
    EXPECT_EQ(output, "pas d'anim\n");
    EXPECT_EQ(mesh.indexCount(), 6u);

    // The test is case-sensitive: JSON text under ".JSON" goes to the binary reader and
    // fails there, reading nonsense counts from the text.
    expectRejected(TestFiles::write("upper.JSON", kExampleMesh), "bytes");
}

TEST(MeshBloc, ReadsTheBlocksAndReportsTheMarker) {
    const std::string plain = blocQuad();
    ASSERT_EQ(plain.size(), 160u);
    Mesh withoutMarker;
    Mesh withMarker;
    EXPECT_EQ(loadCapturingOutput(withoutMarker, TestFiles::write("plain.bloc", plain)),
              "pas d'anim\n");
    EXPECT_EQ(loadCapturingOutput(withMarker, TestFiles::write("marked.bloc", plain + "\x01\x02")),
              "des anims!\n");
    // One spare byte is not a marker.
    Mesh oneByte;
    EXPECT_EQ(loadCapturingOutput(oneByte, TestFiles::write("odd.bloc", plain + "x")), "pas d'anim\n");

    for (const Mesh* mesh : {&withoutMarker, &withMarker}) {
        EXPECT_EQ(mesh->positionCount(), 12u);
        EXPECT_EQ(mesh->colourCount(), 12u);
        EXPECT_EQ(mesh->uvCount(), 8u);
        EXPECT_EQ(mesh->indexCount(), 6u);
        EXPECT_EQ(mesh->positions(), (std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}));
        EXPECT_EQ(mesh->colours()[10], 0.5f);
        EXPECT_EQ(mesh->uvs(), (std::vector<float>{0, 0, 1, 0, 0, 1, 1, 1}));
        EXPECT_EQ(mesh->indices(), (std::vector<uint32_t>{0, 1, 2, 2, 1, 3}));
        EXPECT_EQ(mesh->animation(), nullptr);
    }
}

TEST(MeshBloc, RejectsMissingShortAndInconsistentFiles) {
    expectRejected(TestFiles::missing("gone.bloc"), "cannot open");
    expectRejected(TestFiles::write("tiny.bloc", std::string("\x04\x00\x00", 3)), "too short");
    expectRejected(TestFiles::write("cut.bloc", blocQuad().substr(0, 150)),
                   "need 160 bytes but the file has 150");
    // Counts far beyond the file must be refused before anything is allocated from them.
    std::string absurd;
    put32(absurd, 0xffffffffu);
    put32(absurd, 0xffffffffu);
    expectRejected(TestFiles::write("absurd.bloc", absurd), "the file has 8");
    std::string badIndex = blocQuad();
    badIndex[badIndex.size() - 4] = 4;
    expectRejected(TestFiles::write("badIndex.bloc", badIndex), "names vertex 4 of only 4");
}

TEST(MeshJson, RejectsFaultyFilesNamingTheFileAndTheFault) {
    struct Case {
        const char* name;
        std::string text;
        const char* fault;
    };
    auto replaced = [](std::string text, const std::string& from, const std::string& to) {
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const Case cases[] = {
        {"syntax.json", "{\"model\": {\n  \"vertices\": [,]}}", "line 2, column"},
        {"noModel.json", R"({"mesh": {}})", "no \"model\""},
        {"modelNotObject.json", R"({"model": [1]})", "\"model\" is not an object"},
        {"noUvs.json", replaced(kExampleMesh, R"("uvs")", R"("tex")"), "\"model\" has no \"uvs\""},
        {"noY.json", replaced(kExampleMesh, R"("y": 1)", R"("w": 1)"), "\"vertices\" element 1: missing \"y\""},
        {"text.json", replaced(kExampleMesh, R"("u": 1)", R"("u": "1")"), "\"u\" is not a number"},
        {"shortUvs.json", replaced(kExampleMesh, R"(, {"u": 1, "v": 0}])", "]"),
         "\"uvs\" has 2 entries but \"vertices\" has 3"},
        {"farIndex.json", replaced(kExampleMesh, R"("b": 2)", R"("b": 3)"),
         "\"indices\" element 0: \"b\" = 3 is not below the vertex count 3"},
        {"negativeIndex.json", replaced(kExampleMesh, R"("c": 1)", R"("c": -1)"), "\"c\" = -1"},
        {"hugeIndex.json", replaced(kExampleMesh, R"("a": 0)", R"("a": 4294967296)"), "\"a\" = 4294967296"},
        {"animationSize.json",
         replaced(kExampleMesh, "{\"model\"",
                  R"({"animations": [[[{"startTime": 0, "vertices": [{"x": 0, "y": 0, "z": 0}],)"
                  R"( "uvs": [{"u": 0, "v": 0}], "colors": [{"r": 0, "g": 0, "b": 0}]}]]], "model")"),
         "keyframes have 1 vertices but the model has 3"},
        {"animationTimes.json",
         replaced(kExampleMesh, "{\"model\"", R"({"animations": [[[{"startTime": 1}]]], "model")"),
         "\"animations\": animation 0, keyframe 0: the first keyframe starts at 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expectRejected(TestFiles::write(c.name, c.text), c.fault);
    }
    expectRejected(TestFiles::missing("gone.json"), "cannot open");
}

TEST(MeshJson, AFailedLoadLeavesTheMeshAsItWas) {
    Mesh mesh;
    mesh.load(TestFiles::write("good.json", kExampleMesh));
    EXPECT_THROW(mesh.load(TestFiles::write("bad.json", "{\"model\": 3")), std::runtime_error);
    EXPECT_EQ(mesh.positionCount(), 9u);
    EXPECT_EQ(mesh.indices(), (std::vector<uint32_t>{0, 2, 1}));
}

TEST(MeshEditing, ScalingTouchesPositionsOnlyAndCountsLimitToPrefixes) {
    Mesh mesh;
    mesh.load(TestFiles::write("scaled.json", kExampleMesh));
    mesh.scalePositions(0.5f, 0.5f, 0.5f);
    EXPECT_EQ(mesh.positions(), (std::vector<float>{0, 0, 0, 0, 0.5f, 0, 0.5f, 0, 0}));
    EXPECT_EQ(mesh.colours(), std::vector<float>(9, 1.0f));
    EXPECT_EQ(mesh.uvs(), (std::vector<float>{0, 0, 0, 1, 1, 0}));

    mesh.scalePositions(2.0f, 4.0f, 8.0f);
    EXPECT_EQ(mesh.positions(), (std::vector<float>{0, 0, 0, 0, 2, 0, 1, 0, 0}));

    // Counts never reach past the arrays, and setColour/setUv ignore vertices that do not exist.
    mesh.setCounts(100, 3, 100, 2);
    EXPECT_EQ(mesh.positionCount(), 9u);
    EXPECT_EQ(mesh.colourCount(), 3u);
    EXPECT_EQ(mesh.indexCount(), 3u);
    EXPECT_EQ(mesh.uvCount(), 2u);
    mesh.setColour(3, 0, 0, 0);
    mesh.setUv(3, 0, 0);
    EXPECT_EQ(mesh.colours().size(), 9u);
    mesh.setColour(2, 0.5f, 0.25f, 0);
    EXPECT_EQ(mesh.colours()[6], 0.5f);
    EXPECT_EQ(mesh.colours()[7], 0.25f);
}

TEST(MeshGl, UploadsWhatTheCountsSayAndReleasesOnlyWhatExists) {
    REQUIRE_GL();
    Mesh mesh;
    mesh.load(TestFiles::write("upload.json", kExampleMesh));
    mesh.upload();
    ASSERT_NE(mesh.positionBuffer(), 0u);
    EXPECT_EQ(bufferSize(GL_ARRAY_BUFFER, mesh.positionBuffer()), 36);
    EXPECT_EQ(bufferSize(GL_ARRAY_BUFFER, mesh.colourBuffer()), 36);
    EXPECT_EQ(bufferSize(GL_ELEMENT_ARRAY_BUFFER, mesh.indexBuffer()), 12);
    EXPECT_EQ(bufferSize(GL_ARRAY_BUFFER, mesh.uvBuffer()), 24);
    EXPECT_EQ(mesh.animatedPositionBuffer(), 0u);
    EXPECT_EQ(mesh.animatedColourBuffer(), 0u);
    EXPECT_EQ(mesh.animatedUvBuffer(), 0u);

    mesh.setCounts(6, 3, 0, 4);
    mesh.reupload();
    EXPECT_EQ(bufferSize(GL_ARRAY_BUFFER, mesh.positionBuffer()), 24);
    EXPECT_EQ(bufferSize(GL_ARRAY_BUFFER, mesh.colourBuffer()), 12);
    EXPECT_EQ(bufferSize(GL_ELEMENT_ARRAY_BUFFER, mesh.indexBuffer()), 0);
    EXPECT_EQ(bufferSize(GL_ARRAY_BUFFER, mesh.uvBuffer()), 16);

    const GLuint position = mesh.positionBuffer();
    mesh.releaseBuffers();
    EXPECT_FALSE(isBuffer(position));
    EXPECT_EQ(mesh.positionBuffer(), 0u);
    EXPECT_EQ(mesh.uvBuffer(), 0u);
    mesh.releaseBuffers();

    Mesh animated;
    animated.load(std::string(TAMQ_TEST_DATA_DIR) + "/render/slidingQuad.json");
    animated.upload();
    EXPECT_NE(animated.animatedPositionBuffer(), 0u);
    EXPECT_EQ(bufferSize(GL_ARRAY_BUFFER, animated.animatedColourBuffer()), 48);
    EXPECT_EQ(bufferSize(GL_ARRAY_BUFFER, animated.animatedUvBuffer()), 32);
    const GLuint animatedUv = animated.animatedUvBuffer();
    animated.releaseBuffers();
    EXPECT_FALSE(isBuffer(animatedUv));
    EXPECT_EQ(animated.animatedUvBuffer(), 0u);
}

TEST(MeshGl, DrawsOnlyTheCountedTrianglesWhereTheMatrixPutsThem) {
    REQUIRE_GL();
    flat::beginFrame();
    // Two separate unit squares, at x 0..1 and 2..3.
    Mesh mesh;
    for (float left : {0.0f, 2.0f}) {
        const uint32_t base = static_cast<uint32_t>(mesh.positions().size() / 3);
        mesh.appendPosition(left, 0, 0);
        mesh.appendPosition(left + 1, 0, 0);
        mesh.appendPosition(left, 1, 0);
        mesh.appendPosition(left + 1, 1, 0);
        mesh.appendTriangle(base, base + 1, base + 2);
        mesh.appendTriangle(base + 2, base + 1, base + 3);
        for (int i = 0; i < 4; ++i) {
            mesh.appendColour(0, 0, 1);
            mesh.appendUv(0, 0);
        }
    }
    mesh.updateCounts();
    mesh.upload();

    // Pixels 100 units wide, origin at (100, 100).
    Camera screen = flat::screenCamera();
    Matrix4 model;
    setIdentity(model);
    translate(model, 100, 100, -5);
    scale(model, 100, 100, 1);
    Matrix4 final;
    multiply(screen.projection(), model, final);

    mesh.draw(final);
    EXPECT_EQ(flat::pixel(150, 150), (std::array<uint8_t, 4>{0, 0, 255, 255}));
    EXPECT_TRUE(flat::drawn(350, 150));
    EXPECT_FALSE(flat::drawn(250, 150));

    flat::beginFrame();
    mesh.setCounts(12, 12, 6, 8);
    mesh.reupload();
    mesh.draw(final);
    EXPECT_TRUE(flat::drawn(150, 150));
    EXPECT_FALSE(flat::drawn(350, 150));

    // The draw leaves its buffers bound.
    GLint bound = 0;
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), mesh.indexBuffer());
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), mesh.uvBuffer());

    // A mesh that was never uploaded draws nothing rather than reading client memory.
    flat::beginFrame();
    Mesh notUploaded;
    notUploaded.load(std::string(TAMQ_TEST_DATA_DIR) + "/render/quad.json");
    notUploaded.draw(final);
    EXPECT_FALSE(flat::drawn(150, 150));
}

TEST(MeshFiles, TheGameMeshesLoadWithEveryTriangleOnItsVertices) {
    for (const char* name : {"data/quad.json", "data/quadBackground.json",
                             "data/meshes/display/carBlue.json", "data/meshes/display/carYellow.json",
                             "data/meshes/display/carRed.json", "data/meshes/display/carGreen.json"}) {
        SCOPED_TRACE(name);
        Mesh mesh;
        EXPECT_NO_THROW(mesh.load(std::string(TAMQ_SOURCE_DIR) + "/" + name));
        EXPECT_GT(mesh.indexCount(), 0u);
        EXPECT_EQ(mesh.positionCount() / 3, mesh.uvCount() / 2);
    }
}
