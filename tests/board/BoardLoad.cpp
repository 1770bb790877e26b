// board_load: verified submissions a second against a running tamq-board on loopback.
//   board_load PORT SECRET_FILE SUBMISSIONS THREADS DIFFICULTY [AUTHORITY]
// (over HTTPS when given the authority's PEM file, as the edge is reached).
// Each run is played to its game over by a scripted player. The records are played and their tokens signed (with the service's secret, as if
// issued when the run began) before the clock starts, so the figure is the service's.
#include "BoardCalls.h"
#include "TestRecords.h"
#include "board/TokenSigner.h"
#include "io/FileReader.h"
#include "io/RunRecord.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 6 && argc != 7) {
        std::fprintf(stderr, "usage: board_load PORT SECRET_FILE SUBMISSIONS THREADS hard|easy [AUTHORITY]\n");
        return 2;
    }
    const int port = std::stoi(argv[1]);
    std::string secret = FileReader::readOrThrow(argv[2]);
    while (!secret.empty() && secret.back() == '\n') {
        secret.pop_back();
    }
    const int submissions = std::stoi(argv[3]);
    const int threads = std::stoi(argv[4]);
    const std::string difficulty = argv[5];
    const std::string authority = argc == 7 ? argv[6] : "";
    // Tokens issued as long ago as the longest scripted run may take.
    const int seconds = 1800;
    double playSeconds = 0;
    TokenSigner signer;
    signer.init(secret);
    const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    std::vector<std::string> bodies;
    for (int i = 0; i < submissions; ++i) {
        RunTicket ticket = TokenSigner::draw("normal", difficulty, now - (seconds + 1) * 1000);
        std::string record = TestRecords::play(ticket.seed, "normal", difficulty, seconds, i);
        RunRecord read;
        std::string fault;
        RunRecord::fromBytes(record, read, fault);
        playSeconds += double(read.ticks) / read.tickRate;
        bodies.push_back(nlohmann::json{{"token", signer.sign(ticket)},
                                        {"name", "LOAD"},
                                        {"playerKey", BoardCalls::playerKey(i)},
                                        {"record", BoardCalls::base64(record)}}
                             .dump());
    }
    std::atomic<int> next{0};
    std::mutex mutex;
    std::map<int, int> statuses;
    std::vector<double> latencies;
    auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            httplib::Client client = BoardCalls::client(port, authority);
            client.set_keep_alive(true);
            client.set_read_timeout(120);
            for (int i = next++; i < submissions; i = next++) {
                auto sent = std::chrono::steady_clock::now();
                auto result = client.Post("/v1/runs", bodies[i], "application/json");
                double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent).count();
                std::lock_guard lock(mutex);
                ++statuses[result ? result->status : -1];
                latencies.push_back(ms);
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::sort(latencies.begin(), latencies.end());
    auto percentile = [&](double p) { return latencies[std::min(latencies.size() - 1, std::size_t(p * latencies.size()))]; };
    std::printf("submissions of %s runs of %.0f s on average: %d in %.2f s, %.1f a second; latency median %.1f ms, "
                "p99 %.1f ms;",
                difficulty.c_str(), playSeconds / submissions, submissions, elapsed, statuses[201] / elapsed, percentile(0.5), percentile(0.99));
    for (const auto& [status, count] : statuses) {
        std::printf(" %d x %d", count, status);
    }
    std::printf("\n");
    return statuses[201] == submissions ? 0 : 1;
}
