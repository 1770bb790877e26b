#include "control/PlayerController.h"

#include <gtest/gtest.h>

namespace {

struct Truck {
    Vec2 position;
    PlayerController controller;
    Truck() { controller.position = &position; }
};

}  // namespace

TEST(PlayerController, StartsStillFacingUp) {
    PlayerController controller;
    EXPECT_EQ(controller.speed, 10.0f);
    EXPECT_EQ(controller.directionX, 0.0f);
    EXPECT_EQ(controller.directionY, 1.0f);
    EXPECT_FALSE(controller.up || controller.down || controller.left || controller.right);
}

TEST(PlayerController, NoKeysNoMotionButDirectionsReset) {
    Truck truck;
    truck.position.x = 3;
    truck.controller.step(0.5f);
    EXPECT_EQ(truck.position.x, 3.0f);
    EXPECT_EQ(truck.controller.directionX, 0.0f);
    EXPECT_EQ(truck.controller.directionY, 0.0f);
    EXPECT_EQ(truck.controller.currentSpeed, 10.0f);
}

TEST(PlayerController, LeftBeatsRightAndDownBeatsUp) {
    Truck truck;
    truck.controller.left = truck.controller.right = true;
    truck.controller.up = truck.controller.down = true;
    truck.controller.step(0.1f);
    EXPECT_FLOAT_EQ(truck.position.x, -1.0f);
    EXPECT_FLOAT_EQ(truck.position.y, -1.0f);
    EXPECT_EQ(truck.controller.directionX, -1.0f);
    EXPECT_EQ(truck.controller.directionY, -1.0f);
}

TEST(PlayerController, ClampsOntoTheEdgesWithoutInertia) {
    Truck truck;
    truck.position.x = 8.95f;
    truck.controller.right = true;
    truck.controller.step(0.1f);
    EXPECT_EQ(truck.position.x, 9.0f);

    truck.position.x = -9.0f;
    truck.controller.right = false;
    truck.controller.left = true;
    truck.controller.step(0.1f);
    EXPECT_EQ(truck.position.x, -9.0f);
    truck.controller.left = false;
    truck.controller.right = true;
    truck.controller.step(0.1f);
    EXPECT_FLOAT_EQ(truck.position.x, -8.0f);

    truck.position.y = -20.0f;  // put outside by someone else
    truck.controller.right = false;
    truck.controller.step(0.0f);
    EXPECT_EQ(truck.position.y, -13.0f);
    truck.position.y = 14.0f;
    truck.controller.step(0.0f);
    EXPECT_EQ(truck.position.y, 13.0f);
}

TEST(PlayerController, DiagonalForOneSecondAtSixtyFrames) {
    Truck truck;
    truck.controller.up = truck.controller.right = true;
    for (int frame = 0; frame < 60; ++frame) {
        truck.controller.step(1.0f / 60.0f);
    }
    EXPECT_EQ(truck.position.x, 9.0f);
    EXPECT_NEAR(truck.position.y, 10.0f, 1e-4f);
}
