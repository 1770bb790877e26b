#include "GameSession.h"

#include "Platform.h"
#include "PlatformHttpClient.h"
#include "VerifyCommand.h"
#include "io/FaultReporter.h"
#include "io/FileReader.h"
#include "render/GlEntryPoints.h"

#include <algorithm>
#include <memory>

namespace {

std::string loadGlEntryPoints() { return gl.load(glProcAddress); }

} // namespace

GameSession::GameSession(void* instance)
    : saveFolder_(userDataFolder()), window_(instance), bestFile_(saveFolder_),
      follower_(audio_, bestFile_), player_(saveFolder_) {}

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
    saves_.start();
    bestFile_.setWriter(&saves_);
    player_.setWriter(&saves_);
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
    // No board, no client, no key made: nothing is sent anywhere.
    if (!launch_.options.boardUrl.empty()) {
        http_ = std::make_unique<PlatformHttpClient>();
        http_->setCertificateAuthority(launch_.options.boardCertificateAuthority);
        ranked_ = std::make_unique<RankedRun>(*http_, player_);
        if (ranked_->setUrl(launch_.options.boardUrl)) {
            player_.load();
            browsing_.start(launch_.options.boardUrl, ranked_->link(), launch_.options.watchRun);
        } else {
            ranked_.reset();
        }
    }
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
    // The player's own best run carries no board caption.
    game_.setReplayCaption("");
}

void GameSession::followBoard() {
    if (!ranked_) {
        return;
    }
    const std::uint32_t now = platformMilliseconds();
    const RunState& run = game_.simulation().run();
    const bool onTitle = !run.running || run.gameOver;
    ranked_->frame(run.mode, run.difficulty, browsing_.season(), onTitle, now);
    // A run started from here on with this seed is the token's, and ranked.
    std::uint32_t seed = 0;
    BoardLink& board = ranked_->link();
    const bool dailyPressed = dailyKey_ && !dailyKeyWasDown_;
    const bool challengePressed = challengeKey_ && !challengeKeyWasDown_;
    dailyKeyWasDown_ = dailyKey_;
    challengeKeyWasDown_ = challengeKey_;
    browsing_.compete(game_, board, onTitle, dailyPressed, challengePressed, now);
    // A challenge keeps its road; a token's seed would rank the run elsewhere.
    if (browsing_.challengeSeed(seed) || ranked_->nextSeed(run.mode, run.difficulty, now, seed)) {
        game_.simulation().setNextSeed(seed);
    }
    if (ranked_->awaitingName() && !game_.askingName()) {
        ranked_->named(game_.takeEnteredName(), now);
    }
    std::string status;
    if (ranked_->statusChanged(status)) {
        game_.showBoardStatus(status);
    }
    // The table browsed and the board runs watched are browsing_'s, below.
    const bool key = boardWatchKey_;
    const bool pressed = key && !boardWatchKeyWasDown_;
    boardWatchKeyWasDown_ = key;
    if (pressed && game_.watching()) {
        game_.stopWatching();
    } else if (!browsing_.follow(game_, board, onTitle, pressed, now) && pressed && onTitle &&
               !game_.askingName()) {
        board.fetchBestRun(run.mode, run.difficulty);
    }
}

void GameSession::followBoardEvents() {
    // A watched run's starts and ends are heard, but they are not the player's.
    if (!ranked_ || game_.watching()) {
        return;
    }
    const GameEvents& events = game_.events();
    const RunState& run = game_.simulation().run();
    if (events.has(GameEvent::Started)) {
        ranked_->started(run.mode, run.difficulty, game_.simulation().runStart().seed, platformMilliseconds());
    }
    if (events.has(GameEvent::GameOver) &&
        ranked_->ended(run.mode, run.difficulty, static_cast<int>(run.score), game_.recorder().complete(),
                       game_.recorder().record())) {
        game_.askName(player_.name());
    }
}

void GameSession::followWatching() {
    const std::uint32_t now = platformMilliseconds();
    const bool watchKey = watchKey_;
    const bool watchPressed = watchKey && !watchKeyWasDown_;
    watchKeyWasDown_ = watchKey;
    if (game_.watching()) {
        if (watchPressed) {
            game_.stopWatching();
        }
        lastActivity_ = now;
        return;
    }
    if (game_.input().bits() != 0 || watchKey || boardWatchKey_ || dailyKey_ || challengeKey_ || browsing_.browsing() ||
        !window_.isActive() ||
        game_.simulation().run().running) {
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
        watchKey_ = isWatchKeyDown(WatchKey::Best);
        boardWatchKey_ = isWatchKeyDown(WatchKey::Board);
        dailyKey_ = isWatchKeyDown(WatchKey::Daily);
        challengeKey_ = isWatchKeyDown(WatchKey::Challenge);
        followWatching();
        followBoard();
    }
    if (runLoopIteration(window_, game_, isGameKeyDown, Followers{*this}, firstFrameShown_)) {
        frameStats_.stop();
        return true;
    }
    frameStats_.printOnce();
    finishGame(window_, game_);
    // The process ends after this: every save queued is on the disk first.
    saves_.drain();
    finished_ = true;
    return false;
}
