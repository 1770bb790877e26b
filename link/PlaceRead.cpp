#include "PlaceRead.h"

#include "BoardAnswer.h"
#include "BoardCache.h"
#include "RunSummary.h"

bool PlaceRead::due(int board, Season season, std::uint32_t now, std::uint32_t keptMilliseconds) const {
    const Place& place = places_[slot(board, season)];
    return !place.read || now - place.readAt > keptMilliseconds;
}

HttpRequest PlaceRead::request(const std::string& url, int board, Season season, const std::string& playerId,
                               int timeoutMilliseconds) {
    HttpRequest request;
    request.url = url + "/v1/boards/" + modeName(modeOfIndex(board)) + "/" + difficultyName(difficultyOfIndex(board)) +
                  "/around?season=" + BoardCache::seasonQuery(season) + "&player=" + playerId +
                  "&rows=" + std::to_string(kRowsAround);
    request.timeoutMilliseconds = timeoutMilliseconds;
    return request;
}

void PlaceRead::asked(int request, int board, Season season) {
    request_ = request;
    slot_ = slot(board, season);
}

bool PlaceRead::answered(const HttpAnswer& answer, std::uint32_t now) {
    Place read;
    std::string fault;
    // No row on that table (none played, hidden, banned): a place read, with no rank.
    if (answer.status == 404) {
        read.read = true;
    } else if (answer.status != 200 || !parse(answer.body, read, fault)) {
        return false;
    }
    read.readAt = now;
    places_[slot_] = std::move(read);
    return true;
}

void PlaceRead::askedLearn(int request, long long runId) {
    learnRequest_ = request;
    learnRun_ = runId;
}

bool PlaceRead::answeredLearn(const HttpAnswer& answer, std::string& playerId) {
    triedRun_ = learnRun_;
    RunSummary summary;
    std::string fault;
    // A run hidden since tells nothing, and is not asked again.
    if (answer.status == 404) {
        return true;
    }
    if (answer.status != 200 || !RunSummary::parse(answer.body, summary, fault)) {
        return false;
    }
    playerId = summary.playerId;
    return true;
}

void PlaceRead::forget(int board) {
    for (Season season : {Season::All, Season::Week, Season::Day}) {
        places_[slot(board, season)].read = false;
    }
}

bool PlaceRead::parse(const std::string& body, Place& place, std::string& fault) {
    const nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
    Place read;
    long long runId = 0;
    if (!BoardAnswer::entries(body, read.rows, fault)) {
        return false;
    }
    const auto total = json.find("total");
    if (!BoardAnswer::place(json, "rank", read.rank) || read.rank == 0 || total == json.end() ||
        !total->is_number_integer() || total->get<long long>() < read.rank || !BoardAnswer::runId(json, runId)) {
        fault = "the answer is no place (rank, total and runId expected)";
        return false;
    }
    read.read = true;
    read.total = total->get<long long>();
    for (std::size_t i = 0; i < read.rows.size(); ++i) {
        if (read.rows[i].runId == runId) {
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
