#pragma once

#include <cstdint>
#include <vector>

// The generators' own seeded random numbers, so that every run makes the same bytes,
// plus smooth value noise that wraps around its grid.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}

    uint32_t next();
    // Uniform in [0, 1).
    float unit();
    // Uniform in [low, high).
    float range(float low, float high);

    // Fills a cellsX by cellsY lattice of random values for noise.
    void initNoise(int cellsX, int cellsY);
    // Smoothly interpolated lattice noise at (u, v) in lattice cells, wrapping around.
    float noise(float u, float v) const;

private:
    uint64_t state_;
    int cellsX_ = 0;
    int cellsY_ = 0;
    std::vector<float> lattice_;
};
