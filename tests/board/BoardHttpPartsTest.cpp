// The parts of the HTTP layer that need no socket: whose address a request is counted
// against, the rate limiter's table under a flood, and reading a request's target.
#include "board/HttpMessage.h"
#include "board/RateLimiter.h"
#include "board/TrustedProxies.h"

#include <gtest/gtest.h>

#include <chrono>
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
