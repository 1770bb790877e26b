#include "Matrix4.h"

#include <cmath>

void setIdentity(Matrix4& matrix) {
    for (float& value : matrix.m) {
        value = 0.0f;
    }
    matrix[0] = matrix[5] = matrix[10] = matrix[15] = 1.0f;
}

void multiply(const Matrix4& left, const Matrix4& right, Matrix4& out) {
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            out[c * 4 + r] = left[r] * right[c * 4] + left[4 + r] * right[c * 4 + 1] +
                             left[8 + r] * right[c * 4 + 2] + left[12 + r] * right[c * 4 + 3];
        }
    }
}

void postMultiply(Matrix4& matrix, const Matrix4& x) {
    Matrix4 product;
    multiply(matrix, x, product);
    matrix = product;
}

namespace {

// matrix := matrix × (the identity with x, y, z at first, first + step, first + 2 step).
void postMultiplyAdjusted(Matrix4& matrix, int first, int step, float x, float y, float z) {
    Matrix4 t;
    setIdentity(t);
    t[first] = x;
    t[first + step] = y;
    t[first + 2 * step] = z;
    postMultiply(matrix, t);
}

}  // namespace

void translate(Matrix4& matrix, float x, float y, float z) { postMultiplyAdjusted(matrix, 12, 1, x, y, z); }

void scale(Matrix4& matrix, float x, float y, float z) { postMultiplyAdjusted(matrix, 0, 5, x, y, z); }

namespace {

// A turn in the plane of axes a and b, from a toward b: the basic rotations.
void rotateInPlane(Matrix4& matrix, float radians, int a, int b) {
    float c = static_cast<float>(std::cos(static_cast<double>(radians)));
    float s = static_cast<float>(std::sin(static_cast<double>(radians)));
    Matrix4 r;
    setIdentity(r);
    r[a * 4 + a] = c;
    r[a * 4 + b] = s;
    r[b * 4 + a] = -s;
    r[b * 4 + b] = c;
    postMultiply(matrix, r);
}

}  // namespace

void rotateX(Matrix4& matrix, float radians) { rotateInPlane(matrix, radians, 1, 2); }

void rotateY(Matrix4& matrix, float radians) { rotateInPlane(matrix, radians, 2, 0); }

void rotateZ(Matrix4& matrix, float radians) { rotateInPlane(matrix, radians, 0, 1); }

void rotate(Matrix4& matrix, float radians, float x, float y, float z) {
    float c = std::cos(radians);
    float s = std::sin(radians);
    float t = 1.0f - c;
    Matrix4 r;
    r[0] = x * x * t + c;
    r[1] = x * t * y + s * z;
    r[2] = x * t * z - y * s;
    r[3] = 0.0f;
    r[4] = x * t * y - s * z;
    r[5] = c + t * y * y;
    r[6] = z * t * y + x * s;
    r[7] = 0.0f;
    r[8] = x * t * z + y * s;
    r[9] = z * t * y - x * s;
    r[10] = c + t * z * z;
    r[11] = 0.0f;
    r[12] = r[13] = r[14] = 0.0f;
    r[15] = 1.0f;
    Matrix4 copy = matrix;
    multiply(copy, r, matrix);
}

void rotateDegrees(Matrix4& matrix, float degrees, float x, float y, float z) {
    rotate(matrix, static_cast<float>(degrees * kDegreesToRadians), x, y, z);
}

namespace {

void normalise(float& x, float& y, float& z) {
    float length = std::sqrt(x * x + y * y + z * z);
    x /= length;
    y /= length;
    z /= length;
}

}  // namespace

void lookAt(Matrix4& matrix, float eyeX, float eyeY, float eyeZ, float centreX, float centreY,
            float centreZ, float upX, float upY, float upZ) {
    float fx = centreX - eyeX, fy = centreY - eyeY, fz = centreZ - eyeZ;
    normalise(fx, fy, fz);
    // s = f × up
    float sx = fy * upZ - upY * fz, sy = upX * fz - fx * upZ, sz = fx * upY - upX * fy;
    normalise(sx, sy, sz);
    // u = s × f
    float ux = sy * fz - fy * sz, uy = fx * sz - sx * fz, uz = sx * fy - fx * sy;
    normalise(ux, uy, uz);

    Matrix4 view;
    setIdentity(view);
    view[0] = sx;
    view[4] = sy;
    view[8] = sz;
    view[1] = ux;
    view[5] = uy;
    view[9] = uz;
    view[2] = -fx;
    view[6] = -fy;
    view[10] = -fz;
    Matrix4 shift;
    setIdentity(shift);
    shift[12] = -eyeX;
    shift[13] = -eyeY;
    shift[14] = -eyeZ;
    multiply(view, shift, matrix);
}

void perspective(Matrix4& matrix, float fovyDegrees, float aspect, float zNear, float zFar) {
    float half = static_cast<float>(fovyDegrees / 2.0f * kDegreesToRadians);
    float depth = zFar - zNear;
    float sine = std::sin(half);
    if (depth == 0.0f || sine == 0.0f || aspect == 0.0f) {
        return;
    }
    float cotangent = std::cos(half) / sine;
    matrix[0] = cotangent / aspect;
    matrix[5] = cotangent;
    matrix[10] = -(zFar + zNear) / depth;
    matrix[11] = -1.0f;
    matrix[14] = -2.0f * zNear * zFar / depth;
    matrix[15] = 0.0f;
}

void orthographic(Matrix4& matrix, float left, float right, float bottom, float top, float zNear,
                  float zFar) {
    matrix[0] = 2.0f / (right - left);
    matrix[5] = 2.0f / (top - bottom);
    matrix[10] = -2.0f / (zFar - zNear);
    matrix[12] = -(right + left) / (right - left);
    matrix[13] = -(top + bottom) / (top - bottom);
    matrix[14] = -(zFar + zNear) / (zFar - zNear);
}

void transformPoint(float& x, float& y, float& z, const Matrix4& m) {
    float nx = m[0] * x + m[1] * y + m[2] * z + m[3];
    float ny = m[4] * x + m[5] * y + m[6] * z + m[7];
    float nz = m[8] * x + m[9] * y + m[10] * z + m[11];
    x = nx;
    y = ny;
    z = nz;
}
