#include "RunLink.h"

#include "BoardLine.h"

#include "sim/RecordVerifier.h"
#include "sim/SimContent.h"

namespace {

// What a failed call says: the status, or why no answer came.
std::string failure(const HttpAnswer& answer) {
    return answer.status == 0 ? answer.error : "it answers " + std::to_string(answer.status);
}

}  // namespace

RunLink::RunLink(HttpClient& http) : http_(http) {}

void RunLink::setUrl(const std::string& url) { url_ = url; }

const char* RunLink::seasonQuery(Season season) {
    switch (season) {
    case Season::Week: return "current";
    case Season::Day: return "day";
    case Season::All: break;
    }
    return "all";
}

int RunLink::slot(Mode mode, Difficulty difficulty, Season season) {
    return playIndex(mode, difficulty) * kSeasons + static_cast<int>(season);
}

void RunLink::say(const std::string& line) const { sayBoardLine(line); }

void RunLink::update(Mode mode, Difficulty difficulty, Season season, bool showing, std::uint32_t now) {
    if (url_.empty()) {
        return;
    }
    HttpAnswer answer;
    while (http_.poll(answer)) {
        answered(answer, now);
    }
    const int shown = slot(mode, difficulty, season);
    const Table& table = tables_[shown];
    const bool due = !table.read || now - table.readAt > kBoardKeptMilliseconds;
    if (!showing || !due || boardRequest_ != 0 || (quiet_ && static_cast<std::int32_t>(now - quietUntil_) < 0)) {
        return;
    }
    HttpRequest request;
    request.url = url_ + "/v1/boards/" + modeName(mode) + "/" + difficultyName(difficulty) +
                  "?season=" + seasonQuery(season) + "&limit=" + std::to_string(BoardBrowser::kDepth);
    request.timeoutMilliseconds = kReadTimeoutMilliseconds;
    boardRequest_ = http_.send(request);
    boardSlot_ = shown;
}

const std::vector<BoardRow>& RunLink::rows(Mode mode, Difficulty difficulty, Season season) const {
    return tables_[slot(mode, difficulty, season)].rows;
}

bool RunLink::read(Mode mode, Difficulty difficulty, Season season) const {
    return tables_[slot(mode, difficulty, season)].read;
}

void RunLink::forget(Mode mode, Difficulty difficulty) {
    for (Season season : {Season::All, Season::Week, Season::Day}) {
        tables_[slot(mode, difficulty, season)].read = false;
    }
}

void RunLink::fetchRun(const std::string& runId) {
    summaryRequest_ = recordRequest_ = 0;
    ready_ = false;
    if (url_.empty()) {
        return;
    }
    if (!RunSummary::isRunId(runId)) {
        say("run " + runId + " cannot be watched (no run's number)");
        return;
    }
    runId_ = runId;
    HttpRequest request;
    request.url = url_ + "/v1/runs/" + runId;
    request.timeoutMilliseconds = kReadTimeoutMilliseconds;
    summaryRequest_ = http_.send(request);
}

void RunLink::answered(const HttpAnswer& answer, std::uint32_t now) {
    if (answer.id == boardRequest_) {
        boardRequest_ = 0;
        Table read;
        std::string fault;
        if (answer.status != 200 || !RunSummary::parseBoard(answer.body, read.rows, fault)) {
            // BoardLink says when the board cannot be reached; a read that fails here waits
            // as long as a kept one before it is tried again.
            quiet_ = true;
            quietUntil_ = now + kBoardKeptMilliseconds;
            return;
        }
        quiet_ = false;
        read.read = true;
        read.readAt = now;
        tables_[boardSlot_] = std::move(read);
        return;
    }
    if (answer.id != summaryRequest_ && answer.id != recordRequest_) {
        return;
    }
    std::string fault;
    if (answer.status != 200) {
        fault = failure(answer);
    } else if (answer.id == summaryRequest_ && !RunSummary::parse(answer.body, summary_, fault)) {
        fault = "its summary: " + fault;
    }
    if (!fault.empty()) {
        summaryRequest_ = recordRequest_ = 0;
        say("run " + runId_ + " cannot be fetched (" + fault + ")");
        return;
    }
    if (answer.id == summaryRequest_) {
        summaryRequest_ = 0;
        HttpRequest request;
        request.url = url_ + "/v1/runs/" + runId_ + "/record";
        request.timeoutMilliseconds = kRecordTimeoutMilliseconds;
        recordRequest_ = http_.send(request);
        return;
    }
    recordRequest_ = 0;
    bytes_ = answer.body;
    ready_ = true;
}

bool RunLink::takeRun(std::string& bytes, RunSummary& summary) {
    if (!ready_) {
        return false;
    }
    ready_ = false;
    bytes = std::move(bytes_);
    summary = summary_;
    return true;
}

bool RunLink::verified(const std::string& bytes, const SimContent& content, const RunSummary& summary,
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
