// Preloaded into the desktop game by the browser test: the first frame the game finishes
// is read back from the back buffer before it is presented, written as a binary PPM to
// TAMQ_GRAB_OUT, and the process ends. The browser's first frame is compared with it.
// The game's clock advances 10 microseconds per reading, as the page's does in the test,
// so the first step is exactly the 1 ms minimum on both sides. Never linked into the game.

#include <SDL2/SDL.h>

#include <GL/gl.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" Uint32 SDL_GetTicks(void) {
    static Uint32 readings = 0;
    return readings++ / 100;
}

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    const char* path = std::getenv("TAMQ_GRAB_OUT");
    FILE* out = path != nullptr ? std::fopen(path, "wb") : nullptr;
    if (out == nullptr) {
        _exit(2);
    }
    std::fprintf(out, "P6\n%d %d\n255\n", width, height);
    // OpenGL's rows run bottom up, a picture's top down.
    const size_t row = static_cast<size_t>(width) * 3;
    for (int y = height - 1; y >= 0; --y) {
        std::fwrite(pixels.data() + static_cast<size_t>(y) * row, 1, row, out);
    }
    const bool written = std::fclose(out) == 0;
    _exit(written ? 0 : 2);
}
