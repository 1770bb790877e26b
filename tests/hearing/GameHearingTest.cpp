// Listens to the game: OpenAL Soft's wave-file writer stands in for the sound card, the
// shell's follower plays a scripted run in real time, and the recording is searched for
// what the player would hear. The writer mixes in real time, so a sample's place in the
// file is its time since the device started.
#include "app/GameFollower.h"
#include "app/Window.h"
#include "audio/AudioPlayer.h"
#include "game/BestScoreFile.h"
#include "game/Game.h"
#include "io/WavFile.h"
#include "support/HeadlessGl.h"
#include "support/TestFiles.h"
#include "support/WaveOutput.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kRate = 44100.0;
constexpr double kFrameSeconds = 1.0 / 60.0;

// How far the hit sound may start from its frame for it to count as that frame's. The
// mixer runs on its own thread and falls behind the clock it is compared with whenever the
// machine is busy (the sanitizers, a whole suite side by side), so this is no latency
// bound: the latency is printed as a figure, and the check only asks that the sound is
// heard around its frame and not with a later event.
constexpr double kHitLatencyBound = 0.150;

// A mono 16-bit recording at 44.1 kHz without dither, in small update periods so a cue
// reaches the file quickly.
std::string recordingPath() {
    static const std::string path =
        WaveOutput::use("heard.wav", "channels = mono\nsample-type = int16\ndither = false\nfrequency = 44100\n"
                                     "period_size = 256\nperiods = 2\n");
    return path;
}

std::vector<double> readRecording(const std::string& path) {
    WavSound sound;
    std::string fault;
    EXPECT_TRUE(WavFile::parse(TestFiles::readAll(path), sound, fault)) << path << ": " << fault;
    std::vector<double> samples;
    for (int16_t sample : sound.samples) {
        samples.push_back(sample / 32768.0);
    }
    return samples;
}

// What one scripted run heard, and when (seconds since the device started) things happened.
struct Recording {
    std::vector<double> recording;
    double startAt = -1.0;
    double hitAt = -1.0;
    double pausedAt = -1.0;
    double resumedAt = -1.0;
    // When the frames a set number after the start ran, kEngineFrames of them.
    double engineAt[4] = {};
};

constexpr int kEasyFrame = 70;
constexpr int kStartFrame = 140;
constexpr int kParkFrame = 260;
constexpr int kUnparkFrame = 300;
constexpr int kPauseFrame = 330;
// Timed by the clock, so the pause lasts even when the frames before it ran late.
constexpr double kPauseSeconds = 0.8;
constexpr int kLastFrame = 420;
// Frames after the start at which the engine is listened to: 0.3, 0.55 and 0.8 s into the
// slowed first second, and at full speed. Timed by frame, so a starved test machine that
// runs late still listens to the frames it means.
constexpr int kEngineFrames[4] = {18, 33, 48, 90};

// EASY on the title screen, SPACE a second later; once the truck has driven a while a car
// is parked on it, and the bar strikes it (a heart lost) the moment the start's protection
// ends. The car is taken away again, and ESC pauses the game for 0.8 s.
Recording playScriptedRun(bool muted) {
    Recording run;
    const std::string path = recordingPath();
    Game game;
    EXPECT_TRUE(game.init());
    BestScoreFile bestFile(TestFiles::folder() + "/hearing-best");
    Window window;
    window.setMuted(muted);
    AudioPlayer audio;
    if (!audio.init()) {
        ADD_FAILURE() << "the wave writer did not open";
        return run;
    }
    GameFollower follower(audio, bestFile);
    const Clock::time_point deviceStart = Clock::now();
    auto since = [deviceStart] { return std::chrono::duration<double>(Clock::now() - deviceStart).count(); };
    for (int frame = 0; frame < kLastFrame; ++frame) {
        std::this_thread::sleep_until(deviceStart + std::chrono::duration_cast<Clock::duration>(
                                                        std::chrono::duration<double>(frame * kFrameSeconds)));
        game.input().hold(GameKey::F1, frame == kEasyFrame);
        game.input().hold(GameKey::Space, frame == kStartFrame);
        EnemyCar& car = game.simulation().carSlot(0);
        if (frame == kParkFrame) {
            car.x = game.simulation().truck().x;
            car.y = game.simulation().truck().y;
            car.speed = 0.0f;
            car.active = true;
        }
        car.active = car.active && frame != kUnparkFrame;
        const bool resume = run.pausedAt > 0.0 && run.resumedAt < 0.0 && since() >= run.pausedAt + kPauseSeconds;
        if (frame == kPauseFrame || resume) {
            window.handleMessage(WindowMessage::KeyDown, kEscapeKey);
            (resume ? run.resumedAt : run.pausedAt) = since();
        }
        follower.followWindow(window);
        if (!window.isActive()) {
            continue;
        }
        game.update(static_cast<float>(kFrameSeconds));
        follower.followFrame(game);
        if (game.events().has(GameEvent::Started)) {
            run.startAt = since();
        }
        for (int i = 0; i < 4; ++i) {
            if (frame == kStartFrame + kEngineFrames[i]) {
                run.engineAt[i] = since();
            }
        }
        if (game.events().has(GameEvent::Hit) && run.hitAt < 0.0) {
            run.hitAt = since();
        }
    }
    audio.shutdown();
    run.recording = readRecording(path);
    return run;
}

// Where the hit sound starts in the recording, searched within 0.2 s of `around` seconds:
// the offset whose stretch of recording best matches the start of the sound itself, with
// how well it matches (1 is the sound alone, unchanged but for its level).
struct Match {
    double at = 0.0;
    double similarity = 0.0;
};

Match findHit(const std::vector<double>& recording, double around) {
    const std::vector<double> hit = readRecording(std::string(TAMQ_SOURCE_DIR) + "/data/sounds/hit.wav");
    const std::size_t length = std::min<std::size_t>(2048, hit.size());
    double hitEnergy = 0.0;
    for (std::size_t i = 0; i < length; ++i) {
        hitEnergy += hit[i] * hit[i];
    }
    const long centre = std::lround(around * kRate);
    Match best;
    for (long offset = centre - 8820; offset <= centre + 8820; ++offset) {
        if (offset < 0 || static_cast<std::size_t>(offset) + length > recording.size()) {
            continue;
        }
        double dot = 0.0;
        double energy = 1e-12;
        for (std::size_t i = 0; i < length; ++i) {
            const double sample = recording[static_cast<std::size_t>(offset) + i];
            dot += sample * hit[i];
            energy += sample * sample;
        }
        const double similarity = dot / std::sqrt(energy * hitEnergy);
        if (similarity > best.similarity) {
            best = Match{static_cast<double>(offset) / kRate, similarity};
        }
    }
    return best;
}

struct Hum {
    double frequency = 0.0;
    double strength = 0.0;
};

// The engine hum around `at` seconds: the strongest component from 30 to 80 Hz, a band no
// cue reaches, in a Hann-windowed fifth of a second.
Hum engineHum(const std::vector<double>& recording, double at) {
    const std::size_t length = static_cast<std::size_t>(0.2 * kRate);
    const std::size_t first = static_cast<std::size_t>(std::max(0.0, at - 0.1) * kRate);
    double strongest = 0.0;
    double frequency = 0.0;
    for (double f = 30.0; f <= 80.0; f += 0.25) {
        double re = 0.0;
        double im = 0.0;
        for (std::size_t i = 0; i < length && first + i < recording.size(); ++i) {
            const double window = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / length);
            const double phase = 2.0 * std::numbers::pi * f * static_cast<double>(i) / kRate;
            re += recording[first + i] * window * std::cos(phase);
            im += recording[first + i] * window * std::sin(phase);
        }
        if (re * re + im * im > strongest) {
            strongest = re * re + im * im;
            frequency = f;
        }
    }
    return Hum{frequency, std::sqrt(strongest)};
}

}  // namespace

TEST(GameHearing, TheHitIsHeardWithItsFrameAndTheEngineFollowsTheRoadAndThePause) {
    REQUIRE_GL();
    const Recording run = playScriptedRun(false);
    ASSERT_GT(run.startAt, 0.0);
    ASSERT_GT(run.hitAt, 0.0);
    const Match heard = findHit(run.recording, run.hitAt);
    const double latency = heard.at - run.hitAt;
    std::printf("hit frame at %.3f s, hit sound starts at %.3f s (%+.1f ms), similarity %.2f\n", run.hitAt, heard.at,
                latency * 1000.0, heard.similarity);
    // The engine and the lost heart's cue play along; the hit must still stand out.
    EXPECT_GT(heard.similarity, 0.6);
    EXPECT_LT(std::fabs(latency), kHitLatencyBound);

    // After a start the road speeds up from standing over a second; the engine follows it.
    double previous = 0.0;
    for (int i = 0; i < 4; ++i) {
        const double hum = engineHum(run.recording, run.engineAt[i]).frequency;
        std::printf("engine hum %d frames after the start: %.2f Hz\n", kEngineFrames[i], hum);
        EXPECT_GT(hum, previous + 2.0) << kEngineFrames[i] << " frames after the start";
        previous = hum;
    }
    // At full road speed the engine plays at its own pitch: the 60 Hz hum of the loop.
    EXPECT_NEAR(previous, 60.0, 2.0);

    // The engine stops for a pause and comes back after it.
    const double before = engineHum(run.recording, run.pausedAt - 0.15).strength;
    // Measured once the pause's own cue is over.
    const double during = engineHum(run.recording, run.pausedAt + 0.5).strength;
    const double after = engineHum(run.recording, run.resumedAt + 0.2).strength;
    std::printf("engine hum before, during and after a pause: %.3g, %.3g, %.3g\n", before, during, after);
    EXPECT_LT(during, before / 100.0);
    EXPECT_GT(after, before / 2.0);
}

TEST(GameHearing, AMutedGameIsSilent) {
    REQUIRE_GL();
    const Recording run = playScriptedRun(true);
    ASSERT_GT(run.hitAt, 0.0);
    ASSERT_GT(run.recording.size(), static_cast<std::size_t>(4.0 * kRate));
    double loudest = 0.0;
    for (double sample : run.recording) {
        loudest = std::max(loudest, std::fabs(sample));
    }
    // Not one step of the 16-bit output above silence.
    EXPECT_LE(loudest, 1.0 / 32768.0);
}
