// The SDL2 backend of Window: native window, OpenGL context, event translation.

#include "Window.h"

#include "Platform.h"
#include "TouchControls.h"
#include "render/GlEntryPoints.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

constexpr const char* kTitle = "TAMQ 4 Pelrok";

SDL_Window* sdlWindow(void* handle) { return static_cast<SDL_Window*>(handle); }

// SDL's key codes for the keys the shell acts on, as handleMessage knows them.
int shellKeyOf(SDL_Keycode key) {
    switch (key) {
    case SDLK_ESCAPE: return kEscapeKey;
    case SDLK_RETURN: return kReturnKey;
    case SDLK_F11: return kFullscreenKey;
    case SDLK_m: return kMuteKey;
    default: return kOtherKey;
    }
}

// The controllers the window opened as they were announced; the others stay closed.
Gamepad readControllers() {
    Gamepad pad;
    // A phone's touch controls are one more controller (in a browser only).
    TouchControls::addTo(pad);
    if (SDL_WasInit(SDL_INIT_GAMECONTROLLER) == 0) {
        return pad;
    }
    for (int index = 0; index < SDL_NumJoysticks(); ++index) {
        SDL_GameController* controller = SDL_GameControllerFromInstanceID(SDL_JoystickGetDeviceInstanceID(index));
        if (controller == nullptr) {
            continue;
        }
        const auto button = [controller](SDL_GameControllerButton which, unsigned bit) {
            return SDL_GameControllerGetButton(controller, which) != 0 ? bit : 0u;
        };
        const unsigned buttons =
            button(SDL_CONTROLLER_BUTTON_A, Gamepad::kA) | button(SDL_CONTROLLER_BUTTON_X, Gamepad::kX) |
            button(SDL_CONTROLLER_BUTTON_Y, Gamepad::kY) | button(SDL_CONTROLLER_BUTTON_START, Gamepad::kStart) |
            button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, Gamepad::kDpadLeft) |
            button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, Gamepad::kDpadRight) |
            button(SDL_CONTROLLER_BUTTON_DPAD_UP, Gamepad::kDpadUp) |
            button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, Gamepad::kDpadDown) | button(SDL_CONTROLLER_BUTTON_B, Gamepad::kB) |
            button(SDL_CONTROLLER_BUTTON_BACK, Gamepad::kBack) |
            button(SDL_CONTROLLER_BUTTON_LEFTSHOULDER, Gamepad::kLeftShoulder) |
            button(SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, Gamepad::kRightShoulder) |
            button(SDL_CONTROLLER_BUTTON_RIGHTSTICK, Gamepad::kRightStick) |
            button(SDL_CONTROLLER_BUTTON_LEFTSTICK, Gamepad::kLeftStick);
        // SDL's stick y grows downwards.
        const float x = SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTX) / 32768.0f;
        const float y = SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTY) / -32768.0f;
        pad.add(buttons, x, y);
    }
    return pad;
}

int keyFlagsOf(const SDL_KeyboardEvent& key) {
    return (key.repeat != 0 ? kKeyRepeated : 0) | ((key.keysym.mod & KMOD_ALT) != 0 ? kKeyWithAlt : 0);
}

void dispatch(Window& target, SDL_Window* window, const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:
        target.handleMessage(WindowMessage::Close);
        return;
    case SDL_KEYDOWN:
        target.latchNativeKey(event.key.keysym.scancode);
        target.handleMessage(WindowMessage::KeyDown, shellKeyOf(event.key.keysym.sym), keyFlagsOf(event.key));
        return;
    case SDL_KEYUP:
        target.handleMessage(WindowMessage::KeyUp, shellKeyOf(event.key.keysym.sym));
        return;
    // Controllers come and go while the game runs; SDL also announces those already
    // connected when its controller subsystem starts.
    case SDL_CONTROLLERDEVICEADDED:
        SDL_GameControllerOpen(event.cdevice.which);
        return;
    case SDL_CONTROLLERDEVICEREMOVED:
        SDL_GameControllerClose(SDL_GameControllerFromInstanceID(event.cdevice.which));
        return;
    case SDL_WINDOWEVENT:
        break;
    default:
        target.handleMessage(WindowMessage::Other);
        return;
    }
    if (window == nullptr || event.window.windowID != SDL_GetWindowID(window)) {
        return;
    }
    switch (event.window.event) {
    // SDL reports every size change this way, after a user drag (RESIZED) or not.
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        target.handleMessage(WindowMessage::Size, event.window.data1, event.window.data2);
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        target.handleMessage(WindowMessage::Size, 0, 0);
        break;
    case SDL_WINDOWEVENT_RESTORED: {
        int width = 0;
        int height = 0;
        SDL_GL_GetDrawableSize(window, &width, &height);
        target.handleMessage(WindowMessage::Size, width, height);
        break;
    }
    case SDL_WINDOWEVENT_EXPOSED:
        target.handleMessage(WindowMessage::Expose);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        target.handleMessage(WindowMessage::FocusLost);
        break;
    case SDL_WINDOWEVENT_CLOSE:
        target.handleMessage(WindowMessage::Close);
        break;
    default:
        target.handleMessage(WindowMessage::Other);
        break;
    }
}

} // namespace

Window::~Window() {
    releaseContext();
    if (windowHandle_ != nullptr) {
        destroy();
        SDL_SetWindowData(sdlWindow(windowHandle_), kWindowPropertyName, nullptr);
        SDL_DestroyWindow(sdlWindow(windowHandle_));
        windowHandle_ = nullptr;
        // Closes whatever controllers are still open.
        if (SDL_WasInit(SDL_INIT_GAMECONTROLLER) != 0) {
            SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
        }
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
#ifdef __EMSCRIPTEN__
    // A page composites its canvas by the alpha channel, which the game's blending leaves
    // below 1 at every soft edge: the canvas gets none, like a desktop window.
    const int alphaBits = 0;
    (void)bits;
#else
    const int alphaBits = bits >= 32 ? 8 : 0;
#endif
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alphaBits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE;
    if (fullscreen) {
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    }
    SDL_Window* window = SDL_CreateWindow(kTitle, 0, 0, width, height, flags);
    if (window == nullptr) {
        std::fprintf(stderr, "SDL window: %s\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    windowHandle_ = window;
    SDL_SetWindowData(window, kWindowPropertyName, this);

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
    // Without controllers (no permission to the devices, say) the keyboard still plays.
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        std::fprintf(stderr, "SDL game controllers: %s\n", SDL_GetError());
    }
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
    int doubleBuffered = 0;
    finishOnSwap_ = SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &doubleBuffered) == 0 && doubleBuffered == 0;
    enableVsync();
    return true;
}

void Window::enableVsync() {
#ifdef __EMSCRIPTEN__
    // The browser calls each frame from requestAnimationFrame: paced by the display already.
    swapInterval_ = 1;
    return;
#endif
    // Adaptive sync first: a late frame is shown at once instead of waiting a whole refresh.
    swapInterval_ = 0;
    for (int interval : {-1, 1}) {
        if (SDL_GL_SetSwapInterval(interval) == 0) {
            swapInterval_ = interval;
            break;
        }
    }
    SDL_DisplayMode mode{};
    const bool known = SDL_GetWindowDisplayMode(sdlWindow(windowHandle_), &mode) == 0;
    pacer_.init(known ? mode.refresh_rate : 0, swapInterval_ != 0);
    // SDL's offscreen driver shows nothing: no display to keep pace with, and the tests
    // that draw through it run as fast as they can.
    const char* driver = SDL_GetCurrentVideoDriver();
    paced_ = driver == nullptr || std::strcmp(driver, "offscreen") != 0;
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

void Window::destroy() { setFullscreen(false); }

void Window::applyFullscreen(bool fullscreen) {
    SDL_Window* window = sdlWindow(windowHandle_);
    if (SDL_SetWindowFullscreen(window, fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
        std::fprintf(stderr, "Fullscreen: %s\n", SDL_GetError());
        fullscreen_ = (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
    }
}

void Window::pumpMessages() {
    SDL_Window* window = sdlWindow(windowHandle_);
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        dispatch(*this, window, event);
    }
    setGamepad(readControllers());
}

void Window::waitForMessages(int milliseconds) {
#ifdef __EMSCRIPTEN__
    // Waiting would block the page; the browser calls the next frame when the display wants one.
    (void)milliseconds;
    return;
#endif
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, milliseconds) != 0) {
        dispatch(*this, sdlWindow(windowHandle_), event);
    }
}

void Window::swapBuffers() {
    needsRedraw_ = false;
    if (windowHandle_ == nullptr || renderingContext_ == nullptr) {
        return;
    }
    SDL_GL_SwapWindow(sdlWindow(windowHandle_));
    // No buffer to swap: the frame is done when it is drawn. Waiting for it keeps the
    // rasteriser's queue one frame deep, so closing never waits on seconds of old frames.
    if (finishOnSwap_) {
        glFinish();
    }
    if (paced_) {
        paceFrame();
    }
}
