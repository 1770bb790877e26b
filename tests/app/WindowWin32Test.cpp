// The real Win32 window with its WGL context (under Wine, Mesa's software renderer).

#include "app/Platform.h"
#include "app/Window.h"
#include "FixedStateCheck.h"
#include "WindowUnderTest.h"
#include "render/GlEntryPoints.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <xinput.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

bool wglContextCurrent() { return wglGetCurrentContext() != nullptr; }

bool legacyOnly() { return std::getenv("MESA_GL_VERSION_OVERRIDE") != nullptr; }

class NativeWindow : public ::testing::Test, protected WindowUnderTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(WindowUnderTest::create(window, wglContextCurrent)) << creationLog;
        native = FindWindowA("GLClass", "TAMQ 4 Pelrok");
        ASSERT_NE(native, nullptr);
        // Leave nothing from create in the queue for the tests to trip over.
        window.pumpMessages();
    }

    void key(UINT message, WPARAM key, bool repeat = false) {
        const LPARAM state = repeat ? (1 << 30) : 0;
        PostMessageA(native, message, key, state | 1);
    }

    static void press(WORD key, bool down) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
        SendInput(1, &input, sizeof(INPUT));
    }

    // Injected input and the focus reach Wine through the X server, late on a busy
    // machine: whether it holds is asked again, messages pumped, for up to 2 s.
    bool within2s(const std::function<bool()>& holds) {
        for (int i = 0; i < 200 && !holds(); ++i) {
            Sleep(10);
            window.pumpMessages();
        }
        return holds();
    }

    Window window{GetModuleHandleA(nullptr)};
    HWND native = nullptr;
};

TEST_F(NativeWindow, GLClassWindowWithA1280By720ClientAreaInsideItsFrame) {
    EXPECT_TRUE(window.isRunning());
    EXPECT_TRUE(IsWindowVisible(native));

    RECT client{};
    GetClientRect(native, &client);
    EXPECT_EQ(client.right - client.left, 1280);
    EXPECT_EQ(client.bottom - client.top, 720);
    RECT outer{};
    GetWindowRect(native, &outer);
    EXPECT_GT(outer.right - outer.left, 1280);
    EXPECT_GT(outer.bottom - outer.top, 720);

    const LONG_PTR style = GetWindowLongPtrA(native, GWL_STYLE);
    for (LONG_PTR bit : {WS_CAPTION, WS_SYSMENU, WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX, WS_CLIPSIBLINGS,
                         WS_CLIPCHILDREN}) {
        EXPECT_EQ(style & bit, bit) << std::hex << bit;
    }
    EXPECT_EQ(style & WS_POPUP, 0);

    WNDCLASSEXA registered{};
    registered.cbSize = sizeof(registered);
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), "GLClass", &registered));
    EXPECT_EQ(registered.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(registered.cbClsExtra, 0);
    EXPECT_EQ(registered.cbWndExtra, 0);
    EXPECT_EQ(registered.hbrBackground, nullptr);
    EXPECT_EQ(registered.lpszMenuName, nullptr);
    EXPECT_EQ(registered.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(registered.hIcon, LoadIconA(nullptr, IDI_APPLICATION));
}

TEST_F(NativeWindow, ContextIs30OnADoubleBufferedPixelFormatWithDepth) {
    EXPECT_TRUE(window.hasContext());
    ASSERT_NE(wglGetCurrentContext(), nullptr);
    HDC dc = wglGetCurrentDC();
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(WindowFromDC(dc), native);

    PIXELFORMATDESCRIPTOR format{};
    ASSERT_NE(DescribePixelFormat(dc, GetPixelFormat(dc), sizeof(format), &format), 0);
    const DWORD wanted = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    EXPECT_EQ(format.dwFlags & wanted, wanted);
    EXPECT_EQ(format.iPixelType, PFD_TYPE_RGBA);
    EXPECT_GE(format.cColorBits, 24);
    EXPECT_GE(format.cDepthBits, 16);
    expectModernContext();
}

TEST_F(NativeWindow, FirstSizeArrivesDuringCreateWithTheContextCurrent) { expectFirstSizeDuringCreate(); }

TEST_F(NativeWindow, EntryPointsLoadAndFixedStateReadsBack) {
    ASSERT_EQ(gl.load(glProcAddress), "");
    // The log function is its own entry point, not the program log's.
    EXPECT_NE(reinterpret_cast<void*>(gl.glGetShaderInfoLog), reinterpret_cast<void*>(gl.glGetProgramInfoLog));
    // OpenGL 1.1 names come from opengl32.dll itself.
    EXPECT_NE(glProcAddress("glClear"), nullptr);
    EXPECT_EQ(glProcAddress("glNoSuchFunction"), nullptr);
    expectFixedStateReadsBack();
}

TEST_F(NativeWindow, SizeMessagesReachTheGameIncludingMinimised) {
    sizes.clear();
    SendMessageA(native, WM_SIZE, SIZE_RESTORED, MAKELPARAM(800, 450));
    SendMessageA(native, WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 0));
    SendMessageA(native, WM_SIZE, SIZE_RESTORED, MAKELPARAM(1280, 720));
    const std::vector<std::pair<int, int>> expected = {{800, 450}, {0, 0}, {1280, 720}};
    EXPECT_EQ(sizes, expected);
}

TEST_F(NativeWindow, OnlyTheFirstKeyDownOfAPressActsNotItsRepeats) {
    // Held down: the auto-repeats are key-downs with the previous-state bit set.
    key(WM_KEYDOWN, VK_ESCAPE);
    key(WM_KEYDOWN, VK_ESCAPE, true);
    key(WM_KEYDOWN, VK_ESCAPE, true);
    key(WM_KEYUP, VK_ESCAPE);
    window.pumpMessages();
    EXPECT_FALSE(window.isActive());
    key(WM_KEYDOWN, VK_ESCAPE);
    key(WM_KEYDOWN, VK_ESCAPE, true);
    window.pumpMessages();
    EXPECT_TRUE(window.isActive());
    key(WM_KEYDOWN, VK_SPACE);
    key(WM_KEYDOWN, VK_F1);
    window.pumpMessages();
    EXPECT_TRUE(window.isActive());
}

TEST_F(NativeWindow, F11AndAltEnterMakeAPopupOverTheMonitorAndBackToThePlacementBefore) {
    SetWindowPos(native, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT before{};
    GetWindowRect(native, &before);
    const LONG_PTR styleBefore = GetWindowLongPtrA(native, GWL_STYLE);

    key(WM_KEYDOWN, VK_F11);
    key(WM_KEYDOWN, VK_F11, true);
    window.pumpMessages();
    EXPECT_TRUE(window.isFullscreen());
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromWindow(native, MONITOR_DEFAULTTONEAREST), &monitor));
    RECT full{};
    GetWindowRect(native, &full);
    EXPECT_TRUE(EqualRect(&full, &monitor.rcMonitor));
    const LONG_PTR popup = GetWindowLongPtrA(native, GWL_STYLE);
    EXPECT_NE(popup & WS_POPUP, 0);
    EXPECT_EQ(popup & WS_CAPTION, 0);
    EXPECT_EQ(popup & WS_THICKFRAME, 0);
    EXPECT_EQ(sizes.back(), std::make_pair(int(full.right - full.left), int(full.bottom - full.top)));

    // Alt+Enter is a system key: lParam bit 29 says Alt is down.
    PostMessageA(native, WM_SYSKEYDOWN, VK_RETURN, (1 << 29) | 1);
    window.pumpMessages();
    EXPECT_FALSE(window.isFullscreen());
    RECT after{};
    GetWindowRect(native, &after);
    EXPECT_TRUE(EqualRect(&after, &before));
    EXPECT_EQ(GetWindowLongPtrA(native, GWL_STYLE), styleBefore);
    EXPECT_EQ(sizes.back(), std::make_pair(1280, 720));
}

TEST_F(NativeWindow, VerticalSyncIsAskedForWhereTheDriverOffersIt) {
    using GetInterval = int(WINAPI*)();
    auto getInterval = reinterpret_cast<GetInterval>(glProcAddress("wglGetSwapIntervalEXT"));
    if (glProcAddress("wglSwapIntervalEXT") == nullptr || getInterval == nullptr) {
        EXPECT_EQ(window.swapInterval(), 0);
        GTEST_SKIP() << "no WGL_EXT_swap_control";
    }
    EXPECT_NE(window.swapInterval(), 0);
    EXPECT_EQ(getInterval(), window.swapInterval());
}

TEST_F(NativeWindow, PaintingAsksForARedrawAndWaitingEndsWithAMessage) {
    expectOneRedrawAfter(window, [this] { InvalidateRect(native, nullptr, FALSE); });

    // Nothing waiting: the wait lasts its time. A key message ends it at once.
    DWORD start = GetTickCount();
    window.waitForMessages(100);
    EXPECT_GE(GetTickCount() - start, 80u);
    start = GetTickCount();
    key(WM_KEYDOWN, VK_ESCAPE);
    window.waitForMessages(5000);
    EXPECT_FALSE(window.isActive());
    EXPECT_LT(GetTickCount() - start, 4000u);
}

TEST_F(NativeWindow, ClosePostsQuitKeepsTheWindowAndTheContextForTheGamesOwnRelease) {
    ASSERT_EQ(gl.load(glProcAddress), "");
    GLuint texture = 0;
    glGenTextures(1, &texture);
    EXPECT_EQ(SendMessageA(native, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(window.isRunning());
    EXPECT_TRUE(IsWindow(native));
    MSG quit{};
    ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
    expectContextOutlivesTheLoop(window, texture);
}

TEST_F(NativeWindow, TheCloseButtonStopsTheLoop) {
    // What the title bar's close button sends; the default handling turns it into WM_CLOSE.
    PostMessageA(native, WM_SYSCOMMAND, SC_CLOSE, 0);
    window.pumpMessages();
    EXPECT_FALSE(window.isRunning());
    EXPECT_TRUE(IsWindow(native));
}

TEST_F(NativeWindow, ControllersReadNothingWithoutXInputOrWithNoneConnected) {
    // Wine may or may not offer XInput; either way no controller is plugged in here,
    // and the keyboard alone plays, without a message.
    XInputPads pads;
    pads.load();
    pads.load();
    const Gamepad none = pads.read(GetTickCount());
    EXPECT_FALSE(none.holdsStart());
    EXPECT_FALSE(none.holds(GameKey::Space));
    EXPECT_FALSE(window.gamepad().holds(GameKey::Left));
    // The window in front is ours: the key query reads its controllers.
    EXPECT_FALSE(isGameKeyDown(GameKey::Up));
}

// One controller in the first slot, holding these buttons.
WORD fakeButtons = 0;
DWORD WINAPI fakeXInputGetState(DWORD slot, XINPUT_STATE* state) {
    if (slot != 0) {
        return ERROR_DEVICE_NOT_CONNECTED;
    }
    *state = XINPUT_STATE{};
    state->Gamepad.wButtons = fakeButtons;
    return ERROR_SUCCESS;
}

TEST_F(NativeWindow, AControllerCountsOnlyWhileOurWindowIsInFront) {
    window.controllers().useStateReader(reinterpret_cast<void*>(fakeXInputGetState));
    const auto holding = [this](WORD buttons) {
        fakeButtons = buttons;
        window.pumpMessages();
    };
    SetForegroundWindow(native);
    holding(0);
    if (GetForegroundWindow() != native) {
        GTEST_SKIP() << "the window could not be brought to the front";
    }
    holding(XINPUT_GAMEPAD_START);
    EXPECT_FALSE(window.isActive());
    holding(XINPUT_GAMEPAD_A);
    EXPECT_TRUE(isGameKeyDown(GameKey::Space));

    SetForegroundWindow(GetDesktopWindow());
    holding(0);
    if (GetForegroundWindow() == native) {
        GTEST_SKIP() << "the window could not be sent to the back";
    }
    // Another program in front: Start and A are the player's business there.
    holding(XINPUT_GAMEPAD_START);
    holding(0);
    holding(XINPUT_GAMEPAD_START | XINPUT_GAMEPAD_A);
    EXPECT_FALSE(window.isActive());
    EXPECT_FALSE(window.gamepad().holds(GameKey::Space));
    holding(0);

    SetForegroundWindow(native);
    holding(XINPUT_GAMEPAD_START);
    EXPECT_TRUE(window.isActive()) << "back in front, Start resumes";
    fakeButtons = 0;
}

TEST_F(NativeWindow, EachWatchKeyFollowsItsKeyAndButtonWhileOurWindowIsInFront) {
    window.controllers().useStateReader(reinterpret_cast<void*>(fakeXInputGetState));
    const auto holding = [this](WORD buttons) {
        fakeButtons = buttons;
        window.pumpMessages();
    };
    SetForegroundWindow(native);
    holding(0);
    if (GetForegroundWindow() != native) {
        GTEST_SKIP() << "the window could not be brought to the front";
    }
    const struct {
        const char* what;
        WatchKey query;
        WORD key;
        WORD button;
        WatchKey other;
    } cases[] = {
        {"R or B: the best run", WatchKey::Best, 'R', XINPUT_GAMEPAD_B, WatchKey::Board},
        {"T or Back: the board's best run", WatchKey::Board, 'T', XINPUT_GAMEPAD_BACK, WatchKey::Best},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(isWatchKeyDown(c.query)) << c.what;
        press(c.key, true);
        EXPECT_TRUE(isWatchKeyDown(c.query)) << c.what << ": the key";
        EXPECT_FALSE(isWatchKeyDown(c.other)) << c.what << ": the key counts for the other watching too";
        press(c.key, false);
        EXPECT_FALSE(isWatchKeyDown(c.query)) << c.what << ": the key let go";
        holding(c.button);
        EXPECT_TRUE(isWatchKeyDown(c.query)) << c.what << ": the button";
        EXPECT_FALSE(isWatchKeyDown(c.other)) << c.what << ": the button counts for the other watching too";
        holding(0);
        EXPECT_FALSE(isWatchKeyDown(c.query)) << c.what << ": the button let go";
    }

    // Another program in front: neither key nor button is the game's.
    SetForegroundWindow(GetDesktopWindow());
    holding(XINPUT_GAMEPAD_B | XINPUT_GAMEPAD_BACK);
    press('T', true);
    press('R', true);
    const bool behind = GetForegroundWindow() != native;
    const bool eitherDown = isWatchKeyDown(WatchKey::Best) || isWatchKeyDown(WatchKey::Board);
    press('T', false);
    press('R', false);
    holding(0);
    if (!behind) {
        GTEST_SKIP() << "the window could not be sent to the back";
    }
    EXPECT_FALSE(eitherDown);
}

TEST_F(NativeWindow, AKeyTappedBetweenTwoQuestionsCountsForTheNextOneOnly) {
    SetForegroundWindow(native);
    window.pumpMessages();
    if (GetForegroundWindow() != native) {
        GTEST_SKIP() << "the window could not be brought to the front";
    }
    // Pressed and released before the game asks: the window saw the press.
    press(VK_SPACE, true);
    press(VK_SPACE, false);
    press(VK_LEFT, true);
    press(VK_LEFT, false);
    window.pumpMessages();
    EXPECT_TRUE(isGameKeyDown(GameKey::Space));
    EXPECT_TRUE(isGameKeyDown(GameKey::Left));
    EXPECT_FALSE(isGameKeyDown(GameKey::Right));
    EXPECT_FALSE(isGameKeyDown(GameKey::Space)) << "answered once";
    EXPECT_FALSE(isGameKeyDown(GameKey::Left));

    // Pressed while paused: forgotten at the resume. Posted messages overtake typed keys
    // in the queue, hence a pump after each.
    key(WM_KEYDOWN, VK_ESCAPE);
    key(WM_KEYUP, VK_ESCAPE);
    window.pumpMessages();
    ASSERT_FALSE(window.isActive());
    press(VK_F1, true);
    press(VK_F1, false);
    window.pumpMessages();
    key(WM_KEYDOWN, VK_ESCAPE);
    window.pumpMessages();
    EXPECT_TRUE(window.isActive());
    EXPECT_FALSE(isGameKeyDown(GameKey::F1));
}

TEST_F(NativeWindow, NoKeyButEscF11AndMTouchesThePauseTheFullscreenOrTheSound) {
    // Every virtual key but the shell's own, posted as the system would.
    for (WPARAM virtualKey = 1; virtualKey < 256; ++virtualKey) {
        if (virtualKey == VK_ESCAPE || virtualKey == VK_F11 || virtualKey == 'M') {
            continue;
        }
        key(WM_KEYDOWN, virtualKey);
        key(WM_KEYUP, virtualKey);
    }
    window.pumpMessages();
    EXPECT_TRUE(window.isActive());
    EXPECT_FALSE(window.isFullscreen());
    EXPECT_FALSE(window.isMuted());
}

TEST_F(NativeWindow, ASecondWindowCannotRegisterTheClassAgainAndFailsCleanly) {
    Window second{GetModuleHandleA(nullptr)};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(second.create(1280, 720, 32, false));
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(second.isRunning());
    EXPECT_FALSE(second.hasContext());
    // The first one is untouched.
    EXPECT_TRUE(window.isRunning());
    EXPECT_EQ(FindWindowA("GLClass", nullptr), native);
}

TEST_F(NativeWindow, GameKeysFollowTheKeyboardWhileOurWindowIsInFront) {
    SetForegroundWindow(native);
    window.pumpMessages();
    if (GetForegroundWindow() != native) {
        GTEST_SKIP() << "the window could not be brought to the front";
    }
    press(VK_F1, true);
    press(VK_LEFT, true);
    EXPECT_TRUE(within2s([] { return isGameKeyDown(GameKey::F1); }));
    EXPECT_TRUE(within2s([] { return isGameKeyDown(GameKey::Left); }));
    EXPECT_FALSE(isGameKeyDown(GameKey::Right));
    EXPECT_FALSE(isGameKeyDown(GameKey::Space));
    press(VK_F1, false);
    EXPECT_TRUE(within2s([] { return !isGameKeyDown(GameKey::F1); }));
    EXPECT_TRUE(isGameKeyDown(GameKey::Left));

    // Another program in front: its typing must not drive the game.
    HWND desktop = GetDesktopWindow();
    SetForegroundWindow(desktop);
    window.pumpMessages();
    if (GetForegroundWindow() == native) {
        press(VK_LEFT, false);
        GTEST_SKIP() << "the window could not be sent to the back";
    }
    EXPECT_FALSE(isGameKeyDown(GameKey::Left));
    press(VK_LEFT, false);
}

TEST_F(NativeWindow, TimerStartsAtCreateAndTracksTheRealClock) {
    Sleep(200);
    const float first = window.elapsedSeconds();
    // timeGetTime may tick in steps of a few milliseconds.
    EXPECT_GE(first, 0.19f);
    EXPECT_LT(first, 5.0f);
    EXPECT_LT(window.elapsedSeconds(), first);
}

// Run by CTest a second time with Mesa capped at 2.1, where Wine's 3.0 request fails.
TEST_F(NativeWindow, FailedRequestFor30KeepsTheLegacyContext) {
    if (!legacyOnly()) {
        GTEST_SKIP() << "needs MESA_GL_VERSION_OVERRIDE=2.1";
    }
    expectLegacyFallback(window);
}

} // namespace
