#pragma once

#include "board/BoardConfig.h"
#include "board/BoardHandlers.h"
#include "board/BoardMetrics.h"
#include "board/HttpServer.h"
#include "board/RateLimiter.h"
#include "board/RequestLog.h"

#include <regex>
#include <string>
#include <vector>

// The board's HTTP service: routes each request under /v1 to its call, holds every client
// address to its rates, lets allowed browser origins in, answers what a call throws with
// the usual refusal, counts it all for the operators' address and logs one JSON line per
// request on standard output (refusals sampled per client).
class BoardService {
public:
    // Everything but the listening; false with fault set to one line.
    bool init(const BoardConfig& config, std::string& fault);
    // Takes the configured addresses; false with fault when one cannot be had.
    bool bind(std::string& fault);
    int port() const { return port_; }
    int adminPort() const { return adminPort_; }
    // Serves until stop(); call after bind.
    void run();
    // From any thread: stops taking requests, lets those under way finish and run() return.
    void stop();

private:
    using Call = void (BoardHandlers::*)(const HttpRequest&, const std::smatch&, HttpResponse&);
    struct Route {
        const char* method;
        std::regex path;
        const char* name;
        Call call;
    };

    void handle(const HttpRequest& request, HttpResponse& response);
    void route(const HttpRequest& request, HttpResponse& response);
    void finish(const HttpRequest& request, HttpResponse& response) const;
    void served(const HttpRequest& request, const HttpResponse& response, std::size_t bytesOut);
    void refusedConnection(const std::string& peer, const char* cap);
    void metrics(const HttpRequest& request, HttpResponse& response);
    // Per-client limits, before any route.
    bool limited(const HttpRequest& request, HttpResponse& response);

    BoardConfig config_;
    BoardMetrics metrics_;
    BoardHandlers calls_;
    std::vector<Route> routes_;
    RateLimiter reads_;
    RateLimiter writes_;
    // Declared before the server, so it outlives every connection that may log.
    RequestLog log_;
    HttpServer server_;
    int port_ = 0;
    int adminPort_ = 0;
};
