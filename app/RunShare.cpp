#include "RunShare.h"

#include <cstdio>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>

namespace {

// clang-format off
EM_JS(void, pageShowRun, (const char* address), {
    if (typeof tamqShowRun === 'function') {
        tamqShowRun(UTF8ToString(address));
    }
});
// clang-format on

} // namespace
#endif

void RunShare::show(const std::string& address) {
    std::printf("%s\n", line(address).c_str());
    std::fflush(stdout);
#ifdef __EMSCRIPTEN__
    pageShowRun(address.c_str());
#endif
}
