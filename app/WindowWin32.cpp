// The Win32 backend of Window: window class, native window, WGL context, message pump.

#include "Window.h"

#include "Platform.h"

#include <windows.h>

#include <cstdio>

static_assert(VK_ESCAPE == kEscapeKey, "ESC must reach handleMessage with the shared key code");

namespace {

constexpr const char* kClassName = "GLClass";
constexpr const char* kTitle = "TAMQ 4 Pelrok";

HWND nativeWindow(void* handle) { return static_cast<HWND>(handle); }
HDC nativeDc(void* handle) { return static_cast<HDC>(handle); }
HGLRC nativeContext(void* handle) { return static_cast<HGLRC>(handle); }

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace

// The member side of the window procedure: native messages onto Window::handleMessage.
struct WindowBackend {
    static LRESULT handle(Window& target, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_CREATE:
            // CreateWindowExA has not returned yet, so the context needs the handle from here.
            target.windowHandle_ = window;
            target.handleMessage(WindowMessage::Create);
            break;
        case WM_SIZE:
            target.handleMessage(WindowMessage::Size, LOWORD(lParam), HIWORD(lParam));
            break;
        case WM_KEYDOWN:
            target.handleMessage(WindowMessage::KeyDown, static_cast<int>(wParam));
            break;
        case WM_KEYUP:
            target.handleMessage(WindowMessage::KeyUp, static_cast<int>(wParam));
            break;
        case WM_CLOSE:
        case WM_DESTROY:
            // Answered here without the default handling, which would destroy the window:
            // the process ends with the window still in place.
            target.handleMessage(message == WM_CLOSE ? WindowMessage::Close : WindowMessage::Destroy);
            PostQuitMessage(0);
            return 0;
        default:
            break;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
};

namespace {

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        auto* creation = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    // Messages before WM_CREATE (WM_NCCREATE and its like) find no Window yet.
    auto* target = reinterpret_cast<Window*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (target == nullptr) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return WindowBackend::handle(*target, window, message, wParam, lParam);
}

} // namespace

Window::~Window() {
    releaseContext();
    HWND window = nativeWindow(windowHandle_);
    if (window != nullptr) {
        destroy();
        // Our handler must not run for a Window that is going away.
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
        windowHandle_ = nullptr;
        UnregisterClassA(kClassName, static_cast<HINSTANCE>(instance_));
    }
}

bool Window::create(int width, int height, int bits, bool fullscreen) {
    width_ = width;
    height_ = height;
    RECT rectangle{0, 0, width, height};
    fullscreen_ = fullscreen;
    if (instance_ == nullptr) {
        instance_ = GetModuleHandleA(nullptr);
    }
    HINSTANCE instance = static_cast<HINSTANCE>(instance_);

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(WNDCLASSEXA);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kClassName;
    windowClass.hIconSm = LoadIconA(nullptr, IDI_WINLOGO);
    if (RegisterClassExA(&windowClass) == 0) {
        std::fprintf(stderr, "Window class: error %lu\n", GetLastError());
        return false;
    }

    if (fullscreen_) {
        DEVMODEA mode{};
        mode.dmSize = sizeof(DEVMODEA);
        mode.dmPelsWidth = static_cast<DWORD>(width);
        mode.dmPelsHeight = static_cast<DWORD>(height);
        mode.dmBitsPerPel = static_cast<DWORD>(bits);
        mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
        if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) {
            showNoticeBox("Display mode failed");
            fullscreen_ = false;
        }
    }

    DWORD extendedStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
    DWORD style = WS_OVERLAPPEDWINDOW;
    if (fullscreen_) {
        extendedStyle = WS_EX_APPWINDOW;
        style = WS_POPUP;
        ShowCursor(FALSE);
    }
    // The frame goes around the asked-for client area.
    AdjustWindowRectEx(&rectangle, style, FALSE, extendedStyle);

    HWND window = CreateWindowExA(0, kClassName, kTitle, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                  rectangle.right - rectangle.left, rectangle.bottom - rectangle.top,
                                  nullptr, nullptr, instance, this);
    if (window == nullptr) {
        std::fprintf(stderr, "Window: error %lu\n", GetLastError());
        windowHandle_ = nullptr;
        UnregisterClassA(kClassName, instance);
        return false;
    }
    windowHandle_ = window;
    if (!running_) {
        // No context: the window is of no use.
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
        windowHandle_ = nullptr;
        UnregisterClassA(kClassName, instance);
        return false;
    }

    deviceContext_ = GetDC(window);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    lastTime_ = clock_();
    return true;
}

bool Window::createContext() {
    HWND window = nativeWindow(windowHandle_);
    HDC dc = GetDC(window);
    deviceContext_ = dc;

    void* context = createWglContext(dc);
    if (context == nullptr) {
        return false;
    }
    renderingContext_ = context;
    return true;
}

void Window::releaseContext() {
    if (renderingContext_ == nullptr) {
        return;
    }
    // With no context current, later GL calls of the loop's last iteration do nothing.
    wglMakeCurrent(nativeDc(deviceContext_), nullptr);
    wglDeleteContext(nativeContext(renderingContext_));
    renderingContext_ = nullptr;
}

void Window::destroy() {
    if (!fullscreen_) {
        return;
    }
    ChangeDisplaySettingsA(nullptr, 0);
    ShowCursor(TRUE);
    fullscreen_ = false;
}

void Window::pumpMessages() {
    MSG message;
    // WM_QUIT is dispatched like any other: the loop stops on the running flag instead.
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void Window::swapBuffers() {
    // After close there is no context to present.
    if (deviceContext_ != nullptr && renderingContext_ != nullptr) {
        SwapBuffers(nativeDc(deviceContext_));
    }
}
