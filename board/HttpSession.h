#pragma once

#include "board/ConnectionCaps.h"
#include "board/HttpMessage.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class HttpServer;

// One client connection: reads its requests one after another within the server's limits,
// hands each to a worker thread and writes the answers back in order. While it waits for
// a client it holds no thread, only its socket and timer.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(HttpServer& server, const HttpRoutes& routes, ConnectionCaps& caps, boost::asio::ip::tcp::socket socket,
                std::string peer, bool capPerAddress);
    ~HttpSession();
    void start();
    // Closes the connection unless a request is under way (the server is stopping).
    void stopIfIdle();

private:
    using Parser = boost::beast::http::request_parser<boost::beast::http::string_body>;

    void awaitRequest();
    void readHeader();
    void onHeader(boost::beast::error_code error);
    void readBody();
    void onBody(boost::beast::error_code error);
    // A refusal of the HTTP layer: the connection closes after it.
    void refuse(int status, const std::string& code, const std::string& reason);
    // The request as read so far, for handlers and the log.
    void describe(bool withBody);
    void dispatch();
    void write(bool keepAlive);
    void linger();
    void drain();
    void close();

    HttpServer& server_;
    const HttpRoutes& routes_;
    ConnectionCaps& caps_;
    boost::beast::tcp_stream stream_;
    boost::beast::flat_buffer buffer_;
    std::optional<Parser> parser_;
    std::string peer_;
    bool capPerAddress_;
    bool idle_ = false;
    HttpRequest request_;
    HttpResponse response_;
    std::shared_ptr<boost::beast::http::response<boost::beast::http::string_body>> out_;
    std::vector<char> scratch_;
    std::size_t drained_ = 0;
};
