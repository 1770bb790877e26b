#include "RawClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

RawClient::RawClient(RawClient&& other) noexcept
    : fd_(other.fd_), closed_(other.closed_), received_(std::move(other.received_)) {
    other.fd_ = -1;
}

RawClient::~RawClient() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool RawClient::connect(int port, const std::string& from) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<uint16_t>(port));
    remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval second{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &second, sizeof second);
    return fd_ >= 0 && inet_pton(AF_INET, from.c_str(), &local.sin_addr) == 1 &&
           bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
           ::connect(fd_, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0;
}

bool RawClient::send(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t count = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(count);
    }
    return true;
}

bool RawClient::answered(std::chrono::milliseconds wait) {
    pollfd ready{fd_, POLLIN, 0};
    if (closed_ || poll(&ready, 1, static_cast<int>(wait.count())) <= 0) {
        return closed_;
    }
    char buffer[16384];
    ssize_t count = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (count > 0) {
        received_.append(buffer, static_cast<std::size_t>(count));
    } else if (count == 0 || errno != EAGAIN) {
        closed_ = true;
    }
    return true;
}

const std::string& RawClient::readAll(std::chrono::milliseconds budget) {
    const auto deadline = std::chrono::steady_clock::now() + budget;
    while (!closed_ && std::chrono::steady_clock::now() < deadline) {
        answered(std::chrono::milliseconds(50));
    }
    return received_;
}

std::vector<int> RawClient::statuses(const std::string& text) {
    std::vector<int> found;
    for (std::size_t at = text.find("HTTP/1."); at != std::string::npos; at = text.find("HTTP/1.", at + 1)) {
        if (at + 12 <= text.size() && text[at + 8] == ' ') {
            found.push_back(std::atoi(text.substr(at + 9, 3).c_str()));
        }
    }
    return found;
}
