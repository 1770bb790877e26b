#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A server on a free port of 127.0.0.1 for the tests of the game's HTTP that the real
// board cannot stage: it answers the requests of each path with the next of the answers
// given for the longest prefix of it (the last one repeating; 404 for a path without
// any), or, given no answers at all, takes connections and never says a word. Plain
// sockets: it runs under Wine as on Linux.
class CannedServer {
public:
    // A whole HTTP answer: status, the extra header lines (each ending in \r\n) and the body.
    static std::string answer(int status, const std::string& body, const std::string& headers = "");

    // The answers of every path.
    explicit CannedServer(std::vector<std::string> answers = {});
    // The answers by path prefix.
    explicit CannedServer(std::map<std::string, std::vector<std::string>> routes);
    ~CannedServer();
    CannedServer(const CannedServer&) = delete;
    CannedServer& operator=(const CannedServer&) = delete;

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
    int port() const { return port_; }
    // Connections taken, and requests answered so far (of a path prefix given).
    int connected() const { return connected_; }
    int served(const std::string& prefix = "") const;

    // A port of 127.0.0.1 that refuses connections.
    static int closedPort();

private:
    void serve();
    // The answer to a request's head.
    std::string reply(const std::string& request);

    std::map<std::string, std::vector<std::string>> routes_;
    mutable std::mutex mutex_;
    std::map<std::string, int> servedByRoute_;
    long long listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connected_{0};
    std::atomic<int> served_{0};
    std::thread thread_;
};
