// What WinHTTP's side of HttpClient does beyond the shared HttpClient tests: the headers it
// reads and the requests it writes (against CannedServer on loopback), a slow request
// beside others, a request answered once past its time; and the board behind nginx's TLS
// with its throwaway authority when the Windows test script gives one
// (TAMQ_TEST_BOARD_HTTPS, TAMQ_TEST_BOARD_CA, TAMQ_TEST_OTHER_CA).

#include "CannedServer.h"
#include "HttpCalls.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

TEST(HttpClientWinHttp, ReadsRetryAfterChunksAndWhyAConnectionGaveNothing) {
    const auto busy = [](const std::string& retryAfter) {
        return CannedServer::answer(503, "{}", "Retry-After: " + retryAfter + "\r\n");
    };
    struct Case {
        const char* what;
        std::string answer;
        int status;
        std::string body;
        int retryAfterSeconds;
    } cases[] = {
        {"Retry-After as a date long past", busy("Wed, 21 Oct 2015 07:28:00 GMT"), 503, "{}", 0},
        {"Retry-After as a date far ahead is cut at a day", busy("Fri, 01 Jan 2100 00:00:00 GMT"), 503, "{}", 86400},
        {"Retry-After of absurd seconds is cut at a day", busy("99999999999"), 503, "{}", 86400},
        {"Retry-After that is neither", busy("soon"), 503, "{}", 0},
        {"a chunked answer",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n5\r\nhello\r\n6\r\n board\r\n0\r\n\r\n",
         200, "hello board", 0},
        {"a connection closed without a word", "", 0, "", 0},
    };
    for (const Case& c : cases) {
        CannedServer server({c.answer});
        PlatformHttpClient client;
        const HttpAnswer answer = fetch(client, request("GET", server.url() + "/v1/boards/normal/hard?limit=100"));
        EXPECT_EQ(answer.status, c.status) << c.what << ": " << answer.error;
        EXPECT_EQ(answer.body, c.body) << c.what;
        EXPECT_EQ(answer.retryAfterSeconds, c.retryAfterSeconds) << c.what;
        EXPECT_EQ(answer.error.empty(), c.status != 0) << c.what << ": " << answer.error;
        EXPECT_EQ(answer.error.find('\n'), std::string::npos) << c.what << ": " << answer.error;
    }
}

TEST(HttpClientWinHttp, SendsMethodPathQueryAndJsonBodyWhole) {
    const std::string record = "{\"token\":\"1.ab\",\"name\":\"ACE\",\"record\":\"" + std::string(70000, 'Q') + "\"}";
    struct Case {
        const char* method;
        std::string path;
        std::string body;
        bool json;
    } cases[] = {
        {"GET", "/v1/boards/random/easy?limit=100&offset=0", "", false},
        {"POST", "/v1/runs/start", "{\"mode\":\"normal\",\"difficulty\":\"hard\"}", true},
        {"POST", "/v1/runs", record, true},
    };
    for (const Case& c : cases) {
        CannedServer server({CannedServer::answer(200, "{}")});
        PlatformHttpClient client;
        const HttpAnswer answer = fetch(client, request(c.method, server.url() + c.path, c.body));
        EXPECT_EQ(answer.status, 200) << c.path << ": " << answer.error;
        const std::string seen = server.lastRequest();
        EXPECT_EQ(seen.rfind(std::string(c.method) + " " + c.path + " HTTP/1.1\r\n", 0), 0u) << seen.substr(0, 80);
        EXPECT_EQ(seen.find("Content-Type: application/json\r\n") != std::string::npos, c.json) << c.path;
        const std::size_t headEnd = seen.find("\r\n\r\n");
        ASSERT_NE(headEnd, std::string::npos) << c.path;
        EXPECT_TRUE(seen.substr(headEnd + 4) == c.body) << c.path << ": " << seen.size() - headEnd - 4 << " bytes";
    }
}

TEST(HttpClientWinHttp, ASilentServerHoldsUpNoOtherRequest) {
    CannedServer silent;
    PlatformHttpClient client;
    const int stuck = client.send(request("POST", silent.url() + "/v1/runs", "{}", 60000));
    for (int round = 0; round < 3; ++round) {
        CannedServer answering({CannedServer::answer(200, "{}")});
        const HttpAnswer answer = fetch(client, request("GET", answering.url() + "/v1/health"));
        EXPECT_EQ(answer.status, 200) << answer.error;
        EXPECT_NE(answer.id, stuck);
        EXPECT_EQ(client.pending(), 1);
    }
}

TEST(HttpClientWinHttp, ARequestPastItsTimeIsAnsweredOnce) {
    auto silent = std::make_unique<CannedServer>();
    PlatformHttpClient client;
    const HttpAnswer late = fetch(client, request("POST", silent->url() + "/v1/runs/start", "{}", 300));
    EXPECT_EQ(late.status, 0);
    EXPECT_EQ(client.pending(), 0);
    // Its connection now breaks; what the worker makes of that must not come as a second answer.
    silent.reset();
    CannedServer answering({CannedServer::answer(200, "{}")});
    const HttpAnswer next = fetch(client, request("GET", answering.url() + "/v1/health"));
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
    const std::string start = "{\"mode\":\"normal\",\"difficulty\":\"hard\"}";
    struct Case {
        const char* what;
        std::string authority;
        HttpRequest sent;
        int status;
        const char* bodyHas;
        std::string errorHas;
    } cases[] = {
        {"the board's health", authority, request("GET", board + "/v1/health"), 200, "\"status\"", ""},
        {"a token", authority, request("POST", board + "/v1/runs/start", start), 200, "\"token\"", ""},
        {"no authority given", "", request("GET", board + "/v1/health"), 0, "", "TLS"},
        {"another authority", other, request("POST", board + "/v1/runs/start", start), 0, "", "TLS"},
        {"an authority file that is not there", authority + ".gone", request("GET", board + "/v1/health"), 0, "",
         authority + ".gone"},
    };
    for (const Case& c : cases) {
        PlatformHttpClient client;
        client.setCertificateAuthority(c.authority);
        const HttpAnswer answer = fetch(client, c.sent);
        EXPECT_EQ(answer.status, c.status) << c.what << ": " << answer.error;
        EXPECT_NE(answer.body.find(c.bodyHas), std::string::npos) << c.what << ": " << answer.body;
        EXPECT_NE(answer.error.find(c.errorHas), std::string::npos) << c.what << ": " << answer.error;
    }
}
