#include "GameSession.h"

#include "Platform.h"
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
    if (!session->prepare(arguments) || !session->start()) {
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
    window_.setMuted(launch_.options.mute);
    StartupServices services{loadGlEntryPoints, applyFixedGlState, showErrorBox, isGameKeyDown};
    services.fullscreen = launch_.options.fullscreen;
    exitCode_ = startGame(window_, game_, services);
    return exitCode_ == 0;
}

bool GameSession::frame() {
    if (finished_) {
        return false;
    }
    if (runLoopIteration(window_, game_, isGameKeyDown, follower_, firstFrameShown_)) {
        return true;
    }
    finishGame(window_, game_);
    finished_ = true;
    return false;
}
