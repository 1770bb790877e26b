#pragma once

#include "HttpClient.h"
#include "RunSummary.h"
#include "io/RunRecord.h"

#include <string>

class SimContent;

// A board run fetched to be watched, the one way the game watches one: its summary (for the
// caption and the score its re-play must reach), then its record, which is handed over only
// after its re-play under the rules ends on the board's score. One fetch at a time.
class RunFetch {
public:
    // The requests of a run's summary and record.
    static HttpRequest summaryRequest(const std::string& url, const std::string& runId, int timeoutMilliseconds);
    static HttpRequest recordRequest(const std::string& url, const std::string& runId, int timeoutMilliseconds);

    // The summary of that run was asked under that number; a fetch on before is dropped.
    void asked(int request, const std::string& runId);
    bool fetching() const { return summaryRequest_ != 0 || recordRequest_ != 0; }
    // Drops the fetch on its way: its answers will be ignored.
    void drop() { summaryRequest_ = recordRequest_ = 0; }
    bool answers(int request) const { return request != 0 && (request == summaryRequest_ || request == recordRequest_); }
    // An answer of the fetch came. After the summary, the record is to be asked: true then.
    // fault is the line that says why the fetch ends here, empty when it does not.
    bool answered(const HttpAnswer& answer, std::string& fault);
    // The record was asked under that number.
    void askedRecord(int request) { recordRequest_ = request; }
    const std::string& runId() const { return runId_; }

    // The fetched run, once both answers came: true, with record set when its re-play on
    // content ends as the summary says and with fault set otherwise; false before.
    bool take(const SimContent& content, RunRecord& record, RunSummary& summary, std::string& fault);

    // Whether a fetched record is the run its summary describes: it re-plays under the
    // rules on this content to the end it claims and scores what the board says. False
    // with fault set otherwise ("state hash differs at second 3", "its re-play scores 450,
    // the board says 464").
    static bool verified(const std::string& bytes, const SimContent& content, const RunSummary& summary,
                         RunRecord& record, std::string& fault);

private:
    std::string runId_;
    int summaryRequest_ = 0;
    int recordRequest_ = 0;
    RunSummary summary_;
    std::string bytes_;
    bool ready_ = false;
};
