#include "XInputPads.h"

#include <windows.h>
#include <xinput.h>

#include <initializer_list>

namespace {

using GetState = DWORD(WINAPI*)(DWORD, XINPUT_STATE*);

static_assert(XINPUT_GAMEPAD_A == 0x1000 && XINPUT_GAMEPAD_X == 0x4000 && XINPUT_GAMEPAD_Y == 0x8000 &&
                  XINPUT_GAMEPAD_START == 0x0010 && XINPUT_GAMEPAD_DPAD_UP == 0x0001 &&
                  XINPUT_GAMEPAD_DPAD_DOWN == 0x0002 && XINPUT_GAMEPAD_DPAD_LEFT == 0x0004 &&
                  XINPUT_GAMEPAD_DPAD_RIGHT == 0x0008,
              "Gamepad::addXInput reads the buttons with xinput.h's values");

} // namespace

void XInputPads::load() {
    if (getState_ != nullptr) {
        return;
    }
    // The library stays loaded for the process's life, never freed: its own thread (Wine's
    // xinput starts one on the first read) could still run after an unload, in code no
    // longer mapped, and fault the game.
    for (const char* name : {"xinput1_4.dll", "xinput9_1_0.dll"}) {
        HMODULE library = LoadLibraryA(name);
        if (library == nullptr) {
            continue;
        }
        FARPROC entry = GetProcAddress(library, "XInputGetState");
        if (entry == nullptr) {
            FreeLibrary(library);
            continue;
        }
        getState_ = reinterpret_cast<void*>(entry);
        return;
    }
}

Gamepad XInputPads::read(std::uint32_t nowMs) {
    Gamepad pad;
    if (getState_ == nullptr) {
        return pad;
    }
    const auto getState = reinterpret_cast<GetState>(getState_);
    const bool probe = !probed_ || nowMs - lastProbe_ >= kProbeInterval;
    if (probe) {
        probed_ = true;
        lastProbe_ = nowMs;
    }
    for (int slot = 0; slot < kSlots; ++slot) {
        const unsigned bit = 1u << slot;
        if ((connected_ & bit) == 0 && !probe) {
            continue;
        }
        XINPUT_STATE state{};
        if (getState(static_cast<DWORD>(slot), &state) != ERROR_SUCCESS) {
            connected_ &= ~bit;
            continue;
        }
        connected_ |= bit;
        pad.addXInput(state.Gamepad.wButtons, state.Gamepad.sThumbLX, state.Gamepad.sThumbLY);
    }
    return pad;
}
