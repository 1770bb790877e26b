#pragma once

// The fixture of the game's presentation tests: the real game on a headless OpenGL
// context, with the keyboard and the clock in the test's hands. (The rules alone are
// tested headless, in tests/sim.)
#include "game/Game.h"
#include "sim/InputScript.h"
#include "render/GlEntryPoints.h"

#include "support/HeadlessGl.h"
#include "support/ScratchDataFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

// Reads a text's string back from its glyph quads' texture coordinates.
inline std::string shown(const Text& text) {
    const Mesh& mesh = text.mesh();
    std::string result;
    for (uint32_t k = 0; k < mesh.indexCount() / 6; ++k) {
        float u0 = mesh.uvs()[8 * k];
        float vTop = mesh.uvs()[8 * k + 3];
        int column = static_cast<int>(u0 / 0.0625f + 0.5f);
        int row = static_cast<int>((1.0f - vTop) / 0.0625f + 0.5f);
        result += static_cast<char>(row * 16 + column);
    }
    return result;
}

inline GLuint currentProgram() {
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    return static_cast<GLuint>(program);
}

// A game whose data folder is the real one except for the traffic file, which each test
// writes itself. The game reads "data/..." from the working directory.
class GameRules : public testing::Test {
protected:
    void SetUp() override {
        REQUIRE_GL();
        data_.emplace(testing::UnitTest::GetInstance()->current_test_info()->name());
        writeTraffic(R"({"cars": [], "patterns": [[{"x": 0, "speed": 7, "time": 0}]]})");
        game_ = std::make_unique<Game>();
        game_->resize(1280, 720);
        ASSERT_TRUE(game_->init());
    }

    void TearDown() override {
        if (game_) {
            game_->releaseTextures();
            game_.reset();
        }
        data_.reset();
    }

    void writeTraffic(const std::string& json) { data_->write("data/cars.json", json); }

    void frames(int count, float dt = 1.0f / 60.0f) {
        for (int i = 0; i < count; ++i) {
            game_->update(dt);
        }
    }

    void hold(GameKey key, bool down = true) { game_->input().hold(key, down); }

    // Plays a script of keys, one update per frame, until its last step.
    void play(InputScript script, float dt = 1.0f / 60.0f) {
        while (script.play(game_->input())) {
            game_->update(dt);
        }
    }

    // Holds a key for one frame after the key gap has passed.
    void press(GameKey key) { play({{70, {key}}, {71, {}}}); }

    // Starts a run and lets the two safe seconds pass.
    void startAndRecover() {
        press(GameKey::Space);
        frames(150);
        ASSERT_GE(game_->recoveryTime(), 2.0f);
    }

    // Parks car slot i across the truck so the bar must touch it.
    void parkCarOnTruck(int slot) {
        Simulation& sim = game_->simulation();
        EnemyCar& car = sim.carSlot(slot);
        car.active = true;
        car.speed = 0.0f;
        car.x = sim.truck().x;
        car.y = sim.truck().y;
    }

    Game& game() { return *game_; }

    std::optional<ScratchDataFolder> data_;
    std::unique_ptr<Game> game_;
};
