#pragma once

#include <array>
#include <cstdint>

// A real OpenGL context for tests and benchmarks, in a hidden 1280 × 720 window. Under
// SDL's offscreen driver (set by scripts/env.sh) it renders through Mesa's software
// rasteriser with no display; the Windows build gets it through WGL, under Wine from Mesa
// too. The entry points are loaded and the game's fixed state applied, as at start-up.
// HeadlessGl.cpp holds what both platforms share; HeadlessGlSdl.cpp and HeadlessGlWin32.cpp
// open the window and the context.
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

    // Any OpenGL function by name, for tests that call past the game's own table.
    static void* procAddress(const char* name);
    // Leaves no context current, as the game's window does on close, and takes it back.
    void releaseCurrent();
    void makeCurrent();

    // Shows the back buffer, as the window does after every frame; never waits for a display.
    void swap();
    // Swaps and waits until the rasteriser has finished: the frame is on screen.
    void present();

private:
    HeadlessGl();
    // The platform's part: the hidden window and a current 3.0 (or legacy) context.
    // Sets error_ and returns false when either cannot be had.
    bool open();

    void* window_ = nullptr;
    void* context_ = nullptr;
    void* deviceContext_ = nullptr;
    const char* error_ = "";
};

// Skips the current test when no OpenGL context is available.
#define REQUIRE_GL()                                                   \
    do {                                                               \
        if (!HeadlessGl::instance().ok()) {                            \
            GTEST_SKIP() << "no OpenGL: " << HeadlessGl::instance().error(); \
        }                                                              \
    } while (0)
