#pragma once

#include "board/BannedWords.h"
#include "board/BoardConfig.h"
#include "board/BoardMetrics.h"
#include "board/BoardStore.h"
#include "board/HttpMessage.h"
#include "board/PlayerPages.h"
#include "board/RoutePath.h"
#include "board/RunVerifier.h"
#include "board/Season.h"
#include "board/TokenSigner.h"
#include "board/VerifyPool.h"

#include <string>

// The calls of the board's API (docs/board-api.md), one method each: run tokens,
// submissions that are re-played before they count, board pages, records and health.
// Each takes what its path names as values (RoutePath); the parts it works with are the
// service's (BoardService), which outlive it.
class BoardHandlers {
public:
    BoardHandlers(const BoardConfig& config, TokenSigner& signer, RunVerifier& verifier, BoardStore& store,
                  BannedWords& bannedWords, VerifyPool& pool, PlayerPages& players, BoardMetrics& metrics);

    void startRun(const HttpRequest& request, HttpResponse& response);
    void submitRun(const HttpRequest& request, HttpResponse& response);
    void readBoard(const HttpRequest& request, const RoutePath::BoardKey& board, HttpResponse& response);
    void fetchRecord(long long runId, HttpResponse& response);
    void fetchRun(long long runId, HttpResponse& response);
    // A run's row on a season's table and the rows just above and below it.
    void readAround(const HttpRequest& request, const RoutePath::BoardKey& board, HttpResponse& response);
    void health(HttpResponse& response);
    // The rules the board page follows rather than repeats: the widest page, the deepest
    // offset, a run number's digits and the weeks it offers, this week first.
    void readRules(HttpResponse& response);
    // A player's page (PlayerPages).
    void fetchPlayer(const std::string& playerId, HttpResponse& response);

    // Seconds a client is asked to wait when the database is down.
    static constexpr int kDatabaseRetrySeconds = 5;
    // Rows either side of a row that a read around it may ask for.
    static constexpr int kMaxAroundRows = 10;
    // Whole points, cut toward zero as the game's HUD shows them: every score and distance
    // the API answers.
    static long long shown(double value);

private:
    // Milliseconds since 1970 on the service's clock (BoardConfig::clockOffsetSeconds).
    int64_t nowMs() const;
    // The season (400) a read names, or false with the refusal in response.
    bool seasonOf(const HttpRequest& request, HttpResponse& response, Season& season) const;
    // Checks a submission's claims and re-plays it: the stored run, or false with the refusal in response.
    bool verify(const std::string& record, const RunTicket& ticket, NewRun& run, HttpResponse& response);
    // A submission whose token a stored run spent: that run's answer when it is a resend of
    // it, else the refusal.
    void answerSpent(NewRun& run, HttpResponse& response);
    void answerStored(const NewRun& run, const StoredRun& stored, HttpResponse& response);

    const BoardConfig& config_;
    TokenSigner& signer_;
    RunVerifier& verifier_;
    BoardStore& store_;
    BannedWords& bannedWords_;
    VerifyPool& pool_;
    PlayerPages& players_;
    BoardMetrics& metrics_;
};
