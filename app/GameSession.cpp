#include "GameSession.h"

#include "Platform.h"
#include "VerifyCommand.h"
#include "io/FaultReporter.h"
#include "io/FileReader.h"
#include "render/GlEntryPoints.h"

#include <memory>

namespace {

std::string loadGlEntryPoints() { return gl.load(glProcAddress); }

} // namespace

GameSession::GameSession(void* instance)
    : saveFolder_(userDataFolder()), window_(instance), bestFile_(saveFolder_),
      follower_(audio_, bestFile_) {}

int GameSession::run(const std::vector<std::string>& arguments, void* instance) {
    const auto session = std::make_unique<GameSession>(instance);
    if (!session->prepare(arguments)) {
        return session->exitCode();
    }
    // A verification needs no window: it ends here, before any is made.
    if (session->launch_.options.action == CommandLine::Action::Verify) {
        return VerifyCommand::run(session->launch_.options.verifyFile, stdout);
    }
    if (!session->start()) {
        return session->exitCode();
    }
    while (session->frame()) {
    }
    return session->exitCode();
}

bool GameSession::prepare(const std::vector<std::string>& arguments) {
    if (!launch_.prepare(arguments, executableFolder(), showErrorBox)) {
        exitCode_ = launch_.exitCode;
        return false;
    }
    return true;
}

bool GameSession::start() {
    audio_.init();
    game_.bestScores().setScores(bestFile_.load());
    game_.recorder().setGameVersion(Launch::version());
    window_.setMuted(launch_.options.mute);
    if (launch_.options.frameStats) {
        frameStats_.enable();
    }
    StartupServices services{loadGlEntryPoints, applyFixedGlState, showErrorBox, isGameKeyDown};
    services.fullscreen = launch_.options.fullscreen;
    exitCode_ = startGame(window_, game_, services);
    if (exitCode_ != 0) {
        return false;
    }
    lastActivity_ = platformMilliseconds();
    const std::string& replay = launch_.options.replayFile;
    if (!replay.empty()) {
        std::string bytes, fault;
        RunRecord record;
        if (!FileReader::read(replay, bytes, fault) || !RunRecord::fromBytes(bytes, record, fault) ||
            !game_.watch(record, fault)) {
            FaultReporter::report(replay, fault + "; playing without it");
        }
    }
    return true;
}

void GameSession::watchBestRun(bool asked) {
    const RunState& run = game_.simulation().run();
    RunRecord record;
    std::string fault;
    if (!bestFile_.loadRun(run.mode, run.difficulty, record)) {
        if (asked) {
            FaultReporter::report("no best run kept yet for this mode and difficulty");
        }
        return;
    }
    if (!game_.watch(record, fault) && asked) {
        FaultReporter::report(bestFile_.runPath(run.mode, run.difficulty), fault);
    }
}

void GameSession::followWatching() {
    const std::uint32_t now = platformMilliseconds();
    const bool watchKey = isWatchKeyDown();
    const bool watchPressed = watchKey && !watchKeyWasDown_;
    watchKeyWasDown_ = watchKey;
    if (game_.watching()) {
        if (watchPressed) {
            game_.stopWatching();
        }
        lastActivity_ = now;
        return;
    }
    if (game_.input().bits() != 0 || watchKey || !window_.isActive() || game_.simulation().run().running) {
        lastActivity_ = now;
    }
    if (watchPressed && !game_.simulation().run().running) {
        watchBestRun(true);
    } else if (now - lastActivity_ >= kAttractAfterMilliseconds) {
        lastActivity_ = now;
        watchBestRun(false);
    }
}

bool GameSession::frame() {
    if (finished_) {
        return false;
    }
    // Loading and the first draws are not play: timed from the first frame on screen.
    if (firstFrameShown_) {
        frameStats_.start();
    }
    if (window_.isRunning()) {
        followWatching();
    }
    if (runLoopIteration(window_, game_, isGameKeyDown, follower_, firstFrameShown_)) {
        frameStats_.stop();
        return true;
    }
    frameStats_.printOnce();
    finishGame(window_, game_);
    finished_ = true;
    return false;
}
