#include "Window.h"

#include "Platform.h"
#include "game/Game.h"

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
        return true;
    case WindowMessage::KeyDown:
        // Auto-repeats arrive as further key-downs, so holding ESC keeps toggling.
        if (a == kEscapeKey) {
            active_ = !active_;
        }
        return true;
    case WindowMessage::Close:
    case WindowMessage::Destroy:
        // The context goes at once; the loop still finishes its iteration, whose GL calls
        // then reach no context and do nothing.
        releaseContext();
        running_ = false;
        return false;
    case WindowMessage::KeyUp:
    case WindowMessage::Other:
        return true;
    }
    return true;
}
