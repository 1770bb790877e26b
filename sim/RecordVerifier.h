#pragma once

#include "sim/RunState.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class RunRecord;
class SimContent;

// What re-playing a record under the rules found: valid with what the run achieved, or
// invalid with the first reason ("malformed: ...", "content differs", "state hash differs
// at second N", "score claimed differs", ...).
struct VerifyResult {
    bool valid = false;
    std::string reason;
    Mode mode = Mode::Normal;
    Difficulty difficulty = Difficulty::Hard;
    float score = 0.0f;
    float distance = 0.0f;
    uint32_t ticks = 0;

    // One line of JSON: {"valid":true,"mode":"NORMAL","difficulty":"HARD","score":1234,
    // "distance":567,"ticks":43200} or {"valid":false,"reason":"..."}. Score and distance
    // are whole numbers, truncated as the HUD shows them.
    std::string json() const;
};

// Re-simulates a record headless on the given content and compares every state hash, the
// end of the run and its claims. The one check the game's --verify and the board service share.
VerifyResult verifyRecord(const std::vector<std::uint8_t>& bytes, const SimContent& content);
// Reads a record's bytes: false with the verifier's reason ("malformed: ...") when they are none.
bool readRecord(std::string_view bytes, RunRecord& record, std::string& reason);
// The same check for a record already read from its bytes.
VerifyResult verifyRecord(const RunRecord& record, const SimContent& content);
