#include "RawClient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/ssl.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>

RawClient::RawClient(RawClient&& other) noexcept
    : fd_(other.fd_), context_(other.context_), tls_(other.tls_), closed_(other.closed_),
      received_(std::move(other.received_)) {
    other.fd_ = -1;
    other.context_ = nullptr;
    other.tls_ = nullptr;
}

RawClient::~RawClient() {
    SSL_free(tls_);
    SSL_CTX_free(context_);
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool RawClient::connect(const Target& target, const std::string& from) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<uint16_t>(target.port));
    remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval second{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &second, sizeof second);
    return fd_ >= 0 && inet_pton(AF_INET, from.c_str(), &local.sin_addr) == 1 &&
           bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
           ::connect(fd_, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0 &&
           (target.authority.empty() || handshake(target.authority));
}

bool RawClient::handshake(const std::string& authority) {
    // OpenSSL writes with write(): a service that hung up must not end the test.
    std::signal(SIGPIPE, SIG_IGN);
    context_ = SSL_CTX_new(TLS_client_method());
    if (context_ == nullptr || SSL_CTX_load_verify_locations(context_, authority.c_str(), nullptr) != 1) {
        return false;
    }
    SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
    tls_ = SSL_new(context_);
    timeval seconds{5, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &seconds, sizeof seconds);
    if (tls_ == nullptr || SSL_set_fd(tls_, fd_) != 1 || SSL_connect(tls_) != 1) {
        return false;
    }
    // From here reads and writes wait in poll, with the plain connection's budgets.
    SSL_set_mode(tls_, SSL_MODE_ENABLE_PARTIAL_WRITE);
    return fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK) == 0;
}

bool RawClient::sendTls(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int count = SSL_write(tls_, bytes.data() + sent, static_cast<int>(std::min<std::size_t>(bytes.size() - sent, 1 << 20)));
        if (count > 0) {
            sent += static_cast<std::size_t>(count);
            continue;
        }
        const int error = SSL_get_error(tls_, count);
        pollfd ready{fd_, static_cast<short>(error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT), 0};
        if ((error != SSL_ERROR_WANT_WRITE && error != SSL_ERROR_WANT_READ) || poll(&ready, 1, 1000) <= 0) {
            return false;
        }
    }
    return true;
}

// True only for bytes of an answer or the end: a session ticket the service sends after
// the handshake is no answer.
bool RawClient::answeredTls(std::chrono::milliseconds wait) {
    pollfd ready{fd_, POLLIN, 0};
    if (closed_ || (SSL_pending(tls_) == 0 && poll(&ready, 1, static_cast<int>(wait.count())) <= 0)) {
        return closed_;
    }
    char buffer[16384];
    const int count = SSL_read(tls_, buffer, sizeof buffer);
    if (count > 0) {
        received_.append(buffer, static_cast<std::size_t>(count));
        return true;
    }
    const int error = SSL_get_error(tls_, count);
    closed_ = error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE;
    return closed_;
}

bool RawClient::send(const std::string& bytes) {
    if (tls_ != nullptr) {
        return sendTls(bytes);
    }
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
    if (tls_ != nullptr) {
        return answeredTls(wait);
    }
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
