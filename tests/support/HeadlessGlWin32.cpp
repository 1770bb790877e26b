// HeadlessGl's window and context on Windows: a hidden window of its own class with a WGL
// context, asked for the same way as the game's (a legacy context, then 3.0 through the ARB call).

#include "HeadlessGl.h"

#include "app/Platform.h"

#include <windows.h>

namespace {

constexpr const char* kClassName = "TamqHeadlessGL";
using CreateContextAttribs = HGLRC(WINAPI*)(HDC, HGLRC, const int*);

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

    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof(format);
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 32;
    format.cAlphaBits = 8;
    format.cDepthBits = 16;
    const int chosen = ChoosePixelFormat(dc, &format);
    if (chosen == 0 || !SetPixelFormat(dc, chosen, &format)) {
        error_ = "no pixel format";
        return false;
    }
    HGLRC legacy = wglCreateContext(dc);
    if (legacy == nullptr || !wglMakeCurrent(dc, legacy)) {
        error_ = "wglCreateContext failed";
        return false;
    }
    HGLRC context = legacy;
    auto createContextAttribs =
        reinterpret_cast<CreateContextAttribs>(reinterpret_cast<void*>(wglGetProcAddress("wglCreateContextAttribsARB")));
    if (createContextAttribs != nullptr) {
        const int attributes[] = {0x2091, 3, 0x2092, 0, 0};
        HGLRC modern = createContextAttribs(dc, nullptr, attributes);
        if (modern != nullptr && wglMakeCurrent(dc, modern)) {
            wglDeleteContext(legacy);
            context = modern;
        } else {
            wglMakeCurrent(dc, legacy);
        }
    }
    context_ = context;
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
