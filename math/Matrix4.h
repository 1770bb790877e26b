#pragma once

// A 4×4 float matrix in OpenGL's column-major memory order: row r, column c at
// index c * 4 + r, translation at 12, 13, 14. Sent to the shaders unchanged.
// Every transform post-multiplies (M := M × X), like the old fixed-function calls,
// so the transform applied last in code acts on points first.
struct Matrix4 {
    float m[16] = {};

    float& operator[](int i) { return m[i]; }
    float operator[](int i) const { return m[i]; }
    const float* data() const { return m; }
};

// Degrees to radians; slightly short of pi / 180, and kept that way so angles
// land on the same floats the game has always produced.
inline constexpr double kDegreesToRadians = 0.017453292519943;

void setIdentity(Matrix4& matrix);
// out := left × right; out must be a third matrix, since it is written while the inputs are read.
void multiply(const Matrix4& left, const Matrix4& right, Matrix4& out);
// matrix := matrix × x; x may be matrix itself.
void postMultiply(Matrix4& matrix, const Matrix4& x);
void translate(Matrix4& matrix, float x, float y, float z);
void scale(Matrix4& matrix, float x, float y, float z);
void rotateX(Matrix4& matrix, float radians);
void rotateY(Matrix4& matrix, float radians);
void rotateZ(Matrix4& matrix, float radians);
// Rotation about an axis that the caller has already normalised.
void rotate(Matrix4& matrix, float radians, float axisX, float axisY, float axisZ);
void rotateDegrees(Matrix4& matrix, float degrees, float axisX, float axisY, float axisZ);
// Replaces matrix with the viewing matrix of a camera at eye looking at centre.
void lookAt(Matrix4& matrix, float eyeX, float eyeY, float eyeZ, float centreX, float centreY,
            float centreZ, float upX, float upY, float upZ);
// Write only their six elements; the caller resets the matrix to identity first.
void perspective(Matrix4& matrix, float fovyDegrees, float aspect, float zNear, float zFar);
void orthographic(Matrix4& matrix, float left, float right, float bottom, float top, float zNear,
                  float zFar);
// Reads the matrix by memory rows: for a rotation this turns the point the opposite
// way and ignores the translation. The camera rig relies on exactly that.
void transformPoint(float& x, float& y, float& z, const Matrix4& matrix);
