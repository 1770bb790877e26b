#pragma once

#include "control/CameraRig.h"
#include "control/PlayerController.h"
#include "game/CarSpawn.h"
#include "game/EnemyCar.h"
#include "game/GameInput.h"
#include "math/Camera.h"
#include "math/Collider.h"
#include "render/Mesh.h"
#include "render/Road.h"
#include "render/ShaderProgram.h"
#include "render/Sprite.h"
#include "render/Text.h"
#include "render/Texture.h"

#include <vector>

// The whole game: every asset and drawable, the truck and its turning bar, the 30
// enemy-car slots, the traffic script and the run state. Built before the window
// exists, loaded by init once OpenGL is up, then driven by update and render each frame.
// It never moves after construction: its drawables point into it.
class Game {
public:
    static constexpr int kCarSlots = 30;

    Game();
    ~Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // The keys the next update sees: filled by the shell from the platform before each
    // update, or by a test. init releases them all.
    GameInput& input() { return input_; }

    // Loads every asset and shows the title screen. False when a mesh cannot be loaded,
    // since drawing it would be garbage; other faulty files are reported and played around.
    bool init();
    // The window's client size changed; the picture stretches, the projections stay.
    void resize(int width, int height);
    void update(float dt);
    void render();
    // Starts a run: places the truck, the bar and the car slots, rereads the traffic file.
    void restart();
    void releaseTextures();

    // Read by the HUD, the tests and the tools.
    bool running() const { return running_; }
    bool gameOver() const { return gameOver_; }
    int lives() const { return lives_; }
    int extraLives() const { return extraLives_; }
    float startClock() const { return startClock_; }
    float runClock() const { return runClock_; }
    float recoveryTime() const { return recoveryTime_; }
    float toggleTimer() const { return toggleTimer_; }
    float scroll() const { return scroll_; }
    float distance() const { return distance_; }
    float score() const { return score_; }
    float multiplier() const { return multiplier_; }
    const std::vector<CarSpawn>& spawnQueue() const { return spawnQueue_; }
    const std::vector<CarPattern>& patterns() const { return patterns_; }
    const ShaderProgram& basicShader() const { return basicShader_; }
    const ShaderProgram& gameOverShader() const { return gameOverShader_; }
    const Text& modeText() const { return modeText_; }
    const Text& f1Prompt() const { return f1Prompt_; }
    const Text& f2Prompt() const { return f2Prompt_; }
    const Text& distanceText() const { return distanceText_; }
    const Text& multiplierText() const { return multiplierText_; }
    const Text& scoreText() const { return scoreText_; }

    // The scene's movable pieces, open so tests and tools can set a scene up.
    Sprite& truck() { return truck_; }
    Sprite& bar() { return bar_; }
    Sprite& background() { return background_; }
    EnemyCar& carSlot(int index) { return carSlots_[index]; }
    Camera& worldCamera() { return worldCamera_; }

private:
    void handleKeyActions();
    void testBarAgainstCars();
    void recover(float& dt);
    void spawnCars();
    void updateHud();
    void loadPatterns(const char* path);

    GameInput input_;
    Texture fontTexture_;
    Texture roadTexture_;
    Text distanceText_;
    Text multiplierText_;
    Text scoreText_;
    Text modeText_;
    Text startPrompt_;
    Text f2Prompt_;
    Text f1Prompt_;
    Camera worldCamera_;
    Camera screenCamera_;
    CameraRig cameraRig_;
    PlayerController playerController_;
    Sprite truck_;
    Sprite bar_;
    Sprite background_;
    Sprite heart_;
    Sprite title_;
    Collider quadCollider_;
    Texture wallTexture_;
    Texture truckTexture_;
    Texture grassTexture_;
    Texture whitePixelTexture_;
    Texture heartTexture_;
    Texture titleTexture_;
    Mesh quadMesh_;
    Mesh carMeshes_[4];
    Mesh backgroundMesh_;
    Road road_;
    ShaderProgram basicShader_;
    ShaderProgram gameOverShader_;
    float runClock_ = 0.0f;
    EnemyCar carSlots_[kCarSlots];
    std::vector<CarSpawn> spawnQueue_;
    std::vector<CarPattern> patterns_;
    float scroll_ = 0.0f;
    float distance_ = 0.0f;
    float score_ = 0.0f;
    float toggleTimer_ = 0.0f;
    bool gameOver_ = false;
    float multiplier_ = 0.0f;
    float startClock_ = 0.0f;
    int extraLives_ = 0;
    int lives_ = 0;
    float recoveryTime_ = 0.0f;
    bool running_ = false;
};
