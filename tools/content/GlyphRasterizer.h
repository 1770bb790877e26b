#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One rendered glyph: 8-bit coverage, placed relative to the pen on the baseline
// (left = pixels from the pen to the bitmap, top = pixels from the baseline up to its top row).
struct Glyph {
    int width = 0;
    int height = 0;
    int left = 0;
    int top = 0;
    float advance = 0.0f;
    std::vector<uint8_t> coverage;
};

// Renders anti-aliased glyphs of one TrueType face through FreeType.
class GlyphRasterizer {
public:
    GlyphRasterizer() = default;
    GlyphRasterizer(const GlyphRasterizer&) = delete;
    GlyphRasterizer& operator=(const GlyphRasterizer&) = delete;
    ~GlyphRasterizer();

    // Opens the face. Throws std::runtime_error naming the file when it cannot.
    void load(const std::string& fontPath);
    void setPixelSize(int pixels);
    // Renders one character, squeezed horizontally by xScale and slanted by shear
    // (x moves by shear times the height above the baseline).
    Glyph render(char32_t character, float xScale = 1.0f, float shear = 0.0f);
    // Horizontal kerning in pixels between two characters at the current size.
    float kerning(char32_t left, char32_t right) const;

    // The fonts the generators use, from Debian's fonts-dejavu-core.
    static std::string dejaVuSansBold();

private:
    void* library_ = nullptr;
    void* face_ = nullptr;
    std::string path_;
};
