#include "BoardService.h"

#include "board/PlayerIdentity.h"
#include "board/Season.h"
#include "io/Base64.h"
#include "io/FileReader.h"
#include "sim/RunState.h"

#include <nlohmann/json.hpp>

#include <sys/socket.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <future>
#include <iostream>

namespace {

using Json = nlohmann::json;

// Seconds a client is asked to wait when the database is down.
constexpr int kDatabaseRetrySeconds = 5;

void answer(httplib::Response& response, int status, const Json& body) {
    response.status = status;
    response.set_content(body.dump(), "application/json");
}

void refuse(httplib::Response& response, int status, const std::string& code, const std::string& reason) {
    answer(response, status, Json{{"error", code}, {"reason", reason}});
}

void refuseBusy(httplib::Response& response, const std::string& code, const std::string& reason, int seconds) {
    refuse(response, 503, code, reason);
    response.set_header("Retry-After", std::to_string(seconds));
}

bool knownBoard(const std::string& mode, const std::string& difficulty) {
    Mode parsedMode;
    Difficulty parsedDifficulty;
    return modeNamed(mode.c_str(), parsedMode) && difficultyNamed(difficulty.c_str(), parsedDifficulty);
}

// A whole number in [least, most] from digits alone; fallback when absent.
bool queryNumber(const httplib::Request& request, const char* name, long long least, long long most,
                 long long fallback, long long& value) {
    if (!request.has_param(name)) {
        value = fallback;
        return true;
    }
    std::string text = request.get_param_value(name);
    if (text.empty() || text.size() > 18) {
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

// The string field name of a JSON object, or false.
bool textField(const Json& body, const char* name, std::string& value) {
    auto it = body.find(name);
    if (it == body.end() || !it->is_string()) {
        return false;
    }
    value = it->get<std::string>();
    return true;
}

// 16 hex digits: JavaScript's numbers cannot hold all 64 bits.
std::string hexHash(uint64_t hash) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

}  // namespace

int64_t BoardService::nowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
               .count() +
           config_.clockOffsetSeconds * 1000;
}

bool BoardService::init(const BoardConfig& config, std::string& fault) {
    config_ = config;
    std::string secret;
    if (!FileReader::read(config.secretFile, secret, fault)) {
        fault = config.secretFile + ": " + fault;
        return false;
    }
    while (!secret.empty() && (secret.back() == '\n' || secret.back() == '\r')) {
        secret.pop_back();
    }
    if (secret.size() < TokenSigner::kMinSecretBytes) {
        fault = config.secretFile + ": the secret is shorter than " + std::to_string(TokenSigner::kMinSecretBytes) +
                " bytes";
        return false;
    }
    signer_.init(secret);
    if (!verifier_.load(config.dataFolder, fault) ||
        (!config.bannedWordsFile.empty() && !bannedWords_.load(config.bannedWordsFile, fault))) {
        return false;
    }
    store_.init(config.database, config.readDatabase, config.databaseConnections);
    try {
        store_.migrate();
    } catch (const std::exception& error) {
        fault = std::string("cannot prepare the database: ") + error.what();
        return false;
    }
    reads_.init(config.readRate, config.readBurst);
    writes_.init(config.writeRate, config.writeBurst);
    pool_.start(config.verifyThreads, config.verifyQueue);
    route();
    return true;
}

bool BoardService::bind(std::string& fault) {
    // httplib listens with a queue of 5 connections. A burst of players overflows it, and
    // the kernel's SYN cookies then reset some of those connections before they are served:
    // the socket is listened on again with the system's limit once bound. SO_REUSEADDR
    // rather than httplib's SO_REUSEPORT, so that a second board on the port is refused.
    server_.set_socket_options([this](socket_t socket) {
        int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        listening_ = socket;
    });
    if (config_.port == 0) {
        port_ = server_.bind_to_any_port(config_.host);
    } else {
        port_ = server_.bind_to_port(config_.host, config_.port) ? config_.port : -1;
    }
    if (port_ <= 0 || ::listen(listening_, SOMAXCONN) != 0) {
        fault = "cannot listen on " + config_.host + ":" + std::to_string(config_.port);
        return false;
    }
    return true;
}

void BoardService::run() {
    server_.listen_after_bind();
    pool_.stop();
}

void BoardService::stop() {
    server_.stop();
}

void BoardService::route() {
    const std::size_t httpThreads = config_.httpThreads;
    server_.new_task_queue = [httpThreads] { return new httplib::ThreadPool(httpThreads); };
    server_.set_payload_max_length(BoardConfig::kMaxBodyBytes);
    server_.set_read_timeout(config_.clientTimeoutSeconds);
    server_.set_write_timeout(config_.clientTimeoutSeconds);
    server_.set_keep_alive_timeout(config_.clientTimeoutSeconds);
    server_.set_keep_alive_max_count(1000);
    // Answers go out in two writes (head, body): without this, the second waits for the
    // client's delayed acknowledgement, 40 ms on Linux.
    server_.set_tcp_nodelay(true);

    server_.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        allowOrigin(request, response);
        // httplib bounds each header line but not their number.
        if (request.headers.size() > BoardConfig::kMaxHeaders) {
            refuse(response, 431, "too_many_headers",
                   "a request has at most " + std::to_string(BoardConfig::kMaxHeaders) + " headers");
            return httplib::Server::HandlerResponse::Handled;
        }
        return limited(request, response) ? httplib::Server::HandlerResponse::Handled
                                          : httplib::Server::HandlerResponse::Unhandled;
    });
    // Refusals of httplib itself (an unknown path, a body over the limit, a request it
    // cannot read) get the same JSON shape as ours.
    server_.set_error_handler([this](const httplib::Request& request, httplib::Response& response) {
        allowOrigin(request, response);
        if (!response.body.empty()) {
            return;
        }
        switch (response.status) {
        case 404:
            refuse(response, 404, "not_found", "no such call: " + request.method + " " + request.path);
            break;
        case 413:
            refuse(response, 413, "too_large",
                   "the request is larger than " + std::to_string(BoardConfig::kMaxBodyBytes) + " bytes");
            break;
        default:
            refuse(response, response.status, "malformed", "the request cannot be read as HTTP");
        }
    });
    server_.set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr thrown) {
            try {
                std::rethrow_exception(thrown);
            } catch (const DatabaseUnavailable& error) {
                refuseBusy(response, "unavailable", "the database cannot be reached; try again shortly",
                           kDatabaseRetrySeconds);
            } catch (const std::exception& error) {
                std::cerr << "tamq-board: " << error.what() << "\n";
                refuse(response, 500, "internal", "the service failed on this request");
            } catch (...) {
                refuse(response, 500, "internal", "the service failed on this request");
            }
        });

    auto bind = [this](void (BoardService::*call)(const httplib::Request&, httplib::Response&)) {
        return [this, call](const httplib::Request& request, httplib::Response& response) {
            (this->*call)(request, response);
        };
    };
    server_.Post("/v1/runs/start", bind(&BoardService::startRun));
    server_.Post("/v1/runs", bind(&BoardService::submitRun));
    server_.Get(R"(/v1/boards/([a-z]{1,16})/([a-z]{1,16}))", bind(&BoardService::readBoard));
    server_.Get(R"(/v1/runs/([0-9]{1,18})/record)", bind(&BoardService::fetchRecord));
    server_.Get(R"(/v1/runs/([0-9]{1,18}))", bind(&BoardService::fetchRun));
    server_.Get("/v1/health", bind(&BoardService::health));
    // A browser asks before it posts JSON from another origin.
    server_.Options(R"(/v1/.*)", [](const httplib::Request&, httplib::Response& response) {
        response.status = 204;
        response.set_header("Access-Control-Allow-Methods", "GET, POST, OPTIONS");
        response.set_header("Access-Control-Allow-Headers", "Content-Type");
        response.set_header("Access-Control-Max-Age", "600");
    });
}

void BoardService::allowOrigin(const httplib::Request& request, httplib::Response& response) const {
    if (!request.has_header("Origin") || response.has_header("Access-Control-Allow-Origin")) {
        return;
    }
    const std::string origin = request.get_header_value("Origin");
    for (const std::string& allowed : config_.allowedOrigins) {
        if (origin == allowed) {
            response.set_header("Access-Control-Allow-Origin", origin);
            // A page's script sees only a few plain headers of an answer unless told more;
            // the game waits as long as Retry-After says before it sends again.
            response.set_header("Access-Control-Expose-Headers", "Retry-After");
            response.set_header("Vary", "Origin");
        }
    }
}

bool BoardService::limited(const httplib::Request& request, httplib::Response& response) {
    RateLimiter& limiter = request.method == "POST" ? writes_ : reads_;
    double wait = 0;
    if (limiter.allow(request.remote_addr, RateLimiter::Clock::now(), wait)) {
        return false;
    }
    refuse(response, 429, "too_many_requests", "too many requests from this address; slow down");
    response.set_header("Retry-After", std::to_string(std::max(1, static_cast<int>(std::ceil(wait)))));
    return true;
}

void BoardService::startRun(const httplib::Request& request, httplib::Response& response) {
    Json body = Json::parse(request.body, nullptr, false);
    std::string mode;
    std::string difficulty;
    if (body.is_discarded() || !body.is_object() || !textField(body, "mode", mode) ||
        !textField(body, "difficulty", difficulty)) {
        refuse(response, 400, "malformed", "expected {\"mode\": ..., \"difficulty\": ...}");
        return;
    }
    if (!knownBoard(mode, difficulty)) {
        refuse(response, 400, "malformed", "mode is normal or random, difficulty hard or easy");
        return;
    }
    RunTicket ticket = TokenSigner::draw(mode, difficulty, nowMs());
    answer(response, 200,
           Json{{"token", signer_.sign(ticket)},
                {"seed", ticket.seed},
                {"mode", mode},
                {"difficulty", difficulty},
                {"issuedAt", ticket.issuedMs},
                {"expiresAt", ticket.issuedMs + TokenSigner::kLifetimeMs}});
}

void BoardService::submitRun(const httplib::Request& request, httplib::Response& response) {
    Json body = Json::parse(request.body, nullptr, false);
    std::string token;
    std::string name;
    std::string key;
    std::string encoded;
    if (body.is_discarded() || !body.is_object() || !textField(body, "token", token) ||
        !textField(body, "name", name) || !textField(body, "playerKey", key) || !textField(body, "record", encoded)) {
        refuse(response, 400, "malformed",
               "expected {\"token\": ..., \"name\": ..., \"playerKey\": ..., \"record\": base64}");
        return;
    }
    if (!PlayerIdentity::validName(name)) {
        refuse(response, 400, "bad_name", "a name is 3 to 12 of A-Z, 0-9, space, - and _");
        return;
    }
    if (!PlayerIdentity::validKey(key)) {
        refuse(response, 400, "bad_player_key", "a player key is 32 to 128 of A-Z, a-z, 0-9, - and _");
        return;
    }
    if (!bannedWords_.found(name).empty()) {
        refuse(response, 400, "bad_name", "the name holds a word this board does not show; choose another");
        return;
    }
    if (store_.banned(PlayerIdentity::keyHash(key))) {
        refuse(response, 403, "banned", "this player is banned from the board");
        return;
    }
    std::string record;
    if (!Base64::decode(encoded, record)) {
        refuse(response, 400, "malformed", "the record is not base64");
        return;
    }
    if (record.size() > BoardConfig::kMaxRecordBytes) {
        refuse(response, 413, "too_large",
               "a record is at most " + std::to_string(BoardConfig::kMaxRecordBytes) + " bytes");
        return;
    }
    RunTicket ticket;
    switch (signer_.read(token, nowMs(), ticket)) {
    case TokenSigner::Check::Valid:
        break;
    case TokenSigner::Check::Malformed:
    case TokenSigner::Check::BadSignature:
        refuse(response, 401, "token_invalid", "the token was not issued by this board");
        return;
    case TokenSigner::Check::Expired:
        refuse(response, 403, "token_expired", "the token is older than the longest run; start a new run");
        return;
    }
    if (store_.tokenSpent(ticket.id)) {
        refuse(response, 409, "token_used", "a run was already submitted with this token");
        return;
    }
    NewRun run;
    if (!verify(record, ticket, run, response)) {
        return;
    }
    run.tokenId = ticket.id;
    run.keyHash = PlayerIdentity::keyHash(key);
    run.name = name;
    run.record = std::move(record);
    run.submittedMs = nowMs();
    StoredRun stored;
    try {
        stored = store_.store(run);
    } catch (const BoardStore::TokenSpent&) {
        refuse(response, 409, "token_used", "a run was already submitted with this token");
        return;
    }
    answer(response, 201,
           Json{{"runId", stored.runId},
                {"rank", stored.rank},
                {"personalBest", stored.personalBest},
                {"week", stored.week},
                {"weekRank", stored.weekRank},
                {"weekBest", stored.weekBest},
                {"mode", run.mode},
                {"difficulty", run.difficulty},
                {"score", run.score},
                {"distance", run.distance},
                {"ticks", run.ticks}});
}

bool BoardService::verify(const std::string& record, const RunTicket& ticket, NewRun& run,
                          httplib::Response& response) {
    RecordClaim claim;
    std::string reason;
    if (!RunVerifier::readClaim(record, claim, reason)) {
        refuse(response, 422, "not_verified", reason);
        return false;
    }
    if (claim.seed != ticket.seed || claim.mode != ticket.mode || claim.difficulty != ticket.difficulty) {
        refuse(response, 422, "not_verified", "the record's seed, mode or difficulty is not its token's");
        return false;
    }
    if (claim.contentHash != verifier_.contentHash()) {
        refuse(response, 422, "not_verified", "content differs");
        return false;
    }
    double wallSeconds = double(nowMs() - ticket.issuedMs) / 1000.0;
    if (claim.playSeconds > wallSeconds + BoardConfig::kPlayTimeSlackSeconds) {
        refuse(response, 422, "not_verified",
               "the record claims " + std::to_string(static_cast<long long>(claim.playSeconds)) +
                   " s of play, more than the " + std::to_string(static_cast<long long>(wallSeconds)) +
                   " s since its token was issued");
        return false;
    }
    auto job = std::make_shared<std::packaged_task<VerifyResult()>>([this, &record] { return verifier_.replay(record); });
    std::future<VerifyResult> result = job->get_future();
    if (!pool_.trySubmit([job] { (*job)(); })) {
        int seconds = 1 + static_cast<int>(pool_.capacity() / std::max<std::size_t>(1, pool_.threads()));
        refuseBusy(response, "busy", "every verifier is busy; try again shortly", seconds);
        return false;
    }
    VerifyResult replay = result.get();
    if (!replay.valid) {
        refuse(response, 422, "not_verified", replay.reason);
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

void BoardService::readBoard(const httplib::Request& request, httplib::Response& response) {
    const std::string mode = request.matches[1];
    const std::string difficulty = request.matches[2];
    if (!knownBoard(mode, difficulty)) {
        refuse(response, 404, "not_found", "boards are /v1/boards/{normal|random}/{hard|easy}");
        return;
    }
    long long limit = 0;
    long long offset = 0;
    if (!queryNumber(request, "limit", 1, BoardConfig::kMaxPageSize, 10, limit) ||
        !queryNumber(request, "offset", 0, BoardConfig::kMaxOffset, 0, offset)) {
        refuse(response, 400, "malformed",
               "limit is 1 to " + std::to_string(BoardConfig::kMaxPageSize) + ", offset 0 to " +
                   std::to_string(BoardConfig::kMaxOffset));
        return;
    }
    Season season;
    std::string reason;
    if (!Season::parse(request.has_param("season") ? request.get_param_value("season") : "all", nowMs() / 1000,
                       season, reason)) {
        refuse(response, 400, "malformed", reason);
        return;
    }
    bool fromReplica = false;
    std::vector<BoardEntry> entries =
        store_.top(mode, difficulty, season.name(), static_cast<int>(limit), offset, fromReplica);
    Json list = Json::array();
    for (const BoardEntry& entry : entries) {
        list.push_back(Json{{"rank", entry.rank},
                            {"name", entry.name},
                            {"score", entry.score},
                            {"distance", entry.distance},
                            {"date", entry.date},
                            {"runId", entry.runId}});
    }
    answer(response, 200,
           Json{{"mode", mode},
                {"difficulty", difficulty},
                {"season", season.name()},
                {"offset", offset},
                {"limit", limit},
                {"source", fromReplica ? "replica" : "primary"},
                {"entries", list}});
}

void BoardService::fetchRecord(const httplib::Request& request, httplib::Response& response) {
    const long long runId = std::stoll(request.matches[1]);
    std::optional<std::string> record = store_.record(runId);
    if (!record) {
        refuse(response, 404, "not_found", "no run " + std::to_string(runId));
        return;
    }
    response.status = 200;
    response.set_content(std::move(*record), "application/octet-stream");
}

void BoardService::fetchRun(const httplib::Request& request, httplib::Response& response) {
    const long long runId = std::stoll(request.matches[1]);
    std::optional<RunSummary> run = store_.summary(runId);
    if (!run) {
        refuse(response, 404, "not_found", "no run " + std::to_string(runId));
        return;
    }
    auto rank = [](const std::optional<int64_t>& place) { return place ? Json(*place) : Json(nullptr); };
    // Whole points, as the game shows them.
    answer(response, 200,
           Json{{"runId", runId},
                {"mode", run->mode},
                {"difficulty", run->difficulty},
                {"name", run->name},
                {"score", static_cast<long long>(std::trunc(run->score))},
                {"distance", static_cast<long long>(std::trunc(run->distance))},
                {"date", run->date},
                {"week", run->week},
                {"rank", rank(run->rank)},
                {"weekRank", rank(run->weekRank)}});
}

void BoardService::health(const httplib::Request&, httplib::Response& response) {
    bool primary = store_.primaryReachable();
    std::optional<bool> replica = store_.replicaReachable();
    Json body{{"status", primary ? "ok" : "unavailable"},
              {"database", primary ? "up" : "down"},
              {"readDatabase", !replica ? "none" : *replica ? "up" : "down"},
              {"contentHash", hexHash(verifier_.contentHash())},
              {"verifyThreads", pool_.threads()},
              {"verifyQueue", Json{{"waiting", pool_.waiting()}, {"capacity", pool_.capacity()}}}};
    answer(response, primary ? 200 : 503, body);
    if (!primary) {
        response.set_header("Retry-After", std::to_string(kDatabaseRetrySeconds));
    }
}
