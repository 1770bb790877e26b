// The rules' own sine and cosine: as exact as the float allows over every angle a run can
// turn the bar to, and the same bits on every compiler and library.
#include "math/Matrix4.h"
#include "math/Trig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// How far apart two floats are in units in the last place of the exact value's float.
void expectWithinAnUlp(float got, double exact, float angle, const char* what) {
    const float nearest = static_cast<float>(exact);
    const float ulp = std::nextafter(std::fabs(nearest), std::numeric_limits<float>::infinity()) - std::fabs(nearest);
    EXPECT_LE(std::fabs(static_cast<double>(got) - exact), static_cast<double>(ulp))
        << what << " of " << angle << ": " << got << " against " << exact;
}

}  // namespace

TEST(Trig, WithinAnUlpOfTheExactValueOverTheBarsWholeRange) {
    // The bar turns 0.375 degrees a tick; a run is bounded at two hours (648000 degrees).
    // Every tick's angle of the first ten turns, then a spread over the rest.
    for (int tick = 0; tick < 9600; ++tick) {
        const float angle = static_cast<float>(tick * 0.375f * kDegreesToRadians);
        expectWithinAnUlp(Trig::sin(angle), std::sin(static_cast<double>(angle)), angle, "sin");
        expectWithinAnUlp(Trig::cos(angle), std::cos(static_cast<double>(angle)), angle, "cos");
    }
    for (int tick = 9600; tick < 1728000; tick += 997) {
        const float angle = static_cast<float>(tick * 0.375f * kDegreesToRadians);
        expectWithinAnUlp(Trig::sin(angle), std::sin(static_cast<double>(angle)), angle, "sin");
        expectWithinAnUlp(Trig::cos(angle), std::cos(static_cast<double>(angle)), angle, "cos");
        expectWithinAnUlp(Trig::sin(-angle), std::sin(-static_cast<double>(angle)), -angle, "sin");
    }
}

TEST(Trig, GivesTheseBitsOnEveryBuild) {
    // Worked out once and kept: any compiler, library or flag that changes a bit fails here.
    struct Case {
        float angle;
        std::uint32_t sinBits;
        std::uint32_t cosBits;
    } cases[] = {
        {0.0f, 0x00000000u, 0x3f800000u},
        {0.5f, 0x3ef57744u, 0x3f60a940u},
        {1.0f, 0x3f576aa4u, 0x3f0a5140u},
        {0.785398185f, 0x3f3504f3u, 0x3f3504f3u},
        {1.57079637f, 0x3f800000u, 0xb33bbd2eu},
        {3.14159274f, 0xb3bbbd2eu, 0xbf800000u},
        {-2.0f, 0xbf68c7b7u, 0xbed51133u},
        {109.955742f, 0x3585522au, 0xbf800000u},  // the RANDOM start: 6300 degrees
        {1234.56775f, 0x3d9feaa5u, 0xbf7f37e7u},
        {11309.7334f, 0xb921fd74u, 0x3f800000u},  // two hours of turning
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bitsOf(Trig::sin(c.angle)), c.sinBits) << std::hex << "sin " << c.angle << " = " << Trig::sin(c.angle);
        EXPECT_EQ(bitsOf(Trig::cos(c.angle)), c.cosBits) << std::hex << "cos " << c.angle << " = " << Trig::cos(c.angle);
    }
}

TEST(Trig, AnglesBeyondAnyRunAreNotANumber) {
    for (float angle : {3e8f, -3e8f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()}) {
        EXPECT_TRUE(std::isnan(Trig::sin(angle))) << angle;
        EXPECT_TRUE(std::isnan(Trig::cos(angle))) << angle;
    }
}
