#include "render/GlEntryPoints.h"
#include "render/ShaderLocations.h"
#include "render/ShaderProgram.h"
#include "render/Texture.h"

#include "support/HeadlessGl.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string kShaders = std::string(TAMQ_SOURCE_DIR) + "/data/shaders/";

const char* kVertexSource = R"(#version 120
uniform mat4 finalMatrix;
attribute vec3 inVertex;
attribute vec3 inNormal;
attribute vec2 inTexCoord;
varying vec3 colour;
varying vec2 texCoord;
void main() {
    colour = inNormal;
    texCoord = inTexCoord;
    gl_Position = finalMatrix * vec4(inVertex, 1.0);
}
)";

// Same varyings as above, but ignores the texture altogether, so it has no "texture0".
const char* kUntexturedFragmentSource = R"(#version 120
varying vec3 colour;
varying vec2 texCoord;
void main() {
    gl_FragColor = vec4(colour + vec3(texCoord, 0.0) * 0.0, 1.0);
}
)";

struct Output {
    std::string out;
    std::string err;
};

Output build(ShaderProgram& program, const std::string& vertexPath, const std::string& fragmentPath) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    program.load(vertexPath.c_str(), fragmentPath.c_str());
    program.compileAndLink();
    Output output;
    output.err = testing::internal::GetCapturedStderr();
    output.out = testing::internal::GetCapturedStdout();
    return output;
}

GLint linkStatus(const ShaderProgram& program) {
    GLint status = 0;
    gl.glGetProgramiv(program.program(), GL_LINK_STATUS, &status);
    return status;
}

// A full-viewport quad in clip space with one vertex colour, drawn through whatever the
// shared locations say, the way the meshes draw.
std::array<uint8_t, 4> drawQuad(float red, float green, float blue) {
    const float vertices[] = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
    const float colours[] = {red, green, blue, red, green, blue, red, green, blue, red, green, blue};
    const float texCoords[] = {0, 0, 1, 0, 1, 1, 0, 1};
    const GLushort indices[] = {0, 1, 2, 0, 2, 3};
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    GLuint buffers[2] = {};
    gl.glGenBuffers(2, buffers);
    gl.glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    gl.glBufferData(GL_ARRAY_BUFFER, sizeof vertices + sizeof colours + sizeof texCoords, nullptr, GL_STATIC_DRAW);
    gl.glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof vertices, vertices);
    gl.glBufferSubData(GL_ARRAY_BUFFER, sizeof vertices, sizeof colours, colours);
    gl.glBufferSubData(GL_ARRAY_BUFFER, sizeof vertices + sizeof colours, sizeof texCoords, texCoords);
    gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    gl.glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof indices, indices, GL_STATIC_DRAW);

    gl.glUniformMatrix4fv(shaderLocations.finalMatrix, 1, GL_FALSE, identity);
    gl.glUniform1i(shaderLocations.texture0, 0);
    const GLint attributes[3] = {shaderLocations.inVertex, shaderLocations.inNormal, shaderLocations.inTexCoord};
    const GLint sizes[3] = {3, 3, 2};
    const size_t offsets[3] = {0, sizeof vertices, sizeof vertices + sizeof colours};
    for (int i = 0; i < 3; ++i) {
        if (attributes[i] >= 0) {
            gl.glEnableVertexAttribArray(static_cast<GLuint>(attributes[i]));
            gl.glVertexAttribPointer(static_cast<GLuint>(attributes[i]), sizes[i], GL_FLOAT, GL_FALSE, 0,
                                     reinterpret_cast<const void*>(offsets[i]));
        }
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, nullptr);
    for (GLint attribute : attributes) {
        if (attribute >= 0) {
            gl.glDisableVertexAttribArray(static_cast<GLuint>(attribute));
        }
    }
    gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
    gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    gl.glDeleteBuffers(2, buffers);
    return HeadlessGl::instance().pixel(640, 360);
}

// A 4 x 1 white texture, as "data/whitepixel.bmp" is used: the vertex colour shows unchanged.
std::string whiteBmp() {
    std::string bytes(54, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    bytes[10] = 54;
    bytes[14] = 40;
    bytes[18] = 4;
    bytes[22] = 1;
    bytes[26] = 1;
    bytes[28] = 24;
    bytes += std::string(12, '\xff');
    return TestFiles::write("white.bmp", bytes);
}

}  // namespace

TEST(ShaderLocationsDeathTest, AllZeroBeforeAnyUse) {
    // A fresh process, since other tests in this program may already have used a program.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const ShaderLocations& l = shaderLocations;
            const bool zero = l.finalMatrix == 0 && l.texture0 == 0 && l.inVertex == 0 && l.inNormal == 0 &&
                              l.inTexCoord == 0;
            std::exit(zero ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(ShaderProgram, MissingVertexFileIsReportedThenFailsToCompileAndLink) {
    REQUIRE_GL();
    ShaderProgram program;
    const std::string missing = TestFiles::missing("absent.vert");
    Output output = build(program, missing, kShaders + "basic-fixed.frag");
    EXPECT_EQ(output.err, "Could not load shader: " + missing + "\n");
    // The compile report appears only when the driver logs something for the empty source.
    if (program.vertexShader() == 0) {
        EXPECT_EQ(output.out.rfind("Could not compile vertexShader 35633:\n", 0), 0u) << output.out;
    }
    EXPECT_NE(output.out.find("programme non linke\n"), std::string::npos) << output.out;
    EXPECT_EQ(linkStatus(program), 0);

    // A folder where the file should be is reported the same way.
    ShaderProgram folder;
    output = build(folder, kShaders + "basic-fixed.vert", TestFiles::folder());
    EXPECT_EQ(output.err, "Could not load shader: " + TestFiles::folder() + "\n");

    // The unlinked program can still be used; OpenGL refuses it and every lookup gives -1.
    program.use();
    EXPECT_EQ(shaderLocations.finalMatrix, -1);
    EXPECT_EQ(shaderLocations.texture0, -1);
    EXPECT_EQ(shaderLocations.inVertex, -1);
    EXPECT_EQ(shaderLocations.inNormal, -1);
    EXPECT_EQ(shaderLocations.inTexCoord, -1);
    while (glGetError() != GL_NO_ERROR) {
    }
}

TEST(ShaderProgram, BrokenFragmentSourcePrintsTheDriverLogAndDropsTheShader) {
    REQUIRE_GL();
    ShaderProgram program;
    const std::string broken = TestFiles::write("broken.frag", "#version 120\nvoid main() { gl_FragColor = oops; }\n");
    Output output = build(program, kShaders + "basic-fixed.vert", broken);
    EXPECT_EQ(output.err, "");
    const std::string heading = "Could not compile fragmentShader 35632:\n";
    ASSERT_EQ(output.out.rfind(heading, 0), 0u) << output.out;
    EXPECT_NE(output.out.find("oops"), std::string::npos) << "the log names the fault: " << output.out;
    EXPECT_NE(output.out.find("programme non linke\n"), std::string::npos);
    EXPECT_EQ(program.fragmentShader(), 0u);
    EXPECT_NE(program.vertexShader(), 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(ShaderProgram, UseRefreshesTheSharedLocationsForTheProgramInUse) {
    REQUIRE_GL();
    ShaderProgram textured;
    Output output = build(textured, kShaders + "basic-fixed.vert", kShaders + "basic-fixed.frag");
    ASSERT_EQ(output.out + output.err, "");
    ShaderProgram untextured;
    output = build(untextured, TestFiles::write("plain.vert", kVertexSource),
                   TestFiles::write("plain.frag", kUntexturedFragmentSource));
    ASSERT_EQ(output.out + output.err, "");

    textured.use();
    const ShaderLocations first = shaderLocations;
    EXPECT_GE(first.finalMatrix, 0);
    EXPECT_GE(first.texture0, 0);
    EXPECT_GE(first.inVertex, 0);
    EXPECT_GE(first.inNormal, 0);
    EXPECT_GE(first.inTexCoord, 0);

    untextured.use();
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(static_cast<GLuint>(current), untextured.program());
    EXPECT_EQ(shaderLocations.texture0, -1);
    EXPECT_GE(shaderLocations.inVertex, 0);
    // A sampler write to -1 is ignored, not an error, so every draw may set it.
    gl.glUniform1i(shaderLocations.texture0, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    textured.use();
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(static_cast<GLuint>(current), textured.program());
    EXPECT_EQ(shaderLocations.texture0, first.texture0);
    EXPECT_EQ(shaderLocations.finalMatrix, first.finalMatrix);
    EXPECT_EQ(shaderLocations.inTexCoord, first.inTexCoord);
}

TEST(ShaderProgram, ShippedShadersTintTheTextureAndGameOverLooksDifferent) {
    REQUIRE_GL();
    ShaderProgram basic;
    ShaderProgram gameOver;
    Output output = build(basic, kShaders + "basic-fixed.vert", kShaders + "basic-fixed.frag");
    EXPECT_EQ(output.out + output.err, "");
    output = build(gameOver, kShaders + "gameover-fixed.vert", kShaders + "gameover-fixed.frag");
    EXPECT_EQ(output.out + output.err, "");
    ASSERT_EQ(linkStatus(basic), 1);
    ASSERT_EQ(linkStatus(gameOver), 1);

    Texture white;
    white.load(whiteBmp().c_str());
    white.upload();
    white.bind();

    basic.use();
    std::array<uint8_t, 4> plain = drawQuad(1.0f, 0.0f, 0.0f);
    EXPECT_EQ(plain[0], 255);
    EXPECT_EQ(plain[1], 0);
    EXPECT_EQ(plain[2], 0);

    // Game over: a warm, darker grey. Red turns into a dim brown, still far from the white clear colour.
    gameOver.use();
    std::array<uint8_t, 4> sepia = drawQuad(1.0f, 0.0f, 0.0f);
    EXPECT_LT(sepia[0], 160);
    EXPECT_GT(sepia[0], sepia[1]);
    EXPECT_GT(sepia[1], sepia[2]);
    EXPECT_GT(sepia[1], 0);
    // White stays light, so text on it keeps its contrast.
    std::array<uint8_t, 4> light = drawQuad(1.0f, 1.0f, 1.0f);
    EXPECT_GT(light[0], 200);
    EXPECT_GT(light[0], light[2]);

    basic.use();
    white.deleteTexture();
}

// The browser build draws with the GLSL ES 3.00 pair of each program: same interface, same
// pixels. Checked here where a context that compiles ES 3.00 is at hand (Mesa offers it).
TEST(ShaderProgram, EsShadersDrawWhatTheDesktopShadersDraw) {
    REQUIRE_GL();
    Texture white;
    white.load(whiteBmp().c_str());
    white.upload();
    white.bind();
    const float colours[][3] = {{1.0f, 0.0f, 0.0f}, {0.2f, 0.6f, 0.9f}, {1.0f, 1.0f, 1.0f}};
    for (const char* name : {"basic", "gameover"}) {
        SCOPED_TRACE(name);
        ShaderProgram desktop;
        ShaderProgram es;
        ASSERT_EQ(build(desktop, kShaders + name + "-fixed.vert", kShaders + name + "-fixed.frag").out, "");
        const Output output = build(es, kShaders + name + "-es.vert", kShaders + name + "-es.frag");
        if (output.out.find("version") != std::string::npos && output.out.find("not supported") != std::string::npos) {
            GTEST_SKIP() << "this context compiles no GLSL ES 3.00";
        }
        ASSERT_EQ(output.out + output.err, "");
        ASSERT_EQ(linkStatus(es), 1);
        for (const auto& colour : colours) {
            desktop.use();
            const std::array<uint8_t, 4> expected = drawQuad(colour[0], colour[1], colour[2]);
            es.use();
            const std::array<uint8_t, 4> drawn = drawQuad(colour[0], colour[1], colour[2]);
            for (int channel = 0; channel < 4; ++channel) {
                EXPECT_NEAR(drawn[channel], expected[channel], 1) << "channel " << channel;
            }
        }
    }
    ShaderProgram basic;
    build(basic, kShaders + "basic-fixed.vert", kShaders + "basic-fixed.frag");
    basic.use();
    white.deleteTexture();
}
