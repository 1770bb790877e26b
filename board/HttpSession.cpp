#include "HttpSession.h"

#include "board/HttpServer.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/bind_handler.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>

#include <strings.h>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

// Bytes asked of the socket at once while waiting for a request to begin.
constexpr std::size_t kFirstRead = 4096;

bool sameText(beast::string_view a, const char* b) {
    return a.size() == std::strlen(b) && strncasecmp(a.data(), b, a.size()) == 0;
}

}  // namespace

HttpSession::HttpSession(HttpServer& server, const HttpRoutes& routes, ConnectionCaps& caps, tcp::socket socket,
                         std::string peer, bool capPerAddress)
    : server_(server), routes_(routes), caps_(caps), stream_(std::move(socket)), peer_(std::move(peer)),
      capPerAddress_(capPerAddress) {}

HttpSession::~HttpSession() {
    caps_.give(peer_, capPerAddress_);
    server_.forget(this);
}

void HttpSession::start() {
    asio::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->awaitRequest(); });
}

void HttpSession::stopIfIdle() {
    asio::dispatch(stream_.get_executor(), [self = shared_from_this()] {
        if (self->idle_) {
            self->close();
        }
    });
}

// The idle timeout runs until a request's first byte; the request's own deadline from there.
void HttpSession::awaitRequest() {
    if (buffer_.size() > 0) {
        readHeader();
        return;
    }
    if (server_.stopping_) {
        close();
        return;
    }
    idle_ = true;
    stream_.expires_after(server_.limits_.idle);
    stream_.async_read_some(buffer_.prepare(kFirstRead),
                            [self = shared_from_this()](beast::error_code error, std::size_t bytes) {
                                self->idle_ = false;
                                if (error) {
                                    self->close();
                                    return;
                                }
                                self->buffer_.commit(bytes);
                                self->readHeader();
                            });
}

void HttpSession::readHeader() {
    const HttpLimits& limits = server_.limits_;
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(limits.headerBytes));
    parser_->body_limit(limits.bodyBytes);
    request_ = HttpRequest();
    request_.started = std::chrono::steady_clock::now();
    request_.peer = peer_;
    request_.client = peer_;
    stream_.expires_after(limits.request);
    http::async_read_header(stream_, buffer_, *parser_,
                            [self = shared_from_this()](beast::error_code error, std::size_t) { self->onHeader(error); });
}

void HttpSession::onHeader(beast::error_code error) {
    const HttpLimits& limits = server_.limits_;
    if (error == http::error::header_limit) {
        // The parser keeps a request line it has read whole; else the line is in the buffer.
        auto* bytes = static_cast<const char*>(buffer_.data().data());
        std::string_view seen(bytes, std::min(buffer_.size(), limits.requestLineBytes + 2));
        const bool lineRead = !parser_->get().target().empty();
        if (lineRead ? parser_->get().target().size() > limits.requestLineBytes
                     : seen.find("\r\n") == std::string_view::npos) {
            refuse(414, "too_long", "a request line is at most " + std::to_string(limits.requestLineBytes) + " bytes");
        } else {
            refuse(431, "too_many_headers",
                   "a request's headers are at most " + std::to_string(limits.headerBytes) + " bytes");
        }
        return;
    }
    if (error == http::error::body_limit) {
        describe(false);
        refuse(413, "too_large", "the request body is larger than " + std::to_string(limits.bodyBytes) + " bytes");
        return;
    }
    if (error == http::error::end_of_stream || error == beast::error::timeout || error == asio::error::eof ||
        error == asio::error::operation_aborted || error == asio::error::connection_reset) {
        close();
        return;
    }
    if (error) {
        refuse(400, "malformed", "the request cannot be read as HTTP");
        return;
    }
    const auto& head = parser_->get();
    describe(false);
    // Counted as the client wrote them, wherever they come from: not the hop's own
    // Connection, which a proxy drops, nor the headers a trusted proxy adds.
    std::size_t count = 0;
    std::size_t added = 0;
    for (const auto& field : head) {
        if (field.name() == http::field::connection) {
            continue;
        }
        if (!capPerAddress_ && added < limits.proxyHeaders &&
            (sameText(field.name_string(), "X-Forwarded-For") || sameText(field.name_string(), "X-Forwarded-Proto"))) {
            ++added;
            continue;
        }
        ++count;
    }
    const auto encoding = head[http::field::content_encoding];
    const auto transfer = head[http::field::transfer_encoding];
    if (head.method_string().size() + head.target().size() + 10 > limits.requestLineBytes) {
        refuse(414, "too_long", "a request line is at most " + std::to_string(limits.requestLineBytes) + " bytes");
    } else if (count > limits.headerCount) {
        refuse(431, "too_many_headers",
               "a request has at most " + std::to_string(limits.headerCount) + " headers besides Connection");
    } else if ((!encoding.empty() && !sameText(encoding, "identity")) ||
               (!transfer.empty() && !sameText(transfer, "chunked"))) {
        // Never inflated: a few kilobytes can unpack to gigabytes.
        refuse(415, "unsupported_encoding", "request bodies are taken as they are, without Content-Encoding");
    } else if (head.method() == http::verb::post && !parser_->content_length() && !parser_->chunked()) {
        refuse(411, "length_required", "a POST gives its Content-Length or is chunked");
    } else if (parser_->is_done()) {
        dispatch();
    } else if (sameText(head[http::field::expect], "100-continue")) {
        static const std::string kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
        asio::async_write(stream_, asio::buffer(kContinue),
                          [self = shared_from_this()](beast::error_code error, std::size_t) {
                              if (error) {
                                  self->close();
                              } else {
                                  self->readBody();
                              }
                          });
    } else {
        readBody();
    }
}

void HttpSession::readBody() {
    // Still under the deadline set at the request's first byte.
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code error, std::size_t) { self->onBody(error); });
}

void HttpSession::onBody(beast::error_code error) {
    if (error == http::error::body_limit) {
        refuse(413, "too_large",
               "the request body is larger than " + std::to_string(server_.limits_.bodyBytes) + " bytes");
    } else if (error == beast::error::timeout || error == http::error::end_of_stream || error == asio::error::eof ||
               error == asio::error::operation_aborted || error == asio::error::connection_reset) {
        close();
    } else if (error) {
        refuse(400, "malformed", "the request cannot be read as HTTP");
    } else {
        dispatch();
    }
}

void HttpSession::describe(bool withBody) {
    const auto& head = parser_->get();
    request_.method = std::string(head.method_string());
    request_.target = std::string(head.target());
    request_.splitTarget();
    request_.headers.clear();
    std::vector<std::string> forwarded;
    request_.bytesIn = request_.method.size() + request_.target.size() + 11;
    for (const auto& field : head) {
        request_.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
        request_.bytesIn += field.name_string().size() + field.value().size() + 4;
        if (sameText(field.name_string(), "X-Forwarded-For")) {
            forwarded.emplace_back(field.value());
        }
    }
    request_.client = server_.proxies_.client(peer_, forwarded);
    if (withBody) {
        request_.body = std::move(parser_->get().body());
        request_.bytesIn += request_.body.size();
    }
}

void HttpSession::refuse(int status, const std::string& code, const std::string& reason) {
    response_ = HttpResponse();
    response_.refuse(status, code, reason);
    response_.close = true;
    if (request_.method.empty()) {
        request_.method = "-";
    }
    if (routes_.finish) {
        routes_.finish(request_, response_);
    }
    write(false);
}

void HttpSession::dispatch() {
    const bool keepAlive = parser_->get().keep_alive();
    describe(true);
    parser_.reset();
    auto busy = asio::make_work_guard(server_.io_);
    asio::post(*server_.workers_, [self = shared_from_this(), keepAlive, busy]() mutable {
        HttpResponse response;
        try {
            self->routes_.handle(self->request_, response);
        } catch (...) {
            response = HttpResponse();
            response.refuse(500, "internal", "the service failed on this request");
        }
        asio::post(self->stream_.get_executor(), [self, keepAlive, response = std::move(response)]() mutable {
            self->response_ = std::move(response);
            self->write(keepAlive);
        });
        busy.reset();
    });
}

void HttpSession::write(bool keepAlive) {
    keepAlive = keepAlive && !response_.close && !server_.stopping_;
    out_ = std::make_shared<http::response<http::string_body>>(static_cast<http::status>(response_.status), 11);
    if (!response_.body.empty() || response_.status != 204) {
        out_->set(http::field::content_type, response_.contentType);
    }
    for (const auto& [name, value] : response_.headers) {
        out_->insert(name, value);
    }
    out_->body() = std::move(response_.body);
    out_->keep_alive(keepAlive);
    out_->prepare_payload();
    stream_.expires_after(server_.limits_.request);
    http::async_write(stream_, *out_,
                      [self = shared_from_this(), keepAlive](beast::error_code error, std::size_t bytes) {
                          self->response_.body = std::move(self->out_->body());
                          self->out_.reset();
                          if (self->routes_.served) {
                              self->routes_.served(self->request_, self->response_, bytes);
                          }
                          if (error) {
                              self->close();
                          } else if (keepAlive) {
                              self->awaitRequest();
                          } else {
                              self->linger();
                          }
                      });
}

// What the client still sends after a closing answer is read and dropped for a moment,
// so that it is not reset before it has read the answer.
void HttpSession::linger() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream_.expires_after(server_.limits_.linger);
    scratch_.resize(16 * 1024);
    drained_ = 0;
    drain();
}

void HttpSession::drain() {
    stream_.async_read_some(asio::buffer(scratch_), [self = shared_from_this()](beast::error_code error,
                                                                                std::size_t bytes) {
        self->drained_ += bytes;
        if (error || self->drained_ >= self->server_.limits_.lingerBytes) {
            self->close();
        } else {
            self->drain();
        }
    });
}

void HttpSession::close() {
    beast::error_code ignored;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream_.close();
}
