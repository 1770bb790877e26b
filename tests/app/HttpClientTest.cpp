// The game's HTTP client against the real board (TestBoard) and against servers that
// misbehave on purpose (CannedServer). The same file runs under Wine with the Windows
// backend, against a board started outside.

#include "CannedServer.h"
#include "HttpCalls.h"
#include "TestBoard.h"
#include "support/TestFiles.h"

#ifdef TAMQ_TEST_OWN_BOARD
#include "PgCluster.h"

#include <httplib.h>
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

TEST(HttpClient, TheBoardsCallsAndRefusalsComeBackWhole) {
    const std::string& board = TestBoard::url();
    if (board.empty()) {
        GTEST_SKIP() << "no board: set TAMQ_TEST_BOARD";
    }
    const struct {
        HttpRequest request;
        int status;
        const char* inBody;
    } cases[] = {
        {request("GET", board + "/v1/health"), 200, "\"contentHash\""},
        {request("POST", board + "/v1/runs/start", R"({"mode": "random", "difficulty": "easy"})"), 200, "\"token\""},
        {request("POST", board + "/v1/runs/start", "mode=normal"), 400, "\"malformed\""},
        {request("GET", board + "/v1/boards/normal/hard?limit=100"), 200, "\"entries\""},
        {request("GET", board + "/v1/boards/fast/hard"), 404, "\"not_found\""},
        {request("GET", board + "/v1/runs/999999/record"), 404, "no run 999999"},
        {request("GET", board + "/v1/nothing"), 404, "no such call"},
    };
    PlatformHttpClient http;
    std::map<int, std::size_t> caseOf;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const int id = http.send(cases[i].request);
        EXPECT_NE(id, 0);
        EXPECT_EQ(caseOf.count(id), 0u) << "two requests numbered " << id;
        caseOf[id] = i;
    }
    EXPECT_EQ(http.pending(), static_cast<int>(std::size(cases)));
    for (const auto& [id, answer] : answersOf(http, static_cast<int>(std::size(cases)))) {
        const auto& c = cases[caseOf.at(id)];
        SCOPED_TRACE(c.request.method + " " + c.request.url);
        EXPECT_EQ(answer.status, c.status) << answer.error << answer.body;
        EXPECT_NE(answer.body.find(c.inBody), std::string::npos) << answer.body;
        EXPECT_TRUE(answer.error.empty());
    }
    EXPECT_EQ(http.pending(), 0);
    HttpAnswer none;
    EXPECT_FALSE(http.poll(none));
}

TEST(HttpClient, AnswersWithoutAServerOrInTimeSayWhy) {
    CannedServer silent;
    const std::string oversized(5u << 20, 'x');
    CannedServer busy({CannedServer::answer(503, R"({"error":"busy"})", "Retry-After: 7\r\n")});
    CannedServer huge({CannedServer::answer(200, oversized)});
    CannedServer binary({CannedServer::answer(200, std::string("TAMQRUN\x1a\0\x01\xff\0", 12))});
    const struct {
        HttpRequest request;
        int status;
        int retryAfter;
        std::size_t bodySize;
        const char* inError;
    } cases[] = {
        // Connected, sent, never answered: the request's own timeout ends it.
        {request("GET", silent.url() + "/v1/health", "", 300), 0, 0, 0, "300 ms"},
        {request("GET", "http://127.0.0.1:" + std::to_string(CannedServer::closedPort()) + "/v1/health"), 0, 0, 0, ""},
        {request("POST", busy.url() + "/v1/runs", "{}"), 503, 7, 16, ""},
        {request("GET", huge.url() + "/v1/runs/1/record"), 0, 0, 0, "larger than"},
        // Bytes with zeros in them come back as they were.
        {request("GET", binary.url() + "/v1/runs/1/record"), 200, 0, 12, ""},
        {request("GET", "ftp://127.0.0.1/"), 0, 0, 0, ""},
    };
    PlatformHttpClient http;
    std::map<int, std::size_t> caseOf;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        caseOf[http.send(cases[i].request)] = i;
    }
    for (const auto& [id, answer] : answersOf(http, static_cast<int>(std::size(cases)))) {
        const auto& c = cases[caseOf.at(id)];
        SCOPED_TRACE(c.request.url);
        EXPECT_EQ(answer.status, c.status) << answer.error;
        EXPECT_EQ(answer.retryAfterSeconds, c.retryAfter);
        EXPECT_EQ(answer.body.size(), c.bodySize);
        if (c.status == 0) {
            EXPECT_FALSE(answer.error.empty());
            EXPECT_NE(answer.error.find(c.inError), std::string::npos) << answer.error;
        }
    }
}

TEST(HttpClient, DestructionWithRequestsInFlightDoesNotWaitForThem) {
    CannedServer silent;
    const auto start = std::chrono::steady_clock::now();
    {
        PlatformHttpClient http;
        for (int i = 0; i < 3; ++i) {
            http.send(request("POST", silent.url() + "/v1/runs", "{}", 60000));
        }
        // The requests are on their way: the server holds their connections.
        while (silent.connected() < 3 && std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_EQ(silent.connected(), 3);
        HttpAnswer answer;
        EXPECT_FALSE(http.poll(answer));
        EXPECT_EQ(http.pending(), 3);
    }
    // Far under the requests' timeout: nothing waited for them.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST(HttpClient, AnUnreadableAuthorityFailsHttpsRequestsNamingTheFile) {
    PlatformHttpClient http;
    http.setCertificateAuthority("/nonexistent/board-ca.pem");
    http.send(request("GET", "https://127.0.0.1:" + std::to_string(CannedServer::closedPort()) + "/v1/health"));
    const auto answers = answersOf(http, 1);
    ASSERT_EQ(answers.size(), 1u);
    const HttpAnswer& answer = answers.begin()->second;
    EXPECT_EQ(answer.status, 0);
    EXPECT_NE(answer.error.find("/nonexistent/board-ca.pem"), std::string::npos) << answer.error;
}

#ifdef TAMQ_TEST_OWN_BOARD
// HTTPS with a private certificate authority: a throwaway one made by openssl for a server
// on 127.0.0.1, refused without --board-ca and trusted with it.
TEST(HttpClient, APrivateAuthorityIsTrustedOnlyWhenGiven) {
    const std::string folder = TestFiles::folder() + "/tls";
    std::filesystem::create_directories(folder);
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    try {
        PgCluster::shell("cd '" + folder + "' && openssl req -x509" + ec +
                         " -keyout ca.key -out ca.pem -days 1 -subj '/CN=TAMQ test authority' 2>&1 && "
                         "openssl req" + ec + " -keyout server.key -out server.csr -subj '/CN=127.0.0.1' 2>&1 && "
                         "printf 'subjectAltName=IP:127.0.0.1\\nbasicConstraints=CA:FALSE\\n' > server.ext && "
                         "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 1 "
                         "-extfile server.ext -out server.pem 2>&1");
    } catch (const std::exception& failure) {
        GTEST_SKIP() << "no openssl to make an authority: " << failure.what();
    }
    httplib::SSLServer server((folder + "/server.pem").c_str(), (folder + "/server.key").c_str());
    ASSERT_TRUE(server.is_valid());
    server.Get("/v1/health", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(R"({"status":"ok"})", "application/json");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&server] { server.listen_after_bind(); });
    // Bound and listening already: a connection waits for the accepting thread.
    const std::string url = "https://127.0.0.1:" + std::to_string(port) + "/v1/health";
    const struct {
        std::string authority;
        int status;
    } cases[] = {{"", 0}, {folder + "/ca.pem", 200}, {folder + "/server.key", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.authority);
        PlatformHttpClient http;
        http.setCertificateAuthority(c.authority);
        http.send(request("GET", url));
        const auto answers = answersOf(http, 1);
        ASSERT_EQ(answers.size(), 1u);
        const HttpAnswer& answer = answers.begin()->second;
        EXPECT_EQ(answer.status, c.status) << answer.error;
        if (c.status == 200) {
            EXPECT_EQ(answer.body, R"({"status":"ok"})");
        } else {
            EXPECT_FALSE(answer.error.empty());
        }
    }
    server.stop();
    serving.join();
}
#endif
