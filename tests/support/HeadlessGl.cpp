#include "HeadlessGl.h"

#include "render/GlEntryPoints.h"

#include <cstdio>
#include <string>

HeadlessGl& HeadlessGl::instance() {
    static HeadlessGl gl;
    return gl;
}

HeadlessGl::HeadlessGl() {
    if (!open()) {
        std::fprintf(stderr, "HeadlessGl: %s\n", error_);
        context_ = nullptr;
        return;
    }
    const std::string missing = gl.load(procAddress);
    if (!missing.empty()) {
        std::fprintf(stderr, "HeadlessGl: missing %s\n", missing.c_str());
    }
    applyFixedGlState();
    glViewport(0, 0, 1280, 720);
}

std::array<uint8_t, 4> HeadlessGl::pixel(int x, int y) const {
    std::array<uint8_t, 4> rgba{};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

void HeadlessGl::present() {
    swap();
    glFinish();
}
