// Preloaded into the game by the start-up benchmark: the first buffer swap is waited out
// with glFinish and then ends the process, so the parent's wait measures start to first
// presented frame. On the way it notes three moments, in milliseconds after the parent's
// spawn (TAMQ_PROBE_SPAWN_NS, steady clock), into the file TAMQ_PROBE_OUT: the context made,
// the first clear (the game's init and first update are done), and the frame presented.
// Never linked into the game itself.

#include <SDL2/SDL.h>

#include <GL/gl.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

double sinceSpawnMs() {
    const char* spawn = std::getenv("TAMQ_PROBE_SPAWN_NS");
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const double nowNs = static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
    return spawn == nullptr ? 0.0 : (nowNs - std::strtod(spawn, nullptr)) / 1e6;
}

double contextMs = 0.0;
double firstClearMs = 0.0;

template <class Function>
Function real(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" SDL_GLContext SDL_GL_CreateContext(SDL_Window* window) {
    static const auto create = real<SDL_GLContext (*)(SDL_Window*)>("SDL_GL_CreateContext");
    SDL_GLContext context = create(window);
    contextMs = sinceSpawnMs();
    return context;
}

extern "C" void glClear(GLbitfield mask) {
    static const auto clear = real<void (*)(GLbitfield)>("glClear");
    if (firstClearMs == 0.0) {
        firstClearMs = sinceSpawnMs();
    }
    clear(mask);
}

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
    static const auto swap = real<void (*)(SDL_Window*)>("SDL_GL_SwapWindow");
    if (swap == nullptr) {
        _exit(3);
    }
    swap(window);
    glFinish();
    const double presentedMs = sinceSpawnMs();
    if (const char* path = std::getenv("TAMQ_PROBE_OUT")) {
        if (FILE* out = std::fopen(path, "w")) {
            std::fprintf(out, "%f %f %f\n", contextMs, firstClearMs, presentedMs);
            std::fclose(out);
        }
    }
    _exit(0);
}
