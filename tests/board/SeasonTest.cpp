// Weekly seasons: the ISO weeks themselves, then runs submitted through the real program
// on either side of a week's start (its clock shifted there), and a database of before
// seasons migrated with its runs placed in their weeks.
#include "BoardCalls.h"
#include "BoardProcess.h"
#include "PgCluster.h"
#include "TestRecords.h"
#include "board/BoardStore.h"
#include "board/Migrations.h"
#include "board/Season.h"

#include <gtest/gtest.h>
#include <pqxx/pqxx>

#include <algorithm>
#include <chrono>

namespace {

// Seconds since 1970 of a UTC time written as PostgreSQL reads it, through the test's cluster.
int64_t epoch(pqxx::connection& connection, const std::string& utc) {
    pqxx::nontransaction work(connection);
    return work.exec_params1("SELECT extract(epoch FROM $1::timestamptz)::bigint", utc)[0].as<int64_t>();
}

class Seasons : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        cluster_ = new PgCluster();
        cluster_->start();
    }
    static void TearDownTestSuite() { delete cluster_; }
    static PgCluster* cluster_;
};

PgCluster* Seasons::cluster_ = nullptr;

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
        {"2026-w50", nullptr, "a season is all, current or an ISO week such as 2026-W05"},
        {"2026-W5", nullptr, "a season is all, current or an ISO week such as 2026-W05"},
        {"2026W050", nullptr, "a season is all, current or an ISO week such as 2026-W05"},
        {"", nullptr, "a season is all, current or an ISO week such as 2026-W05"},
        {"ALL", nullptr, "a season is all, current or an ISO week such as 2026-W05"},
        {"+026-W50", nullptr, "a season is all, current or an ISO week such as 2026-W05"},
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
    const int64_t boundary = first.startSeconds();
    struct Run {
        const char* name;
        int player;
        int64_t at;
        const char* week;
        int64_t runId = 0;
        double score = 0;
    };
    Run runs[] = {{"EARLY", 1, boundary - 120, "2026-W53"},
                  {"OTHER", 2, boundary - 100, "2026-W53"},
                  {"LATE", 1, boundary + 120, "2027-W01"}};
    for (std::size_t i = 0; i < std::size(runs); ++i) {
        Run& run = runs[i];
        const int64_t offset =
            run.at - std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
                         .count();
        BoardProcess service;
        service.start(cluster_->conninfo(), {"--clock-offset", std::to_string(offset)});
        BoardCalls calls(service.port());
        Reply started = calls.startRun("random", "easy");
        ASSERT_EQ(started.status, 200) << started.raw;
        const auto seed = started.body["seed"].get<uint32_t>();
        std::string record = TestRecords::play(seed, "random", "easy", 600, static_cast<int>(i));
        // Issued a run's length before now on the service's clock.
        Reply stored = calls.submit(BoardCalls::token(seed, "random", "easy", 601 - double(offset)), run.name,
                                    BoardCalls::playerKey(run.player), record);
        ASSERT_EQ(stored.status, 201) << stored.raw;
        EXPECT_EQ(stored.body["week"], run.week);
        run.runId = stored.body["runId"].get<int64_t>();
        run.score = stored.body["score"].get<double>();
        if (i + 1 == std::size(runs)) {
            Reply current = calls.get("/v1/boards/random/easy?season=current");
            EXPECT_EQ(current.body["season"], "2027-W01");
        }
        service.stop();
    }
    BoardProcess service;
    service.start(cluster_->conninfo());
    BoardCalls calls(service.port());
    const Run& early = runs[0];
    const Run& other = runs[1];
    const Run& late = runs[2];
    const Run& best = late.score > early.score ? late : early;
    auto ordered = [](std::vector<const Run*> list) {
        std::sort(list.begin(), list.end(), [](const Run* a, const Run* b) {
            return a->score != b->score ? a->score > b->score : a->runId < b->runId;
        });
        return list;
    };
    const struct {
        const char* query;
        const char* season;
        std::vector<const Run*> entries;
    } reads[] = {
        {"", "all", ordered({&best, &other})},
        {"?season=all", "all", ordered({&best, &other})},
        {"?season=2026-W53", "2026-W53", ordered({&early, &other})},
        {"?season=2027-W01", "2027-W01", {&late}},
        {"?season=2027-W02", "2027-W02", {}},
        {"?season=2027-W01&offset=1", "2027-W01", {}},
    };
    for (const auto& read : reads) {
        Reply board = calls.get(std::string("/v1/boards/random/easy") + read.query);
        ASSERT_EQ(board.status, 200) << read.query << board.raw;
        EXPECT_EQ(board.body["season"], read.season) << read.query;
        ASSERT_EQ(board.body["entries"].size(), read.entries.size()) << read.query << board.raw;
        for (std::size_t i = 0; i < read.entries.size(); ++i) {
            EXPECT_EQ(board.body["entries"][i]["runId"], read.entries[i]->runId) << read.query;
            EXPECT_EQ(board.body["entries"][i]["name"], read.entries[i]->name) << read.query;
        }
    }
    Reply refused = calls.get("/v1/boards/random/easy?season=2027-W53");
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.body["reason"], "2027 has weeks W01 to W52");

    // Each run's summary: its week, and its places where it is the player's best.
    for (const Run& run : runs) {
        Reply summary = calls.get("/v1/runs/" + std::to_string(run.runId));
        ASSERT_EQ(summary.status, 200) << summary.raw;
        EXPECT_EQ(summary.body["week"], run.week);
        EXPECT_EQ(summary.body["name"], run.name);
        EXPECT_EQ(summary.body["mode"], "random");
        EXPECT_EQ(summary.body["score"], static_cast<long long>(run.score));
        auto place = [&](const std::vector<const Run*>& table) {
            auto at = std::find(table.begin(), table.end(), &run);
            return at == table.end() ? nlohmann::json(nullptr) : nlohmann::json(at - table.begin() + 1);
        };
        EXPECT_EQ(summary.body["rank"], place(reads[0].entries)) << run.name;
        EXPECT_EQ(summary.body["weekRank"], place(run.week == std::string("2027-W01") ? reads[3].entries
                                                                                      : reads[2].entries))
            << run.name;
    }
    EXPECT_EQ(calls.get("/v1/runs/999999").status, 404);

    // A hidden run leaves its week and all time; the player's older run counts again.
    BoardStore store;
    store.init(cluster_->conninfo(), "", 1);
    ASSERT_EQ(store.setHidden(late.runId, true, {"seasons-test", "hidden"}), BoardStore::Change::Done);
    EXPECT_EQ(calls.get("/v1/boards/random/easy?season=2027-W01").body["entries"].size(), 0u);
    Reply all = calls.get("/v1/boards/random/easy");
    std::vector<int64_t> shown;
    for (const auto& entry : all.body["entries"]) {
        shown.push_back(entry["runId"].get<int64_t>());
    }
    std::vector<int64_t> expected;
    for (const Run* run : ordered({&early, &other})) {
        expected.push_back(run->runId);
    }
    EXPECT_EQ(shown, expected);
    Reply hidden = calls.get("/v1/runs/" + std::to_string(late.runId));
    EXPECT_EQ(hidden.body["rank"], nullptr);
    EXPECT_EQ(hidden.body["weekRank"], nullptr);
}

TEST_F(Seasons, RunsStoredBeforeSeasonsMigrateIntoTheirWeeks) {
    pqxx::connection admin(cluster_->conninfo());
    {
        pqxx::nontransaction work(admin);
        work.exec("CREATE DATABASE before_seasons");
    }
    const std::string conninfo = cluster_->conninfo() + " dbname=before_seasons";
    pqxx::connection connection(conninfo);
    {
        pqxx::work work(connection);
        work.exec("CREATE TABLE schema_version (version integer PRIMARY KEY, name text NOT NULL, "
                  "applied_at timestamptz NOT NULL DEFAULT now())");
        for (const Migration& step : Migrations::files()) {
            if (step.version < 3) {
                work.exec(step.text);
                work.exec_params("INSERT INTO schema_version (version, name) VALUES ($1, $2)", step.version,
                                 std::string(step.name));
            }
        }
        // One player's two runs a week apart, the later one better; another player's hidden run.
        work.exec("INSERT INTO players (id, key_hash) VALUES (1, 'a'), (2, 'b')");
        work.exec("INSERT INTO runs (id, player_id, mode, difficulty, name, score, distance, ticks, seed, "
                  "content_hash, token_id, record, created_at, hidden) VALUES "
                  "(1, 1, 'normal', 'hard', 'ONE', 10, 5, 1, 1, 1, 't1', '', '2026-12-06 23:59:59Z', false), "
                  "(2, 1, 'normal', 'hard', 'ONE', 20, 5, 1, 1, 1, 't2', '', '2026-12-07 00:00:00Z', false), "
                  "(3, 2, 'normal', 'hard', 'TWO', 30, 5, 1, 1, 1, 't3', '', '2026-12-07 00:00:00Z', true)");
        work.exec("INSERT INTO best_runs SELECT mode, difficulty, player_id, id, name, score, distance, created_at "
                  "FROM runs WHERE id = 2");
        work.commit();
    }
    EXPECT_EQ(Migrations::apply(connection), Migrations::files().back().version);
    pqxx::nontransaction work(connection);
    EXPECT_EQ(work.exec1("SELECT string_agg(id || ':' || week, ' ' ORDER BY id) FROM runs")[0].as<std::string>(),
              "1:2026-W49 2:2026-W50 3:2026-W50");
    EXPECT_EQ(work.exec1("SELECT string_agg(season || ':' || run_id, ' ' ORDER BY season) FROM best_runs")[0]
                  .as<std::string>(),
              "2026-W49:1 2026-W50:2 all:2");
}
