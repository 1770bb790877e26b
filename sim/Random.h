#pragma once

#include <cstdint>

// The rules' own random generator (PCG32: a 64-bit linear congruential state, a permuted
// 32-bit output), so a run draws the same numbers on every platform, unlike the C
// library's rand. Seeded at the start of every run; car colours and pattern choices come
// from it.
class Random {
public:
    // The stream every run uses; only the seed tells runs apart.
    static constexpr std::uint64_t kStream = 54;

    void seed(std::uint64_t initialState, std::uint64_t stream = kStream);
    std::uint32_t next();
    // A draw in 0 .. count - 1, as the remainder of the next number (count above 0).
    std::uint32_t below(std::uint32_t count) { return next() % count; }

    std::uint64_t state() const { return state_; }
    std::uint64_t increment() const { return increment_; }

private:
    std::uint64_t state_ = 0;
    std::uint64_t increment_ = (kStream << 1u) | 1u;
};
