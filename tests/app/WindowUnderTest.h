#pragma once

#include "app/Window.h"
#include "render/GlEntryPoints.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

// What the tests of both window backends share: the window created as the game creates it,
// with what creation printed and every size it reported, and the checks that read the same
// on SDL and on Win32. The backend says how it tells that a context is current.
class WindowUnderTest {
public:
    using ContextQuery = bool (*)();

    // Creates `window` at 1280 x 720 with stderr captured into `creationLog`.
    bool create(Window& window, ContextQuery contextCurrent);

    // A 3.0 context, without a word of falling back (unless Mesa is capped for the run).
    void expectModernContext() const;
    void expectFirstSizeDuringCreate() const;
    // Once the loop has stopped, the game still releases its GL objects and is destroyed
    // with the context current.
    void expectContextOutlivesTheLoop(Window& window, GLuint texture) const;
    // The 3.0 request refused: the legacy context is kept, said so once, and loads.
    void expectLegacyFallback(const Window& window) const;

    // `expose` makes the system ask for a repaint: that costs exactly one redraw.
    static void expectOneRedrawAfter(Window& window, const std::function<void()>& expose);

    std::vector<std::pair<int, int>> sizes;
    bool contextCurrentAtFirstSize = false;
    std::string creationLog;

private:
    static void recordSize(void* self, int width, int height);

    ContextQuery contextCurrent_ = nullptr;
};
