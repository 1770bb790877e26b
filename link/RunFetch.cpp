#include "RunFetch.h"

#include "BoardAnswer.h"
#include "sim/RecordVerifier.h"
#include "sim/SimContent.h"

HttpRequest RunFetch::summaryRequest(const std::string& url, const std::string& runId, int timeoutMilliseconds) {
    HttpRequest request;
    request.url = url + "/v1/runs/" + runId;
    request.timeoutMilliseconds = timeoutMilliseconds;
    return request;
}

HttpRequest RunFetch::recordRequest(const std::string& url, const std::string& runId, int timeoutMilliseconds) {
    HttpRequest request = summaryRequest(url, runId, timeoutMilliseconds);
    request.url += "/record";
    return request;
}

void RunFetch::asked(int request, const std::string& runId) {
    runId_ = runId;
    summaryRequest_ = request;
    recordRequest_ = 0;
    ready_ = false;
}

bool RunFetch::answered(const HttpAnswer& answer, std::string& fault) {
    const bool summary = answer.id == summaryRequest_;
    std::string why;
    if (answer.status != 200) {
        why = answer.status == 0 ? answer.error : "it answers " + BoardAnswer::refusal(answer);
    } else if (summary && !RunSummary::parse(answer.body, summary_, why)) {
        why = "its summary: " + why;
    }
    drop();
    if (!why.empty()) {
        fault = "run " + runId_ + " cannot be fetched (" + why + ")";
        return false;
    }
    if (summary) {
        return true;
    }
    bytes_ = answer.body;
    ready_ = true;
    return false;
}

bool RunFetch::take(const SimContent& content, RunRecord& record, RunSummary& summary, std::string& fault) {
    if (!ready_) {
        return false;
    }
    ready_ = false;
    summary = summary_;
    fault.clear();
    if (!verified(bytes_, content, summary_, record, fault)) {
        fault = "run " + runId_ + " does not verify (" + fault + ")";
    }
    bytes_.clear();
    return true;
}

bool RunFetch::verified(const std::string& bytes, const SimContent& content, const RunSummary& summary,
                        RunRecord& record, std::string& fault) {
    if (!readRecord(bytes, record, fault)) {
        return false;
    }
    const VerifyResult result = verifyRecord(record, content);
    if (!result.valid) {
        fault = result.reason;
        return false;
    }
    const int score = static_cast<int>(result.score);
    if (score != summary.score) {
        fault = "its re-play scores " + std::to_string(score) + ", the board says " + std::to_string(summary.score);
        return false;
    }
    return true;
}
