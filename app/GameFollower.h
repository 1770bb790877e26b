#pragma once

#include "audio/AudioPlayer.h"
#include "game/BestScoreFile.h"
#include "game/Game.h"

class Window;

// Follows the game from the shell, after every update, without taking part in its rules:
// turns the frame's events into cues, keeps the engine loop running at the road's speed
// while a run is on, stores the best scores and the run when a run beat one, and follows the window's
// pause and mute.
class GameFollower {
public:
    // The engine's pitch at a standstill and at full road speed.
    static constexpr float kEnginePitchStill = 0.6f;
    static constexpr float kEnginePitchFull = 1.0f;
    static constexpr float kEngineGain = 0.45f;

    GameFollower(AudioPlayer& audio, BestScoreFile& bestFile) : audio_(audio), bestFile_(bestFile) {}

    void followWindow(const Window& window);
    void followFrame(const Game& game);

    static float enginePitch(float scrollSpeed);

private:
    AudioPlayer& audio_;
    BestScoreFile& bestFile_;
    bool paused_ = false;
};
