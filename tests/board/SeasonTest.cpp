// Weekly seasons: the ISO weeks themselves, then runs submitted through the real program
// on either side of a week's start (its clock shifted there).
#include "BoardCalls.h"
#include "BoardProcess.h"
#include "PgSuite.h"
#include "TestRecords.h"
#include "board/BoardStore.h"
#include "board/Season.h"

#include <gtest/gtest.h>
#include <pqxx/pqxx>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>

namespace {

// Seconds since 1970 of a UTC time written as PostgreSQL reads it, through the test's cluster.
int64_t epoch(pqxx::connection& connection, const std::string& utc) {
    pqxx::nontransaction work(connection);
    return work.exec_params1("SELECT extract(epoch FROM $1::timestamptz)::bigint", utc)[0].as<int64_t>();
}

class Seasons : public PgSuite {};

}  // namespace

TEST_F(Seasons, WeeksOfTimesAroundYearEndsAndMidnights) {
    pqxx::connection connection(cluster_->conninfo());
    const struct {
        const char* utc;
        const char* week;
    } cases[] = {
        {"2026-12-28 00:00:00Z", "2026-W53"}, {"2027-01-03 23:59:59Z", "2026-W53"},
        {"2027-01-04 00:00:00Z", "2027-W01"}, {"2021-01-03 12:00:00Z", "2020-W53"},
        {"2024-12-30 00:00:00Z", "2025-W01"}, {"2024-12-29 23:59:59Z", "2024-W52"},
        {"2026-12-06 23:59:59Z", "2026-W49"}, {"2026-12-07 00:00:00Z", "2026-W50"},
        {"2016-01-03 08:00:00Z", "2015-W53"}, {"2020-02-29 00:00:00Z", "2020-W09"},
        {"1970-01-01 00:00:00Z", "1970-W01"}, {"2008-12-29 00:00:00Z", "2009-W01"},
    };
    for (const auto& c : cases) {
        const int64_t at = epoch(connection, c.utc);
        const Season week = Season::weekOf(at);
        EXPECT_EQ(week.name(), c.week) << c.utc;
        EXPECT_LE(week.startSeconds(), at) << c.utc;
        EXPECT_GT(week.endSeconds(), at) << c.utc;
        // Monday 00:00 UTC, a week apart.
        EXPECT_EQ(Season::weekOf(week.startSeconds() - 1).name(), Season::weekOf(week.startSeconds() - 7 * 86400).name());
        EXPECT_EQ(Season::weekOf(week.endSeconds()).startSeconds(), week.endSeconds()) << c.utc;
        // PostgreSQL, which placed the runs stored before seasons, agrees.
        pqxx::nontransaction work(connection);
        EXPECT_EQ(work.exec_params1("SELECT to_char($1::timestamptz AT TIME ZONE 'UTC', 'IYYY-\"W\"IW')", c.utc)[0]
                      .as<std::string>(),
                  c.week);
    }
}

TEST_F(Seasons, SeasonNamesReadOrRefusedWithAReason) {
    const int64_t now = Season::weekOf(0).startSeconds() + 400 * 7 * 86400;
    const char* const kRule = "a season is all, current, an ISO week such as 2026-W05, day or a date such as 2026-12-08";
    const struct {
        const char* text;
        const char* name;  // nullptr: refused
        const char* reason;
    } cases[] = {
        {"all", "all", ""},
        {"current", "1977-W35", ""},
        {"2026-W50", "2026-W50", ""},
        {"2026-W53", "2026-W53", ""},
        {"2020-W53", "2020-W53", ""},
        {"2027-W53", nullptr, "2027 has weeks W01 to W52"},
        {"2026-W54", nullptr, "2026 has weeks W01 to W53"},
        {"2026-W00", nullptr, "2026 has weeks W01 to W53"},
        {"1969-W10", nullptr, "a season's year is 1970 to 9999"},
        {"2026-w50", nullptr, kRule},
        {"2026-W5", nullptr, kRule},
        {"2026W050", nullptr, kRule},
        {"", nullptr, kRule},
        {"ALL", nullptr, kRule},
        {"+026-W50", nullptr, kRule},
        {"day", "1977-08-29", ""},
        {"2026-12-08", "2026-12-08", ""},
        {"2026-02-29", nullptr, "2026-02-29 is no date"},
        {"2026-13-01", nullptr, "2026-13-01 is no date"},
        {"2026/12/08", nullptr, kRule},
    };
    for (const auto& c : cases) {
        Season season;
        std::string reason;
        const bool read = Season::parse(c.text, now, season, reason);
        EXPECT_EQ(read, c.name != nullptr) << c.text;
        EXPECT_EQ(read ? season.name() : reason, read ? c.name : c.reason) << c.text;
    }
}

TEST_F(Seasons, RunsEitherSideOfAWeeksStartLandInTheirWeeksAndAllTimeHoldsBoth) {
    // The turn of 2026-W53 to 2027-W01, two minutes either side on the service's clock.
    Season first;
    std::string reason;
    ASSERT_TRUE(Season::parse("2027-W01", 0, first, reason));
    struct Run {
        const char* name;
        int player;
        int64_t at;
        const char* week;
        int64_t id = 0;
        double score = 0;
    };
    Run runs[] = {{"EARLY", 1, first.startSeconds() - 120, "2026-W53"},
                  {"OTHER", 2, first.startSeconds() - 100, "2026-W53"},
                  {"LATE", 1, first.startSeconds() + 120, "2027-W01"}};
    for (Run& run : runs) {
        const int64_t offset = run.at - std::chrono::duration_cast<std::chrono::seconds>(
                                            std::chrono::system_clock::now().time_since_epoch())
                                            .count();
        BoardProcess service;
        service.start(cluster_->conninfo(), {"--clock-offset", std::to_string(offset)});
        BoardCalls calls(service.port());
        Reply started = calls.startRun("random", "easy");
        ASSERT_EQ(started.status, 200) << started.raw;
        const auto seed = started.body["seed"].get<uint32_t>();
        // Issued a run's length before now on the service's clock.
        Reply stored = calls.submit(BoardCalls::token(seed, "random", "easy", 601 - double(offset)), run.name,
                                    BoardCalls::playerKey(run.player),
                                    TestRecords::play(seed, "random", "easy", 600, static_cast<int>(&run - runs)));
        ASSERT_EQ(stored.status, 201) << stored.raw;
        EXPECT_EQ(stored.body["week"], run.week);
        EXPECT_EQ(calls.get("/v1/boards/random/easy?season=current").body["season"], run.week);
        run.id = stored.body["runId"].get<int64_t>();
        run.score = stored.body["score"].get<double>();
    }
    BoardProcess service;
    service.start(cluster_->conninfo());
    BoardCalls calls(service.port());
    auto shown = [&](const std::string& query) {
        Reply board = calls.get("/v1/boards/random/easy" + query);
        EXPECT_EQ(board.status, 200) << query << board.raw;
        std::vector<int64_t> ids;
        for (const auto& entry : board.body["entries"]) {
            ids.push_back(entry["runId"].get<int64_t>());
        }
        return std::make_pair(board.body["season"], ids);
    };
    auto ordered = [](std::vector<const Run*> list) {
        std::sort(list.begin(), list.end(), [](const Run* a, const Run* b) {
            return a->score != b->score ? a->score > b->score : a->id < b->id;
        });
        std::vector<int64_t> ids;
        for (const Run* run : list) {
            ids.push_back(run->id);
        }
        return ids;
    };
    const Run& early = runs[0];
    const Run& other = runs[1];
    const Run& late = runs[2];
    const Run& best = late.score > early.score ? late : early;
    const std::vector<int64_t> allTime = ordered({&best, &other});
    const std::vector<int64_t> lastWeek = ordered({&early, &other});
    const struct {
        const char* query;
        const char* season;
        std::vector<int64_t> ids;
    } reads[] = {
        {"", "all", allTime},
        {"?season=all", "all", allTime},
        {"?season=2026-W53", "2026-W53", lastWeek},
        {"?season=2027-W01", "2027-W01", {late.id}},
        {"?season=2027-W02", "2027-W02", {}},
        {"?season=2027-W01&offset=1", "2027-W01", {}},
    };
    for (const auto& read : reads) {
        EXPECT_EQ(shown(read.query), std::make_pair(nlohmann::json(read.season), read.ids)) << read.query;
    }
    Reply refused = calls.get("/v1/boards/random/easy?season=2027-W53");
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.body["reason"], "2027 has weeks W01 to W52");

    // Each run's summary: its week, and its places where it is the player's best.
    auto place = [](const std::vector<int64_t>& table, int64_t id) {
        auto at = std::find(table.begin(), table.end(), id);
        return at == table.end() ? nlohmann::json(nullptr) : nlohmann::json(at - table.begin() + 1);
    };
    for (const Run& run : runs) {
        Reply summary = calls.get("/v1/runs/" + std::to_string(run.id));
        ASSERT_EQ(summary.status, 200) << summary.raw;
        EXPECT_EQ(summary.body["week"], run.week);
        EXPECT_EQ(summary.body["name"], run.name);
        EXPECT_EQ(summary.body["score"], static_cast<long long>(run.score));
        EXPECT_EQ(summary.body["rank"], place(allTime, run.id)) << run.name;
        EXPECT_EQ(summary.body["weekRank"], place(&run == &late ? std::vector{late.id} : lastWeek, run.id)) << run.name;
    }
    EXPECT_EQ(calls.get("/v1/runs/999999").status, 404);

    // A hidden run leaves its week and all time; the player's older run counts again.
    BoardStore store;
    store.init(cluster_->conninfo(), "", 1);
    ASSERT_EQ(store.setHidden(late.id, true, {"seasons-test", "hidden"}), BoardStore::Change::Done);
    EXPECT_TRUE(shown("?season=2027-W01").second.empty());
    EXPECT_EQ(shown("").second, lastWeek);
    // And its summary with them: its name and score are no longer public.
    EXPECT_EQ(calls.get("/v1/runs/" + std::to_string(late.id)).status, 404);
}

TEST_F(Seasons, ADailyRunCountsOnTheDayItsTokenWasGivenAndOnThatDayAlone) {
    Season next;  // A Wednesday, away from a week's start.
    std::string reason;
    ASSERT_TRUE(Season::parse("2027-01-07", 0, next, reason));
    const int64_t midnight = next.startSeconds();
    // Tokens of the last second of a day sent before and after midnight, and of the first
    // second of the next; the service's clock set where each is sent.
    struct Run {
        const char* name;
        int player;
        int64_t issued, clock;
        const char* day;
        int64_t id = 0;
    } runs[] = {{"EVE", 2, midnight - 125, midnight - 5, "2027-01-06"},
                {"LAST", 1, midnight - 1, midnight + 100, "2027-01-06"},
                {"FIRST", 1, midnight, midnight + 100, "2027-01-07"}};
    std::unique_ptr<BoardProcess> service;
    for (Run& run : runs) {
        if (&run == runs || run.clock != (&run - 1)->clock) {
            service = std::make_unique<BoardProcess>();
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            service->start(cluster_->conninfo(), {"--clock-offset", std::to_string(
                run.clock - std::chrono::duration_cast<std::chrono::seconds>(now).count())});
        }
        uint32_t seed = 0;
        const std::string token = BoardCalls::dailyToken("normal", "hard", run.issued * 1000, seed);
        Reply stored = BoardCalls(service->port()).submit(token, run.name, BoardCalls::playerKey(run.player),
                                    TestRecords::play(seed, "normal", "hard", 90, static_cast<int>(&run - runs)));
        ASSERT_EQ(stored.status, 201) << run.name << stored.raw;
        EXPECT_EQ(stored.body["day"], run.day) << run.name;
        EXPECT_EQ(stored.body["rank"], nullptr) << run.name;
        run.id = stored.body["runId"].get<int64_t>();
    }
    // The service's own daily token, now on the next day.
    BoardCalls calls(service->port());
    Reply started = calls.post("/v1/runs/start", R"({"mode":"normal","difficulty":"hard","daily":true})");
    uint32_t seed = 0;
    BoardCalls::dailyToken("normal", "hard", midnight * 1000, seed);
    EXPECT_EQ(started.body["seed"], seed) << started.raw;
    EXPECT_EQ(started.body["day"], "2027-01-07");
    EXPECT_EQ(started.body["dayEndsAt"], (midnight + 86400) * 1000);
    const std::pair<const char*, std::vector<int64_t>> reads[] = {
        {"2027-01-06", {runs[0].id, runs[1].id}}, {"day", {runs[2].id}}, {"all", {}}};
    for (const auto& [season, ids] : reads) {
        Reply board = calls.get("/v1/boards/normal/hard?season=" + std::string(season));
        std::vector<int64_t> shown;
        for (const auto& entry : board.body["entries"]) {
            shown.push_back(entry["runId"].get<int64_t>());
        }
        std::sort(shown.begin(), shown.end());
        EXPECT_EQ(shown, ids) << season << board.raw;
    }
    Reply summary = calls.get("/v1/runs/" + std::to_string(runs[1].id));
    EXPECT_EQ(summary.body["day"], "2027-01-06") << summary.raw;
    EXPECT_EQ(summary.body["dayTotal"], 2);
    // Its player's page names each daily run's day, today's table its only daily best; the rows
    // around a run are the board's own rows, players' ids and all.
    Reply player = calls.get("/v1/players/" + summary.body["playerId"].get<std::string>());
    ASSERT_EQ(player.status, 200) << player.raw;
    EXPECT_EQ(player.body["latest"][0]["day"], "2027-01-07") << player.raw;
    EXPECT_EQ(player.body["latest"][1]["day"], "2027-01-06");
    std::vector<std::string> days;
    for (const auto& best : player.body["bests"]) {
        if (best["season"].get<std::string>().size() == 10) {
            days.push_back(best["season"].get<std::string>() + " " + best["rank"].dump() + "/" + best["total"].dump());
        }
    }
    EXPECT_EQ(days, std::vector<std::string>{"2027-01-07 1/1"}) << player.raw;
    const std::string dayBefore = "/v1/boards/normal/hard?season=2027-01-06";
    const std::string around = "/v1/boards/normal/hard/around?season=2027-01-06&";
    EXPECT_EQ(calls.get(dayBefore).body["entries"],
              calls.get(around + "run=" + std::to_string(runs[1].id)).body["entries"]);
    // The game knows itself by its public id alone.
    EXPECT_EQ(calls.get(around + "player=" + summary.body["playerId"].get<std::string>()).body,
              calls.get(around + "run=" + std::to_string(runs[1].id)).body);
    EXPECT_EQ(calls.get(around + "player=0000000000000000").status, 404);
    EXPECT_EQ(calls.get(around + "player=PLAYER").status, 400);
}

TEST_F(Seasons, RowsAroundARunAtTheTopMiddleAndBottomOfASeededTable) {
    pqxx::connection board(cluster_->conninfo());
    pqxx::nontransaction(board).exec("CREATE DATABASE around");
    const std::string conninfo = cluster_->conninfo() + " dbname=around";
    BoardProcess service;
    service.start(conninfo);
    pqxx::connection database(conninfo);
    // The figures' own seeding: scores across many buckets of the kept counts, a group
    // tying the first score for score, and scores below zero.
    std::ifstream file(TAMQ_SOURCE_DIR "/tests/lib/board-seed.sql");
    const std::string seeding((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    for (const char* tag : {"'A'", "'B'", "'C'"}) {
        std::string sql = seeding;
        const std::string values[][2] = {{":'tag'", tag},
                                         {":count", tag[1] == 'C' ? "10000" : "20000"},
                                         {":top", tag[1] == 'C' ? "300" : "5000000"},
                                         {":'age'", "'0 days'"}};
        for (const auto& [name, value] : values) {
            for (std::size_t at = sql.find(name); at != std::string::npos; at = sql.find(name)) {
                sql.replace(at, name.size(), value);
            }
        }
        pqxx::nontransaction(database).exec(sql);
    }
    BoardCalls calls(service.port());
    // A place from the top (1 the first) or the bottom (0 the last), rows either side.
    const std::pair<int64_t, int> cases[] = {{1, 5}, {2, 10}, {20001, 5}, {0, 5}, {30000, 1}};
    for (const auto& c : cases) {
        std::vector<int64_t> ids;
        for (const auto& row : pqxx::nontransaction(database).exec(
                 "SELECT run_id FROM best_runs WHERE season = 'all' ORDER BY score DESC, run_id")) {
            ids.push_back(row[0].as<int64_t>());
        }
        const int64_t place = c.first >= 1 ? c.first : static_cast<int64_t>(ids.size()) + c.first;
        const int rows = c.second;
        Reply around = calls.get("/v1/boards/normal/hard/around?run=" + std::to_string(ids[place - 1]) +
                                 "&rows=" + std::to_string(rows));
        std::vector<std::pair<int64_t, int64_t>> shown;
        for (const auto& entry : around.body["entries"]) {
            shown.emplace_back(entry["rank"].get<int64_t>(), entry["runId"].get<int64_t>());
        }
        std::vector<std::pair<int64_t, int64_t>> expected;
        for (int64_t at = std::max<int64_t>(1, place - rows); at <= std::min<int64_t>(ids.size(), place + rows); ++at) {
            expected.emplace_back(at, ids[at - 1]);
        }
        EXPECT_EQ(shown, expected) << place << around.raw.substr(0, 200);
        EXPECT_EQ(around.body["total"], ids.size()) << place;
        EXPECT_EQ(calls.get("/v1/runs/" + std::to_string(ids[place - 1])).body["rank"], place) << place;
    }
    EXPECT_EQ(calls.get("/v1/boards/normal/hard/around?season=2026-W01&run=1").status, 404);
    EXPECT_EQ(calls.get("/v1/boards/normal/hard/around?run=1&rows=11").status, 400);
}
