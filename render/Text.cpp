#include "Text.h"

#include "Texture.h"

namespace {

constexpr float kCell = 0.0625f;

// The font cell of a character: column c mod 16, row c div 16 counted from the top of the
// image. Codes above 127 are negative as signed chars and so land outside 0..1, where the
// texture's mirrored wrap folds them back.
struct GlyphCell {
    float u0;
    float vTop;
};

GlyphCell cellOf(char character) {
    const int c = static_cast<signed char>(character);
    return {static_cast<float>(c % 16) * kCell, 1.0f - static_cast<float>(c / 16) * kCell};
}

}  // namespace

void Text::appendGlyph(uint32_t k, char c) {
    const float left = static_cast<float>(size_ * k);
    const float right = static_cast<float>(size_ * k + size_);
    const float top = static_cast<float>(size_);
    mesh_.appendPosition(left, 0.0f, 0.0f);
    mesh_.appendPosition(left, top, 0.0f);
    mesh_.appendPosition(right, 0.0f, 0.0f);
    mesh_.appendPosition(right, top, 0.0f);
    mesh_.appendTriangle(4 * k, 4 * k + 2, 4 * k + 1);
    mesh_.appendTriangle(4 * k + 1, 4 * k + 2, 4 * k + 3);
    const GlyphCell cell = cellOf(c);
    mesh_.appendUv(cell.u0, cell.vTop - kCell);
    mesh_.appendUv(cell.u0, cell.vTop);
    mesh_.appendUv(cell.u0 + kCell, cell.vTop - kCell);
    mesh_.appendUv(cell.u0 + kCell, cell.vTop);
    for (int i = 0; i < 4; ++i) {
        mesh_.appendColour(r_, g_, b_);
    }
}

void Text::setGlyph(uint32_t k, char c) {
    const GlyphCell cell = cellOf(c);
    mesh_.setUv(4 * k, cell.u0, cell.vTop - kCell);
    mesh_.setUv(4 * k + 1, cell.u0, cell.vTop);
    mesh_.setUv(4 * k + 2, cell.u0 + kCell, cell.vTop - kCell);
    mesh_.setUv(4 * k + 3, cell.u0 + kCell, cell.vTop);
}

void Text::init(const char* string, const Options& options) {
    rotation_ = options.rotation;
    x_ = options.x;
    y_ = options.y;
    z_ = options.z;
    font_ = options.font;
    camera_ = options.camera;
    size_ = options.size;
    r_ = options.red;
    g_ = options.green;
    b_ = options.blue;
    uint32_t k = 0;
    for (; string[k] != '\0'; ++k) {
        appendGlyph(k, string[k]);
    }
    glyphCount_ = k;
    mesh_.updateCounts();
    mesh_.upload();
}

void Text::setString(const char* string) {
    uint32_t k = 0;
    for (; string[k] != '\0' && k < glyphCount_; ++k) {
        setGlyph(k, string[k]);
    }
    for (; string[k] != '\0'; ++k) {
        appendGlyph(k, string[k]);
    }
    const uint32_t n = k;
    if (n > glyphCount_) {
        glyphCount_ = n;
        mesh_.updateCounts();
    } else {
        mesh_.setCounts(12 * n, 12 * n, 6 * n, 8 * n);
    }
    mesh_.reupload();
}

void Text::setColour(float r, float g, float b) {
    r_ = r;
    g_ = g;
    b_ = b;
    const uint32_t shown = mesh_.colourCount() / 3;
    for (uint32_t v = 0; v < shown; ++v) {
        mesh_.setColour(v, r, g, b);
    }
    mesh_.reupload();
}

void Text::draw() {
    if (camera_ == nullptr) {
        return;
    }
    matrix_ = camera_->modelView();
    translate(matrix_, x_, y_, z_);
    rotateZ(matrix_, static_cast<float>(rotation_ * kDegreesToRadians));
    Matrix4 final;
    multiply(camera_->projection(), matrix_, final);
    matrix_ = final;
    if (font_ != nullptr) {
        glBindTexture(GL_TEXTURE_2D, font_->id());
    }
    mesh_.draw(matrix_);
}
