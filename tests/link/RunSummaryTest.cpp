// A board run's summary as the game reads it, the caption drawn from it, and a fetched
// record checked against its summary by the rules' re-play.
#include "link/RunFetch.h"
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
}

// A golden record is shown only when its re-play ends as the board says.
TEST(RunFetch, AFetchedRunIsShownOnlyWhenItsReplayScoresWhatTheBoardSays) {
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
        EXPECT_EQ(RunFetch::verified(c.bytes, content, summary, record, why), *c.fault == '\0');
        EXPECT_NE(why.find(c.fault), std::string::npos) << why;
    }
}
