#pragma once

#include <string>

// A throwaway PostgreSQL cluster in a temporary folder, started through the project's
// script (tests/board/pg-cluster.sh) on a free port of 127.0.0.1, and removed with its folder.
class PgCluster {
public:
    PgCluster() = default;
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;
    ~PgCluster();

    // A new cluster with a database "board"; throws with the script's words when it fails.
    void start();
    // A streaming standby of primary, copied with pg_basebackup; a synchronous one makes
    // every commit of primary wait until it has it.
    void startReplicaOf(const PgCluster& primary, bool synchronous = false);
    // The standby takes writes.
    void promote();
    // SIGKILL to the server, as if its machine were lost.
    void kill9();
    void stop(const std::string& mode = "fast");
    void restart();

    const std::string& conninfo() const { return conninfo_; }
    const std::string& folder() const { return folder_; }

    // The board's kept rank counts that differ from its bests counted afresh: a query
    // answering no rows when they agree.
    static const char* const kKeptCountsAstray;

    // A port of 127.0.0.1 nobody listens on now.
    static int freePort();
    // Runs a shell command line; its standard output, or a std::runtime_error on failure.
    static std::string shell(const std::string& command);

private:
    std::string script(const std::string& arguments);

    std::string folder_;
    std::string conninfo_;
};
