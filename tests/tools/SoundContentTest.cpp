#include "audio/SoundId.h"
#include "io/WavFile.h"
#include "tools/content/SoundArt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

double decibels(double level) { return 20.0 * std::log10(std::max(level, 1e-9)); }

// Every sound the game loads, read back from data/ as the audio reads it.
WavSound committedSound(const std::string& path) {
    std::ifstream in(std::string(TAMQ_SOURCE_DIR) + "/" + path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    WavSound sound;
    std::string fault;
    EXPECT_TRUE(WavFile::parse(bytes, sound, fault)) << path << ": " << fault;
    return sound;
}

}  // namespace

TEST(Sounds, EverySoundTheGameLoadsIsGenerated) {
    std::vector<std::string> generated;
    for (const SoundArt::Named& sound : SoundArt::all()) {
        generated.push_back("data/sounds/" + sound.file);
    }
    for (const char* path : kSoundFiles) {
        EXPECT_NE(std::find(generated.begin(), generated.end(), path), generated.end()) << path;
    }
}

// The figures are printed so a change of the synthesis shows what it did to the levels.
TEST(Sounds, EveryCueIsShortMonoAndAsLoudAsTheOthers) {
    for (const char* path : kSoundFiles) {
        SCOPED_TRACE(path);
        const WavSound sound = committedSound(path);
        ASSERT_FALSE(sound.samples.empty());
        EXPECT_EQ(sound.channels, 1);
        EXPECT_EQ(sound.sampleRate, 44100u);
        const double seconds = static_cast<double>(sound.samples.size()) / sound.sampleRate;
        EXPECT_GT(seconds, 0.05);
        EXPECT_LT(seconds, 2.0);

        double peak = 0.0;
        double energy = 0.0;
        for (int16_t sample : sound.samples) {
            const double value = sample / 32768.0;
            peak = std::max(peak, std::fabs(value));
            energy += value * value;
        }
        const double rms = std::sqrt(energy / static_cast<double>(sound.samples.size()));
        const double loudness = SoundArt::loudestWindowRms(sound);
        std::printf("%-26s %.2f s  peak %6.1f dBFS  RMS %6.1f dBFS  loudest 50 ms %6.1f dBFS\n", path,
                    seconds, decibels(peak), decibels(rms), decibels(loudness));
        EXPECT_LE(decibels(peak), SoundArt::kPeakLimitDb + 0.05);
        EXPECT_NEAR(decibels(loudness), SoundArt::kLoudnessDb, 1.0);
        // Quiet for most of the file would mean a cue that is mostly silence.
        EXPECT_GT(decibels(rms), SoundArt::kLoudnessDb - 10.0);
    }
}

TEST(Sounds, CuesStartAndEndWithoutAClickAndTheEngineLoopsWithoutASeam) {
    for (const char* path : kSoundFiles) {
        SCOPED_TRACE(path);
        const WavSound sound = committedSound(path);
        ASSERT_GT(sound.samples.size(), 2u);
        int largestStep = 0;
        for (std::size_t i = 1; i < sound.samples.size(); ++i) {
            largestStep = std::max(largestStep, std::abs(sound.samples[i] - sound.samples[i - 1]));
        }
        if (std::string(path) == kSoundFiles[static_cast<int>(SoundId::Engine)]) {
            // From the last sample back to the first is one more ordinary step.
            EXPECT_LE(std::abs(sound.samples.front() - sound.samples.back()), largestStep);
        } else {
            EXPECT_LT(std::abs(sound.samples.front()), 100);
            EXPECT_LT(std::abs(sound.samples.back()), 100);
        }
    }
}
