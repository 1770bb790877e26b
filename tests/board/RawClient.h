#pragma once

#include <chrono>
#include <string>
#include <vector>

using SSL = struct ssl_st;
using SSL_CTX = struct ssl_ctx_st;

// A connection to a service on loopback that writes exactly the bytes it is given, from a
// chosen 127.0.0.x address, and reads whatever comes back: for requests no well-behaved
// client would send. Over TLS too, for the edge, which takes the game's calls only so.
class RawClient {
public:
    // A port of 127.0.0.1, over TLS trusting the authority (a PEM file) when one is named;
    // plain is the same site's plain-HTTP port, where it has one.
    struct Target {
        Target(int port, std::string authority = "", int plain = 0)
            : port(port), authority(std::move(authority)), plain(plain) {}
        int port;
        std::string authority;
        int plain;
    };

    RawClient() = default;
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;
    RawClient(RawClient&& other) noexcept;
    ~RawClient();

    // Connects (and shakes hands, over TLS) from the address from; false when it cannot.
    bool connect(const Target& target, const std::string& from = "127.0.0.1");
    // False once the service has closed or reset the connection (a write that would wait
    // more than a second counts as refused).
    bool send(const std::string& bytes);
    // Whether the service has written something or closed, waiting up to wait.
    bool answered(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
    // Reads until the service closes or budget passes; everything read so far.
    const std::string& readAll(std::chrono::milliseconds budget);
    // Whether the service closed the connection (seen by readAll or answered).
    bool closed() const { return closed_; }
    const std::string& received() const { return received_; }

    // The statuses of the answers in text, in order.
    static std::vector<int> statuses(const std::string& text);

private:
    bool handshake(const std::string& authority);
    bool sendTls(const std::string& bytes);
    bool answeredTls(std::chrono::milliseconds wait);

    int fd_ = -1;
    SSL_CTX* context_ = nullptr;
    SSL* tls_ = nullptr;
    bool closed_ = false;
    std::string received_;
};
