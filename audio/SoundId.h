#pragma once

// The game's sounds and their files, in one list: the audio loads them in this order
// and the content generator makes each of them.
enum class SoundId { Engine, Hit, LifeLost, GameOver, Start, Switch, Pause, Resume };

inline constexpr int kSoundCount = 8;

inline constexpr const char* kSoundFiles[kSoundCount] = {
    "data/sounds/engine.wav", "data/sounds/hit.wav",    "data/sounds/lifelost.wav",
    "data/sounds/gameover.wav", "data/sounds/start.wav", "data/sounds/switch.wav",
    "data/sounds/pause.wav",  "data/sounds/resume.wav",
};
