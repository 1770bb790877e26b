#include "game/Game.h"

#include "game/PatternFile.h"
#include "render/Collision.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>

namespace {

constexpr float kCarEntryY = 15.5f;
constexpr float kCarExitY = -15.0f;
constexpr float kRoadSpeed = 15.0f;
constexpr float kBarTurnRate = 90.0f;
constexpr float kPatternLeadTime = 3.0f;

// The lane multiplier's bands, tried in order; the limits are doubles on purpose, so a
// truck x that rounds to one of them as a float falls to a definite side.
struct MultiplierBand {
    double left;
    double right;
    float multiplier;
    float red, green, blue;
};
constexpr MultiplierBand kBands[] = {
    {-1.05, 0.84, 3.0f, 0.0f, 0.0f, 1.0f},
    {-4.37, 4.09, 2.0f, 0.5f, 0.5f, 1.0f},
};
constexpr MultiplierBand kOutsideBands = {0.0, 0.0, 1.0f, 0.9f, 0.9f, 1.0f};

const MultiplierBand& bandFor(float truckX) {
    for (const MultiplierBand& band : kBands) {
        if (band.left < truckX && truckX < band.right) {
            return band;
        }
    }
    return kOutsideBands;
}

}  // namespace

Game::Game() = default;

Game::~Game() = default;

bool Game::init() {
    input_.releaseAll();
    run_.mode = Mode::Normal;
    run_.difficulty = Difficulty::Hard;
    if (!assets_.load()) {
        return false;
    }
    assets_.cameraRig().setCamera(&worldCamera_);

    background_.place(0, 0, -10, &assets_.mesh(MeshId::Background), &assets_.texture(TextureId::Grass),
                      &worldCamera_);
    background_.setSize(200, 800, 1);
    background_.setPivot(0.5f, 0.5f);

    restart();
    playerController_.position = &truck_.x;

    const Hud::Assets hudAssets{&assets_.texture(TextureId::Font), &assets_.mesh(MeshId::Quad),
                                &assets_.texture(TextureId::Heart), &assets_.texture(TextureId::Title),
                                &screenCamera_};
    hud_.init(hudAssets, run_.mode, run_.difficulty);
    bestScores_.init(&assets_.texture(TextureId::Font), &screenCamera_);
    assets_.shader(ShaderId::GameOver).use();

    // The title screen plays random patterns only; the script is read again at the first start.
    run_.running = false;
    spawnQueue_.clear();

    setIdentity(screenCamera_.modelView());
    return true;
}

void Game::resize(int width, int height) {
    glViewport(0, 0, width, height);
    worldCamera_.resetProjection();
    screenCamera_.resetProjection();
    worldCamera_.setOrthographic(-24, 24, -13.5f, 13.5f, 1, 1000);
    screenCamera_.setOrthographic(0, 1280, 0, 720, 1, 1000);
}

void Game::releaseTextures() { assets_.releaseTextures(); }

void Game::loadPatterns(const char* path) {
    PatternFile::load(path, run_.startClock(), spawnQueue_, patterns_);
    // A drawn pattern is copied into the queue in place; room for the longest one now keeps
    // every draw during play free of allocation, however short the scripted list was.
    std::size_t longest = 0;
    for (const CarPattern& pattern : patterns_) {
        longest = std::max(longest, pattern.size());
    }
    spawnQueue_.reserve(longest);
}

void Game::restart() {
    Mesh* quad = &assets_.mesh(MeshId::Quad);
    truck_.place(0, 0, -2, quad, &assets_.texture(TextureId::Truck), &worldCamera_);
    truck_.setSize(2.55f, 7, 1);
    truck_.setPivot(0.5f, 0.5f);

    bar_.place(0, 0, -1, quad, &assets_.texture(TextureId::Wall), &worldCamera_);
    bar_.setSize(0.5f, 13, 1);
    bar_.setPivot(0.5f, 0.5f);
    bar_.attachCollider(&assets_.quadCollider());

    loadPatterns(assetPath(AssetKind::Traffic));

    std::srand(static_cast<unsigned>(std::time(nullptr)));
    for (EnemyCar& car : carSlots_) {
        int colour = std::rand() % 4;
        car.speed = 7.0f;
        car.body.place(0, 13, -1, &assets_.carMesh(colour), &assets_.texture(TextureId::WhitePixel),
                       &worldCamera_);
        car.body.setSize(2.4f, 4, 1);
        car.body.setPivot(0.5f, 0.5f);
        car.body.attachCollider(&assets_.quadCollider());
        car.active = false;
    }

    background_.y = 50;
    run_.start();
    bestScores_.clearNewBest();
}

void Game::restartFromKey() {
    restart();
    assets_.shader(ShaderId::Basic).use();
    events_.add(GameEvent::Started);
}

// At most one key action a frame, F2 before F1 before SPACE: the first that fires
// zeroes toggleTimer and the later tests fail.
void Game::handleKeyActions() {
    if (input_.isDown(GameKey::F2) && run_.keyActionAllowed()) {
        run_.toggleMode();
        hud_.showMode(run_.mode);
        bestScores_.select(run_.mode, run_.difficulty);
        events_.add(GameEvent::SwitchedMode);
        if (run_.running) {
            restartFromKey();
        } else {
            run_.toggleTimer = 0;
        }
    }
    if (input_.isDown(GameKey::F1) && run_.keyActionAllowed()) {
        run_.toggleDifficulty();
        hud_.showDifficulty(run_.difficulty);
        bestScores_.select(run_.mode, run_.difficulty);
        events_.add(GameEvent::SwitchedDifficulty);
        if (run_.running) {
            restartFromKey();
        } else {
            run_.toggleTimer = 0;
        }
    }
    if (run_.running) {
        playerController_.left = input_.isDown(GameKey::Left);
        playerController_.right = input_.isDown(GameKey::Right);
        playerController_.up = input_.isDown(GameKey::Up);
        playerController_.down = input_.isDown(GameKey::Down);
    }
    if (input_.isDown(GameKey::Space) && run_.keyActionAllowed()) {
        restartFromKey();
    }
}

// The bar is tested where the previous frame left it. A hit starts a recovery, so the
// remaining cars of the pass no longer count: at most one life goes per frame.
void Game::testBarAgainstCars() {
    float angle = static_cast<float>(bar_.rotation() * kDegreesToRadians);
    float s = std::sin(angle);
    float c = std::cos(angle);
    Vec2 bottom = localToWorld(bar_, 0.5f, 0.0f, s, c);
    Vec2 top = localToWorld(bar_, 0.5f, 1.0f, s, c);
    for (EnemyCar& car : carSlots_) {
        if (!car.active || !run_.vulnerable() ||
            !segmentHitsCollider(car.body, top.x, top.y, bottom.x, bottom.y)) {
            continue;
        }
        run_.touch();
        assets_.shader(ShaderId::GameOver).use();
        events_.add(GameEvent::Hit);
        events_.add(run_.gameOver ? GameEvent::GameOver : GameEvent::LifeLost);
    }
}

void Game::spawnCars() {
    if (spawnQueue_.empty()) {
        if (patterns_.empty()) {
            return;
        }
        const CarPattern& pattern =
            patterns_[static_cast<unsigned>(std::rand()) % static_cast<unsigned>(patterns_.size())];
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
        freeSlot->body.x = spawn.x;
        freeSlot->body.y = kCarEntryY;
        freeSlot->speed = spawn.speed;
        freeSlot->active = true;
        spawnQueue_.erase(spawnQueue_.begin());
    }
}

void Game::moveCars(float dt) {
    for (EnemyCar& car : carSlots_) {
        if (car.active) {
            car.body.y = car.body.y - dt * car.speed;
            if (car.body.y < kCarExitY) {
                car.active = false;
            }
        }
    }
}

void Game::update(float dt) {
    events_.clear();
    handleKeyActions();
    if (run_.gameOver) {
        return;
    }
    hud_.showDistance(run_.distance);

    if (run_.vulnerable() && run_.running) {
        testBarAgainstCars();
    }
    const float frameTime = dt;
    // After a start or a hit the game is safe for two seconds and slowed during the first.
    if (!run_.vulnerable() && run_.running) {
        dt = run_.recover(dt);
        if (run_.vulnerable()) {
            assets_.shader(ShaderId::Basic).use();
        }
    }

    bar_.x = playerController_.position[0];
    bar_.y = playerController_.position[1];
    bar_.setRotation(run_.runClock * kBarTurnRate);

    spawnCars();
    moveCars(dt);

    float h = dt * kRoadSpeed;
    scrollSpeed_ = h / frameTime;
    background_.y -= h;
    if (run_.advanceRoad(h)) {
        background_.y += RunState::kScrollWrapBy;
    }

    const MultiplierBand& band = bandFor(truck_.x);
    run_.multiplier = band.multiplier;
    run_.score += h * run_.multiplier;
    hud_.showMultiplierAndScore(run_.multiplier, band.red, band.green, band.blue, run_.score);
    // The run is credited with the score its HUD shows at game over, in whole points.
    if (events_.has(GameEvent::GameOver) && bestScores_.offer(static_cast<int>(run_.score))) {
        events_.add(GameEvent::NewBest);
    }

    run_.runClock += dt;
    run_.toggleTimer += dt;
    playerController_.step(dt);
}

void Game::render() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    setIdentity(worldCamera_.modelView());
    translate(worldCamera_.modelView(), 0, -run_.scroll, -10);

    // The grass never hides what is drawn after it.
    glDepthMask(GL_FALSE);
    background_.draw();
    glDepthMask(GL_TRUE);

    if (run_.running) {
        truck_.draw();
        bar_.draw();
    }
    for (EnemyCar& car : carSlots_) {
        if (car.active) {
            car.body.draw();
        }
    }
    road_.draw(worldCamera_, assets_.texture(TextureId::Road));

    // The HUD goes on top of everything, whatever its depth.
    glDisable(GL_DEPTH_TEST);
    hud_.draw(run_.running, run_.lives);
    if (!run_.running || run_.gameOver) {
        bestScores_.draw();
    }
    glEnable(GL_DEPTH_TEST);
}
