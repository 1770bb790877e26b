// The board link's sending rules on the scripted transport: backoff, submissions and a
// board run's fetch, each against the answers a board can give, on the test's clock.
// Its reading rules: BoardLinkReadsTest.cpp.

#include "LinkRig.h"
#include "io/Base64.h"
#include "io/FileReader.h"
#include "sim/SimContent.h"

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
        {{ScriptedHttp::reply(201, R"({"rank":null,"day":"2026-12-08","dayRank":3})")}, "DAY RANK 3", 1, ""},
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

// A board run is watched one way: its summary, then its record, handed over only when its
// re-play ends on the board's score; the best run is the first row's. Whatever else comes
// back is said in one line.
TEST(BoardLinkRecords, ABoardRunIsWatchedOnlyWhenItsReplayEndsOnTheBoardsScore) {
    const std::string folder = std::string(TAMQ_TEST_DATA_DIR) + "/golden/";
    std::string text, bytes, fault;
    ASSERT_TRUE(FileReader::read(folder + "expected.json", text, fault)) << fault;
    ASSERT_TRUE(FileReader::read(folder + "normal-hard-still.rec", bytes, fault)) << fault;
    const int score = nlohmann::json::parse(text)["normal-hard-still"]["score"].get<int>();
    const auto summary = [](int points) {
        return ScriptedHttp::reply(200, R"({"runId":1,"name":"P0","rank":1,"score":)" + std::to_string(points) + "}");
    };
    SimContent content;
    content.load();
    std::string damaged = bytes;
    damaged[damaged.size() / 2] ^= 0x40;
    const std::string played = std::to_string(score);
    const struct {
        bool boardRead;
        HttpAnswer summary;
        HttpAnswer record;
        std::string said;   // empty: taken
        std::string fault;  // in the line of the run taken; empty: shown
    } cases[] = {
        {true, summary(score), ScriptedHttp::reply(200, bytes), "", ""},
        {true, summary(score + 1), ScriptedHttp::reply(200, bytes), "",
         "run 1 does not verify (its re-play scores " + played + ", the board says " + std::to_string(score + 1) + ")"},
        {true, summary(score), ScriptedHttp::reply(200, damaged), "", "differs"},
        {true, summary(score), ScriptedHttp::reply(200, "TAMQRUN but not one"), "", "run 1 does not verify (malformed"},
        {true, summary(score), ScriptedHttp::reply(404, R"({"error":"not_found"})"),
         "run 1 cannot be fetched (it answers 404 not_found)", ""},
        {true, ScriptedHttp::reply(0), ScriptedHttp::reply(200, bytes), "run 1 cannot be fetched (connection refused)", ""},
        {false, summary(score), ScriptedHttp::reply(200, bytes), "no board run to watch", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said + c.fault);
        Rig game;
        answerTokensAndBoard(game.http, c.boardRead ? boardBody(3) : boardBody(0));
        game.http.script("/v1/runs/1", {c.summary});
        game.http.script("/v1/runs/1/record", {c.record});
        game.frame();
        game.frame(0);
        const std::string said = saidDuring([&] {
            game.link.fetchBestRun(Mode::Normal, Difficulty::Hard);
            game.frame(0);
            game.frame(0);
        });
        RunRecord record;
        RunSummary taken;
        std::string why;
        EXPECT_EQ(game.link.takeRun(content, record, taken, why), c.said.empty());
        EXPECT_NE(why.find(c.fault), std::string::npos) << why;
        EXPECT_EQ(why.empty(), c.fault.empty()) << why;
        if (c.said.empty()) {
            EXPECT_TRUE(!c.fault.empty() || taken.caption() == "1 P0 " + played) << taken.caption();
            EXPECT_FALSE(game.link.takeRun(content, record, taken, why)) << "taken once";
            const HttpRequest& asked = game.http.sent.back().request;
            EXPECT_EQ(asked.url, kUrl + "/v1/runs/1/record");
            EXPECT_EQ(asked.timeoutMilliseconds, BoardLink::kRecordTimeoutMilliseconds);
        } else {
            EXPECT_EQ(said.find("board: " + c.said), 0u) << said;
            EXPECT_EQ(lines(said), 1) << said;
        }
    }
    // Asked again while the fetch is on, it is dropped: its answers show nothing.
    Rig game;
    answerTokensAndBoard(game.http, boardBody(3));
    game.frame();
    game.frame(0);
    game.link.fetchBestRun(Mode::Normal, Difficulty::Hard);
    game.link.fetchBestRun(Mode::Normal, Difficulty::Hard);
    ASSERT_TRUE(game.http.answerFirst("/v1/runs/1", summary(score)));
    game.frame(0);
    RunRecord record;
    RunSummary taken;
    EXPECT_FALSE(game.link.fetching());
    EXPECT_FALSE(game.link.takeRun(content, record, taken, fault));
}
