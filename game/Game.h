#pragma once

#include "control/PlayerController.h"
#include "game/BestScoreBoard.h"
#include "game/CarSpawn.h"
#include "game/EnemyCar.h"
#include "game/GameAssets.h"
#include "game/GameEvents.h"
#include "game/GameInput.h"
#include "game/Hud.h"
#include "game/RunState.h"
#include "math/Camera.h"
#include "render/Road.h"
#include "render/Sprite.h"

#include <vector>

// The whole game: its assets, the road scene (the truck and its turning bar, the 30
// enemy-car slots, the grass and the road), the traffic script, the HUD and the run state.
// Built before the window exists, loaded by init once OpenGL is up, then driven by update
// and render each frame. It never moves after construction: its drawables point into it.
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

    // What the last update did, for the shell's sound: cleared at the start of every update.
    const GameEvents& events() const { return events_; }
    // How fast the road moved in the last update, in world units per second of real time.
    float scrollSpeed() const { return scrollSpeed_; }
    // The bests shown on the title screen and at game over. A run that beats its own is
    // taken in at game over, with a NewBest event for the shell to store the scores.
    BestScoreBoard& bestScores() { return bestScores_; }
    const BestScoreBoard& bestScores() const { return bestScores_; }

    // Read by the tests, the soak and the benchmarks.
    bool running() const { return run_.running; }
    bool gameOver() const { return run_.gameOver; }
    int lives() const { return run_.lives; }
    Mode mode() const { return run_.mode; }
    Difficulty difficulty() const { return run_.difficulty; }
    float runClock() const { return run_.runClock; }
    float recoveryTime() const { return run_.recoveryTime; }
    float toggleTimer() const { return run_.toggleTimer; }
    float scroll() const { return run_.scroll; }
    float distance() const { return run_.distance; }
    float score() const { return run_.score; }
    float multiplier() const { return run_.multiplier; }
    const std::vector<CarSpawn>& spawnQueue() const { return spawnQueue_; }
    const std::vector<CarPattern>& patterns() const { return patterns_; }
    const ShaderProgram& basicShader() const { return assets_.shader(ShaderId::Basic); }
    const ShaderProgram& gameOverShader() const { return assets_.shader(ShaderId::GameOver); }
    const Hud& hud() const { return hud_; }

    // The scene's movable pieces, open so tests and benchmarks can set a scene up.
    Sprite& truck() { return truck_; }
    Sprite& bar() { return bar_; }
    Sprite& background() { return background_; }
    EnemyCar& carSlot(int index) { return carSlots_[index]; }
    Camera& worldCamera() { return worldCamera_; }

private:
    void handleKeyActions();
    // A key action that starts a fresh run in the basic shader's colours.
    void restartFromKey();
    void testBarAgainstCars();
    void spawnCars();
    void moveCars(float dt);
    void loadPatterns(const char* path);

    GameInput input_;
    GameAssets assets_;
    Hud hud_;
    Camera worldCamera_;
    Camera screenCamera_;
    PlayerController playerController_;
    Sprite truck_;
    Sprite bar_;
    Sprite background_;
    Road road_;
    EnemyCar carSlots_[kCarSlots];
    std::vector<CarSpawn> spawnQueue_;
    std::vector<CarPattern> patterns_;
    RunState run_;
    GameEvents events_;
    float scrollSpeed_ = 0.0f;
    BestScoreBoard bestScores_;
};
