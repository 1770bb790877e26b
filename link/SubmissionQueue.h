#pragma once

#include "HttpClient.h"
#include "sim/RunState.h"

#include <cstdint>
#include <deque>
#include <string>

// The ranked runs on their way to the board, one at a time in the order they ended: each
// sent, sent again while the board is busy or silent (after its Retry-After, or 10 s), and
// settled by its answer, which the status line tells: "SENDING", "RETRYING", "RANK 12",
// "SENT", "EXPIRED", "NOT VERIFIED", "REFUSED", "OFFLINE".
class SubmissionQueue {
public:
    static constexpr int kRetries = 5;
    static constexpr std::uint32_t kRetryMilliseconds = 10000;

    // How an answer settled the run sent.
    struct Settled {
        bool settled = false;
        // The board holds the run (ranked, or stored by an earlier sending).
        bool stored = false;
        // The board ranked it on its all-time table: rank holds its place (a run of the day's
        // road has its place on the day's table there, and is not ranked so).
        bool ranked = false;
        // Its place and number when the board gave them; 0 otherwise.
        long long rank = 0;
        long long runId = 0;
        Mode mode = Mode::Normal;
        Difficulty difficulty = Difficulty::Hard;
        int score = 0;
        // What to say on standard error about it; empty for nothing.
        std::string said;
    };

    // A run to send, its submission's body made; sent at once unless another is on its way.
    void add(std::string body, Mode mode, Difficulty difficulty, int score, std::uint32_t now);
    // Whether the first run is waiting to be sent (again) and its time has come.
    bool due(std::uint32_t now) const;
    static HttpRequest request(const std::string& url, const std::string& body, int timeoutMilliseconds);
    const std::string& nextBody() const { return runs_.front().body; }
    void sent(int request);
    bool answers(int request) const { return !runs_.empty() && runs_.front().request != 0 && request == runs_.front().request; }
    // The answer to the first run's sending.
    Settled answered(const HttpAnswer& answer, std::uint32_t now);

    const std::string& status() const { return status_; }
    void clearStatus() { status_.clear(); }

private:
    struct Run {
        int request = 0;
        std::string body;
        Mode mode = Mode::Normal;
        Difficulty difficulty = Difficulty::Hard;
        int score = 0;
        int retries = 0;
        bool waiting = false;
        std::uint32_t sendAt = 0;
    };

    std::deque<Run> runs_;
    std::string status_;
};
