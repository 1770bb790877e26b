#include "PgCluster.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

PgCluster::~PgCluster() {
    if (folder_.empty()) {
        return;
    }
    try {
        stop("immediate");
    } catch (const std::exception&) {
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::string PgCluster::shell(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        throw std::runtime_error("cannot run " + command);
    }
    std::string output;
    std::array<char, 4096> buffer;
    while (std::size_t count = std::fread(buffer.data(), 1, buffer.size(), pipe)) {
        output.append(buffer.data(), count);
    }
    if (pclose(pipe) != 0) {
        throw std::runtime_error("failed: " + command + "\n" + output);
    }
    while (!output.empty() && output.back() == '\n') {
        output.pop_back();
    }
    return output;
}

std::string PgCluster::script(const std::string& arguments) {
    // Only the conninfo comes on standard output; the complaints are kept apart and told
    // when the script fails.
    std::string errors = folder_ + ".err";
    try {
        std::string output =
            shell("bash " TAMQ_SOURCE_DIR "/tests/board/pg-cluster.sh " + arguments + " 2>" + errors);
        std::remove(errors.c_str());
        return output;
    } catch (const std::runtime_error& failure) {
        std::ifstream said(errors);
        std::string text((std::istreambuf_iterator<char>(said)), std::istreambuf_iterator<char>());
        std::remove(errors.c_str());
        throw std::runtime_error(failure.what() + text);
    }
}

int PgCluster::freePort() {
    return std::stoi(shell("bash " TAMQ_SOURCE_DIR "/tests/board/pg-cluster.sh port"));
}

void PgCluster::start() {
    char pattern[] = "/tmp/tamq-board-pg-XXXXXX";
    folder_ = mkdtemp(pattern);
    conninfo_ = script("start " + folder_ + " " + std::to_string(freePort()));
}

void PgCluster::startReplicaOf(const PgCluster& primary, bool synchronous) {
    char pattern[] = "/tmp/tamq-board-replica-XXXXXX";
    folder_ = mkdtemp(pattern);
    conninfo_ = script(std::string(synchronous ? "standby " : "replica ") + primary.folder() + " " + folder_ + " " +
                       std::to_string(freePort()));
}

void PgCluster::promote() {
    script("promote " + folder_);
}

void PgCluster::kill9() {
    // Here rather than through the script, so the loss falls at the moment the test says.
    std::ifstream pidFile(folder_ + "/data/postmaster.pid");
    pid_t pid = 0;
    if (!(pidFile >> pid) || pid <= 0) {
        throw std::runtime_error(folder_ + ": no server running");
    }
    ::kill(pid, SIGKILL);
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (::kill(pid, 0) == 0 && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void PgCluster::stop(const std::string& mode) {
    script("stop " + folder_ + " " + mode);
}

void PgCluster::restart() {
    script("restart " + folder_);
}

#define TAMQ_COUNTED \
    "SELECT b.mode, b.difficulty, b.season, l.level, floor(b.score)::bigint >> (6 * l.level), count(*) " \
    "FROM best_runs b CROSS JOIN generate_series(0, 4) AS l (level) GROUP BY 1, 2, 3, 4, 5"
#define TAMQ_KEPT "SELECT mode, difficulty, season, level, bucket, runs FROM rank_counts WHERE runs <> 0"
const char* const PgCluster::kKeptCountsAstray =
    "(" TAMQ_COUNTED " EXCEPT " TAMQ_KEPT ") UNION ALL (" TAMQ_KEPT " EXCEPT " TAMQ_COUNTED ")";
#undef TAMQ_COUNTED
#undef TAMQ_KEPT
