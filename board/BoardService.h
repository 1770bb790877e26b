#pragma once

#include "board/BannedWords.h"
#include "board/BoardConfig.h"
#include "board/BoardHandlers.h"
#include "board/BoardMetrics.h"
#include "board/BoardRouter.h"
#include "board/BoardStore.h"
#include "board/HttpServer.h"
#include "board/PlayerPages.h"
#include "board/RunVerifier.h"
#include "board/TokenSigner.h"
#include "board/VerifyPool.h"

#include <string>

// The board service put together: the secret that signs run tokens, the content runs are
// re-played on, the database brought up to date, the banned words, the verification
// threads, the calls, the router in front of them and the HTTP server, started and
// stopped as one.
class BoardService {
public:
    BoardService();
    BoardService(const BoardService&) = delete;
    BoardService& operator=(const BoardService&) = delete;

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
    // The secret file's text without its line end; false with fault when short or unread.
    bool readSecret(std::string& secret, std::string& fault) const;

    BoardConfig config_;
    BoardMetrics metrics_;
    TokenSigner signer_;
    RunVerifier verifier_;
    BoardStore store_;
    BannedWords bannedWords_;
    VerifyPool pool_;
    PlayerPages players_;
    BoardHandlers handlers_;
    // Declared before the server: its log outlives every connection that may write to it.
    BoardRouter router_;
    HttpServer server_;
    int port_ = 0;
    int adminPort_ = 0;
};
