#include "Random.h"

#include <cmath>

uint32_t Random::next() {
    // splitmix64: tiny, well mixed and the same everywhere.
    state_ += 0x9E3779B97F4A7C15ull;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
}

float Random::unit() {
    return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f);
}

float Random::range(float low, float high) {
    return low + (high - low) * unit();
}

void Random::initNoise(int cellsX, int cellsY) {
    cellsX_ = cellsX;
    cellsY_ = cellsY;
    lattice_.resize(static_cast<std::size_t>(cellsX) * static_cast<std::size_t>(cellsY));
    for (float& value : lattice_) {
        value = unit();
    }
}

float Random::noise(float u, float v) const {
    float fu = std::floor(u);
    float fv = std::floor(v);
    float tu = u - fu;
    float tv = v - fv;
    tu = tu * tu * (3.0f - 2.0f * tu);
    tv = tv * tv * (3.0f - 2.0f * tv);
    auto wrap = [](int i, int n) { return ((i % n) + n) % n; };
    int x0 = wrap(static_cast<int>(fu), cellsX_);
    int y0 = wrap(static_cast<int>(fv), cellsY_);
    int x1 = wrap(x0 + 1, cellsX_);
    int y1 = wrap(y0 + 1, cellsY_);
    auto at = [this](int x, int y) {
        return lattice_[static_cast<std::size_t>(y) * static_cast<std::size_t>(cellsX_) +
                        static_cast<std::size_t>(x)];
    };
    float top = at(x0, y0) + (at(x1, y0) - at(x0, y0)) * tu;
    float bottom = at(x0, y1) + (at(x1, y1) - at(x0, y1)) * tu;
    return top + (bottom - top) * tv;
}
