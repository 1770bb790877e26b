#include "game/Game.h"

#include "game/PatternFile.h"
#include "render/Collision.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <stdexcept>

namespace {

constexpr const char* kPatternFile = "data/cars.json";

constexpr float kKeyActionGap = 1.0f;
constexpr float kRecoveryWithoutHits = 2.0f;
constexpr float kRecoverySlowStart = 1.0f;
constexpr float kCarEntryY = 15.5f;
constexpr float kCarExitY = -15.0f;
constexpr float kRoadSpeed = 15.0f;
constexpr float kScrollWrapAbove = 600.0f;
constexpr float kScrollWrapBy = 400.0f;
constexpr float kBarTurnRate = 90.0f;
constexpr float kPatternLeadTime = 3.0f;
constexpr float kNormalStartClock = 0.0f;
constexpr float kRandomStartClock = 70.0f;
constexpr int kHardExtraLives = 0;
constexpr int kEasyExtraLives = 3;
constexpr float kHeartFirstX = 80.0f;
constexpr float kHeartSpacing = 60.0f;

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

void loadMesh(Mesh& mesh, const char* path) {
    mesh.load(path);
    mesh.upload();
}

}  // namespace

Game::Game() = default;

Game::~Game() = default;

bool Game::init() {
    // Play never moves the camera along its path, so a faulty path file, which the rig
    // has already reported, does not stop the game.
    cameraRig_.load("data/cam/camversion1");
    cameraRig_.setCamera(&worldCamera_);

    input_.releaseAll();
    startClock_ = kNormalStartClock;
    extraLives_ = kHardExtraLives;

    fontTexture_.load("data/font.bmp.fnt");
    roadTexture_.load("data/road6.png");
    wallTexture_.load("data/paroi.bmp");
    truckTexture_.load("data/truck.bmp");
    grassTexture_.load("data/grass.bmp");
    whitePixelTexture_.load("data/whitepixel.bmp");
    heartTexture_.load("data/heart.png");
    titleTexture_.load("data/title.png");
    for (Texture* texture : {&fontTexture_, &roadTexture_, &wallTexture_, &truckTexture_,
                             &whitePixelTexture_, &grassTexture_, &heartTexture_, &titleTexture_}) {
        texture->upload();
        texture->releasePixels();
    }
    heartTexture_.setSmooth(false);
    wallTexture_.setSmooth(false);
    titleTexture_.setSmooth(false);

    try {
        loadMesh(quadMesh_, "data/quad.json");
        loadMesh(carMeshes_[0], "data/meshes/display/carBlue.json");
        loadMesh(carMeshes_[1], "data/meshes/display/carYellow.json");
        loadMesh(carMeshes_[2], "data/meshes/display/carRed.json");
        loadMesh(carMeshes_[3], "data/meshes/display/carGreen.json");
        loadMesh(backgroundMesh_, "data/quadBackground.json");
    } catch (const std::runtime_error& error) {
        std::cerr << error.what() << std::endl;
        return false;
    }

    // A faulty collider is reported by its loader and left empty: the game plays on, without touches.
    quadCollider_.load("data/meshes/colliders/quadCollider.json");

    background_.place(0, 0, -10, &backgroundMesh_, &grassTexture_, &worldCamera_);
    background_.setSize(200, 800, 1);
    background_.setPivot(0.5f, 0.5f);
    heart_.place(80, 570, -35, &quadMesh_, &heartTexture_, &screenCamera_);
    heart_.setSize(55, 55, 1);
    heart_.setPivot(0.5f, 0.5f);
    title_.place(640, 360, -35, &quadMesh_, &titleTexture_, &screenCamera_);
    title_.setSize(800, 400, 1);
    title_.setPivot(0.5f, 0.5f);

    restart();
    playerController_.position = &truck_.x;

    distanceText_.init("ca marche!", 150, 35, -35, 90, 0, 1, 0, &fontTexture_, &screenCamera_);
    distanceText_.setRotation(90);
    multiplierText_.init("x3", 230, 35, -35, 90, 0, 0, 1, &fontTexture_, &screenCamera_);
    multiplierText_.setRotation(90);
    scoreText_.init("ca marche!", 310, 35, -35, 90, 0, 1, 0, &fontTexture_, &screenCamera_);
    scoreText_.setRotation(90);
    modeText_.init("NORMAL", 40, 620, -35, 40, 0, 0, 0, &fontTexture_, &screenCamera_);
    startPrompt_.init("PRESS SPACE TO START", 150, 35, -35, 50, 0, 0, 0, &fontTexture_,
                      &screenCamera_);
    f1Prompt_.init("PRESS F1 FOR EASY MODE", 80, 450, -35, 30, 0, 0, 0, &fontTexture_,
                   &screenCamera_);
    f1Prompt_.setRotation(20);
    f2Prompt_.init("PRESS F2 FOR RANDOM MODE", 600, 600, -35, 25, 0, 0, 0, &fontTexture_,
                   &screenCamera_);
    f2Prompt_.setRotation(-10);

    basicShader_.load("data/shaders/basic-fixed.vert", "data/shaders/basic-fixed.frag");
    basicShader_.compileAndLink();
    gameOverShader_.load("data/shaders/gameover-fixed.vert", "data/shaders/gameover-fixed.frag");
    gameOverShader_.compileAndLink();
    gameOverShader_.use();

    // The title screen plays random patterns only; the script is read again at the first start.
    running_ = false;
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

void Game::releaseTextures() {
    for (Texture* texture : {&fontTexture_, &roadTexture_, &wallTexture_, &truckTexture_,
                             &grassTexture_, &whitePixelTexture_, &heartTexture_, &titleTexture_}) {
        texture->deleteTexture();
    }
}

void Game::loadPatterns(const char* path) {
    PatternFile::load(path, startClock_, spawnQueue_, patterns_);
    // A drawn pattern is copied into the queue in place; room for the longest one now keeps
    // every draw during play free of allocation, however short the scripted list was.
    std::size_t longest = 0;
    for (const CarPattern& pattern : patterns_) {
        longest = std::max(longest, pattern.size());
    }
    spawnQueue_.reserve(longest);
}

void Game::restart() {
    truck_.place(0, 0, -2, &quadMesh_, &truckTexture_, &worldCamera_);
    truck_.setSize(2.55f, 7, 1);
    truck_.setPivot(0.5f, 0.5f);

    bar_.place(0, 0, -1, &quadMesh_, &wallTexture_, &worldCamera_);
    bar_.setSize(0.5f, 13, 1);
    bar_.setPivot(0.5f, 0.5f);
    bar_.attachCollider(&quadCollider_);

    loadPatterns(kPatternFile);

    std::srand(static_cast<unsigned>(std::time(nullptr)));
    for (EnemyCar& car : carSlots_) {
        int colour = std::rand() % 4;
        car.speed = 7.0f;
        car.body.place(0, 13, -1, &carMeshes_[colour], &whitePixelTexture_, &worldCamera_);
        car.body.setSize(2.4f, 4, 1);
        car.body.setPivot(0.5f, 0.5f);
        car.body.attachCollider(&quadCollider_);
        car.active = false;
    }

    gameOver_ = false;
    runClock_ = startClock_;
    scroll_ = 200;
    distance_ = 0;
    background_.y = 50;
    multiplier_ = 3;
    score_ = 0;
    toggleTimer_ = 0;
    lives_ = extraLives_;
    recoveryTime_ = 0;
    running_ = true;
}

// At most one key action a frame, F2 before F1 before SPACE: the first that fires
// zeroes toggleTimer and the later tests fail.
void Game::handleKeyActions() {
    if (input_.isDown(GameKey::F2) && toggleTimer_ > kKeyActionGap) {
        if (startClock_ > 10.0f) {
            startClock_ = kNormalStartClock;
            modeText_.setString("NORMAL");
            f2Prompt_.setString("PRESS F2 FOR RANDOM MODE");
        } else {
            startClock_ = kRandomStartClock;
            modeText_.setString("RANDOM");
            f2Prompt_.setString("PRESS F2 FOR NORMAL MODE");
        }
        if (running_) {
            restart();
            basicShader_.use();
        } else {
            toggleTimer_ = 0;
        }
    }
    if (input_.isDown(GameKey::F1) && toggleTimer_ > kKeyActionGap) {
        if (extraLives_ == kHardExtraLives) {
            extraLives_ = kEasyExtraLives;
            f1Prompt_.setString("PRESS F1 FOR HARD MODE");
        } else {
            extraLives_ = kHardExtraLives;
            f1Prompt_.setString("PRESS F1 FOR EASY MODE");
        }
        if (running_) {
            restart();
            basicShader_.use();
        } else {
            toggleTimer_ = 0;
        }
    }
    if (running_) {
        playerController_.left = input_.isDown(GameKey::Left);
        playerController_.right = input_.isDown(GameKey::Right);
        playerController_.up = input_.isDown(GameKey::Up);
        playerController_.down = input_.isDown(GameKey::Down);
    }
    if (input_.isDown(GameKey::Space) && toggleTimer_ > kKeyActionGap) {
        restart();
        basicShader_.use();
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
        if (!car.active || recoveryTime_ < kRecoveryWithoutHits ||
            !segmentHitsCollider(car.body, top.x, top.y, bottom.x, bottom.y)) {
            continue;
        }
        if (lives_ > 0) {
            recoveryTime_ = 0;
            gameOverShader_.use();
            --lives_;
        } else {
            gameOver_ = true;
            gameOverShader_.use();
        }
    }
}

// After a start or a hit the game is safe for two seconds and slowed during the first.
void Game::recover(float& dt) {
    recoveryTime_ += dt;
    if (recoveryTime_ >= kRecoveryWithoutHits) {
        basicShader_.use();
    } else if (recoveryTime_ < kRecoverySlowStart) {
        dt *= recoveryTime_;
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
            spawn.time = spawn.time + runClock_ + kPatternLeadTime;
        }
        return;
    }
    while (!spawnQueue_.empty() && runClock_ > spawnQueue_.front().time) {
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

void Game::updateHud() {
    char text[32];
    std::snprintf(text, sizeof text, "x%d", static_cast<int>(multiplier_));
    multiplierText_.setString(text);
    std::snprintf(text, sizeof text, "%d", static_cast<int>(score_));
    scoreText_.setString(text);
}

void Game::update(float dt) {
    handleKeyActions();
    if (gameOver_) {
        return;
    }

    char text[32];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(distance_));
    distanceText_.setString(text);

    if (recoveryTime_ >= kRecoveryWithoutHits && running_) {
        testBarAgainstCars();
    }
    if (recoveryTime_ < kRecoveryWithoutHits && running_) {
        recover(dt);
    }

    bar_.x = playerController_.position[0];
    bar_.y = playerController_.position[1];
    bar_.setRotation(runClock_ * kBarTurnRate);

    spawnCars();

    for (EnemyCar& car : carSlots_) {
        if (car.active) {
            car.body.y = car.body.y - dt * car.speed;
            if (car.body.y < kCarExitY) {
                car.active = false;
            }
        }
    }

    float h = dt * kRoadSpeed;
    scroll_ += h;
    background_.y -= h;
    distance_ += h;
    if (scroll_ > kScrollWrapAbove) {
        scroll_ -= kScrollWrapBy;
        background_.y += kScrollWrapBy;
    }

    const MultiplierBand& band = bandFor(truck_.x);
    multiplier_ = band.multiplier;
    multiplierText_.setColour(band.red, band.green, band.blue);
    score_ += h * multiplier_;
    updateHud();

    runClock_ += dt;
    toggleTimer_ += dt;
    playerController_.step(dt);
}

void Game::render() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    setIdentity(worldCamera_.modelView());
    translate(worldCamera_.modelView(), 0, -scroll_, -10);

    // The grass never hides what is drawn after it.
    glDepthMask(GL_FALSE);
    background_.draw();
    glDepthMask(GL_TRUE);

    if (running_) {
        truck_.draw();
        bar_.draw();
    }
    for (EnemyCar& car : carSlots_) {
        if (car.active) {
            car.body.draw();
        }
    }
    road_.draw(worldCamera_, roadTexture_);

    // The HUD goes on top of everything, whatever its depth.
    glDisable(GL_DEPTH_TEST);
    if (running_) {
        distanceText_.draw();
        multiplierText_.draw();
        scoreText_.draw();
    }
    modeText_.draw();
    heart_.x = kHeartFirstX;
    for (int i = 0; i < lives_; ++i) {
        heart_.draw();
        heart_.x += kHeartSpacing;
    }
    if (!running_) {
        title_.draw();
        startPrompt_.draw();
        f1Prompt_.draw();
        f2Prompt_.draw();
    }
    glEnable(GL_DEPTH_TEST);
}
