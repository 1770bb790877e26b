#include "render/Text.h"

#include "render/FlatColourDrawing.h"
#include "render/Texture.h"
#include "support/HeadlessGl.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// u0 and vTop of glyph k, read back from its upper-left vertex.
std::pair<float, float> glyphCell(const Text& text, uint32_t k) {
    return {text.mesh().uvs()[8 * k + 2], text.mesh().uvs()[8 * k + 3]};
}

std::vector<float> coloursOfGlyph(const Text& text, uint32_t k) {
    const auto& colours = text.mesh().colours();
    return std::vector<float>(colours.begin() + 12 * k, colours.begin() + 12 * k + 12);
}

std::vector<float> repeated(float r, float g, float b) {
    return {r, g, b, r, g, b, r, g, b, r, g, b};
}

}  // namespace

TEST(Text, LaysOutOneSquareQuadPerCharacterFromTheFontGrid) {
    REQUIRE_GL();
    Camera screen = flat::screenCamera();
    Text text;
    text.init("x3", {.x = 10, .y = 20, .z = -1, .size = 90, .camera = &screen});
    EXPECT_EQ(text.glyphCount(), 2u);
    EXPECT_EQ(text.mesh().positionCount(), 24u);
    EXPECT_EQ(text.mesh().positions(),
              (std::vector<float>{0, 0, 0, 0, 90, 0, 90, 0, 0, 90, 90, 0,
                                  90, 0, 0, 90, 90, 0, 180, 0, 0, 180, 90, 0}));
    EXPECT_EQ(text.mesh().indices(), (std::vector<uint32_t>{0, 2, 1, 1, 2, 3, 4, 6, 5, 5, 6, 7}));
    // 'x' (120): column 8, row 7 from the top.
    EXPECT_EQ(std::vector<float>(text.mesh().uvs().begin(), text.mesh().uvs().begin() + 8),
              (std::vector<float>{0.5f, 0.5f, 0.5f, 0.5625f, 0.5625f, 0.5f, 0.5625f, 0.5625f}));
    // '3' (51): column 3, row 3.
    EXPECT_EQ(glyphCell(text, 1), std::make_pair(0.1875f, 0.8125f));

    // A space is a glyph like any other, and codes past 127 count as negative.
    Text other;
    other.init(" \xc8", {.size = 8, .camera = &screen});
    EXPECT_EQ(glyphCell(other, 0), std::make_pair(0.0f, 0.875f));
    EXPECT_EQ(glyphCell(other, 1), std::make_pair(-0.5f, 1.1875f));
}

TEST(Text, ShorterStringsReuseTheQuadsAndLongerOnesAppend) {
    REQUIRE_GL();
    Camera screen = flat::screenCamera();
    Text text;
    text.init("0123456789", {.size = 16, .green = 0, .blue = 0, .camera = &screen});
    const float* positions = text.mesh().positions().data();
    const float* uvs = text.mesh().uvs().data();

    text.setString("x3");
    EXPECT_EQ(text.glyphCount(), 10u);
    EXPECT_EQ(text.mesh().indexCount(), 12u);
    EXPECT_EQ(text.mesh().positionCount(), 24u);
    EXPECT_EQ(text.mesh().uvCount(), 16u);
    EXPECT_EQ(text.mesh().positions().size(), 120u);
    EXPECT_EQ(glyphCell(text, 0), std::make_pair(0.5f, 0.5625f));

    text.setString("9876543210");
    EXPECT_EQ(text.mesh().indexCount(), 60u);
    EXPECT_EQ(text.mesh().positions().size(), 120u);
    EXPECT_EQ(text.mesh().positions().data(), positions);
    EXPECT_EQ(text.mesh().uvs().data(), uvs);
    EXPECT_EQ(glyphCell(text, 0), std::make_pair(0.5625f, 0.8125f));

    // Longer than ever: new quads, in the colour of the moment.
    text.setColour(0, 1, 0);
    text.setString("ABCDEFGHIJKL");
    EXPECT_EQ(text.glyphCount(), 12u);
    EXPECT_EQ(text.mesh().indexCount(), 72u);
    EXPECT_EQ(text.mesh().positions()[3 * 4 * 11 + 6], 192.0f);
    EXPECT_EQ(coloursOfGlyph(text, 11), repeated(0, 1, 0));
    EXPECT_EQ(glyphCell(text, 11), std::make_pair(0.75f, 0.75f));
}

TEST(Text, RecolouringReachesOnlyTheGlyphsShown) {
    REQUIRE_GL();
    Camera screen = flat::screenCamera();
    Text text;
    text.init("SCORE", {.size = 16, .camera = &screen});
    text.setString("OK");
    text.setColour(0, 0, 1);
    EXPECT_EQ(coloursOfGlyph(text, 1), repeated(0, 0, 1));
    EXPECT_EQ(coloursOfGlyph(text, 2), repeated(1, 1, 1));
    // The old colour shows again once a longer string reaches the hidden quads.
    text.setString("LIVES");
    EXPECT_EQ(coloursOfGlyph(text, 4), repeated(1, 1, 1));
    EXPECT_EQ(coloursOfGlyph(text, 0), repeated(0, 0, 1));
}

TEST(Text, AnEmptyTextDrawsNothing) {
    REQUIRE_GL();
    flat::beginFrame();
    Camera screen = flat::screenCamera();
    Text text;
    text.init("", {.x = 100, .y = 100, .z = -5, .size = 40, .red = 0, .green = 0, .blue = 0,
                   .camera = &screen});
    EXPECT_EQ(text.glyphCount(), 0u);
    EXPECT_EQ(text.mesh().indexCount(), 0u);
    text.draw();
    EXPECT_FALSE(flat::drawn(110, 110));
}

TEST(TextGl, GlyphsLandWhereTheLayoutSays) {
    REQUIRE_GL();
    Texture font;
    Camera screen = flat::screenCamera();
    Text text;
    text.init("AB", {.x = 100, .y = 200, .z = -5, .size = 40, .red = 0, .green = 0, .blue = 0,
                     .font = &font, .camera = &screen});

    flat::beginFrame();
    text.draw();
    EXPECT_EQ(flat::pixel(101, 201), (std::array<uint8_t, 4>{0, 0, 0, 255}));
    EXPECT_TRUE(flat::drawn(178, 238));
    EXPECT_FALSE(flat::drawn(98, 220));
    EXPECT_FALSE(flat::drawn(182, 220));
    EXPECT_FALSE(flat::drawn(150, 242));
    EXPECT_FALSE(flat::drawn(150, 198));

    // Turned a quarter turn, the line runs upward from its corner.
    flat::beginFrame();
    text.setRotation(90);
    text.draw();
    EXPECT_TRUE(flat::drawn(62, 278));
    EXPECT_TRUE(flat::drawn(98, 202));
    EXPECT_FALSE(flat::drawn(120, 220));
    EXPECT_FALSE(flat::drawn(80, 282));

    // Unlike a sprite, a text follows the camera's model-view.
    flat::beginFrame();
    text.setRotation(0);
    translate(screen.modelView(), 500, 0, 0);
    text.draw();
    EXPECT_FALSE(flat::drawn(120, 220));
    EXPECT_TRUE(flat::drawn(620, 220));
    EXPECT_TRUE(flat::drawn(678, 238));
    EXPECT_FALSE(flat::drawn(682, 220));
}
