#pragma once

#include <cstdint>

class Game;

// The game's one window with its OpenGL context, the frame timer and the two flags the
// main loop reads (running, active). Window.cpp holds the platform-neutral behaviour;
// a backend file (WindowSdl.cpp or WindowWin32.cpp) makes the native window, turns native events
// into WindowMessages and owns the context. The handles are opaque so that another
// backend can keep its own kinds of handle in them.
enum class WindowMessage { Create, Size, KeyDown, KeyUp, Close, Destroy, Other };

// ESC as it arrives in KeyDown and KeyUp messages: the value of both VK_ESCAPE and SDLK_ESCAPE.
inline constexpr int kEscapeKey = 27;

// A free-running millisecond counter that wraps at 2^32.
using MillisecondClock = std::uint32_t (*)();

// Receives every size message; setGame points it at the game's resize.
using ResizeCallback = void (*)(void* target, int width, int height);

class Window {
public:
    explicit Window(void* instance = nullptr);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Must come before create: the first size message arrives while create runs.
    void setGame(Game* game);
    void setResizeCallback(ResizeCallback callback, void* target);
    // Tests replace the platform clock to control time.
    void setClock(MillisecondClock clock) { clock_ = clock; }

    // Opens the window and makes its OpenGL context current; false when either fails.
    bool create(int width, int height, int bits, bool fullscreen);
    // Restores the desktop display mode and cursor after a fullscreen run.
    void destroy();

    bool isRunning() const { return running_; }
    bool isActive() const { return active_; }
    bool hasContext() const { return renderingContext_ != nullptr; }

    // Handles every waiting native event without waiting for new ones.
    void pumpMessages();
    // Seconds since the previous call (or since create), from the millisecond clock.
    float elapsedSeconds();
    void swapBuffers();

    // The behaviour behind the native events. Returns true when the platform's default
    // handling should follow, false when the message is fully answered (close).
    bool handleMessage(WindowMessage message, int a = 0, int b = 0);

private:
    // A backend's native glue (the Win32 window procedure) may reach the handles below.
    friend struct WindowBackend;

    // Backend: make the context current on the window, falling back to a legacy context.
    bool createContext();
    // Backend: leave no context current and delete ours. Safe to repeat.
    void releaseContext();

    bool active_ = true;
    Game* game_ = nullptr;
    bool running_ = false;
    bool fullscreen_ = false;
    void* windowHandle_ = nullptr;
    void* renderingContext_ = nullptr;
    void* deviceContext_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    void* instance_ = nullptr;
    std::uint32_t lastTime_ = 0;
    MillisecondClock clock_;
    ResizeCallback resizeCallback_ = nullptr;
    void* resizeTarget_ = nullptr;
};
