#include "game/Game.h"

#include <GL/gl.h>

#include <chrono>
#include <random>

namespace {

struct BandColour {
    float red, green, blue;
};

// The multiplier text's colour for x1, x2 and x3.
BandColour colourOf(float multiplier) {
    if (multiplier >= 3.0f) {
        return {0.0f, 0.0f, 1.0f};
    }
    if (multiplier >= 2.0f) {
        return {0.5f, 0.5f, 1.0f};
    }
    return {0.9f, 0.9f, 1.0f};
}

}  // namespace

Game::Game() = default;

Game::~Game() = default;

void Game::drawNextSeed() {
    std::uint32_t seed = 0;
    try {
        std::random_device device;
        seed = device();
    } catch (const std::exception&) {
        // No entropy source: the clock still makes each run differ.
    }
    seed ^= static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    simulation_.setNextSeed(seed);
}

bool Game::init() {
    input_.releaseAll();
    if (!assets_.load()) {
        return false;
    }
    assets_.cameraRig().setCamera(&worldCamera_);

    background_.place(0, 0, -10, &assets_.mesh(MeshId::Background), &assets_.texture(TextureId::Grass),
                      &worldCamera_);
    background_.setSize(200, 800, 1);
    background_.setPivot(0.5f, 0.5f);
    Mesh* quad = &assets_.mesh(MeshId::Quad);
    truck_.place(0, 0, -2, quad, &assets_.texture(TextureId::Truck), &worldCamera_);
    truck_.setSize(2.55f, 7, 1);
    truck_.setPivot(0.5f, 0.5f);
    bar_.place(0, 0, -1, quad, &assets_.texture(TextureId::Wall), &worldCamera_);
    bar_.setSize(Simulation::kBarWidth, Simulation::kBarLength, 1);
    bar_.setPivot(0.5f, 0.5f);

    drawNextSeed();
    simulation_.init(assetPath(AssetKind::Traffic), assetPath(AssetKind::Collider));
    drawNextSeed();
    bestScores_.clearNewBest();

    const Hud::Assets hudAssets{&assets_.texture(TextureId::Font), &assets_.mesh(MeshId::Quad),
                                &assets_.texture(TextureId::Heart), &assets_.texture(TextureId::Title),
                                &screenCamera_};
    hud_.init(hudAssets, simulation_.run().mode, simulation_.run().difficulty);
    bestScores_.init(&assets_.texture(TextureId::Font), &screenCamera_);

    useShading(simulation_.shading());
    tickClock_.reset();
    current_ = ScenePose::of(simulation_);
    previous_ = current_;
    present();

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

void Game::restart() {
    simulation_.restart();
    bestScores_.clearNewBest();
    current_ = ScenePose::of(simulation_);
    previous_ = current_;
    present();
}

void Game::followTick() {
    const GameEvents& tickEvents = simulation_.events();
    const RunState& run = simulation_.run();
    if (tickEvents.has(GameEvent::SwitchedMode)) {
        hud_.showMode(run.mode);
        bestScores_.select(run.mode, run.difficulty);
        events_.add(GameEvent::SwitchedMode);
    }
    if (tickEvents.has(GameEvent::SwitchedDifficulty)) {
        hud_.showDifficulty(run.difficulty);
        bestScores_.select(run.mode, run.difficulty);
        events_.add(GameEvent::SwitchedDifficulty);
    }
    if (tickEvents.has(GameEvent::Started)) {
        bestScores_.clearNewBest();
        events_.add(GameEvent::Started);
        // Each run gets a seed of its own; a restart must not be drawn mid-smear either.
        drawNextSeed();
    }
    for (GameEvent event : {GameEvent::Hit, GameEvent::LifeLost, GameEvent::GameOver}) {
        if (tickEvents.has(event)) {
            events_.add(event);
        }
    }
    // The run is credited with the score its HUD shows at game over, in whole points.
    if (tickEvents.has(GameEvent::GameOver) && bestScores_.offer(static_cast<int>(run.score))) {
        events_.add(GameEvent::NewBest);
    }
}

void Game::runTicks(int count) {
    events_.clear();
    for (int i = 0; i < count; ++i) {
        simulation_.tick(input_);
        followTick();
        previous_ = current_;
        current_ = ScenePose::of(simulation_);
        if (simulation_.events().has(GameEvent::Started)) {
            previous_ = current_;
        }
    }
    present();
}

void Game::present() {
    const ScenePose pose = ScenePose::between(previous_, current_, tickClock_.fraction());
    truck_.x = pose.truckX;
    truck_.y = pose.truckY;
    bar_.x = pose.barX;
    bar_.y = pose.barY;
    bar_.setRotation(pose.barRotation);
    background_.y = pose.backgroundY;
    drawnScroll_ = pose.scroll;
    for (int i = 0; i < kCarSlots; ++i) {
        carVisible_[i] = pose.carActive[i];
        if (carVisible_[i]) {
            Sprite& body = carBodies_[i];
            body.place(pose.carX[i], pose.carY[i], -1, &assets_.carMesh(pose.carColour[i]),
                       &assets_.texture(TextureId::WhitePixel), &worldCamera_);
            body.setSize(Simulation::kCarWidth, Simulation::kCarLength, 1);
            body.setPivot(0.5f, 0.5f);
        }
    }

    const RunState& run = simulation_.run();
    hud_.showDistance(simulation_.shownDistance());
    const BandColour colour = colourOf(run.multiplier);
    hud_.showMultiplierAndScore(run.multiplier, colour.red, colour.green, colour.blue, run.score);
    if (simulation_.shading() != usedShading_) {
        useShading(simulation_.shading());
    }
}

void Game::useShading(Shading shading) {
    assets_.shader(shading == Shading::Basic ? ShaderId::Basic : ShaderId::GameOver).use();
    usedShading_ = shading;
}

void Game::render() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    setIdentity(worldCamera_.modelView());
    translate(worldCamera_.modelView(), 0, -drawnScroll_, -10);

    // The grass never hides what is drawn after it.
    glDepthMask(GL_FALSE);
    background_.draw();
    glDepthMask(GL_TRUE);

    const RunState& run = simulation_.run();
    if (run.running) {
        truck_.draw();
        bar_.draw();
    }
    for (int i = 0; i < kCarSlots; ++i) {
        if (carVisible_[i]) {
            carBodies_[i].draw();
        }
    }
    road_.draw(worldCamera_, assets_.texture(TextureId::Road));

    // The HUD goes on top of everything, whatever its depth.
    glDisable(GL_DEPTH_TEST);
    hud_.draw(run.running, run.lives);
    if (!run.running || run.gameOver) {
        bestScores_.draw();
    }
    glEnable(GL_DEPTH_TEST);
}
