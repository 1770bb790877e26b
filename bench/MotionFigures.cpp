// How evenly the road moves on screen from frame to frame: the drawn scroll's travel in
// each frame against the ideal (15 units a second times the frame's real time), at 60 and
// 144 frames a second, with steady frames and with frames that wander by up to a tenth.
// Three ways of drawing: the old step of one frame's time (the ideal itself), the last
// tick as it stands, and between the last two ticks as the game draws. Prints figures;
// no limit is checked (the machine is not involved: the frame times are simulated).
#include "game/ScenePose.h"
#include "sim/Random.h"
#include "sim/Simulation.h"
#include "sim/TickClock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

struct Spread {
    double worst = 0.0;  // largest distance from the ideal travel, in units
    double rms = 0.0;
};

Spread spreadOf(const std::vector<double>& errors) {
    Spread spread;
    for (double error : errors) {
        spread.worst = std::max(spread.worst, std::fabs(error));
        spread.rms += error * error;
    }
    spread.rms = std::sqrt(spread.rms / static_cast<double>(errors.size()));
    return spread;
}

// Plays ten seconds of the title screen (the road runs at full speed) at this frame rate.
void measure(int framesPerSecond, float wander) {
    Simulation sim;
    sim.setNextSeed(1);
    sim.init();
    TickClock clock(Simulation::kTickRate);
    Random jitter;
    jitter.seed(7);
    ScenePose previous = ScenePose::of(sim);
    ScenePose current = previous;
    GameInput none;
    // The scroll unwrapped, so a wrap is no jump in the figures.
    auto unwrapped = [](float scroll, double& last, double& offset) {
        if (scroll < last - 100.0) {
            offset += RunState::kScrollWrapBy;
        }
        last = scroll;
        return scroll + offset;
    };
    double lastTick = current.scroll, tickOffset = 0.0, lastDrawn = current.scroll, drawnOffset = 0.0;
    double tickBefore = current.scroll, drawnBefore = current.scroll;
    std::vector<double> tickErrors, drawnErrors;
    for (int frame = 0; frame < framesPerSecond * 10; ++frame) {
        const float shake = wander * (static_cast<float>(jitter.below(2001)) / 1000.0f - 1.0f);
        const float dt = (1.0f + shake) / static_cast<float>(framesPerSecond);
        const int ticks = clock.advance(dt);
        for (int i = 0; i < ticks; ++i) {
            sim.tick(none);
            previous = current;
            current = ScenePose::of(sim);
        }
        const double atTick = unwrapped(current.scroll, lastTick, tickOffset);
        const double drawn =
            unwrapped(ScenePose::between(previous, current, clock.fraction()).scroll, lastDrawn, drawnOffset);
        const double ideal = Simulation::kRoadSpeed * static_cast<double>(dt);
        if (frame > framesPerSecond) {  // after a second, once the clock has settled
            tickErrors.push_back(atTick - tickBefore - ideal);
            drawnErrors.push_back(drawn - drawnBefore - ideal);
        }
        tickBefore = atTick;
        drawnBefore = drawn;
    }
    const Spread atTick = spreadOf(tickErrors);
    const Spread drawn = spreadOf(drawnErrors);
    const double perFrame = Simulation::kRoadSpeed / framesPerSecond;
    // The world camera shows 48 units across 1280 pixels.
    const double pixels = 1280.0 / 48.0;
    std::printf("%4d fps, frames wander %3.0f%%: %.2f px a frame; off the ideal: frame-time step 0 px; "
                "last tick worst %.2f px (%.0f%%) rms %.2f px; between the last two ticks worst %.5f px rms %.5f px\n",
                framesPerSecond, wander * 100.0f, perFrame * pixels, atTick.worst * pixels,
                100.0 * atTick.worst / perFrame, atTick.rms * pixels, drawn.worst * pixels, drawn.rms * pixels);
}

}  // namespace

int main() {
    std::printf("Per-frame on-screen travel of the road at %d ticks a second, in screen pixels of a 1280 x 720 window\n",
                Simulation::kTickRate);
    for (int fps : {60, 144}) {
        for (float wander : {0.0f, 0.1f}) {
            measure(fps, wander);
        }
    }
    return 0;
}
