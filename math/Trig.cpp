#include "Trig.h"

#include <cmath>
#include <limits>

namespace {

// pi/2 split so that k * kHalfPiHigh is exact for every quadrant count the range allows.
constexpr double kHalfPiHigh = 1.57079632673412561417e+00;
constexpr double kHalfPiLow = 6.07710050650619224932e-11;
constexpr double kTwoOverPi = 6.36619772367581382433e-01;
constexpr double kLargest = 268435456.0;  // 2^28

// Taylor series on |r| <= pi/4, where the first dropped term is below 1e-16.
double sinNear(double r) {
    const double r2 = r * r;
    double p = -1.0 / 1307674368000.0;     // 1/15!
    p = 1.0 / 6227020800.0 + r2 * p;       // 1/13!
    p = -1.0 / 39916800.0 + r2 * p;        // 1/11!
    p = 1.0 / 362880.0 + r2 * p;           // 1/9!
    p = -1.0 / 5040.0 + r2 * p;            // 1/7!
    p = 1.0 / 120.0 + r2 * p;              // 1/5!
    p = -1.0 / 6.0 + r2 * p;               // 1/3!
    return r + r * r2 * p;
}

double cosNear(double r) {
    const double r2 = r * r;
    double p = 1.0 / 20922789888000.0;     // 1/16!
    p = -1.0 / 87178291200.0 + r2 * p;     // 1/14!
    p = 1.0 / 479001600.0 + r2 * p;        // 1/12!
    p = -1.0 / 3628800.0 + r2 * p;         // 1/10!
    p = 1.0 / 40320.0 + r2 * p;            // 1/8!
    p = -1.0 / 720.0 + r2 * p;             // 1/6!
    p = 1.0 / 24.0 + r2 * p;               // 1/4!
    return 1.0 - r2 * (0.5 - r2 * p);
}

// The remainder of x after the nearest multiple of pi/2, and which multiple it was (mod 4).
bool reduce(float radians, double& r, int& quadrant) {
    const double x = radians;
    if (!(std::fabs(x) < kLargest)) {
        return false;
    }
    const double k = std::floor(x * kTwoOverPi + 0.5);
    r = (x - k * kHalfPiHigh) - k * kHalfPiLow;
    const long long whole = static_cast<long long>(k);
    quadrant = static_cast<int>(((whole % 4) + 4) % 4);
    return true;
}

// The sine of quadrant * pi/2 + r; the cosine is the sine a quadrant on.
float sinInQuadrant(float radians, int quadrantsOn) {
    double r;
    int quadrant;
    if (!reduce(radians, r, quadrant)) {
        return std::numeric_limits<float>::quiet_NaN();
    }
    switch ((quadrant + quadrantsOn) % 4) {
    case 0:
        return static_cast<float>(sinNear(r));
    case 1:
        return static_cast<float>(cosNear(r));
    case 2:
        return static_cast<float>(-sinNear(r));
    default:
        return static_cast<float>(-cosNear(r));
    }
}

}  // namespace

float Trig::sin(float radians) { return sinInQuadrant(radians, 0); }

float Trig::cos(float radians) { return sinInQuadrant(radians, 1); }
