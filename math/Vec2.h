#pragma once

// A point or direction in the road plane.
struct Vec2 {
    float x = 0.0f;
    float y = 0.0f;

    Vec2() = default;
    Vec2(float xValue, float yValue) : x(xValue), y(yValue) {}

    Vec2& scale(float k) {
        x *= k;
        y *= k;
        return *this;
    }
};
