#pragma once

#include <cstdint>
#include <vector>

// A straight (not premultiplied) RGBA colour, each channel 0..1.
struct Colour {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 1.0f;
};

// A picture being painted: float RGBA pixels, row 0 at the top, with anti-aliased
// shape filling driven by signed distances in pixels.
class Canvas {
public:
    void init(int width, int height, Colour fill);

    int width() const { return width_; }
    int height() const { return height_; }

    Colour pixel(int x, int y) const;
    void setPixel(int x, int y, Colour colour);
    // Source-over compositing of colour at the given coverage (0..1).
    void blend(int x, int y, Colour colour, float coverage);

    // Fills wherever distance(px, py) < 0, px and py being pixel-centre coordinates,
    // with a one-pixel soft edge. colourAt(px, py) gives the colour of each pixel.
    template <typename Distance, typename ColourAt>
    void paintWith(Distance distance, ColourAt colourAt) {
        paintRegion(0, 0, width_, height_, distance, colourAt);
    }

    // As paintWith, visiting only the pixels x0 <= x < x1, y0 <= y < y1 (clipped).
    template <typename Distance, typename ColourAt>
    void paintRegion(int x0, int y0, int x1, int y1, Distance distance, ColourAt colourAt) {
        x0 = x0 < 0 ? 0 : x0;
        y0 = y0 < 0 ? 0 : y0;
        x1 = x1 > width_ ? width_ : x1;
        y1 = y1 > height_ ? height_ : y1;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                float px = static_cast<float>(x) + 0.5f;
                float py = static_cast<float>(y) + 0.5f;
                float coverage = edgeCoverage(distance(px, py));
                if (coverage > 0.0f) {
                    blend(x, y, colourAt(px, py), coverage);
                }
            }
        }
    }

    template <typename Distance>
    void paint(Distance distance, Colour colour) {
        paintWith(distance, [colour](float, float) { return colour; });
    }

    // A canvas factor times smaller, each pixel the alpha-weighted mean of a
    // factor x factor block: how the supersampled artwork is brought down to size.
    Canvas downsampled(int factor) const;

    // The pixels as 8-bit RGBA, top row first.
    std::vector<uint8_t> rgba8() const;

    static float edgeCoverage(float distance);
    static Colour mix(Colour a, Colour b, float t);
    static Colour shade(Colour c, float factor);
    static uint8_t toByte(float channel);

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<Colour> pixels_;
};
