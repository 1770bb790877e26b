// The Win32 backend of the shell's operating-system services.

#include "Platform.h"
#include "Window.h"

#include <windows.h>
// After windows.h, which it needs; WIN32_LEAN_AND_MEAN leaves it out.
#include <mmsystem.h>

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>

namespace {

// wglext.h names, written out so that only windows.h is needed.
constexpr int kContextMajorVersion = 0x2091; // WGL_CONTEXT_MAJOR_VERSION_ARB
constexpr int kContextMinorVersion = 0x2092; // WGL_CONTEXT_MINOR_VERSION_ARB
using CreateContextAttribs = HGLRC(WINAPI*)(HDC, HGLRC, const int*);

// The window the player is typing into, when it is one of this process's.
HWND ownForegroundWindow() {
    HWND foreground = GetForegroundWindow();
    if (foreground == nullptr) {
        return nullptr;
    }
    DWORD process = 0;
    GetWindowThreadProcessId(foreground, &process);
    return process == GetCurrentProcessId() ? foreground : nullptr;
}

// The Window of the game's window while it is in front, else null: keys and controllers
// count only then. Only the game's window carries the property (the Window it belongs to).
Window* focusedGameWindow() {
    HWND foreground = ownForegroundWindow();
    return foreground != nullptr ? static_cast<Window*>(GetPropA(foreground, kWindowPropertyName)) : nullptr;
}

bool keyHeld(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

} // namespace

std::filesystem::path executableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return std::filesystem::path(path).parent_path();
        }
        path.resize(path.size() * 2);  // a long path, cut short: try again with more room
    }
}

std::string userDataFolder() {
    const char* appData = std::getenv("APPDATA");
    return appData != nullptr && appData[0] != '\0' ? std::string(appData) + "\\tamq4pelrok" : "";
}

std::uint32_t platformMilliseconds() { return timeGetTime(); }

void showErrorBox(const char* text) { MessageBoxA(nullptr, text, "An error occurred", MB_OK | MB_ICONERROR); }

void* glProcAddress(const char* name) {
    PROC found = wglGetProcAddress(name);
    // Some drivers answer a miss with a small number or -1 instead of null.
    const auto value = reinterpret_cast<std::intptr_t>(found);
    if (value >= -1 && value <= 3) {
        found = nullptr;
    }
    // wglGetProcAddress only knows what lies past OpenGL 1.1; opengl32.dll exports the rest.
    if (found == nullptr) {
        if (HMODULE library = GetModuleHandleA("opengl32.dll"); library != nullptr) {
            found = GetProcAddress(library, name);
        }
    }
    return reinterpret_cast<void*>(found);
}

int nativeKeyOf(GameKey key) {
    switch (key) {
    case GameKey::Space: return VK_SPACE;
    case GameKey::F1: return VK_F1;
    case GameKey::F2: return VK_F2;
    case GameKey::Left: return VK_LEFT;
    case GameKey::Right: return VK_RIGHT;
    case GameKey::Up: return VK_UP;
    case GameKey::Down: return VK_DOWN;
    }
    return 0;
}

bool isGameKeyDown(GameKey key) {
    // GetAsyncKeyState reports the key system-wide: without the window in front, typing
    // in another program would steer the truck or restart the run.
    Window* window = focusedGameWindow();
    if (window == nullptr) {
        return false;
    }
    return window->takeLatchedKey(key) || keyHeld(nativeKeyOf(key)) || window->gamepad().holds(key);
}

int nativeKeyOf(WatchKey key) {
    switch (key) {
    case WatchKey::Best: return 'R';
    case WatchKey::Board: return 'T';
    case WatchKey::Daily: return 'D';
    case WatchKey::Challenge: return 'C';
    }
    return 0;
}

bool isWatchKeyDown(WatchKey key) {
    Window* window = focusedGameWindow();
    if (window == nullptr) {
        return false;
    }
    return window->takeLatchedKey(key) || keyHeld(nativeKeyOf(key)) || window->gamepad().holds(key);
}

bool isBrowseKeyDown(BrowseKey key) {
    Window* window = focusedGameWindow();
    if (window == nullptr) {
        return false;
    }
    int code = 0;
    switch (key) {
    case BrowseKey::RowUp: code = VK_PRIOR; break;
    case BrowseKey::RowDown: code = VK_NEXT; break;
    case BrowseKey::PageUp: code = VK_OEM_4; break;
    case BrowseKey::PageDown: code = VK_OEM_6; break;
    case BrowseKey::Season: code = 'W'; break;
    case BrowseKey::Around: code = VK_HOME; break;
    }
    return keyHeld(code) || window->gamepad().holdsBrowse(key);
}

void* createWglContext(void* deviceContext) {
    HDC dc = static_cast<HDC>(deviceContext);
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 32;
    format.cDepthBits = 16;
    // Without a pixel format no context can follow: fail here with the reason.
    const int chosen = ChoosePixelFormat(dc, &format);
    if (chosen == 0 || !SetPixelFormat(dc, chosen, &format)) {
        std::fprintf(stderr, "Pixel format: error %lu\n", GetLastError());
        return nullptr;
    }

    HGLRC legacy = wglCreateContext(dc);
    if (legacy == nullptr || !wglMakeCurrent(dc, legacy)) {
        std::fprintf(stderr, "OpenGL context: error %lu\n", GetLastError());
        if (legacy != nullptr) {
            wglDeleteContext(legacy);
        }
        return nullptr;
    }

    HGLRC context = legacy;
    auto createContextAttribs =
        reinterpret_cast<CreateContextAttribs>(reinterpret_cast<void*>(wglGetProcAddress("wglCreateContextAttribsARB")));
    if (createContextAttribs != nullptr) {
        const int attributes[] = {kContextMajorVersion, 3, kContextMinorVersion, 0, 0};
        HGLRC modern = createContextAttribs(dc, nullptr, attributes);
        // A driver that offers the function may still refuse 3.0; the legacy context,
        // still current, then stays.
        if (modern != nullptr && wglMakeCurrent(dc, modern)) {
            wglDeleteContext(legacy);
            context = modern;
        } else {
            if (modern != nullptr) {
                wglMakeCurrent(dc, legacy);
                wglDeleteContext(modern);
            }
            std::fputs("OpenGL 3.0 is not supported, falling back to GL 2.1\n", stderr);
        }
    } else {
        std::fputs("OpenGL 3.0 is not supported, falling back to GL 2.1\n", stderr);
    }
    wglMakeCurrent(dc, context);
    return context;
}
