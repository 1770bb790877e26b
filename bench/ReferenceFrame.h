#pragma once

#include "math/Matrix4.h"
#include "render/ShaderProgram.h"
#include "render/Texture.h"

#include <GL/gl.h>

// The floor a frame of the game is measured against: the same screen layers filled by
// the least work that can draw them, with no game logic. A clear, the grass over the whole
// screen, the road's strip and 45 small quads the size of a car, through the game's own
// basic shader and textures, from one static set of buffers. With the game's car meshes
// in place of 30 of the quads it fills exactly what a busy frame of the game fills, which
// separates the cost of the content from the cost of the game's code.
class ReferenceFrame {
public:
    ReferenceFrame() = default;
    ~ReferenceFrame();
    ReferenceFrame(const ReferenceFrame&) = delete;
    ReferenceFrame& operator=(const ReferenceFrame&) = delete;

    // Needs the context; loads the shader and textures and builds the buffers.
    void init();
    enum class Content { Quads, CarMeshes };
    // Issues the frame's draws and leaves its program current; presenting is the caller's.
    void draw(Content content);

    static constexpr int kSmallQuads = 45;
    static constexpr int kCars = 30;

private:
    ShaderProgram shader_;
    Texture grass_;
    Texture road_;
    Texture white_;
    GLuint buffers_[4] = {0, 0, 0, 0};
    GLint finalMatrix_ = -1;
    GLint texture0_ = -1;
    GLuint inVertex_ = 0;
    GLuint inNormal_ = 0;
    GLuint inTexCoord_ = 0;
    Matrix4 projection_;
    Matrix4 smallQuadMatrices_[kSmallQuads];
    GLsizei carIndexCount_ = 0;
    GLuint carFirstIndex_ = 0;
};
