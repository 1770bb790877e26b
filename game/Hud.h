#pragma once

#include "sim/RunState.h"
#include "render/Sprite.h"
#include "render/Text.h"

class Camera;
class Mesh;
class Texture;

// Everything drawn over the road in screen units: the distance, multiplier and score of
// a run, the mode, a heart per life, and on the title screen the title with its three
// prompts. It shows what it is told and decides nothing.
class Hud {
public:
    struct Assets {
        const Texture* font;
        Mesh* quad;
        const Texture* heart;
        const Texture* title;
        Camera* screen;
    };

    // Lays out the texts for the given choices and places the heart and the title.
    void init(const Assets& assets, Mode mode, Difficulty difficulty);

    void showMode(Mode mode);
    void showDifficulty(Difficulty difficulty);
    void showDistance(float distance);
    // The lane multiplier in its band's colour, and the score.
    void showMultiplierAndScore(float multiplier, float red, float green, float blue, float score);
    // The numbers only during a run, the title and the prompts only before the first.
    void draw(bool running, int lives);

    const Text& distanceText() const { return distanceText_; }
    const Text& multiplierText() const { return multiplierText_; }
    const Text& scoreText() const { return scoreText_; }
    const Text& modeText() const { return modeText_; }
    const Text& f1Prompt() const { return f1Prompt_; }
    const Text& f2Prompt() const { return f2Prompt_; }
    const Text& startPrompt() const { return startPrompt_; }
    const Sprite& title() const { return title_; }

private:
    Text distanceText_;
    Text multiplierText_;
    Text scoreText_;
    Text modeText_;
    Text startPrompt_;
    Text f2Prompt_;
    Text f1Prompt_;
    Sprite heart_;
    Sprite title_;
};
