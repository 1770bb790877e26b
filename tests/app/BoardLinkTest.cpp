// The board link driven frame by frame as the game drives it, with a clock of the test's
// own, against the real board (TestBoard, whose secret the test shares to date its tokens
// back): the whole way from a token to a ranked run watched back, what only the board's
// own checks refuse, and a ranked run played in the session. The link's rules one by one,
// on a scripted transport: tests/link/BoardLinkRulesTest.cpp.

#include "link/BoardLink.h"
#include "app/GameSession.h"
#include "sim/SimContent.h"

#include "BoardCalls.h"
#include "LinkPlayer.h"
#include "TestBoard.h"
#include "TestRecords.h"
#include "support/TestFiles.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <thread>


using namespace link_test;

TEST(BoardLink, ATokenRanksTheRunItSeedsAndTheRunIsSubmittedAndRanked) {
    if (!ownBoard()) {
        GTEST_SKIP() << "no board of the test's own";
    }
    Player game(TestBoard::url() + "/", Mode::Random, Difficulty::Easy);
    ASSERT_TRUE(game.until([&] { return game.holdsToken(); }));
    const std::uint32_t seed = game.seed();
    // A run on another board or seed is local, and leaves the token in hand.
    EXPECT_EQ(game.link.takeToken(Mode::Random, Difficulty::Hard, seed, game.now), "");
    EXPECT_EQ(game.link.takeToken(Mode::Random, Difficulty::Easy, seed + 1, game.now), "");
    const std::string token = game.link.takeToken(Mode::Random, Difficulty::Easy, seed, game.now);
    ASSERT_FALSE(token.empty());
    // Used up; the next frames ask for another, with another seed.
    EXPECT_FALSE(game.holdsToken());
    ASSERT_TRUE(game.until([&] { return game.holdsToken(); }));
    EXPECT_NE(game.seed(), seed);

    // The run, played as if it had taken its time since the token came.
    const std::string bytes = TestRecords::play(seed, "random", "easy", 600);
    RunRecord record;
    std::string fault;
    ASSERT_TRUE(RunRecord::fromBytes(bytes, record, fault)) << fault;
    ASSERT_TRUE(game.link.qualifies(Mode::Random, Difficulty::Easy, static_cast<int>(record.score)));
    game.link.submit(BoardCalls::token(seed, "random", "easy", 601), record, "ACE", game.now);
    EXPECT_EQ(game.link.status(), "SENDING");
    ASSERT_TRUE(game.until([&] { return game.link.status() != "SENDING"; }));
    EXPECT_EQ(game.link.status().rfind("RANK ", 0), 0u) << game.link.status();
    EXPECT_EQ(game.player.boardScore(Mode::Random, Difficulty::Easy), static_cast<int>(record.score));
    // The board is read again with the run on it.
    ASSERT_TRUE(game.until([&] {
        for (const BoardRow& row : game.link.top(Mode::Random, Difficulty::Easy)) {
            if (row.name == "ACE" && row.score == static_cast<int>(record.score)) {
                return true;
            }
        }
        return false;
    }));

    // The accepted run's number, once; by it the run is on both seasons' tables, and the
    // board's best run is fetched, re-played and captioned with its place.
    long long runId = 0;
    Mode mode{};
    Difficulty difficulty{};
    ASSERT_TRUE(game.link.takeAcceptedRun(runId, mode, difficulty) && mode == Mode::Random);
    EXPECT_FALSE(game.link.takeAcceptedRun(runId, mode, difficulty)) << "taken once";
    for (Season season : {Season::All, Season::Week}) {
        game.season = season;
        const std::vector<BoardRow>& rows = game.link.rows(Mode::Random, Difficulty::Easy, season);
        ASSERT_TRUE(game.until([&] {
            return std::any_of(rows.begin(), rows.end(), [&](const BoardRow& row) { return row.runId == runId; });
        })) << BoardCache::seasonQuery(season);
    }
    const std::vector<BoardRow> top = game.link.top(Mode::Random, Difficulty::Easy);
    ASSERT_FALSE(top.empty());
    game.link.fetchBestRun(Mode::Random, Difficulty::Easy);
    SimContent content;
    content.load();
    RunRecord watched;
    RunSummary summary;
    ASSERT_TRUE(game.until([&] { return game.link.takeRun(content, watched, summary, fault); }));
    EXPECT_EQ(fault, "");
    EXPECT_EQ(summary.caption(), "1 " + top[0].name + " " + std::to_string(top[0].score));
    EXPECT_EQ(watched.mode, 1);
    EXPECT_EQ(watched.difficulty, 1);
}

TEST(BoardLink, RefusedSubmissionsSayWhyInAWord) {
    if (!ownBoard()) {
        GTEST_SKIP() << "no board of the test's own";
    }
    Player game(TestBoard::url(), Mode::Normal, Difficulty::Easy);
    const std::uint32_t seed = 77;
    const std::string bytes = TestRecords::play(seed, "normal", "easy", 600);
    RunRecord record, otherSeed;
    std::string fault;
    ASSERT_TRUE(RunRecord::fromBytes(bytes, record, fault)) << fault;
    otherSeed = record;
    otherSeed.seed = seed + 1;
    const std::string fresh = BoardCalls::token(seed, "normal", "easy", 601);
    const struct {
        std::string token;
        const RunRecord* record;
        const char* name;
        const char* status;
    } cases[] = {
        {"not a token", &record, "ACE", "EXPIRED"},
        {BoardCalls::token(seed, "normal", "easy", 3 * 3600), &record, "ACE", "EXPIRED"},
        {BoardCalls::token(seed, "normal", "easy", 601), &otherSeed, "ACE", "NOT VERIFIED"},
        {BoardCalls::token(seed, "normal", "easy", 601), &record, "a", "REFUSED"},
        {fresh, &record, "BOB", "RANK 1"},
        // The same run again, as after a lost answer: told of the stored run. Another
        // record under that token: it was used.
        {fresh, &record, "BOB", "RANK 1"},
        {fresh, &otherSeed, "BOB", "EXPIRED"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        game.link.submit(c.token, *c.record, c.name, game.now);
        ASSERT_TRUE(game.until([&] { return game.link.status() != "SENDING"; }));
        EXPECT_EQ(game.link.status(), c.status);
    }
}

namespace {

// A key pressed and let go, as the window hears it, then two frames for the game to see it.
void tap(GameSession& session, SDL_Scancode scancode, SDL_Keycode key) {
    SDL_Event press{};
    press.type = SDL_KEYDOWN;
    press.key.keysym.scancode = scancode;
    press.key.keysym.sym = key;
    SDL_PushEvent(&press);
    session.frame();
    session.frame();
}

}  // namespace

TEST(BoardLink, ARankedRunPlayedInTheSessionIsNamedSentAndRanked) {
    if (!ownBoard()) {
        GTEST_SKIP() << "no board of the test's own";
    }
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    const std::string saves = TestFiles::folder() + "/session-named";
    std::filesystem::remove_all(saves);
    setenv("XDG_DATA_HOME", saves.c_str(), 1);
    GameSession session;
    ASSERT_TRUE(session.prepare({"--mute", "--data", TAMQ_SOURCE_DIR, "--board", TestBoard::url()}));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    if (!session.start()) {
        testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        GTEST_SKIP() << "no OpenGL window here";
    }
    // HARD has no spare heart: the first car the bar meets ends the run.
    const auto deadline = Clock::now() + std::chrono::seconds(240);
    std::uint32_t seed = 0;
    while (!session.board()->seedFor(Mode::Normal, Difficulty::Hard, SDL_GetTicks(), seed) && Clock::now() < deadline) {
        session.frame();
    }
    while (!session.game().running() && Clock::now() < deadline) {
        tap(session, SDL_SCANCODE_SPACE, SDLK_SPACE);
    }
    ASSERT_TRUE(session.game().running());
    ASSERT_EQ(session.game().simulation().runStart().seed, seed);
    while (!session.game().gameOver() && Clock::now() < deadline) {
        session.frame();
    }
    ASSERT_TRUE(session.game().gameOver());
    // The token was used up by the run; the one asked for meanwhile seeds the next.
    std::uint32_t next = seed;
    EXPECT_TRUE(session.board()->seedFor(Mode::Normal, Difficulty::Hard, SDL_GetTicks(), next));
    EXPECT_NE(next, seed);
    EXPECT_EQ(session.game().simulation().nextSeed(), next);
    // The board is empty: the run enters it, and a name is asked.
    ASSERT_TRUE(session.game().askingName());
    for (int letter = 0; letter < 3; ++letter) {
        tap(session, SDL_SCANCODE_UP, SDLK_UP);
        tap(session, SDL_SCANCODE_RIGHT, SDLK_RIGHT);
    }
    tap(session, SDL_SCANCODE_SPACE, SDLK_SPACE);
    EXPECT_FALSE(session.game().askingName());
    while (session.board()->status().rfind("RANK", 0) != 0 && Clock::now() < deadline) {
        session.frame();
    }
    EXPECT_EQ(session.board()->status(), "RANK 1");
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    while (session.frame()) {
    }
    testing::internal::GetCapturedStdout();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.find("board:"), std::string::npos) << said;
    const std::string player = TestFiles::readAll(saves + "/tamq4pelrok/player.json");
    EXPECT_NE(player.find("\"name\": \"AAA\""), std::string::npos) << player;
    EXPECT_NE(player.find("\"normal-hard\": "), std::string::npos) << player;
}
