// HeadlessGl's window and context on Windows: a hidden window of its own class with a WGL
// context made by the game's own code (a legacy context, then 3.0 through the ARB call).

#include "HeadlessGl.h"

#include "app/Platform.h"

#include <windows.h>

namespace {

constexpr const char* kClassName = "TamqHeadlessGL";

} // namespace

bool HeadlessGl::open() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    if (RegisterClassExA(&windowClass) == 0) {
        error_ = "RegisterClassExA failed";
        return false;
    }
    RECT rectangle{0, 0, 1280, 720};
    AdjustWindowRectEx(&rectangle, WS_OVERLAPPEDWINDOW, FALSE, 0);
    HWND window = CreateWindowExA(0, kClassName, "tests", WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                  0, 0, rectangle.right - rectangle.left, rectangle.bottom - rectangle.top,
                                  nullptr, nullptr, instance, nullptr);
    window_ = window;
    if (window == nullptr) {
        error_ = "CreateWindowExA failed";
        return false;
    }
    HDC dc = GetDC(window);
    deviceContext_ = dc;

    // The game's own pixel format and context request.
    context_ = createWglContext(dc);
    if (context_ == nullptr) {
        error_ = "no WGL context";
        return false;
    }
    return true;
}

HeadlessGl::~HeadlessGl() {
    if (context_ != nullptr) {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(static_cast<HGLRC>(context_));
    }
    if (window_ != nullptr) {
        DestroyWindow(static_cast<HWND>(window_));
    }
    UnregisterClassA(kClassName, GetModuleHandleA(nullptr));
}

void* HeadlessGl::procAddress(const char* name) { return glProcAddress(name); }

void HeadlessGl::releaseCurrent() { wglMakeCurrent(static_cast<HDC>(deviceContext_), nullptr); }

void HeadlessGl::makeCurrent() { wglMakeCurrent(static_cast<HDC>(deviceContext_), static_cast<HGLRC>(context_)); }

void HeadlessGl::swap() { SwapBuffers(static_cast<HDC>(deviceContext_)); }
