#pragma once

#include "vocab/TokenTimes.h"

#include <cstdint>
#include <string>
#include <string_view>

// What a run token promises: the run it was issued for and when.
struct RunTicket {
    // 32 hex digits drawn at random; a stored run spends it.
    std::string id;
    uint32_t seed = 0;
    std::string mode;
    std::string difficulty;
    // Milliseconds since 1970 on the service's clock.
    int64_t issuedMs = 0;
    // A daily road's token: the UTC date it was given on ("2026-12-08"), whose table the
    // run counts on; empty for a run of its own seed.
    std::string day;
};

// Makes and checks run tokens: the ticket's fields in plain text, then an HMAC-SHA256 of
// them under the server's secret. Nothing is stored when a token is issued, so any
// instance sharing the secret can check any token.
// "1.<id>.<seed>.<mode>.<difficulty>.<issuedMs>.<64 hex digits of HMAC>", and a daily
// road's "1.<id>.<seed>.<mode>.<difficulty>.<issuedMs>.<day>.<HMAC>".
class TokenSigner {
public:
    // How long after its issue a token still takes a run (see TokenTimes).
    static constexpr int64_t kLifetimeMs = TokenTimes::kBoardAcceptsMilliseconds;
    // Instances' clocks may differ a little; a token from further ahead is forged.
    static constexpr int64_t kClockSkewMs = 60 * 1000;
    // The shortest secret accepted: the HMAC's own block of strength.
    static constexpr std::size_t kMinSecretBytes = 32;

    enum class Check { Valid, Malformed, BadSignature, Expired };

    // The secret's bytes; see kMinSecretBytes.
    void init(std::string secret) { secret_ = std::move(secret); }

    std::string sign(const RunTicket& ticket) const;
    // Valid with ticket filled in; any other answer leaves it unspecified.
    Check read(std::string_view token, int64_t nowMs, RunTicket& ticket) const;

    // A fresh ticket for a run of mode and difficulty: random id and seed, issued now.
    static RunTicket draw(const std::string& mode, const std::string& difficulty, int64_t nowMs);
    // The same with the seed of the daily road of the UTC day holding nowMs.
    RunTicket drawDaily(const std::string& mode, const std::string& difficulty, int64_t nowMs) const;
    // The road of a day ("2026-12-08") on a board: the HMAC of "daily|<day>|<mode>|<difficulty>"
    // under the secret, so every instance agrees and nobody without the secret knows a day's
    // road before the service gives it.
    uint32_t dailySeed(const std::string& day, const std::string& mode, const std::string& difficulty) const;

private:
    std::string mac(std::string_view text) const;

    std::string secret_;
};
