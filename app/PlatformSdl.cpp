// The SDL2 backend of the shell's operating-system services.

#include "Platform.h"

#include <SDL2/SDL.h>

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

std::uint32_t platformMilliseconds() { return SDL_GetTicks(); }

void showErrorBox(const char* text) {
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "An error occurred", text, nullptr);
}

void showNoticeBox(const char* text) {
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, "", text, nullptr);
}

void* glProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

bool isGameKeyDown(GameKey key) {
    // SDL only knows this process's windows, so any focus at all is our window's. SDL
    // also clears its key state when the focus leaves, so no key stays stuck down.
    if (SDL_GetKeyboardFocus() == nullptr) {
        return false;
    }
    const Uint8* state = SDL_GetKeyboardState(nullptr);
    const SDL_Scancode code = scancodeOf(key);
    return code != SDL_SCANCODE_UNKNOWN && state[code] != 0;
}
