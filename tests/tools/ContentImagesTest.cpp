// The generated images as their loaders and the player see them: the BMP and PNG layouts,
// the road's markings and the font atlas's glyphs.

#include "GeneratedContent.h"

#include "render/ImageDecoders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

uint32_t littleEndian(const std::vector<uint8_t>& bytes, std::size_t offset, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = value << 8 | bytes[offset + static_cast<std::size_t>(i)];
    }
    return value;
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

TEST(ContentImages, BmpFilesHave24BitRowsThatNeedNoPaddingAndDecode) {
    int checked = 0;
    for (const ContentFile& file : GeneratedContent::files()) {
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

        std::string path = GeneratedContent::inData(file.path);
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
        const std::vector<uint8_t>& b = GeneratedContent::file(name).bytes;
        ASSERT_GE(b.size(), 33u);
        ASSERT_EQ(std::string(b.begin() + 12, b.begin() + 16), "IHDR");
        EXPECT_EQ(b[24], 8) << "bit depth";
        EXPECT_EQ(b[25], 6) << "colour type RGBA";
        EXPECT_EQ(b[28], 0) << "not interlaced";
    }

    auto decoded = [](const char* name, uint16_t& w, uint16_t& h) {
        std::string path = GeneratedContent::inData(name);
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
    std::string path = GeneratedContent::inData("road6.png");
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
        std::string path = GeneratedContent::inData("font.bmp.fnt");
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
