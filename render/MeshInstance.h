#pragma once

#include "math/Camera.h"
#include "math/Matrix4.h"

class Mesh;
class Texture;

// A mesh placed in the scene with its texture and camera. It draws with whatever matrix its
// owner last put into it (the road puts the camera's model-view there), then adds its own
// rotation, a fixed shift of (-50, -50) and the projection. Owns none of what it points to.
class MeshInstance {
public:
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    void place(float x, float y, float z, Mesh* mesh, const Texture* texture, Camera* camera);
    void setMatrix(const Matrix4& matrix) { matrix_ = matrix; }
    void setRotation(float degrees) { rotation_ = degrees; }
    // Degrees, counter-clockwise about z.
    float rotation() const { return rotation_; }
    // Builds on the current matrix, so it is set again before every draw; afterwards it
    // holds the final matrix that went to the shader.
    void draw();

    const Matrix4& matrix() const { return matrix_; }
    Mesh* mesh() const { return mesh_; }
    const Texture* texture() const { return texture_; }
    Camera* camera() const { return camera_; }

protected:
    Matrix4 matrix_;
    Mesh* mesh_ = nullptr;
    const Texture* texture_ = nullptr;
    Camera* camera_ = nullptr;
    float rotation_ = 0.0f;
};
