#pragma once

#include "FramePacer.h"
#include "Gamepad.h"
#include "Platform.h"
#ifdef _WIN32
#include "XInputPads.h"
#endif

#include <cstdint>

class Game;

// The game's one window with its OpenGL context, the frame timer and the two flags the
// main loop reads (running, active). Window.cpp holds the platform-neutral behaviour;
// a backend file (WindowSdl.cpp or WindowWin32.cpp) makes the native window, turns native events
// into WindowMessages and owns the context. The handles are opaque so that another
// backend can keep its own kinds of handle in them.
enum class WindowMessage { Create, Size, Expose, KeyDown, KeyUp, FocusLost, Close, Destroy, Other };

// The keys the shell itself acts on, as the backends pass them in KeyDown and KeyUp
// messages, and kOtherKey for every other key. Negative, so that no platform's own key
// code (SDL's Z is 122, Win32's F11) can ever pass for one of them.
inline constexpr int kOtherKey = 0;
inline constexpr int kEscapeKey = -1;
inline constexpr int kReturnKey = -2;
inline constexpr int kFullscreenKey = -3; // F11
inline constexpr int kMuteKey = -4;       // M

// Flags of a KeyDown message, in its second argument.
inline constexpr int kKeyRepeated = 1; // an auto-repeat of a key already held
inline constexpr int kKeyWithAlt = 2;  // Alt was held

// The native window carries its Window under this name (a Win32 window property, SDL's
// window data), for the key query to find the keys and controllers the window saw.
inline constexpr const char* kWindowPropertyName = "TamqWindow";

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
    // Fullscreen is a borderless window over the whole display, at its own resolution.
    bool create(int width, int height, int bits, bool fullscreen);
    // Back to the window as it was before fullscreen, ready for the process to end.
    void destroy();

    bool isRunning() const { return running_; }
    bool isActive() const { return active_; }
    // Sound is off: M toggles it, once per press.
    bool isMuted() const { return muted_; }
    void setMuted(bool muted) { muted_ = muted; }
    bool hasContext() const { return renderingContext_ != nullptr; }
    bool isFullscreen() const { return fullscreen_; }
    // The swap interval the driver accepted: 1 for vertical sync, -1 adaptive, 0 none.
    int swapInterval() const { return swapInterval_; }
    // The picture on screen is stale (exposed, resized): a paused loop draws it once.
    bool needsRedraw() const { return needsRedraw_; }
    // The game controllers as last read by pumpMessages.
    const Gamepad& gamepad() const { return gamepad_; }

    // A native key went down (SDL's scan code, a Win32 virtual key): when it is a game
    // key, it counts as down for the key query's next question about it, even if it is
    // released before then. Pausing, resuming and losing the focus forget such presses.
    void latchNativeKey(int nativeKey);
    // Whether the game key went down since the last time this was asked; asking clears it.
    bool takeLatchedKey(GameKey key);
    // The same for a watch key, which latches as the game keys do.
    bool takeLatchedKey(WatchKey key);

    // Handles every waiting native event without waiting for new ones.
    void pumpMessages();
    // Sleeps until a native event arrives or the milliseconds have passed, then handles it.
    void waitForMessages(int milliseconds);
    // Seconds since the previous call (or since create), from the millisecond clock.
    float elapsedSeconds();
    // Presents the frame just drawn; only ever after a frame was drawn.
    void swapBuffers();
    // Switches between the window and fullscreen; the game sees only the new size.
    void setFullscreen(bool fullscreen);

    // The behaviour behind the native events. Returns true when the platform's default
    // handling should follow, false when the message is fully answered (close).
    bool handleMessage(WindowMessage message, int a = 0, int b = 0);
    // This frame's controllers: a press of Start pauses or resumes like ESC.
    void setGamepad(const Gamepad& gamepad);
#ifdef _WIN32
    // The XInput controllers pumpMessages reads, for tests to stand in for.
    XInputPads& controllers() { return pads_; }
#endif

private:
    // A backend's native glue (the Win32 window procedure) may reach the handles below.
    friend struct WindowBackend;

    // ESC and Start: a press made while paused must not act after the resume.
    void togglePause();

    // Backend: make the context current on the window, falling back to a legacy context.
    bool createContext();
    // Backend: leave no context current and delete ours. Safe to repeat.
    void releaseContext();
    // Backend: ask for vertical sync on the current context; sets swapInterval_.
    void enableVsync();
    // After a swap: sleeps until the display's next frame is due when the swap came back
    // sooner (no vertical sync, or one that does not wait).
    void paceFrame();
    // Backend: the native part of setFullscreen, on an existing window.
    void applyFullscreen(bool fullscreen);

    bool active_ = true;
    // One bit per game key (1 << GameKey), then one per watch key, set by latchNativeKey.
    unsigned latchedKeys_ = 0;
    static unsigned bitOf(GameKey key) { return 1u << static_cast<unsigned>(key); }
    static unsigned bitOf(WatchKey key) { return 1u << (kGameKeyCount + static_cast<unsigned>(key)); }
    bool takeLatchedBit(unsigned bit);
    bool muted_ = false;
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
    int swapInterval_ = 0;
    bool needsRedraw_ = false;
    // A single-buffered surface (SDL's offscreen pbuffer) presents nothing on a swap,
    // so nothing holds the loop back from running ahead of the rasteriser.
    bool finishOnSwap_ = false;
    FramePacer pacer_;
    // Whether swaps are paced (a display shows them; not in a browser, whose animation
    // frames set the pace).
    bool paced_ = false;
    Gamepad gamepad_;
#ifdef _WIN32
    XInputPads pads_;
    // Where the window was before fullscreen, to go back to: its normal rectangle (left,
    // top, right, bottom), whether it was maximised, and its style.
    int windowedRect_[4] = {};
    bool windowedMaximized_ = false;
    long windowedStyle_ = 0;
#endif
};
