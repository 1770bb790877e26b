#pragma once

#include <nlohmann/json.hpp>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A request as the handlers see it once the HTTP layer has read it whole within its limits,
// and the answer they fill in. Plain values: no socket or parser behind them.
struct HttpRequest {
    std::string method;
    // As sent, and its path percent-decoded (any bytes at all) and its query.
    std::string target;
    std::string path;
    std::string query;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // The connection's peer, and the client the service holds to its limits: the peer, or
    // what a trusted proxy in front says its own client was.
    std::string peer;
    std::string client;
    std::size_t bytesIn = 0;
    std::chrono::steady_clock::time_point started;

    // The first header of that name (any case), or nothing.
    std::optional<std::string> header(std::string_view name) const;
    // A query parameter, percent-decoded, or nothing.
    std::optional<std::string> param(std::string_view name) const;
    // target split and decoded into path and query.
    void splitTarget();
    // The body as JSON, or a discarded value when it is not JSON or passes the bounds
    // below: read as a stream that stops at the first element too deep or too many, so a
    // body of nested brackets never becomes a tree of hundreds of thousands of nodes.
    nlohmann::json jsonBody() const;

    // The calls' bodies are objects of a few short fields.
    static constexpr std::size_t kJsonDepth = 8;
    static constexpr std::size_t kJsonElements = 256;
};

struct HttpResponse {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::string contentType = "application/json";
    // The connection closes after this answer.
    bool close = false;
    // The API call that answered, for the log and the metrics ("-" when none did).
    std::string call = "-";

    void set(std::string name, std::string value);
    bool has(std::string_view name) const;
    // body as JSON; bytes of the request that are not UTF-8 are replaced, never thrown on.
    void json(int code, const nlohmann::json& value);
    // A refusal: {"error": code, "reason": reason}.
    void refuse(int code, const std::string& error, const std::string& reason);
    // A refusal the client should retry after seconds.
    void refuseFor(int code, const std::string& error, const std::string& reason, int seconds);
};

// JSON text of a value whose strings may hold any bytes: invalid UTF-8 becomes U+FFFD.
std::string jsonText(const nlohmann::json& value);

// What a listening address does with its requests. handle answers a request read whole
// (on a thread that may wait on the database); finish completes an answer the HTTP layer
// made itself (a refusal of a request it could not take); served follows every answer
// written, with the bytes that went out; refused follows a connection turned away at a
// cap (which one: "client", "network", "total") before any request was read.
struct HttpRoutes {
    std::function<void(const HttpRequest&, HttpResponse&)> handle;
    std::function<void(const HttpRequest&, HttpResponse&)> finish;
    std::function<void(const HttpRequest&, const HttpResponse&, std::size_t bytesOut)> served;
    std::function<void(const std::string& peer, const char* cap)> refused;
};
