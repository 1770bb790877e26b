#pragma once

#include <iterator>

// The game's sounds and their files, in one list: the audio loads them in this order
// and the content generator makes each of them.
enum class SoundId { Engine, Hit, LifeLost, GameOver, Start, Switch, Pause, Resume };

inline constexpr int kSoundCount = static_cast<int>(SoundId::Resume) + 1;

inline constexpr const char* kSoundFiles[] = {
    "data/sounds/engine.wav", "data/sounds/hit.wav",    "data/sounds/lifelost.wav",
    "data/sounds/gameover.wav", "data/sounds/start.wav", "data/sounds/switch.wav",
    "data/sounds/pause.wav",  "data/sounds/resume.wav",
};
static_assert(std::size(kSoundFiles) == kSoundCount, "one file for each SoundId, and Resume the last of them");
