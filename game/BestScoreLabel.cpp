#include "game/BestScoreLabel.h"

#include <cstdio>

namespace {

// Both lines are padded with leading spaces to one width, so they end at the same place
// whatever the number's length; a space is a blank glyph.
constexpr int kWidth = 14;
constexpr unsigned kSize = 20;
constexpr float kRight = 1266.0f;
constexpr float kLeft = kRight - static_cast<float>(kSize * kWidth);

}  // namespace

void BestScoreLabel::init(const Texture* font, Camera* screenCamera) {
    Text::Options place{.x = kLeft, .y = 668, .z = -35, .size = kSize, .red = 0, .green = 0, .blue = 0};
    place.font = font;
    place.camera = screenCamera;
    best_.init("", place);
    place.y = 638;
    place.red = 0.75f;
    place.green = 0.05f;
    place.blue = 0.05f;
    newBestText_.init("      NEW BEST", place);
    shown_ = true;
    showBest();
}

void BestScoreLabel::setScores(const BestScores& scores) {
    scores_ = scores;
    showBest();
}

void BestScoreLabel::select(Mode mode, Difficulty difficulty) {
    mode_ = mode;
    difficulty_ = difficulty;
    showBest();
}

bool BestScoreLabel::offer(int score) {
    if (!scores_.offer(mode_, difficulty_, score)) {
        return false;
    }
    newBest_ = true;
    showBest();
    return true;
}

void BestScoreLabel::showBest() {
    if (!shown_) {
        return;
    }
    char text[16];
    std::snprintf(text, sizeof text, "BEST %d", scores_.best(mode_, difficulty_));
    char padded[32];
    std::snprintf(padded, sizeof padded, "%*s", kWidth, text);
    best_.setString(padded);
}

void BestScoreLabel::draw() {
    best_.draw();
    if (newBest_) {
        newBestText_.draw();
    }
}
