#pragma once

#include <SDL2/SDL.h>

#include <array>
#include <cstdint>

// A real OpenGL context for tests, in a hidden 1280 × 720 window. Under SDL's offscreen
// driver (set by test.sh) it renders through Mesa's software rasteriser with no display.
// The entry points are loaded and the game's fixed state applied, as at start-up.
class HeadlessGl {
public:
    ~HeadlessGl();

    // Opens once per process; later calls reuse the context. Returns false with the reason
    // in error() when no context can be had.
    static HeadlessGl& instance();
    bool ok() const { return context_ != nullptr; }
    const char* error() const { return error_; }

    // RGBA of one pixel of the back buffer, origin bottom left.
    std::array<uint8_t, 4> pixel(int x, int y) const;
    SDL_Window* window() const { return window_; }

private:
    HeadlessGl();
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    const char* error_ = "";
};

// Skips the current test when no OpenGL context is available.
#define REQUIRE_GL()                                                   \
    do {                                                               \
        if (!HeadlessGl::instance().ok()) {                            \
            GTEST_SKIP() << "no OpenGL: " << HeadlessGl::instance().error(); \
        }                                                              \
    } while (0)
