#include "BenchContext.h"

#include "game/Game.h"
#include "render/GlEntryPoints.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

BenchContext& BenchContext::instance() {
    static BenchContext context;
    return context;
}

BenchContext::BenchContext() {
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "bench: SDL_Init failed: %s\n", SDL_GetError());
        std::exit(1);
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    window_ = SDL_CreateWindow("bench", 0, 0, 1280, 720, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window_ != nullptr) {
        context_ = SDL_GL_CreateContext(window_);
    }
    if (context_ == nullptr) {
        std::fprintf(stderr, "bench: no OpenGL context: %s\n", SDL_GetError());
        std::exit(1);
    }
    // The display rate must not pace the frames being measured.
    SDL_GL_SetSwapInterval(0);
    const std::string missing = gl.load(SDL_GL_GetProcAddress);
    if (!missing.empty()) {
        std::fprintf(stderr, "bench: missing OpenGL functions: %s\n", missing.c_str());
        std::exit(1);
    }
    applyFixedGlState();
    glViewport(0, 0, 1280, 720);
    std::fprintf(stderr, "bench: renderer %s, %s\n",
                 reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                 reinterpret_cast<const char*>(glGetString(GL_VERSION)));
}

void BenchContext::swap() const { SDL_GL_SwapWindow(window_); }

void BenchContext::present() const {
    SDL_GL_SwapWindow(window_);
    glFinish();
}

Game& BenchContext::game() {
    if (game_ == nullptr) {
        // Held for the whole process: its drawables point into it.
        game_ = new Game();
        game_->resize(1280, 720);
        if (!game_->init()) {
            std::fprintf(stderr, "bench: the game did not initialise\n");
            std::exit(1);
        }
    }
    return *game_;
}

void startBusyRun(Game& game) {
    game.restart();
    // One long step carries the run through its recovery, so every later frame tests the bar.
    game.update(2.1f);
    // Columns clear of the bar: it reaches 6.5 from the truck at (0, 0), a car 1.2 to its sides.
    const float columns[] = {-21.0f, -17.5f, -14.0f, -10.5f, 10.5f, 14.0f, 17.5f, 21.0f};
    const float rows[] = {-10.0f, -5.0f, 0.0f, 5.0f};  // 32 places for the 30 slots
    int slot = 0;
    for (float y : rows) {
        for (float x : columns) {
            if (slot == Game::kCarSlots) {
                break;
            }
            EnemyCar& car = game.carSlot(slot++);
            car.body.x = x;
            car.body.y = y;
            car.speed = 0.0f;
            car.active = true;
        }
    }
}

double nowMs() {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

double processCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}
