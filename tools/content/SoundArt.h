#pragma once

#include "io/WavFile.h"

#include <string>
#include <vector>

// The game's sounds, synthesised: an engine loop and short cues, all 16-bit mono at
// 44.1 kHz and levelled to the same loudness, so no cue shouts over another.
class SoundArt {
public:
    static constexpr uint32_t kSampleRate = 44100;
    // The loudness every cue is levelled to: RMS of its loudest 50 ms, in dB below full scale.
    static constexpr float kLoudnessDb = -16.0f;
    // No sample goes above this, in dB below full scale.
    static constexpr float kPeakLimitDb = -1.0f;

    struct Named {
        std::string file;  // under data/sounds/
        WavSound sound;
    };
    // Every sound, in a fixed order.
    static std::vector<Named> all();

    // RMS of the loudest 50 ms window, relative to full scale (1.0 = 0 dB).
    static float loudestWindowRms(const WavSound& sound);
};
