#include "SubmissionQueue.h"

#include "BoardAnswer.h"

#include <nlohmann/json.hpp>

void SubmissionQueue::add(std::string body, Mode mode, Difficulty difficulty, int score, std::uint32_t now) {
    Run& run = runs_.emplace_back();
    run.body = std::move(body);
    run.mode = mode;
    run.difficulty = difficulty;
    run.score = score;
    run.sendAt = now;
    // One at a time: a run ended while an earlier one is still on its way waits its turn.
    run.waiting = runs_.size() == 1;
    status_ = "SENDING";
}

bool SubmissionQueue::due(std::uint32_t now) const {
    return !runs_.empty() && runs_.front().waiting && static_cast<std::int32_t>(now - runs_.front().sendAt) >= 0;
}

HttpRequest SubmissionQueue::request(const std::string& url, const std::string& body, int timeoutMilliseconds) {
    HttpRequest request;
    request.method = "POST";
    request.url = url + "/v1/runs";
    request.body = body;
    request.timeoutMilliseconds = timeoutMilliseconds;
    return request;
}

void SubmissionQueue::sent(int request) {
    runs_.front().request = request;
    runs_.front().waiting = false;
}

SubmissionQueue::Settled SubmissionQueue::answered(const HttpAnswer& answer, std::uint32_t now) {
    Settled settled;
    const int status = answer.status;
    const bool busy = status == 0 || status == 429 || status >= 500;
    Run& front = runs_.front();
    front.request = 0;
    if (busy && front.retries < kRetries) {
        ++front.retries;
        front.waiting = true;
        front.sendAt = now + (answer.retryAfterSeconds > 0
                                  ? static_cast<std::uint32_t>(answer.retryAfterSeconds) * 1000
                                  : kRetryMilliseconds);
        status_ = "RETRYING";
        return settled;
    }
    const Run sent = std::move(front);
    runs_.pop_front();
    if (!runs_.empty()) {
        runs_.front().sendAt = now;
        runs_.front().waiting = true;
    }
    settled.settled = true;
    settled.mode = sent.mode;
    settled.difficulty = sent.difficulty;
    settled.score = sent.score;
    if (busy) {
        settled.said = "the run could not be sent (" + BoardAnswer::failure(answer) + "); it stays local";
        status_ = "OFFLINE";
        return settled;
    }
    const nlohmann::json body = nlohmann::json::parse(answer.body, nullptr, false);
    // A run of the day's road is ranked on the day's table alone: its all-time rank is null.
    const bool daily = body.is_object() && body.contains("dayRank");
    int place = 0;
    if (status == 201 && body.is_object() && BoardAnswer::place(body, daily ? "dayRank" : "rank", place) && place > 0) {
        settled.stored = true;
        settled.ranked = !daily;
        settled.rank = place;
        status_ = (daily ? "DAY RANK " : "RANK ") + std::to_string(place);
        if (body.contains("runId") && body["runId"].is_number_integer() && body["runId"].get<long long>() > 0) {
            settled.runId = body["runId"].get<long long>();
        }
        return settled;
    }
    if (status == 409 && sent.retries > 0) {
        // A resend after a lost answer: the first sending was stored, its rank is unknown.
        settled.stored = true;
        status_ = "SENT";
        return settled;
    }
    settled.said = "the run was refused (" + BoardAnswer::refusal(answer) + ")";
    if (status == 401 || status == 403 || status == 409) {
        status_ = "EXPIRED";
    } else if (status == 422) {
        status_ = "NOT VERIFIED";
    } else {
        status_ = "REFUSED";
    }
    return settled;
}
