// Preloaded into the desktop game (LD_PRELOAD) by the browser test and the browser
// benchmark, to set the desktop build beside the browser's. Never linked into the game.
//
// TAMQ_GRAB_OUT=file: the first frame the game finishes is read back from the back buffer
// before it is presented, written there as a binary PPM, and the process ends. The game's
// clock then advances 10 microseconds per reading, as the page's does in the test, so the
// first step is exactly the 1 ms minimum on both sides.
// TAMQ_FRAME_LOG=file: every presented frame is counted; about once a second the file is
// rewritten with the count and the monotonic time in seconds.

#include <SDL2/SDL.h>

#include <GL/gl.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

template <class Function>
Function real(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

const char* grabPath() {
    static const char* path = std::getenv("TAMQ_GRAB_OUT");
    return path;
}

double monotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

[[noreturn]] void grabAndExit(SDL_Window* window) {
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    FILE* out = std::fopen(grabPath(), "wb");
    if (out == nullptr) {
        _exit(2);
    }
    std::fprintf(out, "P6\n%d %d\n255\n", width, height);
    // OpenGL's rows run bottom up, a picture's top down.
    const size_t row = static_cast<size_t>(width) * 3;
    for (int y = height - 1; y >= 0; --y) {
        std::fwrite(pixels.data() + static_cast<size_t>(y) * row, 1, row, out);
    }
    _exit(std::fclose(out) == 0 ? 0 : 2);
}

void logFrame() {
    static const char* path = std::getenv("TAMQ_FRAME_LOG");
    static unsigned long frames = 0;
    static double written = 0.0;
    ++frames;
    const double now = monotonicSeconds();
    if (path == nullptr || now - written < 1.0) {
        return;
    }
    written = now;
    if (FILE* out = std::fopen(path, "w")) {
        std::fprintf(out, "%lu %.6f\n", frames, now);
        std::fclose(out);
    }
}

} // namespace

extern "C" Uint32 SDL_GetTicks(void) {
    static const auto ticks = real<Uint32 (*)()>("SDL_GetTicks");
    static Uint32 readings = 0;
    return grabPath() != nullptr ? readings++ / 100 : ticks();
}

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
    static const auto swap = real<void (*)(SDL_Window*)>("SDL_GL_SwapWindow");
    if (grabPath() != nullptr) {
        grabAndExit(window);
    }
    swap(window);
    logFrame();
}
