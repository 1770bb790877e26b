#pragma once

#include <chrono>
#include <string>
#include <vector>

// A connection to a service on loopback that writes exactly the bytes it is given, from a
// chosen 127.0.0.x address, and reads whatever comes back: for requests no well-behaved
// client would send.
class RawClient {
public:
    RawClient() = default;
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;
    RawClient(RawClient&& other) noexcept;
    ~RawClient();

    // Connects to 127.0.0.1:port from the address from; false when it cannot.
    bool connect(int port, const std::string& from = "127.0.0.1");
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
    int fd_ = -1;
    bool closed_ = false;
    std::string received_;
};
