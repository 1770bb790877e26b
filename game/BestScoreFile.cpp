#include "game/BestScoreFile.h"

#include "io/AtomicFile.h"
#include "io/FaultReporter.h"
#include "io/FileReader.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace {

}  // namespace

BestScoreFile::BestScoreFile(std::string folder)
    : folder_(std::move(folder)), path_(folder_.empty() ? "" : folder_ + "/best.json") {}

void BestScoreFile::reportOnce(const std::string& line) {
    if (!reported_) {
        FaultReporter::report(line);
        reported_ = true;
    }
}

BestScores BestScoreFile::load() {
    BestScores scores;
    if (path_.empty()) {
        reportOnce("best score: no home folder in the environment; the best score is not kept");
        return scores;
    }
    std::error_code error;
    if (!std::filesystem::exists(path_, error)) {
        return scores;
    }
    std::string text;
    std::string fault;
    if (FileReader::read(path_, text, fault) && BestScores::fromJson(text, scores, fault)) {
        return scores;
    }
    // Only the latest damaged file is kept; Windows renames nothing over an existing file.
    const std::string aside = path_ + ".bad";
    std::filesystem::remove(aside, error);
    std::filesystem::rename(path_, aside, error);
    FaultReporter::report(path_, fault + (error ? "; it could not be kept aside" : "; kept aside as best.json.bad") +
                                     ", the best scores start from zero");
    return BestScores{};
}

bool BestScoreFile::save(const BestScores& scores) {
    if (path_.empty()) {
        reportOnce("best score: no home folder in the environment; the best score is not kept");
        return false;
    }
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) {
        reportOnce(folder_ + ": cannot make the folder for the best score (" + error.message() +
                   "); playing on without keeping it");
        return false;
    }
    std::string fault;
    if (!AtomicFile::replace(path_, scores.toJson(), fault)) {
        reportOnce(path_ + ": " + fault + "; playing on without keeping the best score");
        return false;
    }
    if (savedHook_ != nullptr) {
        savedHook_(path_);
    }
    return true;
}
