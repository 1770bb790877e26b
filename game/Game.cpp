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

// The replay caption is centred under "REPLAY", which spans x 560 to 752.
constexpr float kCaptionCentre = 656.0f;
constexpr float kCaptionY = 528.0f;
constexpr unsigned kCaptionSize = 20;

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
    Text::Options replayPlace{.x = 560, .y = 560, .z = -35, .size = 32, .red = 0.8f, .green = 0.05f, .blue = 0.05f};
    replayPlace.font = &assets_.texture(TextureId::Font);
    replayPlace.camera = &screenCamera_;
    replayText_.init("REPLAY", replayPlace);
    replayPlace.y = kCaptionY;
    replayPlace.size = kCaptionSize;
    replayCaptionText_.init("", replayPlace);
    replayCaptionShown_ = true;
    setReplayCaption(replayCaption_);
    topList_.init(&assets_.texture(TextureId::Font), &screenCamera_);
    ghostView_.init({quad, &assets_.texture(TextureId::Truck), &assets_.texture(TextureId::Wall),
                     &assets_.texture(TextureId::Font), &worldCamera_, &screenCamera_});
    nameEntryScreen_.init(&assets_.texture(TextureId::Font), &assets_.texture(TextureId::WhitePixel), &screenCamera_);
    nameEntryScreen_.show(nameEntry_);

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
    topList_.showStatus("");
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
        topList_.showStatus("");
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

bool Game::watch(const RunRecord& record, std::string& fault) {
    // A caption set for a run that is not shown must not stay for the next one.
    if (askingName()) {
        fault = "a name is being asked for";
        setReplayCaption("");
        return false;
    }
    if (RecordPlayer::fit(record, simulation_.content()) != RecordPlayer::Fit::Fits) {
        fault = "made with other content or another version of the game; it cannot be shown";
        setReplayCaption("");
        return false;
    }
    watched_ = record;
    player_.start(watched_, simulation_.content());
    ticksAfterWatchedEnd_ = 0;
    hud_.showMode(player_.simulation().run().mode);
    hud_.showDifficulty(player_.simulation().run().difficulty);
    current_ = ScenePose::of(player_.simulation());
    previous_ = current_;
    present();
    return true;
}

void Game::stopWatching() {
    if (!watching()) {
        return;
    }
    player_.stop();
    keysToRelease_ = true;
    setReplayCaption("");
    const RunState& run = simulation_.run();
    hud_.showMode(run.mode);
    hud_.showDifficulty(run.difficulty);
    current_ = ScenePose::of(simulation_);
    previous_ = current_;
    present();
}

void Game::watchTick() {
    constexpr int kEndShownFor = Simulation::kTickRate * 3;
    if (input_.bits() != 0) {
        stopWatching();
        return;
    }
    if (player_.step()) {
        // The watched run is heard as it was played.
        for (GameEvent event : {GameEvent::Started, GameEvent::Hit, GameEvent::LifeLost, GameEvent::GameOver}) {
            if (player_.simulation().events().has(event)) {
                events_.add(event);
            }
        }
    } else if (++ticksAfterWatchedEnd_ > kEndShownFor) {
        stopWatching();
        return;
    }
    previous_ = current_;
    current_ = ScenePose::of(player_.simulation());
}

void Game::runTicks(int count) {
    events_.clear();
    // The name is typed by the frame: the keys were read once for all its ticks.
    if (!watching() && nameEntry_.active() && count > 0) {
        if (nameEntry_.frame(input_, count)) {
            enteredName_ = nameEntry_.name();
            keysToRelease_ = true;
        }
        nameEntryScreen_.show(nameEntry_);
    }
    for (int i = 0; i < count; ++i) {
        if (watching()) {
            watchTick();
            continue;
        }
        keysToRelease_ = keysToRelease_ && input_.bits() != 0;
        const GameInput input = keysToRelease_ || nameEntry_.active() ? GameInput{} : input_;
        simulation_.tick(input);
        recorder_.follow(simulation_, input);
        followTick();
        ghost_.follow(simulation_);
        ghostView_.follow(ghost_, simulation_);
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
    ghostView_.present(tickClock_.fraction());
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

    const RunState& run = shown().run();
    hud_.showDistance(shown().shownDistance());
    const BandColour colour = colourOf(run.multiplier);
    hud_.showMultiplierAndScore(run.multiplier, colour.red, colour.green, colour.blue, run.score);
    if (shown().shading() != usedShading_) {
        useShading(shown().shading());
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

    const RunState& run = shown().run();
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
    // The ghost races the player's own runs, never a watched one. It lies over the road,
    // which is drawn last and would cover it, and under the player's truck and bar, drawn
    // again over it.
    if (!watching() && ghostView_.shown()) {
        ghostView_.draw();
        if (run.running) {
            truck_.draw();
            bar_.draw();
        }
    }

    // The HUD goes on top of everything, whatever its depth.
    glDisable(GL_DEPTH_TEST);
    hud_.draw(run.running, run.lives);
    if (!watching()) {
        ghostView_.drawLead();
    }
    if (!run.running || run.gameOver) {
        bestScores_.draw();
        // The board is the game's own, not the watched run's.
        if (!watching()) {
            topList_.draw();
        }
    }
    if (watching()) {
        replayText_.draw();
        replayCaptionText_.draw();
    }
    if (nameEntry_.active()) {
        nameEntryScreen_.draw();
    }
    glEnable(GL_DEPTH_TEST);
}

void Game::setReplayCaption(const std::string& line) {
    replayCaption_ = line;
    if (!replayCaptionShown_) {
        return;
    }
    // Characters are one glyph wide: centring is a matter of moving the first.
    const float width = static_cast<float>(line.size() * kCaptionSize);
    replayCaptionText_.moveTo(kCaptionCentre - width / 2.0f, kCaptionY);
    replayCaptionText_.setString(line.c_str());
}

bool Game::race(const RunRecord& record, std::string& fault) {
    return ghost_.hold(record, simulation_.content(), fault);
}

void Game::choose(Mode mode, Difficulty difficulty) {
    RunState& run = simulation_.run();
    if (run.running && !run.gameOver) {
        return;
    }
    run.mode = mode;
    run.difficulty = difficulty;
    hud_.showMode(mode);
    hud_.showDifficulty(difficulty);
    bestScores_.select(mode, difficulty);
}

void Game::showBoardTop(const std::vector<BoardRow>& rows) { topList_.showRows(rows); }

void Game::showBoardStatus(const std::string& line) { topList_.showStatus(line); }

void Game::showBoardMarks(const std::string& heading, int highlighted, const std::vector<bool>& own) {
    topList_.showMarks(heading, highlighted, own);
}

void Game::askName(const std::string& initial) {
    stopWatching();
    nameEntry_.start(initial, input_);
    nameEntryScreen_.show(nameEntry_);
    enteredName_.clear();
}

std::string Game::takeEnteredName() {
    std::string name;
    name.swap(enteredName_);
    return name;
}
