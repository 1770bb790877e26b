#pragma once

#include "sim/Simulation.h"

// Where the moving pieces of the road scene stand after a tick: the truck, the bar, the
// cars, the road's scroll and the grass. The game keeps the last two and draws between
// them by how far real time has moved past the last tick, so motion stays even when the
// frames do not fall on ticks; a jump (a car entering, the scroll wrapping, a restart)
// is drawn where it lands, never smeared across the road.
struct ScenePose {
    float truckX = 0.0f;
    float truckY = 0.0f;
    float barX = 0.0f;
    float barY = 0.0f;
    float barRotation = 0.0f;
    float scroll = 0.0f;
    float backgroundY = 0.0f;
    float carX[Simulation::kCarSlots] = {};
    float carY[Simulation::kCarSlots] = {};
    bool carActive[Simulation::kCarSlots] = {};
    int carColour[Simulation::kCarSlots] = {};

    static ScenePose of(const Simulation& simulation);
    // fraction 0 gives from, 1 gives to.
    static ScenePose between(const ScenePose& from, const ScenePose& to, float fraction);
};
