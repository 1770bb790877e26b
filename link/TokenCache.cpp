#include "TokenCache.h"

#include "BoardAnswer.h"

#include <nlohmann/json.hpp>

TokenCache::Token TokenCache::spent(const Token& token) {
    // The day stays known for the screen's clock until the next token tells another.
    Token left;
    left.day = token.day;
    left.dayEndsAt = token.dayEndsAt;
    return left;
}

bool TokenCache::due(int slot, std::uint32_t now) {
    Token& token = tokens_[slot];
    if (token.held && now - token.askedAt > kLifeMilliseconds) {
        token = spent(token);
    }
    return (!token.held || now - token.askedAt > kRenewMilliseconds) && request_ == 0;
}

HttpRequest TokenCache::request(const std::string& url, int slot, int timeoutMilliseconds) {
    HttpRequest request;
    request.method = "POST";
    request.url = url + "/v1/runs/start";
    const int board = slot % kPlayCount;
    nlohmann::json body{{"mode", modeName(modeOfIndex(board))}, {"difficulty", difficultyName(difficultyOfIndex(board))}};
    if (slot >= kPlayCount) {
        body["daily"] = true;
    }
    request.body = body.dump();
    request.timeoutMilliseconds = timeoutMilliseconds;
    return request;
}

void TokenCache::asked(int request, int slot, std::uint32_t now) {
    request_ = request;
    slot_ = slot;
    askedAt_ = now;
}

bool TokenCache::answered(const HttpAnswer& answer) {
    request_ = 0;
    const nlohmann::json body = nlohmann::json::parse(answer.body, nullptr, false);
    const int board = slot_ % kPlayCount;
    if (answer.status != 200 || !body.is_object() || !body.contains("seed") || !body["seed"].is_number_unsigned() ||
        body["seed"].get<std::uint64_t>() > 0xffffffffu || !body.contains("token") || !body["token"].is_string() ||
        BoardAnswer::text(body, "mode") != modeName(modeOfIndex(board)) ||
        BoardAnswer::text(body, "difficulty") != difficultyName(difficultyOfIndex(board))) {
        return false;
    }
    // A daily token that names no day is a board without the day's road: its seed is no
    // everyone's road, and a run on it would not count where the player thinks.
    const auto endsAt = body.find("dayEndsAt");
    const bool dayNamed = !BoardAnswer::text(body, "day").empty() && endsAt != body.end() &&
                          endsAt->is_number_integer() && endsAt->get<long long>() > 0;
    if (slot_ >= kPlayCount && !dayNamed) {
        return false;
    }
    Token& token = tokens_[slot_];
    token.day = BoardAnswer::text(body, "day");
    token.dayEndsAt = dayNamed ? endsAt->get<long long>() : 0;
    token.held = true;
    token.seed = body["seed"].get<std::uint32_t>();
    token.text = body["token"].get<std::string>();
    token.askedAt = askedAt_;
    return true;
}

bool TokenCache::seed(int slot, std::uint32_t now, std::uint32_t& seed) const {
    const Token& token = tokens_[slot];
    if (!token.held || now - token.askedAt > kLifeMilliseconds) {
        return false;
    }
    seed = token.seed;
    return true;
}

std::string TokenCache::take(int slot, std::uint32_t seed, std::uint32_t now) {
    std::uint32_t held = 0;
    if (!this->seed(slot, now, held) || held != seed) {
        return "";
    }
    std::string text = std::move(tokens_[slot].text);
    tokens_[slot] = spent(tokens_[slot]);
    return text;
}
