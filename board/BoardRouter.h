#pragma once

#include "board/BoardConfig.h"
#include "board/BoardHandlers.h"
#include "board/BoardMetrics.h"
#include "board/BoardStore.h"
#include "board/HttpServer.h"
#include "board/RateLimiter.h"
#include "board/RequestLog.h"
#include "board/RoutePath.h"
#include "board/VerifyPool.h"

#include <functional>
#include <string>
#include <vector>

// The board's requests on their way to a call: routes each request under /v1 to its
// handler with its path's parts read into values, holds every client address to its rates,
// lets allowed browser origins in, answers what a call throws with the usual refusal,
// counts it all for the operators' address and logs one JSON line per request on standard
// output (refusals sampled per client).
class BoardRouter {
public:
    // The parts whose figures the operators' address shows beside the requests' own.
    BoardRouter(BoardHandlers& handlers, BoardMetrics& metrics, VerifyPool& pool, BoardStore& store,
                HttpServer& server);

    // The routes, the rates and the log; config stays the caller's and must outlive this.
    void init(const BoardConfig& config);
    // What the public address and the operators' address do with their requests.
    HttpRoutes api();
    HttpRoutes admin();

private:
    using Call = std::function<void(BoardHandlers&, const HttpRequest&, const RoutePath::Values&, HttpResponse&)>;
    struct Route {
        const char* method;
        RoutePath path;
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

    BoardHandlers& handlers_;
    BoardMetrics& metrics_;
    VerifyPool& pool_;
    BoardStore& store_;
    HttpServer& server_;
    const BoardConfig* config_ = nullptr;
    std::vector<Route> routes_;
    RateLimiter reads_;
    RateLimiter writes_;
    RequestLog log_;
};
