#include "SoundArt.h"

#include "Random.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kTwoPi = 6.28318530718f;
constexpr float kRate = static_cast<float>(SoundArt::kSampleRate);

// Samples in floating point, -1 to 1, before levelling.
using Signal = std::vector<float>;

Signal silence(float seconds) { return Signal(static_cast<std::size_t>(seconds * kRate), 0.0f); }

float dbToGain(float db) { return std::pow(10.0f, db / 20.0f); }

// A tone with a few harmonics (a soft square-ish timbre) whose frequency glides from
// `from` to `to`, under an envelope with a short attack and an exponential decay.
void addTone(Signal& out, float start, float seconds, float from, float to, float level,
             float decay, int harmonics = 3) {
    const std::size_t first = static_cast<std::size_t>(start * kRate);
    const std::size_t count = static_cast<std::size_t>(seconds * kRate);
    float phase = 0.0f;
    for (std::size_t i = 0; i < count && first + i < out.size(); ++i) {
        const float t = static_cast<float>(i) / kRate;
        const float frequency = from + (to - from) * (t / seconds);
        phase += kTwoPi * frequency / kRate;
        float wave = 0.0f;
        for (int h = 0; h < harmonics; ++h) {
            const float n = static_cast<float>(2 * h + 1);
            wave += std::sin(phase * n) / n;
        }
        const float attack = std::min(1.0f, t / 0.004f);
        const float release = std::min(1.0f, (seconds - t) / 0.01f);
        out[first + i] += level * wave * attack * release * std::exp(-t * decay);
    }
}

// The bar striking a car: a metallic clang of inharmonic partials over a short noise crack.
Signal hit() {
    Signal out = silence(0.45f);
    Random random(0xC1A46u);
    const float partials[][2] = {{523.0f, 1.0f}, {1389.0f, 0.6f}, {2211.0f, 0.45f}, {3277.0f, 0.3f}};
    for (std::size_t i = 0; i < out.size(); ++i) {
        const float t = static_cast<float>(i) / kRate;
        float value = 0.0f;
        for (const auto& partial : partials) {
            value += partial[1] * std::sin(kTwoPi * partial[0] * t) * std::exp(-t * (6.0f + partial[0] / 300.0f));
        }
        const float crack = (random.unit() * 2.0f - 1.0f) * std::exp(-t * 90.0f);
        const float attack = std::min(1.0f, t / 0.001f);
        const float release = std::min(1.0f, (0.45f - t) / 0.02f);
        out[i] = (value * 0.5f + crack * 0.8f) * attack * release;
    }
    return out;
}

// The engine: a firing rhythm over a low hum, exactly 0.4 s long with every component a
// whole number of cycles in it, so that it loops without a seam.
Signal engine() {
    const std::size_t count = static_cast<std::size_t>(0.4f * kRate);
    Signal out(count, 0.0f);
    Random random(0xE6617Eu);
    random.initNoise(160, 1);
    for (std::size_t i = 0; i < count; ++i) {
        const float cycle = static_cast<float>(i) / static_cast<float>(count);  // 0..1 over the loop
        const float hum = std::sin(kTwoPi * 24.0f * cycle) + 0.5f * std::sin(kTwoPi * 48.0f * cycle) +
                          0.3f * std::sin(kTwoPi * 72.0f * cycle) + 0.2f * std::sin(kTwoPi * 96.0f * cycle);
        // Twelve firings per loop, each a quick swell.
        const float firing = 0.6f + 0.4f * std::pow(0.5f + 0.5f * std::cos(kTwoPi * 12.0f * cycle), 3.0f);
        const float rumble = random.noise(cycle * 160.0f, 0.0f) * 2.0f - 1.0f;
        out[i] = (hum * 0.6f + rumble * 0.25f) * firing;
    }
    return out;
}

WavSound quantise(const Signal& signal, float gain) {
    WavSound sound;
    sound.sampleRate = SoundArt::kSampleRate;
    sound.channels = 1;
    sound.samples.resize(signal.size());
    for (std::size_t i = 0; i < signal.size(); ++i) {
        sound.samples[i] = static_cast<int16_t>(std::lround(std::clamp(signal[i] * gain, -1.0f, 1.0f) * 32767.0f));
    }
    return sound;
}

// Brings the signal to the loudness every cue shares, keeping its peaks under the limit.
WavSound level(const Signal& signal) {
    float peak = 0.0f;
    for (float value : signal) {
        peak = std::max(peak, std::fabs(value));
    }
    // Measured with the peak at half scale, where nothing clips.
    const float probeGain = 0.5f / peak;
    const float loudness = SoundArt::loudestWindowRms(quantise(signal, probeGain)) / probeGain;
    const float gain = std::min(dbToGain(SoundArt::kLoudnessDb) / loudness, dbToGain(SoundArt::kPeakLimitDb) / peak);
    return quantise(signal, gain);
}

}  // namespace

float SoundArt::loudestWindowRms(const WavSound& sound) {
    const std::size_t n = sound.samples.size();
    if (n == 0) {
        return 0.0f;
    }
    const std::size_t window = std::min<std::size_t>(kSampleRate / 20, n);
    double sum = 0.0;
    double loudest = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double value = sound.samples[i] / 32768.0;
        sum += value * value;
        if (i >= window) {
            const double old = sound.samples[i - window] / 32768.0;
            sum -= old * old;
        }
        if (i + 1 >= window) {
            loudest = std::max(loudest, sum);
        }
    }
    return static_cast<float>(std::sqrt(std::max(loudest, 0.0) / static_cast<double>(window)));
}

std::vector<SoundArt::Named> SoundArt::all() {
    std::vector<Named> sounds;
    sounds.push_back({"engine.wav", level(engine())});
    sounds.push_back({"hit.wav", level(hit())});

    Signal lifeLost = silence(0.6f);
    addTone(lifeLost, 0.0f, 0.6f, 660.0f, 196.0f, 0.7f, 3.0f);
    sounds.push_back({"lifelost.wav", level(lifeLost)});

    // Three falling notes and a long low one: G4, E4, C4, then G3.
    Signal gameOver = silence(1.5f);
    const float notes[] = {392.0f, 329.6f, 261.6f};
    for (int i = 0; i < 3; ++i) {
        addTone(gameOver, 0.22f * static_cast<float>(i), 0.2f, notes[i], notes[i], 0.6f, 4.0f);
    }
    addTone(gameOver, 0.66f, 0.84f, 196.0f, 190.0f, 0.7f, 2.5f);
    sounds.push_back({"gameover.wav", level(gameOver)});

    // A rising arpeggio: C5, E5, G5, C6.
    Signal start = silence(0.5f);
    const float arpeggio[] = {523.3f, 659.3f, 784.0f, 1046.5f};
    for (int i = 0; i < 4; ++i) {
        const float at = 0.08f * static_cast<float>(i);
        addTone(start, at, 0.5f - at, arpeggio[i], arpeggio[i], 0.4f, 7.0f);
    }
    sounds.push_back({"start.wav", level(start)});

    Signal click = silence(0.09f);
    addTone(click, 0.0f, 0.09f, 880.0f, 1175.0f, 0.6f, 25.0f, 2);
    sounds.push_back({"switch.wav", level(click)});

    Signal pause = silence(0.22f);
    addTone(pause, 0.0f, 0.1f, 784.0f, 784.0f, 0.5f, 12.0f, 2);
    addTone(pause, 0.11f, 0.11f, 523.3f, 523.3f, 0.5f, 12.0f, 2);
    sounds.push_back({"pause.wav", level(pause)});

    Signal resume = silence(0.22f);
    addTone(resume, 0.0f, 0.1f, 523.3f, 523.3f, 0.5f, 12.0f, 2);
    addTone(resume, 0.11f, 0.11f, 784.0f, 784.0f, 0.5f, 12.0f, 2);
    sounds.push_back({"resume.wav", level(resume)});
    return sounds;
}
