#pragma once

#include <cstddef>
#include <string>

// The game's HTTP, used to reach the online board. Requests never run on the game thread:
// send queues one and returns at once, and the answers are collected by polling once a
// frame, so a slow or silent board never holds up a frame. Each request has its own
// timeout. The platforms' backends implement it (app/PlatformHttpClient.h); the link's
// tests answer through a scripted one of their own.
// No answer the board gives comes near this (a record is at most 256 KiB): every backend
// cuts a longer one off, with status 0 and the error saying so, rather than let a server
// fill the game's memory.
inline constexpr std::size_t kMaxHttpAnswerBytes = 4u << 20;

struct HttpRequest {
    // GET or POST; a POST's body goes as application/json.
    std::string method = "GET";
    std::string url;
    std::string body;
    int timeoutMilliseconds = 10000;
};

struct HttpAnswer {
    // The number send gave the request.
    int id = 0;
    // The HTTP status; 0 when no answer came (no connection, timeout, TLS refused).
    int status = 0;
    // The answer's bytes, JSON or a run record.
    std::string body;
    // Why no answer came, one line, when status is 0.
    std::string error;
    // The Retry-After header in seconds (link/RetryAfter), 0 when absent.
    int retryAfterSeconds = 0;
};

class HttpClient {
public:
    HttpClient() = default;
    // Drops the requests still pending without waiting for them.
    virtual ~HttpClient() = default;
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // A certificate authority (a PEM file) trusted for HTTPS besides the system's, for a
    // board with a private certificate; empty for the system's alone.
    virtual void setCertificateAuthority(const std::string& pemFile) = 0;
    // Queues a request; returns its number, never 0.
    virtual int send(const HttpRequest& request) = 0;
    // Takes one finished request's answer; false when none is ready. Never blocks.
    virtual bool poll(HttpAnswer& answer) = 0;
    // Requests sent and not yet polled.
    virtual int pending() const = 0;
};
