#include "sim/Simulation.h"

#include "io/Fnv1a.h"
#include "math/Matrix4.h"
#include "math/Trig.h"
#include "sim/PatternFile.h"

#include <algorithm>

namespace {

// The lane multiplier's bands, tried in order; the limits are doubles on purpose, so a
// truck x that rounds to one of them as a float falls to a definite side.
struct MultiplierBand {
    double left;
    double right;
    float multiplier;
};
constexpr MultiplierBand kBands[] = {
    {-1.05, 0.84, 3.0f},
    {-4.37, 4.09, 2.0f},
};
constexpr float kOutsideBands = 1.0f;

float multiplierFor(float truckX) {
    for (const MultiplierBand& band : kBands) {
        if (band.left < truckX && truckX < band.right) {
            return band.multiplier;
        }
    }
    return kOutsideBands;
}

}  // namespace

Simulation::Simulation() { playerController_.position = &truck_; }

bool Simulation::init(const std::string& trafficPath, const std::string& colliderPath) {
    const bool collider = content_.loadCollider(colliderPath);
    content_.setTrafficPath(trafficPath);
    rereadTraffic_ = true;
    run_.mode = Mode::Normal;
    run_.difficulty = Difficulty::Hard;
    restart();
    // The title screen plays random patterns only; the script is read again at the first start.
    run_.running = false;
    spawnQueue_.clear();
    shading_ = Shading::GameOver;
    return collider && content_.trafficRead();
}

void Simulation::loadPatterns() {
    if (rereadTraffic_) {
        content_.reloadTraffic();
    }
    // A run is made from its start and its content alone: nothing of the previous run's
    // lists carries over, even when the file lacks one of them.
    spawnQueue_.clear();
    patterns_.clear();
    if (content_.trafficRead()) {
        PatternFile::loadText(content_.trafficBytes(), content_.trafficPath(), run_.startClock(), spawnQueue_,
                              patterns_);
    }
    // A drawn pattern is copied into the queue in place; room for the longest one now keeps
    // every draw during play free of allocation, however short the scripted list was.
    std::size_t longest = 0;
    for (const CarPattern& pattern : patterns_) {
        longest = std::max(longest, pattern.size());
    }
    spawnQueue_.reserve(longest);
}

void Simulation::restart() {
    truck_ = Vec2(0.0f, 0.0f);

    bar_ = PlacedCollider();
    bar_.width = kBarWidth;
    bar_.height = kBarLength;
    bar_.pivotX = 0.5f;
    bar_.pivotY = 0.5f;
    bar_.radiusUnit = std::min(kBarWidth, kBarLength) / 2.0f;
    bar_.collider = &content_.collider();

    loadPatterns();

    random_.seed(nextSeed_);
    for (EnemyCar& car : carSlots_) {
        car.colour = static_cast<int>(random_.below(4));
        car.speed = 7.0f;
        car.x = 0.0f;
        car.y = 13.0f;
        car.active = false;
    }

    backgroundY_ = 50.0f;
    run_.start();
    runTicks_ = 0;
    runStart_ = RunStart{nextSeed_,
                         run_.mode,
                         run_.difficulty,
                         playerController_.left,
                         playerController_.right,
                         playerController_.up,
                         playerController_.down};
}

void Simulation::restartFromKey() {
    restart();
    shading_ = Shading::Basic;
    events_.add(GameEvent::Started);
}

// At most one key action a tick, F2 before F1 before SPACE: the first that fires zeroes
// toggleTimer and the later tests fail.
bool Simulation::handleKeyActions(const GameInput& input) {
    if (input.isDown(GameKey::F2) && run_.keyActionAllowed()) {
        run_.toggleMode();
        events_.add(GameEvent::SwitchedMode);
        if (run_.running) {
            restartFromKey();
        } else {
            run_.toggleTimer = 0;
        }
    }
    if (input.isDown(GameKey::F1) && run_.keyActionAllowed()) {
        run_.toggleDifficulty();
        events_.add(GameEvent::SwitchedDifficulty);
        if (run_.running) {
            restartFromKey();
        } else {
            run_.toggleTimer = 0;
        }
    }
    if (run_.running) {
        playerController_.left = input.isDown(GameKey::Left);
        playerController_.right = input.isDown(GameKey::Right);
        playerController_.up = input.isDown(GameKey::Up);
        playerController_.down = input.isDown(GameKey::Down);
    }
    if (input.isDown(GameKey::Space) && run_.keyActionAllowed()) {
        restartFromKey();
    }
    return events_.has(GameEvent::Started);
}

void Simulation::tick(const GameInput& input) {
    events_.clear();
    if (handleKeyActions(input)) {
        // A switch restarts before the arrows are copied: the run starts with them as they
        // stand now.
        runStart_.left = playerController_.left;
        runStart_.right = playerController_.right;
        runStart_.up = playerController_.up;
        runStart_.down = playerController_.down;
    }
    advance();
}

void Simulation::startReplay(const RunStart& start, const SimContent& content) {
    content_ = content;
    rereadTraffic_ = false;
    events_.clear();
    run_.mode = start.mode;
    run_.difficulty = start.difficulty;
    nextSeed_ = start.seed;
    playerController_.left = start.left;
    playerController_.right = start.right;
    playerController_.up = start.up;
    playerController_.down = start.down;
    restartFromKey();
    advance();
}

PlacedCollider Simulation::carShape(int index) const {
    const EnemyCar& car = carSlots_[index];
    PlacedCollider shape;
    shape.x = car.x;
    shape.y = car.y;
    shape.width = kCarWidth;
    shape.height = kCarLength;
    shape.pivotX = 0.5f;
    shape.pivotY = 0.5f;
    shape.radiusUnit = std::min(kCarWidth, kCarLength) / 2.0f;
    shape.collider = &content_.collider();
    return shape;
}

// The bar is tested where the previous tick left it. A hit starts a recovery, so the
// remaining cars of the pass no longer count: at most one life goes per tick.
void Simulation::testBarAgainstCars() {
    const float angle = static_cast<float>(bar_.rotation * kDegreesToRadians);
    const float s = Trig::sin(angle);
    const float c = Trig::cos(angle);
    const Vec2 bottom = bar_.localToWorld(0.5f, 0.0f, s, c);
    const Vec2 top = bar_.localToWorld(0.5f, 1.0f, s, c);
    for (int i = 0; i < kCarSlots; ++i) {
        if (!carSlots_[i].active || !run_.vulnerable() || !carShape(i).hitBySegment(top.x, top.y, bottom.x, bottom.y)) {
            continue;
        }
        run_.touch();
        shading_ = Shading::GameOver;
        events_.add(GameEvent::Hit);
        events_.add(run_.gameOver ? GameEvent::GameOver : GameEvent::LifeLost);
    }
}

void Simulation::spawnCars() {
    if (spawnQueue_.empty()) {
        if (patterns_.empty()) {
            return;
        }
        const CarPattern& pattern = patterns_[random_.below(static_cast<std::uint32_t>(patterns_.size()))];
        spawnQueue_.assign(pattern.begin(), pattern.end());
        for (CarSpawn& spawn : spawnQueue_) {
            spawn.time = spawn.time + run_.runClock + kPatternLeadTime;
        }
        return;
    }
    while (!spawnQueue_.empty() && run_.runClock > spawnQueue_.front().time) {
        EnemyCar* freeSlot = nullptr;
        for (EnemyCar& car : carSlots_) {
            if (!car.active) {
                freeSlot = &car;
                break;
            }
        }
        // With every slot on the road the entry waits at the head of the queue.
        if (freeSlot == nullptr) {
            return;
        }
        const CarSpawn& spawn = spawnQueue_.front();
        freeSlot->x = spawn.x;
        freeSlot->y = kCarEntryY;
        freeSlot->speed = spawn.speed;
        freeSlot->active = true;
        spawnQueue_.erase(spawnQueue_.begin());
    }
}

void Simulation::moveCars(float dt) {
    for (EnemyCar& car : carSlots_) {
        if (car.active) {
            car.y = car.y - dt * car.speed;
            if (car.y < kCarExitY) {
                car.active = false;
            }
        }
    }
}

void Simulation::advance() {
    if (run_.gameOver) {
        return;
    }
    ++runTicks_;
    shownDistance_ = run_.distance;

    if (run_.vulnerable() && run_.running) {
        testBarAgainstCars();
    }
    float dt = kTickSeconds;
    // After a start or a hit the game is safe for two seconds and slowed during the first.
    if (!run_.vulnerable() && run_.running) {
        dt = run_.recover(dt);
        if (run_.vulnerable()) {
            shading_ = Shading::Basic;
        }
    }

    bar_.x = truck_.x;
    bar_.y = truck_.y;
    bar_.rotation = run_.runClock * kBarTurnRate;

    spawnCars();
    moveCars(dt);

    const float h = dt * kRoadSpeed;
    scrollSpeed_ = h / kTickSeconds;
    backgroundY_ -= h;
    if (run_.advanceRoad(h)) {
        backgroundY_ += RunState::kScrollWrapBy;
    }

    run_.multiplier = multiplierFor(truck_.x);
    run_.score += h * run_.multiplier;

    run_.runClock += dt;
    run_.toggleTimer += dt;
    playerController_.step(dt);
}

std::uint64_t Simulation::stateHash() const {
    Fnv1a hash;
    hash.addInt(static_cast<std::int32_t>(run_.mode));
    hash.addInt(static_cast<std::int32_t>(run_.difficulty));
    hash.addBool(run_.running);
    hash.addBool(run_.gameOver);
    hash.addInt(run_.lives);
    for (float value : {run_.runClock, run_.recoveryTime, run_.toggleTimer, run_.scroll, run_.distance, run_.score,
                        run_.multiplier}) {
        hash.addFloat(value);
    }
    hash.addFloat(truck_.x);
    hash.addFloat(truck_.y);
    const PlayerController& pc = playerController_;
    for (bool flag : {pc.up, pc.down, pc.left, pc.right}) {
        hash.addBool(flag);
    }
    for (float value : {pc.directionX, pc.directionY, pc.currentSpeed, pc.speed}) {
        hash.addFloat(value);
    }
    for (float value : {bar_.x, bar_.y, bar_.rotation}) {
        hash.addFloat(value);
    }
    for (const EnemyCar& car : carSlots_) {
        hash.addFloat(car.x);
        hash.addFloat(car.y);
        hash.addFloat(car.speed);
        hash.addBool(car.active);
        hash.addInt(car.colour);
    }
    auto addSpawns = [&hash](const std::vector<CarSpawn>& spawns) {
        hash.addU64(spawns.size());
        for (const CarSpawn& spawn : spawns) {
            hash.addFloat(spawn.x);
            hash.addFloat(spawn.speed);
            hash.addFloat(spawn.time);
        }
    };
    addSpawns(spawnQueue_);
    hash.addU64(patterns_.size());
    for (const CarPattern& pattern : patterns_) {
        addSpawns(pattern);
    }
    hash.addU64(random_.state());
    hash.addU64(random_.increment());
    hash.addU64(static_cast<std::uint64_t>(runTicks_));
    hash.addFloat(backgroundY_);
    hash.addFloat(shownDistance_);
    hash.addBool(shading_ == Shading::GameOver);
    return hash.value();
}
