#pragma once

#include "board/BannedWords.h"
#include "board/BoardConfig.h"
#include "board/BoardStore.h"
#include "board/RateLimiter.h"
#include "board/RunVerifier.h"
#include "board/TokenSigner.h"
#include "board/VerifyPool.h"

#include <httplib.h>

#include <string>

// The board's HTTP API under /v1 (docs/board-api.md): run tokens, submissions that are
// re-played before they count, board pages, records and health. Every answer is JSON but
// a record's bytes; every refusal carries {"error": code, "reason": sentence}.
class BoardService {
public:
    // Reads the secret, loads the content, brings the database's schema up to date and
    // starts the verification threads. False with fault set to one line.
    bool init(const BoardConfig& config, std::string& fault);
    // Takes the configured address; false with fault when it cannot.
    bool bind(std::string& fault);
    int port() const { return port_; }
    // Serves until stop(); call after bind.
    void run();
    // From any thread: stops taking requests and lets run() return.
    void stop();

private:
    void route();
    void startRun(const httplib::Request& request, httplib::Response& response);
    void submitRun(const httplib::Request& request, httplib::Response& response);
    void readBoard(const httplib::Request& request, httplib::Response& response);
    void fetchRecord(const httplib::Request& request, httplib::Response& response);
    void fetchRun(const httplib::Request& request, httplib::Response& response);
    // Milliseconds since 1970 on the service's clock (BoardConfig::clockOffsetSeconds).
    int64_t nowMs() const;
    void health(const httplib::Request& request, httplib::Response& response);
    // Per-address limits, before any route.
    bool limited(const httplib::Request& request, httplib::Response& response);
    void allowOrigin(const httplib::Request& request, httplib::Response& response) const;
    // Checks a submission's claims and re-plays it: the stored run, or false with the refusal in response.
    bool verify(const std::string& record, const RunTicket& ticket, NewRun& run, httplib::Response& response);

    BoardConfig config_;
    TokenSigner signer_;
    RunVerifier verifier_;
    BoardStore store_;
    BannedWords bannedWords_;
    VerifyPool pool_;
    RateLimiter reads_;
    RateLimiter writes_;
    httplib::Server server_;
    // The listening socket as httplib made it, to listen again with a deeper queue.
    socket_t listening_ = INVALID_SOCKET;
    int port_ = 0;
};
