#include "GameSession.h"

#include "GameFollower.h"
#include "Window.h"

int GameSession::run(Window& window, const StartupServices& services, bool muted) {
    Game game;
    // A silent game is still a game: a failing audio device has been reported and is played around.
    AudioPlayer audio;
    audio.init();
    BestScoreFile bestFile(BestScoreFile::defaultFolder());
    game.bestScores().setScores(bestFile.load());
    window.setMuted(muted);
    return runGame(window, game, services, GameFollower(audio, bestFile));
}
