// The board link's reading rules on the scripted transport: its tokens and its board reads,
// each against the answers a board can give, on the test's clock. Its sending rules:
// BoardLinkSendsTest.cpp. The same link against a real board: tests/app/BoardLinkTest.cpp.

#include "LinkRig.h"
#include "io/Base64.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>

using namespace link_rig;

// However long the title screen stood, a run starts with a token young enough that the
// longest run a record allows still reaches the board in time (it takes a run until
// 2 h 15 min after its token).
TEST(BoardLinkTokens, ATokenServesUntilItsLifeAndIsRenewedBeforeIt) {
    const std::uint32_t boardTakes = (2 * 60 + 15) * 60 * 1000;
    EXPECT_LE(BoardLink::kTokenLifeMilliseconds + RunRecord::kMaxPlaySeconds * 1000 + 60 * 1000, boardTakes);
    const struct {
        std::uint32_t wait;  // after the token was asked for
        bool held;           // a run started now is ranked
        bool asks;           // and a fresh token is on its way
    } cases[] = {
        {BoardLink::kTokenRenewMilliseconds - 1000, true, false},
        {BoardLink::kTokenRenewMilliseconds + 1000, true, true},
        {BoardLink::kTokenLifeMilliseconds + 1000, false, true},
        {110 * 60 * 1000, false, true},  // a long rest on the title screen
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wait);
        Rig game;
        answerTokensAndBoard(game.http);
        game.showingTop = false;
        game.frame();
        const std::uint32_t askedAt = game.now;
        ASSERT_EQ(game.http.sent.size(), 1u);
        const HttpRequest& start = game.http.sent[0].request;
        EXPECT_EQ(start.method, "POST");
        EXPECT_EQ(start.url, kUrl + "/v1/runs/start");
        EXPECT_EQ(nlohmann::json::parse(start.body), nlohmann::json({{"mode", "normal"}, {"difficulty", "hard"}}));
        EXPECT_EQ(start.timeoutMilliseconds, BoardLink::kReadTimeoutMilliseconds);
        game.frame(0);
        ASSERT_TRUE(game.holdsToken());
        game.frame(c.wait - (game.now - askedAt));
        EXPECT_EQ(game.holdsToken(), c.held);
        EXPECT_EQ(game.http.pending(), c.asks ? 1 : 0);
        if (c.asks) {
            // The fresh token serves as long again, from when it was asked for.
            game.frame(0);
            game.frame(BoardLink::kTokenLifeMilliseconds - 1000);
            EXPECT_TRUE(game.holdsToken());
        }
    }
}

// A token is for the mode and difficulty asked: one the board hands out for another is no
// token (a run seeded by it would be ranked on the wrong board). Whatever else comes back
// is no token either, and the board is taken as unreachable, said once.
TEST(BoardLinkTokens, AnAnswerThatIsNoTokenForTheBoardAskedIsNone) {
    const std::string noToken = "its answer to a start is no token";
    const struct {
        int status;
        std::string body;
        std::string why;  // empty: a token
    } cases[] = {
        {200, tokenBody(5, "t"), ""},
        {200, tokenBody(5, "t", "random", "hard"), noToken},
        {200, tokenBody(5, "t", "normal", "easy"), noToken},
        {200, tokenBody(5, "t", "random", "easy"), noToken},
        {200, R"({"seed":-1,"token":"t","mode":"normal","difficulty":"hard"})", noToken},
        {200, R"({"seed":4294967296,"token":"t","mode":"normal","difficulty":"hard"})", noToken},
        {200, R"({"seed":"5","token":"t","mode":"normal","difficulty":"hard"})", noToken},
        {200, R"({"seed":5,"token":7,"mode":"normal","difficulty":"hard"})", noToken},
        {200, R"({"seed":5,"mode":"normal","difficulty":"hard"})", noToken},
        {200, "<html>", noToken},
        {200, "[]", noToken},
        {404, R"({"error":"not_found","reason":"no such call"})", "it answers 404 not_found: no such call"},
        {400, "bad", "it answers 400"},
        {500, R"({"error":"internal"})", "500 internal"},
        {0, "", "connection refused"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        Rig game;
        game.showingTop = false;
        game.http.script("/v1/runs/start", {ScriptedHttp::reply(c.status, c.body)});
        const std::string said = saidDuring([&] {
            game.frame();
            game.frame(0);
        });
        EXPECT_EQ(game.holdsToken(), c.why.empty());
        EXPECT_EQ(game.link.offline(), !c.why.empty());
        EXPECT_EQ(said, c.why.empty() ? "" : "board: " + kUrl + " cannot be reached (" + c.why + "); playing offline\n");
    }
}

// A token is handed over only to the run it seeds, on its board, and then it is used up;
// each board keeps its own, asked for one at a time.
TEST(BoardLinkTokens, ATokenIsUsedUpByTheRunItSeedsAndEachBoardHoldsItsOwn) {
    Rig game(Mode::Random, Difficulty::Easy);
    game.showingTop = false;
    game.frame();
    ASSERT_TRUE(game.http.answerFirst("/v1/runs/start", ScriptedHttp::reply(200, tokenBody(7, "seven", "random", "easy"))));
    game.frame();
    ASSERT_TRUE(game.holdsToken());
    const struct {
        Mode mode;
        Difficulty difficulty;
        std::uint32_t seed;
        const char* token;
    } takes[] = {
        {Mode::Random, Difficulty::Hard, 7, ""},
        {Mode::Normal, Difficulty::Easy, 7, ""},
        {Mode::Random, Difficulty::Easy, 8, ""},
        {Mode::Random, Difficulty::Easy, 7, "seven"},
        {Mode::Random, Difficulty::Easy, 7, ""},  // used up
    };
    for (const auto& take : takes) {
        EXPECT_EQ(game.link.takeToken(take.mode, take.difficulty, take.seed, game.now), take.token);
    }
    EXPECT_FALSE(game.holdsToken());
    game.frame();
    EXPECT_EQ(game.http.count("/v1/runs/start"), 2) << "the next one is asked at once";
    ASSERT_TRUE(game.http.answerFirst("/v1/runs/start", ScriptedHttp::reply(200, tokenBody(9, "nine", "random", "easy"))));
    game.frame();
    // Another board shown: its own token, the first one kept.
    game.mode = Mode::Normal;
    game.difficulty = Difficulty::Hard;
    game.frame();
    game.frame();
    EXPECT_EQ(game.http.count("/v1/runs/start"), 3) << "one request at a time";
    ASSERT_TRUE(game.http.answerFirst("/v1/runs/start", ScriptedHttp::reply(200, tokenBody(11, "eleven"))));
    game.frame();
    std::uint32_t seed = 0;
    ASSERT_TRUE(game.link.seedFor(Mode::Normal, Difficulty::Hard, game.now, seed));
    EXPECT_EQ(seed, 11u);
    ASSERT_TRUE(game.link.seedFor(Mode::Random, Difficulty::Easy, game.now, seed));
    EXPECT_EQ(seed, 9u);
    EXPECT_EQ(game.http.count("/v1/runs/start"), 3);
}

// The day's road has tokens of its own: asked with "daily", held apart from the board's,
// and taken only with the day named; the day stays known once the token is used up.
TEST(BoardLinkTokens, TheDaysRoadHasItsOwnTokensWhichNameTheDay) {
    const std::string day = R"(,"day":"2026-12-08","dayEndsAt":1765238400000})";
    const struct {
        std::string body;
        bool held;
    } cases[] = {
        {tokenBody(21, "d").substr(0, tokenBody(21, "d").size() - 1) + day, true},
        {tokenBody(21, "d"), false},  // a board without the day's road
        {tokenBody(21, "d").substr(0, tokenBody(21, "d").size() - 1) + R"(,"day":"2026-12-08","dayEndsAt":"x"})", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        Rig game;
        game.showingTop = false;
        game.http.script("/v1/runs/start", {ScriptedHttp::reply(200, tokenBody(5, "t")), ScriptedHttp::reply(200, c.body)});
        game.frame();
        game.frame();
        game.link.setDaily(true);
        saidDuring([&] {
            game.frame();
            game.frame();
        });
        ASSERT_EQ(game.http.sent.size(), 2u);
        EXPECT_EQ(game.http.sent[0].request.body.find("daily"), std::string::npos);
        EXPECT_NE(game.http.sent[1].request.body.find(R"("daily":true)"), std::string::npos);
        std::uint32_t seed = 0;
        EXPECT_EQ(game.link.seedFor(Mode::Normal, Difficulty::Hard, game.now, seed), c.held);
        if (!c.held) {
            continue;
        }
        EXPECT_EQ(seed, 21u);
        EXPECT_EQ(game.link.takeToken(Mode::Normal, Difficulty::Hard, 5, game.now), "") << "the board's own seed";
        EXPECT_TRUE(game.link.qualifies(Mode::Normal, Difficulty::Hard, 0)) << "every daily attempt is sent";
        EXPECT_EQ(game.link.takeToken(Mode::Normal, Difficulty::Hard, 21, game.now), "d");
        EXPECT_EQ(game.link.day(Mode::Normal, Difficulty::Hard), "2026-12-08");
        EXPECT_EQ(game.link.dayEndsAt(Mode::Normal, Difficulty::Hard), 1765238400000LL);
        game.link.setDaily(false);
        EXPECT_EQ(game.link.takeToken(Mode::Normal, Difficulty::Hard, 5, game.now), "t") << "kept apart";
    }
}

// The shown board is read while it is on screen (not during a run), kept a minute, and
// read again with a run just stored on it.
TEST(BoardLinkBoards, ABoardReadIsKeptAMinuteAndOnlyWhileShown) {
    Rig game;
    answerTokensAndBoard(game.http, boardBody(100));
    game.showingTop = false;
    for (int i = 0; i < 10; ++i) {
        game.frame(BoardLink::kBoardKeptMilliseconds);
    }
    EXPECT_EQ(game.http.count("/v1/boards"), 0);
    EXPECT_TRUE(game.holdsToken()) << "a run needs its next token all the same";
    game.showingTop = true;
    game.frame();
    ASSERT_EQ(game.http.count("/v1/boards"), 1);
    const HttpRequest& read = game.http.sent.back().request;
    EXPECT_EQ(read.method, "GET");
    EXPECT_EQ(read.url, kUrl + "/v1/boards/normal/hard?season=all&limit=100");
    EXPECT_EQ(read.timeoutMilliseconds, BoardLink::kReadTimeoutMilliseconds);
    game.frame(0);
    const struct {
        std::uint32_t wait;  // after the last read
        int reads;
    } waits[] = {{BoardLink::kBoardKeptMilliseconds - 1000, 1},
                 {BoardLink::kBoardKeptMilliseconds, 1},
                 {BoardLink::kBoardKeptMilliseconds + 1, 2}};
    const std::uint32_t readAt = game.now;
    for (const auto& w : waits) {
        game.frame(readAt + w.wait - game.now);
        EXPECT_EQ(game.http.count("/v1/boards"), w.reads) << w.wait;
    }
    // The top five in whole points.
    game.frame(0);
    const std::vector<BoardRow> top = game.link.top(Mode::Normal, Difficulty::Hard);
    ASSERT_EQ(top.size(), 5u);
    EXPECT_EQ(top[4].rank, 5);
    EXPECT_EQ(top[4].name, "P4");
    EXPECT_EQ(top[4].score, 9604);
    EXPECT_TRUE(game.link.top(Mode::Random, Difficulty::Hard).empty());
    // The week browsed is read beside it, the all-time table kept as it was read.
    game.season = Season::Week;
    game.frame(0);
    EXPECT_EQ(game.http.sent.back().request.url, kUrl + "/v1/boards/normal/hard?season=current&limit=100");
    game.frame(0);
    EXPECT_EQ(game.link.rows(Mode::Normal, Difficulty::Hard, Season::Week).size(), 100u);
    EXPECT_EQ(game.http.count("/v1/boards"), 3);
}

// What a server sends as a board is taken whole, each entry a ranked run, or as no board.
TEST(BoardLinkBoards, ABoardAnswerIsTakenWholeOrNotAtAll) {
    const struct {
        int status;
        std::string entries;  // the body when it does not start with '['
        const char* name;     // of the first row; null: no board
        int score;
    } cases[] = {
        {200, R"([{"rank":1,"name":"ACE","score":3437.9,"runId":4}])", "ACE", 3437},
        // Kept as sent: the screens clean a name where they draw it (BoardRow::nameLine).
        {200, R"([{"rank":1,"name":"ace<script>","score":0,"runId":4}])", "ace<script>", 0},
        {200, R"([{"rank":1,"name":"ACE","score":-3,"runId":4}])", nullptr, 0},
        {200, R"([{"rank":1,"name":"ACE","score":1e12,"runId":4}])", nullptr, 0},
        {200, R"([{"rank":1,"name":"ACE","score":5,"runId":"4"}])", nullptr, 0},
        {200, R"([{"rank":1,"name":"ACE","score":5,"runId":null}])", nullptr, 0},
        {200, R"([{"rank":"1","name":"ACE","score":5,"runId":4}])", nullptr, 0},
        {200, R"([{"rank":0,"name":"ACE","score":5,"runId":4}])", nullptr, 0},
        {200, R"([{"rank":null,"name":"ACE","score":5,"runId":4}])", nullptr, 0},
        {200, R"([{"rank":1,"name":7,"score":5,"runId":4}])", nullptr, 0},
        {200, R"([{"rank":1,"name":"ACE","runId":4}])", nullptr, 0},
        {200, R"([7])", nullptr, 0},
        {200, R"({"entries":{}})", nullptr, 0},
        {200, R"({"season":"all"})", nullptr, 0},
        {200, "not json", nullptr, 0},
        {404, R"({"error":"not_found"})", nullptr, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entries);
        Rig game;
        const std::string body = c.entries[0] == '[' ? R"({"entries":)" + c.entries + "}" : c.entries;
        game.http.script("/v1/runs/start", {ScriptedHttp::reply(200, tokenBody(5, "t"))});
        game.http.script("/v1/boards", {ScriptedHttp::reply(c.status, body)});
        const std::string said = saidDuring([&] {
            game.frame();
            game.frame(0);
        });
        const std::vector<BoardRow> top = game.link.top(Mode::Normal, Difficulty::Hard);
        if (c.name == nullptr) {
            EXPECT_TRUE(top.empty());
            EXPECT_TRUE(game.link.offline());
            EXPECT_EQ(said.find("board: " + kUrl + " cannot be reached (" +
                                (c.status == 200 ? std::string("its answer to a read is no board") : "it answers 404")),
                      0u)
                << said;
        } else {
            ASSERT_EQ(top.size(), 1u);
            EXPECT_EQ(top[0].name, c.name);
            EXPECT_EQ(top[0].score, c.score);
            EXPECT_EQ(said, "");
        }
    }
}

TEST(BoardLinkBoards, RunsWorthANameBeatTheHundredthEntryOrThePlayersOwn) {
    enum Board { Full, Few, Refusing, None };
    const struct {
        Board board;
        int own;
        int score;
        bool qualifies;
    } cases[] = {
        {Full, -1, 199, false},  // the 100th has 199.5
        {Full, -1, 200, true},
        {Full, 150, 160, true},  // beats the player's own entry
        {Full, 170, 160, false},
        {Few, -1, 1, true},       // fewer than a hundred entries
        {Refusing, -1, 1, true},  // the board cannot be read to tell
        {None, -1, 100000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.score) + " over own " + std::to_string(c.own));
        Rig game(Mode::Normal, Difficulty::Hard, c.board == None ? "" : kUrl);
        answerTokensAndBoard(game.http, c.board == Full ? boardBody(100) : boardBody(1, 50));
        if (c.board == Refusing) {
            game.http.script("/v1/boards", {ScriptedHttp::reply(503, R"({"error":"unavailable"})")});
        }
        if (c.own >= 0) {
            game.player.setBoardScore(Mode::Normal, Difficulty::Hard, c.own);
        }
        saidDuring([&] {
            game.frame();
            game.frame(0);
        });
        EXPECT_EQ(game.link.offline(), c.board == Refusing);
        EXPECT_EQ(game.link.qualifies(Mode::Normal, Difficulty::Hard, c.score), c.qualifies);
    }
}

// The player's place: their id asked once of their latest run and kept in their file, then
// the around read of the shown season, its line under the table and their row among those
// around it; an answer that is no place is none, and the board is taken as unreachable.
TEST(BoardLinkBoards, ThePlayersPlaceIsReadByTheirIdAndShownAsYouNOfTotal) {
    const std::string rows = R"("entries":[{"rank":5431,"name":"A","score":90,"runId":8},)"
                             R"({"rank":5432,"name":"ME","score":80,"runId":9}])";
    const struct {
        int status;
        std::string body;
        const char* line;
        int own;
        bool offline;
    } cases[] = {
        {200, R"({"rank":5432,"total":98113,"runId":9,)" + rows + "}", "YOU 5432 OF 98113", 1, false},
        {200, R"({"rank":1,"total":1,"runId":3,"entries":[]})", "YOU 1 OF 1", -1, false},
        {404, R"({"error":"not_found"})", "", -1, false},
        {200, R"({"rank":6,"total":5,"runId":9,)" + rows + "}", "", -1, true},
        {200, R"({"rank":"1","total":5,"runId":9,)" + rows + "}", "", -1, true},
        {200, R"({"rank":1,"total":5,"runId":9})", "", -1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        Rig game;
        answerTokensAndBoard(game.http);
        game.http.script("/v1/runs/77", {ScriptedHttp::reply(200, R"({"runId":77,"name":"ME","score":5,"playerId":"abc"})")});
        game.http.script("/v1/boards/normal/hard/around", {ScriptedHttp::reply(c.status, c.body)});
        game.season = Season::Day;
        game.until([&] { return game.http.count("/v1/boards") >= 2; }, 16, 10);
        EXPECT_EQ(game.http.count("/v1/boards/normal/hard/around"), 0) << "no place before the player is known";
        game.player.addOwnRun(77);
        saidDuring([&] {
            game.until([&] { return game.http.count("/v1/boards/normal/hard/around") > 0; }, 16, 10);
            game.frame();
        });
        EXPECT_EQ(game.player.playerId(), "abc");
        EXPECT_EQ(game.http.count("/v1/runs/77"), 1);
        ASSERT_EQ(game.http.count("/v1/boards/normal/hard/around"), 1);
        EXPECT_EQ(game.http.sent.back().request.url, kUrl + "/v1/boards/normal/hard/around?season=day&player=abc&rows=5");
        const PlaceRead::Place& read = game.link.place(Mode::Normal, Difficulty::Hard, Season::Day);
        EXPECT_EQ(PlaceRead::line(read), c.line);
        EXPECT_EQ(read.own, c.own);
        EXPECT_EQ(game.link.offline(), c.offline);
    }
}
