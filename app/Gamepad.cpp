#include "Gamepad.h"

namespace {

// XInput's wButtons bits (xinput.h), written out so that any platform can test the mapping.
constexpr std::uint16_t kXInputDpadUp = 0x0001;
constexpr std::uint16_t kXInputDpadDown = 0x0002;
constexpr std::uint16_t kXInputDpadLeft = 0x0004;
constexpr std::uint16_t kXInputDpadRight = 0x0008;
constexpr std::uint16_t kXInputStart = 0x0010;
constexpr std::uint16_t kXInputBack = 0x0020;
constexpr std::uint16_t kXInputLeftThumb = 0x0040;
constexpr std::uint16_t kXInputRightThumb = 0x0080;
constexpr std::uint16_t kXInputLeftShoulder = 0x0100;
constexpr std::uint16_t kXInputRightShoulder = 0x0200;
constexpr std::uint16_t kXInputA = 0x1000;
constexpr std::uint16_t kXInputB = 0x2000;
constexpr std::uint16_t kXInputX = 0x4000;
constexpr std::uint16_t kXInputY = 0x8000;

} // namespace

void Gamepad::add(unsigned buttons, float stickX, float stickY) {
    const auto press = [this](bool down, GameKey key) {
        if (down) {
            keys_ |= bitOf(key);
        }
    };
    press((buttons & kA) != 0, GameKey::Space);
    press((buttons & kX) != 0, GameKey::F1);
    press((buttons & kY) != 0, GameKey::F2);
    press((buttons & kDpadLeft) != 0 || stickX < -kDeadZone, GameKey::Left);
    press((buttons & kDpadRight) != 0 || stickX > kDeadZone, GameKey::Right);
    press((buttons & kDpadUp) != 0 || stickY > kDeadZone, GameKey::Up);
    press((buttons & kDpadDown) != 0 || stickY < -kDeadZone, GameKey::Down);
    start_ = start_ || (buttons & kStart) != 0;
    watch_ |= buttons & (kB | kBack | kLeftStick);
    browse_ |= buttons & (kLeftShoulder | kRightShoulder | kRightStick);
}

bool Gamepad::holds(WatchKey key) const {
    switch (key) {
    case WatchKey::Best: return (watch_ & kB) != 0;
    case WatchKey::Board: return (watch_ & kBack) != 0;
    case WatchKey::Daily:
    case WatchKey::Challenge: return (watch_ & kLeftStick) != 0;
    }
    return false;
}

bool Gamepad::holdsBrowse(BrowseKey key) const {
    switch (key) {
    case BrowseKey::RowUp: return (browse_ & kLeftShoulder) != 0;
    case BrowseKey::RowDown: return (browse_ & kRightShoulder) != 0;
    case BrowseKey::Season: return (browse_ & kRightStick) != 0;
    case BrowseKey::PageUp:
    case BrowseKey::PageDown:
    case BrowseKey::Around: break;
    }
    return false;
}

void Gamepad::addXInput(std::uint16_t buttons, std::int16_t thumbX, std::int16_t thumbY) {
    unsigned common = 0;
    const std::uint16_t pairs[][2] = {
        {kXInputA, kA},           {kXInputX, kX},                 {kXInputY, kY},
        {kXInputStart, kStart},   {kXInputDpadLeft, kDpadLeft},   {kXInputDpadRight, kDpadRight},
        {kXInputDpadUp, kDpadUp}, {kXInputDpadDown, kDpadDown},   {kXInputB, kB},
        {kXInputBack, kBack},     {kXInputLeftShoulder, kLeftShoulder}, {kXInputRightShoulder, kRightShoulder},
        {kXInputRightThumb, kRightStick}, {kXInputLeftThumb, kLeftStick},
    };
    for (const auto& pair : pairs) {
        if ((buttons & pair[0]) != 0) {
            common |= pair[1];
        }
    }
    // Thumb axes run from -32768 to 32767, y up already.
    add(common, thumbX / 32768.0f, thumbY / 32768.0f);
}
