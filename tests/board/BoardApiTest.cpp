// Every call of the board and every refusal, against the real program and a PostgreSQL
// cluster of the test's own.
#include "BoardCalls.h"
#include "BoardProcess.h"
#include "PgSuite.h"
#include "TestRecords.h"
#include "board/BoardConfig.h"
#include "board/Migrations.h"
#include "board/TokenSigner.h"

#include <gtest/gtest.h>
#include <pqxx/pqxx>

#include <algorithm>
#include <functional>

namespace {

class BoardApi : public PgSuite {
protected:
    static void SetUpTestSuite() {
        PgSuite::SetUpTestSuite();
        service_ = new BoardProcess();
        service_->start(cluster_->conninfo(), {"--allow-origins", "https://play.example"});
    }
    static void TearDownTestSuite() {
        delete service_;
        PgSuite::TearDownTestSuite();
    }

    static long long count(const std::string& table) { return scalar("SELECT count(*) FROM " + table); }

    // A run played just now under a fresh token of the service.
    struct Played {
        uint32_t seed;
        std::string token;
        std::string record;
    };
    static Played play(const std::string& mode, const std::string& difficulty, int seconds, int variant = 0) {
        BoardCalls calls(service_->port());
        Reply started = calls.startRun(mode, difficulty);
        EXPECT_EQ(started.status, 200) << started.raw;
        uint32_t seed = started.body["seed"].get<uint32_t>();
        EXPECT_EQ(started.body["mode"], mode);
        // The token is re-signed as issued `seconds` ago, as if the game had played that long.
        return {seed, BoardCalls::token(seed, mode, difficulty, seconds + 1),
                TestRecords::play(seed, mode, difficulty, seconds, variant)};
    }

    static BoardProcess* service_;
};

BoardProcess* BoardApi::service_ = nullptr;

}  // namespace

TEST_F(BoardApi, StartHandsOutASignedTokenForTheRun) {
    BoardCalls calls(service_->port());
    Reply first = calls.startRun("random", "easy");
    ASSERT_EQ(first.status, 200) << first.raw;
    EXPECT_EQ(first.body["mode"], "random");
    EXPECT_EQ(first.body["difficulty"], "easy");
    EXPECT_TRUE(first.body["seed"].is_number_unsigned());
    EXPECT_EQ(first.body["expiresAt"].get<int64_t>() - first.body["issuedAt"].get<int64_t>(),
              TokenSigner::kLifetimeMs);
    Reply second = calls.startRun("random", "easy");
    EXPECT_NE(first.body["token"], second.body["token"]);
    EXPECT_NE(first.body["seed"], second.body["seed"]);
}

TEST_F(BoardApi, AVerifiedRunIsStoredRankedAndShownWithItsRecord) {
    BoardCalls calls(service_->port());
    Played run = play("normal", "easy", 600);
    Reply stored = calls.submit(run.token, "ACE", BoardCalls::playerKey(1), run.record);
    ASSERT_EQ(stored.status, 201) << stored.raw;
    EXPECT_EQ(stored.body["rank"], 1);
    EXPECT_EQ(stored.body["personalBest"], true);
    int64_t runId = stored.body["runId"].get<int64_t>();

    Reply board = calls.get("/v1/boards/normal/easy");
    ASSERT_EQ(board.status, 200) << board.raw;
    ASSERT_EQ(board.body["entries"].size(), 1u);
    const auto& entry = board.body["entries"][0];
    EXPECT_EQ(entry["rank"], 1);
    EXPECT_EQ(entry["name"], "ACE");
    EXPECT_EQ(entry["runId"], runId);
    EXPECT_EQ(entry["score"], stored.body["score"]);
    EXPECT_EQ(entry["distance"], stored.body["distance"]);
    EXPECT_EQ(entry["date"].get<std::string>().size(), 20u);
    EXPECT_EQ(calls.get("/v1/boards/normal/hard").body["entries"].size(), 0u);

    Reply record = calls.get("/v1/runs/" + std::to_string(runId) + "/record");
    EXPECT_EQ(record.status, 200);
    EXPECT_EQ(record.header("Content-Type"), "application/octet-stream");
    EXPECT_EQ(record.raw, run.record);
}

TEST_F(BoardApi, APlayersBestReplacesTheirOlderOneOnly) {
    BoardCalls calls(service_->port());
    const std::string key = BoardCalls::playerKey(2);
    // Four runs of different scores, lowest first.
    std::vector<Played> runs;
    for (int variant = 0; runs.size() < 4 && variant < 40; ++variant) {
        Played run = play("random", "hard", 600, variant);
        bool fresh = true;
        for (const Played& other : runs) {
            fresh = fresh && TestRecords::score(other.record) != TestRecords::score(run.record);
        }
        if (fresh) {
            runs.push_back(run);
        }
    }
    ASSERT_EQ(runs.size(), 4u);
    std::sort(runs.begin(), runs.end(), [](const Played& a, const Played& b) {
        return TestRecords::score(a.record) < TestRecords::score(b.record);
    });
    const Played& lower = runs[0];
    const Played& middle = runs[1];
    const Played& other = runs[2];
    const Played& higher = runs[3];
    ASSERT_EQ(calls.submit(middle.token, "MID", key, middle.record).status, 201);
    Reply worse = calls.submit(lower.token, "LOW", key, lower.record);
    ASSERT_EQ(worse.status, 201) << worse.raw;
    EXPECT_EQ(worse.body["personalBest"], false);
    EXPECT_EQ(worse.body["rank"], 2);
    ASSERT_EQ(calls.submit(other.token, "OTHER", BoardCalls::playerKey(3), other.record).status, 201);
    Reply better = calls.submit(higher.token, "HIGH", key, higher.record);
    ASSERT_EQ(better.status, 201) << better.raw;
    EXPECT_EQ(better.body["personalBest"], true);
    EXPECT_EQ(better.body["rank"], 1);
    // Whole points, as the game shows them.
    EXPECT_TRUE(better.body["score"].is_number_integer()) << better.raw;
    EXPECT_EQ(better.body["score"].get<long long>(), static_cast<long long>(TestRecords::score(higher.record)));

    Reply board = calls.get("/v1/boards/random/hard");
    ASSERT_EQ(board.body["entries"].size(), 2u) << board.raw;
    EXPECT_EQ(board.body["entries"][0]["name"], "HIGH");
    EXPECT_EQ(board.body["entries"][1]["name"], "OTHER");
    EXPECT_EQ(board.body["entries"][1]["rank"], 2);
    // Every run is kept with its record, the board shows the best.
    Reply lowRecord = calls.get("/v1/runs/" + std::to_string(worse.body["runId"].get<int64_t>()) + "/record");
    EXPECT_EQ(lowRecord.raw, lower.record);
}

TEST_F(BoardApi, RefusesWithAClearStatusAndStoresNothing) {
    BoardCalls calls(service_->port());
    const std::string key = BoardCalls::playerKey(4);

    Played spent = play("normal", "hard", 600);
    Reply spentReply = calls.submit(spent.token, "SPENT", key, spent.record);
    ASSERT_EQ(spentReply.status, 201);
    const long long spentRunId = spentReply.body.value("runId", 0LL);
    const long long runsAfterSpent = count("runs");
    const long long playersAfterSpent = count("players");

    auto body = [](const std::string& token, const std::string& name, const std::string& playerKey,
                   const std::string& record) {
        return nlohmann::json{{"token", token}, {"name", name}, {"playerKey", playerKey}, {"record", record}}.dump();
    };
    auto edited = [](std::string record, std::size_t at) {
        record[at] ^= 0x10;
        return record;
    };
    Played fresh = play("normal", "hard", 600);
    Played other = play("normal", "hard", 600);
    const std::string encoded = BoardCalls::base64(fresh.record);
    struct Case {
        const char* what;
        std::function<Reply()> call;
        int status;
        const char* error;
        const char* reasonPart;
    };
    const Case cases[] = {
        {"not JSON", [&] { return calls.post("/v1/runs", "{\"token\": "); }, 400, "malformed", ""},
        {"JSON but a list", [&] { return calls.post("/v1/runs", "[1, 2]"); }, 400, "malformed", ""},
        {"a field missing",
         [&] { return calls.post("/v1/runs", nlohmann::json{{"token", fresh.token}, {"name", "ABC"}}.dump()); },
         400, "malformed", ""},
        {"a field of another type",
         [&] { return calls.post("/v1/runs", nlohmann::json{{"token", 5}, {"name", "ABC"}, {"playerKey", key},
                                                            {"record", encoded}}.dump()); },
         400, "malformed", ""},
        {"SQL in the name",
         [&] { return calls.post("/v1/runs", body(fresh.token, "'; DROP TABLE runs; --", key, encoded)); }, 400,
         "bad_name", ""},
        {"non-ASCII name", [&] { return calls.post("/v1/runs", body(fresh.token, "J\xc3\x89R\xc3\x94ME", key, encoded)); },
         400, "bad_name", ""},
        {"name not UTF-8", [&] { return calls.post("/v1/runs", body(fresh.token, "AB", key, encoded).replace(10, 1, "\xff")); },
         400, "malformed", ""},
        {"short name", [&] { return calls.post("/v1/runs", body(fresh.token, "AB", key, encoded)); }, 400,
         "bad_name", ""},
        {"short key", [&] { return calls.post("/v1/runs", body(fresh.token, "ABC", "short", encoded)); }, 400,
         "bad_player_key", ""},
        {"record not base64", [&] { return calls.post("/v1/runs", body(fresh.token, "ABC", key, "!!!!")); }, 400,
         "malformed", "base64"},
        {"record over the limit",
         [&] { return calls.submit(fresh.token, "ABC", key, std::string(BoardConfig::kMaxRecordBytes + 1, 'r')); },
         413, "too_large", ""},
        {"body over the limit",
         [&] { return calls.post("/v1/runs", std::string(BoardConfig::kMaxBodyBytes + 1, ' ')); }, 413,
         "too_large", ""},
        {"token not ours", [&] { return calls.submit("1.abc.1.normal.hard.1.00", "ABC", key, fresh.record); }, 401,
         "token_invalid", ""},
        {"token of another secret",
         [&] {
             std::string token = fresh.token;
             token.back() = token.back() == '0' ? '1' : '0';
             return calls.submit(token, "ABC", key, fresh.record);
         },
         401, "token_invalid", ""},
        {"token expired",
         [&] {
             return calls.submit(BoardCalls::token(1, "normal", "hard", TokenSigner::kLifetimeMs / 1000 + 5), "ABC",
                                 key, fresh.record);
         },
         403, "token_expired", ""},
        {"token used by another player",
         [&] { return calls.submit(spent.token, "ABC", BoardCalls::playerKey(99), spent.record); }, 409, "token_used",
         ""},
        {"token used for another record",
         [&] { return calls.submit(spent.token, "SPENT", key, edited(spent.record, spent.record.size() / 2)); }, 409,
         "token_used", ""},
        {"another run's seed", [&] { return calls.submit(fresh.token, "ABC", key, other.record); }, 422,
         "not_verified", "seed"},
        {"another mode",
         [&] {
             return calls.submit(fresh.token, "ABC", key, TestRecords::play(fresh.seed, "random", "hard", 600));
         },
         422, "not_verified", ""},
        {"another content",
         [&] { return calls.submit(fresh.token, "ABC", key, TestRecords::onOtherContent(fresh.record)); }, 422,
         "not_verified", "content differs"},
        {"not a record", [&] { return calls.submit(fresh.token, "ABC", key, "hello"); }, 422, "not_verified",
         "malformed"},
        {"more play than time since the token",
         [&] {
             uint32_t seed = 77;
             return calls.submit(BoardCalls::token(seed, "normal", "hard", 60), "ABC", key,
                                 TestRecords::claiming(seed, "normal", "hard", 2 * 60 * 60 - 1));
         },
         422, "not_verified", "since its token"},
        {"one byte of the record changed",
         [&] { return calls.submit(fresh.token, "ABC", key, edited(fresh.record, fresh.record.size() / 2)); }, 422,
         "not_verified", ""},
        {"unknown call", [&] { return calls.get("/v1/nothing"); }, 404, "not_found", ""},
        {"unknown board", [&] { return calls.get("/v1/boards/fast/hard"); }, 404, "not_found", ""},
        {"unknown run", [&] { return calls.get("/v1/runs/999999999/record"); }, 404, "not_found", ""},
        {"unknown player", [&] { return calls.get("/v1/players/0123456789abcdef"); }, 404, "not_found", "no player"},
        {"a player id that is none", [&] { return calls.get("/v1/players/0123456789ABCDEF"); }, 404, "not_found",
         "no such call"},
        {"negative offset", [&] { return calls.get("/v1/boards/normal/hard?offset=-1"); }, 400, "malformed", ""},
        {"huge offset", [&] { return calls.get("/v1/boards/normal/hard?offset=99999999999999999999"); }, 400,
         "malformed", ""},
        {"offset past the deepest page", [&] { return calls.get("/v1/boards/normal/hard?offset=10001"); }, 400,
         "malformed", ""},
        {"zero limit", [&] { return calls.get("/v1/boards/normal/hard?limit=0"); }, 400, "malformed", ""},
        {"huge limit", [&] { return calls.get("/v1/boards/normal/hard?limit=1000000"); }, 400, "malformed", ""},
        {"limit not a number", [&] { return calls.get("/v1/boards/normal/hard?limit=1;DROP"); }, 400, "malformed",
         ""},
        {"start of an unknown mode", [&] { return calls.startRun("fast", "hard"); }, 400, "malformed", ""},
        {"start without JSON", [&] { return calls.post("/v1/runs/start", "mode=normal"); }, 400, "malformed", ""},
    };
    for (const Case& c : cases) {
        Reply reply = c.call();
        EXPECT_EQ(reply.status, c.status) << c.what << ": " << reply.raw;
        EXPECT_EQ(reply.header("Content-Type"), "application/json") << c.what;
        EXPECT_EQ(reply.body.value("error", ""), c.error) << c.what << ": " << reply.raw;
        EXPECT_NE(reply.body.value("reason", "").find(c.reasonPart), std::string::npos)
            << c.what << ": " << reply.raw;
    }
    EXPECT_EQ(count("runs"), runsAfterSpent);
    EXPECT_EQ(count("players"), playersAfterSpent);
    // The fresh token was never spent by the refusals: its own record still counts once.
    EXPECT_EQ(calls.submit(fresh.token, "ABC", key, fresh.record).status, 201);
    // A resend of a stored run (its answer lost on the way) is answered as the first was.
    Reply first = calls.submit(spent.token, "SPENT", key, spent.record);
    EXPECT_EQ(first.status, 201) << first.raw;
    EXPECT_EQ(first.body.value("runId", 0LL), spentRunId);
    EXPECT_EQ(count("runs"), runsAfterSpent + 1);
}

TEST_F(BoardApi, PagesThroughABoardInRankOrder) {
    BoardCalls calls(service_->port());
    for (int i = 0; i < 7; ++i) {
        Played run = play("random", "easy", 600, i);
        ASSERT_EQ(calls.submit(run.token, "P" + std::to_string(i) + "X", BoardCalls::playerKey(100 + i), run.record)
                      .status,
                  201);
    }
    Reply whole = calls.get("/v1/boards/random/easy?limit=100");
    ASSERT_EQ(whole.status, 200);
    const auto& all = whole.body["entries"];
    ASSERT_GE(all.size(), 7u);
    for (std::size_t i = 1; i < all.size(); ++i) {
        EXPECT_GE(all[i - 1]["score"].get<double>(), all[i]["score"].get<double>());
        EXPECT_EQ(all[i]["rank"], i + 1);
    }
    Reply page = calls.get("/v1/boards/random/easy?limit=3&offset=2");
    ASSERT_EQ(page.body["entries"].size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(page.body["entries"][i], all[i + 2]);
    }
    EXPECT_EQ(calls.get("/v1/boards/random/easy?offset=10000").body["entries"].size(), 0u);
}

TEST_F(BoardApi, HealthNamesItsDatabasesAndQueue) {
    BoardCalls calls(service_->port());
    Reply health = calls.get("/v1/health");
    ASSERT_EQ(health.status, 200) << health.raw;
    EXPECT_EQ(health.body["status"], "ok");
    EXPECT_EQ(health.body["database"], "up");
    EXPECT_EQ(health.body["readDatabase"], "none");
    EXPECT_GT(health.body["verifyQueue"]["capacity"].get<int>(), 0);
}

// The page follows these instead of repeating them, so they must be the ones reads keep.
TEST_F(BoardApi, RulesAreTheOnesReadsKeep) {
    BoardCalls calls(service_->port());
    nlohmann::json rules = calls.get("/v1/rules").body;
    const int page = rules["pageSize"].get<int>();
    const long long deepest = rules["maxOffset"].get<long long>();
    const std::string board = "/v1/boards/normal/hard?limit=";
    EXPECT_EQ(calls.get(board + std::to_string(page) + "&offset=" + std::to_string(deepest)).status, 200);
    EXPECT_EQ(calls.get(board + std::to_string(page + 1)).status, 400);
    EXPECT_EQ(calls.get(board + "1&offset=" + std::to_string(deepest + 1)).status, 400);
    const std::string longest(rules["runIdDigits"].get<std::size_t>(), '9');
    EXPECT_EQ(calls.get("/v1/runs/" + longest).status, 404);
    EXPECT_EQ(calls.get("/v1/runs/1" + longest).body["reason"], "no such call: GET /v1/runs/1" + longest);
    ASSERT_EQ(rules["weeks"].size(), 13u);
    EXPECT_EQ(rules["weeks"][0], calls.get(board + "1&season=current").body["season"]);
    EXPECT_EQ(calls.get(board + "1&season=" + rules["weeks"][12].get<std::string>()).status, 200);
    ASSERT_EQ(rules["days"].size(), 15u);
    EXPECT_EQ(rules["days"][0], calls.get(board + "1&season=day").body["season"]);
    EXPECT_EQ(calls.get(board + "1&season=" + rules["days"][14].get<std::string>()).status, 200);
}

TEST_F(BoardApi, BrowsersOfAllowedOriginsOnly) {
    BoardCalls calls(service_->port());
    Reply allowed = calls.get("/v1/health", {{"Origin", "https://play.example"}});
    EXPECT_EQ(allowed.header("Access-Control-Allow-Origin"), "https://play.example");
    // Without it a page cannot read when to ask again after a 429 or 503.
    EXPECT_EQ(allowed.header("Access-Control-Expose-Headers"), "Retry-After");
    Reply refusedToo = calls.get("/v1/nothing", {{"Origin", "https://play.example"}});
    EXPECT_EQ(refusedToo.header("Access-Control-Allow-Origin"), "https://play.example");
    Reply other = calls.get("/v1/health", {{"Origin", "https://evil.example"}});
    EXPECT_EQ(other.header("Access-Control-Allow-Origin"), "");
    EXPECT_EQ(other.header("Access-Control-Expose-Headers"), "");

    httplib::Client client("127.0.0.1", service_->port());
    auto preflight = client.Options("/v1/runs", {{"Origin", "https://play.example"},
                                                 {"Access-Control-Request-Method", "POST"}});
    ASSERT_TRUE(preflight);
    EXPECT_EQ(preflight->status, 204);
    EXPECT_EQ(preflight->get_header_value("Access-Control-Allow-Origin"), "https://play.example");
    EXPECT_NE(preflight->get_header_value("Access-Control-Allow-Headers").find("Content-Type"), std::string::npos);
}

TEST_F(BoardApi, HostileRequestsAreRefusedAndTheServiceCarriesOn) {
    BoardCalls calls(service_->port());
    // A header far past any real one.
    Reply huge = calls.get("/v1/health", {{"X-Filler", std::string(64 * 1024, 'h')}});
    EXPECT_GE(huge.status, 400);
    EXPECT_LT(huge.status, 500);
    // Thousands of headers.
    httplib::Headers many;
    for (int i = 0; i < 5000; ++i) {
        many.emplace("X-H" + std::to_string(i), "v");
    }
    Reply crowd = calls.get("/v1/health", many);
    EXPECT_EQ(crowd.status, 431);
    EXPECT_EQ(crowd.body.value("error", ""), "too_many_headers");
    // A path of megabytes.
    Reply longPath = calls.get("/v1/boards/normal/hard?" + std::string(1 << 20, 'a'));
    EXPECT_TRUE(longPath.status == -1 || (longPath.status >= 400 && longPath.status < 500)) << longPath.status;
    EXPECT_EQ(calls.get("/v1/health").status, 200);
}

TEST_F(BoardApi, MigrationsRunOnceAndRefuseANewerSchema) {
    const long long migrations = static_cast<long long>(Migrations::files().size());
    EXPECT_EQ(count("schema_version"), migrations);
    BoardProcess second;
    second.start(cluster_->conninfo());
    second.stop();
    EXPECT_EQ(count("schema_version"), migrations);
    pqxx::connection connection(cluster_->conninfo());
    pqxx::nontransaction(connection).exec("INSERT INTO schema_version (version, name) VALUES (999, '999_future.sql')");
    BoardProcess newer;
    EXPECT_THROW(newer.start(cluster_->conninfo()), std::runtime_error);
    pqxx::nontransaction(connection).exec("DELETE FROM schema_version WHERE version = 999");
}
