#include "game/Hud.h"

#include <cstdio>

namespace {

constexpr float kHudDepth = -35.0f;
constexpr float kHeartFirstX = 80.0f;
constexpr float kHeartSpacing = 60.0f;

// Where each text stands on the 1280 x 720 screen, how big, in what colour and how turned.
constexpr Text::Options kDistancePlace{
    .x = 150, .y = 35, .z = kHudDepth, .size = 90, .red = 0, .blue = 0, .rotation = 90};
constexpr Text::Options kMultiplierPlace{
    .x = 230, .y = 35, .z = kHudDepth, .size = 90, .red = 0, .green = 0, .rotation = 90};
constexpr Text::Options kScorePlace{
    .x = 310, .y = 35, .z = kHudDepth, .size = 90, .red = 0, .blue = 0, .rotation = 90};
constexpr Text::Options kModePlace{
    .x = 40, .y = 620, .z = kHudDepth, .size = 40, .red = 0, .green = 0, .blue = 0};
constexpr Text::Options kStartPromptPlace{
    .x = 150, .y = 35, .z = kHudDepth, .size = 50, .red = 0, .green = 0, .blue = 0};
constexpr Text::Options kF1PromptPlace{
    .x = 80, .y = 450, .z = kHudDepth, .size = 30, .red = 0, .green = 0, .blue = 0, .rotation = 20};
constexpr Text::Options kF2PromptPlace{
    .x = 600, .y = 600, .z = kHudDepth, .size = 25, .red = 0, .green = 0, .blue = 0, .rotation = -10};

// Each prompt names the choice its key would make, so it reads the other way round.
const char* modeString(Mode mode) { return mode == Mode::Random ? "RANDOM" : "NORMAL"; }
const char* f2PromptString(Mode mode) {
    return mode == Mode::Random ? "PRESS F2 FOR NORMAL MODE" : "PRESS F2 FOR RANDOM MODE";
}
const char* f1PromptString(Difficulty difficulty) {
    return difficulty == Difficulty::Easy ? "PRESS F1 FOR HARD MODE" : "PRESS F1 FOR EASY MODE";
}

void showNumber(Text& text, const char* format, float value) {
    char string[32];
    std::snprintf(string, sizeof string, format, static_cast<int>(value));
    text.setString(string);
}

}  // namespace

void Hud::init(const Assets& assets, Mode mode, Difficulty difficulty) {
    heart_.place(kHeartFirstX, 570, kHudDepth, assets.quad, assets.heart, assets.screen);
    heart_.setSize(55, 55, 1);
    heart_.setPivot(0.5f, 0.5f);
    title_.place(640, 360, kHudDepth, assets.quad, assets.title, assets.screen);
    title_.setSize(800, 400, 1);
    title_.setPivot(0.5f, 0.5f);

    auto at = [&assets](Text::Options place) {
        place.font = assets.font;
        place.camera = assets.screen;
        return place;
    };
    // The numbers' placeholder never shows: every frame of a run writes them first.
    distanceText_.init("ca marche!", at(kDistancePlace));
    multiplierText_.init("x3", at(kMultiplierPlace));
    scoreText_.init("ca marche!", at(kScorePlace));
    modeText_.init(modeString(mode), at(kModePlace));
    startPrompt_.init("PRESS SPACE TO START", at(kStartPromptPlace));
    f1Prompt_.init(f1PromptString(difficulty), at(kF1PromptPlace));
    f2Prompt_.init(f2PromptString(mode), at(kF2PromptPlace));
}

void Hud::showMode(Mode mode) {
    modeText_.setString(modeString(mode));
    f2Prompt_.setString(f2PromptString(mode));
}

void Hud::showDifficulty(Difficulty difficulty) { f1Prompt_.setString(f1PromptString(difficulty)); }

void Hud::showDistance(float distance) { showNumber(distanceText_, "%d", distance); }

void Hud::showMultiplierAndScore(float multiplier, float red, float green, float blue, float score) {
    multiplierText_.setColour(red, green, blue);
    showNumber(multiplierText_, "x%d", multiplier);
    showNumber(scoreText_, "%d", score);
}

void Hud::draw(bool running, int lives) {
    if (running) {
        distanceText_.draw();
        multiplierText_.draw();
        scoreText_.draw();
    }
    modeText_.draw();
    heart_.x = kHeartFirstX;
    for (int i = 0; i < lives; ++i) {
        heart_.draw();
        heart_.x += kHeartSpacing;
    }
    if (!running) {
        title_.draw();
        startPrompt_.draw();
        f1Prompt_.draw();
        f2Prompt_.draw();
    }
}
