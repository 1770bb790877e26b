#include "BoardHandlers.h"

#include "board/PlayerIdentity.h"
#include "board/Season.h"
#include "io/Base64.h"
#include "vocab/BoardNumbers.h"
#include "vocab/PlayerKey.h"
#include "vocab/PlayerName.h"
#include "sim/RunState.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <future>
#include <limits>

namespace {

using Json = nlohmann::json;

// A whole number in [least, most] from digits alone; fallback when absent. The longest a
// query holds is a run's number.
bool queryNumber(const HttpRequest& request, const char* name, long long least, long long most,
                 long long fallback, long long& value) {
    std::optional<std::string> given = request.param(name);
    if (!given) {
        value = fallback;
        return true;
    }
    const std::string& text = *given;
    if (text.empty() || text.size() > static_cast<std::size_t>(BoardNumbers::kRunIdDigits)) {
        return false;
    }
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    return value >= least && value <= most;
}

// The string field name of a JSON object, or false; no field of ours holds a NUL, which
// would cut the text short wherever it is read as a C string.
bool textField(const Json& body, const char* name, std::string& value) {
    auto it = body.find(name);
    if (it == body.end() || !it->is_string() || it->get_ref<const std::string&>().find('\0') != std::string::npos) {
        return false;
    }
    value = it->get<std::string>();
    return true;
}

// A player's public id, null for a player who has none yet.
Json playerIdJson(const std::string& id) {
    return id.empty() ? Json(nullptr) : Json(id);
}

// 16 hex digits: JavaScript's numbers cannot hold all 64 bits.
std::string hexHash(uint64_t hash) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

// Board rows as every read answers them.
Json entriesJson(const std::vector<BoardEntry>& entries) {
    Json list = Json::array();
    for (const BoardEntry& entry : entries) {
        list.push_back(Json{{"rank", entry.rank},
                            {"name", entry.name},
                            {"score", BoardHandlers::shown(entry.score)},
                            {"distance", BoardHandlers::shown(entry.distance)},
                            {"date", entry.date},
                            {"runId", entry.runId},
                            {"playerId", playerIdJson(entry.playerId)}});
    }
    return list;
}

}  // namespace

long long BoardHandlers::shown(double value) {
    return static_cast<long long>(std::trunc(value));
}

BoardHandlers::BoardHandlers(const BoardConfig& config, TokenSigner& signer, RunVerifier& verifier,
                             BoardStore& store, BannedWords& bannedWords, VerifyPool& pool, PlayerPages& players,
                             BoardMetrics& metrics)
    : config_(config),
      signer_(signer),
      verifier_(verifier),
      store_(store),
      bannedWords_(bannedWords),
      pool_(pool),
      players_(players),
      metrics_(metrics) {}

int64_t BoardHandlers::nowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
               .count() +
           config_.clockOffsetSeconds * 1000;
}

void BoardHandlers::startRun(const HttpRequest& request, HttpResponse& response) {
    Json body = request.jsonBody();
    std::string mode;
    std::string difficulty;
    if (body.is_discarded() || !body.is_object() || !textField(body, "mode", mode) ||
        !textField(body, "difficulty", difficulty)) {
        response.refuse(400, "malformed", "expected {\"mode\": ..., \"difficulty\": ...}");
        return;
    }
    Mode knownMode;
    Difficulty knownDifficulty;
    if (!modeNamed(mode.c_str(), knownMode) || !difficultyNamed(difficulty.c_str(), knownDifficulty)) {
        response.refuse(400, "malformed", "mode is normal or random, difficulty hard or easy");
        return;
    }
    auto daily = body.find("daily");
    if (daily != body.end() && !daily->is_boolean()) {
        response.refuse(400, "malformed", "daily is true or false");
        return;
    }
    const bool onDailyRoad = daily != body.end() && daily->get<bool>();
    RunTicket ticket = onDailyRoad ? signer_.drawDaily(mode, difficulty, nowMs())
                                   : TokenSigner::draw(mode, difficulty, nowMs());
    Json answer{{"token", signer_.sign(ticket)},
                {"seed", ticket.seed},
                {"mode", mode},
                {"difficulty", difficulty},
                {"issuedAt", ticket.issuedMs},
                {"expiresAt", ticket.issuedMs + TokenSigner::kLifetimeMs}};
    if (onDailyRoad) {
        answer["day"] = ticket.day;
        answer["dayEndsAt"] = Season::dayOf(ticket.issuedMs / 1000).endSeconds() * 1000;
    }
    response.json(200, answer);
}

void BoardHandlers::submitRun(const HttpRequest& request, HttpResponse& response) {
    Json body = request.jsonBody();
    std::string token;
    std::string name;
    std::string key;
    std::string encoded;
    if (body.is_discarded() || !body.is_object() || !textField(body, "token", token) ||
        !textField(body, "name", name) || !textField(body, "playerKey", key) || !textField(body, "record", encoded)) {
        response.refuse(400, "malformed",
               "expected {\"token\": ..., \"name\": ..., \"playerKey\": ..., \"record\": base64}");
        return;
    }
    if (!PlayerIdentity::validName(name)) {
        response.refuse(400, "bad_name", std::string("a name is ") + PlayerName::kRule);
        return;
    }
    if (!PlayerIdentity::validKey(key)) {
        response.refuse(400, "bad_player_key", std::string("a player key is ") + PlayerKey::kRule);
        return;
    }
    if (!bannedWords_.found(name).empty()) {
        response.refuse(400, "bad_name", "the name holds a word this board does not show; choose another");
        return;
    }
    if (store_.banned(PlayerIdentity::keyHash(key))) {
        response.refuse(403, "banned", "this player is banned from the board");
        return;
    }
    std::string record;
    if (!Base64::decode(encoded, record)) {
        response.refuse(400, "malformed", "the record is not base64");
        return;
    }
    if (record.size() > BoardConfig::kMaxRecordBytes) {
        response.refuse(413, "too_large",
               "a record is at most " + std::to_string(BoardConfig::kMaxRecordBytes) + " bytes");
        return;
    }
    RunTicket ticket;
    switch (signer_.read(token, nowMs(), ticket)) {
    case TokenSigner::Check::Valid:
        break;
    case TokenSigner::Check::Malformed:
    case TokenSigner::Check::BadSignature:
        response.refuse(401, "token_invalid", "the token was not issued by this board");
        return;
    case TokenSigner::Check::Expired:
        response.refuse(403, "token_expired", "the token is older than the longest run; start a new run");
        return;
    }
    NewRun run;
    run.tokenId = ticket.id;
    run.keyHash = PlayerIdentity::keyHash(key);
    run.playerId = players_.idOf(run.keyHash);
    run.name = name;
    if (store_.tokenSpent(ticket.id)) {
        run.record = std::move(record);
        answerSpent(run, response);
        return;
    }
    if (!verify(record, ticket, run, response)) {
        return;
    }
    run.record = std::move(record);
    run.submittedMs = nowMs();
    run.day = ticket.day;
    StoredRun stored;
    try {
        stored = store_.store(run);
    } catch (const BoardStore::TokenSpent&) {
        answerSpent(run, response);
        return;
    }
    answerStored(run, stored, response);
}

void BoardHandlers::answerSpent(NewRun& run, HttpResponse& response) {
    // The same record from the same player is a resend whose answer was lost (an instance
    // that stored it and died, a proxy that passed the request on again): it gets the
    // stored run's answer, so the player never hears a stored run was refused.
    std::optional<StoredRun> stored = store_.resent(run);
    if (!stored) {
        response.refuse(409, "token_used", "a run was already submitted with this token");
        return;
    }
    answerStored(run, *stored, response);
}

void BoardHandlers::answerStored(const NewRun& run, const StoredRun& stored, HttpResponse& response) {
    const bool daily = !stored.day.empty();
    Json answer{{"runId", stored.runId},
                {"rank", daily ? Json(nullptr) : Json(stored.rank)},
                {"personalBest", stored.personalBest},
                {"week", stored.week},
                {"weekRank", daily ? Json(nullptr) : Json(stored.weekRank)},
                {"weekBest", stored.weekBest},
                {"mode", run.mode},
                {"difficulty", run.difficulty},
                {"score", shown(run.score)},
                {"distance", shown(run.distance)},
                {"ticks", run.ticks}};
    if (daily) {
        answer["day"] = stored.day;
        answer["dayRank"] = stored.dayRank;
        answer["dayBest"] = stored.dayBest;
    }
    response.json(201, answer);
}

bool BoardHandlers::verify(const std::string& record, const RunTicket& ticket, NewRun& run,
                          HttpResponse& response) {
    RunRecord parsed;
    RecordClaim claim;
    std::string reason;
    if (!RunVerifier::read(record, parsed, claim, reason)) {
        response.refuse(422, "not_verified", reason);
        return false;
    }
    if (claim.seed != ticket.seed || claim.mode != ticket.mode || claim.difficulty != ticket.difficulty) {
        response.refuse(422, "not_verified", "the record's seed, mode or difficulty is not its token's");
        return false;
    }
    if (claim.contentHash != verifier_.contentHash()) {
        response.refuse(422, "not_verified", "content differs");
        return false;
    }
    double wallSeconds = double(nowMs() - ticket.issuedMs) / 1000.0;
    if (claim.playSeconds > wallSeconds + BoardConfig::kPlayTimeSlackSeconds) {
        response.refuse(422, "not_verified",
               "the record claims " + std::to_string(static_cast<long long>(claim.playSeconds)) +
                   " s of play, more than the " + std::to_string(static_cast<long long>(wallSeconds)) +
                   " s since its token was issued");
        return false;
    }
    // The job reads the record in place: this thread waits for its answer below.
    auto job = std::make_shared<std::packaged_task<VerifyResult()>>([this, &parsed] {
        const auto began = std::chrono::steady_clock::now();
        VerifyResult replayed = verifier_.replay(parsed);
        metrics_.verified(std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
        return replayed;
    });
    std::future<VerifyResult> result = job->get_future();
    if (!pool_.trySubmit([job] { (*job)(); })) {
        int seconds = 1 + static_cast<int>(pool_.capacity() / std::max<std::size_t>(1, pool_.threads()));
        response.refuseFor(503, "busy", "every verifier is busy; try again shortly", seconds);
        return false;
    }
    VerifyResult replay = result.get();
    if (!replay.valid) {
        response.refuse(422, "not_verified", replay.reason);
        return false;
    }
    run.mode = claim.mode;
    run.difficulty = claim.difficulty;
    run.seed = claim.seed;
    run.contentHash = claim.contentHash;
    run.ticks = replay.ticks;
    run.score = replay.score;
    run.distance = replay.distance;
    return true;
}

bool BoardHandlers::seasonOf(const HttpRequest& request, HttpResponse& response, Season& season) const {
    std::string reason;
    if (!Season::parse(request.param("season").value_or("all"), nowMs() / 1000, season, reason)) {
        response.refuse(400, "malformed", reason);
        return false;
    }
    return true;
}

void BoardHandlers::readBoard(const HttpRequest& request, const RoutePath::BoardKey& board,
                              HttpResponse& response) {
    const std::string mode = modeName(board.mode);
    const std::string difficulty = difficultyName(board.difficulty);
    Season season;
    if (!seasonOf(request, response, season)) {
        return;
    }
    long long limit = 0;
    long long offset = 0;
    if (!queryNumber(request, "limit", 1, BoardConfig::kMaxPageSize, 10, limit) ||
        !queryNumber(request, "offset", 0, BoardConfig::kMaxOffset, 0, offset)) {
        response.refuse(400, "malformed",
               "limit is 1 to " + std::to_string(BoardConfig::kMaxPageSize) + ", offset 0 to " +
                   std::to_string(BoardConfig::kMaxOffset));
        return;
    }
    bool fromReplica = false;
    std::vector<BoardEntry> entries =
        store_.top(mode, difficulty, season.name(), static_cast<int>(limit), offset, fromReplica);
    Json list = entriesJson(entries);
    response.json(200,
           Json{{"mode", mode},
                {"difficulty", difficulty},
                {"season", season.name()},
                {"offset", offset},
                {"limit", limit},
                {"source", fromReplica ? "replica" : "primary"},
                {"entries", list}});
}

void BoardHandlers::fetchRecord(long long runId, HttpResponse& response) {
    std::optional<std::string> record = store_.record(runId);
    if (!record) {
        response.refuse(404, "not_found", "no run " + std::to_string(runId));
        return;
    }
    response.status = 200;
    response.contentType = "application/octet-stream";
    response.body = std::move(*record);
}

void BoardHandlers::fetchRun(long long runId, HttpResponse& response) {
    std::optional<RunSummary> run = store_.summary(runId);
    if (!run) {
        response.refuse(404, "not_found", "no run " + std::to_string(runId));
        return;
    }
    auto rank = [](const std::optional<int64_t>& place) { return place ? Json(*place) : Json(nullptr); };
    Json answer{{"runId", runId},
                {"mode", run->mode},
                {"difficulty", run->difficulty},
                {"name", run->name},
                {"score", shown(run->score)},
                {"distance", shown(run->distance)},
                {"date", run->date},
                {"week", run->week},
                {"rank", rank(run->rank)},
                {"weekRank", rank(run->weekRank)},
                {"total", run->total},
                {"weekTotal", run->weekTotal},
                {"playerId", playerIdJson(run->playerId)}};
    if (run->day) {
        answer["day"] = *run->day;
        answer["dayRank"] = rank(run->dayRank);
        answer["dayTotal"] = run->dayTotal;
    }
    response.json(200, answer);
}

void BoardHandlers::readAround(const HttpRequest& request, const RoutePath::BoardKey& board,
                              HttpResponse& response) {
    const std::string mode = modeName(board.mode);
    const std::string difficulty = difficultyName(board.difficulty);
    Season season;
    if (!seasonOf(request, response, season)) {
        return;
    }
    long long rows = 0;
    long long runId = 0;
    // A run by its number, or a player's best by their public id (what the game knows of itself).
    const std::string player = request.param("player").value_or("");
    const bool byPlayer = !player.empty() && !request.param("run");
    if (!queryNumber(request, "rows", 1, kMaxAroundRows, 5, rows) ||
        !queryNumber(request, "run", 1, std::numeric_limits<int64_t>::max() / 10, 0, runId) ||
        (byPlayer ? !std::regex_match(player, std::regex("[0-9a-f]{16}")) : runId == 0)) {
        response.refuse(400, "malformed",
                        "expected run=ID or player=ID and rows from 1 to " + std::to_string(kMaxAroundRows));
        return;
    }
    std::optional<AroundRow> around = store_.around(mode, difficulty, season.name(),
                                                    byPlayer ? player : std::to_string(runId), byPlayer,
                                                    static_cast<int>(rows));
    if (!around) {
        response.refuse(404, "not_found",
                        (byPlayer ? "player " + player : "run " + std::to_string(runId)) + " has no row on " +
                            season.name());
        return;
    }
    response.json(200, Json{{"mode", mode},
                            {"difficulty", difficulty},
                            {"season", season.name()},
                            {"rank", around->rank},
                            {"total", around->total},
                            {"runId", around->runId},
                            {"entries", entriesJson(around->entries)}});
}

void BoardHandlers::fetchPlayer(const std::string& playerId, HttpResponse& response) {
    players_.answer(playerId, nowMs(), response);
}

void BoardHandlers::health(HttpResponse& response) {
    bool primary = store_.primaryReachable();
    std::optional<bool> replica = store_.replicaReachable();
    Json body{{"status", primary ? "ok" : "unavailable"},
              {"database", primary ? "up" : "down"},
              {"readDatabase", !replica ? "none" : *replica ? "up" : "down"},
              {"contentHash", hexHash(verifier_.contentHash())},
              {"verifyThreads", pool_.threads()},
              {"verifyQueue", Json{{"waiting", pool_.waiting()}, {"capacity", pool_.capacity()}}}};
    response.json(primary ? 200 : 503, body);
    if (!primary) {
        response.set("Retry-After", std::to_string(kDatabaseRetrySeconds));
    }
}

void BoardHandlers::readRules(HttpResponse& response) {
    // This week and the twelve before it: a season of the board's page list, a quarter back;
    // today's daily road and the fourteen before it, two weeks back.
    constexpr int kWeeksOffered = 13;
    constexpr int kDaysOffered = 15;
    const int64_t now = nowMs() / 1000;
    Json weeks = Json::array();
    for (int back = 0; back < kWeeksOffered; ++back) {
        weeks.push_back(Season::weekOf(now - int64_t{back} * 7 * 86400).name());
    }
    Json days = Json::array();
    for (int back = 0; back < kDaysOffered; ++back) {
        days.push_back(Season::dayOf(now - int64_t{back} * 86400).name());
    }
    response.json(200, Json{{"pageSize", BoardConfig::kMaxPageSize},
                            {"maxOffset", BoardConfig::kMaxOffset},
                            {"runIdDigits", BoardNumbers::kRunIdDigits},
                            {"weeks", weeks},
                            {"days", days}});
}
