#pragma once

// Helpers for the drawing tests: a program that paints the vertex colour alone, so what
// lands on screen does not depend on any texture, and the game's two cameras.

#include "support/HeadlessGl.h"
#include "support/TestFiles.h"

#include "math/Camera.h"
#include "render/ShaderProgram.h"

#include <array>
#include <cstdint>

namespace flat {

// Makes the flat-colour program current (building it on first use) and clears to white.
inline void beginFrame() {
    static ShaderProgram program;
    static bool built = false;
    if (!built) {
        const std::string vertex = TestFiles::write("flat.vert",
            "#version 120\n"
            "uniform mat4 finalMatrix;\n"
            "attribute vec3 inVertex;\nattribute vec3 inNormal;\nattribute vec2 inTexCoord;\n"
            "varying vec3 colour;\nvarying vec2 texCoord;\n"
            "void main() { colour = inNormal; texCoord = inTexCoord;\n"
            "  gl_Position = finalMatrix * vec4(inVertex, 1.0); }\n");
        // The texture coordinate is read so that its attribute stays active.
        const std::string fragment = TestFiles::write("flat.frag",
            "#version 120\n"
            "varying vec3 colour;\nvarying vec2 texCoord;\n"
            "void main() { if (texCoord.x < -1000.0) discard;\n"
            "  gl_FragColor = vec4(colour, 1.0); }\n");
        program.load(vertex.c_str(), fragment.c_str());
        program.compileAndLink();
        built = true;
    }
    program.use();
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

inline std::array<uint8_t, 4> pixel(int x, int y) { return HeadlessGl::instance().pixel(x, y); }

// Anything but the white background.
inline bool drawn(int x, int y) {
    auto p = pixel(x, y);
    return !(p[0] == 255 && p[1] == 255 && p[2] == 255);
}

// One unit per pixel, origin bottom left, model-view identity.
inline Camera screenCamera() {
    Camera camera;
    camera.resetProjection();
    camera.setOrthographic(0, 1280, 0, 720, 1, 1000);
    setIdentity(camera.modelView());
    return camera;
}

// 48 × 27 world units centred on the origin, scrolled as the game does every frame.
inline Camera worldCamera(float scroll) {
    Camera camera;
    camera.resetProjection();
    camera.setOrthographic(-24, 24, -13.5f, 13.5f, 1, 1000);
    setIdentity(camera.modelView());
    translate(camera.modelView(), 0, -scroll, -10);
    return camera;
}

}  // namespace flat
