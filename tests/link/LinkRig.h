#pragma once
// A board link on the scripted transport, driven frame by frame on a clock of the test's
// own: the board's answers come when the test says, so every rule of time is checked in
// milliseconds of real time.

#include "ScriptedHttp.h"
#include "support/LinkDriver.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

namespace link_rig {

inline const std::string kUrl = "http://127.0.0.1:9";

inline std::string tokenBody(std::uint32_t seed, const std::string& token, const char* mode = "normal",
                             const char* difficulty = "hard") {
    return R"({"seed":)" + std::to_string(seed) + R"(,"token":")" + token + R"(","mode":")" + mode +
           R"(","difficulty":")" + difficulty + R"("})";
}

// A board's entries: count of them from top points down by step, with .5 on each.
inline std::string boardBody(int count, int top = 10000, int step = 99) {
    std::string entries;
    for (int i = 0; i < count; ++i) {
        entries += (i ? "," : "") + std::string(R"({"rank":)") + std::to_string(i + 1) + R"(,"name":"P)" +
                   std::to_string(i) + R"(","score":)" + std::to_string(top - i * step) + R"(.5,"runId":)" +
                   std::to_string(i + 1) + "}";
    }
    return R"({"entries":[)" + entries + "]}";
}

// A board that hands out tokens for normal/hard and shows an empty board.
inline void answerTokensAndBoard(ScriptedHttp& http, const std::string& board = boardBody(0)) {
    http.script("/v1/runs/start", {ScriptedHttp::reply(200, tokenBody(5, "t"))});
    http.script("/v1/boards", {ScriptedHttp::reply(200, board)});
}

struct Rig : LinkDriver<ScriptedHttp> {
    explicit Rig(Mode mode = Mode::Normal, Difficulty difficulty = Difficulty::Hard, const std::string& url = kUrl)
        : LinkDriver("", url, mode, difficulty) {}

    // Frames until done says so, at most count of them.
    bool until(const std::function<bool()>& done, std::uint32_t milliseconds = 16, int count = 2000) {
        for (int i = 0; i < count && !done(); ++i) {
            frame(milliseconds);
        }
        return done();
    }
};

// What the link says on standard error while f runs.
inline std::string saidDuring(const std::function<void()>& f) {
    testing::internal::CaptureStderr();
    f();
    return testing::internal::GetCapturedStderr();
}

}  // namespace link_rig
