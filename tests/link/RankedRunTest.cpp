// A ranked run's life as the session tells it, on the scripted transport: which run is
// ranked, which ended worth a name, what is sent once the name is in, and what the status
// line shows.

#include "LinkRig.h"
#include "link/RankedRun.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

using namespace link_rig;

TEST(RankedRun, OnlyTheRunATokenSeedsIsRankedAndSentUnderTheNameEntered) {
    const struct {
        const char* what;
        std::uint32_t seed;    // the run started with; the token's is 5
        bool complete;         // its record can be re-played
        std::string board;     // as read
        int score;
        bool asksName;
    } cases[] = {
        {"ranked, on an empty board", 5, true, boardBody(0), 100, true},
        {"another seed: local", 6, true, boardBody(0), 100, false},
        {"a record cut short", 5, false, boardBody(0), 100, false},
        {"below a full board", 5, true, boardBody(100), 100, false},
        {"into a full board", 5, true, boardBody(100), 9000, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedHttp http;
        answerTokensAndBoard(http, c.board);
        http.script("/v1/runs", {ScriptedHttp::reply(201, R"({"rank":2,"runId":8})")});
        PlayerFile player("");
        player.load();
        RankedRun run(http, player);
        ASSERT_TRUE(run.setUrl(kUrl));
        std::uint32_t now = 1000, seed = 0;
        run.frame(Mode::Normal, Difficulty::Hard, Season::All, true, now);
        run.frame(Mode::Normal, Difficulty::Hard, Season::All, true, now += 16);
        ASSERT_TRUE(run.nextSeed(Mode::Normal, Difficulty::Hard, now, seed));
        EXPECT_EQ(seed, 5u);

        run.started(Mode::Normal, Difficulty::Hard, c.seed, now);
        EXPECT_EQ(run.ranked(), c.seed == 5);
        run.frame(Mode::Normal, Difficulty::Hard, Season::All, false, now += 16);
        RunRecord record;
        record.score = static_cast<float>(c.score);
        EXPECT_EQ(run.ended(Mode::Normal, Difficulty::Hard, c.score, c.complete, record), c.asksName);
        EXPECT_EQ(run.awaitingName(), c.asksName);
        if (c.complete) {
            EXPECT_FALSE(run.ranked()) << "the token serves one run";
        }
        // Nothing is sent before the name is in.
        run.named("", now);
        run.frame(Mode::Normal, Difficulty::Hard, Season::All, true, now += 16);
        EXPECT_EQ(http.count("/v1/runs", true), 0);
        run.named("ACE", now);
        EXPECT_FALSE(run.awaitingName());
        std::string status;
        if (!c.asksName) {
            EXPECT_EQ(http.count("/v1/runs", true), 0);
            EXPECT_FALSE(run.statusChanged(status));
            continue;
        }
        ASSERT_EQ(http.count("/v1/runs", true), 1);
        const nlohmann::json body = nlohmann::json::parse(http.sent.back().request.body);
        EXPECT_EQ(body["token"], "t");
        EXPECT_EQ(body["name"], "ACE");
        EXPECT_EQ(player.name(), "ACE");
        // The status line: each change shown once.
        ASSERT_TRUE(run.statusChanged(status));
        EXPECT_EQ(status, "SENDING");
        EXPECT_FALSE(run.statusChanged(status));
        run.frame(Mode::Normal, Difficulty::Hard, Season::All, true, now += 16);
        ASSERT_TRUE(run.statusChanged(status));
        EXPECT_EQ(status, "RANK 2");
        // The next run clears it, as the game clears its line: no change to show.
        run.started(Mode::Normal, Difficulty::Hard, 1, now);
        EXPECT_FALSE(run.statusChanged(status));
        EXPECT_EQ(run.link().status(), "");
    }
}

TEST(RankedRun, WithoutABoardNothingIsRanked) {
    const char* urls[] = {"", "ftp://example.org"};
    for (const char* url : urls) {
        ScriptedHttp http;
        PlayerFile player("");
        RankedRun run(http, player);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(run.setUrl(url));
        testing::internal::GetCapturedStderr();
        std::uint32_t seed = 0;
        run.frame(Mode::Normal, Difficulty::Hard, Season::All, true, 100);
        EXPECT_FALSE(run.nextSeed(Mode::Normal, Difficulty::Hard, 100, seed));
        run.started(Mode::Normal, Difficulty::Hard, 0, 100);
        EXPECT_FALSE(run.ended(Mode::Normal, Difficulty::Hard, 1, true, RunRecord{}));
        EXPECT_TRUE(http.sent.empty()) << url;
    }
}
