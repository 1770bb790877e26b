#include "Window.h"

#include "Platform.h"
#include "game/Game.h"

#include <chrono>
#include <thread>

namespace {

void resizeGame(void* target, int width, int height) {
    static_cast<Game*>(target)->resize(width, height);
}

} // namespace

Window::Window(void* instance) : instance_(instance), clock_(platformMilliseconds) {}

void Window::setGame(Game* game) {
    game_ = game;
    setResizeCallback(game != nullptr ? resizeGame : nullptr, game);
}

void Window::setResizeCallback(ResizeCallback callback, void* target) {
    resizeCallback_ = callback;
    resizeTarget_ = target;
}

float Window::elapsedSeconds() {
    const std::uint32_t now = clock_();
    // Unsigned subtraction stays right when the counter wraps between two readings.
    const std::uint32_t difference = now - lastTime_;
    lastTime_ = now;
    return static_cast<float>(difference) / 1000.0f;
}

void Window::paceFrame() {
    const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    const std::int64_t wait = pacer_.waitAfterSwap(now.count());
    if (wait > 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(wait));
    }
}

void Window::setFullscreen(bool fullscreen) {
    if (fullscreen == fullscreen_) {
        return;
    }
    fullscreen_ = fullscreen;
    if (windowHandle_ != nullptr) {
        applyFullscreen(fullscreen);
    }
}

void Window::setGamepad(const Gamepad& gamepad) {
    if (gamepad.holdsStart() && !gamepad_.holdsStart()) {
        togglePause();
    }
    gamepad_ = gamepad;
}

void Window::togglePause() {
    active_ = !active_;
    latchedKeys_ = 0;
}

void Window::latchNativeKey(int nativeKey) {
    for (GameKey key : kGameKeys) {
        if (nativeKeyOf(key) == nativeKey) {
            latchedKeys_ |= bitOf(key);
        }
    }
    for (WatchKey key : kWatchKeys) {
        if (nativeKeyOf(key) == nativeKey) {
            latchedKeys_ |= bitOf(key);
        }
    }
}

bool Window::takeLatchedBit(unsigned bit) {
    const bool latched = (latchedKeys_ & bit) != 0;
    latchedKeys_ &= ~bit;
    return latched;
}

bool Window::takeLatchedKey(GameKey key) { return takeLatchedBit(bitOf(key)); }

bool Window::takeLatchedKey(WatchKey key) { return takeLatchedBit(bitOf(key)); }

bool Window::handleMessage(WindowMessage message, int a, int b) {
    switch (message) {
    case WindowMessage::Create:
        if (createContext()) {
            running_ = true;
        }
        return true;
    case WindowMessage::Size:
        if (resizeCallback_ != nullptr) {
            resizeCallback_(resizeTarget_, a, b);
        }
        needsRedraw_ = true;
        return true;
    case WindowMessage::Expose:
        needsRedraw_ = true;
        return true;
    case WindowMessage::KeyDown:
        // Only the first key-down of a press acts: a held key's auto-repeats would
        // flicker the pause and the fullscreen.
        if ((b & kKeyRepeated) != 0) {
            return true;
        }
        if (a == kEscapeKey) {
            togglePause();
        } else if (a == kFullscreenKey || (a == kReturnKey && (b & kKeyWithAlt) != 0)) {
            setFullscreen(!fullscreen_);
        } else if (a == kMuteKey) {
            muted_ = !muted_;
        }
        return true;
    case WindowMessage::Close:
        // The context stays until the game has released its textures and buffers; the
        // loop makes no further GL call of its own.
        running_ = false;
        return false;
    case WindowMessage::Destroy:
        // The native window is going: its context cannot outlive it.
        releaseContext();
        running_ = false;
        return false;
    case WindowMessage::FocusLost:
        // Keys pressed for this window must not act once another program has the keyboard.
        latchedKeys_ = 0;
        return true;
    case WindowMessage::KeyUp:
    case WindowMessage::Other:
        return true;
    }
    return true;
}
