#pragma once

#include "game/BestScores.h"
#include "render/Text.h"

class Camera;
class Texture;

// The best scores as the game shows them: "BEST n" for the chosen way to play on the title
// screen and at game over, in the grass right of the road, clear of the title, the prompts
// and the HUD; and "NEW BEST" under it when the run that just ended beat it.
class BestScoreLabel {
public:
    // Makes the texts; the scores may be set before.
    void init(const Texture* font, Camera* screenCamera);

    void setScores(const BestScores& scores);
    const BestScores& scores() const { return scores_; }
    // Which way to play is chosen: its best is the one shown and offered to.
    void select(Mode mode, Difficulty difficulty);
    // A finished run's score: true when it beats the chosen best, which it then becomes.
    bool offer(int score);
    // A new run: "NEW BEST" goes away.
    void clearNewBest() { newBest_ = false; }
    bool newBest() const { return newBest_; }

    void draw();
    const Text& bestText() const { return best_; }
    const Text& newBestText() const { return newBestText_; }

private:
    void showBest();

    BestScores scores_;
    Mode mode_ = Mode::Normal;
    Difficulty difficulty_ = Difficulty::Hard;
    bool newBest_ = false;
    bool shown_ = false;
    Text best_;
    Text newBestText_;
};
