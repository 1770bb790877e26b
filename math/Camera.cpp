#include "Camera.h"

#include <cmath>

void Camera::setPerspective(float fovyDegrees, float aspect, float zNear, float zFar) {
    perspective(projection_, fovyDegrees, aspect, zNear, zFar);
}

void Camera::setOrthographic(float left, float right, float bottom, float top, float zNear,
                             float zFar) {
    orthographic(projection_, left, right, bottom, top, zNear, zFar);
}

void Camera::updateFrustum() {
    Matrix4 clip;
    multiply(projection_, modelView_, clip);
    // Each plane is row 3 plus or minus another row of the clip matrix.
    static const int kRow[6] = {0, 0, 1, 1, 2, 2};
    static const float kSign[6] = {1.0f, -1.0f, -1.0f, 1.0f, -1.0f, 1.0f};
    for (int p = 0; p < 6; ++p) {
        int r = kRow[p];
        float* plane = planes_[p];
        for (int c = 0; c < 4; ++c) {
            plane[c] = clip[c * 4 + 3] + kSign[p] * clip[c * 4 + r];
        }
        float length = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
        for (int c = 0; c < 4; ++c) {
            plane[c] /= length;
        }
    }
}

bool Camera::sphereInFrustum(float x, float y, float z, float radius) const {
    for (const float* plane : planes_) {
        if (plane[0] * x + plane[1] * y + plane[2] * z + plane[3] <= -radius) {
            return false;
        }
    }
    return true;
}

bool Camera::pointInFrustum(float x, float y, float z) const {
    for (const float* plane : planes_) {
        if (plane[0] * x + plane[1] * y + plane[2] * z + plane[3] < 0.0f) {
            return false;
        }
    }
    return true;
}
