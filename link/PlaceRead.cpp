#include "PlaceRead.h"

#include "BoardLine.h"
#include "RunLink.h"
#include "RunSummary.h"

#include <nlohmann/json.hpp>

PlaceRead::PlaceRead(HttpClient& http) : http_(http) {}

int PlaceRead::slot(Mode mode, Difficulty difficulty, Season season) {
    return playIndex(mode, difficulty) * kSeasons + static_cast<int>(season);
}

void PlaceRead::learnFrom(long long runId) {
    if (url_.empty() || runId <= 0) {
        return;
    }
    HttpRequest request;
    request.url = url_ + "/v1/runs/" + std::to_string(runId);
    request.timeoutMilliseconds = kReadTimeoutMilliseconds;
    learnRequest_ = http_.send(request);
}

HttpRequest PlaceRead::request(const std::string& url, Mode mode, Difficulty difficulty, Season season,
                               const std::string& playerId, int timeoutMilliseconds) {
    HttpRequest request;
    request.url = url + "/v1/boards/" + modeName(mode) + "/" + difficultyName(difficulty) +
                  "/around?season=" + RunLink::seasonQuery(season) + "&player=" + playerId +
                  "&rows=" + std::to_string(kRowsAround);
    request.timeoutMilliseconds = timeoutMilliseconds;
    return request;
}

void PlaceRead::update(Mode mode, Difficulty difficulty, Season season, bool showing, std::uint32_t now) {
    if (url_.empty()) {
        return;
    }
    HttpAnswer answer;
    while (http_.poll(answer)) {
        answered(answer, now);
    }
    const int shown = slot(mode, difficulty, season);
    const bool due = !places_[shown].read || now - readAt_[shown] > kKeptMilliseconds;
    if (!showing || !due || playerId_.empty() || placeRequest_ != 0 ||
        (quiet_ && static_cast<std::int32_t>(now - quietUntil_) < 0)) {
        return;
    }
    placeRequest_ = http_.send(request(url_, mode, difficulty, season, playerId_, kReadTimeoutMilliseconds));
    placeSlot_ = shown;
}

void PlaceRead::answered(const HttpAnswer& answer, std::uint32_t now) {
    if (answer.id == learnRequest_) {
        learnRequest_ = 0;
        RunSummary summary;
        std::string fault;
        if (answer.status == 200 && RunSummary::parse(answer.body, summary, fault) && !summary.playerId.empty() &&
            summary.playerId != playerId_) {
            playerId_ = summary.playerId;
            for (Place& place : places_) {
                place.read = false;
            }
        }
        return;
    }
    if (answer.id != placeRequest_) {
        return;
    }
    placeRequest_ = 0;
    Place read;
    std::string fault;
    // No row on that table (none played, hidden, banned): a place read, with no rank.
    if (answer.status == 404) {
        read.read = true;
    } else if (answer.status != 200 || !parse(answer.body, read, fault)) {
        // BoardLink says when the board cannot be reached; a place that fails waits as long
        // as a kept one before it is asked again.
        if (answer.status == 200) {
            sayBoardLine("the player's place cannot be read (" + fault + ")");
        }
        quiet_ = true;
        quietUntil_ = now + kKeptMilliseconds;
        return;
    }
    quiet_ = false;
    places_[placeSlot_] = std::move(read);
    readAt_[placeSlot_] = now;
}

const PlaceRead::Place& PlaceRead::place(Mode mode, Difficulty difficulty, Season season) const {
    return places_[slot(mode, difficulty, season)];
}

void PlaceRead::forget(Mode mode, Difficulty difficulty) {
    for (Season season : {Season::All, Season::Week, Season::Day}) {
        places_[slot(mode, difficulty, season)].read = false;
    }
}

bool PlaceRead::parse(const std::string& body, Place& place, std::string& fault) {
    const nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
    Place read;
    if (!json.is_object() || !RunSummary::parseBoard(body, read.rows, fault)) {
        fault = "the answer is no place (its rows)";
        return false;
    }
    const auto rank = json.find("rank");
    const auto total = json.find("total");
    const auto runId = json.find("runId");
    if (rank == json.end() || !rank->is_number_integer() || total == json.end() || !total->is_number_integer() ||
        rank->get<long long>() < 1 || total->get<long long>() < rank->get<long long>() ||
        rank->get<long long>() > 1000000000 || runId == json.end() || !runId->is_number_integer()) {
        fault = "the answer is no place (rank, total and runId expected)";
        return false;
    }
    read.read = true;
    read.rank = rank->get<int>();
    read.total = total->get<long long>();
    for (std::size_t i = 0; i < read.rows.size(); ++i) {
        if (read.rows[i].runId == runId->get<long long>()) {
            read.own = static_cast<int>(i);
        }
    }
    place = std::move(read);
    return true;
}

std::string PlaceRead::line(const Place& place) {
    if (!place.read || place.rank == 0) {
        return "";
    }
    return "YOU " + std::to_string(place.rank) + " OF " + std::to_string(place.total);
}
