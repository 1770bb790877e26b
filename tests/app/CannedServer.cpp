#include "CannedServer.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
void closeSocket(Socket s) { closesocket(s); }
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
using Socket = int;
constexpr Socket kNoSocket = -1;
void closeSocket(Socket s) { close(s); }
#endif

#include <algorithm>
#include <chrono>
#include <utility>
#include <stdexcept>

namespace {

void startSockets() {
#ifdef _WIN32
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
#endif
}

// A socket bound to a free port of 127.0.0.1, and the port.
Socket bindLoopback(int& port) {
    startSockets();
    Socket s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (s == kNoSocket || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("no free port on 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    return s;
}

// Whether s can be read within the milliseconds.
bool readable(Socket s, int milliseconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &wait) > 0;
}

}  // namespace

std::string CannedServer::answer(int status, const std::string& body, const std::string& headers) {
    return "HTTP/1.1 " + std::to_string(status) + " Canned\r\nContent-Type: application/json\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n" + headers + "\r\n" + body;
}

int CannedServer::closedPort() {
    int port = 0;
    closeSocket(bindLoopback(port));
    return port;
}

CannedServer::CannedServer(std::vector<std::string> answers)
    : CannedServer(answers.empty() ? std::map<std::string, std::vector<std::string>>{}
                                   : std::map<std::string, std::vector<std::string>>{{"/", std::move(answers)}}) {}

CannedServer::CannedServer(std::map<std::string, std::vector<std::string>> routes) : routes_(std::move(routes)) {
    Socket s = bindLoopback(port_);
    listen(s, 16);
    listener_ = static_cast<long long>(s);
    thread_ = std::thread([this] { serve(); });
}

CannedServer::~CannedServer() {
    stopping_ = true;
    thread_.join();
    closeSocket(static_cast<Socket>(listener_));
}

void CannedServer::serve() {
    const Socket listener = static_cast<Socket>(listener_);
    std::vector<Socket> silent;
    while (!stopping_) {
        if (!readable(listener, 20)) {
            continue;
        }
        Socket client = accept(listener, nullptr, nullptr);
        if (client == kNoSocket) {
            continue;
        }
        if (routes_.empty()) {
            // Held open and never answered, until the server ends.
            silent.push_back(client);
            ++connected_;
            continue;
        }
        ++connected_;
        // The request's head, and its body as Content-Length says.
        std::string request;
        char buffer[4096];
        for (;;) {
            const std::size_t head = request.find("\r\n\r\n");
            if (head != std::string::npos) {
                const std::size_t length = request.find("Content-Length: ");
                const std::size_t body = length == std::string::npos || length > head
                                             ? 0
                                             : std::stoul(request.substr(length + 16));
                if (request.size() >= head + 4 + body) {
                    break;
                }
            }
            if (!readable(client, 5000)) {
                break;
            }
            const int count = static_cast<int>(recv(client, buffer, sizeof buffer, 0));
            if (count <= 0) {
                break;
            }
            request.append(buffer, static_cast<std::size_t>(count));
        }
        const std::string reply = this->reply(request);
        ++served_;
#ifdef MSG_NOSIGNAL
        // A client that hangs up early must not end the test program.
        send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
#else
        send(client, reply.data(), static_cast<int>(reply.size()), 0);
#endif
        closeSocket(client);
    }
    for (Socket client : silent) {
        closeSocket(client);
    }
}

std::string CannedServer::reply(const std::string& request) {
    // "GET /path HTTP/1.1"
    const std::size_t start = request.find(' ') + 1;
    const std::string path = request.substr(start, request.find(' ', start) - start);
    std::string route;
    for (const auto& [prefix, answers] : routes_) {
        if (path.rfind(prefix, 0) == 0 && prefix.size() > route.size()) {
            route = prefix;
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (route.empty()) {
        return answer(404, R"({"error":"not_found"})");
    }
    const std::vector<std::string>& answers = routes_.at(route);
    const int index = servedByRoute_[route]++;
    return answers[std::min<std::size_t>(static_cast<std::size_t>(index), answers.size() - 1)];
}

int CannedServer::served(const std::string& prefix) const {
    if (prefix.empty()) {
        return served_;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = servedByRoute_.find(prefix);
    return found == servedByRoute_.end() ? 0 : found->second;
}
