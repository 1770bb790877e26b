// Preloaded into the game by the start-up benchmark: the first buffer swap is waited out
// with glFinish and then ends the process, so the parent's wait measures start to first
// presented frame. Never linked into the game itself.

#include <SDL2/SDL.h>

#include <GL/gl.h>
#include <dlfcn.h>
#include <unistd.h>

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
    using Swap = void (*)(SDL_Window*);
    static const Swap real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    if (real != nullptr) {
        real(window);
    }
    glFinish();
    _exit(real != nullptr ? 0 : 3);
}
