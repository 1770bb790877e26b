// A board run's summary and a board's entries as the game reads them, the caption drawn
// from them, and a fetched record checked against its summary by the rules' re-play.
#include "link/RunLink.h"
#include "LinkRig.h"
#include "link/PlaceRead.h"
#include "link/RunSummary.h"
#include "io/FileReader.h"
#include "sim/SimContent.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <string>

TEST(RunSummary, ReadsTheRunsCallAndCaptionsIt) {
    const struct {
        const char* body;
        bool read;
        const char* caption;
    } cases[] = {
        {R"({"runId":42,"mode":"normal","difficulty":"hard","name":"ACE","score":464,"distance":154,)"
         R"("date":"2026-12-07T17:20:11Z","week":"2026-W50","rank":3,"weekRank":1})",
         true, "3 ACE 464"},
        {R"({"runId":7,"name":"BOB","score":3437.75,"rank":null,"weekRank":2})", true, "2 BOB 3437"},
        {R"({"runId":7,"name":"HIDDEN ONE","score":12,"rank":null,"weekRank":null})", true, "HIDDEN ONE 12"},
        {R"({"runId":7,"name":"bad\u001b[2Jname!!","score":5,"rank":1})", true, "1 ?????2J????? 5"},
        {R"({"runId":7,"name":"ACE","score":5})", true, "ACE 5"},
        {R"({"runId":7,"name":"ACE","score":5,"playerId":"a1b2c3d4e5f60718"})", true, "ACE 5"},
        {R"({"runId":0,"name":"ACE","score":5})", false, ""},
        {R"({"runId":"7","name":"ACE","score":5})", false, ""},
        {R"({"runId":7,"score":5})", false, ""},
        {R"({"runId":7,"name":"ACE","score":-1})", false, ""},
        {R"({"runId":7,"name":"ACE","score":5,"rank":0})", false, ""},
        {R"({"runId":7,"name":"ACE","score":5,"weekRank":"1"})", false, ""},
        {R"([1,2])", false, ""},
        {"<html>not found</html>", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        RunSummary summary;
        std::string fault;
        EXPECT_EQ(RunSummary::parse(c.body, summary, fault), c.read);
        EXPECT_EQ(fault.empty(), c.read);
        if (c.read) {
            EXPECT_EQ(summary.caption(), c.caption);
        }
    }
    // A player's id goes into a query as it is: anything but letters and digits is none.
    for (const auto& [id, kept] : {std::pair{"a1b2c3d4e5f60718", true}, {"a&rows=10", false}, {"", false},
                                   {"../x", false}}) {
        RunSummary summary;
        std::string fault;
        ASSERT_TRUE(RunSummary::parse(std::string(R"({"runId":7,"name":"ACE","score":5,"playerId":")") + id + "\"}",
                                      summary, fault));
        EXPECT_EQ(summary.playerId, kept ? id : "");
    }
}

// The player's place: read by the public id learnt from a run of theirs, the line under
// the table, and the player's row among those around it; anything else is no place.
TEST(PlaceRead, ThePlaceIsReadByThePlayersIdAndShownAsYouNOfTotal) {
    const std::string rows = R"("entries":[{"rank":5431,"name":"A","score":90,"runId":8},)"
                             R"({"rank":5432,"name":"ME","score":80,"runId":9}])";
    const struct {
        int status;
        std::string body;
        const char* line;
        int own;
    } cases[] = {
        {200, R"({"rank":5432,"total":98113,"runId":9,)" + rows + "}", "YOU 5432 OF 98113", 1},
        {200, R"({"rank":1,"total":1,"runId":3,"entries":[]})", "YOU 1 OF 1", -1},
        {404, R"({"error":"not_found"})", "", -1},
        {200, R"({"rank":0,"total":5,"runId":9,)" + rows + "}", "", -1},
        {200, R"({"rank":6,"total":5,"runId":9,)" + rows + "}", "", -1},
        {200, R"({"rank":"1","total":5,"runId":9,)" + rows + "}", "", -1},
        {200, R"({"rank":1,"total":5,"runId":9})", "", -1},
        {500, "", "", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        ScriptedHttp http;
        http.script("/v1/runs/77", {ScriptedHttp::reply(200, R"({"runId":77,"name":"ME","score":5,"playerId":"abc"})")});
        http.script("/v1/boards", {ScriptedHttp::reply(c.status, c.body)});
        PlaceRead place(http);
        place.setUrl(link_rig::kUrl);
        place.update(Mode::Normal, Difficulty::Hard, Season::Day, true, 0);
        EXPECT_EQ(http.count("/v1/boards"), 0) << "no place before the player is known";
        place.learnFrom(77);
        link_rig::saidDuring([&] {
            place.update(Mode::Normal, Difficulty::Hard, Season::Day, true, 16);
            place.update(Mode::Normal, Difficulty::Hard, Season::Day, true, 32);
        });
        ASSERT_EQ(http.count("/v1/boards/normal/hard/around"), 1);
        EXPECT_NE(http.sent.back().request.url.find("?season=day&player=abc&rows=5"), std::string::npos);
        const PlaceRead::Place& read = place.place(Mode::Normal, Difficulty::Hard, Season::Day);
        EXPECT_EQ(PlaceRead::line(read), c.line);
        EXPECT_EQ(read.own, c.own);
    }
}

TEST(RunSummary, ReadsABoardsEntriesWithTheirRunNumbers) {
    const struct {
        const char* body;
        int rows;
        long long lastRun;
    } cases[] = {
        {R"({"season":"2026-W50","entries":[{"rank":1,"name":"ACE","score":3437.25,"runId":42},)"
         R"({"rank":2,"name":"BOB","score":2970,"runId":17}]})",
         2, 17},
        {R"({"season":"all","entries":[]})", 0, 0},
        {R"({"entries":[{"rank":1,"name":"ACE","score":1,"runId":null}]})", -1, 0},
        {R"({"entries":[{"rank":null,"name":"ACE","score":1,"runId":3}]})", -1, 0},
        {R"({"entries":{}})", -1, 0},
        {R"({"season":"all"})", -1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        std::vector<BoardRow> rows;
        std::string fault;
        EXPECT_EQ(RunSummary::parseBoard(c.body, rows, fault), c.rows >= 0);
        if (c.rows > 0) {
            ASSERT_EQ(static_cast<int>(rows.size()), c.rows);
            EXPECT_EQ(rows.back().runId, c.lastRun);
            EXPECT_EQ(rows.front().score, 3437);
        }
    }
}

TEST(RunSummary, RunNumbersFromALinkAreDigitsOnly) {
    const struct {
        const char* text;
        bool number;
    } cases[] = {{"42", true},     {"1", true},   {"999999999999999999", true}, {"", false},
                 {"0", false},     {"042", false}, {"-3", false}, {"4 2", false}, {"42/record", false},
                 {"1000000000000000000", false},  {"abc", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(RunSummary::isRunId(c.text), c.number) << c.text;
    }
}

// A golden record is shown only when its re-play ends as the board says.
TEST(RunLink, AFetchedRunIsShownOnlyWhenItsReplayScoresWhatTheBoardSays) {
    const std::string folder = std::string(TAMQ_TEST_DATA_DIR) + "/golden/";
    std::string text, fault;
    ASSERT_TRUE(FileReader::read(folder + "expected.json", text, fault)) << fault;
    const int score = nlohmann::json::parse(text)["normal-hard-still"]["score"].get<int>();
    std::string bytes;
    ASSERT_TRUE(FileReader::read(folder + "normal-hard-still.rec", bytes, fault)) << fault;
    SimContent content;
    content.load();
    std::string damaged = bytes;
    damaged[damaged.size() / 2] ^= 0x40;
    const struct {
        const char* what;
        const std::string& bytes;
        int boardScore;
        const char* fault;
    } cases[] = {
        {"as played", bytes, score, ""},
        {"another score on the board", bytes, score + 1, "its re-play scores"},
        {"a byte changed", damaged, score, "differs"},
        {"no record", "", score, "malformed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RunSummary summary;
        summary.score = c.boardScore;
        RunRecord record;
        std::string why;
        EXPECT_EQ(RunLink::verified(c.bytes, content, summary, record, why), *c.fault == '\0');
        EXPECT_NE(why.find(c.fault), std::string::npos) << why;
    }
}
