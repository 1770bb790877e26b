// Board reads from a streaming replica made with pg_basebackup on loopback, and from the
// primary when the replica is down.
#include "BoardCalls.h"
#include "BoardProcess.h"
#include "PgCluster.h"
#include "TestRecords.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

TEST(BoardReplica, ReadsGoToTheReplicaAndFallBackToThePrimary) {
    PgCluster primary;
    primary.start();
    BoardProcess migrate;
    // The schema first, so the copy starts with it.
    migrate.start(primary.conninfo());
    migrate.stop();
    PgCluster replica;
    replica.startReplicaOf(primary);

    BoardProcess service;
    service.start(primary.conninfo(), {"--read-database", replica.conninfo()});
    BoardCalls calls(service.port());
    Reply health = calls.get("/v1/health");
    EXPECT_EQ(health.body["readDatabase"], "up") << health.raw;
    Reply empty = calls.get("/v1/boards/random/hard");
    ASSERT_EQ(empty.status, 200) << empty.raw;
    EXPECT_EQ(empty.body["source"], "replica");

    Reply started = calls.startRun("random", "hard");
    uint32_t seed = started.body["seed"].get<uint32_t>();
    std::string record = TestRecords::play(seed, "random", "hard", 600);
    Reply stored = calls.submit(BoardCalls::token(seed, "random", "hard", 601), "REP", BoardCalls::playerKey(7), record);
    ASSERT_EQ(stored.status, 201) << stored.raw;

    // Once replicated, the run shows in reads the replica answers.
    Reply board;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    do {
        board = calls.get("/v1/boards/random/hard");
        if (board.body["entries"].size() == 1) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (std::chrono::steady_clock::now() < end);
    ASSERT_EQ(board.body["entries"].size(), 1u) << board.raw;
    EXPECT_EQ(board.body["source"], "replica");
    EXPECT_EQ(board.body["entries"][0]["runId"], stored.body["runId"]);

    replica.stop();
    Reply fallback = calls.get("/v1/boards/random/hard");
    ASSERT_EQ(fallback.status, 200) << fallback.raw;
    EXPECT_EQ(fallback.body["source"], "primary");
    EXPECT_EQ(fallback.body["entries"], board.body["entries"]);
    Reply recordReply = calls.get("/v1/runs/" + std::to_string(stored.body["runId"].get<int64_t>()) + "/record");
    EXPECT_EQ(recordReply.raw, record);
    Reply degraded = calls.get("/v1/health");
    EXPECT_EQ(degraded.status, 200);
    EXPECT_EQ(degraded.body["readDatabase"], "down");
}
