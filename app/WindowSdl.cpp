// The SDL2 backend of Window: native window, OpenGL context, event translation.

#include "Window.h"

#include "Platform.h"

#include <SDL2/SDL.h>

#include <cstdio>

static_assert(SDLK_ESCAPE == kEscapeKey, "ESC must reach handleMessage with the shared key code");

namespace {

constexpr const char* kTitle = "TAMQ 4 Pelrok";

SDL_Window* sdlWindow(void* handle) { return static_cast<SDL_Window*>(handle); }

// Asks the display for exactly width x height at the given depth and switches the
// window to it. False when the display cannot or will not.
bool enterFullscreen(SDL_Window* window, int width, int height, int bits) {
    SDL_DisplayMode wanted{};
    wanted.format = bits == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
    wanted.w = width;
    wanted.h = height;
    SDL_DisplayMode found{};
    const int display = SDL_GetWindowDisplayIndex(window);
    if (display < 0 || SDL_GetClosestDisplayMode(display, &wanted, &found) == nullptr) {
        return false;
    }
    if (found.w != width || found.h != height) {
        return false;
    }
    return SDL_SetWindowDisplayMode(window, &found) == 0 &&
           SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) == 0;
}

} // namespace

Window::~Window() {
    releaseContext();
    if (windowHandle_ != nullptr) {
        destroy();
        SDL_DestroyWindow(sdlWindow(windowHandle_));
        windowHandle_ = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
}

bool Window::create(int width, int height, int bits, bool fullscreen) {
    width_ = width;
    height_ = height;
    fullscreen_ = fullscreen;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL video: %s\n", SDL_GetError());
        return false;
    }

    // The pixel format is fixed when the native window is made, so it is asked for first.
    const int alphaBits = bits >= 32 ? 8 : 0;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alphaBits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (!fullscreen) {
        flags |= SDL_WINDOW_RESIZABLE;
    }
    SDL_Window* window = SDL_CreateWindow(kTitle, 0, 0, width, height, flags);
    if (window == nullptr) {
        std::fprintf(stderr, "SDL window: %s\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    windowHandle_ = window;

    if (fullscreen_ && !enterFullscreen(window, width, height, bits)) {
        showNoticeBox("Display mode failed");
        fullscreen_ = false;
        SDL_SetWindowResizable(window, SDL_TRUE);
    }
    if (fullscreen_) {
        SDL_ShowCursor(SDL_DISABLE);
    }

    handleMessage(WindowMessage::Create);
    if (!running_) {
        return false;
    }
    // The game sizes its viewport and cameras from this, before its init.
    int clientWidth = 0;
    int clientHeight = 0;
    SDL_GL_GetDrawableSize(window, &clientWidth, &clientHeight);
    handleMessage(WindowMessage::Size, clientWidth, clientHeight);

    SDL_ShowWindow(window);
    lastTime_ = clock_();
    return true;
}

bool Window::createContext() {
    SDL_Window* window = sdlWindow(windowHandle_);
    if (window == nullptr) {
        return false;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (context == nullptr) {
        std::fputs("OpenGL 3.0 is not supported, falling back to GL 2.1\n", stderr);
        // SDL's own defaults: with them it makes a plain legacy context, no version asked.
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
        context = SDL_GL_CreateContext(window);
    }
    if (context == nullptr) {
        std::fprintf(stderr, "OpenGL context: %s\n", SDL_GetError());
        return false;
    }
    if (SDL_GL_MakeCurrent(window, context) != 0) {
        std::fprintf(stderr, "OpenGL context: %s\n", SDL_GetError());
        SDL_GL_DeleteContext(context);
        return false;
    }
    renderingContext_ = context;
    return true;
}

void Window::releaseContext() {
    if (renderingContext_ == nullptr) {
        return;
    }
    // With no context current, later GL calls land in the driver's no-op table.
    SDL_GL_MakeCurrent(sdlWindow(windowHandle_), nullptr);
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(renderingContext_));
    renderingContext_ = nullptr;
}

void Window::destroy() {
    if (!fullscreen_ || windowHandle_ == nullptr) {
        return;
    }
    SDL_SetWindowFullscreen(sdlWindow(windowHandle_), 0);
    SDL_ShowCursor(SDL_ENABLE);
    fullscreen_ = false;
}

void Window::pumpMessages() {
    SDL_Window* window = sdlWindow(windowHandle_);
    const Uint32 ourId = window != nullptr ? SDL_GetWindowID(window) : 0;
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        switch (event.type) {
        case SDL_QUIT:
            handleMessage(WindowMessage::Close);
            break;
        case SDL_KEYDOWN:
            handleMessage(WindowMessage::KeyDown, event.key.keysym.sym);
            break;
        case SDL_KEYUP:
            handleMessage(WindowMessage::KeyUp, event.key.keysym.sym);
            break;
        case SDL_WINDOWEVENT:
            if (event.window.windowID != ourId) {
                break;
            }
            switch (event.window.event) {
            // SDL reports every size change this way, after a user drag (RESIZED) or not.
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                handleMessage(WindowMessage::Size, event.window.data1, event.window.data2);
                break;
            case SDL_WINDOWEVENT_MINIMIZED:
                handleMessage(WindowMessage::Size, 0, 0);
                break;
            case SDL_WINDOWEVENT_RESTORED: {
                int width = 0;
                int height = 0;
                SDL_GL_GetDrawableSize(window, &width, &height);
                handleMessage(WindowMessage::Size, width, height);
                break;
            }
            case SDL_WINDOWEVENT_CLOSE:
                handleMessage(WindowMessage::Close);
                break;
            default:
                handleMessage(WindowMessage::Other);
                break;
            }
            break;
        default:
            handleMessage(WindowMessage::Other);
            break;
        }
    }
}

void Window::swapBuffers() {
    // After close there is nothing to present; the native window itself stays.
    if (windowHandle_ != nullptr && renderingContext_ != nullptr) {
        SDL_GL_SwapWindow(sdlWindow(windowHandle_));
    }
}
