#include "TouchControls.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>

namespace {

// clang-format off
EM_JS(void, pageTakeFrame, (int runOn, int paused, int board), {
    if (typeof tamqTouch !== 'undefined') {
        tamqTouch.takeFrame(runOn !== 0, paused !== 0, board !== 0);
    }
});
EM_JS(int, pageFrameBits, (), { return typeof tamqTouch === 'undefined' ? -1 : tamqTouch.frameBits(); });
EM_JS(double, pageStickX, (), { return tamqTouch.stickX(); });
EM_JS(double, pageStickY, (), { return tamqTouch.stickY(); });
// clang-format on

} // namespace

void TouchControls::beginFrame(bool runOn, bool paused, bool board) {
    pageTakeFrame(runOn ? 1 : 0, paused ? 1 : 0, board ? 1 : 0);
}

void TouchControls::addTo(Gamepad& pad) {
    const int bits = pageFrameBits();
    if (bits >= 0) {
        addFrame(pad, static_cast<unsigned>(bits), static_cast<float>(pageStickX()),
                 static_cast<float>(pageStickY()));
    }
}
#else
void TouchControls::beginFrame(bool, bool, bool) {}
void TouchControls::addTo(Gamepad&) {}
#endif

void TouchControls::addFrame(Gamepad& pad, unsigned pageBits, float stickX, float stickY) {
    struct Pair {
        PageBit page;
        Gamepad::Button button;
    };
    static constexpr Pair kPairs[] = {
        {kPageStart, Gamepad::kA},
        {kPageMode, Gamepad::kX},
        {kPagePattern, Gamepad::kY},
        {kPagePause, Gamepad::kStart},
        {kPageWatch, Gamepad::kB},
        {kPageBoardWatch, Gamepad::kBack},
        {kPageCompete, Gamepad::kLeftStick},
        {kPageRowUp, Gamepad::kLeftShoulder},
        {kPageRowDown, Gamepad::kRightShoulder},
        {kPageSeason, Gamepad::kRightStick},
    };
    unsigned buttons = 0;
    for (const Pair& pair : kPairs) {
        if ((pageBits & pair.page) != 0) {
            buttons |= pair.button;
        }
    }
    // A controller's stick y grows upwards.
    pad.add(buttons, stickX, -stickY);
}
