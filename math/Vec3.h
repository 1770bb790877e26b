#pragma once

// A point or direction in space; also the control point of a spline.
struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    Vec3() = default;
    Vec3(float xValue, float yValue, float zValue) : x(xValue), y(yValue), z(zValue) {}

    // this × b
    Vec3 cross(const Vec3& b) const {
        return Vec3(y * b.z - b.y * z, b.x * z - x * b.z, x * b.y - b.x * y);
    }

    float dot(const Vec3& b) const { return x * b.x + y * b.y + z * b.z; }

    Vec3& scale(float k) {
        x *= k;
        y *= k;
        z *= k;
        return *this;
    }
};
