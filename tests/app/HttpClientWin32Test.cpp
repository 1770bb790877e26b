// WinHTTP's side of HttpClient against servers of the test's own on 127.0.0.1 (a canned
// answer, a connection closed at once, a socket that never answers, a port nothing listens
// on), and against the board behind nginx's TLS with its throwaway authority when the Windows
// test script gives one (TAMQ_TEST_BOARD_HTTPS, TAMQ_TEST_BOARD_CA, TAMQ_TEST_OTHER_CA).

#include "app/HttpClient.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// One server on a free port of 127.0.0.1, serving every connection the same way.
class LoopbackServer {
public:
    enum class Mode { Answer, CloseAtOnce, Silent };

    explicit LoopbackServer(Mode mode, std::string answer = {}) : mode_(mode), answer_(std::move(answer)) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 8);
        int size = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        // A silent server leaves its connections in the backlog: connected, never answered.
        if (mode_ != Mode::Silent) {
            thread_ = std::thread([this] { serve(); });
        }
    }

    ~LoopbackServer() {
        stopping_ = true;
        closesocket(listener_);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (client_ != INVALID_SOCKET) {
                closesocket(client_);
            }
        }
        if (thread_.joinable()) {
            thread_.join();
        }
        WSACleanup();
    }

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

    std::string lastRequest() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return request_;
    }

private:
    void serve() {
        while (!stopping_) {
            SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET) {
                return;
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                client_ = client;
            }
            if (mode_ == Mode::Answer) {
                const std::string request = readRequest(client);
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    request_ = request;
                }
                for (std::size_t sent = 0; sent < answer_.size();) {
                    const int chunk = static_cast<int>(std::min<std::size_t>(answer_.size() - sent, 65536));
                    const int wrote = ::send(client, answer_.data() + sent, chunk, 0);
                    if (wrote <= 0) {
                        break;
                    }
                    sent += static_cast<std::size_t>(wrote);
                }
                shutdown(client, SD_SEND);
            }
            std::lock_guard<std::mutex> lock(mutex_);
            closesocket(client_);
            client_ = INVALID_SOCKET;
        }
    }

    // The head, and as many bytes of body as it announces.
    static std::string readRequest(SOCKET client) {
        std::string request;
        char buffer[4096];
        std::size_t wanted = std::string::npos;
        while (wanted == std::string::npos || request.size() < wanted) {
            const int got = recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) {
                break;
            }
            request.append(buffer, static_cast<std::size_t>(got));
            const std::size_t headEnd = request.find("\r\n\r\n");
            if (wanted == std::string::npos && headEnd != std::string::npos) {
                std::size_t length = 0;
                const std::size_t field = request.find("Content-Length: ");
                if (field != std::string::npos && field < headEnd) {
                    length = std::stoul(request.substr(field + 16));
                }
                wanted = headEnd + 4 + length;
            }
        }
        return request;
    }

    Mode mode_;
    std::string answer_;
    SOCKET listener_ = INVALID_SOCKET;
    SOCKET client_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::string request_;
};

// Polls the client until an answer comes; a minute is far beyond any timeout used here.
bool awaitAnswer(HttpClient& client, HttpAnswer& answer) {
    const Clock::time_point end = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < end) {
        if (client.poll(answer)) {
            return true;
        }
        Sleep(5);
    }
    return false;
}

HttpAnswer fetch(HttpClient& client, const HttpRequest& request) {
    const int id = client.send(request);
    HttpAnswer answer;
    EXPECT_TRUE(awaitAnswer(client, answer)) << request.url;
    EXPECT_EQ(answer.id, id);
    return answer;
}

HttpRequest get(const std::string& url, int timeoutMilliseconds = 10000) {
    HttpRequest request;
    request.url = url;
    request.timeoutMilliseconds = timeoutMilliseconds;
    return request;
}

std::string head(const std::string& statusLine, const std::string& fields, std::size_t length) {
    return "HTTP/1.1 " + statusLine + "\r\n" + fields + "Content-Length: " + std::to_string(length) +
           "\r\nConnection: close\r\n\r\n";
}

std::string answerOf(const std::string& statusLine, const std::string& fields, const std::string& body) {
    return head(statusLine, fields, body.size()) + body;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

TEST(HttpClientWinHttp, ReadsStatusBodyAndRetryAfterOfEachAnswer) {
    const std::string record("TAMQ\0\x01\xff\r\n", 9);
    struct Case {
        const char* what;
        std::string answer;
        int status;
        std::string body;
        int retryAfterSeconds;
    } cases[] = {
        {"a JSON answer", answerOf("201 Created", "Content-Type: application/json\r\n", "{\"rank\":12}"), 201,
         "{\"rank\":12}", 0},
        {"a record with zero bytes and line ends", answerOf("200 OK", "", record), 200, record, 0},
        {"a refusal keeps its body", answerOf("404 Not Found", "", "{\"error\":\"not_found\"}"), 404,
         "{\"error\":\"not_found\"}", 0},
        {"Retry-After in seconds", answerOf("429 Too Many Requests", "Retry-After: 7\r\n", "{}"), 429, "{}", 7},
        {"Retry-After as a date long past", answerOf("503 Service Unavailable",
                                                     "Retry-After: Wed, 21 Oct 2015 07:28:00 GMT\r\n", "{}"),
         503, "{}", 0},
        {"Retry-After as a date far ahead is cut at a day",
         answerOf("503 Service Unavailable", "Retry-After: Fri, 01 Jan 2100 00:00:00 GMT\r\n", "{}"), 503, "{}",
         86400},
        {"Retry-After of absurd seconds is cut at a day",
         answerOf("503 Service Unavailable", "Retry-After: 99999999999\r\n", "{}"), 503, "{}", 86400},
        {"Retry-After that is neither", answerOf("503 Service Unavailable", "Retry-After: soon\r\n", "{}"), 503, "{}",
         0},
        {"a chunked answer",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n5\r\nhello\r\n6\r\n board\r\n0\r\n\r\n",
         200, "hello board", 0},
    };
    for (const Case& c : cases) {
        LoopbackServer server(LoopbackServer::Mode::Answer, c.answer);
        HttpClient client;
        const HttpAnswer answer = fetch(client, get(server.url("/v1/boards/normal/hard?limit=100")));
        EXPECT_EQ(answer.status, c.status) << c.what << ": " << answer.error;
        EXPECT_EQ(answer.body, c.body) << c.what;
        EXPECT_EQ(answer.retryAfterSeconds, c.retryAfterSeconds) << c.what;
        EXPECT_EQ(answer.error, "") << c.what;
        EXPECT_EQ(client.pending(), 0) << c.what;
    }
}

TEST(HttpClientWinHttp, SendsMethodPathQueryAndJsonBody) {
    const std::string body = "{\"token\":\"1.ab\",\"name\":\"ACE\",\"record\":\"" + std::string(70000, 'Q') + "\"}";
    struct Case {
        const char* method;
        std::string path;
        std::string body;
        bool json;
    } cases[] = {
        {"GET", "/v1/boards/random/easy?limit=100&offset=0", "", false},
        {"POST", "/v1/runs/start", "{\"mode\":\"normal\",\"difficulty\":\"hard\"}", true},
        {"POST", "/v1/runs", body, true},
    };
    for (const Case& c : cases) {
        LoopbackServer server(LoopbackServer::Mode::Answer, answerOf("200 OK", "", "{}"));
        HttpClient client;
        HttpRequest request = get(server.url(c.path));
        request.method = c.method;
        request.body = c.body;
        const HttpAnswer answer = fetch(client, request);
        EXPECT_EQ(answer.status, 200) << c.path << ": " << answer.error;
        const std::string seen = server.lastRequest();
        EXPECT_EQ(seen.rfind(std::string(c.method) + " " + c.path + " HTTP/1.1\r\n", 0), 0u) << seen.substr(0, 80);
        EXPECT_EQ(seen.find("Content-Type: application/json\r\n") != std::string::npos, c.json) << c.path;
        const std::size_t headEnd = seen.find("\r\n\r\n");
        ASSERT_NE(headEnd, std::string::npos) << c.path;
        EXPECT_TRUE(seen.substr(headEnd + 4) == c.body) << c.path << ": " << seen.size() - headEnd - 4 << " bytes";
    }
}

TEST(HttpClientWinHttp, SaysWhyNoAnswerCame) {
    LoopbackServer closing(LoopbackServer::Mode::CloseAtOnce);
    LoopbackServer silent(LoopbackServer::Mode::Silent);
    LoopbackServer huge(LoopbackServer::Mode::Answer,
                        head("200 OK", "", 9u << 20) + std::string(9u << 20, 'x'));
    // A port that was just free and is still: bound, then closed.
    std::string refused;
    {
        LoopbackServer gone(LoopbackServer::Mode::Silent);
        refused = gone.url("/v1/health");
    }
    struct Case {
        std::string url;
        int timeoutMilliseconds;
        const char* errorHas;
    } cases[] = {
        {refused, 10000, ""},
        {closing.url("/v1/health"), 10000, ""},
        {silent.url("/v1/health"), 300, "no answer"},
        {huge.url("/v1/runs/1/record"), 10000, "larger than 8 MiB"},
        {"ftp://127.0.0.1/v1/health", 10000, "not an http or https URL"},
        {"board at home", 10000, "not a URL"},
        {"", 10000, "not a URL"},
    };
    for (const Case& c : cases) {
        HttpClient client;
        const HttpAnswer answer = fetch(client, get(c.url, c.timeoutMilliseconds));
        EXPECT_EQ(answer.status, 0) << c.url;
        EXPECT_NE(answer.error, "") << c.url;
        EXPECT_NE(answer.error.find(c.errorHas), std::string::npos) << c.url << ": " << answer.error;
        EXPECT_EQ(answer.error.find('\n'), std::string::npos) << c.url << ": " << answer.error;
        EXPECT_EQ(answer.body, "") << c.url;
    }
}

TEST(HttpClientWinHttp, ASilentServerHoldsUpNeitherOtherRequestsNorTheClientsEnd) {
    LoopbackServer silent(LoopbackServer::Mode::Silent);
    auto client = std::make_unique<HttpClient>();
    const int stuck = client->send(get(silent.url("/v1/runs"), 60000));
    for (int round = 0; round < 3; ++round) {
        LoopbackServer answering(LoopbackServer::Mode::Answer, answerOf("200 OK", "", "{}"));
        const HttpAnswer answer = fetch(*client, get(answering.url("/v1/health")));
        EXPECT_EQ(answer.status, 200) << answer.error;
        EXPECT_NE(answer.id, stuck);
        EXPECT_EQ(client->pending(), 1);
    }
    // Gone long before the stuck request's own minute: the client never waits on the network.
    const Clock::time_point before = Clock::now();
    client.reset();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - before).count();
    std::printf("the client went in %lld ms with a request in flight\n", static_cast<long long>(took));
    EXPECT_LT(took, 30000);
}

TEST(HttpClientWinHttp, ARequestPastItsTimeIsAnsweredOnce) {
    auto silent = std::make_unique<LoopbackServer>(LoopbackServer::Mode::Silent);
    HttpClient client;
    const HttpAnswer late = fetch(client, get(silent->url("/v1/runs/start"), 300));
    EXPECT_EQ(late.status, 0);
    EXPECT_EQ(client.pending(), 0);
    // Its connection now breaks; what the worker makes of that must not come as a second answer.
    silent.reset();
    LoopbackServer answering(LoopbackServer::Mode::Answer, answerOf("200 OK", "", "{}"));
    const HttpAnswer next = fetch(client, get(answering.url("/v1/health")));
    EXPECT_EQ(next.status, 200) << next.error;
    HttpAnswer extra;
    EXPECT_FALSE(client.poll(extra)) << "request " << extra.id << " answered again";
    EXPECT_EQ(client.pending(), 0);
}

// The board behind nginx: its certificate is signed by a throwaway authority that the
// system does not trust, only the client told of it. The board is named localhost: Wine's
// WinHTTP does not match a certificate's IP address to the host, as Windows does.
TEST(HttpClientWinHttp, TrustsTheGivenAuthorityBesidesTheSystems) {
    const std::string board = environment("TAMQ_TEST_BOARD_HTTPS");
    const std::string authority = environment("TAMQ_TEST_BOARD_CA");
    const std::string other = environment("TAMQ_TEST_OTHER_CA");
    if (board.empty() || authority.empty() || other.empty()) {
        GTEST_SKIP() << "no board behind TLS given (TAMQ_TEST_BOARD_HTTPS, TAMQ_TEST_BOARD_CA, TAMQ_TEST_OTHER_CA)";
    }
    struct Case {
        const char* what;
        std::string authority;
        std::string url;
        std::string method;
        std::string body;
        int status;
        const char* bodyHas;
    } cases[] = {
        {"the board's health with its authority", authority, board + "/v1/health", "GET", "", 200, "\"status\""},
        {"a token with its authority", authority, board + "/v1/runs/start", "POST",
         "{\"mode\":\"normal\",\"difficulty\":\"hard\"}", 200, "\"token\""},
        {"no authority given", "", board + "/v1/health", "GET", "", 0, ""},
        {"another authority", other, board + "/v1/runs/start", "POST", "{\"mode\":\"normal\",\"difficulty\":\"hard\"}",
         0, ""},
        {"an authority file that does not exist", authority + ".missing", board + "/v1/health", "GET", "", 0, ""},
    };
    for (const Case& c : cases) {
        HttpClient client;
        client.setCertificateAuthority(c.authority);
        HttpRequest request = get(c.url);
        request.method = c.method;
        request.body = c.body;
        const HttpAnswer answer = fetch(client, request);
        EXPECT_EQ(answer.status, c.status) << c.what << ": " << answer.error;
        EXPECT_NE(answer.body.find(c.bodyHas), std::string::npos) << c.what << ": " << answer.body;
        if (c.status == 0) {
            EXPECT_NE(answer.error.find("TLS"), std::string::npos) << c.what << ": " << answer.error;
        }
    }
}
