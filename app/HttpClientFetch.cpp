// The browser's HttpClient: the page's fetch. A request is started from send and runs in the
// browser while the game draws; its answer waits in the page until poll takes it. The
// browser decides what a page may reach: another origin answers only when it allows the
// page's (CORS), and its certificate is checked against the browser's own authorities.

#include "PlatformHttpClient.h"
#include "link/RetryAfter.h"
#include "TransportMessages.h"

#include <emscripten.h>

#include <cstdint>
#include <ctime>

namespace {

// The page keeps one table of clients, each with its requests in flight (their abort
// controllers) and its answers not yet taken. A client dropped while a request runs aborts
// it, and a late answer finds no client and is thrown away.
// clang-format off
EM_JS(int, fetchOpenClient, (), {
    const http = Module.tamqHttp || (Module.tamqHttp = { clients: new Map(), next: 1 });
    const key = http.next++;
    http.clients.set(key, { running: new Map(), answers: [] });
    return key;
});

EM_JS(void, fetchCloseClient, (int key), {
    const client = Module.tamqHttp.clients.get(key);
    Module.tamqHttp.clients.delete(key);
    for (const controller of client.running.values()) {
        controller.abort();
    }
});

EM_JS(void, fetchStart, (int key, int id, const char* method, const char* url, const char* body,
                         int bodyLength, int timeoutMilliseconds, int maxBytes, const char* late), {
    const client = Module.tamqHttp.clients.get(key);
    const target = UTF8ToString(url);
    const lateText = UTF8ToString(late);
    const options = { method: UTF8ToString(method), cache: "no-store", credentials: "omit", redirect: "follow" };
    if (options.method === "POST") {
        options.headers = { "Content-Type": "application/json" };
        options.body = HEAPU8.slice(body, body + bodyLength);
    }
    const controller = new AbortController();
    options.signal = controller.signal;
    client.running.set(id, controller);
    let timedOut = false;
    let tooLarge = false;
    const timer = setTimeout(function() {
        timedOut = true;
        controller.abort();
    }, timeoutMilliseconds);
    const finish = function(answer) {
        clearTimeout(timer);
        client.running.delete(id);
        if (Module.tamqHttp.clients.get(key) === client) {
            answer.id = id;
            client.answers.push(answer);
        }
    };
    // The body piece by piece, given up as soon as it passes the bound the other backends keep.
    const readAll = function(reader, parts, size) {
        return reader.read().then(function(part) {
            if (part.done) {
                const bytes = new Uint8Array(size);
                let at = 0;
                for (const piece of parts) {
                    bytes.set(piece, at);
                    at += piece.length;
                }
                return bytes;
            }
            size += part.value.length;
            if (size > maxBytes) {
                tooLarge = true;
                controller.abort();
                throw new Error("too large");
            }
            parts.push(part.value);
            return readAll(reader, parts, size);
        });
    };
    // The timeout covers the whole answer, body included: the abort ends either wait. The
    // Retry-After header goes to the game as it came, read there as every backend reads it.
    let response = null;
    fetch(target, options)
        .then(function(got) {
            response = got;
            return got.body === null ? new Uint8Array(0) : readAll(got.body.getReader(), [], 0);
        })
        .then(function(bytes) {
            finish({ status: response.status, body: bytes, error: "",
                     retryAfter: response.headers.get("Retry-After") || "" });
        })
        .catch(function(error) {
            // A browser keeps the cause of a failed fetch from the page (refused, no such
            // host, an untrusted certificate, an origin not allowed all read the same).
            const why = tooLarge ? "the answer is larger than " + maxBytes + " bytes"
                      : timedOut ? lateText
                      : response !== null ? "the answer broke off: " + error.message
                      : error.message + ": not reachable, not trusted or not allowing this page";
            finish({ status: 0, body: new Uint8Array(0), error: why, retryAfter: "" });
        });
});

// Moves the oldest answer to the front of the taking: its number, status, and the lengths
// of its body, error and Retry-After, so the game can make room for them; 0 when none.
EM_JS(int, fetchNextAnswer, (int key, int* fields), {
    const client = Module.tamqHttp.clients.get(key);
    if (client.answers.length === 0) {
        return 0;
    }
    const answer = client.answers[0];
    answer.errorBytes = new TextEncoder().encode(answer.error);
    answer.retryAfterBytes = new TextEncoder().encode(answer.retryAfter);
    HEAP32[(fields >> 2) + 0] = answer.status;
    HEAP32[(fields >> 2) + 1] = answer.retryAfterBytes.length;
    HEAP32[(fields >> 2) + 2] = answer.body.length;
    HEAP32[(fields >> 2) + 3] = answer.errorBytes.length;
    return answer.id;
});

EM_JS(void, fetchTakeAnswer, (int key, char* body, char* error, char* retryAfter), {
    const answer = Module.tamqHttp.clients.get(key).answers.shift();
    HEAPU8.set(answer.body, body);
    HEAPU8.set(answer.errorBytes, error);
    HEAPU8.set(answer.retryAfterBytes, retryAfter);
});
// clang-format on

} // namespace

struct PlatformHttpClient::Backend {
    int key = 0;
    int lastId = 0;
    int pending = 0;
};

PlatformHttpClient::PlatformHttpClient() : backend_(std::make_unique<Backend>()) { backend_->key = fetchOpenClient(); }

PlatformHttpClient::~PlatformHttpClient() { fetchCloseClient(backend_->key); }

// The browser trusts the authorities it trusts; a page cannot add one.
void PlatformHttpClient::setCertificateAuthority(const std::string&) {}

int PlatformHttpClient::send(const HttpRequest& request) {
    const int id = ++backend_->lastId;
    fetchStart(backend_->key, id, request.method.c_str(), request.url.c_str(), request.body.data(),
               static_cast<int>(request.body.size()), request.timeoutMilliseconds,
               static_cast<int>(kMaxHttpAnswerBytes), TransportMessages::noAnswerWithin(request.timeoutMilliseconds).c_str());
    ++backend_->pending;
    return id;
}

bool PlatformHttpClient::poll(HttpAnswer& answer) {
    int fields[4] = {};
    const int id = fetchNextAnswer(backend_->key, fields);
    if (id == 0) {
        return false;
    }
    answer.id = id;
    answer.status = fields[0];
    std::string retryAfter(static_cast<std::size_t>(fields[1]), '\0');
    answer.body.assign(static_cast<std::size_t>(fields[2]), '\0');
    answer.error.assign(static_cast<std::size_t>(fields[3]), '\0');
    fetchTakeAnswer(backend_->key, answer.body.data(), answer.error.data(), retryAfter.data());
    answer.retryAfterSeconds = RetryAfter::seconds(retryAfter, static_cast<std::int64_t>(std::time(nullptr)));
    --backend_->pending;
    return true;
}

int PlatformHttpClient::pending() const { return backend_->pending; }
