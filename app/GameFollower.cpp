#include "GameFollower.h"

#include "Window.h"

#include <algorithm>

float GameFollower::enginePitch(float scrollSpeed) {
    const float speed = std::clamp(scrollSpeed / Simulation::kRoadSpeed, 0.0f, 1.0f);
    return kEnginePitchStill + (kEnginePitchFull - kEnginePitchStill) * speed;
}

void GameFollower::followWindow(const Window& window) {
    if (window.isMuted() != audio_.muted()) {
        audio_.setMuted(window.isMuted());
    }
    const bool paused = !window.isActive();
    if (paused == paused_) {
        return;
    }
    paused_ = paused;
    // The engine starts again with the first frame after the pause.
    if (paused) {
        audio_.stopLoop();
    }
    audio_.play(paused ? SoundId::Pause : SoundId::Resume);
}

void GameFollower::followFrame(const Game& game) {
    const GameEvents& events = game.events();
    if (events.has(GameEvent::SwitchedMode)) {
        audio_.play(SoundId::Switch);
    } else if (events.has(GameEvent::SwitchedDifficulty)) {
        audio_.play(SoundId::Switch, 1.0f, 1.25f);
    } else if (events.has(GameEvent::Started)) {
        audio_.play(SoundId::Start);
    }
    if (events.has(GameEvent::Hit)) {
        audio_.play(SoundId::Hit);
    }
    if (events.has(GameEvent::LifeLost)) {
        audio_.play(SoundId::LifeLost, 0.8f);
    }
    if (events.has(GameEvent::GameOver)) {
        audio_.play(SoundId::GameOver);
    }
    if (events.has(GameEvent::NewBest)) {
        bestFile_.save(game.bestScores().scores());
    }
    if (game.running() && !game.gameOver()) {
        audio_.loop(SoundId::Engine, kEngineGain, enginePitch(game.scrollSpeed()));
    } else {
        audio_.stopLoop();
    }
}
