// Losing a part of the arrangement mid-burst: two instances behind the edge's nginx
// (deploy/nginx/tamq-board.conf through scripts/lib/edge.sh), one of them killed; or the
// primary database killed and its synchronous standby promoted. Every run a player was told
// was stored (201) is there byte for byte afterwards, and players only ever saw answers
// that tell them to try again.
#include "BoardCalls.h"
#include "BoardProcess.h"
#include "PgCluster.h"
#include "TestRecords.h"
#include "board/BoardConfig.h"
#include "board/ConnectionPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <regex>
#include <thread>

using namespace std::chrono_literals;

TEST(ConnectionPool, ServerFaultsAreToldFromStatementFaults) {
    struct Row {
        const char* sqlstate;
        bool serverFault;
    };
    const Row rows[] = {
        {"08006", true},   // connection failure
        {"08001", true},   // could not connect
        {"57P01", true},   // administrator shutdown
        {"57P02", true},   // crash shutdown
        {"25006", true},   // read-only transaction: a standby, or a demoted primary
        {"23505", false},  // unique violation: the statement's own fault
        {"25001", false},  // another state of class 25
        {"42P01", false},  // undefined table
        {"", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ConnectionPool::serverFault(row.sqlstate), row.serverFault) << row.sqlstate;
    }
}

namespace {

// nginx of the edge on two free ports of its own folder (HTTPS with the folder's throwaway
// authority, and plain HTTP), stopped with the test.
class Edge {
public:
    Edge(const std::vector<int>& upstreams) {
        char pattern[] = "/tmp/tamq-board-edge-XXXXXX";
        folder_ = mkdtemp(pattern);
        httpsPort_ = PgCluster::freePort();
        plainPort_ = PgCluster::freePort();
        std::string servers;
        for (int port : upstreams) {
            servers += " 127.0.0.1:" + std::to_string(port);
        }
        // The burst comes from one address: the edge's limits per address stand aside.
        edge("TAMQ_EDGE_READ_RATE=100000r/s TAMQ_EDGE_WRITE_RATE=100000r/s TAMQ_EDGE_CONNECTIONS=1000 "
             "tamq_edge_start " + folder_ + " " + std::to_string(httpsPort_) + " " +
             std::to_string(plainPort_) + servers);
    }
    ~Edge() {
        try {
            edge("tamq_edge_stop " + folder_);
        } catch (const std::exception&) {
        }
        PgCluster::shell("rm -rf " + folder_);
    }
    // The game's calls over HTTPS, as players make them.
    BoardCalls calls() const { return BoardCalls(httpsPort_, folder_ + "/ca.pem"); }
    BoardCalls plainCalls() const { return BoardCalls(plainPort_); }
    int httpsPort() const { return httpsPort_; }

private:
    static void edge(const std::string& command) {
        PgCluster::shell("bash -c 'source " TAMQ_SOURCE_DIR "/scripts/lib/edge.sh && " + command + "'");
    }
    std::string folder_;
    int httpsPort_ = 0;
    int plainPort_ = 0;
};

// One conninfo naming both clusters, as scripts/board-stack.sh gives its instances.
std::string bothServers(const PgCluster& primary, const PgCluster& standby) {
    return PgCluster::shell("bash -c 'source " TAMQ_SOURCE_DIR "/scripts/lib/postgres.sh && tamq_pg_conninfo_any " +
                            primary.folder() + " " + standby.folder() + " board'");
}

struct Played {
    uint32_t seed;
    std::string record;
};

// What a burst of players saw: each submission's stored run, and every answer's status.
// A POST that nginx passed on to the next instance after the first stored it and died is
// answered with the stored run, as any resend of the same record is.
struct Burst {
    std::vector<std::pair<int64_t, std::string>> stored;    // runId, record
    std::map<int, int> statuses;
    std::chrono::steady_clock::time_point faultAt{};
    std::chrono::steady_clock::time_point firstStoredAfterFault{};
};

// submissions players, four at a time, each trying again on a retryable answer with a
// fresh token and a fresh run, as the game does after "try again"; fault(lost) runs once a
// third of them are stored, and calls lost() at the moment the part is gone. A player waits
// longer after each refusal, as the game does, so that a slow promotion (under the
// sanitizers, on a busy machine) does not use up the spare runs. Bounded: 40 tries a
// player, and a minute in all.
Burst burst(const BoardCalls& calls, int submissions, const std::function<void(const std::function<void()>&)>& fault) {
    const int spares = submissions * 6;
    std::vector<Played> runs;
    for (int i = 0; i < spares; ++i) {
        uint32_t seed = 7000u + static_cast<uint32_t>(i);
        runs.push_back({seed, TestRecords::play(seed, "normal", "hard", 600, i)});
    }
    Burst seen;
    std::mutex mutex;
    std::atomic<int> nextRun{0}, nextPlayer{0}, storedCount{0};
    std::atomic<bool> faulted{false};
    std::chrono::steady_clock::time_point faultAt;
    auto lost = [&] {
        faultAt = std::chrono::steady_clock::now();
        faulted = true;
    };
    auto deadline = std::chrono::steady_clock::now() + 60s;
    std::vector<std::thread> players;
    for (int t = 0; t < 4; ++t) {
        players.emplace_back([&] {
            for (int player = nextPlayer++; player < submissions; player = nextPlayer++) {
                auto wait = 100ms;
                for (int attempt = 0; attempt < 40 && std::chrono::steady_clock::now() < deadline; ++attempt) {
                    int index = nextRun++;
                    if (index >= spares) {
                        return;
                    }
                    const Played& run = runs[static_cast<std::size_t>(index)];
                    const bool sentAfterFault = faulted;
                    // A token id of the service's shape (32 hex digits).
                    char tokenId[33];
                    std::snprintf(tokenId, sizeof tokenId, "%032d", index);
                    Reply reply = calls.submit(BoardCalls::token(run.seed, "normal", "hard", 601, tokenId), "FOV",
                                               BoardCalls::playerKey(player), run.record);
                    bool runFault = false;
                    {
                        std::lock_guard lock(mutex);
                        ++seen.statuses[reply.status];
                        if (reply.status == 201) {
                            seen.stored.emplace_back(reply.body["runId"].get<int64_t>(), run.record);
                            if (sentAfterFault && seen.firstStoredAfterFault == std::chrono::steady_clock::time_point{}) {
                                seen.firstStoredAfterFault = std::chrono::steady_clock::now();
                            }
                            runFault = ++storedCount == submissions / 3;
                        }
                    }
                    if (runFault) {
                        fault(lost);
                    }
                    if (reply.status != 502 && reply.status != 503 && reply.status != 504) {
                        break;
                    }
                    // The game waits as Retry-After says; the test less, to stay quick.
                    std::this_thread::sleep_for(wait);
                    wait = std::min(wait * 2, std::chrono::milliseconds(800));
                }
            }
        });
    }
    for (std::thread& player : players) {
        player.join();
    }
    seen.faultAt = faultAt;
    return seen;
}

// Every 201 is stored byte for byte; every other answer said "try again".
void expectEveryStoredRunKept(const BoardCalls& calls, const Burst& seen, int submissions) {
    EXPECT_EQ(static_cast<int>(seen.stored.size()), submissions);
    for (const auto& [status, count] : seen.statuses) {
        EXPECT_TRUE(status == 201 || status == 502 || status == 503 || status == 504)
            << count << " answers of status " << status;
    }
    for (const auto& [runId, record] : seen.stored) {
        // A reader too may meet an instance whose first use of a lost connection fails.
        Reply fetched;
        for (int attempt = 0; attempt < 50; ++attempt) {
            fetched = calls.get("/v1/runs/" + std::to_string(runId) + "/record");
            if (fetched.status != 502 && fetched.status != 503 && fetched.status != 504) {
                break;
            }
            std::this_thread::sleep_for(100ms);
        }
        EXPECT_EQ(fetched.status, 200) << "run " << runId;
        EXPECT_TRUE(fetched.raw == record) << "run " << runId << " differs from what was submitted";
    }
}

}  // namespace

// What the edge answers itself and what it lets through to an instance.
TEST(Edge, RefusesAtTheEdgeWhatTheServiceWouldRefuse) {
    std::ifstream site(TAMQ_SOURCE_DIR "/deploy/nginx/tamq-board.conf");
    std::string text((std::istreambuf_iterator<char>(site)), std::istreambuf_iterator<char>());
    std::smatch size;
    ASSERT_TRUE(std::regex_search(text, size, std::regex("client_max_body_size (\\d+);")));
    EXPECT_EQ(std::stoul(size[1]), BoardConfig::kMaxBodyBytes) << "nginx's body limit is not the service's";

    PgCluster database;
    database.start();
    BoardProcess service;
    // Its request log tells what reached it.
    service.keepOutput();
    service.start(database.conninfo());
    Edge edge({service.port()});
    const BoardCalls calls = edge.calls();
    const BoardCalls plain = edge.plainCalls();
    // answeredBy: "edge" (nginx's own page, or its refusal of plain HTTP) or "service".
    struct Row {
        const char* what;
        std::function<Reply()> call;
        int status;
        const char* answeredBy;
    };
    const std::string longest(BoardConfig::kMaxBodyBytes, ' ');
    const std::string https = "https://127.0.0.1:" + std::to_string(edge.httpsPort());
    const Row rows[] = {
        {"health", [&] { return calls.get("/v1/health"); }, 200, "service"},
        {"metrics", [&] { return calls.get("/metrics"); }, 404, "edge"},
        {"metrics by a detour", [&] { return calls.get("/v1/../metrics"); }, 404, "edge"},
        {"metrics encoded", [&] { return calls.get("/%6detrics"); }, 404, "edge"},
        {"the largest body", [&] { return calls.post("/v1/runs", longest); }, 400, "service"},
        {"a byte more", [&] { return calls.post("/v1/runs", longest + " "); }, 413, "edge"},
        {"a header of 9 KiB", [&] { return calls.get("/v1/health", {{"X-Long", std::string(9000, 'a')}}); }, 400, "edge"},
        {"a plain GET", [&] { return plain.get("/v1/boards/normal/hard?limit=3"); }, 301, "edge"},
        {"a plain POST, the key in clear", [&] { return plain.post("/v1/runs/start", R"({"mode":"normal","difficulty":"hard"})"); },
         403, "edge"},
    };
    for (const Row& row : rows) {
        Reply reply = row.call();
        EXPECT_EQ(reply.status, row.status) << row.what << ": " << reply.raw;
        const bool edgeAnswered = reply.body.is_null() || reply.body.value("error", "") == "https_required";
        EXPECT_EQ(edgeAnswered ? "edge" : "service", std::string(row.answeredBy)) << row.what << ": " << reply.raw;
        EXPECT_EQ(reply.header("Strict-Transport-Security").empty(), row.status == 301 || row.status == 403) << row.what;
    }
    EXPECT_EQ(plain.get("/v1/boards/normal/hard?limit=3").header("Location"), https + "/v1/boards/normal/hard?limit=3");
    // The plain POST never reached the instance: its log has every other call, up to a last one.
    calls.get("/v1/last-call");
    std::string log;
    for (int i = 0; i < 50 && log.find("/v1/last-call") == std::string::npos; ++i) {
        log += service.output(100ms);
    }
    EXPECT_NE(log.find("/v1/runs\""), std::string::npos) << log;
    EXPECT_EQ(log.find("/v1/runs/start"), std::string::npos) << log;
}

TEST(BoardFailover, AnInstanceKilledMidBurst) {
    PgCluster database;
    database.start();
    BoardProcess first, second;
    first.start(database.conninfo());
    second.start(database.conninfo());
    Edge edge({first.port(), second.port()});

    Burst seen = burst(edge.calls(), 18, [&](const std::function<void()>& lost) {
        first.kill9();
        lost();
    });
    expectEveryStoredRunKept(edge.calls(), seen, 18);
}

TEST(BoardFailover, ThePrimaryDatabaseLostAndItsStandbyPromoted) {
    PgCluster primary;
    primary.start();
    BoardProcess migrate;
    // The schema first, so the standby's copy starts with it.
    migrate.start(primary.conninfo());
    migrate.stop();
    PgCluster standby;
    standby.startReplicaOf(primary, true);
    const std::string both = bothServers(primary, standby);
    BoardProcess first, second;
    first.start(both);
    second.start(both);
    Edge edge({first.port(), second.port()});

    Burst seen = burst(edge.calls(), 18, [&](const std::function<void()>& lost) {
        primary.kill9();
        lost();
        standby.promote();
    });
    expectEveryStoredRunKept(edge.calls(), seen, 18);
    std::printf("answers:");
    for (const auto& [status, count] : seen.statuses) {
        std::printf(" %d x %d", count, status);
    }
    if (seen.firstStoredAfterFault != std::chrono::steady_clock::time_point{}) {
        std::printf("; failover: %.2f s from the primary's loss to the first run stored after it",
                    std::chrono::duration<double>(seen.firstStoredAfterFault - seen.faultAt).count());
    }
    std::printf("\n");
}

// A connection that stays open to a server that stopped taking writes: the submission is
// answered 503 with Retry-After, and once writes are taken again the next one is stored
// (the read-only connection was dropped, not given back).
TEST(BoardFailover, AConnectionToAReadOnlyServerIsDropped) {
    PgCluster database;
    database.start();
    BoardProcess service;
    service.start(database.conninfo());
    BoardCalls calls(service.port());
    auto readOnly = [&](const char* value) {
        PgCluster::shell("psql '" + database.conninfo() + "' -qtAX -c \"ALTER SYSTEM SET default_transaction_read_only = " +
                         value + "\" -c 'SELECT pg_reload_conf()'");
    };
    struct Row {
        const char* readOnly;
        uint32_t seed;
        int status;
    };
    const Row rows[] = {{"off", 8101, 201}, {"on", 8102, 503}, {"off", 8103, 201}};
    for (const Row& row : rows) {
        readOnly(row.readOnly);
        Reply reply;
        // The setting reaches open sessions at their next statement after the reload.
        for (int attempt = 0; attempt < 50; ++attempt) {
            reply = calls.submit(BoardCalls::token(row.seed, "normal", "hard", 601), "ROW", BoardCalls::playerKey(1),
                                 TestRecords::play(row.seed, "normal", "hard", 600));
            if (reply.status == row.status) {
                break;
            }
            std::this_thread::sleep_for(100ms);
        }
        EXPECT_EQ(reply.status, row.status) << "read-only " << row.readOnly << ": " << reply.raw;
        if (row.status == 503) {
            EXPECT_FALSE(reply.header("Retry-After").empty());
        }
    }
}
