#pragma once

#include "BoardCache.h"
#include "HttpClient.h"
#include "io/RunRecord.h"

#include <string>

// The record of a board's best run, fetched to be watched, with the caption it is shown
// under ("1 ACE 3437"). One fetch at a time; asked again while one is on, it drops it.
class RecordFetch {
public:
    static HttpRequest request(const std::string& url, const BoardCache::Entry& best, int timeoutMilliseconds);
    // The request for that entry was sent under that number.
    void asked(int request, const BoardCache::Entry& best);
    bool fetching() const { return request_ != 0; }
    // Drops the fetch on its way: its answer will be ignored.
    void drop() { request_ = 0; }
    bool answers(int request) const { return request_ != 0 && request == request_; }
    // The answer came: empty when it brought a record, else the line that says why not.
    std::string answered(const HttpAnswer& answer);
    // The fetched record and its caption, once; false before.
    bool take(RunRecord& record, std::string& caption);

private:
    int request_ = 0;
    std::string caption_;
    bool ready_ = false;
    RunRecord record_;
};
