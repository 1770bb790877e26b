#include "Sprite.h"

#include "Mesh.h"
#include "MeshAnimation.h"
#include "Texture.h"

void Sprite::place(float xValue, float yValue, float zValue, Mesh* mesh, const Texture* texture,
                   Camera* camera) {
    MeshInstance::place(xValue, yValue, zValue, mesh, texture, camera);
    pivotX_ = 0.0f;
    pivotY_ = 0.0f;
    width_ = 0.0f;
    height_ = 0.0f;
    depth_ = 0.0f;
}

void Sprite::setSize(float width, float height, float depth) {
    width_ = width;
    height_ = height;
    depth_ = depth;
    radiusUnit_ = width > height ? height / 2.0f : width / 2.0f;
}

void Sprite::setPivot(float pivotX, float pivotY) {
    pivotX_ = pivotX;
    pivotY_ = pivotY;
}

void Sprite::draw() {
    if (mesh_ == nullptr || camera_ == nullptr) {
        return;
    }
    setIdentity(matrix_);
    translate(matrix_, x, y, z);
    rotateZ(matrix_, static_cast<float>(rotation_ * kDegreesToRadians));
    scale(matrix_, width_, height_, depth_);
    translate(matrix_, -pivotX_, -pivotY_, 0.0f);
    Matrix4 final;
    multiply(camera_->projection(), matrix_, final);
    matrix_ = final;
    if (texture_ != nullptr) {
        texture_->bind();
    }
    if (animated_) {
        mesh_->drawAnimated(matrix_, static_cast<uint32_t>(animationNumber_), animationTime_);
    } else {
        mesh_->draw(matrix_);
    }
}

void Sprite::playAnimation(int32_t animation, float time) {
    animated_ = true;
    animationNumber_ = animation;
    animationTime_ = time;
}

float Sprite::advanceAnimation(float dt) {
    animationTime_ += dt;
    // A mesh without animations behaves like an animation number out of range: end time -1.
    float end = -1.0f;
    if (mesh_ != nullptr && mesh_->animation() != nullptr) {
        end = mesh_->animation()->endTime(static_cast<uint32_t>(animationNumber_));
    }
    return animationTime_ > end ? animationTime_ - end : -1.0f;
}
