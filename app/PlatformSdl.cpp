// The SDL2 backend of the shell's operating-system services.

#include "Platform.h"
#include "Window.h"

#include <SDL2/SDL.h>

#include <cstdlib>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

std::filesystem::path executableFolder() {
    char* base = SDL_GetBasePath();
    if (base == nullptr) {
        return {};
    }
    const std::string utf8(base);
    SDL_free(base);
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string userDataFolder() {
#ifdef __EMSCRIPTEN__
    // A page has no home folder: app/mainWeb.cpp mounts this one over the site's IndexedDB.
    return "/tamq4pelrok";
#else
    // Only an absolute XDG_DATA_HOME counts; a relative one is to be ignored.
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        return std::string(dataHome) + "/tamq4pelrok";
    }
    const char* home = std::getenv("HOME");
    return home != nullptr && home[0] != '\0' ? std::string(home) + "/.local/share/tamq4pelrok" : "";
#endif
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

int nativeKeyOf(GameKey key) {
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

namespace {

// The game draws in one window, whose context is current from its creation to its end.
Window* gameWindow() {
    SDL_Window* native = SDL_GL_GetCurrentWindow();
    return native != nullptr ? static_cast<Window*>(SDL_GetWindowData(native, kWindowPropertyName)) : nullptr;
}

}  // namespace

bool isGameKeyDown(GameKey key) {
    Window* window = gameWindow();
    if (window == nullptr) {
        return false;
    }
    // Key presses reach only the window with the focus, which forgets them when it loses it.
    if (window->takeLatchedKey(key)) {
        return true;
    }
    // SDL only knows this process's windows, so any focus at all is our window's. SDL
    // also clears its key state when the focus leaves, so no key stays stuck down.
    if (SDL_GetKeyboardFocus() != nullptr && SDL_GetKeyboardState(nullptr)[nativeKeyOf(key)] != 0) {
        return true;
    }
    return window->gamepad().holds(key);
}

int nativeKeyOf(WatchKey key) {
    switch (key) {
    case WatchKey::Best: return SDL_SCANCODE_R;
    case WatchKey::Board: return SDL_SCANCODE_T;
    case WatchKey::Daily: return SDL_SCANCODE_D;
    case WatchKey::Challenge: return SDL_SCANCODE_C;
    }
    return SDL_SCANCODE_UNKNOWN;
}

bool isWatchKeyDown(WatchKey key) {
    // Under the game keys' rules: a tap shorter than a frame was latched by the window.
    Window* window = gameWindow();
    if (window == nullptr) {
        return false;
    }
    if (window->takeLatchedKey(key)) {
        return true;
    }
    if (SDL_GetKeyboardFocus() != nullptr && SDL_GetKeyboardState(nullptr)[nativeKeyOf(key)] != 0) {
        return true;
    }
    return window->gamepad().holds(key);
}

bool isBrowseKeyDown(BrowseKey key) {
    Window* window = gameWindow();
    if (window == nullptr) {
        return false;
    }
    SDL_Scancode code = SDL_SCANCODE_UNKNOWN;
    switch (key) {
    case BrowseKey::RowUp: code = SDL_SCANCODE_PAGEUP; break;
    case BrowseKey::RowDown: code = SDL_SCANCODE_PAGEDOWN; break;
    case BrowseKey::PageUp: code = SDL_SCANCODE_LEFTBRACKET; break;
    case BrowseKey::PageDown: code = SDL_SCANCODE_RIGHTBRACKET; break;
    case BrowseKey::Season: code = SDL_SCANCODE_W; break;
    case BrowseKey::Around: code = SDL_SCANCODE_HOME; break;
    }
    if (SDL_GetKeyboardFocus() != nullptr && SDL_GetKeyboardState(nullptr)[code] != 0) {
        return true;
    }
    return window->gamepad().holdsBrowse(key);
}
