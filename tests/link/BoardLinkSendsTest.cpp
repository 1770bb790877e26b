// The board link's sending rules on the scripted transport: backoff, submissions and the
// best run's fetch, each against the answers a board can give, on the test's clock.
// Its reading rules: BoardLinkReadsTest.cpp.

#include "LinkRig.h"
#include "io/Base64.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>

using namespace link_rig;

namespace {

int lines(const std::string& said) { return static_cast<int>(std::count(said.begin(), said.end(), '\n')); }

const HttpRequest& lastSubmission(const ScriptedHttp& http) {
    for (auto sent = http.sent.rbegin(); sent != http.sent.rend(); ++sent) {
        if (ScriptedHttp::pathOf(sent->request.url) == "/v1/runs") {
            return sent->request;
        }
    }
    static const HttpRequest none;
    ADD_FAILURE() << "no submission sent";
    return none;
}

// A busy board's answer, with its Retry-After.
HttpAnswer busy(int retryAfterSeconds = 0) {
    return ScriptedHttp::reply(503, R"({"error":"busy","reason":"try again"})", retryAfterSeconds);
}

}  // namespace

// Offline is said once, the board asked again after 30 s, then twice as long each time up
// to 5 min, one request at a time; back, it is said once more. Down again, a run's
// submission is tried a few times and then given up, said.
TEST(BoardLinkBackoff, AnUnreachableBoardIsSaidOnceAskedLessOftenAndWelcomedBack) {
    Rig game;
    game.http.script("/v1/runs/start", {ScriptedHttp::reply(0)});
    game.http.script("/v1/boards", {ScriptedHttp::reply(0)});
    std::string said = saidDuring([&] {
        game.frame();
        game.frame(0);
        EXPECT_TRUE(game.link.offline());
        EXPECT_TRUE(game.link.top(Mode::Normal, Difficulty::Hard).empty());
        for (std::uint32_t wait : {30000u, 60000u, 120000u, 240000u, 300000u, 300000u}) {
            SCOPED_TRACE(wait);
            const std::size_t asked = game.http.sent.size();
            game.frame(wait - 100);
            EXPECT_EQ(game.http.sent.size(), asked);
            game.frame(100);
            EXPECT_EQ(game.http.sent.size(), asked + 1);
            game.frame(0);
            EXPECT_TRUE(game.link.offline());
        }
    });
    EXPECT_EQ(said, "board: " + kUrl + " cannot be reached (connection refused); playing offline\n");

    answerTokensAndBoard(game.http);
    said = saidDuring([&] {
        game.frame(300000);
        ASSERT_TRUE(game.until([&] { return !game.link.offline() && game.holdsToken() && game.http.pending() == 0; }));
    });
    EXPECT_EQ(said, "board: " + kUrl + " answers again\n");

    game.http.script("/v1/boards", {ScriptedHttp::reply(0)});
    game.http.script("/v1/runs", {ScriptedHttp::reply(0)});
    said = saidDuring([&] {
        game.frame(BoardLink::kBoardKeptMilliseconds + 1);
        game.frame(0);
        ASSERT_TRUE(game.link.offline());
        game.link.submit("a token", RunRecord{}, "ACE", game.now);
        game.frame(0);
        EXPECT_EQ(game.link.status(), "RETRYING");
        ASSERT_TRUE(game.until([&] { return game.link.status() == "OFFLINE"; }, 1000));
    });
    EXPECT_EQ(said.find("board: " + kUrl + " cannot be reached"), 0u) << said;
    EXPECT_NE(said.find("board: the run could not be sent (connection refused); it stays local"), std::string::npos)
        << said;
    EXPECT_EQ(lines(said), 2) << said;
    EXPECT_EQ(game.http.count("/v1/runs", true), 1 + BoardLink::kSubmitRetries);
}

// A board that asks for calm (429) is no unreachable board: nothing is said, and it is
// asked again once its Retry-After (at least a second) has passed.
TEST(BoardLinkBackoff, ABoardAskingForCalmIsLeftAloneForItsRetryAfter) {
    const struct {
        int retryAfterSeconds;
        std::uint32_t quiet;
    } cases[] = {{3, 3000}, {0, 1000}, {120, 120000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.retryAfterSeconds);
        Rig game;
        game.showingTop = false;
        game.http.script("/v1/runs/start", {ScriptedHttp::reply(429, R"({"error":"busy"})", c.retryAfterSeconds),
                                            ScriptedHttp::reply(200, tokenBody(5, "t"))});
        const std::string said = saidDuring([&] {
            game.frame();
            game.frame(0);
            EXPECT_FALSE(game.link.offline());
            game.frame(c.quiet - 1);
            EXPECT_EQ(game.http.count("/v1/runs/start"), 1);
            game.frame(1);
            EXPECT_EQ(game.http.count("/v1/runs/start"), 2);
            game.frame(0);
        });
        EXPECT_EQ(said, "");
        EXPECT_TRUE(game.holdsToken());
    }
}

// A submission's fate on the status line: busy answers are retried after their wait, a
// resend told the run is stored is no expired token, and refusals say why in a word.
TEST(BoardLinkSubmissions, EachAnswerSettlesTheRunAsTheStatusLineSays) {
    const struct {
        std::vector<HttpAnswer> answers;
        const char* status;
        int sends;
        const char* said;
    } cases[] = {
        {{busy(3), ScriptedHttp::reply(201, R"({"rank":12,"personalBest":true,"score":3437.25})")}, "RANK 12", 2, ""},
        // The first sending was stored but its answer lost: the resend hears it is used.
        {{busy(3), ScriptedHttp::reply(409, R"({"error":"token_used"})")}, "SENT", 2, ""},
        {{ScriptedHttp::reply(429, "", 3), ScriptedHttp::reply(201, R"({"rank":1})")}, "RANK 1", 2, ""},
        {{ScriptedHttp::reply(409, R"({"error":"token_used"})")}, "EXPIRED", 1, "was refused (409 token_used)"},
        {{ScriptedHttp::reply(401, R"({"error":"bad_token"})")}, "EXPIRED", 1, "was refused (401 bad_token)"},
        {{ScriptedHttp::reply(403, "")}, "EXPIRED", 1, "was refused (403)"},
        {{ScriptedHttp::reply(422, R"({"error":"not_verified","reason":"hash"})")}, "NOT VERIFIED", 1,
         "was refused (422 not_verified: hash)"},
        {{ScriptedHttp::reply(413, R"({"error":"too_large"})")}, "REFUSED", 1, "was refused (413 too_large)"},
        {{ScriptedHttp::reply(201, R"({"ranked":1})")}, "REFUSED", 1, "was refused (201)"},
        {{busy(3)}, "OFFLINE", 1 + BoardLink::kSubmitRetries, "could not be sent (503 busy: try again)"},
        {{ScriptedHttp::reply(0)}, "OFFLINE", 1 + BoardLink::kSubmitRetries, "could not be sent (connection refused)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        Rig game;
        game.showingTop = false;
        answerTokensAndBoard(game.http);
        game.http.script("/v1/runs", c.answers);
        RunRecord record;
        record.score = 3437.5f;
        const std::string said = saidDuring([&] {
            game.link.submit("token", record, "ACE", game.now);
            EXPECT_EQ(game.link.status(), "SENDING");
            ASSERT_EQ(game.http.count("/v1/runs", true), 1) << "sent at once";
            game.frame(0);
            if (c.sends > 1) {
                EXPECT_EQ(game.link.status(), "RETRYING");
                // Not before the board's Retry-After.
                game.frame(2900);
                EXPECT_EQ(game.http.count("/v1/runs", true), 1);
            }
            ASSERT_TRUE(game.until([&] { return game.link.status() == c.status; }, 500, 500));
        });
        EXPECT_EQ(game.http.count("/v1/runs", true), c.sends);
        if (c.said[0] == 0) {
            EXPECT_EQ(said, "");
        } else {
            EXPECT_EQ(said.find("board: the run " + std::string(c.said)), 0u) << said;
            EXPECT_EQ(lines(said), 1) << said;
        }
        const HttpRequest& sent = lastSubmission(game.http);
        EXPECT_EQ(sent.method, "POST");
        EXPECT_EQ(sent.timeoutMilliseconds, BoardLink::kSubmitTimeoutMilliseconds);
        const nlohmann::json body = nlohmann::json::parse(sent.body);
        EXPECT_EQ(body["token"], "token");
        EXPECT_EQ(body["name"], "ACE");
        EXPECT_EQ(body["playerKey"], game.player.playerKey());
        EXPECT_EQ(body["record"], Base64::encode(record.toBytes()));
        EXPECT_EQ(game.player.boardScore(Mode::Normal, Difficulty::Hard), c.status[0] == 'R' && c.status[1] == 'A' ? 3437 : -1);
    }
}

// One submission at a time: a run ended while another is on its way is sent after it;
// each accepted run's number is given once, and its board read again with it.
TEST(BoardLinkSubmissions, ARunEndedWhileAnotherIsOnItsWayIsSentAfterIt) {
    Rig game;
    answerTokensAndBoard(game.http);
    game.http.script("/v1/runs", {busy(1), ScriptedHttp::reply(201, R"({"rank":3,"runId":30})"),
                                  ScriptedHttp::reply(201, R"({"rank":4,"runId":40})")});
    game.frame();
    game.frame(0);
    const int reads = game.http.count("/v1/boards");
    RunRecord first, second;
    first.score = 100.0f;
    second.score = 200.0f;
    second.mode = 1;
    game.link.submit("first", first, "ACE", game.now);
    game.link.submit("second", second, "ACE", game.now);
    EXPECT_EQ(game.http.count("/v1/runs", true), 1);
    ASSERT_TRUE(game.until([&] { return game.link.status() == "RANK 3"; }, 250, 100));
    long long runId = 0;
    Mode mode{};
    Difficulty difficulty{};
    ASSERT_TRUE(game.link.takeAcceptedRun(runId, mode, difficulty));
    EXPECT_EQ(runId, 30);
    EXPECT_EQ(mode, Mode::Normal);
    EXPECT_FALSE(game.link.takeAcceptedRun(runId, mode, difficulty)) << "given once";
    EXPECT_EQ(game.http.count("/v1/boards"), reads + 1) << "read again with the run on it";
    ASSERT_TRUE(game.until([&] { return game.link.status() == "RANK 4"; }, 250, 100));
    EXPECT_EQ(game.http.count("/v1/runs", true), 3);
    EXPECT_EQ(nlohmann::json::parse(lastSubmission(game.http).body)["token"], "second");
    EXPECT_EQ(game.player.boardScore(Mode::Normal, Difficulty::Hard), 100);
    EXPECT_EQ(game.player.boardScore(Mode::Random, Difficulty::Hard), 200);
    ASSERT_TRUE(game.link.takeAcceptedRun(runId, mode, difficulty));
    EXPECT_EQ(runId, 40);
    EXPECT_EQ(mode, Mode::Random);
}

// The board's best run is fetched by the number of its first row and shown under its
// place, name and score; whatever else comes back is said in one line.
TEST(BoardLinkRecords, TheBestRunIsFetchedWithItsPlaceAsCaption) {
    RunRecord best;
    best.tickRate = 60;
    best.seed = 12;
    best.score = 464.0f;
    RunRecord check;
    std::string fault;
    ASSERT_TRUE(RunRecord::fromBytes(best.toBytes(), check, fault)) << fault;
    const struct {
        bool boardRead;
        HttpAnswer answer;
        const char* said;  // empty: fetched
    } cases[] = {
        {true, ScriptedHttp::reply(200, best.toBytes()), ""},
        {true, ScriptedHttp::reply(404, R"({"error":"not_found"})"), "the board's best run cannot be fetched (404 not_found)"},
        {true, ScriptedHttp::reply(0), "the board's best run cannot be fetched (connection refused)"},
        {true, ScriptedHttp::reply(200, "TAMQRUN but not one"), "the board's best run cannot be read ("},
        {false, ScriptedHttp::reply(200, best.toBytes()), "no board run to watch"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        Rig game;
        answerTokensAndBoard(game.http, c.boardRead ? boardBody(3) : boardBody(0));
        game.http.script("/v1/runs/1/record", {c.answer});
        game.frame();
        game.frame(0);
        const std::string said = saidDuring([&] {
            game.link.fetchBestRun(Mode::Normal, Difficulty::Hard);
            game.frame(0);
        });
        RunRecord fetched;
        std::string caption;
        EXPECT_EQ(game.link.takeBestRun(fetched, caption), c.said[0] == 0);
        if (c.said[0] == 0) {
            EXPECT_EQ(caption, "1 P0 10000");
            EXPECT_EQ(fetched, best);
            EXPECT_FALSE(game.link.takeBestRun(fetched, caption)) << "taken once";
            const HttpRequest& asked = game.http.sent.back().request;
            EXPECT_EQ(asked.method, "GET");
            EXPECT_EQ(asked.url, kUrl + "/v1/runs/1/record");
            EXPECT_EQ(asked.timeoutMilliseconds, BoardLink::kRecordTimeoutMilliseconds);
        } else {
            EXPECT_EQ(said.find("board: " + std::string(c.said)), 0u) << said;
            EXPECT_EQ(lines(said), 1) << said;
        }
    }
    // Asked again while the fetch is on, it is dropped: its answer shows nothing.
    Rig game;
    answerTokensAndBoard(game.http, boardBody(3));
    game.frame();
    game.frame(0);
    game.link.fetchBestRun(Mode::Normal, Difficulty::Hard);
    game.link.fetchBestRun(Mode::Normal, Difficulty::Hard);
    ASSERT_TRUE(game.http.answerFirst("/v1/runs/1/record", ScriptedHttp::reply(200, best.toBytes())));
    game.frame(0);
    RunRecord fetched;
    std::string caption;
    EXPECT_FALSE(game.link.takeBestRun(fetched, caption));
}
