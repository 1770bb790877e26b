#include "IconArt.h"

#include "Shape.h"
#include "TextureArt.h"

#include <algorithm>
#include <cmath>

namespace {

// The texel of a texture at (u, v) in 0..1, repeating, nearest: the icon is painted
// several times larger than its size and brought down, which smooths it.
Colour sample(const Canvas& texture, float u, float v) {
    const auto wrap = [](float t, int size) {
        const int i = static_cast<int>(std::floor(t * static_cast<float>(size)));
        return ((i % size) + size) % size;
    };
    return texture.pixel(wrap(u, texture.width()), wrap(v, texture.height()));
}

} // namespace

Canvas IconArt::icon(int size) {
    // Painted on a canvas of at least 512 pixels, a whole multiple of size.
    const int scale = std::max(1, (512 + size - 1) / size);
    const float side = static_cast<float>(size * scale);
    const float half = side * 0.5f;
    Canvas canvas;
    canvas.init(size * scale, size * scale, Colour{0.0f, 0.0f, 0.0f, 0.0f});

    const Canvas grass = TextureArt::grass();
    const Canvas road = TextureArt::road();
    const Canvas truck = TextureArt::truck();
    const Canvas bar = TextureArt::wall();

    // The tile: grass, with the road down its middle, under a dark rim.
    const float margin = side * 0.03f;
    const float corner = side * 0.18f;
    const float roadHalf = side * 0.30f;
    auto tile = [=](float px, float py) { return Shape::box(px, py, half, half, half - margin, half - margin, corner); };
    canvas.paint(tile, Colour{0.08f, 0.05f, 0.12f});
    auto inner = [=](float px, float py) {
        return Shape::box(px, py, half, half, half - margin * 2.0f, half - margin * 2.0f, corner - margin);
    };
    canvas.paintWith(inner, [&](float px, float py) {
        if (std::abs(px - half) < roadHalf) {
            return sample(road, (px - half + roadHalf) / (2.0f * roadHalf), py / (2.0f * roadHalf));
        }
        return sample(grass, px / side * 1.5f, py / side * 1.5f);
    });

    // The truck, nose up, in the middle of the road.
    const float truckHalfWidth = side * 0.11f;
    const float truckHalfHeight = truckHalfWidth * static_cast<float>(truck.height()) / static_cast<float>(truck.width());
    canvas.paintWith(
        [=](float px, float py) { return Shape::box(px, py, half, half, truckHalfWidth, truckHalfHeight, 0.0f); },
        [&](float px, float py) {
            return sample(truck, (px - half + truckHalfWidth) / (2.0f * truckHalfWidth),
                          (py - half + truckHalfHeight) / (2.0f * truckHalfHeight));
        });

    // The bar across the truck, turned as it is a moment into a run, with a shadow.
    const float angle = 0.62f;
    const float along[2] = {std::cos(angle), -std::sin(angle)};
    const float barHalfLength = side * 0.40f;
    const float barHalfWidth = side * 0.035f;
    for (int layer = 0; layer < 2; ++layer) {
        const float offset = layer == 0 ? side * 0.02f : 0.0f;
        auto local = [=](float px, float py, float& u, float& v) {
            const float dx = px - half - offset;
            const float dy = py - half - offset;
            u = dx * along[0] + dy * along[1];
            v = -dx * along[1] + dy * along[0];
        };
        auto distance = [=](float px, float py) {
            float u = 0.0f;
            float v = 0.0f;
            local(px, py, u, v);
            return Shape::box(u, v, 0.0f, 0.0f, barHalfLength, barHalfWidth, side * 0.01f);
        };
        if (layer == 0) {
            canvas.paint(distance, Colour{0.0f, 0.0f, 0.0f, 0.45f});
            continue;
        }
        canvas.paintWith(distance, [&](float px, float py) {
            float u = 0.0f;
            float v = 0.0f;
            local(px, py, u, v);
            // The bar's texture runs along its height.
            return sample(bar, (v + barHalfWidth) / (2.0f * barHalfWidth), (u + barHalfLength) / (2.0f * barHalfLength));
        });
    }
    return canvas.downsampled(scale);
}
