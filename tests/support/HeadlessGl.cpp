#include "HeadlessGl.h"

#include "render/GlEntryPoints.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>

HeadlessGl& HeadlessGl::instance() {
    static HeadlessGl gl;
    return gl;
}

HeadlessGl::HeadlessGl() {
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        error_ = "SDL_Init failed";
        std::fprintf(stderr, "HeadlessGl: %s\n", SDL_GetError());
        return;
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
        error_ = "SDL_CreateWindow failed";
        std::fprintf(stderr, "HeadlessGl: %s\n", SDL_GetError());
        return;
    }
    context_ = SDL_GL_CreateContext(window);
    if (context_ == nullptr) {
        error_ = "SDL_GL_CreateContext failed";
        std::fprintf(stderr, "HeadlessGl: %s\n", SDL_GetError());
        return;
    }
    std::string missing = gl.load(SDL_GL_GetProcAddress);
    if (!missing.empty()) {
        std::fprintf(stderr, "HeadlessGl: missing %s\n", missing.c_str());
    }
    applyFixedGlState();
    glViewport(0, 0, 1280, 720);
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

std::array<uint8_t, 4> HeadlessGl::pixel(int x, int y) const {
    std::array<uint8_t, 4> rgba{};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}
