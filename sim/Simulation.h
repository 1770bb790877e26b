#pragma once

#include "control/PlayerController.h"
#include "math/PlacedCollider.h"
#include "math/Vec2.h"
#include "sim/CarSpawn.h"
#include "sim/EnemyCar.h"
#include "sim/GameEvents.h"
#include "sim/GameInput.h"
#include "sim/Random.h"
#include "sim/RunStart.h"
#include "sim/RunState.h"
#include "sim/SimContent.h"

#include <cstdint>
#include <string>
#include <vector>

// Which of the two shader programs the rules have made current: the basic one, or the
// sepia game-over one of the title screen, the recovery after a hit and the game over.
enum class Shading { Basic, GameOver };

// The rules of the whole game, title screen and runs, as a headless simulation advanced in
// fixed ticks: the run state, the truck and its turning bar, the 30 car slots, the spawn
// queue and the pattern pool, the PlayerController, the collisions, the key actions and
// the run's own generator. No drawing, no clock, no platform: a run is a pure function of
// its RunStart, its content and the inputs of its ticks, and gives the same bits on every
// platform. The game draws what it holds. It never moves after construction: the
// PlayerController points into it.
class Simulation {
public:
    // Ticks a second: divides 30, 60, 120 and 240 frames a second evenly, turns the bar
    // 0.375 degrees a tick.
    static constexpr int kTickRate = 240;
    static constexpr float kTickSeconds = 1.0f / kTickRate;
    static constexpr int kCarSlots = 30;
    static constexpr float kRoadSpeed = 15.0f;
    static constexpr float kCarEntryY = 15.5f;
    static constexpr float kCarExitY = -15.0f;
    static constexpr float kBarTurnRate = 90.0f;
    static constexpr float kPatternLeadTime = 3.0f;
    static constexpr float kBarWidth = 0.5f;
    static constexpr float kBarLength = 13.0f;
    static constexpr float kCarWidth = 2.4f;
    static constexpr float kCarLength = 4.0f;

    Simulation();
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;

    // Loads the content and shows the title screen: NORMAL, HARD, random patterns only.
    // The traffic file is read again at every start of a run.
    bool init(const std::string& trafficPath = SimContent::kTrafficPath,
              const std::string& colliderPath = SimContent::kColliderPath);
    // One fixed step of the rules with the keys held in it.
    void tick(const GameInput& input);
    // Starts a run in the chosen mode and difficulty with the next seed.
    void restart();

    // The seed of the next run to start; a local game draws them, a ranked run is given one.
    void setNextSeed(std::uint32_t seed) { nextSeed_ = seed; }
    std::uint32_t nextSeed() const { return nextSeed_; }
    // How the current run started.
    const RunStart& runStart() const { return runStart_; }
    // Re-creates a run from its start on the given content, and runs the rest of its start
    // tick: the state is then the one the live run had after that tick, and one tick()
    // per later recorded tick follows it bit for bit. The traffic is not read again at
    // later starts: the content stays the one given.
    void startReplay(const RunStart& start, const SimContent& content);
    // FNV-1a 64 over the bits of every value of the rules' state.
    std::uint64_t stateHash() const;

    // What the last tick did.
    const GameEvents& events() const { return events_; }
    // Ticks of play since the current run started, its start tick included; the title
    // screen counts too, and the ticks after a game over do not.
    std::int64_t runTicks() const { return runTicks_; }

    RunState& run() { return run_; }
    const RunState& run() const { return run_; }
    Vec2& truck() { return truck_; }
    const Vec2& truck() const { return truck_; }
    // The bar's position, rotation (degrees), size and collider.
    PlacedCollider& bar() { return bar_; }
    const PlacedCollider& bar() const { return bar_; }
    EnemyCar& carSlot(int index) { return carSlots_[index]; }
    const EnemyCar& carSlot(int index) const { return carSlots_[index]; }
    const std::vector<CarSpawn>& spawnQueue() const { return spawnQueue_; }
    const std::vector<CarPattern>& patterns() const { return patterns_; }
    const PlayerController& playerController() const { return playerController_; }
    const SimContent& content() const { return content_; }
    const Random& random() const { return random_; }
    // The grass's y: it scrolls with the road and jumps back with it.
    float backgroundY() const { return backgroundY_; }
    void setBackgroundY(float y) { backgroundY_ = y; }
    // The distance as the HUD shows it: from before the last tick's travel.
    float shownDistance() const { return shownDistance_; }
    Shading shading() const { return shading_; }
    // How fast the road moved in the last tick, in world units per second.
    float scrollSpeed() const { return scrollSpeed_; }

    // The placed collider of a car slot, as the bar is tested against it.
    PlacedCollider carShape(int index) const;

private:
    // At most one key action a tick; true when it started a run.
    bool handleKeyActions(const GameInput& input);
    void restartFromKey();
    // The tick after its key handling.
    void advance();
    void testBarAgainstCars();
    void spawnCars();
    void moveCars(float dt);
    void loadPatterns();

    RunState run_;
    Vec2 truck_;
    PlayerController playerController_;
    PlacedCollider bar_;
    EnemyCar carSlots_[kCarSlots];
    std::vector<CarSpawn> spawnQueue_;
    std::vector<CarPattern> patterns_;
    SimContent content_;
    bool rereadTraffic_ = true;
    Random random_;
    std::uint32_t nextSeed_ = 0;
    RunStart runStart_;
    GameEvents events_;
    std::int64_t runTicks_ = 0;
    float backgroundY_ = 0.0f;
    float shownDistance_ = 0.0f;
    Shading shading_ = Shading::GameOver;
    float scrollSpeed_ = 0.0f;
};
