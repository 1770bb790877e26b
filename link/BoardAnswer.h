#pragma once

#include "HttpClient.h"

#include <nlohmann/json.hpp>

#include <string>

// How the link reads what a board says, the same for every call: a member's text, a
// refusal in a few words, and a board's names and scores as the screen draws them.
class BoardAnswer {
public:
    // A member that should be text; empty when it is missing or anything else.
    static std::string text(const nlohmann::json& object, const char* key);
    // "404 not_found: no such call" from a refusal's body, or the status alone.
    static std::string refusal(const HttpAnswer& answer);
    // Why an answer brought nothing: the transport's error when none came, else the refusal.
    static std::string failure(const HttpAnswer& answer);
    // A board's score in whole points, as the HUD shows scores.
    static int wholePoints(double score);
};
