#pragma once

#include "HttpClient.h"
#include "vocab/BoardRow.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

// How the link reads what a board says, the same for every call: a member's text, a
// refusal in a few words, a board's entries, and the numbers in them by BoardNumbers' rules.
// Names are kept as sent; the screens clean them where they draw them.
class BoardAnswer {
public:
    // A member that should be text; empty when it is missing or anything else.
    static std::string text(const nlohmann::json& object, const char* key);
    // "404 not_found: no such call" from a refusal's body, or the status alone.
    static std::string refusal(const HttpAnswer& answer);
    // Why an answer brought nothing: the transport's error when none came, else the refusal.
    static std::string failure(const HttpAnswer& answer);

    // A member that is a score, in whole points; false when it is missing or no score.
    static bool points(const nlohmann::json& object, const char* key, int& whole);
    // A member that is a place on a table, 0 when it is missing or null (off that table);
    // false when it is anything else than a place from 1.
    static bool place(const nlohmann::json& object, const char* key, int& place);
    // The "runId" member; false when it is no run's number.
    static bool runId(const nlohmann::json& object, long long& runId);

    // A board's entries (GET /v1/boards/...), rank order kept: each a ranked run with its
    // name, score and number. False with fault set, rows untouched, when the answer is not
    // such a board.
    static bool entries(const std::string& body, std::vector<BoardRow>& rows, std::string& fault);
};
