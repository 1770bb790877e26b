#include "game/BestScoreFile.h"

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
    if (!reported_.exchange(true)) {
        FaultReporter::report(line);
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
    setAside(path_, fault, "the best scores start from zero");
    return BestScores{};
}

void BestScoreFile::setAside(const std::string& path, const std::string& fault, const std::string& without) {
    // Only the latest damaged file is kept; Windows renames nothing over an existing file.
    const std::string aside = path + ".bad";
    std::error_code error;
    std::filesystem::remove(aside, error);
    std::filesystem::rename(path, aside, error);
    const std::string name = std::filesystem::path(aside).filename().string();
    FaultReporter::report(path, fault + (error ? "; it could not be kept aside" : "; kept aside as " + name) + ", " +
                                    without);
}

bool BestScoreFile::save(const BestScores& scores) { return writeFile(path_, scores.toJson(), "the best score"); }

bool BestScoreFile::writeFile(const std::string& path, std::string_view content, const char* what) {
    if (folder_.empty()) {
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
    writer_->write(path, std::string(content), [this, path, what](bool ok, const std::string& fault) {
        if (!ok) {
            reportOnce(path + ": " + fault + "; playing on without keeping " + what);
        } else if (savedHook_ != nullptr) {
            savedHook_(path);
        }
    });
    return true;
}

std::string BestScoreFile::runFileName(Mode mode, Difficulty difficulty) {
    return "best-run-" + playName(mode, difficulty) + ".rec";
}

std::string BestScoreFile::runPath(Mode mode, Difficulty difficulty) const {
    return folder_.empty() ? "" : folder_ + "/" + runFileName(mode, difficulty);
}

bool BestScoreFile::loadRun(Mode mode, Difficulty difficulty, RunRecord& record) {
    // A run saved a moment ago is read as it was saved: the rare watch right after a new
    // best waits for its write.
    if (writer_->pending() > 0) {
        writer_->drain();
    }
    const std::string path = runPath(mode, difficulty);
    std::error_code error;
    if (path.empty() || !std::filesystem::exists(path, error)) {
        return false;
    }
    std::string bytes;
    std::string fault;
    RunRecord read;
    if (FileReader::read(path, bytes, fault) && RunRecord::fromBytes(bytes, read, fault)) {
        if (read.mode == modeCode(mode) && read.difficulty == difficultyCode(difficulty)) {
            record = std::move(read);
            return true;
        }
        fault = "holds a run of another mode or difficulty";
    }
    setAside(path, fault, "there is no best run to watch");
    return false;
}

bool BestScoreFile::saveRun(const RunRecord& record) {
    return writeFile(runPath(modeOfCode(record.mode), difficultyOfCode(record.difficulty)), record.toBytes(),
                     "the best run");
}
