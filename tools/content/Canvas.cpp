#include "Canvas.h"

#include <algorithm>
#include <cmath>

void Canvas::init(int width, int height, Colour fill) {
    width_ = width;
    height_ = height;
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
}

Colour Canvas::pixel(int x, int y) const {
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                   static_cast<std::size_t>(x)];
}

void Canvas::setPixel(int x, int y, Colour colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return;
    }
    pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
            static_cast<std::size_t>(x)] = colour;
}

void Canvas::blend(int x, int y, Colour colour, float coverage) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return;
    }
    Colour& under = pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                            static_cast<std::size_t>(x)];
    float srcA = std::clamp(colour.a * coverage, 0.0f, 1.0f);
    float outA = srcA + under.a * (1.0f - srcA);
    if (outA <= 0.0f) {
        under = Colour{colour.r, colour.g, colour.b, 0.0f};
        return;
    }
    float underWeight = under.a * (1.0f - srcA);
    under.r = (colour.r * srcA + under.r * underWeight) / outA;
    under.g = (colour.g * srcA + under.g * underWeight) / outA;
    under.b = (colour.b * srcA + under.b * underWeight) / outA;
    under.a = outA;
}

std::vector<uint8_t> Canvas::rgba8() const {
    std::vector<uint8_t> bytes;
    bytes.reserve(pixels_.size() * 4);
    for (const Colour& c : pixels_) {
        bytes.push_back(toByte(c.r));
        bytes.push_back(toByte(c.g));
        bytes.push_back(toByte(c.b));
        bytes.push_back(toByte(c.a));
    }
    return bytes;
}

float Canvas::edgeCoverage(float distance) {
    return std::clamp(0.5f - distance, 0.0f, 1.0f);
}

Colour Canvas::mix(Colour a, Colour b, float t) {
    return Colour{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
                  a.a + (b.a - a.a) * t};
}

Colour Canvas::shade(Colour c, float factor) {
    return Colour{std::clamp(c.r * factor, 0.0f, 1.0f), std::clamp(c.g * factor, 0.0f, 1.0f),
                  std::clamp(c.b * factor, 0.0f, 1.0f), c.a};
}

uint8_t Canvas::toByte(float channel) {
    return static_cast<uint8_t>(std::lround(std::clamp(channel, 0.0f, 1.0f) * 255.0f));
}

Canvas Canvas::downsampled(int factor) const {
    Canvas small;
    small.init(width_ / factor, height_ / factor, Colour{0.0f, 0.0f, 0.0f, 0.0f});
    const float samples = static_cast<float>(factor * factor);
    for (int y = 0; y < small.height_; ++y) {
        for (int x = 0; x < small.width_; ++x) {
            float r = 0.0f;
            float g = 0.0f;
            float b = 0.0f;
            float a = 0.0f;
            for (int sy = 0; sy < factor; ++sy) {
                for (int sx = 0; sx < factor; ++sx) {
                    Colour c = pixel(x * factor + sx, y * factor + sy);
                    r += c.r * c.a;
                    g += c.g * c.a;
                    b += c.b * c.a;
                    a += c.a;
                }
            }
            Colour out{0.0f, 0.0f, 0.0f, a / samples};
            if (a > 0.0f) {
                out.r = r / a;
                out.g = g / a;
                out.b = b / a;
            }
            small.setPixel(x, y, out);
        }
    }
    return small;
}
