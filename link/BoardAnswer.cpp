#include "BoardAnswer.h"

#include <cmath>

std::string BoardAnswer::text(const nlohmann::json& object, const char* key) {
    const auto member = object.find(key);
    return member != object.end() && member->is_string() ? member->get<std::string>() : "";
}

std::string BoardAnswer::refusal(const HttpAnswer& answer) {
    std::string words = std::to_string(answer.status);
    const nlohmann::json body = nlohmann::json::parse(answer.body, nullptr, false);
    if (body.is_object() && !text(body, "error").empty()) {
        // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on
        // " " + std::string.
        words.append(" ").append(text(body, "error"));
        const std::string reason = text(body, "reason");
        if (!reason.empty()) {
            words.append(": ").append(reason);
        }
    }
    return words;
}

std::string BoardAnswer::failure(const HttpAnswer& answer) {
    return answer.status == 0 ? answer.error : refusal(answer);
}

int BoardAnswer::wholePoints(double score) {
    return score >= 0.0 && score < 2e9 ? static_cast<int>(std::floor(score)) : 0;
}
