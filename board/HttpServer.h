#pragma once

#include "board/ConnectionCaps.h"
#include "board/HttpLimits.h"
#include "board/HttpMessage.h"
#include "board/TrustedProxies.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/thread_pool.hpp>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class HttpSession;

// HTTP/1.1 on one or more listening addresses: a few threads wait on every socket at
// once, and a fixed pool of workers runs the handlers, which may block on the database.
// A slow or idle client costs a socket and a timer; never a thread.
class HttpServer {
public:
    HttpServer() = default;
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;
    ~HttpServer();

    void init(const HttpLimits& limits, const TrustedProxies& proxies, std::size_t ioThreads, std::size_t workers);
    // Takes host:port (port 0: a free one, returned in boundPort) for routes; false with
    // fault "cannot listen on HOST:PORT" when it is taken or cannot be had. An operators'
    // address is outside the public caps, under a small one of its own, so that a crowd
    // filling the public places leaves the operators their view of it.
    bool listen(const std::string& host, int port, const HttpRoutes& routes, int& boundPort, std::string& fault,
                bool operators = false);
    // HOST:PORT as operators write it, an IPv6 host in brackets: [::1]:8080.
    static std::string address(const std::string& host, int port);
    // Serves until stop() and every connection has closed; the requests under way finish.
    void run();
    // From any thread, any number of times, before or during run().
    void stop();
    std::size_t connections() { return caps_.open(); }

private:
    friend class HttpSession;
    struct Listener {
        boost::asio::ip::tcp::acceptor acceptor;
        HttpRoutes routes;
        ConnectionCaps* caps;
    };

    void serve();
    void accept(Listener& listener);
    void admit(Listener& listener, boost::asio::ip::tcp::socket socket);
    void forget(HttpSession* session);

    boost::asio::io_context io_;
    std::optional<boost::asio::thread_pool> workers_;
    std::size_t ioThreads_ = 1;
    HttpLimits limits_;
    TrustedProxies proxies_;
    ConnectionCaps caps_;
    ConnectionCaps operatorCaps_;
    std::vector<std::unique_ptr<Listener>> listeners_;
    std::atomic<bool> stopping_{false};
    std::mutex sessionsMutex_;
    std::unordered_map<HttpSession*, std::weak_ptr<HttpSession>> sessions_;
};
