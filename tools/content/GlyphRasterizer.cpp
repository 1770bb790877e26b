#include "GlyphRasterizer.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <stdexcept>

namespace {

FT_Library asLibrary(void* p) { return static_cast<FT_Library>(p); }
FT_Face asFace(void* p) { return static_cast<FT_Face>(p); }

FT_Fixed toFixed(float value) { return static_cast<FT_Fixed>(std::lround(value * 65536.0f)); }

}  // namespace

GlyphRasterizer::~GlyphRasterizer() {
    if (face_ != nullptr) {
        FT_Done_Face(asFace(face_));
    }
    if (library_ != nullptr) {
        FT_Done_FreeType(asLibrary(library_));
    }
}

std::string GlyphRasterizer::dejaVuSansBold() {
    return std::string(TAMQ_CONTENT_FONT_DIR) + "/DejaVuSans-Bold.ttf";
}

void GlyphRasterizer::load(const std::string& fontPath) {
    path_ = fontPath;
    if (library_ == nullptr) {
        FT_Library library = nullptr;
        if (FT_Init_FreeType(&library) != 0) {
            throw std::runtime_error("FreeType could not start");
        }
        library_ = library;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(asLibrary(library_), fontPath.c_str(), 0, &face) != 0) {
        throw std::runtime_error(fontPath +
                                 ": cannot open the font (is fonts-dejavu-core installed?)");
    }
    if (face_ != nullptr) {
        FT_Done_Face(asFace(face_));
    }
    face_ = face;
}

void GlyphRasterizer::setPixelSize(int pixels) {
    if (FT_Set_Pixel_Sizes(asFace(face_), 0, static_cast<FT_UInt>(pixels)) != 0) {
        throw std::runtime_error(path_ + ": cannot use a size of " + std::to_string(pixels) +
                                 " pixels");
    }
}

Glyph GlyphRasterizer::render(char32_t character, float xScale, float shear) {
    FT_Face face = asFace(face_);
    FT_Matrix matrix;
    matrix.xx = toFixed(xScale);
    matrix.xy = toFixed(shear);
    matrix.yx = 0;
    matrix.yy = toFixed(1.0f);
    FT_Set_Transform(face, &matrix, nullptr);
    FT_Error error = FT_Load_Char(face, character, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL);
    FT_Set_Transform(face, nullptr, nullptr);
    if (error != 0) {
        throw std::runtime_error(path_ + ": cannot render character " +
                                 std::to_string(static_cast<unsigned>(character)));
    }
    const FT_GlyphSlot slot = face->glyph;
    Glyph glyph;
    glyph.width = static_cast<int>(slot->bitmap.width);
    glyph.height = static_cast<int>(slot->bitmap.rows);
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.advance = static_cast<float>(slot->advance.x) / 64.0f;
    glyph.coverage.resize(static_cast<std::size_t>(glyph.width) *
                          static_cast<std::size_t>(glyph.height));
    for (int y = 0; y < glyph.height; ++y) {
        const unsigned char* row = slot->bitmap.buffer + static_cast<std::ptrdiff_t>(y) *
                                                             slot->bitmap.pitch;
        for (int x = 0; x < glyph.width; ++x) {
            glyph.coverage[static_cast<std::size_t>(y) * static_cast<std::size_t>(glyph.width) +
                           static_cast<std::size_t>(x)] = row[x];
        }
    }
    return glyph;
}

float GlyphRasterizer::kerning(char32_t left, char32_t right) const {
    FT_Face face = asFace(face_);
    if (!FT_HAS_KERNING(face)) {
        return 0.0f;
    }
    FT_Vector delta{};
    FT_Get_Kerning(face, FT_Get_Char_Index(face, left), FT_Get_Char_Index(face, right),
                   FT_KERNING_DEFAULT, &delta);
    return static_cast<float>(delta.x) / 64.0f;
}
