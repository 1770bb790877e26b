#include "TokenCache.h"

#include "BoardAnswer.h"

#include <nlohmann/json.hpp>

bool TokenCache::due(int slot, std::uint32_t now) {
    Token& token = tokens_[slot];
    if (token.held && now - token.askedAt > kLifeMilliseconds) {
        token = Token{};
    }
    return (!token.held || now - token.askedAt > kRenewMilliseconds) && request_ == 0;
}

HttpRequest TokenCache::request(const std::string& url, int slot, int timeoutMilliseconds) {
    HttpRequest request;
    request.method = "POST";
    request.url = url + "/v1/runs/start";
    request.body = nlohmann::json{{"mode", modeName(modeOfIndex(slot))},
                                  {"difficulty", difficultyName(difficultyOfIndex(slot))}}
                       .dump();
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
    if (answer.status != 200 || !body.is_object() || !body.contains("seed") || !body["seed"].is_number_unsigned() ||
        body["seed"].get<std::uint64_t>() > 0xffffffffu || !body.contains("token") || !body["token"].is_string() ||
        BoardAnswer::text(body, "mode") != modeName(modeOfIndex(slot_)) ||
        BoardAnswer::text(body, "difficulty") != difficultyName(difficultyOfIndex(slot_))) {
        return false;
    }
    Token& token = tokens_[slot_];
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
    tokens_[slot] = Token{};
    return text;
}
