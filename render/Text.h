#pragma once

#include "Mesh.h"

#include "math/Camera.h"
#include "math/Matrix4.h"

#include <cstdint>

class Texture;

// One line of 8-bit characters in the 16 × 16 bitmap font: a square textured quad per
// character in a mesh the text owns, all in one colour, placed and turned about the lower
// left corner of the first glyph. HUD strings change every frame, so the quads are reused.
class Text {
public:
    Text() = default;
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;

    // Where and how a text is laid out, given by name: text.init("x3", {.x = 230, .size = 90}).
    struct Options {
        // The lower-left corner of the first glyph, in the camera's units.
        float x = 0.0f, y = 0.0f, z = 0.0f;
        // The side of a glyph's square cell.
        uint32_t size = 16;
        float red = 1.0f, green = 1.0f, blue = 1.0f;
        // Degrees, counter-clockwise about the corner.
        float rotation = 0.0f;
        const Texture* font = nullptr;
        Camera* camera = nullptr;
    };

    // Lays out the string (not kept) and uploads the mesh.
    void init(const char* string, const Options& options);
    // Shows another string. Quads already laid out are reused and only new ones appended,
    // so a string no longer than any before allocates nothing.
    void setString(const char* string);
    // Recolours the glyphs shown now; new glyphs also get this colour.
    void setColour(float r, float g, float b);
    void setRotation(float degrees) { rotation_ = degrees; }
    // Moves the lower-left corner of the first glyph; the glyphs stay as laid out.
    void moveTo(float x, float y) {
        x_ = x;
        y_ = y;
    }
    void draw();

    const Mesh& mesh() const { return mesh_; }
    uint32_t glyphCount() const { return glyphCount_; }
    const Matrix4& matrix() const { return matrix_; }
    float rotation() const { return rotation_; }
    float x() const { return x_; }
    float y() const { return y_; }
    uint32_t size() const { return size_; }

private:
    void appendGlyph(uint32_t k, char c);
    void setGlyph(uint32_t k, char c);

    float x_ = 0.0f;
    float y_ = 0.0f;
    float z_ = 0.0f;
    Matrix4 matrix_;
    Mesh mesh_;
    const Texture* font_ = nullptr;
    float r_ = 1.0f;
    float g_ = 1.0f;
    float b_ = 1.0f;
    Camera* camera_ = nullptr;
    float rotation_ = 0.0f;
    uint32_t glyphCount_ = 0;
    uint32_t size_ = 0;
};
