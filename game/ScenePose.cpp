#include "game/ScenePose.h"

namespace {

float mix(float from, float to, float fraction) { return from + (to - from) * fraction; }

}  // namespace

ScenePose ScenePose::of(const Simulation& simulation) {
    ScenePose pose;
    pose.truckX = simulation.truck().x;
    pose.truckY = simulation.truck().y;
    pose.barX = simulation.bar().x;
    pose.barY = simulation.bar().y;
    pose.barRotation = simulation.bar().rotation;
    pose.scroll = simulation.run().scroll;
    pose.backgroundY = simulation.backgroundY();
    for (int i = 0; i < Simulation::kCarSlots; ++i) {
        const EnemyCar& car = simulation.carSlot(i);
        pose.carX[i] = car.x;
        pose.carY[i] = car.y;
        pose.carActive[i] = car.active;
        pose.carColour[i] = car.colour;
    }
    return pose;
}

ScenePose ScenePose::between(const ScenePose& from, const ScenePose& to, float fraction) {
    ScenePose pose = to;
    pose.truckX = mix(from.truckX, to.truckX, fraction);
    pose.truckY = mix(from.truckY, to.truckY, fraction);
    pose.barX = mix(from.barX, to.barX, fraction);
    pose.barY = mix(from.barY, to.barY, fraction);
    pose.barRotation = mix(from.barRotation, to.barRotation, fraction);
    // The road only moves on; a scroll that went back wrapped, and is drawn continuing from
    // where the wrap put the previous one.
    float fromScroll = from.scroll;
    float fromBackground = from.backgroundY;
    if (to.scroll < from.scroll) {
        fromScroll -= RunState::kScrollWrapBy;
        fromBackground += RunState::kScrollWrapBy;
    }
    pose.scroll = mix(fromScroll, to.scroll, fraction);
    pose.backgroundY = mix(fromBackground, to.backgroundY, fraction);
    for (int i = 0; i < Simulation::kCarSlots; ++i) {
        // Cars only drive down: one that is new or higher up has just entered.
        if (from.carActive[i] && to.carActive[i] && to.carY[i] <= from.carY[i]) {
            pose.carX[i] = mix(from.carX[i], to.carX[i], fraction);
            pose.carY[i] = mix(from.carY[i], to.carY[i], fraction);
        }
    }
    return pose;
}
