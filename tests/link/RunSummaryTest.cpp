// A board run's summary as the game reads it, and the caption drawn from it. A fetched
// record checked against it: BoardLinkSendsTest.cpp.
#include "link/RunSummary.h"

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
    // The player's id is kept as it goes into a query, or not at all.
    for (const auto& [id, kept] : {std::pair{"a1b2c3d4e5f60718", true}, {"a&rows=10", false}}) {
        RunSummary summary;
        std::string fault;
        ASSERT_TRUE(RunSummary::parse(std::string(R"({"runId":7,"name":"ACE","score":5,"playerId":")") + id + "\"}",
                                      summary, fault));
        EXPECT_EQ(summary.playerId, kept ? id : "");
    }
}
