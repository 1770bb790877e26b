// The Win32 backend of Window: window class, native window, WGL context, message pump.

#include "Window.h"

#include "Platform.h"

#include <windows.h>

#include <cstdio>
#include <initializer_list>

namespace {

constexpr const char* kClassName = "GLClass";
constexpr const char* kTitle = "TAMQ 4 Pelrok";

using SwapInterval = BOOL(WINAPI*)(int);

// A key message's flags: bit 30 of lParam is the key's previous state (set on an
// auto-repeat), bit 29 says Alt was held.
int keyFlagsOf(LPARAM lParam) {
    return ((lParam & (1 << 30)) != 0 ? kKeyRepeated : 0) | ((lParam & (1 << 29)) != 0 ? kKeyWithAlt : 0);
}

// Win32's virtual keys for the keys the shell acts on, as handleMessage knows them.
int shellKeyOf(WPARAM key) {
    switch (key) {
    case VK_ESCAPE: return kEscapeKey;
    case VK_RETURN: return kReturnKey;
    case VK_F11: return kFullscreenKey;
    case 'M': return kMuteKey;
    default: return kOtherKey;
    }
}

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
            SetPropA(window, kWindowPropertyName, &target);
            target.handleMessage(WindowMessage::Create);
            break;
        case WM_SIZE:
            target.handleMessage(WindowMessage::Size, LOWORD(lParam), HIWORD(lParam));
            break;
        case WM_PAINT:
            // The default handling validates the window, so the message is not sent again.
            target.handleMessage(WindowMessage::Expose);
            break;
        case WM_KEYDOWN:
            target.latchNativeKey(static_cast<int>(wParam));
            target.handleMessage(WindowMessage::KeyDown, shellKeyOf(wParam), keyFlagsOf(lParam));
            break;
        case WM_KEYUP:
            target.handleMessage(WindowMessage::KeyUp, shellKeyOf(wParam));
            break;
        case WM_KILLFOCUS:
            target.handleMessage(WindowMessage::FocusLost);
            break;
        case WM_SYSKEYDOWN:
            // Alt+Enter arrives as a system key; answered here, it neither beeps nor opens
            // the window menu. Other system keys (Alt+F4) keep their default handling.
            if (wParam == VK_RETURN) {
                target.handleMessage(WindowMessage::KeyDown, kReturnKey, keyFlagsOf(lParam));
                return 0;
            }
            break;
        case WM_SYSCHAR:
            if (wParam == '\r') {
                return 0;
            }
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
        RemovePropA(window, kWindowPropertyName);
        DestroyWindow(window);
        windowHandle_ = nullptr;
        UnregisterClassA(kClassName, static_cast<HINSTANCE>(instance_));
    }
}

// The pixel format always asks for 32 bits of colour, whatever the caller's depth.
bool Window::create(int width, int height, int /*bits*/, bool fullscreen) {
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

    const DWORD extendedStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
    const DWORD style = WS_OVERLAPPEDWINDOW;
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
        RemovePropA(window, kWindowPropertyName);
        DestroyWindow(window);
        windowHandle_ = nullptr;
        UnregisterClassA(kClassName, instance);
        return false;
    }

    deviceContext_ = GetDC(window);
    if (fullscreen_) {
        applyFullscreen(true);
    }
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    pads_.load();
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
    enableVsync();
    return true;
}

void Window::enableVsync() {
    // WGL_EXT_swap_control: an extension, so its absence only means no vertical sync.
    auto setInterval = reinterpret_cast<SwapInterval>(glProcAddress("wglSwapIntervalEXT"));
    swapInterval_ = 0;
    // Adaptive sync first (WGL_EXT_swap_control_tear): a late frame is shown at once.
    for (int interval : {-1, 1}) {
        if (setInterval != nullptr && setInterval(interval)) {
            swapInterval_ = interval;
            break;
        }
    }
    pacer_.init(GetDeviceCaps(nativeDc(deviceContext_), VREFRESH), swapInterval_ != 0);
    paced_ = true;
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

void Window::destroy() { setFullscreen(false); }

void Window::applyFullscreen(bool fullscreen) {
    HWND window = nativeWindow(windowHandle_);
    const LONG visible = GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (fullscreen) {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        if (!GetWindowPlacement(window, &placement) ||
            !GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
            fullscreen_ = false;
            return;
        }
        const RECT& normal = placement.rcNormalPosition;
        windowedRect_[0] = normal.left;
        windowedRect_[1] = normal.top;
        windowedRect_[2] = normal.right;
        windowedRect_[3] = normal.bottom;
        windowedMaximized_ = placement.showCmd == SW_SHOWMAXIMIZED;
        windowedStyle_ = GetWindowLongA(window, GWL_STYLE) & ~WS_VISIBLE;
        // A popup over the whole monitor: no frame, at the display's own resolution.
        SetWindowLongA(window, GWL_STYLE, (windowedStyle_ & ~WS_OVERLAPPEDWINDOW) | WS_POPUP | visible);
        const RECT& area = monitor.rcMonitor;
        SetWindowPos(window, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
        return;
    }
    SetWindowLongA(window, GWL_STYLE, windowedStyle_ | visible);
    GetWindowPlacement(window, &placement);
    placement.flags = 0;
    placement.showCmd = windowedMaximized_ ? SW_SHOWMAXIMIZED : (visible != 0 ? SW_SHOWNORMAL : SW_HIDE);
    placement.rcNormalPosition = RECT{windowedRect_[0], windowedRect_[1], windowedRect_[2], windowedRect_[3]};
    SetWindowPlacement(window, &placement);
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
}

void Window::pumpMessages() {
    MSG message;
    // WM_QUIT is dispatched like any other: the loop stops on the running flag instead.
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    // A controller counts only while the game is in front, as the keys do: Start must not
    // pause the game under the program the player is using.
    setGamepad(GetForegroundWindow() == nativeWindow(windowHandle_) ? pads_.read(clock_()) : Gamepad{});
}

void Window::waitForMessages(int milliseconds) {
    // Input already waiting counts too, not only what arrives from now on.
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(milliseconds), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    pumpMessages();
}

void Window::swapBuffers() {
    needsRedraw_ = false;
    // After close there is no context to present.
    if (deviceContext_ != nullptr && renderingContext_ != nullptr) {
        SwapBuffers(nativeDc(deviceContext_));
        if (paced_) {
            paceFrame();
        }
    }
}
