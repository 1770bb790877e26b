// The SDL2 backend of the shell's operating-system services.

#include "Platform.h"

#include <SDL2/SDL.h>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace {

SDL_Scancode scancodeOf(GameKey key) {
    switch (key) {
    case GameKey::Space: return SDL_SCANCODE_SPACE;
    case GameKey::F1: return SDL_SCANCODE_F1;
    case GameKey::F2: return SDL_SCANCODE_F2;
    case GameKey::Left: return SDL_SCANCODE_LEFT;
    case GameKey::Right: return SDL_SCANCODE_RIGHT;
    case GameKey::Up: return SDL_SCANCODE_UP;
    case GameKey::Down: return SDL_SCANCODE_DOWN;
    }
    return SDL_SCANCODE_UNKNOWN;
}

} // namespace

std::filesystem::path executableFolder() {
    char* base = SDL_GetBasePath();
    if (base == nullptr) {
        return {};
    }
    const std::string utf8(base);
    SDL_free(base);
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::uint32_t platformMilliseconds() { return SDL_GetTicks(); }

#ifdef __EMSCRIPTEN__
// In a browser SDL's message box is alert(), which stops the page. The page shows the
// text over the game instead (index.html's showMessage).
EM_JS(void, showPageMessage, (const char* caption, const char* text),
      { Module.showMessage(UTF8ToString(caption), UTF8ToString(text)); });

void showErrorBox(const char* text) { showPageMessage("An error occurred", text); }
#else
void showErrorBox(const char* text) {
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "An error occurred", text, nullptr);
}
#endif

void* glProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

Gamepad readGamepads() {
    Gamepad pad;
    if (SDL_WasInit(SDL_INIT_GAMECONTROLLER) == 0) {
        return pad;
    }
    // The controllers the window opened as they were announced; the others stay closed.
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
            button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, Gamepad::kDpadDown) | button(SDL_CONTROLLER_BUTTON_B, Gamepad::kB);
        // SDL's stick y grows downwards.
        const float x = SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTX) / 32768.0f;
        const float y = SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTY) / -32768.0f;
        pad.add(buttons, x, y);
    }
    return pad;
}

bool isGameKeyDown(GameKey key) {
    // SDL only knows this process's windows, so any focus at all is our window's. SDL
    // also clears its key state when the focus leaves, so no key stays stuck down.
    if (SDL_GetKeyboardFocus() != nullptr) {
        const Uint8* state = SDL_GetKeyboardState(nullptr);
        const SDL_Scancode code = scancodeOf(key);
        if (code != SDL_SCANCODE_UNKNOWN && state[code] != 0) {
            return true;
        }
    }
    return readGamepads().holds(key);
}

bool isWatchKeyDown() {
    if (SDL_GetKeyboardFocus() != nullptr && SDL_GetKeyboardState(nullptr)[SDL_SCANCODE_R] != 0) {
        return true;
    }
    return readGamepads().holdsWatch();
}
