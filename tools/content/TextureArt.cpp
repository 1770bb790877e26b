#include "TextureArt.h"

#include "GlyphRasterizer.h"
#include "Random.h"
#include "Shape.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

Canvas TextureArt::font() {
    constexpr int kCells = 16;
    constexpr int kFirst = 33;
    constexpr int kLast = 126;
    const float maxInkWidth = 0.80f * kFontCell;
    const float maxInkHeight = 0.90f * kFontCell;
    constexpr float kWiden = 1.3f;

    GlyphRasterizer rasterizer;
    rasterizer.load(GlyphRasterizer::dejaVuSansBold());

    // The largest size at which every printable character fits the cell's height;
    // one size and one baseline for all, so text lines up.
    int pixelSize = 60;
    int highest = 0;
    int lowest = 0;
    for (;; --pixelSize) {
        rasterizer.setPixelSize(pixelSize);
        highest = 0;
        lowest = 0;
        for (int c = kFirst; c <= kLast; ++c) {
            Glyph glyph = rasterizer.render(static_cast<char32_t>(c));
            highest = std::max(highest, glyph.top);
            lowest = std::min(lowest, glyph.top - glyph.height);
        }
        if (static_cast<float>(highest - lowest) <= maxInkHeight) {
            break;
        }
    }
    const int baseline = (kFontCell - (highest - lowest)) / 2 + highest;

    Canvas canvas;
    canvas.init(kCells * kFontCell, kCells * kFontCell, Colour{0.0f, 0.0f, 0.0f});
    for (int c = kFirst; c <= kLast; ++c) {
        // Cells are square and sit edge to edge, so letters are widened to fill them like
        // an arcade font instead of floating apart; the widest are held to the cell margins.
        Glyph glyph = rasterizer.render(static_cast<char32_t>(c), kWiden);
        if (static_cast<float>(glyph.width) > maxInkWidth) {
            glyph = rasterizer.render(static_cast<char32_t>(c),
                                      kWiden * maxInkWidth / static_cast<float>(glyph.width));
        }
        const int cellX = (c % kCells) * kFontCell;
        const int cellY = (c / kCells) * kFontCell;
        const int left = cellX + (kFontCell - glyph.width) / 2;
        const int top = cellY + baseline - glyph.top;
        for (int y = 0; y < glyph.height; ++y) {
            for (int x = 0; x < glyph.width; ++x) {
                float ink = static_cast<float>(
                                glyph.coverage[static_cast<std::size_t>(y * glyph.width + x)]) /
                            255.0f;
                canvas.setPixel(left + x, top + y, Colour{ink, ink, ink});
            }
        }
    }
    return canvas;
}

Canvas TextureArt::road() {
    constexpr int kWidth = 512;
    constexpr int kHeight = 256;
    const float unitsPerPixel = 26.0f / kWidth;
    const float pixelsPerUnit = 1.0f / unitsPerPixel;

    Random random(0x70AD6u);
    random.initNoise(16, 8);
    Random fine(0x70AD7u);
    fine.initNoise(64, 32);

    Canvas canvas;
    canvas.init(kWidth, kHeight, asphalt());
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            float u = (static_cast<float>(x) + 0.5f) / kWidth;
            float v = (static_cast<float>(y) + 0.5f) / kHeight;
            float patches = random.noise(u * 16.0f, v * 8.0f) - 0.5f;
            float grain = fine.noise(u * 64.0f, v * 32.0f) - 0.5f;
            float speckle = random.unit() - 0.5f;
            // Tyres polish two darker tracks in each of the three lanes.
            float laneU = std::fmod(u * 3.0f, 1.0f);
            float track = std::exp(-std::pow((laneU - 0.28f) / 0.07f, 2.0f)) +
                          std::exp(-std::pow((laneU - 0.72f) / 0.07f, 2.0f));
            // The shoulders darken where dirt gathers.
            float edge = std::min(u, 1.0f - u);
            float shoulder = std::clamp(1.0f - (edge - 0.02f) / 0.04f, 0.0f, 1.0f);
            float light = 1.0f + 0.10f * patches + 0.10f * grain + 0.09f * speckle -
                          0.05f * track - 0.12f * shoulder;
            canvas.setPixel(x, y, Canvas::shade(asphalt(), light));
        }
    }

    auto paintBar = [&](float centreU, float halfWidthUnits, float v0, float v1, Colour colour) {
        float cx = centreU * kWidth;
        float hw = halfWidthUnits * pixelsPerUnit;
        float cy = (v0 + v1) * 0.5f * kHeight;
        float hh = (v1 - v0) * 0.5f * kHeight;
        canvas.paintRegion(static_cast<int>(cx - hw) - 2, static_cast<int>(cy - hh) - 2,
                           static_cast<int>(cx + hw) + 3, static_cast<int>(cy + hh) + 3,
                           [=](float px, float py) { return Shape::box(px, py, cx, cy, hw, hh, 0.0f); },
                           [&](float px, float py) {
                               float wear = fine.noise(px / kWidth * 64.0f, py / kHeight * 32.0f);
                               return Canvas::shade(colour, 0.88f + 0.14f * wear);
                           });
    };

    const Colour paint{0.95f, 0.95f, 0.92f};
    const Colour kerbRed{0.82f, 0.12f, 0.10f};
    const Colour kerbWhite{0.93f, 0.93f, 0.90f};
    // Kerbs: a red block centred on the quad and white at both ends, so the mirrored
    // neighbours join into alternating 5-unit blocks.
    for (float centreU : {0.5f * 0.6f / 26.0f, 1.0f - 0.5f * 0.6f / 26.0f}) {
        paintBar(centreU, 0.3f, 0.0f, 0.25f, kerbWhite);
        paintBar(centreU, 0.3f, 0.25f, 0.75f, kerbRed);
        paintBar(centreU, 0.3f, 0.75f, 1.0f, kerbWhite);
    }
    // Solid edge lines.
    paintBar(1.2f / 26.0f, 0.18f, -0.1f, 1.1f, paint);
    paintBar(1.0f - 1.2f / 26.0f, 0.18f, -0.1f, 1.1f, paint);
    // Lane dashes, 6 units long, 4 units apart, centred on the quad.
    paintBar(1.0f / 3.0f, 0.14f, 0.2f, 0.8f, paint);
    paintBar(2.0f / 3.0f, 0.14f, 0.2f, 0.8f, paint);
    return canvas;
}

Canvas TextureArt::grass() {
    constexpr int kSize = 256;
    const Colour base{0.30f, 0.56f, 0.19f};
    const Colour dry{0.52f, 0.62f, 0.22f};

    Random patches(0x6A55u);
    patches.initNoise(8, 8);
    Random clumps(0x6A56u);
    clumps.initNoise(16, 16);
    Random random(0x6A57u);

    Canvas canvas;
    canvas.init(kSize, kSize, base);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            float u = (static_cast<float>(x) + 0.5f) / kSize;
            float v = (static_cast<float>(y) + 0.5f) / kSize;
            float large = patches.noise(u * 8.0f, v * 8.0f);
            float medium = clumps.noise(u * 16.0f, v * 16.0f) - 0.5f;
            Colour c = Canvas::mix(base, dry, std::clamp((large - 0.5f) * 1.2f, 0.0f, 0.35f));
            float light = 1.0f + 0.16f * medium + 0.10f * (random.unit() - 0.5f);
            canvas.setPixel(x, y, Canvas::shade(c, light));
        }
    }

    // Blades: short strokes, drawn wrapped around the tile so that it also repeats.
    auto wrappedStroke = [&](float ax, float ay, float bx, float by, float halfWidth, Colour colour) {
        for (int oy = -1; oy <= 1; ++oy) {
            for (int ox = -1; ox <= 1; ++ox) {
                float sx = static_cast<float>(ox * kSize);
                float sy = static_cast<float>(oy * kSize);
                float x0 = std::min(ax, bx) + sx;
                float x1 = std::max(ax, bx) + sx;
                float y0 = std::min(ay, by) + sy;
                float y1 = std::max(ay, by) + sy;
                if (x1 < -2.0f || y1 < -2.0f || x0 > kSize + 2.0f || y0 > kSize + 2.0f) {
                    continue;
                }
                canvas.paintRegion(static_cast<int>(x0) - 2, static_cast<int>(y0) - 2,
                                   static_cast<int>(x1) + 3, static_cast<int>(y1) + 3,
                                   [=](float px, float py) {
                                       return Shape::segment(px, py, ax + sx, ay + sy, bx + sx,
                                                             by + sy, halfWidth);
                                   },
                                   [=](float, float) { return colour; });
            }
        }
    };
    for (int i = 0; i < 1400; ++i) {
        float x = random.range(0.0f, kSize);
        float y = random.range(0.0f, kSize);
        float length = random.range(3.0f, 7.0f);
        float angle = random.range(-0.5f, 0.5f) - 0.5f * std::numbers::pi_v<float>;
        float tone = random.range(0.62f, 1.38f);
        Colour colour = Canvas::shade(Canvas::mix(base, dry, random.range(0.0f, 0.4f)), tone);
        colour.a = random.range(0.6f, 0.95f);
        wrappedStroke(x, y, x + length * std::cos(angle), y + length * std::sin(angle), 0.55f,
                      colour);
    }
    // A few small flowers.
    for (int i = 0; i < 18; ++i) {
        float x = random.range(4.0f, kSize - 4.0f);
        float y = random.range(4.0f, kSize - 4.0f);
        Colour petal = random.unit() < 0.6f ? Colour{1.0f, 0.92f, 0.35f} : Colour{0.97f, 0.97f, 1.0f};
        wrappedStroke(x, y, x, y, 1.4f, petal);
        wrappedStroke(x, y, x, y, 0.5f, Colour{0.95f, 0.6f, 0.15f});
    }
    return canvas;
}

Canvas TextureArt::truck() {
    // Painted four times larger and brought down, for smooth edges.
    constexpr int kScale = 4;
    constexpr int kWidth = 64;
    constexpr int kHeight = 176;
    const float s = static_cast<float>(kScale);

    Canvas canvas;
    canvas.init(kWidth * kScale, kHeight * kScale, asphalt());
    // A rounded box painted with a colour that may vary across it (x, centre, half width).
    auto paintBox = [&](float x0, float y0, float x1, float y1, float radius, auto colourAt) {
        float cx = (x0 + x1) * 0.5f * s;
        float cy = (y0 + y1) * 0.5f * s;
        float hw = (x1 - x0) * 0.5f * s;
        float hh = (y1 - y0) * 0.5f * s;
        canvas.paintRegion(static_cast<int>(x0 * s) - 2, static_cast<int>(y0 * s) - 2,
                           static_cast<int>(x1 * s) + 3, static_cast<int>(y1 * s) + 3,
                           [=](float px, float py) {
                               return Shape::box(px, py, cx, cy, hw, hh, radius * s);
                           },
                           [=](float px, float) { return colourAt(px, cx, hw); });
    };
    auto box = [&](float x0, float y0, float x1, float y1, float radius, Colour colour) {
        paintBox(x0, y0, x1, y1, radius, [=](float, float, float) { return colour; });
    };
    auto shadedBox = [&](float x0, float y0, float x1, float y1, float radius, Colour colour,
                         float edgeShade) {
        paintBox(x0, y0, x1, y1, radius, [=](float px, float cx, float hw) {
            // Rounded roof: lighter in the middle, darker at the sides.
            float t = std::fabs(px - cx) / hw;
            return Canvas::shade(colour, 1.0f - edgeShade * t * t);
        });
    };
    auto polygon = [&](std::vector<std::pair<float, float>> corners, Colour colour) {
        for (auto& corner : corners) {
            corner.first *= s;
            corner.second *= s;
        }
        canvas.paint([&](float px, float py) { return Shape::polygon(px, py, corners); }, colour);
    };

    const Colour shadow{0.0f, 0.0f, 0.0f, 0.35f};
    const Colour tyre{0.07f, 0.07f, 0.08f};
    const Colour cab{1.0f, 0.50f, 0.08f};
    const Colour glass{0.10f, 0.14f, 0.22f};
    const Colour container{0.90f, 0.91f, 0.93f};
    const Colour chassis{0.13f, 0.13f, 0.15f};
    const Colour chrome{0.75f, 0.77f, 0.80f};

    // The truck fills nearly the whole sprite, so little of the asphalt surround shows
    // over the lane markings it drives across. A soft shadow lies under the cab.
    box(5.0f, 5.0f, 63.0f, 48.0f, 6.0f, shadow);

    // The front wheels stick out under the cab.
    box(1.0f, 16.0f, 63.0f, 29.0f, 2.5f, tyre);
    // Coupling between cab and trailer.
    box(20.0f, 40.0f, 44.0f, 52.0f, 1.0f, chassis);

    // Cab: bumper, body, windscreen, roof with its air deflector, mirrors, headlights.
    box(4.0f, 1.0f, 60.0f, 7.0f, 2.5f, chrome);
    shadedBox(4.0f, 3.0f, 60.0f, 44.0f, 6.0f, cab, 0.35f);
    polygon({{11.0f, 11.0f}, {53.0f, 11.0f}, {50.0f, 19.0f}, {14.0f, 19.0f}}, glass);
    polygon({{15.0f, 12.0f}, {24.0f, 12.0f}, {20.0f, 18.0f}, {15.5f, 18.0f}},
            Colour{0.45f, 0.55f, 0.68f, 0.7f});
    shadedBox(12.0f, 21.0f, 52.0f, 42.0f, 4.0f, Canvas::shade(cab, 1.08f), 0.30f);
    box(16.0f, 22.0f, 48.0f, 30.0f, 3.0f, Canvas::shade(cab, 1.22f));
    box(0.0f, 12.0f, 5.0f, 16.0f, 1.2f, chassis);
    box(59.0f, 12.0f, 64.0f, 16.0f, 1.2f, chassis);
    box(7.0f, 3.5f, 16.0f, 7.5f, 1.5f, Colour{1.0f, 0.97f, 0.75f});
    box(48.0f, 3.5f, 57.0f, 7.5f, 1.5f, Colour{1.0f, 0.97f, 0.75f});

    // Container with roof ribs and the company stripes.
    shadedBox(0.5f, 47.0f, 63.5f, 175.5f, 2.5f, container, 0.22f);
    for (float y = 56.0f; y < 168.0f; y += 8.0f) {
        box(3.0f, y, 61.0f, y + 1.2f, 0.5f, Colour{0.62f, 0.64f, 0.68f, 0.55f});
    }
    box(9.0f, 51.0f, 14.0f, 170.0f, 1.0f, cab);
    box(50.0f, 51.0f, 55.0f, 170.0f, 1.0f, cab);
    canvas.paint(
        [&](float px, float py) { return Shape::circle(px, py, 32.0f * s, 110.0f * s, 9.0f * s); },
        Colour{0.16f, 0.30f, 0.70f});
    polygon({{27.0f, 115.0f}, {32.0f, 103.0f}, {37.0f, 115.0f}}, Colour{1.0f, 0.85f, 0.2f});
    // Rear doors and tail lights.
    box(0.5f, 172.0f, 63.5f, 175.5f, 1.0f, Colour{0.55f, 0.56f, 0.60f});
    box(2.0f, 172.5f, 9.0f, 175.0f, 0.8f, Colour{0.9f, 0.06f, 0.05f});
    box(55.0f, 172.5f, 62.0f, 175.0f, 0.8f, Colour{0.9f, 0.06f, 0.05f});

    return canvas.downsampled(kScale);
}

Canvas TextureArt::wall() {
    // 12 x 312 texels for a 0.5 x 13 bar: square texels on screen.
    constexpr int kWidth = 12;
    constexpr int kHeight = 312;
    constexpr int kCap = 10;
    const Colour yellow{1.0f, 0.80f, 0.05f};
    const Colour black{0.10f, 0.10f, 0.12f};
    const Colour steel{0.62f, 0.65f, 0.70f};
    const Colour steelLight{0.85f, 0.88f, 0.92f};
    const Colour steelDark{0.32f, 0.34f, 0.38f};

    Canvas canvas;
    canvas.init(kWidth, kHeight, black);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            int fromEnd = std::min(y, kHeight - 1 - y);
            Colour c;
            if (fromEnd < kCap) {
                c = fromEnd == kCap - 1 || x == 0 || x == kWidth - 1 ? steelDark
                    : x <= 3                                         ? steelLight
                                                                     : steel;
            } else if (x == 0 || x == kWidth - 1) {
                c = black;
            } else {
                c = (x + y) % 12 < 6 ? yellow : black;
                if (x == 1 && c.r > 0.5f) {
                    c = Canvas::shade(c, 1.1f);
                }
            }
            canvas.setPixel(x, y, c);
        }
    }
    return canvas;
}

Canvas TextureArt::whitePixel() {
    Canvas canvas;
    canvas.init(4, 4, Colour{1.0f, 1.0f, 1.0f});
    return canvas;
}

Canvas TextureArt::heart() {
    static const char* const kRows[16] = {
        "................",
        "..KKKK....KKKK..",
        ".KRRRRK..KRRRRK.",
        "KRWWRRRKKRRRRRRK",
        "KRWPRRRRRRRRRRRK",
        "KRPRRRRRRRRRRRDK",
        "KRRRRRRRRRRRRRDK",
        "KRRRRRRRRRRRRRDK",
        ".KRRRRRRRRRRRDK.",
        "..KRRRRRRRRRDDK.",
        "...KRRRRRRRRDK..",
        "....KRRRRRRDK...",
        ".....KRRRRDK....",
        "......KRRDK.....",
        ".......KKK......",
        "................",
    };
    Canvas canvas;
    canvas.init(16, 16, Colour{0.0f, 0.0f, 0.0f, 0.0f});
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            switch (kRows[y][x]) {
            case 'K': canvas.setPixel(x, y, Colour{0.28f, 0.02f, 0.07f}); break;
            case 'R': canvas.setPixel(x, y, Colour{0.93f, 0.11f, 0.20f}); break;
            case 'D': canvas.setPixel(x, y, Colour{0.62f, 0.05f, 0.12f}); break;
            case 'P': canvas.setPixel(x, y, Colour{1.0f, 0.55f, 0.62f}); break;
            case 'W': canvas.setPixel(x, y, Colour{1.0f, 1.0f, 1.0f}); break;
            default: break;
            }
        }
    }
    return canvas;
}
