#pragma once

#include "vocab/ContentPaths.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// How a board service runs, from the environment (TAMQ_BOARD_*) and then the command line,
// which wins. `tamq-board --help` lists every setting.
struct BoardConfig {
    // The largest record taken: a three-minute run records in a few kilobytes, a two-hour
    // one (the longest a record may claim) in well under this.
    static constexpr std::size_t kMaxRecordBytes = 256 * 1024;
    // A request body: the record in base64 and a few short fields.
    static constexpr std::size_t kMaxBodyBytes = kMaxRecordBytes * 4 / 3 + 4096;
    // The widest page of a board, and the deepest it may start: a page costs PostgreSQL a
    // walk of the index down to its offset, about 1 ms per 1000 entries.
    static constexpr int kMaxPageSize = 100;
    static constexpr long long kMaxOffset = 10000;
    // Headers a request may carry; browsers and the game send about a dozen.
    static constexpr std::size_t kMaxHeaders = 64;
    // A record may claim this much more play than the wall time since its token was
    // issued, for the server clocks of the instances that issued and check it.
    static constexpr double kPlayTimeSlackSeconds = 3.0;

    std::string host = "127.0.0.1";
    int port = 8080;
    std::string database;
    std::string readDatabase;
    std::string secretFile;
    std::vector<std::string> allowedOrigins;
    std::string dataFolder = std::string(ContentPaths::kDataFolder);
    // Words names may not contain (BannedWords); none when empty.
    std::string bannedWordsFile;
    std::size_t verifyThreads = 0;
    std::size_t verifyQueue = 0;
    // Requests handled at once (a handler may wait on the database or a verifier), and the
    // threads that wait on every connection's socket.
    std::size_t httpThreads = 64;
    std::size_t ioThreads = 2;
    std::size_t databaseConnections = 16;
    // Per client address: requests a second, and how many may come at once.
    double readRate = 20;
    double readBurst = 40;
    double writeRate = 2;
    double writeBurst = 10;
    // From a request's first byte to its last; a kept-alive connection's wait for its next.
    int clientTimeoutSeconds = 5;
    int idleTimeoutSeconds = 5;
    // Connections open at once per client address, and in all.
    std::size_t connectionsPerAddress = 64;
    std::size_t maxConnections = 4096;
    // Proxies whose X-Forwarded-For names the client (addresses and networks, a,b/n).
    std::string trustedProxies;
    // Where the operators' metrics are served; empty host when nowhere.
    std::string adminHost;
    int adminPort = 0;
    // Added to the system's clock wherever the service reads the time (tokens, submission
    // dates and weeks, the current season): lets tests stand on either side of a week's start.
    int64_t clockOffsetSeconds = 0;

    // False with fault set to one line on a bad or missing setting. env answers a
    // variable's value or "" when it is not set. The admin command needs no secret.
    bool parse(const std::vector<std::string>& arguments, const std::function<std::string(const char*)>& env,
               std::string& fault, bool needSecret = true);
    // The text of --help.
    static std::string usage();
    // Descriptors the service holds besides its clients' connections: both databases'
    // connections, the operators' address, the listening sockets, the log, data files.
    std::size_t otherFiles() const { return 2 * databaseConnections + 48; }
    // Lowers maxConnections to fit the process's open-file limit, so that the service
    // still answers its own 503 at the cap rather than failing to accept; "" when they
    // fit, else the line that says what was lowered and why.
    std::string fitFileLimit(std::size_t fileLimit);
};
