#pragma once

#include "Gamepad.h"

#include <cstdint>

// The Windows build's game controllers through XInput, loaded when the window opens:
// xinput1_4.dll, else xinput9_1_0.dll; with neither the game plays from the keyboard
// alone, without a word. Connected controllers are read every frame; the empty slots,
// which XInput is slow to answer for, are looked at again once a second.
class XInputPads {
public:
    // Loads XInput once in the process; later calls and later pads use it as it is.
    void load();
    // Tests stand in for XInput with a function of XInputGetState's signature. Its slots are
    // looked at from the next read on, not a second later as newly plugged pads are.
    void useStateReader(void* getState) {
        getState_ = getState;
        connected_ = 0;
        probed_ = false;
    }
    bool loaded() const { return getState_ != nullptr; }
    // This frame's state of every connected controller; nowMs is the frame timer's clock.
    Gamepad read(std::uint32_t nowMs);

private:
    static constexpr int kSlots = 4;
    static constexpr std::uint32_t kProbeInterval = 1000;

    void* getState_ = nullptr;
    unsigned connected_ = 0;
    std::uint32_t lastProbe_ = 0;
    bool probed_ = false;
};
