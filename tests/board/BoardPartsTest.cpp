// The board's parts that need no database: tokens, names and keys, the rate limiter, the
// verification queue's bound and the settings.
#include "board/BoardConfig.h"
#include "board/HttpServer.h"
#include "board/PlayerIdentity.h"
#include "board/RateLimiter.h"
#include "board/TokenSigner.h"
#include "board/VerifyPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <map>
#include <set>

namespace {

const std::string kSecret(32, 's');
constexpr int64_t kNow = 1765000000000;

std::string signed_(const RunTicket& ticket, const std::string& secret = kSecret) {
    TokenSigner signer;
    signer.init(secret);
    return signer.sign(ticket);
}

RunTicket ticket(int64_t issuedMs) {
    return RunTicket{std::string(32, 'a'), 4000000000u, "random", "easy", issuedMs, ""};
}

}  // namespace

TEST(TokenSigner, ReadsBackWhatItSigned) {
    TokenSigner signer;
    signer.init(kSecret);
    RunTicket drawn = TokenSigner::draw("normal", "hard", kNow);
    RunTicket read;
    ASSERT_EQ(signer.read(signer.sign(drawn), kNow + 1000, read), TokenSigner::Check::Valid);
    EXPECT_EQ(read.id, drawn.id);
    EXPECT_EQ(read.seed, drawn.seed);
    EXPECT_EQ(read.mode, "normal");
    EXPECT_EQ(read.difficulty, "hard");
    EXPECT_EQ(read.issuedMs, kNow);
    EXPECT_NE(TokenSigner::draw("normal", "hard", kNow).id, drawn.id);
}

TEST(TokenSigner, RefusesEveryAlteredOrStaleToken) {
    const std::string good = signed_(ticket(kNow));
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string token = good;
        return token.replace(token.find(from), from.size(), to);
    };
    const RunTicket daily = [] {
        TokenSigner signer;
        signer.init(kSecret);
        return signer.drawDaily("random", "easy", kNow);
    }();
    RunTicket nextDay = daily;
    nextDay.day = "2025-12-07";
    RunTicket otherRoad = daily;
    otherRoad.seed += 1;
    struct Case {
        const char* what;
        std::string token;
        int64_t now;
        TokenSigner::Check expected;
    };
    const Case cases[] = {
        {"fresh", good, kNow, TokenSigner::Check::Valid},
        {"daily road's", signed_(daily), kNow, TokenSigner::Check::Valid},
        {"daily with the next day", signed_(nextDay), kNow, TokenSigner::Check::Malformed},
        {"daily with a seed not the day's", signed_(otherRoad), kNow, TokenSigner::Check::Malformed},
        {"at the end of its life", good, kNow + TokenSigner::kLifetimeMs, TokenSigner::Check::Valid},
        {"past its life", good, kNow + TokenSigner::kLifetimeMs + 1, TokenSigner::Check::Expired},
        {"issued in the future", signed_(ticket(kNow + TokenSigner::kClockSkewMs + 1)), kNow,
         TokenSigner::Check::BadSignature},
        {"other seed", replaced("4000000000", "4000000001"), kNow, TokenSigner::Check::BadSignature},
        {"other mode", replaced("random", "normal"), kNow, TokenSigner::Check::BadSignature},
        {"younger issue time", replaced(std::to_string(kNow), std::to_string(kNow + 5000)), kNow,
         TokenSigner::Check::BadSignature},
        {"other secret", signed_(ticket(kNow), std::string(32, 't')), kNow, TokenSigner::Check::BadSignature},
        {"seed past 32 bits", signed_(ticket(kNow)).replace(35, 10, "4294967296"), kNow,
         TokenSigner::Check::Malformed},
        {"signature cut", good.substr(0, good.size() - 1), kNow, TokenSigner::Check::Malformed},
        {"upper-case signature", good.substr(0, good.size() - 1) + "A", kNow, TokenSigner::Check::Malformed},
        {"other version", "2" + good.substr(1), kNow, TokenSigner::Check::Malformed},
        {"empty", "", kNow, TokenSigner::Check::Malformed},
        {"extra field", replaced(".random.", ".random.x."), kNow, TokenSigner::Check::Malformed},
        {"sign in the seed", replaced("4000000000", "-400000000"), kNow, TokenSigner::Check::Malformed},
        {"huge", good + std::string(300, 'a'), kNow, TokenSigner::Check::Malformed},
    };
    TokenSigner signer;
    signer.init(kSecret);
    for (const Case& c : cases) {
        RunTicket read;
        EXPECT_EQ(signer.read(c.token, c.now, read), c.expected) << c.what << ": " << c.token;
    }
}

TEST(TokenSigner, ADaysRoadIsKnownOnlyThroughTheSecret) {
    // Each secret, day and board its own road.
    std::set<uint32_t> roads;
    for (const std::string& secret : {kSecret, std::string(32, 't')}) {
        TokenSigner signer;
        signer.init(secret);
        for (const char* day : {"2026-12-08", "2026-12-09"}) {
            for (const char* mode : {"normal", "random"}) {
                roads.insert(signer.dailySeed(day, mode, "hard"));
            }
        }
    }
    EXPECT_EQ(roads.size(), 8u);
}

TEST(PlayerIdentity, TakesLongRandomKeysAndStoresOnlyTheirHash) {
    EXPECT_TRUE(PlayerIdentity::validKey(std::string(32, 'k')));
    EXPECT_TRUE(PlayerIdentity::validKey("aZ09-_" + std::string(122, 'q')));
    EXPECT_FALSE(PlayerIdentity::validKey(std::string(31, 'k')));
    EXPECT_FALSE(PlayerIdentity::validKey(std::string(129, 'k')));
    EXPECT_FALSE(PlayerIdentity::validKey(std::string(31, 'k') + "'"));
    EXPECT_FALSE(PlayerIdentity::validKey(std::string(31, 'k') + "="));
    const std::string key(40, 'k');
    EXPECT_EQ(PlayerIdentity::keyHash(key).size(), 32u);
    EXPECT_EQ(PlayerIdentity::keyHash(key), PlayerIdentity::keyHash(key));
    EXPECT_NE(PlayerIdentity::keyHash(key), PlayerIdentity::keyHash(std::string(39, 'k') + "l"));
    EXPECT_EQ(PlayerIdentity::keyHash(key).find(key), std::string::npos);
}

TEST(RateLimiter, AllowsABurstThenTheRateForEachAddressApart) {
    RateLimiter limiter;
    limiter.init(2.0, 3.0);
    auto start = RateLimiter::Clock::now();
    double wait = 0;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(limiter.allow("10.0.0.1", start, wait)) << i;
    }
    EXPECT_FALSE(limiter.allow("10.0.0.1", start, wait));
    EXPECT_NEAR(wait, 0.5, 1e-9);
    EXPECT_TRUE(limiter.allow("10.0.0.2", start, wait));
    EXPECT_TRUE(limiter.allow("10.0.0.1", start + std::chrono::milliseconds(500), wait));
    EXPECT_FALSE(limiter.allow("10.0.0.1", start + std::chrono::milliseconds(500), wait));
    // A long rest fills the bucket only up to the burst.
    auto later = start + std::chrono::hours(1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(limiter.allow("10.0.0.1", later, wait)) << i;
    }
    EXPECT_FALSE(limiter.allow("10.0.0.1", later, wait));
}

TEST(VerifyPool, RefusesPastItsQueueAndRunsWhatItTook) {
    VerifyPool pool;
    pool.start(1, 2);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> running;
    std::atomic<int> done{0};
    ASSERT_TRUE(pool.trySubmit([&] {
        running.set_value();
        released.wait();
        ++done;
    }));
    running.get_future().wait();
    EXPECT_TRUE(pool.trySubmit([&] { ++done; }));
    EXPECT_TRUE(pool.trySubmit([&] { ++done; }));
    EXPECT_FALSE(pool.trySubmit([&] { ++done; }));
    EXPECT_EQ(pool.waiting(), 2u);
    release.set_value();
    pool.stop();
    EXPECT_EQ(done, 3);
}

TEST(BoardConfig, ReadsTheEnvironmentThenTheOptions) {
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        std::map<std::string, std::string> env;
        bool valid;
        const char* faultPart;
    };
    const std::vector<std::string> required = {"--database", "dbname=x", "--secret-file", "/s"};
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), required.begin(), required.end());
        return more;
    };
    const Case cases[] = {
        {"required only", required, {}, true, ""},
        {"from the environment", {}, {{"TAMQ_BOARD_DATABASE", "dbname=x"}, {"TAMQ_BOARD_SECRET_FILE", "/s"}}, true,
         ""},
        {"no database", {"--secret-file", "/s"}, {}, false, "no database"},
        {"no secret", {"--database", "d"}, {}, false, "no secret"},
        {"unknown option", with({"--colour", "red"}), {}, false, "unknown option --colour"},
        {"missing value", with({"--listen"}), {}, false, "--listen needs a value"},
        {"port past 65535", with({"--listen", "127.0.0.1:65536"}), {}, false, "--listen"},
        {"no port", with({"--listen", "127.0.0.1"}), {}, false, "--listen"},
        {"IPv6 host in brackets", with({"--listen", "[::1]:9000"}), {}, true, ""},
        {"IPv6 bracket left open", with({"--listen", "[::1:9000"}), {}, false, "--listen"},
        {"empty brackets", with({"--admin-listen", "[]:9000"}), {}, false, "--admin-listen"},
        {"zero threads", with({"--verify-threads", "0"}), {}, false, "--verify-threads"},
        {"negative rate", with({"--read-rate", "-1"}), {}, false, "--read-rate"},
        {"bad variable", required, {{"TAMQ_BOARD_VERIFY_QUEUE", "many"}}, false, "TAMQ_BOARD_VERIFY_QUEUE"},
        {"option form with =", with({"--verify-queue=7"}), {}, true, ""},
        {"operators' address without port", with({"--admin-listen", "127.0.0.1"}), {}, false, "--admin-listen"},
        {"a trusted network past /32", with({"--trusted-proxies", "10.0.0.0/40"}), {}, false, "--trusted-proxies"},
        {"trusted proxies from the environment", required, {{"TAMQ_BOARD_TRUSTED_PROXIES", "10.0.0.0/8, ::1"}}, true,
         ""},
        {"no idle wait", with({"--idle-timeout", "0"}), {}, false, "--idle-timeout"},
        {"clock behind", with({"--clock-offset", "-604800"}), {}, true, ""},
        {"clock offset not whole", with({"--clock-offset", "1.5"}), {}, false, "--clock-offset"},
        {"clock offset a word", required, {{"TAMQ_BOARD_CLOCK_OFFSET", "soon"}}, false, "TAMQ_BOARD_CLOCK_OFFSET"},
    };
    for (const Case& c : cases) {
        BoardConfig config;
        std::string fault;
        auto env = [&](const char* name) {
            auto it = c.env.find(name);
            return it == c.env.end() ? std::string() : it->second;
        };
        EXPECT_EQ(config.parse(c.arguments, env, fault), c.valid) << c.what << ": " << fault;
        EXPECT_NE(fault.find(c.faultPart), std::string::npos) << c.what << ": " << fault;
    }

    BoardConfig config;
    std::string fault;
    ASSERT_TRUE(config.parse(with({"--listen", "0.0.0.0:9000", "--write-rate", "3:7", "--allow-origins",
                                   "https://a.example,,https://b.example", "--verify-threads", "3"}),
                             [](const char* name) {
                                 return std::string(name) == "TAMQ_BOARD_LISTEN" ? "127.0.0.1:1" : "";
                             },
                             fault));
    EXPECT_EQ(config.host, "0.0.0.0");
    EXPECT_EQ(config.port, 9000);
    EXPECT_EQ(config.writeRate, 3);
    EXPECT_EQ(config.writeBurst, 7);
    EXPECT_EQ(config.allowedOrigins, (std::vector<std::string>{"https://a.example", "https://b.example"}));
    EXPECT_EQ(config.verifyQueue, 12u);

    // Caps over the open-file limit are lowered to fit, and said so; under it they stay.
    EXPECT_EQ(config.fitFileLimit(1u << 20), "");
    EXPECT_EQ(config.maxConnections, 4096u);
    const std::string lowered = config.fitFileLimit(1024);
    EXPECT_NE(lowered.find("--max-connections 4096 exceeds the open-file limit of 1024"), std::string::npos) << lowered;
    EXPECT_EQ(config.maxConnections, 1024 - config.otherFiles());

    ASSERT_TRUE(config.parse(with({"--listen", "[::1]:9000"}), [](const char*) { return std::string(); }, fault));
    EXPECT_EQ(config.host, "::1");
    EXPECT_EQ(HttpServer::address(config.host, config.port), "[::1]:9000");
}
