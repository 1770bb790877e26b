// The parts of the HTTP layer that need no socket: whose address a request is counted
// against and held to, the rate limiter's table under a flood, the log that cannot stall
// the service, and reading a request's target and a route's path.
#include "board/ConnectionCaps.h"
#include "board/HttpMessage.h"
#include "board/RequestLog.h"
#include "board/RateLimiter.h"
#include "board/RoutePath.h"
#include "board/TrustedProxies.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <thread>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

TEST(TrustedProxies, TheClientIsTheNearestHopNoTrustedProxyWrote) {
    struct Case {
        const char* trusted;
        const char* peer;
        std::vector<std::string> forwardedFor;
        const char* client;
    };
    const Case cases[] = {
        {"", "203.0.113.5", {"198.51.100.7"}, "203.0.113.5"},
        {"127.0.0.1", "203.0.113.5", {"198.51.100.7"}, "203.0.113.5"},
        {"127.0.0.1", "127.0.0.1", {}, "127.0.0.1"},
        {"127.0.0.1", "127.0.0.1", {"198.51.100.7"}, "198.51.100.7"},
        {"127.0.0.1", "127.0.0.1", {"6.6.6.6, 198.51.100.7"}, "198.51.100.7"},
        {"10.0.0.0/8,127.0.0.1", "127.0.0.1", {"6.6.6.6,198.51.100.7 , 10.1.2.3"}, "198.51.100.7"},
        {"10.0.0.0/8", "10.9.9.9", {"6.6.6.6", "198.51.100.7"}, "198.51.100.7"},
        {"10.0.0.0/8", "10.0.0.1", {"10.0.0.2, 10.0.0.3"}, "10.0.0.2"},
        {"127.0.0.1", "127.0.0.1", {"not an address"}, "127.0.0.1"},
        {"127.0.0.1", "127.0.0.1", {"198.51.100.7, garbage"}, "127.0.0.1"},
        {"127.0.0.1", "::ffff:127.0.0.1", {"198.51.100.7"}, "198.51.100.7"},
        {"::1, fd00::/8", "::1", {"2001:db8::5"}, "2001:db8::5"},
        {"fd00::/8", "fd12::1", {"2001:db8::1, fd00::9"}, "2001:db8::1"},
        {"fd00::/8", "fe80::1", {"2001:db8::1"}, "fe80::1"},
    };
    for (const Case& c : cases) {
        TrustedProxies proxies;
        std::string fault;
        ASSERT_TRUE(proxies.init(c.trusted, fault)) << c.trusted << ": " << fault;
        EXPECT_EQ(proxies.client(c.peer, c.forwardedFor), c.client) << c.trusted << " " << c.peer;
    }
    for (const char* bad : {"1.2.3", "10.0.0.0/33", "::1/129", "10.0.0.0/x", "10.0.0.0/", "host.example"}) {
        TrustedProxies proxies;
        std::string fault;
        EXPECT_FALSE(proxies.init(bad, fault)) << bad;
        EXPECT_NE(fault.find(bad), std::string::npos) << fault;
    }
}

TEST(RateLimiter, KeepsItsTableBoundedUnderAFloodOfAddresses) {
    struct Case {
        const char* what;
        double rate;
        std::size_t capacity;
        int addresses;
        std::chrono::milliseconds apart;
        std::size_t most;
    };
    using std::chrono::milliseconds;
    const Case cases[] = {
        // Each bucket is full again a second later: the quiet ones go as new ones come.
        {"a slow flood", 1.0, 100000, 30000, milliseconds(1000), 3},
        // All at once, nobody's bucket refills: the table stops at its size.
        {"a flood at once", 1.0, 1000, 30000, milliseconds(0), 1000},
        {"a fast flood", 0.01, 500, 5000, milliseconds(10), 500},
    };
    for (const Case& c : cases) {
        RateLimiter limiter;
        limiter.init(c.rate, 1.0, c.capacity);
        const auto start = RateLimiter::Clock::now();
        double wait = 0;
        for (int i = 0; i < c.addresses; ++i) {
            limiter.allow("10.0." + std::to_string(i), start + c.apart * i, wait);
        }
        EXPECT_LE(limiter.size(), c.most) << c.what;
        // The latest address is still held to its rate.
        const auto last = start + c.apart * (c.addresses - 1);
        EXPECT_FALSE(limiter.allow("10.0." + std::to_string(c.addresses - 1), last, wait)) << c.what;
        // The first, forgotten, comes back as a stranger with a full bucket.
        EXPECT_TRUE(limiter.allow("10.0.0", last, wait)) << c.what;
    }
}

TEST(HttpRequest, ReadsAnyTargetIntoPathAndQuery) {
    struct Case {
        const char* target;
        std::string path;
        const char* limit;
    };
    const Case cases[] = {
        {"/v1/boards/normal/hard?limit=5&offset=1", "/v1/boards/normal/hard", "5"},
        {"/v1/boards/normal/hard?offset=1&limit=%35", "/v1/boards/normal/hard", "5"},
        {"/v1/%ff?limit", "/v1/\xff", ""},
        {"/v1/%00%zz%4", std::string("/v1/\0%zz%4", 10), nullptr},
        {"/v1/health?limited=3", "/v1/health", nullptr},
    };
    for (const Case& c : cases) {
        HttpRequest request;
        request.target = c.target;
        request.splitTarget();
        EXPECT_EQ(request.path, c.path) << c.target;
        std::optional<std::string> limit = request.param("limit");
        EXPECT_EQ(limit.has_value(), c.limit != nullptr) << c.target;
        if (limit && c.limit) {
            EXPECT_EQ(*limit, c.limit) << c.target;
        }
    }
    // Bytes of a request put into JSON never throw: what is not UTF-8 is replaced.
    for (const char* path : {"/v1/\xff", "/\xed\xa0\x80", "/\xc0\xaf", "/v1/runs/1/record\x80"}) {
        const std::string text = jsonText(nlohmann::json{{"path", path}});
        EXPECT_NE(text.find("\xef\xbf\xbd"), std::string::npos) << text;
        EXPECT_FALSE(nlohmann::json::parse(text, nullptr, false).is_discarded()) << text;
    }
}

TEST(HttpRequest, ARoutesPathGivesItsCallTypedValuesOrNoMatch) {
    using Fit = RoutePath::Fit;
    struct Case {
        const char* pattern;
        const char* path;
        Fit fit;
        Mode mode;
        Difficulty difficulty;
        long long runId;
        const char* playerId;
    };
    const Case cases[] = {
        {"/v1/boards/{board}", "/v1/boards/random/easy", Fit::Yes, Mode::Random, Difficulty::Easy, 0, ""},
        {"/v1/boards/{board}/around", "/v1/boards/normal/hard/around", Fit::Yes, Mode::Normal, Difficulty::Hard, 0, ""},
        {"/v1/boards/{board}", "/v1/boards/normal/hardest", Fit::UnknownBoard, {}, {}, 0, ""},
        {"/v1/boards/{board}", "/v1/boards/normal/hard/around", Fit::No, {}, {}, 0, ""},
        {"/v1/boards/{board}", "/v1/boards/Normal/hard", Fit::No, {}, {}, 0, ""},
        {"/v1/runs/{run}/record", "/v1/runs/999999999999999999/record", Fit::Yes, {}, {}, 999999999999999999LL, ""},
        {"/v1/runs/{run}", "/v1/runs/1000000000000000000", Fit::No, {}, {}, 0, ""},
        {"/v1/runs/{run}", "/v1/runs/-1", Fit::No, {}, {}, 0, ""},
        {"/v1/runs.{run}", "/v1/runsx7", Fit::No, {}, {}, 0, ""},
        {"/v1/players/{player}", "/v1/players/0123456789abcdef", Fit::Yes, {}, {}, 0, "0123456789abcdef"},
        {"/v1/players/{player}", "/v1/players/0123456789ABCDEF", Fit::No, {}, {}, 0, ""},
    };
    for (const Case& c : cases) {
        RoutePath::Values values;
        ASSERT_EQ(RoutePath(c.pattern).read(c.path, values), c.fit) << c.path;
        if (c.fit == Fit::Yes) {
            EXPECT_EQ(values.board.mode, c.mode) << c.path;
            EXPECT_EQ(values.board.difficulty, c.difficulty) << c.path;
            EXPECT_EQ(values.runId, c.runId) << c.path;
            EXPECT_EQ(values.playerId, c.playerId) << c.path;
        }
    }
    EXPECT_THROW(RoutePath("/v1/runs/{id}"), std::logic_error);
    EXPECT_THROW(RoutePath("/v1/runs/{run"), std::logic_error);
}

TEST(ConnectionCaps, HoldsAClientAndANetworkToTheirShareAndLeavesTheRestToOthers) {
    struct Case {
        const char* address;
        const char* client;
        const char* network;
    };
    const Case keys[] = {
        {"192.0.2.7", "192.0.2.7", "192.0.2.0/24"},
        {"::ffff:192.0.2.7", "192.0.2.7", "192.0.2.0/24"},
        {"2001:db8:1:2:aaaa::1", "2001:db8:1:2::/64", "2001:db8:1::/48"},
        {"2001:db8:1:2:ffff:ffff:ffff:ffff", "2001:db8:1:2::/64", "2001:db8:1::/48"},
        {"not an address", "not an address", "not an address"},
    };
    for (const Case& c : keys) {
        EXPECT_EQ(ConnectionCaps::client(c.address), c.client) << c.address;
        EXPECT_EQ(ConnectionCaps::network(c.address), c.network) << c.address;
    }
    // 64 places, 4 a client, 8 a network: addresses of one /64 are one client, and the
    // addresses of one /24 stop at the network's share with places left for others.
    using R = ConnectionCaps::Refusal;
    ConnectionCaps caps;
    caps.init(4, 64);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(caps.take("2001:db8::" + std::to_string(i + 1), true), R::None) << i;
    }
    EXPECT_EQ(caps.take("2001:db8::99", true), R::Client);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(caps.take("198.51.100." + std::to_string(i / 2 + 1), true), R::None) << i;
    }
    EXPECT_EQ(caps.take("198.51.100.77", true), R::Network);
    EXPECT_EQ(caps.take("203.0.113.1", true), R::None);
    caps.give("198.51.100.1", true);
    EXPECT_EQ(caps.take("198.51.100.77", true), R::None);
    for (int i = 0; i < 51; ++i) {
        EXPECT_EQ(caps.take("10.0.0.1", false), R::None) << i;
    }
    EXPECT_EQ(caps.open(), 64u);
    EXPECT_EQ(caps.take("10.0.0.1", false), R::Total);
}

TEST(RequestLog, ALogNobodyReadsDropsLinesAndSamplesRefusals) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    std::FILE* out = fdopen(ends[1], "w");
    RequestLog log;
    log.start(out);
    // Nobody reads: each write returns at once, and past the pipe and the queue it drops.
    const auto started = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < 3 * RequestLog::kQueueLines; ++i) {
        log.write(std::string(200, 'x'));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_GT(log.dropped(), 0u);
    std::thread reader([&] {
        char buffer[65536];
        while (read(ends[0], buffer, sizeof buffer) > 0) {
        }
    });
    log.stop();
    std::fclose(out);
    reader.join();
    close(ends[0]);

    const auto now = RequestLog::Clock::now();
    unsigned long long skipped = 99;
    EXPECT_TRUE(log.sample("192.0.2.1", now, skipped));
    EXPECT_EQ(skipped, 0u);
    EXPECT_FALSE(log.sample("192.0.2.1", now + std::chrono::seconds(1), skipped));
    EXPECT_FALSE(log.sample("192.0.2.1", now + std::chrono::seconds(2), skipped));
    EXPECT_TRUE(log.sample("192.0.2.2", now + std::chrono::seconds(2), skipped));
    EXPECT_TRUE(log.sample("192.0.2.1", now + RequestLog::kSampleInterval, skipped));
    EXPECT_EQ(skipped, 2u);
}
