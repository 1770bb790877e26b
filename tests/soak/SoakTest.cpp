#include "game/Game.h"

#include "support/BusyRun.h"
#include "support/HeadlessGl.h"

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <vector>

namespace {

long residentKilobytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

bool underAddressSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

struct SoakFigures {
    double simulatedSeconds = 0;
    long frames = 0;
    long pausedFrames = 0;
    long renders = 0;
    long runs = 0;
    long gameOvers = 0;
    long livesLost = 0;
    double worstBackgroundDrift = 0;
    long framesPerSetting[2][2] = {};  // [random mode][easy]
    long residentAfterFirstMinute = 0;
    long residentAtEnd = 0;
    std::vector<long> residentEachMinute;
};

// Plays `minutes` of simulated time with seeded random input: starts and restarts, both
// modes and difficulties, steering keys held for a while, pauses (no update, as while the
// window is inactive) and uneven frame times. Every updated frame is checked.
SoakFigures soak(double minutes, unsigned seed) {
    SoakFigures figures;
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    Game game;
    if (!game.init()) {
        ADD_FAILURE() << "the game did not start";
        return figures;
    }
    game.resize(1280, 720);

    GameInput keys;           // what the player holds
    float actionLeft = 0.0f;  // seconds until the player changes what is held
    int pauseFramesLeft = 0;
    float previousScore = game.score();
    float previousToggle = game.toggleTimer();
    int previousLives = game.lives();
    bool wasGameOver = game.gameOver();
    int failures = 0;
    const double total = minutes * 60.0;
    while (figures.simulatedSeconds < total && failures < 10) {
        // Mostly a steady 60 Hz, sometimes a hitch of up to a tenth of a second.
        float dt = unit(random) < 0.97f ? 1.0f / 60.0f : 0.001f + 0.099f * unit(random);
        figures.simulatedSeconds += dt;
        ++figures.frames;
        if (pauseFramesLeft > 0) {
            --pauseFramesLeft;
            ++figures.pausedFrames;
            continue;
        }
        actionLeft -= dt;
        if (actionLeft <= 0.0f) {
            keys.releaseAll();
            float pick = unit(random);
            if (pick < 0.25f) {
                keys.hold(GameKey::Space);
                actionLeft = 0.05f + 1.5f * unit(random);
            } else if (pick < 0.32f) {
                keys.hold(GameKey::F1);
                actionLeft = 0.05f + 1.5f * unit(random);
            } else if (pick < 0.39f) {
                keys.hold(GameKey::F2);
                actionLeft = 0.05f + 1.5f * unit(random);
            } else if (pick < 0.45f) {
                pauseFramesLeft = 30 + static_cast<int>(600 * unit(random));
                actionLeft = 0.0f;
                continue;
            } else {
                // Steering: any mix of the four arrows, for up to eight seconds.
                const GameKey arrows[4] = {GameKey::Left, GameKey::Right, GameKey::Up, GameKey::Down};
                for (GameKey arrow : arrows) {
                    if (unit(random) < 0.35f) {
                        keys.hold(arrow);
                    }
                }
                actionLeft = 0.2f + 8.0f * unit(random);
            }
        }

        // The player's keys as the shell would hand them to the frame.
        game.input() = keys;
        game.update(dt);
        // One frame in 240 is drawn. Each is finished, as the window's buffer swap does:
        // the software rasteriser keeps unfinished frames queued, which would grow without end.
        if (figures.frames % 240 == 0) {
            game.render();
            glFinish();
            ++figures.renders;
        }

        // A key action zeroes the toggle timer; with it a restart may begin a new run.
        const bool newRun = game.toggleTimer() < previousToggle;
        if (newRun && game.running()) {
            ++figures.runs;
        }
        const int active = BusyRun::activeCars(game);
        const float drift = std::fabs(game.simulation().backgroundY() - (250.0f - game.scroll()));
        figures.worstBackgroundDrift = std::max<double>(figures.worstBackgroundDrift, drift);
        const bool ok = game.lives() >= 0 && game.lives() <= 3 && active <= Game::kCarSlots &&
                        drift < 0.05f && game.scroll() >= 200.0f && game.scroll() <= 600.0f &&
                        (newRun || game.score() >= previousScore) && std::isfinite(game.score()) &&
                        std::isfinite(game.simulation().truck().x) && std::isfinite(game.simulation().truck().y);
        if (!ok) {
            ++failures;
            ADD_FAILURE() << "frame " << figures.frames << " at " << figures.simulatedSeconds
                          << " s: lives " << game.lives() << ", active cars " << active
                          << ", background y " << game.simulation().backgroundY() << ", scroll " << game.scroll()
                          << ", score " << game.score() << " after " << previousScore
                          << (newRun ? " (new run)" : "") << ", truck " << game.simulation().truck().x << ", "
                          << game.simulation().truck().y;
        }
        if (!newRun && game.lives() < previousLives) {
            figures.livesLost += previousLives - game.lives();
        }
        if (game.gameOver() && !wasGameOver) {
            ++figures.gameOvers;
        }
        if (game.running()) {
            ++figures.framesPerSetting[game.mode() == Mode::Random][game.difficulty() == Difficulty::Easy];
        }
        previousScore = game.score();
        previousToggle = game.toggleTimer();
        previousLives = game.lives();
        wasGameOver = game.gameOver();

        if (figures.simulatedSeconds >= 60.0 * static_cast<double>(figures.residentEachMinute.size() + 1)) {
            figures.residentEachMinute.push_back(residentKilobytes());
            if (figures.residentEachMinute.size() == 1) {
                figures.residentAfterFirstMinute = figures.residentEachMinute[0];
            }
        }
    }
    game.releaseTextures();
    figures.residentAtEnd = residentKilobytes();
    return figures;
}

void print(const SoakFigures& f) {
    std::printf("soak: %.1f simulated minutes, %ld frames (%ld paused), %ld drawn, %ld runs, "
                "%ld lives lost, %ld game overs, worst background drift %.6f\n"
                "soak: frames per setting: normal/hard %ld, normal/easy %ld, random/hard %ld, "
                "random/easy %ld\n"
                "soak: resident memory %ld kB after the first minute, %ld kB at the end\n",
                f.simulatedSeconds / 60.0, f.frames, f.pausedFrames, f.renders, f.runs, f.livesLost,
                f.gameOvers, f.worstBackgroundDrift, f.framesPerSetting[0][0], f.framesPerSetting[0][1],
                f.framesPerSetting[1][0], f.framesPerSetting[1][1], f.residentAfterFirstMinute,
                f.residentAtEnd);
    std::printf("soak: resident kB at each simulated minute:");
    for (long kilobytes : f.residentEachMinute) {
        std::printf(" %ld", kilobytes);
    }
    std::printf("\n");
}

// TAMQ_SOAK_MINUTES lengthens the run (tests/soak.sh plays an hour); the default is the
// short run of the test suite.
TEST(Soak, RandomPlayKeepsTheGameConsistentAndMemoryFlat) {
    REQUIRE_GL();
    const char* setting = std::getenv("TAMQ_SOAK_MINUTES");
    const double minutes = setting != nullptr ? std::atof(setting) : 2.0;
    const char* seedSetting = std::getenv("TAMQ_SOAK_SEED");
    const unsigned seed = seedSetting != nullptr ? static_cast<unsigned>(std::atol(seedSetting)) : 20261207u;
    const SoakFigures figures = soak(minutes, seed);
    print(figures);

    EXPECT_GE(figures.simulatedSeconds, minutes * 60.0);
    EXPECT_GT(figures.runs, 0);
    EXPECT_GT(figures.pausedFrames, 0);
    EXPECT_GT(figures.renders, 0);
    if (minutes >= 10.0) {
        // A long session reaches every mode and difficulty.
        for (auto& mode : figures.framesPerSetting) {
            for (long frames : mode) {
                EXPECT_GT(frames, 0);
            }
        }
        EXPECT_GT(figures.livesLost + figures.gameOvers, 0);
    }
    // Under AddressSanitizer freed memory sits in quarantine, so resident size says nothing there.
    if (!underAddressSanitizer() && minutes > 1.0) {
        EXPECT_LE(figures.residentAtEnd, figures.residentAfterFirstMinute + 2048)
            << "resident memory grew after the first simulated minute";
    }
}

}  // namespace
