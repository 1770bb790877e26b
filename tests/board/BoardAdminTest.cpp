// The operators' tools against the real program and PostgreSQL clusters of the test's own:
// `tamq-board admin` as one sequence of changes, each checked on the board, the records,
// submissions and the audit; and a backup restored into a fresh cluster.
#include "BoardCalls.h"
#include "BoardProcess.h"
#include "PgSuite.h"
#include "TestRecords.h"
#include "board/AdminCommand.h"
#include "board/Migrations.h"
#include "board/PlayerIdentity.h"

#include <gtest/gtest.h>
#include <pqxx/pqxx>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

namespace {

struct Stored {
    int64_t runId;
    double score;
};

// Plays a run of normal/easy and submits it as player number player.
Stored submitPlayed(const BoardProcess& service, const std::string& name, int player, int variant) {
    BoardCalls calls(service.port());
    Reply started = calls.startRun("normal", "easy");
    uint32_t seed = started.body.at("seed").get<uint32_t>();
    std::string record = TestRecords::play(seed, "normal", "easy", 600, variant);
    Reply stored = calls.submit(BoardCalls::token(seed, "normal", "easy", 601), name, BoardCalls::playerKey(player),
                                record);
    if (stored.status != 201) {
        throw std::runtime_error("submission refused: " + stored.raw);
    }
    return {stored.body["runId"].get<int64_t>(), stored.body["score"].get<double>()};
}

// Two runs of the player, of different scores, in the order they were sent.
std::pair<Stored, Stored> twoScores(const BoardProcess& service, const std::string& name, int player, int variant) {
    Stored first = submitPlayed(service, name, player, variant);
    Stored second = first;
    for (int next = variant + 1; next < variant + 40 && second.score == first.score; ++next) {
        second = submitPlayed(service, name, player, next);
    }
    if (second.score == first.score) {
        throw std::runtime_error("no two scores of the scripted runs differ");
    }
    return {first, second};
}

std::string hex(const std::string& bytes) {
    std::string text;
    char digit[3];
    for (unsigned char c : bytes) {
        std::snprintf(digit, sizeof digit, "%02x", c);
        text += digit;
    }
    return text;
}

// The exit status of a shell command line.
int status(const std::string& command) {
    int result = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(result) ? WEXITSTATUS(result) : -1;
}

class BoardAdmin : public PgSuite {
protected:
    static void SetUpTestSuite() {
        PgSuite::SetUpTestSuite();
        words_ = cluster_->folder() + "/banned-words.txt";
        std::ofstream(words_) << "# test words\ntoxic\n";
        service_ = new BoardProcess();
        service_->start(cluster_->conninfo(), {"--banned-words", words_});
    }
    static void TearDownTestSuite() {
        delete service_;
        PgSuite::TearDownTestSuite();
    }

    static BoardProcess* service_;
    static std::string words_;
};

BoardProcess* BoardAdmin::service_ = nullptr;
std::string BoardAdmin::words_;

}  // namespace

TEST_F(BoardAdmin, ChangesTheBoardAndAuditsEachChange) {
    // Player 1 has a best and a lower run, player 2 one run.
    auto [first, second] = twoScores(*service_, "ACE", 1, 0);
    Stored other = submitPlayed(*service_, "BOB", 2, 50);
    Stored best = first.score > second.score ? first : second;
    Stored lower = first.score > second.score ? second : first;
    const std::string hashA = hex(PlayerIdentity::keyHash(BoardCalls::playerKey(1)));
    const std::string hashB = hex(PlayerIdentity::keyHash(BoardCalls::playerKey(2)));
    const std::map<std::string, std::string> names = {
        {"{a1}", std::to_string(best.runId)}, {"{a2}", std::to_string(lower.runId)},
        {"{b1}", std::to_string(other.runId)}, {"{hashA}", hashA},
        {"{hashA8}", hashA.substr(0, 8)},     {"{hashB10}", hashB.substr(0, 10)},
        {"{hashB16}", hashB.substr(0, 16)},
    };
    const std::map<std::string, double> scores = {
        {"{a1}", best.score}, {"{a2}", lower.score}, {"{b1}", other.score}};
    auto expand = [&](std::string text) {
        for (const auto& [from, to] : names) {
            for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from)) {
                text.replace(at, from.size(), to);
            }
        }
        return text;
    };

    struct Step {
        const char* what;
        std::vector<std::string> args;
        int status;
        // Part of what the command prints (on its output, or its one line of error).
        const char* says;
        // The board's entries as "{run}:NAME", in any order (they are ranked by score);
        // empty when the step leaves it as it was.
        std::vector<std::string> board;
        // The records that are no longer served.
        std::vector<std::string> gone;
        // "action before after" of the audit row the step adds; "" when it adds none.
        const char* audited;
        // A submission of player 2 under a name, and its status (403 banned, 400 a banned
        // word, 422 let through to the record's checks); none when the name is null.
        std::pair<const char*, int> submission;
    };
    const std::vector<std::string> both = {"{a1}:ACE", "{b1}:BOB"};
    const Step steps[] = {
        {"runs names a player by a run", {"runs", "run:{a2}"}, 0, "player {hashA}\n", both, {}, "", {"NEW", 422}},
        {"or by a key hash prefix", {"runs", "{hashA8}"}, 0, "shown   ACE", {}, {}, "", {}},
        {"hiding the best shows the next best", {"hide", "{a1}", "--reason", "cheated"}, 0, "hid run {a1}",
         {"{a2}:ACE", "{b1}:BOB"}, {"{a1}"}, "hide shown hidden", {}},
        {"the listing shows it hidden", {"runs", "run:{a1}"}, 0, "hidden  ACE", {}, {"{a1}"}, "", {}},
        {"hiding again changes nothing", {"hide", "{a1}", "--reason", "x"}, 0, "nothing changed", {}, {"{a1}"}, "", {}},
        {"hiding the last run takes the player off", {"hide", "{a2}", "--reason", "cheated", "--by", "carol"}, 0,
         "hid run {a2}", {"{b1}:BOB"}, {"{a1}", "{a2}"}, "hide shown hidden", {}},
        {"restoring the best puts it back", {"restore", "{a1}", "--reason", "appeal"}, 0, "restored run {a1}", both,
         {"{a2}"}, "restore hidden shown", {}},
        {"restoring the lower keeps the best", {"restore", "{a2}", "--reason", "x"}, 0, "restored", both, {},
         "restore hidden shown", {}},
        {"a ban takes the player off and refuses them", {"ban", "run:{b1}", "--reason", "abuse"}, 0,
         "banned player run:{b1}", {"{a1}:ACE"}, {"{b1}"}, "ban allowed banned", {"NEW", 403}},
        {"banning again changes nothing", {"ban", "{hashB10}", "--reason", "x"}, 0, "nothing changed", {}, {"{b1}"},
         "", {"NEW", 403}},
        {"unbanning puts them back", {"unban", "{hashB10}", "--reason", "x"}, 0, "unbanned", both, {},
         "unban banned allowed", {"NEW", 422}},
        {"rename changes the shown name", {"rename", "{a1}", "ZED", "--reason", "x"}, 0,
         "renamed run {a1} from \"ACE\" to \"ZED\"", {"{a1}:ZED", "{b1}:BOB"}, {}, "rename ACE ZED",
         {"X T-0_X1C", 400}},
        {"a banned word is refused", {"rename", "{b1}", "T0X1C", "--reason", "x"}, 1, "banned word \"toxic\"", {}, {},
         "", {}},
        {"unless forced", {"rename", "{b1}", "T0X1C", "--force", "--reason", "x"}, 0, "renamed",
         {"{a1}:ZED", "{b1}:T0X1C"}, {}, "rename BOB T0X1C", {}},
        {"the audit lists the latest change first", {"audit", "--limit", "1"}, 0,
         "rename  run {b1} of player {hashB16}  \"BOB\" -> \"T0X1C\"  x\n", {}, {}, "", {}},
        {"a name outside the alphabet", {"rename", "{b1}", "bob", "--reason", "x"}, 2, "a name is 3 to 12", {}, {},
         "", {}},
        {"no run to hide", {"hide", "999999", "--reason", "x"}, 1, "no run 999999", {}, {}, "", {}},
        {"no run to restore", {"restore", "999999", "--reason", "x"}, 1, "no run", {}, {}, "", {}},
        {"no run to rename", {"rename", "999999", "ABC", "--reason", "x"}, 1, "no run", {}, {}, "", {}},
        {"no player of a run", {"ban", "run:999999", "--reason", "x"}, 1, "no run 999999", {}, {}, "", {}},
        {"no player of a key hash", {"unban", "00000000ff", "--reason", "x"}, 1, "no player's key", {}, {}, "", {}},
        {"too short a prefix", {"runs", "abc"}, 2, "names no player", {}, {}, "", {}},
        {"a change needs a reason", {"hide", "{a1}"}, 2, "--reason", {}, {}, "", {}},
        {"not a run id", {"hide", "1x", "--reason", "x"}, 2, "not a run id", {}, {}, "", {}},
        {"a missing argument", {"rename", "{a1}", "--reason", "x"}, 2, "takes 2", {}, {}, "", {}},
        {"an unknown command", {"frob"}, 2, "unknown command", {}, {}, "", {}},
    };

    BoardCalls calls(service_->port());
    pqxx::connection database(cluster_->conninfo());
    auto auditRows = [] { return scalar("SELECT count(*) FROM audit"); };
    std::vector<std::pair<double, std::string>> expected;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        std::vector<std::string> args = {"--database", cluster_->conninfo(), "--banned-words", words_};
        for (const std::string& arg : step.args) {
            args.push_back(expand(arg));
        }
        long long before = auditRows();
        std::ostringstream out;
        std::ostringstream err;
        auto env = [](const char* name) { return std::string(name == std::string("USER") ? "ops-test" : ""); };
        EXPECT_EQ(AdminCommand().run(args, env, out, err), step.status) << out.str() << err.str();
        EXPECT_NE((out.str() + err.str()).find(expand(step.says)), std::string::npos) << out.str() << err.str();

        if (!step.board.empty()) {
            expected.clear();
            for (const std::string& entry : step.board) {
                expected.push_back({scores.at(entry.substr(0, 4)), expand(entry)});
            }
            std::sort(expected.rbegin(), expected.rend());
        }
        Reply board = calls.get("/v1/boards/normal/easy");
        ASSERT_EQ(board.status, 200) << board.raw;
        ASSERT_EQ(board.body["entries"].size(), expected.size()) << board.raw;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const auto& entry = board.body["entries"][i];
            EXPECT_EQ(std::to_string(entry["runId"].get<int64_t>()) + ":" + entry["name"].get<std::string>(),
                      expected[i].second);
        }
        for (const char* run : {"{a1}", "{a2}", "{b1}"}) {
            bool gone = std::find(step.gone.begin(), step.gone.end(), run) != step.gone.end();
            EXPECT_EQ(calls.get("/v1/runs/" + expand(run) + "/record").status, gone ? 404 : 200) << run;
            Reply summary = calls.get("/v1/runs/" + expand(run));
            EXPECT_EQ(summary.status, gone ? 404 : 200) << run;
            if (!gone) {
                EXPECT_EQ(summary.body["total"], expected.size()) << run;
            }
        }
        EXPECT_EQ(pqxx::nontransaction(database).exec(PgCluster::kKeptCountsAstray).size(), 0u);

        std::string audited = step.audited;
        EXPECT_EQ(auditRows(), before + (audited.empty() ? 0 : 1));
        if (!audited.empty()) {
            pqxx::nontransaction work(database);
            pqxx::row row = work.exec1(
                "SELECT action || ' ' || before || ' ' || after, operator, reason FROM audit ORDER BY id DESC LIMIT 1");
            EXPECT_EQ(row[0].as<std::string>(), audited);
            auto by = std::find(step.args.begin(), step.args.end(), "--by");
            EXPECT_EQ(row[1].as<std::string>(), by == step.args.end() ? "ops-test" : *(by + 1));
            EXPECT_EQ(row[2].as<std::string>(), *(std::find(step.args.begin(), step.args.end(), "--reason") + 1));
        }
        if (step.submission.first) {
            uint32_t seed = 77;
            Reply reply = calls.submit(BoardCalls::token(seed, "normal", "hard", 60), step.submission.first,
                                       BoardCalls::playerKey(2),
                                       TestRecords::claiming(seed, "normal", "hard", 2 * 60 * 60 - 1));
            EXPECT_EQ(reply.status, step.submission.second) << reply.raw;
        }
    }
}

TEST_F(BoardAdmin, APlayersPageShowsOnlyWhatCountsUnderAnIdThatIsNotTheKey) {
    // Player 7 has two runs on normal/easy, player 8 one.
    auto [first, second] = twoScores(*service_, "PAGE", 7, 60);
    submitPlayed(*service_, "OTHER", 8, 70);
    const std::string best = std::to_string(first.score > second.score ? first.runId : second.runId);
    const std::string lower = std::to_string(first.score > second.score ? second.runId : first.runId);

    BoardCalls calls(service_->port());
    // The players' ids as the board's rows carry them, by name.
    auto rowIds = [](const Reply& board) {
        std::map<std::string, std::string> ids;
        for (const auto& entry : board.body["entries"]) {
            ids[entry["name"].get<std::string>()] = entry["playerId"].get<std::string>();
        }
        return ids;
    };
    const std::map<std::string, std::string> ids = rowIds(calls.get("/v1/boards/normal/easy?limit=100"));
    const std::string id = ids.at("PAGE");
    EXPECT_TRUE(id.size() == 16 && id.find_first_not_of("0123456789abcdef") == std::string::npos) << id;
    EXPECT_EQ((BoardCalls::playerKey(7) + hex(PlayerIdentity::keyHash(BoardCalls::playerKey(7)))).find(id),
              std::string::npos);
    EXPECT_NE(ids.at("OTHER"), id);
    EXPECT_EQ(calls.get("/v1/runs/" + best).body["playerId"], id);

    struct Step {
        const char* what;
        std::vector<std::string> change;
        int status;
        // The all-time best's run and the latest runs, newest first.
        std::string best;
        std::vector<std::string> latest;
    };
    const Step steps[] = {
        {"every run, newest first", {}, 200, best, {std::to_string(second.runId), std::to_string(first.runId)}},
        {"a hidden best leaves both lists", {"hide", best}, 200, lower, {lower}},
        {"no run that counts, no page", {"hide", lower}, 404, "", {}},
        {"restored", {"restore", best}, 200, best, {best}},
        {"a banned player has no page", {"ban", "run:" + best}, 404, "", {}},
        {"unbanned", {"unban", "run:" + best}, 200, best, {best}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (!step.change.empty()) {
            std::vector<std::string> args = {"--database", cluster_->conninfo(), "--reason", "test"};
            args.insert(args.begin(), step.change.begin(), step.change.end());
            std::ostringstream out;
            auto env = [](const char* name) { return std::string(name == std::string("USER") ? "ops-test" : ""); };
            ASSERT_EQ(AdminCommand().run(args, env, out, out), 0) << out.str();
        }
        Reply page = calls.get("/v1/players/" + id);
        ASSERT_EQ(page.status, step.status) << page.raw;
        if (step.status != 200) {
            EXPECT_EQ(page.body["error"], "not_found");
            continue;
        }
        EXPECT_EQ(page.body["playerId"], id);
        EXPECT_EQ(page.body["name"], "PAGE");
        std::vector<std::string> latest;
        for (const auto& run : page.body["latest"]) {
            latest.push_back(std::to_string(run["runId"].get<int64_t>()));
        }
        EXPECT_EQ(latest, step.latest);
        // Its best of all time stands where the board shows it, among as many rows.
        Reply board = calls.get("/v1/boards/normal/easy?limit=100");
        const auto& bests = page.body["bests"];
        auto all = std::find_if(bests.begin(), bests.end(), [](const auto& b) { return b["season"] == "all"; });
        ASSERT_NE(all, bests.end()) << page.raw;
        EXPECT_EQ(std::to_string((*all)["runId"].get<int64_t>()), step.best);
        EXPECT_EQ((*all)["total"], board.body["entries"].size());
        const auto& row = board.body["entries"][(*all)["rank"].get<std::size_t>() - 1];
        EXPECT_EQ(std::to_string(row["runId"].get<int64_t>()), step.best);
        EXPECT_EQ(row["playerId"], id);
        EXPECT_EQ(bests.size(), 2u) << "all time and this week: " << page.raw;
    }

    // Players stored before ids existed get theirs when an instance starts: the same ones,
    // for every instance shares the secret.
    {
        pqxx::connection database(cluster_->conninfo());
        pqxx::nontransaction(database).exec("UPDATE players SET public_id = NULL");
    }
    BoardProcess another;
    another.start(cluster_->conninfo());
    EXPECT_EQ(rowIds(BoardCalls(another.port()).get("/v1/boards/normal/easy?limit=100")), ids);
}

TEST_F(BoardAdmin, TheProgramsAnswerWithTheirExitStatus) {
    const std::string database = " --database '" + cluster_->conninfo() + "'";
    struct Case {
        std::string command;
        int status;
    };
    const Case cases[] = {
        {TAMQ_BOARD_EXE " admin --help", 0},
        {TAMQ_BOARD_EXE " admin audit" + database, 0},
        {TAMQ_BOARD_EXE " admin hide 999999 --reason x" + database, 1},
        {TAMQ_BOARD_EXE " admin audit --database 'host=/nonexistent dbname=board'", 1},
        {TAMQ_BOARD_EXE " admin audit --banned-words /nonexistent/words" + database, 1},
        {TAMQ_BOARD_EXE " admin" + database, 2},
        {TAMQ_BOARD_EXE " admin audit", 2},
        {"env TAMQ_BOARD_DATABASE='" + cluster_->conninfo() + "' " TAMQ_BOARD_EXE " admin audit", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(status("env -u TAMQ_BOARD_DATABASE " + c.command), c.status) << c.command;
    }
    BoardProcess refused;
    EXPECT_THROW(refused.start(cluster_->conninfo(), {"--banned-words", "/nonexistent/words"}), std::runtime_error);
}

TEST(BoardBackup, ARestoredBackupServesTheSameBoardAndRecords) {
    PgCluster source;
    source.start();
    BoardProcess service;
    service.start(source.conninfo());
    std::vector<std::string> paths = {"/v1/boards/normal/easy", "/v1/boards/normal/easy?limit=2&offset=1",
                                      "/v1/boards/random/hard"};
    for (int player = 1; player <= 3; ++player) {
        int64_t runId = submitPlayed(service, "P" + std::to_string(player) + "X", player, player).runId;
        paths.push_back("/v1/runs/" + std::to_string(runId) + "/record");
    }
    std::vector<std::string> before;
    for (const std::string& path : paths) {
        Reply reply = BoardCalls(service.port()).get(path);
        EXPECT_EQ(reply.status, 200) << path;
        before.push_back(reply.raw);
    }
    service.stop();

    const std::string script = "bash " TAMQ_SOURCE_DIR "/scripts/board-backup.sh ";
    const std::string archive = source.folder() + "/board.dump";
    PgCluster::shell(script + "backup '" + source.conninfo() + "' '" + archive + "' 2>&1");
    PgCluster copy;
    copy.start();
    PgCluster::shell(script + "restore '" + archive + "' '" + copy.conninfo() + "' 2>&1");
    // A second restore would mix two boards: refused.
    EXPECT_EQ(status(script + "restore '" + archive + "' '" + copy.conninfo() + "'"), 1);

    BoardProcess restored;
    restored.start(copy.conninfo());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(BoardCalls(restored.port()).get(paths[i]).raw, before[i]) << paths[i];
    }
}

TEST_F(BoardAdmin, ADatabaseOfTheFirstSchemaMigratesInPlace) {
    pqxx::connection admin(cluster_->conninfo());
    pqxx::nontransaction(admin).exec("CREATE DATABASE first_schema");
    std::string conninfo = cluster_->conninfo();
    conninfo.replace(conninfo.find("dbname=board"), 12, "dbname=first_schema");
    {
        pqxx::connection connection(conninfo);
        pqxx::work work(connection);
        work.exec(Migrations::files().front().text);
        work.exec("CREATE TABLE schema_version (version integer PRIMARY KEY, name text NOT NULL,"
                  " applied_at timestamptz NOT NULL DEFAULT now()); INSERT INTO schema_version VALUES (1, 'first');"
                  "INSERT INTO players (key_hash) VALUES ('\\x01');"
                  "INSERT INTO runs (player_id, mode, difficulty, name, score, distance, ticks, seed, content_hash,"
                  " token_id, record, created_at) VALUES (1, 'normal', 'easy', 'OLD', 5, 6, 7, 8, 9, 't', '\\x00',"
                  " '2026-12-06 23:59:59Z');"
                  "INSERT INTO best_runs SELECT mode, difficulty, player_id, id, name, score, distance, created_at"
                  " FROM runs");
        work.commit();
    }
    BoardStore store;
    store.init(conninfo, "", 1);
    EXPECT_EQ(store.migrate(), Migrations::files().back().version);
    bool fromReplica = false;
    // The run is placed in the week of its submission time, Sunday's last second.
    for (const char* season : {"all", "2026-W49"}) {
        ASSERT_EQ(store.top("normal", "easy", season, 10, 0, fromReplica).size(), 1u) << season;
    }
    EXPECT_EQ(store.summary(1)->week, "2026-W49");
    EXPECT_EQ(store.record(1), std::string(1, '\0'));
    EXPECT_EQ(store.setHidden(1, true, {"ops-test", "old run"}), BoardStore::Change::Done);
    for (const char* season : {"all", "2026-W49"}) {
        EXPECT_TRUE(store.top("normal", "easy", season, 10, 0, fromReplica).empty()) << season;
    }
}
