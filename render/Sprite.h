#pragma once

#include "MeshInstance.h"

#include <cstdint>

class Collider;

// The game's general placed object (background, truck, bar, cars, hearts, title): a mesh
// scaled to a size, turned about a pivot and moved to its position. It rebuilds its whole
// transform at every draw from the camera's projection alone, so its position is given in
// projection units and the camera's model-view does not move it.
class Sprite : public MeshInstance {
public:
    // Also resets the pivot to the origin corner and the size to zero.
    void place(float x, float y, float z, Mesh* mesh, const Texture* texture, Camera* camera);
    // The radius unit, the scale of collider circles, becomes half the smaller side.
    void setSize(float width, float height, float depth);
    // Fractions of the size: (0.5, 0.5) centres a unit quad on the position.
    void setPivot(float pivotX, float pivotY);
    void draw();

    void playAnimation(int32_t animation) { playAnimation(animation, 0.0f); }
    void playAnimation(int32_t animation, float time);
    void setAnimationTime(float time) { animationTime_ = time; }
    // Moves the time on by dt. Returns how far the time now lies past the end of the
    // animation, or -1 while it has not passed it; the time is never wrapped or clamped.
    float advanceAnimation(float dt);

    // The shape tested against the player's bar; shared, not owned.
    void attachCollider(const Collider* collider) { collider_ = collider; }

    float pivotX() const { return pivotX_; }
    float pivotY() const { return pivotY_; }
    float width() const { return width_; }
    float height() const { return height_; }
    float depth() const { return depth_; }
    float radiusUnit() const { return radiusUnit_; }
    const Collider* collider() const { return collider_; }
    bool animated() const { return animated_; }
    int32_t animationNumber() const { return animationNumber_; }
    float animationTime() const { return animationTime_; }

private:
    float pivotX_ = 0.0f;
    float pivotY_ = 0.0f;
    float width_ = 0.0f;
    float height_ = 0.0f;
    float depth_ = 0.0f;
    float radiusUnit_ = 1.0f;
    const Collider* collider_ = nullptr;
    bool animated_ = false;
    int32_t animationNumber_ = 0;
    float animationTime_ = 0.0f;
};
