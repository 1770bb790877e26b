#pragma once

// The fixture of the rules' tests: the simulation alone, headless, on the project's content
// except for the traffic file, which each test writes itself; the keys and the ticks in
// the test's hands.
#include "sim/InputScript.h"
#include "sim/Simulation.h"

#include "support/ScratchDataFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

// Ticks in so many seconds of play.
inline constexpr int ticksIn(double seconds) { return static_cast<int>(seconds * Simulation::kTickRate + 0.5); }

class SimRules : public testing::Test {
protected:
    void SetUp() override {
        data_.emplace(std::string("sim-") + testing::UnitTest::GetInstance()->current_test_info()->name());
        writeTraffic(R"({"cars": [], "patterns": [[{"x": 0, "speed": 7, "time": 0}]]})");
        sim_.setNextSeed(1234);
        sim_.init();
    }

    void TearDown() override { data_.reset(); }

    void writeTraffic(const std::string& json) { data_->write("data/cars.json", json); }

    void ticks(int count) {
        for (int i = 0; i < count; ++i) {
            sim_.tick(input_);
        }
    }

    void hold(GameKey key, bool down = true) { input_.hold(key, down); }

    // Plays a script of keys, one tick per step, until its last step.
    void play(InputScript script) {
        while (script.play(input_)) {
            sim_.tick(input_);
        }
    }

    // Holds a key for one tick after the key gap has passed.
    void press(GameKey key) { play({{ticksIn(1.0) + 40, {key}}, {ticksIn(1.0) + 41, {}}}); }

    // Starts a run and lets the two safe seconds pass.
    void startAndRecover() {
        press(GameKey::Space);
        ticks(ticksIn(2.5));
        ASSERT_GE(sim_.run().recoveryTime, 2.0f);
    }

    // Parks car slot i across the truck so the bar must touch it.
    void parkCarOnTruck(int slot) {
        EnemyCar& car = sim_.carSlot(slot);
        car.active = true;
        car.speed = 0.0f;
        car.x = sim_.truck().x;
        car.y = sim_.truck().y;
    }

    std::optional<ScratchDataFolder> data_;
    Simulation sim_;
    GameInput input_;
};
