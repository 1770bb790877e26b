#pragma once

#include "Matrix4.h"

// A model-view and a projection matrix, plus the frustum planes derived from them.
// Both matrices start as all zeros, not identity: the owner sets them before use.
class Camera {
public:
    Matrix4& modelView() { return modelView_; }
    const Matrix4& modelView() const { return modelView_; }
    Matrix4& projection() { return projection_; }
    const Matrix4& projection() const { return projection_; }

    void resetProjection() { setIdentity(projection_); }
    void setPerspective(float fovyDegrees, float aspect, float zNear, float zFar);
    void setOrthographic(float left, float right, float bottom, float top, float zNear, float zFar);

    // Recomputes the planes (left, right, top, bottom, far, near) from projection × model-view.
    void updateFrustum();
    // False once one plane has the centre at signed distance <= -radius.
    bool sphereInFrustum(float x, float y, float z, float radius) const;
    // False once one plane has the point at a negative signed distance.
    bool pointInFrustum(float x, float y, float z) const;

    const float* plane(int index) const { return planes_[index]; }

private:
    Matrix4 modelView_;
    Matrix4 projection_;
    float planes_[6][4] = {};
};
