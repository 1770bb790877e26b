#include "game/OnlineTopList.h"

#include "vocab/PlayerName.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr unsigned kSize = 16;
// Right-aligned with the best score above; the left edge stays clear of the title
// picture, which reaches x 1040.
constexpr float kRight = 1266.0f;
constexpr float kLeft = kRight - static_cast<float>(kSize * OnlineTopList::kWidth);
// The heading sits under the end of the F2 prompt, which comes down to about y 496.
constexpr float kHeadingY = 456.0f;
constexpr float kFirstRowY = kHeadingY - 30.0f;
constexpr float kLinePitch = 20.0f;
// Between entries, a little more than between the two lines of one.
constexpr float kRowGap = 26.0f;
// The place and the road lines are small enough for "YOU 123456 OF 1234567" in the strip.
constexpr unsigned kSmallSize = 10;
constexpr std::size_t kSmallWidth = kSize * OnlineTopList::kWidth / kSmallSize;

std::string rightAligned(const std::string& text) {
    const std::size_t width = OnlineTopList::kWidth;
    return text.size() >= width ? text.substr(text.size() - width) : std::string(width - text.size(), ' ') + text;
}

}  // namespace

void OnlineTopList::init(const Texture* font, Camera* screenCamera) {
    Text::Options place{.x = kLeft, .y = kHeadingY, .z = -35, .size = kSize, .red = 0.75f, .green = 0.05f, .blue = 0.05f};
    place.font = font;
    place.camera = screenCamera;
    heading_.init(rightAligned(headingLine_).c_str(), place);
    place.red = place.green = place.blue = 0.0f;
    for (int row = 0; row < kRows; ++row) {
        names_[row].init("", place);
        scores_[row].init("", place);
    }
    statusText_.init("", place);
    place.size = kSmallSize;
    placeText_.init("", place);
    place.red = 0.75f;
    place.green = place.blue = 0.05f;
    roadText_.init("", place);
    roadText_.moveTo(kLeft, kHeadingY + 24.0f);
    initialised_ = true;
    showLines();
}

std::string OnlineTopList::scoreLine(const BoardRow& row) { return rightAligned(std::to_string(row.score)); }

bool OnlineTopList::fitsOneLine(const BoardRow& row) {
    return row.nameLine().size() + 1 + std::to_string(row.score).size() <= static_cast<std::size_t>(kWidth);
}

void OnlineTopList::showRows(const std::vector<BoardRow>& rows) {
    // The shell may hand the same rows over every frame: the texts are laid out on a change.
    const std::size_t count = std::min<std::size_t>(rows.size(), kRows);
    const auto same = [](const BoardRow& a, const BoardRow& b) {
        return a.rank == b.rank && a.score == b.score && a.name == b.name;
    };
    if (count == shownRows_.size() && std::equal(shownRows_.begin(), shownRows_.end(), rows.begin(), same)) {
        return;
    }
    shownRows_.assign(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(count));
    showLines();
}

// The texts exist once init has run; what was handed over before is shown then.
void OnlineTopList::showLines() {
    if (!initialised_) {
        return;
    }
    rowCount_ = static_cast<int>(shownRows_.size());
    for (int row = 0; row < rowCount_; ++row) {
        names_[row].setString(PlayerName::drawable(shownRows_[row].nameLine(), kWidth).c_str());
        scores_[row].setString(scoreLine(shownRows_[row]).c_str());
        oneLine_[row] = fitsOneLine(shownRows_[row]);
    }
    statusText_.setString(rightAligned(PlayerName::drawable(status_, kWidth)).c_str());
    heading_.setString(rightAligned(PlayerName::drawable(headingLine_, kWidth)).c_str());
    const auto small = [](const std::string& line) {
        const std::string text = PlayerName::drawable(line, static_cast<int>(kSmallWidth));
        return std::string(kSmallWidth - std::min(kSmallWidth, text.size()), ' ') + text;
    };
    placeText_.setString(small(place_).c_str());
    roadText_.setString(small(road_).c_str());
    for (int row = 0; row < rowCount_; ++row) {
        // The highlight in white, the player's own runs in blue (pale blue both at once).
        const bool lit = row == highlighted_;
        const float red = lit ? (own_[row] ? 0.6f : 1.0f) : 0.0f;
        const float green = lit ? (own_[row] ? 0.8f : 1.0f) : 0.0f;
        const float blue = own_[row] || lit ? 1.0f : 0.0f;
        names_[row].setColour(red, green, blue);
        scores_[row].setColour(red, green, blue);
    }
    layOut();
}

void OnlineTopList::showMarks(const std::string& heading, int highlighted, const std::vector<bool>& own) {
    bool same = heading == headingLine_ && highlighted == highlighted_;
    for (int row = 0; row < kRows; ++row) {
        const bool mine = row < static_cast<int>(own.size()) && own[row];
        same = same && mine == own_[row];
        own_[row] = mine;
    }
    if (same) {
        return;
    }
    headingLine_ = heading;
    highlighted_ = highlighted;
    showLines();
}

void OnlineTopList::showPlace(const std::string& line) {
    if (line != place_) {
        place_ = line;
        showLines();
    }
}

void OnlineTopList::showRoad(const std::string& line) {
    if (line != road_) {
        road_ = line;
        showLines();
    }
}

void OnlineTopList::showStatus(const std::string& line) {
    if (line == status_) {
        return;
    }
    status_ = line;
    showLines();
}

// An entry takes one line when its score fits after its name, else the score goes under
// it; the status comes under the last entry, or where the heading would be without any.
void OnlineTopList::layOut() {
    float y = kFirstRowY;
    for (int row = 0; row < rowCount_; ++row) {
        names_[row].moveTo(kLeft, y);
        if (!oneLine_[row]) {
            y -= kLinePitch;
        }
        scores_[row].moveTo(kLeft, y);
        y -= kRowGap;
    }
    const float statusY = rowCount_ == 0 ? kHeadingY : y - 4.0f;
    statusText_.moveTo(kLeft, statusY);
    placeText_.moveTo(kLeft, status_.empty() ? statusY : statusY - 22.0f);
}

void OnlineTopList::draw() {
    if (rowCount_ > 0) {
        heading_.draw();
        for (int row = 0; row < rowCount_; ++row) {
            names_[row].draw();
            scores_[row].draw();
        }
    }
    if (!status_.empty()) {
        statusText_.draw();
    }
    if (rowCount_ > 0 && !place_.empty()) {
        placeText_.draw();
    }
    if (!road_.empty()) {
        roadText_.draw();
    }
}
