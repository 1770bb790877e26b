#include "BoardRouter.h"

#include <pqxx/except>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <iostream>

namespace {

std::string utcNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const long millis =
        static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, millis);
    return text;
}

// A path in the log: enough to tell calls and probes apart, never a request's whole 8 KiB.
constexpr std::size_t kLoggedPathBytes = 256;

}  // namespace

BoardRouter::BoardRouter(BoardHandlers& handlers, BoardMetrics& metrics, VerifyPool& pool, BoardStore& store,
                         HttpServer& server)
    : handlers_(handlers), metrics_(metrics), pool_(pool), store_(store), server_(server) {}

void BoardRouter::init(const BoardConfig& config) {
    config_ = &config;
    reads_.init(config.readRate, config.readBurst);
    writes_.init(config.writeRate, config.writeBurst);
    log_.start(stdout);
    using H = BoardHandlers;
    using V = RoutePath::Values;
    routes_ = {
        {"POST", RoutePath("/v1/runs/start"), "start",
         [](H& h, const HttpRequest& request, const V&, HttpResponse& answer) { h.startRun(request, answer); }},
        {"POST", RoutePath("/v1/runs"), "submit",
         [](H& h, const HttpRequest& request, const V&, HttpResponse& answer) { h.submitRun(request, answer); }},
        {"GET", RoutePath("/v1/boards/{board}"), "board",
         [](H& h, const HttpRequest& request, const V& path, HttpResponse& answer) {
             h.readBoard(request, path.board, answer);
         }},
        {"GET", RoutePath("/v1/boards/{board}/around"), "around",
         [](H& h, const HttpRequest& request, const V& path, HttpResponse& answer) {
             h.readAround(request, path.board, answer);
         }},
        {"GET", RoutePath("/v1/runs/{run}/record"), "record",
         [](H& h, const HttpRequest&, const V& path, HttpResponse& answer) { h.fetchRecord(path.runId, answer); }},
        {"GET", RoutePath("/v1/runs/{run}"), "run",
         [](H& h, const HttpRequest&, const V& path, HttpResponse& answer) { h.fetchRun(path.runId, answer); }},
        {"GET", RoutePath("/v1/health"), "health",
         [](H& h, const HttpRequest&, const V&, HttpResponse& answer) { h.health(answer); }},
        {"GET", RoutePath("/v1/rules"), "rules",
         [](H& h, const HttpRequest&, const V&, HttpResponse& answer) { h.readRules(answer); }},
        {"GET", RoutePath("/v1/players/{player}"), "player",
         [](H& h, const HttpRequest&, const V& path, HttpResponse& answer) { h.fetchPlayer(path.playerId, answer); }},
    };
}

HttpRoutes BoardRouter::api() {
    return {[this](const HttpRequest& request, HttpResponse& response) { handle(request, response); },
            [this](const HttpRequest& request, HttpResponse& response) { finish(request, response); },
            [this](const HttpRequest& request, const HttpResponse& response, std::size_t bytesOut) {
                served(request, response, bytesOut);
            },
            [this](const std::string& peer, const char* cap) { refusedConnection(peer, cap); }};
}

HttpRoutes BoardRouter::admin() {
    return {[this](const HttpRequest& request, HttpResponse& response) { metrics(request, response); }, nullptr,
            nullptr, nullptr};
}

// Nothing a call throws leaves here: a request can cost its own answer, never the process.
void BoardRouter::handle(const HttpRequest& request, HttpResponse& response) {
    try {
        route(request, response);
    } catch (const DatabaseUnavailable&) {
        metrics_.databaseError();
        std::string call = response.call;
        response = HttpResponse();
        response.call = call;
        response.refuseFor(503, "unavailable", "the database cannot be reached; try again shortly",
                           BoardHandlers::kDatabaseRetrySeconds);
    } catch (const std::exception& error) {
        if (dynamic_cast<const pqxx::failure*>(&error)) {
            metrics_.databaseError();
        }
        std::string call = response.call;
        response = HttpResponse();
        response.call = call;
        response.refuse(500, "internal", "the service failed on this request");
        std::cerr << "tamq-board: " << jsonText(request.method + " " + request.path) << ": " << error.what() << "\n";
    } catch (...) {
        response = HttpResponse();
        response.refuse(500, "internal", "the service failed on this request");
        std::cerr << "tamq-board: " << jsonText(request.method + " " + request.path) << ": unknown failure\n";
    }
    finish(request, response);
}

void BoardRouter::route(const HttpRequest& request, HttpResponse& response) {
    if (limited(request, response)) {
        return;
    }
    // A browser asks before it posts JSON from another origin.
    if (request.method == "OPTIONS" && request.path.rfind("/v1/", 0) == 0) {
        response.call = "preflight";
        response.status = 204;
        response.set("Access-Control-Allow-Methods", "GET, POST, OPTIONS");
        response.set("Access-Control-Allow-Headers", "Content-Type");
        response.set("Access-Control-Max-Age", "600");
        return;
    }
    RoutePath::Values values;
    for (const Route& route : routes_) {
        if (request.method != route.method) {
            continue;
        }
        const RoutePath::Fit fit = route.path.read(request.path, values);
        if (fit == RoutePath::Fit::No) {
            continue;
        }
        response.call = route.name;
        if (fit == RoutePath::Fit::UnknownBoard) {
            response.refuse(404, "not_found", RoutePath::kUnknownBoard);
            return;
        }
        route.call(handlers_, request, values, response);
        return;
    }
    response.refuse(404, "not_found", "no such call: " + request.method + " " + request.path);
}

void BoardRouter::finish(const HttpRequest& request, HttpResponse& response) const {
    std::optional<std::string> origin = request.header("Origin");
    if (!origin || response.has("Access-Control-Allow-Origin")) {
        return;
    }
    for (const std::string& allowed : config_->allowedOrigins) {
        if (*origin == allowed) {
            response.set("Access-Control-Allow-Origin", allowed);
            // A page's script sees only a few plain headers of an answer unless told more;
            // the game waits as long as Retry-After says before it sends again.
            response.set("Access-Control-Expose-Headers", "Retry-After");
            response.set("Vary", "Origin");
        }
    }
}

bool BoardRouter::limited(const HttpRequest& request, HttpResponse& response) {
    RateLimiter& limiter = request.method == "POST" ? writes_ : reads_;
    double wait = 0;
    if (limiter.allow(ConnectionCaps::client(request.client), RateLimiter::Clock::now(), wait)) {
        return false;
    }
    response.call.assign(1, '-');
    response.refuseFor(429, "too_many_requests", "too many requests from this address; slow down",
                       std::max(1, static_cast<int>(std::ceil(wait))));
    // Its body, if any, was read whole within the limits: the connection may carry on.
    return true;
}

void BoardRouter::served(const HttpRequest& request, const HttpResponse& response, std::size_t bytesOut) {
    metrics_.request(response.call, response.status);
    nlohmann::json line;
    if (response.status == 429) {
        unsigned long long skipped = 0;
        if (!log_.sample(ConnectionCaps::client(request.client), RequestLog::Clock::now(), skipped)) {
            return;
        }
        line["skipped"] = skipped;
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - request.started).count();
    line.update(nlohmann::json{{"time", utcNow()},
                               {"client", request.client},
                               {"method", request.method},
                               {"path", request.path.substr(0, kLoggedPathBytes)},
                               {"status", response.status},
                               {"ms", std::round(ms * 10) / 10},
                               {"in", request.bytesIn},
                               {"out", bytesOut},
                               {"call", response.call}});
    log_.write(jsonText(line));
}

// Turned away before a request was read: counted, and logged as the refusals of a rate are.
void BoardRouter::refusedConnection(const std::string& peer, const char* cap) {
    metrics_.refusedConnection(cap);
    unsigned long long skipped = 0;
    if (log_.sample(ConnectionCaps::client(peer), RequestLog::Clock::now(), skipped)) {
        log_.write(jsonText(nlohmann::json{
            {"time", utcNow()}, {"client", peer}, {"status", 503}, {"refused", cap}, {"skipped", skipped}}));
    }
}

void BoardRouter::metrics(const HttpRequest& request, HttpResponse& response) {
    if (request.method != "GET" || request.path != "/metrics") {
        response.refuse(404, "not_found", "the operators' address serves GET /metrics only");
        return;
    }
    response.status = 200;
    response.contentType = "text/plain; version=0.0.4";
    response.body = metrics_.text(pool_.waiting(), store_.idleConnections(), server_.connections(), log_.dropped());
}
