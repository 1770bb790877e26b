#include "RecordFetch.h"

#include "BoardAnswer.h"

HttpRequest RecordFetch::request(const std::string& url, const BoardCache::Entry& best, int timeoutMilliseconds) {
    HttpRequest request;
    request.url = url + "/v1/runs/" + std::to_string(best.runId) + "/record";
    request.timeoutMilliseconds = timeoutMilliseconds;
    return request;
}

void RecordFetch::asked(int request, const BoardCache::Entry& best) {
    request_ = request;
    caption_ = std::to_string(best.row.rank) + " " + best.row.name + " " + std::to_string(best.row.score);
    ready_ = false;
}

std::string RecordFetch::answered(const HttpAnswer& answer) {
    request_ = 0;
    if (answer.status != 200) {
        return "the board's best run cannot be fetched (" + BoardAnswer::failure(answer) + ")";
    }
    std::string fault;
    RunRecord record;
    if (!RunRecord::fromBytes(answer.body, record, fault)) {
        return "the board's best run cannot be read (" + fault + ")";
    }
    record_ = std::move(record);
    ready_ = true;
    return "";
}

bool RecordFetch::take(RunRecord& record, std::string& caption) {
    if (!ready_) {
        return false;
    }
    ready_ = false;
    record = std::move(record_);
    caption = caption_;
    return true;
}
