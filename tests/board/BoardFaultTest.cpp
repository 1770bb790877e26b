// The board under load and faults: concurrent submissions, a busy verifier, rate limits,
// slow clients, PostgreSQL restarting under it and the service killed mid-burst.
#include "BoardCalls.h"
#include "BoardProcess.h"
#include "PgSuite.h"
#include "TestRecords.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <pqxx/pqxx>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

class BoardFaults : public PgSuite {
protected:
    void TearDown() override {
        // Each test leaves an empty board to the next.
        pqxx::connection connection(cluster_->conninfo());
        pqxx::work work(connection);
        work.exec("TRUNCATE best_runs, runs, players");
        work.commit();
    }

    // Starts a run with the service and plays it: the submission's JSON body.
    static std::string playedBody(const BoardCalls& calls, int player, int seconds, std::string* token = nullptr) {
        Reply started = calls.startRun("normal", "hard");
        if (started.status != 200) {
            return "";
        }
        uint32_t seed = started.body["seed"].get<uint32_t>();
        std::string signedToken = BoardCalls::token(seed, "normal", "hard", seconds + 1);
        if (token) {
            *token = signedToken;
        }
        return nlohmann::json{{"token", signedToken},
                              {"name", "P" + std::to_string(player) + "X"},
                              {"playerKey", BoardCalls::playerKey(player)},
                              {"record", BoardCalls::base64(TestRecords::play(seed, "normal", "hard", seconds,
                                                                              player))}}
            .dump();
    }

    static bool eventually(const std::function<bool()>& condition, std::chrono::seconds limit = 60s) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (condition()) {
                return true;
            }
            std::this_thread::sleep_for(100ms);
        }
        return condition();
    }
};

}  // namespace

TEST_F(BoardFaults, ConcurrentSubmissionsAreAllStoredWithConsistentRanks) {
    BoardProcess service;
    // Room for all of them in the queue: the refusal of a full queue is tested below.
    service.start(cluster_->conninfo(), {"--verify-queue", "64"});
    BoardCalls calls(service.port());
    constexpr int kPlayers = 24;
    std::vector<std::string> bodies;
    for (int player = 0; player < kPlayers; ++player) {
        bodies.push_back(playedBody(calls, player, 600));
    }
    std::vector<Reply> replies(kPlayers);
    std::vector<std::thread> threads;
    for (int player = 0; player < kPlayers; ++player) {
        threads.emplace_back([&, player] { replies[player] = calls.post("/v1/runs", bodies[player]); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::set<int64_t> runIds;
    for (const Reply& reply : replies) {
        ASSERT_EQ(reply.status, 201) << reply.raw;
        runIds.insert(reply.body["runId"].get<int64_t>());
    }
    Reply board = calls.get("/v1/boards/normal/hard?limit=100");
    const auto& entries = board.body["entries"];
    ASSERT_EQ(entries.size(), std::size_t(kPlayers)) << board.raw;
    std::set<int64_t> shown;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i]["rank"], i + 1);
        shown.insert(entries[i]["runId"].get<int64_t>());
        if (i > 0) {
            EXPECT_GE(entries[i - 1]["score"].get<double>(), entries[i]["score"].get<double>());
        }
    }
    EXPECT_EQ(shown, runIds);
    EXPECT_EQ(scalar("SELECT count(*) FROM runs"), kPlayers);
}

TEST_F(BoardFaults, OneRunResentManyTimesAtOnceIsStoredOnceAndAnsweredToEvery) {
    BoardProcess service;
    service.start(cluster_->conninfo());
    BoardCalls calls(service.port());
    const std::string body = playedBody(calls, 1, 600);
    // The same body eight times at once, as resends of a lost answer: one run stored, and
    // every sender told of that one run.
    std::vector<Reply> replies(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < replies.size(); ++i) {
        threads.emplace_back([&, i] { replies[i] = calls.post("/v1/runs", body); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const Reply& reply : replies) {
        EXPECT_EQ(reply.status, 201) << reply.raw;
        EXPECT_EQ(reply.body.value("runId", 0LL), replies[0].body.value("runId", -1LL)) << reply.raw;
    }
    EXPECT_EQ(scalar("SELECT count(*) FROM runs"), 1);
}

TEST_F(BoardFaults, AFullVerifierQueueAnswers503WithRetryAfter) {
    BoardProcess service;
    service.start(cluster_->conninfo(), {"--verify-threads", "1", "--verify-queue", "1"});
    BoardCalls calls(service.port());
    constexpr int kSubmissions = 16;
    std::vector<std::string> bodies;
    for (int i = 0; i < kSubmissions; ++i) {
        // Half an hour of play keeps the one verifier busy long enough for the queue to fill
        // however slowly a loaded machine lets the submissions in.
        bodies.push_back(playedBody(calls, i, 1800));
    }
    std::vector<Reply> replies(kSubmissions);
    std::vector<std::thread> threads;
    for (int i = 0; i < kSubmissions; ++i) {
        threads.emplace_back([&, i] { replies[i] = calls.post("/v1/runs", bodies[i]); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    int stored = 0;
    int busy = 0;
    for (const Reply& reply : replies) {
        if (reply.status == 201) {
            ++stored;
        } else {
            ASSERT_EQ(reply.status, 503) << reply.raw;
            EXPECT_EQ(reply.body["error"], "busy");
            EXPECT_GE(std::stoi(reply.header("Retry-After")), 1);
            ++busy;
        }
    }
    EXPECT_GE(busy, 1);
    EXPECT_GE(stored, 2);
    EXPECT_EQ(scalar("SELECT count(*) FROM runs"), stored);
}

TEST_F(BoardFaults, EachAddressIsHeldToItsRates) {
    BoardProcess service;
    // Buckets that refill once in 100 s: a busy machine's slow calls never earn a call back.
    service.start(cluster_->conninfo(), {"--write-rate", "0.01:2", "--read-rate", "0.01:3"});
    BoardCalls calls(service.port());
    struct Case {
        const char* what;
        std::function<Reply()> call;
        int allowed;
    };
    const Case cases[] = {
        {"starts", [&] { return calls.startRun("normal", "hard"); }, 2},
        {"reads", [&] { return calls.get("/v1/boards/normal/hard"); }, 3},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < c.allowed; ++i) {
            EXPECT_EQ(c.call().status, 200) << c.what << " " << i;
        }
        Reply refused = c.call();
        EXPECT_EQ(refused.status, 429) << c.what;
        EXPECT_EQ(refused.body["error"], "too_many_requests");
        EXPECT_GE(std::stoi(refused.header("Retry-After")), 1) << c.what;
    }
}

TEST_F(BoardFaults, AStalledClientIsCutOff) {
    BoardProcess service;
    service.start(cluster_->conninfo(), {"--client-timeout", "1"});
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(service.port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const char partial[] = "POST /v1/runs HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\n{";
    ASSERT_GT(write(fd, partial, sizeof partial - 1), 0);
    // The service gives up on the body and closes: the socket reads its end (or a reply).
    auto start = std::chrono::steady_clock::now();
    bool closed = eventually(
        [&] {
            pollfd ready{fd, POLLIN, 0};
            if (poll(&ready, 1, 0) <= 0) {
                return false;
            }
            char buffer[512];
            while (read(fd, buffer, sizeof buffer) > 0) {
            }
            return true;
        },
        30s);
    close(fd);
    EXPECT_TRUE(closed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    EXPECT_EQ(BoardCalls(service.port()).get("/v1/health").status, 200);
}

TEST_F(BoardFaults, ABurstOfConnectionsIsAllServedAndATakenPortIsRefused) {
    BoardProcess service;
    // Players from many addresses, here all from one.
    service.start(cluster_->conninfo(), {"--connections-per-address", "256"});
    // Connected all at once, before any is read: more than a shallow listening queue holds.
    constexpr int kConnections = 200;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(service.port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<int> sockets;
    for (int i = 0; i < kConnections; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << i;
        sockets.push_back(fd);
    }
    const std::string ask = "GET /v1/health HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    for (int fd : sockets) {
        ASSERT_EQ(send(fd, ask.data(), ask.size(), MSG_NOSIGNAL), ssize_t(ask.size()));
    }
    int answered = 0;
    for (int fd : sockets) {
        std::string answer;
        char buffer[512];
        for (pollfd ready{fd, POLLIN, 0}; poll(&ready, 1, 30000) > 0;) {
            const ssize_t count = read(fd, buffer, sizeof buffer);
            if (count <= 0) {
                break;
            }
            answer.append(buffer, static_cast<std::size_t>(count));
        }
        answered += answer.rfind("HTTP/1.1 200", 0) == 0 ? 1 : 0;
        close(fd);
    }
    EXPECT_EQ(answered, kConnections);

    BoardProcess second;
    EXPECT_THROW(second.start(cluster_->conninfo(), {"--listen", "127.0.0.1:" + std::to_string(service.port())}),
                 std::runtime_error);
    EXPECT_EQ(BoardCalls(service.port()).get("/v1/health").status, 200);
}

TEST_F(BoardFaults, PostgresRestartingUnderTheServiceMeans503ThenService) {
    BoardProcess service;
    service.start(cluster_->conninfo());
    BoardCalls calls(service.port());
    ASSERT_EQ(calls.post("/v1/runs", playedBody(calls, 1, 600)).status, 201);
    const std::string waiting = playedBody(calls, 2, 600);

    cluster_->stop("fast");
    struct Case {
        const char* what;
        std::function<Reply()> call;
    };
    const Case cases[] = {
        {"health", [&] { return calls.get("/v1/health"); }},
        {"board", [&] { return calls.get("/v1/boards/normal/hard"); }},
        {"submission", [&] { return calls.post("/v1/runs", waiting); }},
        {"record", [&] { return calls.get("/v1/runs/1/record"); }},
    };
    for (const Case& c : cases) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            Reply reply = c.call();
            EXPECT_EQ(reply.status, 503) << c.what << ": " << reply.raw;
            EXPECT_FALSE(reply.header("Retry-After").empty()) << c.what;
        }
    }
    // Starts and tokens need no database.
    EXPECT_EQ(calls.startRun("normal", "hard").status, 200);

    cluster_->restart();
    EXPECT_TRUE(eventually([&] { return calls.get("/v1/health").status == 200; }));
    Reply stored = calls.post("/v1/runs", waiting);
    EXPECT_EQ(stored.status, 201) << stored.raw;
    EXPECT_EQ(calls.get("/v1/boards/normal/hard").body["entries"].size(), 2u);
}

TEST_F(BoardFaults, KilledMidBurstKeepsEveryAcknowledgedRunWhole) {
    BoardProcess service;
    service.start(cluster_->conninfo());
    BoardCalls calls(service.port());
    constexpr int kThreads = 6;
    std::mutex mutex;
    std::map<int64_t, std::string> acknowledged;  // run id -> record sent
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; !stop; ++i) {
                int player = t * 1000 + i % 5;
                std::string body = playedBody(calls, player, 600);
                if (body.empty()) {
                    return;
                }
                Reply reply = calls.post("/v1/runs", body);
                if (reply.status == 201) {
                    std::lock_guard lock(mutex);
                    acknowledged[reply.body["runId"].get<int64_t>()] =
                        nlohmann::json::parse(body)["record"].get<std::string>();
                } else if (reply.status == -1) {
                    return;
                }
            }
        });
    }
    ASSERT_TRUE(eventually([&] {
        std::lock_guard lock(mutex);
        return acknowledged.size() >= 40;
    }));
    service.kill9();
    stop = true;
    for (std::thread& thread : threads) {
        thread.join();
    }

    BoardProcess restarted;
    restarted.start(cluster_->conninfo());
    BoardCalls after(restarted.port());
    for (const auto& [runId, encoded] : acknowledged) {
        Reply record = after.get("/v1/runs/" + std::to_string(runId) + "/record");
        ASSERT_EQ(record.status, 200) << "run " << runId << " was acknowledged but is gone";
        EXPECT_EQ(BoardCalls::base64(record.raw), encoded) << runId;
    }
    // Nothing half-stored: every best is a stored run of its player and season, and the
    // highest of them; each season a player ran in has one.
    EXPECT_EQ(scalar("SELECT count(*) FROM best_runs b JOIN runs r ON r.id = b.run_id "
                     "WHERE r.player_id <> b.player_id OR r.score <> b.score OR b.season NOT IN ('all', r.week)"),
              0);
    EXPECT_EQ(scalar("SELECT count(*) FROM (SELECT DISTINCT player_id, mode, difficulty, s.season FROM runs "
                     "CROSS JOIN LATERAL (VALUES ('all'), (week)) s(season)) AS played"),
              scalar("SELECT count(*) FROM best_runs"));
    EXPECT_EQ(scalar("SELECT count(*) FROM best_runs b WHERE b.score < (SELECT max(score) FROM runs r "
                     "WHERE r.player_id = b.player_id AND r.mode = b.mode AND r.difficulty = b.difficulty "
                     "AND b.season IN ('all', r.week))"),
              0);
    // The kept rank counts moved with the bests, commit for commit.
    EXPECT_EQ(scalar(std::string("SELECT count(*) FROM (") + PgCluster::kKeptCountsAstray + ") astray"), 0);
    EXPECT_EQ(after.get("/v1/health").status, 200);
}
