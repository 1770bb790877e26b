// The browser's HttpClient on a page of its own, driven by tests/web/http_test.py: the
// test sends requests through it with httpCheckSend and collects what poll hands back
// with httpCheckPoll, while the page keeps drawing frames. Bodies come back in hex, so a
// byte changed on the way shows.

#include "app/PlatformHttpClient.h"

#include <emscripten.h>
#include <nlohmann/json.hpp>

#include <memory>

namespace {

std::unique_ptr<HttpClient> client;

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

} // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int httpCheckSend(const char* method, const char* url, const char* body, int timeout) {
    HttpRequest request;
    request.method = method;
    request.url = url;
    request.body = body;
    request.timeoutMilliseconds = timeout;
    return client->send(request);
}

// The next answer as JSON, or "null" when none is ready; pending is counted after the take.
EMSCRIPTEN_KEEPALIVE const char* httpCheckPoll() {
    static std::string text;
    HttpAnswer answer;
    if (!client->poll(answer)) {
        text = nlohmann::json({{"pending", client->pending()}, {"answer", nullptr}}).dump();
        return text.c_str();
    }
    text = nlohmann::json({{"pending", client->pending()},
                           {"answer",
                            {{"id", answer.id},
                             {"status", answer.status},
                             {"body", hex(answer.body)},
                             {"error", answer.error},
                             {"retryAfter", answer.retryAfterSeconds}}}})
               .dump();
    return text.c_str();
}

// A new client in place of the old one, whose requests still running are dropped.
EMSCRIPTEN_KEEPALIVE void httpCheckRenew() { client = std::make_unique<PlatformHttpClient>(); }
}

int main() {
    client = std::make_unique<PlatformHttpClient>();
    // The page goes on drawing while requests run: a frame counter the test can watch.
    emscripten_set_main_loop([] { EM_ASM(Module.checkFrames = (Module.checkFrames || 0) + 1;); }, 0, false);
    return 0;
}
