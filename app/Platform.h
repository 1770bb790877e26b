#pragma once

#include "Gamepad.h"
#include "sim/GameKeys.h"

#include <cstdint>
#include <filesystem>

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

// The game controllers as they are now. SDL keeps its own controllers' state (and, by
// default, ignores them while no window of ours has the focus); on Windows the answer is
// what the window in front, if it is ours, read from XInput this frame.
Gamepad readGamepads();

// Whether a game key is held: its key, answered only while our window has the keyboard
// focus so that typing in another program never drives the game, or its controller
// button. This is the KeyQuery the game polls.
bool isGameKeyDown(GameKey key);

// Whether R or a controller's B button is held, under the same focus rule: the shell's key
// to watch the best run from the title screen. The rules never see it.
bool isWatchKeyDown();
