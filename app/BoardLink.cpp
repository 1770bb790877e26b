#include "BoardLink.h"

#include "BoardLine.h"
#include "io/Base64.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The time from then to now on a clock that wraps at 2^32 ms.
std::uint32_t since(std::uint32_t then, std::uint32_t now) { return now - then; }

// A member that should be text; empty when it is missing or anything else.
std::string textOf(const nlohmann::json& object, const char* key) {
    const auto member = object.find(key);
    return member != object.end() && member->is_string() ? member->get<std::string>() : "";
}

// "404 not_found: no such call" from a refusal's body, or the status alone.
std::string refusal(const HttpAnswer& answer) {
    std::string words = std::to_string(answer.status);
    const nlohmann::json body = nlohmann::json::parse(answer.body, nullptr, false);
    if (body.is_object() && !textOf(body, "error").empty()) {
        words += " " + textOf(body, "error");
        if (!textOf(body, "reason").empty()) {
            words += ": " + textOf(body, "reason");
        }
    }
    return words;
}

// A name as the board keeps them (12 of A-Z, 0-9, space, - and _), whatever a server sends.
std::string drawableName(const std::string& name) {
    std::string drawn = name.substr(0, 12);
    for (char& c : drawn) {
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '-' || c == '_';
        if (!kept) {
            c = '?';
        }
    }
    return drawn;
}

// A board's score in whole points, as the HUD shows scores.
int wholePoints(double score) {
    return score >= 0.0 && score < 2e9 ? static_cast<int>(std::floor(score)) : 0;
}

}  // namespace

BoardLink::BoardLink(HttpClient& http, PlayerFile& player) : http_(http), player_(player) {}

int BoardLink::slot(Mode mode, Difficulty difficulty) {
    return (mode == Mode::Random ? 2 : 0) + (difficulty == Difficulty::Easy ? 1 : 0);
}

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

void BoardLink::update(Mode mode, Difficulty difficulty, bool showingTop, std::uint32_t now) {
    if (!enabled()) {
        return;
    }
    HttpAnswer answer;
    while (http_.poll(answer)) {
        answered(answer, now);
    }
    sendDue(mode, difficulty, showingTop, now);
}

void BoardLink::sendDue(Mode mode, Difficulty difficulty, bool showingTop, std::uint32_t now) {
    if (!submissions_.empty() && submissions_.front().waiting &&
        static_cast<std::int32_t>(now - submissions_.front().sendAt) >= 0) {
        sendSubmission();
    }
    const int shown = slot(mode, difficulty);
    Token& token = tokens_[shown];
    if (token.held && since(token.askedAt, now) > kTokenLifeMilliseconds) {
        token = Token{};
    }
    const Board& board = boards_[shown];
    bool wantToken = (!token.held || since(token.askedAt, now) > kTokenRenewMilliseconds) && tokenRequest_ == 0;
    bool wantBoard = showingTop && boardRequest_ == 0 &&
                     (!board.read || since(board.readAt, now) > kBoardKeptMilliseconds);
    if (retryDelay_ != 0) {
        // A quiet board (unreachable, or asking for calm) gets one request when the wait is
        // over, the token first as a run needs it most; the rest waits for its answer.
        if (static_cast<std::int32_t>(now - retryAt_) < 0 || tokenRequest_ != 0 || boardRequest_ != 0) {
            return;
        }
        wantBoard = !wantToken;
    }
    if (wantToken) {
        HttpRequest request;
        request.method = "POST";
        request.url = url_ + "/v1/runs/start";
        request.body = nlohmann::json{{"mode", modeName(mode)},
                                      {"difficulty", difficultyName(difficulty)}}
                           .dump();
        request.timeoutMilliseconds = kReadTimeoutMilliseconds;
        tokenRequest_ = http_.send(request);
        tokenSlot_ = shown;
        tokenAskedAt_ = now;
    }
    if (wantBoard) {
        HttpRequest request;
        request.url = url_ + "/v1/boards/" + modeName(mode) + "/" + difficultyName(difficulty) +
                      "?limit=" + std::to_string(kBoardDepth);
        request.timeoutMilliseconds = kReadTimeoutMilliseconds;
        boardRequest_ = http_.send(request);
        boardSlot_ = shown;
    }
}

void BoardLink::answered(const HttpAnswer& answer, std::uint32_t now) {
    if (answer.id == tokenRequest_) {
        tokenRequest_ = 0;
        answeredToken(answer, now);
    } else if (answer.id == boardRequest_) {
        boardRequest_ = 0;
        answeredBoard(answer, now);
    } else if (!submissions_.empty() && answer.id == submissions_.front().request) {
        submissions_.front().request = 0;
        answeredSubmission(answer, now);
    } else if (answer.id == recordRequest_) {
        recordRequest_ = 0;
        answeredRecord(answer);
    }
}

void BoardLink::unreachable(const std::string& why, std::uint32_t now) {
    if (!offline_) {
        say(url_ + " cannot be reached (" + why + "); playing offline");
        offline_ = true;
        retryDelay_ = kFirstRetryMilliseconds;
    } else if (static_cast<std::int32_t>(now - retryAt_) >= 0) {
        // The try after the wait failed too; a request sent before it was known is no try.
        retryDelay_ = std::min(retryDelay_ * 2, kLongestRetryMilliseconds);
    } else {
        return;
    }
    retryAt_ = now + retryDelay_;
}

void BoardLink::reachable() {
    if (offline_) {
        say(url_ + " answers again");
        offline_ = false;
    }
    retryDelay_ = 0;
}

void BoardLink::calm(const HttpAnswer& answer, std::uint32_t now) {
    // Not trouble: asked again when the board says, without a word.
    reachable();
    retryDelay_ = static_cast<std::uint32_t>(std::max(answer.retryAfterSeconds, 1)) * 1000;
    retryAt_ = now + retryDelay_;
}

bool BoardLink::troubled(const HttpAnswer& answer, std::uint32_t now) {
    if (answer.status == 0 || answer.status >= 500) {
        unreachable(answer.status == 0 ? answer.error : refusal(answer), now);
        return true;
    }
    if (answer.status == 429) {
        calm(answer, now);
        return true;
    }
    return false;
}

void BoardLink::answeredToken(const HttpAnswer& answer, std::uint32_t now) {
    if (troubled(answer, now)) {
        return;
    }
    const nlohmann::json body = nlohmann::json::parse(answer.body, nullptr, false);
    const int slotOfAnswer = tokenSlot_;
    const Mode mode = slotOfAnswer >= 2 ? Mode::Random : Mode::Normal;
    const Difficulty difficulty = slotOfAnswer % 2 == 1 ? Difficulty::Easy : Difficulty::Hard;
    if (answer.status != 200 || !body.is_object() || !body.contains("seed") || !body["seed"].is_number_unsigned() ||
        body["seed"].get<std::uint64_t>() > 0xffffffffu || !body.contains("token") || !body["token"].is_string() ||
        textOf(body, "mode") != modeName(mode) ||
        textOf(body, "difficulty") != difficultyName(difficulty)) {
        unreachable(answer.status != 200 ? "it answers " + refusal(answer) : "its answer to a start is no token", now);
        return;
    }
    reachable();
    Token& token = tokens_[slotOfAnswer];
    token.held = true;
    token.seed = body["seed"].get<std::uint32_t>();
    token.text = body["token"].get<std::string>();
    token.askedAt = tokenAskedAt_;
}

void BoardLink::answeredBoard(const HttpAnswer& answer, std::uint32_t now) {
    if (troubled(answer, now)) {
        return;
    }
    Board read;
    const nlohmann::json body = nlohmann::json::parse(answer.body, nullptr, false);
    bool good = answer.status == 200 && body.is_object() && body.contains("entries") && body["entries"].is_array();
    if (good) {
        for (const nlohmann::json& item : body["entries"]) {
            if (!item.is_object() || !item.contains("rank") || !item["rank"].is_number_integer() ||
                !item.contains("name") || !item["name"].is_string() || !item.contains("score") ||
                !item["score"].is_number() || !item.contains("runId") || !item["runId"].is_number_integer()) {
                good = false;
                break;
            }
            Entry entry;
            entry.row.rank = item["rank"].get<int>();
            entry.row.name = drawableName(item["name"].get<std::string>());
            entry.row.score = wholePoints(item["score"].get<double>());
            entry.runId = item["runId"].get<long long>();
            read.entries.push_back(std::move(entry));
        }
    }
    if (!good) {
        unreachable(answer.status != 200 ? "it answers " + refusal(answer) : "its answer to a read is no board", now);
        return;
    }
    reachable();
    read.read = true;
    read.readAt = now;
    boards_[boardSlot_] = std::move(read);
}

bool BoardLink::seedFor(Mode mode, Difficulty difficulty, std::uint32_t now, std::uint32_t& seed) const {
    const Token& token = tokens_[slot(mode, difficulty)];
    if (!enabled() || !token.held || since(token.askedAt, now) > kTokenLifeMilliseconds) {
        return false;
    }
    seed = token.seed;
    return true;
}

std::string BoardLink::takeToken(Mode mode, Difficulty difficulty, std::uint32_t seed, std::uint32_t now) {
    std::uint32_t held = 0;
    if (!seedFor(mode, difficulty, now, held) || held != seed) {
        return "";
    }
    Token& token = tokens_[slot(mode, difficulty)];
    std::string text = std::move(token.text);
    token = Token{};
    return text;
}

bool BoardLink::qualifies(Mode mode, Difficulty difficulty, int score) const {
    if (!enabled()) {
        return false;
    }
    const int own = player_.boardScore(mode, difficulty);
    if (own >= 0 && score > own) {
        return true;
    }
    const Board& board = boards_[slot(mode, difficulty)];
    if (!board.read || offline_ || board.entries.size() < static_cast<std::size_t>(kBoardDepth)) {
        return true;
    }
    return score > board.entries.back().row.score;
}

void BoardLink::submit(const std::string& token, const RunRecord& record, const std::string& name,
                       std::uint32_t now) {
    if (!enabled() || token.empty()) {
        return;
    }
    Submission& submission = submissions_.emplace_back();
    submission.body = nlohmann::json{{"token", token},
                                     {"name", name},
                                     {"playerKey", player_.playerKey()},
                                     {"record", Base64::encode(record.toBytes())}}
                          .dump();
    submission.mode = record.mode == 1 ? Mode::Random : Mode::Normal;
    submission.difficulty = record.difficulty == 1 ? Difficulty::Easy : Difficulty::Hard;
    submission.score = static_cast<int>(record.score);
    submission.sendAt = now;
    // One at a time: a run ended while an earlier one is still on its way waits its turn.
    if (submissions_.size() == 1) {
        sendSubmission();
    }
    status_ = "SENDING";
}

void BoardLink::sendSubmission() {
    HttpRequest request;
    request.method = "POST";
    request.url = url_ + "/v1/runs";
    request.body = submissions_.front().body;
    request.timeoutMilliseconds = kSubmitTimeoutMilliseconds;
    submissions_.front().request = http_.send(request);
    submissions_.front().waiting = false;
}

void BoardLink::answeredSubmission(const HttpAnswer& answer, std::uint32_t now) {
    const int status = answer.status;
    Submission& front = submissions_.front();
    if ((status == 0 || status == 429 || status >= 500) && front.retries < kSubmitRetries) {
        ++front.retries;
        front.waiting = true;
        const std::uint32_t wait = answer.retryAfterSeconds > 0
                                       ? static_cast<std::uint32_t>(answer.retryAfterSeconds) * 1000
                                       : kSubmitRetryMilliseconds;
        front.sendAt = now + wait;
        status_ = "RETRYING";
        return;
    }
    const Submission sent = std::move(front);
    submissions_.pop_front();
    if (!submissions_.empty()) {
        submissions_.front().sendAt = now;
        submissions_.front().waiting = true;
    }
    if (status == 0 || status == 429 || status >= 500) {
        say("the run could not be sent (" + (status == 0 ? answer.error : refusal(answer)) + "); it stays local");
        status_ = "OFFLINE";
        return;
    }
    const nlohmann::json body = nlohmann::json::parse(answer.body, nullptr, false);
    if (status == 201 && body.is_object() && body.contains("rank") && body["rank"].is_number_integer()) {
        status_ = "RANK " + std::to_string(body["rank"].get<long long>());
        if (sent.score > player_.boardScore(sent.mode, sent.difficulty)) {
            player_.setBoardScore(sent.mode, sent.difficulty, sent.score);
        }
        if (body.contains("runId") && body["runId"].is_number_integer() && body["runId"].get<long long>() > 0) {
            acceptedRun_ = body["runId"].get<long long>();
            acceptedMode_ = sent.mode;
            acceptedDifficulty_ = sent.difficulty;
        }
        // The next update reads the board again, with the run in it.
        boards_[slot(sent.mode, sent.difficulty)].read = false;
        return;
    }
    if (status == 409 && sent.retries > 0) {
        // A resend after a lost answer: the first sending was stored, its rank is unknown.
        status_ = "SENT";
        boards_[slot(sent.mode, sent.difficulty)].read = false;
        return;
    }
    say("the run was refused (" + refusal(answer) + ")");
    if (status == 401 || status == 403 || status == 409) {
        status_ = "EXPIRED";
    } else if (status == 422) {
        status_ = "NOT VERIFIED";
    } else {
        status_ = "REFUSED";
    }
}

std::vector<BoardRow> BoardLink::top(Mode mode, Difficulty difficulty) const {
    std::vector<BoardRow> rows;
    const Board& board = boards_[slot(mode, difficulty)];
    if (!enabled() || offline_ || !board.read) {
        return rows;
    }
    for (std::size_t i = 0; i < board.entries.size() && i < static_cast<std::size_t>(kTopRows); ++i) {
        rows.push_back(board.entries[i].row);
    }
    return rows;
}

void BoardLink::fetchBestRun(Mode mode, Difficulty difficulty) {
    if (!enabled()) {
        return;
    }
    if (recordRequest_ != 0) {
        recordRequest_ = 0;
        return;
    }
    const Board& board = boards_[slot(mode, difficulty)];
    if (offline_ || !board.read || board.entries.empty()) {
        say("no board run to watch");
        return;
    }
    const Entry& best = board.entries.front();
    HttpRequest request;
    request.url = url_ + "/v1/runs/" + std::to_string(best.runId) + "/record";
    request.timeoutMilliseconds = kRecordTimeoutMilliseconds;
    recordRequest_ = http_.send(request);
    recordCaption_ = std::to_string(best.row.rank) + " " + best.row.name + " " + std::to_string(best.row.score);
    recordReady_ = false;
}

void BoardLink::answeredRecord(const HttpAnswer& answer) {
    if (answer.status != 200) {
        say("the board's best run cannot be fetched (" + (answer.status == 0 ? answer.error : refusal(answer)) + ")");
        return;
    }
    std::string fault;
    RunRecord record;
    if (!RunRecord::fromBytes(answer.body, record, fault)) {
        say("the board's best run cannot be read (" + fault + ")");
        return;
    }
    record_ = std::move(record);
    recordReady_ = true;
}

bool BoardLink::takeBestRun(RunRecord& record, std::string& caption) {
    if (!recordReady_) {
        return false;
    }
    recordReady_ = false;
    record = std::move(record_);
    caption = recordCaption_;
    return true;
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
