// HeadlessGl's window and context through SDL, as the game's own SDL window makes them.

#include "HeadlessGl.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>

namespace {

// SDL's own words on the failure, beside HeadlessGl's one-line reason.
bool failed(const char*& error, const char* what) {
    error = what;
    std::fprintf(stderr, "HeadlessGl: %s\n", SDL_GetError());
    return false;
}

}  // namespace

bool HeadlessGl::open() {
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        return failed(error_, "SDL_Init failed");
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* window = SDL_CreateWindow("tests", 0, 0, 1280, 720, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    window_ = window;
    if (window == nullptr) {
        return failed(error_, "SDL_CreateWindow failed");
    }
    context_ = SDL_GL_CreateContext(window);
    if (context_ == nullptr) {
        return failed(error_, "SDL_GL_CreateContext failed");
    }
    // A display's refresh must not pace the frames of a test or a benchmark.
    SDL_GL_SetSwapInterval(0);
    return true;
}

HeadlessGl::~HeadlessGl() {
    if (context_ != nullptr) {
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    }
    if (window_ != nullptr) {
        SDL_DestroyWindow(static_cast<SDL_Window*>(window_));
    }
}

void* HeadlessGl::procAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

void HeadlessGl::releaseCurrent() { SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), nullptr); }

void HeadlessGl::makeCurrent() {
    SDL_GL_MakeCurrent(static_cast<SDL_Window*>(window_), static_cast<SDL_GLContext>(context_));
}

void HeadlessGl::swap() { SDL_GL_SwapWindow(static_cast<SDL_Window*>(window_)); }
