#include "MeshInstance.h"

#include "Mesh.h"
#include "Texture.h"

void MeshInstance::place(float xValue, float yValue, float zValue, Mesh* mesh,
                         const Texture* texture, Camera* camera) {
    x = xValue;
    y = yValue;
    z = zValue;
    mesh_ = mesh;
    texture_ = texture;
    camera_ = camera;
    rotation_ = 0.0f;
}

void MeshInstance::draw() {
    if (mesh_ == nullptr || camera_ == nullptr) {
        return;
    }
    rotateZ(matrix_, static_cast<float>(rotation_ * kDegreesToRadians));
    translate(matrix_, -50.0f, -50.0f, 0.0f);
    Matrix4 final;
    multiply(camera_->projection(), matrix_, final);
    matrix_ = final;
    if (texture_ != nullptr) {
        texture_->bind();
    }
    mesh_->draw(matrix_);
}
