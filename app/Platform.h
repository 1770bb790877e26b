#pragma once

#include "Gamepad.h"
#include "sim/GameKeys.h"

#include <cstdint>
#include <filesystem>
#include <string>

// The few services of the operating system that the shell uses outside the window:
// each backend (PlatformSdl.cpp or PlatformWin32.cpp) implements them.

// The folder of the running executable; empty when the system cannot tell.
std::filesystem::path executableFolder();

// Milliseconds from an arbitrary start, wrapping at 2^32.
std::uint32_t platformMilliseconds();

// A modal message box with an error icon and the caption "An error occurred".
void showErrorBox(const char* text);

// The address of an OpenGL function of the current context, null when it has none.
void* glProcAddress(const char* name);

#ifdef _WIN32
// Windows only: the game's pixel format on a window's device context (an HDC) and an
// OpenGL context on it, 3.0 where the driver gives one and legacy otherwise, left current.
// Null, with the reason on standard error, when there is none.
void* createWglContext(void* deviceContext);
#endif

// The player's data folder for this game: $XDG_DATA_HOME/tamq4pelrok (else
// ~/.local/share/tamq4pelrok), %APPDATA%\tamq4pelrok on Windows, /tamq4pelrok in a browser
// (kept in the site's IndexedDB). Empty when the environment names no home at all.
std::string userDataFolder();

// The platform's own code for a game key's key: SDL's scan code, the Win32 virtual key.
int nativeKeyOf(GameKey key);
// And for a watch key's: R, T, D and C.
int nativeKeyOf(WatchKey key);

// Whether a game key counts as down for the coming update: its key held or pressed since
// the last question (Window::takeLatchedKey), answered only while our window has the
// keyboard focus so that typing in another program never drives the game; or its
// controller button, as the window read it this frame (Window::gamepad). Controllers count
// only while the game's window has the focus too: SDL ignores them while no window of ours
// has it, the Win32 window reads XInput only while it is in front. This is the KeyQuery
// the game polls.
bool isGameKeyDown(GameKey key);

// Whether R (WatchKey::Best) or a controller's B button is held or was tapped since the last
// question, under the same focus rule: the shell's key to watch the best run from the
// title screen. T (WatchKey::Board) or a controller's Back: the online board's best run of
// the shown mode and difficulty. The rules never see them. Asked once a frame, as a tap is
// answered once.
bool isWatchKeyDown(WatchKey key);

// Whether a key that browses the online board's table is held, under the same focus rule.
bool isBrowseKeyDown(BrowseKey key);
