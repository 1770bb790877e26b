#include "BoardLink.h"

#include "BoardAnswer.h"
#include "BoardLine.h"
#include "io/Base64.h"
#include "vocab/BoardNumbers.h"

#include <nlohmann/json.hpp>

BoardLink::BoardLink(HttpClient& http, PlayerFile& player) : http_(http), player_(player) {}

void BoardLink::say(const std::string& line) const { sayBoardLine(line); }

void BoardLink::setUrl(const std::string& url) {
    url_.clear();
    if (url.empty()) {
        return;
    }
    if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) {
        say(url + " is not an http:// or https:// address; playing offline");
        return;
    }
    url_ = url;
    while (url_.size() > 8 && url_.back() == '/') {
        url_.pop_back();
    }
}

void BoardLink::update(Mode mode, Difficulty difficulty, Season season, bool showingTop, std::uint32_t now) {
    if (!enabled()) {
        return;
    }
    HttpAnswer answer;
    while (http_.poll(answer)) {
        answered(answer, now);
    }
    sendDue(playIndex(mode, difficulty), season, showingTop, now);
}

const std::string& BoardLink::day(Mode mode, Difficulty difficulty) const {
    return tokens_.day(TokenCache::dailySlot(playIndex(mode, difficulty)));
}

long long BoardLink::dayEndsAt(Mode mode, Difficulty difficulty) const {
    return tokens_.dayEndsAt(TokenCache::dailySlot(playIndex(mode, difficulty)));
}

void BoardLink::sendDue(int shown, Season season, bool showingTop, std::uint32_t now) {
    if (submissions_.due(now)) {
        sendSubmission();
    }
    const int slot = tokenSlot(shown);
    bool wantToken = tokens_.due(slot, now);
    // The all-time table tells whether a run is worth a name: it is kept fresh first.
    const Season table = boards_.due(shown, Season::All, now) ? Season::All : season;
    bool wantBoard = showingTop && !boards_.asking() && boards_.due(shown, table, now);
    if (backoff_.holding()) {
        // A quiet board (unreachable, or asking for calm) gets one request when the wait is
        // over, the token first as a run needs it most; the rest waits for its answer.
        if (backoff_.waiting(now) || tokens_.asking() || boards_.asking() || places_.asking()) {
            return;
        }
        wantBoard = !wantToken;
    }
    if (wantToken) {
        tokens_.asked(http_.send(TokenCache::request(url_, slot, kReadTimeoutMilliseconds)), slot, now);
    }
    if (wantBoard) {
        boards_.asked(http_.send(BoardCache::request(url_, shown, table, kReadTimeoutMilliseconds)), shown, table);
    } else if (showingTop && !boards_.asking() && !backoff_.holding()) {
        sendPlace(shown, season, now);
    }
}

void BoardLink::sendPlace(int shown, Season season, std::uint32_t now) {
    if (places_.asking()) {
        return;
    }
    const std::string& playerId = player_.playerId();
    if (playerId.empty()) {
        // Any run of the player's tells who they are; the latest is the likeliest shown.
        const long long latest = player_.ownRuns().empty() ? 0 : *player_.ownRuns().rbegin();
        if (places_.learnable(latest)) {
            places_.askedLearn(
                http_.send(RunFetch::summaryRequest(url_, std::to_string(latest), kReadTimeoutMilliseconds)), latest);
        }
    } else if (places_.due(shown, season, now, kBoardKeptMilliseconds)) {
        places_.asked(http_.send(PlaceRead::request(url_, shown, season, playerId, kReadTimeoutMilliseconds)), shown,
                      season);
    }
}

void BoardLink::answered(const HttpAnswer& answer, std::uint32_t now) {
    if (tokens_.answers(answer.id)) {
        tokens_.unanswered();
        answeredRead(answer, [&] { return tokens_.answered(answer); }, "a start is no token", now);
    } else if (boards_.answers(answer.id)) {
        boards_.unanswered();
        answeredRead(answer, [&] { return boards_.answered(answer, now); }, "a read is no board", now);
    } else if (places_.answers(answer.id)) {
        places_.unanswered();
        answeredRead(answer, [&] { return places_.answered(answer, now); }, "a read is no place", now);
    } else if (places_.answersLearn(answer.id)) {
        places_.unanswered();
        std::string playerId;
        answeredRead(answer, [&] { return places_.answeredLearn(answer, playerId); }, "a read is no run", now);
        player_.setPlayerId(playerId);
    } else if (submissions_.answers(answer.id)) {
        answeredSubmission(answer, now);
    } else if (runs_.answers(answer.id)) {
        std::string fault;
        if (runs_.answered(answer, fault)) {
            runs_.askedRecord(http_.send(RunFetch::recordRequest(url_, runs_.runId(), kRecordTimeoutMilliseconds)));
        } else if (!fault.empty()) {
            say(fault);
        }
    }
}

void BoardLink::answeredRead(const HttpAnswer& answer, const std::function<bool()>& take, const char* what,
                             std::uint32_t now) {
    if (troubled(answer, now)) {
        return;
    }
    if (take()) {
        reachable();
    } else {
        unreachable(answer.status != 200 ? "it answers " + BoardAnswer::refusal(answer)
                                         : std::string("its answer to ") + what,
                    now);
    }
}

void BoardLink::unreachable(const std::string& why, std::uint32_t now) {
    if (backoff_.unreachable(now)) {
        say(url_ + " cannot be reached (" + why + "); playing offline");
    }
}

void BoardLink::reachable() {
    if (backoff_.reachable()) {
        say(url_ + " answers again");
    }
}

bool BoardLink::troubled(const HttpAnswer& answer, std::uint32_t now) {
    if (answer.status == 0 || answer.status >= 500) {
        unreachable(BoardAnswer::failure(answer), now);
        return true;
    }
    if (answer.status == 429) {
        // Not trouble: asked again when the board says, without a word.
        reachable();
        backoff_.calm(answer.retryAfterSeconds, now);
        return true;
    }
    return false;
}

bool BoardLink::seedFor(Mode mode, Difficulty difficulty, std::uint32_t now, std::uint32_t& seed) const {
    return enabled() && tokens_.seed(tokenSlot(playIndex(mode, difficulty)), now, seed);
}

std::string BoardLink::takeToken(Mode mode, Difficulty difficulty, std::uint32_t seed, std::uint32_t now) {
    return enabled() ? tokens_.take(tokenSlot(playIndex(mode, difficulty)), seed, now) : "";
}

bool BoardLink::qualifies(Mode mode, Difficulty difficulty, int score) const {
    if (!enabled()) {
        return false;
    }
    // The day's table is a competition of its own, where the board keeps each player's best.
    if (daily_) {
        return true;
    }
    const int own = player_.boardScore(mode, difficulty);
    if (own >= 0 && score > own) {
        return true;
    }
    return offline() || boards_.wouldEnter(playIndex(mode, difficulty), score);
}

void BoardLink::submit(const std::string& token, const RunRecord& record, const std::string& name,
                       std::uint32_t now) {
    if (!enabled() || token.empty()) {
        return;
    }
    std::string body = nlohmann::json{{"token", token},
                                      {"name", name},
                                      {"playerKey", player_.playerKey()},
                                      {"record", Base64::encode(record.toBytes())}}
                           .dump();
    submissions_.add(std::move(body), modeOfCode(record.mode), difficultyOfCode(record.difficulty), static_cast<int>(record.score),
                     now);
    if (submissions_.due(now)) {
        sendSubmission();
    }
}

void BoardLink::sendSubmission() {
    submissions_.sent(http_.send(SubmissionQueue::request(url_, submissions_.nextBody(), kSubmitTimeoutMilliseconds)));
}

void BoardLink::answeredSubmission(const HttpAnswer& answer, std::uint32_t now) {
    const SubmissionQueue::Settled settled = submissions_.answered(answer, now);
    if (!settled.said.empty()) {
        say(settled.said);
    }
    if (!settled.stored) {
        return;
    }
    if (settled.ranked && settled.score > player_.boardScore(settled.mode, settled.difficulty)) {
        player_.setBoardScore(settled.mode, settled.difficulty, settled.score);
    }
    if (settled.runId > 0) {
        acceptedRun_ = settled.runId;
        acceptedMode_ = settled.mode;
        acceptedDifficulty_ = settled.difficulty;
    }
    // The next update reads the board and the player's place again, with the run in it.
    boards_.forget(playIndex(settled.mode, settled.difficulty));
    places_.forget(playIndex(settled.mode, settled.difficulty));
}

std::vector<BoardRow> BoardLink::top(Mode mode, Difficulty difficulty) const {
    if (!enabled() || offline()) {
        return {};
    }
    return boards_.top(playIndex(mode, difficulty));
}

const std::vector<BoardRow>& BoardLink::rows(Mode mode, Difficulty difficulty, Season season) const {
    static const std::vector<BoardRow> none;
    return enabled() && !offline() ? boards_.rows(playIndex(mode, difficulty), season) : none;
}

const PlaceRead::Place& BoardLink::place(Mode mode, Difficulty difficulty, Season season) const {
    static const PlaceRead::Place none;
    return enabled() && !offline() ? places_.place(playIndex(mode, difficulty), season) : none;
}

bool BoardLink::read(Mode mode, Difficulty difficulty, Season season) const {
    return enabled() && !offline() && boards_.read(playIndex(mode, difficulty), season);
}

void BoardLink::fetchRun(const std::string& runId) {
    runs_.drop();
    if (!enabled()) {
        return;
    }
    if (!BoardNumbers::isRunId(runId)) {
        say("run " + runId + " cannot be watched (no run's number)");
        return;
    }
    runs_.asked(http_.send(RunFetch::summaryRequest(url_, runId, kReadTimeoutMilliseconds)), runId);
}

void BoardLink::fetchBestRun(Mode mode, Difficulty difficulty) {
    if (!enabled()) {
        return;
    }
    if (runs_.fetching()) {
        runs_.drop();
        return;
    }
    const std::vector<BoardRow>& table = rows(mode, difficulty, Season::All);
    if (table.empty()) {
        say("no board run to watch");
        return;
    }
    fetchRun(std::to_string(table.front().runId));
}

bool BoardLink::takeAcceptedRun(long long& runId, Mode& mode, Difficulty& difficulty) {
    if (acceptedRun_ == 0) {
        return false;
    }
    runId = acceptedRun_;
    mode = acceptedMode_;
    difficulty = acceptedDifficulty_;
    acceptedRun_ = 0;
    return true;
}
