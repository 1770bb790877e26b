#include "link/PlayerFile.h"

#include "io/FaultReporter.h"
#include "io/FileReader.h"
#include "io/JsonFile.h"
#include "vocab/BoardNumbers.h"
#include "vocab/PlayerKey.h"
#include "vocab/PlayerName.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <random>
#include <system_error>
#include <utility>

PlayerFile::PlayerFile(std::string folder)
    : folder_(std::move(folder)), path_(folder_.empty() ? "" : folder_ + "/player.json") {}

std::string PlayerFile::boardName(Mode mode, Difficulty difficulty) {
    return playName(mode, difficulty);
}

std::string PlayerFile::makeKey() {
    std::random_device device;
    std::uniform_int_distribution<int> pick(0, PlayerKey::kMadeCharacterCount - 1);
    std::string key(kKeyLength, ' ');
    for (char& c : key) {
        c = PlayerKey::kMadeCharacters[pick(device)];
    }
    return key;
}

int PlayerFile::boardScore(Mode mode, Difficulty difficulty) const {
    const auto found = boards_.find(boardName(mode, difficulty));
    return found == boards_.end() ? -1 : found->second;
}

void PlayerFile::setName(const std::string& name) {
    if (name != name_) {
        name_ = name;
        save();
    }
}

void PlayerFile::setBoardScore(Mode mode, Difficulty difficulty, int score) {
    const auto [kept, added] = boards_.try_emplace(boardName(mode, difficulty), score);
    if (added || kept->second != score) {
        kept->second = score;
        save();
    }
}

void PlayerFile::setPlayerId(const std::string& playerId) {
    if (playerId != playerId_ && BoardNumbers::isPlayerId(playerId)) {
        playerId_ = playerId;
        save();
    }
}

void PlayerFile::addOwnRun(long long runId) {
    if (runId <= 0 || !ownRuns_.insert(runId).second) {
        return;
    }
    // The board numbers runs in the order they came: the smallest are the oldest.
    while (ownRuns_.size() > kOwnRuns) {
        ownRuns_.erase(ownRuns_.begin());
    }
    save();
}

std::string PlayerFile::toJson() const {
    nlohmann::ordered_json document = nlohmann::ordered_json::object();
    document["name"] = name_;
    document["playerKey"] = playerKey_;
    document["boards"] = nlohmann::ordered_json::object();
    for (const auto& [board, score] : boards_) {
        document["boards"][board] = score;
    }
    document["runs"] = ownRuns_;
    if (!playerId_.empty()) {
        document["playerId"] = playerId_;
    }
    return document.dump(2) + "\n";
}

bool PlayerFile::fromJson(const std::string& text, std::string& fault) {
    JsonValue document;
    if (!JsonFile::parseObject(text, document, fault)) {
        return false;
    }
    std::string name;
    if (const auto member = document.find("name"); member != document.end()) {
        if (!member->is_string() || member->get<std::string>().size() > static_cast<std::size_t>(PlayerName::kLongest)) {
            fault = "\"name\" is not a name of at most " + std::to_string(PlayerName::kLongest) + " characters";
            return false;
        }
        name = member->get<std::string>();
    }
    const auto key = document.find("playerKey");
    if (key == document.end() || !key->is_string() || !PlayerKey::valid(key->get<std::string>())) {
        fault = std::string("\"playerKey\" is missing or not ") + PlayerKey::kRule;
        return false;
    }
    std::map<std::string, int> boards;
    if (const auto member = document.find("boards"); member != document.end()) {
        if (!member->is_object()) {
            fault = "\"boards\" is not an object";
            return false;
        }
        for (const auto& [board, score] : member->items()) {
            const long long value = JsonFile::wholeNumber(score, BoardNumbers::kHighestScore);
            if (value < 0) {
                fault = "the score of \"" + board + "\" is not a whole number from 0 to " +
                        std::to_string(BoardNumbers::kHighestScore);
                return false;
            }
            boards[board] = static_cast<int>(value);
        }
    }
    std::set<long long> runs;
    if (const auto member = document.find("runs"); member != document.end()) {
        for (const auto& run : member->is_array() ? *member : JsonValue::array({-1})) {
            const long long value = JsonFile::wholeNumber(run, BoardNumbers::kLargestRunId);
            if (value <= 0) {
                fault = "\"runs\" is not a list of the board's run numbers";
                return false;
            }
            runs.insert(value);
        }
    }
    // The board tells the id again from any run of the player's: one that is no id is
    // dropped, not worth setting the key aside for.
    std::string playerId;
    if (const auto member = document.find("playerId");
        member != document.end() && member->is_string() && BoardNumbers::isPlayerId(member->get<std::string>())) {
        playerId = member->get<std::string>();
    }
    name_ = std::move(name);
    playerId_ = std::move(playerId);
    playerKey_ = key->get<std::string>();
    boards_ = std::move(boards);
    ownRuns_ = std::move(runs);
    return true;
}

void PlayerFile::load() {
    std::error_code error;
    if (!path_.empty() && std::filesystem::exists(path_, error)) {
        std::string text, fault;
        if (FileReader::read(path_, text, fault) && fromJson(text, fault)) {
            return;
        }
        // The key is the player's standing on the board: never written over unseen.
        const std::string aside = path_ + ".broken";
        std::filesystem::remove(aside, error);
        std::filesystem::rename(path_, aside, error);
        FaultReporter::report(path_, fault + (error ? "; it could not be kept aside" : "; kept aside as player.json.broken") +
                                         ", the board sees a new player");
    }
    name_.clear();
    playerId_.clear();
    boards_.clear();
    ownRuns_.clear();
    playerKey_ = makeKey();
    save();
}

bool PlayerFile::save() {
    if (folder_.empty()) {
        return false;
    }
    const auto reportOnce = [this](const std::string& why) {
        if (!reported_.exchange(true)) {
            FaultReporter::report(path_, why + "; the player's name and key are not kept");
        }
    };
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) {
        reportOnce(error.message());
        return false;
    }
    writer_->write(path_, toJson(), [this, reportOnce](bool ok, const std::string& fault) {
        if (!ok) {
            reportOnce(fault);
        } else if (savedHook_ != nullptr) {
            savedHook_(path_);
        }
    });
    return true;
}
