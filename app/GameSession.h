#pragma once

#include "BoardBrowsing.h"
#include "FrameStats.h"
#include "GameFollower.h"
#include "Launch.h"
#include "MainLoop.h"
#include "Window.h"
#include "audio/AudioPlayer.h"
#include "game/BestScoreFile.h"
#include "game/Game.h"
#include "link/PlayerFile.h"
#include "io/FileWriteQueue.h"
#include "link/HttpClient.h"
#include "link/RankedRun.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One run of the program, the same on every platform: the options and the content folder,
// then one window with the game, its sound, its best scores and its online board, until
// the window closes.
// The desktop entry points run it whole (run); the browser, which owns the loop and reads
// the best-score folder back from the site's storage first, runs its stages one by one.
class GameSession {
public:
    // The instance is the Windows program's HINSTANCE, for its window class; null elsewhere.
    explicit GameSession(void* instance = nullptr);
    GameSession(const GameSession&) = delete;
    GameSession& operator=(const GameSession&) = delete;

    // The whole life of the program on the arguments after its name: the process's exit
    // code. The session lives on the heap: a Windows thread's stack is small.
    static int run(const std::vector<std::string>& arguments, void* instance = nullptr);

    // The options (help, version and bad ones answered) and the content folder entered.
    // False when the process ends now, with exitCode().
    bool prepare(const std::vector<std::string>& arguments);
    // The folder of the best scores, to be made ready (the browser's storage) before start.
    const std::string& saveFolder() const { return saveFolder_; }
    // Where the saves must also be copied after they are written (the browser's storage).
    void setSavedHook(BestScoreFile::SavedHook hook) {
        bestFile_.setSavedHook(hook);
        player_.setSavedHook(hook);
    }
    // Sound, the stored bests, the window and the game. False when start-up failed, after
    // the failure was shown to the player; exitCode() then says so.
    bool start();
    // One iteration of the loop. False once the window has closed and the game has been
    // shut down; no frame follows.
    bool frame();

    // After this long on the title screen without a key, the best run of the shown mode
    // and difficulty plays by itself, as arcade cabinets do.
    static constexpr std::uint32_t kAttractAfterMilliseconds = 30000;

    int exitCode() const { return exitCode_; }
    const Window& window() const { return window_; }
    const Game& game() const { return game_; }
    // The online board's side of the game; null when the game has no board.
    const BoardLink* board() const { return ranked_ ? &ranked_->link() : nullptr; }

private:
    // The watching of recorded runs: the record given with --replay at start, then R (or a
    // controller's B) and the idle title screen for the best run; R again ends a watching.
    void followWatching();
    // Watches the best run of the title screen's mode and difficulty; says why not when asked.
    void watchBestRun(bool asked);
    // The online board before the frame's ticks, forwarded to the ranked run: the screen and
    // the clock, the name entered; back come the seed, the status line, and T's (or a
    // controller's Back's) board run to watch.
    void followBoard();
    // The online board after the ticks: the run's start and end, forwarded.
    void followBoardEvents();

    // Forwards the window and every update to the sound's follower and then to the board.
    struct Followers {
        GameSession& session;
        void followWindow(const Window& window) { session.follower_.followWindow(window); }
        void followFrame(const Game& game) {
            session.follower_.followFrame(game);
            session.followBoardEvents();
        }
    };

    Launch launch_;
    std::string saveFolder_;
    Window window_;
    Game game_;
    // A silent game is still a game: a failing audio device is reported and played around.
    AudioPlayer audio_;
    BestScoreFile bestFile_;
    GameFollower follower_;
    FrameStats frameStats_;
    bool firstFrameShown_ = false;
    bool finished_ = false;
    std::uint32_t lastActivity_ = 0;
    // The watch keys as asked once this frame (a tap is answered once), and the frame before.
    bool watchKey_ = false;
    bool watchKeyWasDown_ = false;
    bool boardWatchKey_ = false;
    int exitCode_ = 0;

    PlayerFile player_;
    std::unique_ptr<HttpClient> http_;
    std::unique_ptr<RankedRun> ranked_;
    bool boardWatchKeyWasDown_ = false;
    // D and C (a controller's left stick press is both), asked once a frame, and before.
    bool dailyKey_ = false;
    bool challengeKey_ = false;
    bool dailyKeyWasDown_ = false;
    bool challengeKeyWasDown_ = false;
    // The board's runs browsed, watched by number and shared; started with the board.
    BoardBrowsing browsing_{player_};

    // The saves of the best scores, best runs and player file, written off the frame's
    // thread. Last, so that it is gone, drained, before the files that queue to it.
    FileWriteQueue saves_;
};
