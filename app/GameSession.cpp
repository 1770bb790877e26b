#include "GameSession.h"

#include "Platform.h"
#include "VerifyCommand.h"
#include "render/GlEntryPoints.h"

#include <memory>

namespace {

std::string loadGlEntryPoints() { return gl.load(glProcAddress); }

} // namespace

GameSession::GameSession(void* instance)
    : saveFolder_(BestScoreFile::defaultFolder()), window_(instance), bestFile_(saveFolder_),
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
    StartupServices services{loadGlEntryPoints, applyFixedGlState, showErrorBox, isGameKeyDown};
    services.fullscreen = launch_.options.fullscreen;
    exitCode_ = startGame(window_, game_, services);
    return exitCode_ == 0;
}

bool GameSession::frame() {
    if (runLoopIteration(window_, game_, isGameKeyDown, follower_, firstFrameShown_)) {
        return true;
    }
    finishGame(window_, game_);
    return false;
}
