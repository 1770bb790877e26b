#include "HttpServer.h"

#include "board/HttpSession.h"

#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/write.hpp>

#include <cstdio>
#include <thread>

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

namespace {

// Written without waiting to a connection over a cap, then closed: refusing costs no
// more than accepting.
const std::string& capRefusal() {
    static const std::string body =
        "{\"error\":\"busy\",\"reason\":\"too many connections from this address or in all; retry shortly\"}";
    static const std::string whole = "HTTP/1.1 503 Service Unavailable\r\nContent-Type: application/json\r\n"
                                     "Retry-After: 1\r\nConnection: close\r\nContent-Length: " +
                                     std::to_string(body.size()) + "\r\n\r\n" + body;
    return whole;
}

std::string addressText(const asio::ip::address& address) {
    if (address.is_v6() && address.to_v6().is_v4_mapped()) {
        return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()).to_string();
    }
    return address.to_string();
}

// Connections the operators' address takes at once: a scraper or two and a person.
constexpr std::size_t kOperatorConnections = 16;

const char* capName(ConnectionCaps::Refusal refusal) {
    switch (refusal) {
    case ConnectionCaps::Refusal::Client: return "client";
    case ConnectionCaps::Refusal::Network: return "network";
    default: return "total";
    }
}

}  // namespace

HttpServer::~HttpServer() {
    if (workers_) {
        workers_->join();
    }
}

void HttpServer::init(const HttpLimits& limits, const TrustedProxies& proxies, std::size_t ioThreads,
                      std::size_t workers) {
    limits_ = limits;
    proxies_ = proxies;
    ioThreads_ = std::max<std::size_t>(1, ioThreads);
    workers_.emplace(workers);
    caps_.init(limits.connectionsPerAddress, limits.connections);
    operatorCaps_.init(kOperatorConnections, kOperatorConnections);
}

std::string HttpServer::address(const std::string& host, int port) {
    const std::string shown = host.find(':') == std::string::npos ? host : "[" + host + "]";
    return shown + ":" + std::to_string(port);
}

bool HttpServer::listen(const std::string& host, int port, const HttpRoutes& routes, int& boundPort,
                        std::string& fault, bool operators) {
    fault = "cannot listen on " + address(host, port);
    boost::system::error_code error;
    tcp::resolver resolver(io_);
    auto found = resolver.resolve(host, std::to_string(port), tcp::resolver::passive, error);
    if (error || found.empty()) {
        return false;
    }
    auto listener = std::make_unique<Listener>(Listener{tcp::acceptor(io_), routes, operators ? &operatorCaps_ : &caps_});
    tcp::acceptor& acceptor = listener->acceptor;
    const tcp::endpoint endpoint = found.begin()->endpoint();
    // SO_REUSEADDR, never SO_REUSEPORT: a second board on a taken port is refused. The
    // system's whole queue: a burst of players must not overflow it into SYN-cookie resets.
    acceptor.open(endpoint.protocol(), error);
    acceptor.set_option(asio::socket_base::reuse_address(true), error);
    acceptor.bind(endpoint, error);
    if (error) {
        return false;
    }
    acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        return false;
    }
    boundPort = acceptor.local_endpoint().port();
    listeners_.push_back(std::move(listener));
    accept(*listeners_.back());
    return true;
}

void HttpServer::accept(Listener& listener) {
    listener.acceptor.async_accept(asio::make_strand(io_), [this, &listener](boost::system::error_code error,
                                                                             tcp::socket socket) {
        if (error == asio::error::operation_aborted || !listener.acceptor.is_open()) {
            return;
        }
        if (error) {
            // Out of descriptors, most likely: wait a little rather than spin.
            auto pause = std::make_shared<asio::steady_timer>(io_, std::chrono::milliseconds(50));
            pause->async_wait([this, &listener, pause](boost::system::error_code) {
                if (listener.acceptor.is_open()) {
                    accept(listener);
                }
            });
            return;
        }
        admit(listener, std::move(socket));
        accept(listener);
    });
}

void HttpServer::admit(Listener& listener, tcp::socket socket) {
    boost::system::error_code error;
    const tcp::endpoint remote = socket.remote_endpoint(error);
    if (error) {
        return;
    }
    std::string peer = addressText(remote.address());
    const bool perAddress = !proxies_.trusts(peer);
    const ConnectionCaps::Refusal refusal = listener.caps->take(peer, perAddress);
    if (refusal != ConnectionCaps::Refusal::None) {
        socket.non_blocking(true, error);
        socket.write_some(asio::buffer(capRefusal()), error);
        socket.shutdown(tcp::socket::shutdown_both, error);
        if (listener.routes.refused) {
            listener.routes.refused(peer, capName(refusal));
        }
        return;
    }
    socket.set_option(tcp::no_delay(true), error);
    auto session = std::make_shared<HttpSession>(*this, listener.routes, *listener.caps, std::move(socket), peer,
                                                 perAddress);
    {
        std::lock_guard lock(sessionsMutex_);
        sessions_[session.get()] = session;
    }
    session->start();
}

void HttpServer::forget(HttpSession* session) {
    std::lock_guard lock(sessionsMutex_);
    sessions_.erase(session);
}

// Whatever a connection's handler throws costs that connection (its session is dropped with
// the handler), never the thread or the process.
void HttpServer::serve() {
    for (;;) {
        try {
            io_.run();
            return;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "tamq-board: a connection failed: %s\n", error.what());
        } catch (...) {
            std::fprintf(stderr, "tamq-board: a connection failed\n");
        }
    }
}

void HttpServer::run() {
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < ioThreads_; ++i) {
        threads.emplace_back([this] { serve(); });
    }
    serve();
    for (std::thread& thread : threads) {
        thread.join();
    }
    workers_->join();
}

void HttpServer::stop() {
    asio::post(io_, [this] {
        stopping_ = true;
        for (auto& listener : listeners_) {
            boost::system::error_code ignored;
            listener->acceptor.close(ignored);
        }
        std::vector<std::shared_ptr<HttpSession>> open;
        {
            std::lock_guard lock(sessionsMutex_);
            for (auto& [pointer, session] : sessions_) {
                if (auto alive = session.lock()) {
                    open.push_back(alive);
                }
            }
        }
        for (auto& session : open) {
            session->stopIfIdle();
        }
    });
}
