#include "BoardService.h"

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

bool BoardService::init(const BoardConfig& config, std::string& fault) {
    config_ = config;
    TrustedProxies proxies;
    if (!proxies.init(config.trustedProxies, fault)) {
        fault = "--trusted-proxies: " + fault;
        return false;
    }
    if (!calls_.init(config, metrics_, fault)) {
        return false;
    }
    reads_.init(config.readRate, config.readBurst);
    writes_.init(config.writeRate, config.writeBurst);
    HttpLimits limits;
    limits.bodyBytes = BoardConfig::kMaxBodyBytes;
    limits.headerCount = BoardConfig::kMaxHeaders;
    limits.request = std::chrono::seconds(config.clientTimeoutSeconds);
    limits.idle = std::chrono::seconds(config.idleTimeoutSeconds);
    limits.connectionsPerAddress = config.connectionsPerAddress;
    limits.connections = config.maxConnections;
    server_.init(limits, proxies, config.ioThreads, config.httpThreads);
    log_.start(stdout);
    const std::string runId = "/v1/runs/([0-9]{1," + std::to_string(BoardConfig::kRunIdDigits) + "})";
    routes_ = {
        {"POST", std::regex("/v1/runs/start"), "start", &BoardHandlers::startRun},
        {"POST", std::regex("/v1/runs"), "submit", &BoardHandlers::submitRun},
        {"GET", std::regex("/v1/boards/([a-z]{1,16})/([a-z]{1,16})"), "board", &BoardHandlers::readBoard},
        {"GET", std::regex("/v1/boards/([a-z]{1,16})/([a-z]{1,16})/around"), "around", &BoardHandlers::readAround},
        {"GET", std::regex(runId + "/record"), "record", &BoardHandlers::fetchRecord},
        {"GET", std::regex(runId), "run", &BoardHandlers::fetchRun},
        {"GET", std::regex("/v1/health"), "health", &BoardHandlers::health},
        {"GET", std::regex("/v1/rules"), "rules", &BoardHandlers::readRules},
    };
    return true;
}

bool BoardService::bind(std::string& fault) {
    HttpRoutes api{[this](const HttpRequest& request, HttpResponse& response) { handle(request, response); },
                   [this](const HttpRequest& request, HttpResponse& response) { finish(request, response); },
                   [this](const HttpRequest& request, const HttpResponse& response, std::size_t bytesOut) {
                       served(request, response, bytesOut);
                   },
                   [this](const std::string& peer, const char* cap) { refusedConnection(peer, cap); }};
    if (!server_.listen(config_.host, config_.port, api, port_, fault)) {
        return false;
    }
    if (config_.adminHost.empty()) {
        return true;
    }
    HttpRoutes admin{[this](const HttpRequest& request, HttpResponse& response) { metrics(request, response); },
                     nullptr, nullptr, nullptr};
    return server_.listen(config_.adminHost, config_.adminPort, admin, adminPort_, fault, true);
}

void BoardService::run() {
    server_.run();
    calls_.stop();
}

void BoardService::stop() {
    server_.stop();
}

// Nothing a call throws leaves here: a request can cost its own answer, never the process.
void BoardService::handle(const HttpRequest& request, HttpResponse& response) {
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

void BoardService::route(const HttpRequest& request, HttpResponse& response) {
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
    std::smatch match;
    for (const Route& route : routes_) {
        if (request.method == route.method && std::regex_match(request.path, match, route.path)) {
            response.call = route.name;
            (calls_.*route.call)(request, match, response);
            return;
        }
    }
    response.refuse(404, "not_found", "no such call: " + request.method + " " + request.path);
}

void BoardService::finish(const HttpRequest& request, HttpResponse& response) const {
    std::optional<std::string> origin = request.header("Origin");
    if (!origin || response.has("Access-Control-Allow-Origin")) {
        return;
    }
    for (const std::string& allowed : config_.allowedOrigins) {
        if (*origin == allowed) {
            response.set("Access-Control-Allow-Origin", allowed);
            // A page's script sees only a few plain headers of an answer unless told more;
            // the game waits as long as Retry-After says before it sends again.
            response.set("Access-Control-Expose-Headers", "Retry-After");
            response.set("Vary", "Origin");
        }
    }
}

bool BoardService::limited(const HttpRequest& request, HttpResponse& response) {
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

void BoardService::served(const HttpRequest& request, const HttpResponse& response, std::size_t bytesOut) {
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
void BoardService::refusedConnection(const std::string& peer, const char* cap) {
    metrics_.refusedConnection(cap);
    unsigned long long skipped = 0;
    if (log_.sample(ConnectionCaps::client(peer), RequestLog::Clock::now(), skipped)) {
        log_.write(jsonText(nlohmann::json{
            {"time", utcNow()}, {"client", peer}, {"status", 503}, {"refused", cap}, {"skipped", skipped}}));
    }
}

void BoardService::metrics(const HttpRequest& request, HttpResponse& response) {
    if (request.method != "GET" || request.path != "/metrics") {
        response.refuse(404, "not_found", "the operators' address serves GET /metrics only");
        return;
    }
    response.status = 200;
    response.contentType = "text/plain; version=0.0.4";
    response.body = metrics_.text(calls_.verifyQueueDepth(), calls_.databaseConnections(), server_.connections(),
                                  log_.dropped());
}
