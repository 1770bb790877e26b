#include "TitleArt.h"

#include "GlyphRasterizer.h"
#include "Shape.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 400;

// Coverage 0..1 over the whole title picture.
struct Mask {
    std::vector<float> value = std::vector<float>(static_cast<std::size_t>(kWidth * kHeight), 0.0f);

    float at(int x, int y) const {
        if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) {
            return 0.0f;
        }
        return value[static_cast<std::size_t>(y * kWidth + x)];
    }
    float& operator()(int x, int y) { return value[static_cast<std::size_t>(y * kWidth + x)]; }
};

// One line of lettering centred on centreX with its baseline at baselineY.
Mask lettering(GlyphRasterizer& rasterizer, const std::string& text, int pixelSize, float shear,
               int centreX, int baselineY) {
    rasterizer.setPixelSize(pixelSize);
    float width = 0.0f;
    for (std::size_t i = 0; i < text.size(); ++i) {
        width += rasterizer.render(static_cast<char32_t>(text[i]), 1.0f, shear).advance;
        if (i + 1 < text.size()) {
            width += rasterizer.kerning(static_cast<char32_t>(text[i]),
                                        static_cast<char32_t>(text[i + 1]));
        }
    }
    // The slant pushes the tops right; move back by half of it to look centred.
    float pen = static_cast<float>(centreX) - width / 2.0f - shear * 0.35f * pixelSize;
    Mask mask;
    for (std::size_t i = 0; i < text.size(); ++i) {
        Glyph glyph = rasterizer.render(static_cast<char32_t>(text[i]), 1.0f, shear);
        int left = static_cast<int>(std::lround(pen)) + glyph.left;
        int top = baselineY - glyph.top;
        for (int y = 0; y < glyph.height; ++y) {
            for (int x = 0; x < glyph.width; ++x) {
                int px = left + x;
                int py = top + y;
                if (px < 0 || py < 0 || px >= kWidth || py >= kHeight) {
                    continue;
                }
                float ink = static_cast<float>(
                                glyph.coverage[static_cast<std::size_t>(y * glyph.width + x)]) /
                            255.0f;
                mask(px, py) = std::max(mask(px, py), ink);
            }
        }
        pen += glyph.advance;
        if (i + 1 < text.size()) {
            pen += rasterizer.kerning(static_cast<char32_t>(text[i]),
                                      static_cast<char32_t>(text[i + 1]));
        }
    }
    return mask;
}

// The mask grown by radius pixels with a soft rim: the outline under the lettering.
Mask grown(const Mask& mask, float radius) {
    const int reach = static_cast<int>(std::ceil(radius)) + 1;
    std::vector<std::pair<int, int>> offsets;
    std::vector<float> weights;
    for (int dy = -reach; dy <= reach; ++dy) {
        for (int dx = -reach; dx <= reach; ++dx) {
            float weight = std::clamp(radius + 0.5f - std::hypot(static_cast<float>(dx),
                                                                 static_cast<float>(dy)),
                                      0.0f, 1.0f);
            if (weight > 0.0f) {
                offsets.emplace_back(dx, dy);
                weights.push_back(weight);
            }
        }
    }
    Mask out;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            float best = 0.0f;
            for (std::size_t k = 0; k < offsets.size() && best < 1.0f; ++k) {
                best = std::max(best, mask.at(x + offsets[k].first, y + offsets[k].second) *
                                          weights[k]);
            }
            out(x, y) = best;
        }
    }
    return out;
}

template <typename ColourAt>
void stamp(Canvas& canvas, const Mask& mask, int shiftX, int shiftY, ColourAt colourAt) {
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            float coverage = mask.at(x - shiftX, y - shiftY);
            if (coverage > 0.0f) {
                canvas.blend(x, y, colourAt(x, y), coverage);
            }
        }
    }
}

// Shadow, dark outline and a vertical colour gradient between top and bottom.
void paintLettering(Canvas& canvas, const Mask& mask, int top, int bottom, Colour upper,
                    Colour lower, Colour outline) {
    Mask rim = grown(mask, 6.0f);
    stamp(canvas, rim, 7, 8, [](int, int) { return Colour{0.0f, 0.0f, 0.0f, 0.5f}; });
    stamp(canvas, rim, 0, 0, [outline](int, int) { return outline; });
    stamp(canvas, mask, 0, 0, [=](int, int y) {
        float t = std::clamp(static_cast<float>(y - top) / static_cast<float>(bottom - top), 0.0f,
                             1.0f);
        // A bright band just above the middle, like chrome catching the light.
        float shine = std::exp(-std::pow((t - 0.38f) / 0.08f, 2.0f)) * 0.25f;
        Colour c = Canvas::mix(upper, lower, t);
        return Canvas::mix(c, Colour{1.0f, 1.0f, 1.0f}, shine);
    });
}

void box(Canvas& canvas, float x0, float y0, float x1, float y1, float radius, Colour colour) {
    float cx = (x0 + x1) * 0.5f;
    float cy = (y0 + y1) * 0.5f;
    canvas.paintRegion(static_cast<int>(x0) - 2, static_cast<int>(y0) - 2,
                       static_cast<int>(x1) + 3, static_cast<int>(y1) + 3,
                       [=](float px, float py) {
                           return Shape::box(px, py, cx, cy, (x1 - x0) * 0.5f, (y1 - y0) * 0.5f,
                                             radius);
                       },
                       [=](float, float) { return colour; });
}

// A strip of road between the two lines of the name, a small truck speeding along it.
void paintRoadBand(Canvas& canvas) {
    const Colour outline{0.08f, 0.05f, 0.12f};
    const Colour asphalt{0.27f, 0.28f, 0.31f};
    const Colour paint{0.96f, 0.96f, 0.92f};
    const Colour amber{1.0f, 0.78f, 0.10f};
    box(canvas, 52.0f, 210.0f, 748.0f, 262.0f, 26.0f, Colour{0.0f, 0.0f, 0.0f, 0.45f});
    box(canvas, 40.0f, 200.0f, 760.0f, 254.0f, 27.0f, outline);
    box(canvas, 45.0f, 205.0f, 755.0f, 249.0f, 22.0f, asphalt);
    box(canvas, 62.0f, 210.0f, 738.0f, 213.0f, 1.5f, amber);
    box(canvas, 62.0f, 241.0f, 738.0f, 244.0f, 1.5f, amber);
    for (float x = 80.0f; x < 520.0f; x += 56.0f) {
        box(canvas, x, 225.5f, x + 30.0f, 228.5f, 1.5f, paint);
    }
    // Speed streaks behind the truck.
    for (int i = 0; i < 3; ++i) {
        float y = 218.0f + 9.0f * static_cast<float>(i);
        float x0 = 470.0f + 18.0f * static_cast<float>(i % 2);
        canvas.paintRegion(static_cast<int>(x0) - 2, static_cast<int>(y) - 3, 580, static_cast<int>(y) + 4,
                           [=](float px, float py) {
                               return Shape::segment(px, py, x0, y, 560.0f, y, 1.6f);
                           },
                           [=](float px, float) {
                               Colour c{1.0f, 1.0f, 1.0f, std::clamp((px - x0) / 90.0f, 0.0f, 0.8f)};
                               return c;
                           });
    }
    // The truck, nose to the right: wheels, container with ribs, cab, windscreen, lights.
    const Colour tyre{0.06f, 0.06f, 0.07f};
    for (float x : {590.0f, 604.0f, 660.0f, 700.0f}) {
        box(canvas, x, 212.0f, x + 10.0f, 242.0f, 2.0f, tyre);
    }
    box(canvas, 573.0f, 214.0f, 673.0f, 240.0f, 3.0f, outline);
    box(canvas, 575.0f, 216.0f, 671.0f, 238.0f, 2.0f, Colour{0.92f, 0.93f, 0.95f});
    for (float x = 583.0f; x < 668.0f; x += 8.0f) {
        box(canvas, x, 217.0f, x + 1.5f, 237.0f, 0.5f, Colour{0.66f, 0.68f, 0.72f});
    }
    box(canvas, 575.0f, 221.0f, 671.0f, 224.0f, 1.0f, Colour{1.0f, 0.5f, 0.08f});
    box(canvas, 575.0f, 230.0f, 671.0f, 233.0f, 1.0f, Colour{1.0f, 0.5f, 0.08f});
    box(canvas, 676.0f, 213.0f, 712.0f, 241.0f, 6.0f, outline);
    box(canvas, 678.0f, 215.0f, 710.0f, 239.0f, 5.0f, Colour{1.0f, 0.5f, 0.08f});
    box(canvas, 698.0f, 217.0f, 705.0f, 237.0f, 2.0f, Colour{0.10f, 0.14f, 0.22f});
    box(canvas, 708.0f, 216.0f, 712.0f, 221.0f, 1.0f, Colour{1.0f, 0.97f, 0.75f});
    box(canvas, 708.0f, 233.0f, 712.0f, 238.0f, 1.0f, Colour{1.0f, 0.97f, 0.75f});
}

}  // namespace

Canvas TitleArt::title() {
    Canvas canvas;
    canvas.init(kWidth, kHeight, Colour{0.0f, 0.0f, 0.0f, 0.0f});

    GlyphRasterizer rasterizer;
    rasterizer.load(GlyphRasterizer::dejaVuSansBold());
    const float slant = 0.22f;
    const Colour outline{0.08f, 0.05f, 0.12f};

    paintRoadBand(canvas);

    Mask name = lettering(rasterizer, "TAMQ 4", 176, slant, 400, 188);
    paintLettering(canvas, name, 60, 188, Colour{1.0f, 0.95f, 0.40f}, Colour{1.0f, 0.42f, 0.05f},
                   outline);

    Mask subtitle = lettering(rasterizer, "Pelrok", 118, slant, 400, 362);
    paintLettering(canvas, subtitle, 272, 362, Colour{0.60f, 0.95f, 1.0f},
                   Colour{0.10f, 0.42f, 0.95f}, outline);
    return canvas;
}
