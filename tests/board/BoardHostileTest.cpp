// Requests no client of ours sends, as one table: each is refused with its status or cut
// off, against the service alone and behind the nginx site of deploy/ (over HTTPS, as the
// game reaches it, and its plain HTTP); afterwards the service still runs, its health
// answers and its memory stays under a bound.
#include "BoardProcess.h"
#include "PgSuite.h"
#include "RawClient.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Target = RawClient::Target;

// Resident memory the service may hold after the table, in KiB: the service holds about
// 20 MiB; a body buffered or inflated whole would take hundreds. AddressSanitizer keeps up
// to 256 MiB of freed memory aside to catch late uses, on top.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kMemoryBoundKiB = (150 + 256) * 1024;
#else
constexpr long kMemoryBoundKiB = 150 * 1024;
#endif
// Connections one address holds open against another's health call.
constexpr int kHogs = 66;

std::string request(const std::string& method, const std::string& target, const std::string& headers = "",
                    const std::string& body = "") {
    return method + " " + target + " HTTP/1.1\r\nHost: board\r\n" + headers + "Connection: close\r\n\r\n" + body;
}

std::string health(const std::string& headers = "") {
    return "GET /v1/health HTTP/1.1\r\nHost: board\r\n" + headers + "\r\n";
}

// size zero bytes in gzip: a few hundred kilobytes that unpack to size.
std::string gzipOfZeros(std::size_t size) {
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, 16 + 15, 9, Z_DEFAULT_STRATEGY);
    std::string zeros(1 << 20, '\0');
    std::string out;
    char buffer[1 << 16];
    for (std::size_t done = 0; done < size; done += zeros.size()) {
        stream.next_in = reinterpret_cast<Bytef*>(zeros.data());
        stream.avail_in = static_cast<uInt>(zeros.size());
        const int flush = done + zeros.size() >= size ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            deflate(&stream, flush);
            out.append(buffer, sizeof buffer - stream.avail_out);
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return out;
}

// The statuses answered, "closed" when the service closed without a word, "silent" when
// nothing came in time.
std::string verdict(RawClient& client, std::chrono::milliseconds budget = 10s) {
    client.readAll(budget);
    std::string seen;
    for (int status : RawClient::statuses(client.received())) {
        seen += (seen.empty() ? "" : " ") + std::to_string(status);
    }
    return !seen.empty() ? seen : client.closed() ? "closed" : "silent";
}

std::string once(const Target& port, const std::string& bytes, const std::string& from = "127.0.0.1") {
    RawClient client;
    if (!client.connect(port, from)) {
        return "no connection";
    }
    client.send(bytes);
    return verdict(client);
}

// head, then chunk after chunk (at most count) until the service answers or closes: it
// must stop a flood well before the flood ends.
std::string flood(const Target& port, const std::string& head, const std::string& chunk, int count) {
    RawClient client;
    if (!client.connect(port)) {
        return "no connection";
    }
    int sent = 0;
    if (client.send(head)) {
        while (sent < count && !client.answered() && client.send(chunk)) {
            ++sent;
        }
    }
    std::string seen = verdict(client);
    return sent < count ? seen : seen + " (took it all)";
}

// kHogs connections of one address trickle a request (a byte each every 400 ms), or ask
// again and again on kept connections, while another address asks for health, which must
// come well within the time they go on (3 s). The trickling ones must then be cut off at
// the request's deadline.
std::string hogsAndProbe(const Target& port, bool trickle) {
    std::vector<RawClient> hogs(kHogs);
    for (RawClient& hog : hogs) {
        if (hog.connect(port, "127.0.0.1")) {
            hog.send(trickle ? "GET /v1/health HTTP/1.1\r\nX-Slow: " : health());
        }
    }
    std::atomic<bool> probed{false};
    std::thread pacer([&] {
        for (int round = 0; round < 8 && !probed; ++round) {
            std::this_thread::sleep_for(400ms);
            for (RawClient& hog : hogs) {
                hog.send(trickle ? "s" : health());
            }
        }
    });
    RawClient probe;
    std::string seen = "no connection";
    if (probe.connect(port, "127.0.0.2") && probe.send(request("GET", "/v1/health"))) {
        seen = verdict(probe, 3s);
    }
    probed = true;
    pacer.join();
    if (trickle) {
        for (RawClient& hog : hogs) {
            hog.readAll(20s);
            if (!hog.closed()) {
                return seen + " (a trickling connection was kept)";
            }
        }
    }
    return seen;
}

std::string manyHeaders(int count, std::size_t valueBytes) {
    std::string headers;
    for (int i = 0; i < count; ++i) {
        headers += "X-H" + std::to_string(i) + ": " + std::string(valueBytes, 'v') + "\r\n";
    }
    return headers;
}

long residentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

// A body of depth nested arrays, sent from many addresses at once (a bucket each): the
// service must refuse each without building it, and keep no memory after.
std::string nestedBodies(const Target& port, std::size_t depth) {
    const std::string body = std::string(depth, '[') + std::string(depth, ']');
    const std::string bytes =
        request("POST", "/v1/runs/start", "Content-Length: " + std::to_string(body.size()) + "\r\n", body);
    std::vector<std::string> seen(8);
    std::vector<std::thread> senders;
    for (int t = 0; t < 8; ++t) {
        senders.emplace_back([&, t] {
            for (int i = 0; i < 25 && seen[t].empty(); ++i) {
                const std::string status = once(port, bytes, "127.0.2." + std::to_string(t * 25 + i + 1));
                if (status != "400") {
                    seen[t] = status;
                }
            }
        });
    }
    for (std::thread& sender : senders) {
        sender.join();
    }
    for (const std::string& status : seen) {
        if (!status.empty()) {
            return status;
        }
    }
    return std::string("400");
}

// Connections of one /24 past its share hold no place of another network: a fresh address
// of the crowd's network is refused, one of another answered.
std::string networkCrowd(const Target& port) {
    std::vector<RawClient> crowd(9 * 64);
    for (std::size_t i = 0; i < crowd.size(); ++i) {
        crowd[i].connect(port, "127.0.0." + std::to_string(20 + i / 64));
    }
    return once(port, request("GET", "/v1/health"), "127.0.0.30") + " " +
           once(port, request("GET", "/v1/health"), "127.0.1.1");
}

struct Row {
    const char* name;
    std::function<std::string(const Target& port)> run;
    // What may be seen, alternatives split by '|'; behind nginx, which refuses some itself
    // (nothing: the row is not run there).
    const char* direct;
    const char* proxied;
};

const std::vector<Row>& rows() {
    static const std::string bomb = gzipOfZeros(200u << 20);
    static const std::vector<Row> table = {
        {"GET of a path not UTF-8", [](const Target& p) { return once(p, request("GET", "/v1/%ff")); }, "404", "404"},
        {"POST of a path not UTF-8",
         [](const Target& p) { return once(p, request("POST", "/v1/%ff", "Content-Length: 0\r\n")); }, "404", "404"},
        {"DELETE of a lone continuation byte", [](const Target& p) { return once(p, request("DELETE", "/v1/%80")); }, "404",
         "404"},
        {"a UTF-16 surrogate", [](const Target& p) { return once(p, request("GET", "/%ed%a0%80")); }, "404", "404"},
        {"an overlong slash", [](const Target& p) { return once(p, request("GET", "/v1/%c0%af")); }, "404", "404"},
        {"a record path ending in 0xff", [](const Target& p) { return once(p, request("GET", "/v1/runs/1/record%ff")); }, "404",
         "404"},
        {"a NUL in the path", [](const Target& p) { return once(p, request("GET", "/v1/health%00")); }, "404", "400|404"},
        {"a raw 0xff byte in the path", [](const Target& p) { return once(p, request("GET", "/v1/\xff")); }, "400|404",
         "400|404"},
        {"a gzip bomb", [](const Target& p) {
             return once(p, request("POST", "/v1/runs/start",
                                    "Content-Encoding: gzip\r\nContent-Length: " + std::to_string(bomb.size()) + "\r\n",
                                    bomb));
         },
         "415", "415"},
        {"100 MB chunked",
         [](const Target& p) {
             return flood(p, "POST /v1/runs HTTP/1.1\r\nHost: board\r\nTransfer-Encoding: chunked\r\n\r\n",
                          "100000\r\n" + std::string(0x100000, 'c') + "\r\n", 100);
         },
         "413|closed", "413|closed"},
        {"a POST without length", [](const Target& p) { return once(p, request("POST", "/v1/runs")); }, "411", "411"},
        {"a Content-Length past the limit",
         [](const Target& p) { return once(p, request("POST", "/v1/runs", "Content-Length: 100000000\r\n")); }, "413", "413"},
        {"a request line of 100 MB",
         [](const Target& p) { return flood(p, "GET /v1/health?", std::string(1 << 20, 'a'), 100); }, "414", "414"},
        {"a header of 100 MB",
         [](const Target& p) { return flood(p, "GET /v1/health HTTP/1.1\r\nX-Big: ", std::string(1 << 20, 'h'), 100); },
         "431", "400|431"},
        {"10,000 headers of 8 KB",
         [](const Target& p) {
             return flood(p, "GET /v1/health HTTP/1.1\r\nHost: board\r\n", manyHeaders(100, 8000), 100);
         },
         "431", "400|431"},
        // Host and 63 more, and Connection, which is not counted.
        {"64 headers", [](const Target& p) { return once(p, request("GET", "/v1/health", manyHeaders(63, 8))); }, "200",
         "200"},
        {"65 headers", [](const Target& p) { return once(p, request("GET", "/v1/health", manyHeaders(64, 8))); }, "431", "431"},
        {"five requests in one write",
         [](const Target& p) { return once(p, health() + health() + health() + health() + request("GET", "/v1/health")); },
         "200 200 200 200 200", "200 200 200 200 200"},
        {"a GET whose body is a request",
         [](const Target& p) {
             const std::string hidden = request("GET", "/v1/nothing");
             return once(p, health("Content-Length: " + std::to_string(hidden.size()) + "\r\n") + hidden +
                                request("GET", "/v1/health"));
         },
         "200 200", "200 200"},
        {"Content-Length and chunked together",
         [](const Target& p) {
             return once(p, "POST /v1/runs/start HTTP/1.1\r\nHost: board\r\nContent-Length: 4\r\n"
                            "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n" +
                                request("GET", "/v1/nothing"));
         },
         "400", "400"},
        {"two lengths", [](const Target& p) { return once(p, request("GET", "/v1/health", "Content-Length: 3\r\nContent-Length: 5\r\n", "abcde")); },
         "400", "400"},
        {"bodies of POSTs refused for their rate, then a GET",
         [](const Target& p) {
             std::string burst;
             const std::string body = R"({"mode": "normal", "difficulty": "hard"})";
             for (int i = 0; i < 12; ++i) {
                 burst += "POST /v1/runs/start HTTP/1.1\r\nHost: board\r\nContent-Length: " +
                          std::to_string(body.size()) + "\r\n\r\n" + body;
             }
             return once(p, burst + request("GET", "/v1/health"), "127.0.0.9");
         },
         "200 200 200 200 200 200 200 200 200 200 429 429 200", "200 200 200 200 200 200 200 200 200 200 429 429 200"},
        // Behind the proxy each player has a bucket of their own: three players' five
        // starts each are more than one bucket holds.
        {"three players starting runs through the proxy",
         [](const Target& p) {
             const std::string body = R"({"mode": "normal", "difficulty": "hard"})";
             std::string seen;
             for (const char* player : {"127.0.0.4", "127.0.0.5", "127.0.0.6"}) {
                 for (int i = 0; i < 5; ++i) {
                     const std::string status = once(
                         p, request("POST", "/v1/runs/start", "Content-Length: " + std::to_string(body.size()) + "\r\n", body),
                         player);
                     if (status != "200") {
                         return std::string(player) + ": " + status;
                     }
                 }
             }
             return std::string("200");
         },
         nullptr, "200"},
        {"a form body over 8 KiB",
         [](const Target& p) {
             const std::string form = "mode=" + std::string(9000, 'n');
             return once(p, request("POST", "/v1/runs/start",
                                    "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                                        std::to_string(form.size()) + "\r\n",
                                    form));
         },
         "400", "400"},
        {"a NUL inside a known mode",
         [](const Target& p) {
             const std::string body = R"({"mode": "normal\u0000", "difficulty": "hard"})";
             return once(p, request("POST", "/v1/runs/start", "Content-Length: " + std::to_string(body.size()) + "\r\n",
                                    body), "127.0.0.10");
         },
         "400", "400"},
        {"200 bodies of 175,000 nested arrays", [](const Target& p) { return nestedBodies(p, 175000); }, "400", "400"},
        {"576 connections of one network", networkCrowd, "503 200", nullptr},
        {"metrics asked of the public address", [](const Target& p) { return once(p, request("GET", "/metrics")); }, "404",
         "404"},
        // nginx keeps its clients' connections longer, as it may.
        {"a kept-alive connection left idle",
         [](const Target& p) {
             RawClient client;
             if (!client.connect(p)) {
                 return std::string("no connection");
             }
             client.send(health());
             const std::string seen = verdict(client);
             return client.closed() ? seen : seen + " (kept open)";
         },
         "200", nullptr},
        // The edge's plain HTTP sends reads to HTTPS and refuses writes at once, never
        // reading a body for an instance.
        {"a GET over plain HTTP", [](const Target& p) { return once(p.plain, request("GET", "/v1/health")); }, nullptr,
         "301"},
        {"100 MB chunked over plain HTTP",
         [](const Target& p) {
             return flood(p.plain, "POST /v1/runs HTTP/1.1\r\nHost: board\r\nTransfer-Encoding: chunked\r\n\r\n",
                          "100000\r\n" + std::string(0x100000, 'c') + "\r\n", 100);
         },
         nullptr, "403"},
        {"66 connections trickling a request", [](const Target& p) { return hogsAndProbe(p, true); }, "200", "200"},
        {"66 connections kept alive", [](const Target& p) { return hogsAndProbe(p, false); }, "200", "200"},
    };
    return table;
}

bool expected(const std::string& seen, const std::string& alternatives) {
    std::size_t start = 0;
    while (start <= alternatives.size()) {
        std::size_t bar = std::min(alternatives.find('|', start), alternatives.size());
        if (alternatives.compare(start, bar - start, seen) == 0) {
            return true;
        }
        start = bar + 1;
    }
    return false;
}

class BoardHostile : public PgSuite {
protected:
    // Short deadlines, so that the trickling rows end in seconds; the write rate of a
    // real service, for the rate row.
    static std::vector<std::string> options() {
        std::vector<std::string> short_ = {"--client-timeout", "1", "--write-rate", "2:10"};
        // An older build, run to see which rows it fails, has no idle timeout of its own.
        const char* other = std::getenv("TAMQ_TEST_BOARD_EXE");
        if (!other || !*other) {
            short_.insert(short_.end(), {"--idle-timeout", "1"});
        }
        return short_;
    }

    // Every row against port, the service restarted (and the row failed) should one end it.
    static void runTable(BoardProcess& service, Target target, bool proxied, const std::vector<std::string>& extra) {
        for (const Row& row : rows()) {
            if (!(proxied ? row.proxied : row.direct)) {
                continue;
            }
            const std::string seen = row.run(target);
            EXPECT_TRUE(expected(seen, proxied ? row.proxied : row.direct))
                << (proxied ? "through nginx: " : "") << row.name << ": " << seen;
            RawClient still;
            if (!service.alive() || !still.connect(service.port())) {
                ADD_FAILURE() << row.name << ": the service ended";
                service.kill9();
                service.start(cluster_->conninfo(), extra);
                target = proxied ? target : Target(service.port());
            }
        }
        ASSERT_TRUE(service.alive());
        EXPECT_EQ(once(target, request("GET", "/v1/health"), "127.0.0.3"), "200");
        const long memory = residentKiB(service.pid());
        std::printf("resident memory after the table%s: %ld KiB\n", proxied ? " through nginx" : "", memory);
        EXPECT_GT(memory, 0);
        EXPECT_LT(memory, kMemoryBoundKiB);
    }
};

TEST_F(BoardHostile, EveryRowIsRefusedOrCutOffAndTheServiceCarriesOn) {
    BoardProcess service;
    service.start(cluster_->conninfo(), options());
    runTable(service, service.port(), false, options());
}

TEST_F(BoardHostile, ThroughNginxTooWithTheClientsOwnAddress) {
    std::vector<std::string> extra = options();
    // nginx alone, from the address tamq_edge_start has it reach the instances from.
    extra.insert(extra.end(), {"--trusted-proxies", "127.0.0.2"});
    BoardProcess service;
    service.start(cluster_->conninfo(), extra);
    const std::string folder = PgCluster::shell("mktemp -d /tmp/tamq-edge-XXXXXX");
    const Target edge(PgCluster::freePort(), folder + "/ca.pem", PgCluster::freePort());
    // Reads unlimited at the edge: the table asks more than a player would.
    PgCluster::shell("TAMQ_EDGE_READ_RATE=100000r/s bash -c 'source " TAMQ_SOURCE_DIR
                     "/scripts/lib/edge.sh && tamq_edge_start \"$0\" \"$1\" \"$2\" \"$3\"' " +
                     folder + " " + std::to_string(edge.port) + " " + std::to_string(edge.plain) +
                     " 127.0.0.1:" + std::to_string(service.port()));
    runTable(service, edge, true, extra);
    PgCluster::shell("bash -c 'source " TAMQ_SOURCE_DIR "/scripts/lib/edge.sh && tamq_edge_stop \"$0\"' " + folder +
                     " && rm -rf " + folder);
}

}  // namespace

namespace {

TEST_F(BoardHostile, MetricsAreOnTheOperatorsAddressOnlyAndEachRequestIsLogged) {
    const int admin = PgCluster::freePort();
    BoardProcess service;
    service.keepOutput();
    service.start(cluster_->conninfo(), {"--admin-listen", "127.0.0.1:" + std::to_string(admin)});
    EXPECT_EQ(once(service.port(), request("GET", "/v1/health")), "200");
    EXPECT_EQ(once(service.port(), request("GET", "/v1/%ff")), "404");
    EXPECT_EQ(once(service.port(), request("GET", "/metrics")), "404");
    EXPECT_EQ(once(admin, request("GET", "/v1/health")), "404");
    RawClient scrape;
    ASSERT_TRUE(scrape.connect(admin));
    scrape.send(request("GET", "/metrics"));
    const std::string text = scrape.readAll(10s);
    for (const char* line : {"200 OK", "# TYPE tamq_board_requests_total counter",
                             "tamq_board_requests_total{call=\"health\",status=\"200\"} 1\n",
                             "tamq_board_requests_total{call=\"-\",status=\"404\"} 2\n",
                             "# TYPE tamq_board_verify_seconds histogram", "tamq_board_verify_seconds_bucket{le=\"+Inf\"} 0\n",
                             "tamq_board_verify_queue_depth 0\n", "# TYPE tamq_board_database_errors_total counter",
                             "tamq_board_database_errors_total 0\n", "# TYPE tamq_board_database_connections gauge",
                             "tamq_board_refused_connections_total{cap=\"network\"} 0\n",
                             "tamq_board_log_dropped_total 0\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    }
    // One JSON line per request on the public address, whatever bytes its path held.
    std::string log;
    for (int i = 0; i < 50 && std::count(log.begin(), log.end(), '\n') < 4; ++i) {
        log += service.output(100ms);
    }
    std::vector<nlohmann::json> lines;
    for (std::size_t start = log.find('{'); start != std::string::npos; start = log.find('{', start + 1)) {
        lines.push_back(nlohmann::json::parse(log.substr(start, log.find('\n', start) - start)));
        start = log.find('\n', start);
    }
    ASSERT_EQ(lines.size(), 3u) << log;
    EXPECT_EQ(lines[0]["call"], "health");
    EXPECT_EQ(lines[0]["status"], 200);
    EXPECT_EQ(lines[0]["client"], "127.0.0.1");
    EXPECT_EQ(lines[1]["path"], "/v1/\xef\xbf\xbd");
    EXPECT_EQ(lines[1]["status"], 404);
    for (const nlohmann::json& line : lines) {
        for (const char* field : {"time", "client", "method", "path", "status", "ms", "in", "out", "call"}) {
            EXPECT_TRUE(line.contains(field)) << field << ": " << line.dump();
        }
        EXPECT_GT(line["out"].get<long long>(), 0);
    }
    // Nobody reads the log now: a burst of long paths fills its pipe, and the service
    // answers all the same.
    std::string burst;
    for (int i = 0; i < 30; ++i) {
        burst += health() .replace(4, 10, "/v1/" + std::string(7000, 'p'));
    }
    RawClient reader;
    ASSERT_TRUE(reader.connect(service.port(), "127.0.0.11"));
    reader.send(burst);
    reader.readAll(2s);
    EXPECT_EQ(once(service.port(), request("GET", "/v1/health"), "127.0.0.12"), "200");
    EXPECT_EQ(once(admin, request("GET", "/metrics"), "127.0.0.12"), "200");
}

}  // namespace
