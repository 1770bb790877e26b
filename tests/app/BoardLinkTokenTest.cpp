// The board link's tokens against canned boards: how long one serves, and which answer
// is one.

#include "LinkPlayer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace link_test;

// However long the title screen stood, a run starts with a token young enough that the
// longest run a record allows still reaches the board in time (it takes a run until
// 2 h 15 min after its token).
TEST(BoardLink, ATokenIsRenewedBeforeTheLongestRunWouldOutliveIt) {
    const std::uint32_t boardTakes = (2 * 60 + 15) * 60 * 1000;
    EXPECT_LE(BoardLink::kTokenLifeMilliseconds + RunRecord::kMaxPlaySeconds * 1000 + 60 * 1000, boardTakes);
    CannedServer server(boardAnswering({}));
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
        Player game(server.url());
        game.showingTop = false;
        const std::uint32_t askedAt = game.now;
        ASSERT_TRUE(game.until([&] { return game.holdsToken(); }, 0));
        game.frame(c.wait - (game.now - askedAt));
        EXPECT_EQ(game.holdsToken(), c.held);
        EXPECT_EQ(game.http.pending(), c.asks ? 1 : 0);
        if (c.asks) {
            // The fresh token serves as long again, from when it was asked for.
            ASSERT_TRUE(game.until([&] { return game.http.pending() == 0 && game.holdsToken(); }, 0));
            game.frame(BoardLink::kTokenLifeMilliseconds - 1000);
            EXPECT_TRUE(game.holdsToken());
        }
    }
}

// A token is for the mode and difficulty asked: one the board hands out for another is no
// token (a run seeded by it would be ranked on the wrong board), said once.
TEST(BoardLink, ATokenForAnotherModeOrDifficultyIsNoToken) {
    const struct {
        const char* mode;
        const char* difficulty;
        bool held;
    } cases[] = {
        {"normal", "hard", true},
        {"random", "hard", false},
        {"normal", "easy", false},
        {"random", "easy", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " " + c.difficulty);
        const std::string token = std::string(R"({"seed":5,"token":"t","mode":")") + c.mode +
                                  R"(","difficulty":")" + c.difficulty + R"("})";
        CannedServer server(std::vector<std::string>{CannedServer::answer(200, token)});
        Player game(server.url());
        game.showingTop = false;
        testing::internal::CaptureStderr();
        ASSERT_TRUE(game.until([&] { return server.served() == 1 && game.http.pending() == 0; }, 0));
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(game.holdsToken(), c.held);
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), c.held ? 0 : 1) << said;
        EXPECT_EQ(said.find("board: "), c.held ? std::string::npos : 0u) << said;
    }
}
