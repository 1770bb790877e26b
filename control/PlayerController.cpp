#include "PlayerController.h"

void PlayerController::step(float dt) {
    directionX = left ? -1.0f : (right ? 1.0f : 0.0f);
    directionY = down ? -1.0f : (up ? 1.0f : 0.0f);
    currentSpeed = speed;

    float& x = position->x;
    float& y = position->y;
    x = x + (currentSpeed * dt) * directionX;
    y = y + (currentSpeed * dt) * directionY;

    if (x < kMinX) {
        x = kMinX;
    } else if (x > kMaxX) {
        x = kMaxX;
    }
    if (y < kMinY) {
        y = kMinY;
    } else if (y > kMaxY) {
        y = kMaxY;
    }
}
