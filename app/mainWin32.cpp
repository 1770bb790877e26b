// The program's entry point on Windows: the arguments in UTF-8 and a console for its
// text, then the same session as everywhere.

#include "GameSession.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>

namespace {

// The arguments after the program's name, in UTF-8 whatever the system's code page.
std::vector<std::string> arguments() {
    std::vector<std::string> result;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return result;
    }
    for (int i = 1; i < count; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), size, nullptr, nullptr);
        text.resize(text.size() - 1);
        result.push_back(text);
    }
    LocalFree(wide);
    return result;
}

// A GUI program has no console: when started from one, write --help, --version and
// errors there instead of nowhere. Output already redirected is left alone.
void useParentConsole() {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((output == nullptr || output == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    useParentConsole();
    return GameSession::run(arguments(), instance);
}
