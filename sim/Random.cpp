#include "sim/Random.h"

void Random::seed(std::uint64_t initialState, std::uint64_t stream) {
    state_ = 0;
    increment_ = (stream << 1u) | 1u;
    next();
    state_ += initialState;
    next();
}

std::uint32_t Random::next() {
    const std::uint64_t old = state_;
    state_ = old * 6364136223846793005ull + increment_;
    const auto shifted = static_cast<std::uint32_t>(((old >> 18u) ^ old) >> 27u);
    const auto rotation = static_cast<std::uint32_t>(old >> 59u);
    return (shifted >> rotation) | (shifted << ((0u - rotation) & 31u));
}
