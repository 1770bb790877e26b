#include "game/BoardTable.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr unsigned kSize = 16;
// Right-aligned with the best score above; the left edge stays clear of the title
// picture, which reaches x 1040.
constexpr float kRight = 1266.0f;
constexpr float kLeft = kRight - static_cast<float>(kSize * BoardTable::kWidth);
// The heading sits under the end of the F2 prompt, which comes down to about y 496.
constexpr float kHeadingY = 456.0f;
constexpr float kLinePitch = 20.0f;
constexpr float kRowPitch = 46.0f;
constexpr int kNameLength = 12;

float nameY(int row) { return kHeadingY - 30.0f - kRowPitch * static_cast<float>(row); }

std::string rightAligned(const std::string& text) {
    const std::size_t width = BoardTable::kWidth;
    return text.size() >= width ? text.substr(text.size() - width) : std::string(width - text.size(), ' ') + text;
}

// A line from the network: only what the font draws, never more than a line.
std::string printable(const std::string& text, std::size_t length) {
    std::string result = text.substr(0, length);
    for (char& c : result) {
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '-' || c == '_';
        if (!allowed) {
            c = '?';
        }
    }
    return result;
}

}  // namespace

void BoardTable::init(const Texture* font, Camera* screenCamera) {
    Text::Options place{.x = kLeft, .y = kHeadingY, .z = -35, .size = kSize, .red = 0.75f, .green = 0.05f, .blue = 0.05f};
    place.font = font;
    place.camera = screenCamera;
    heading_.init(rightAligned("ONLINE TOP 5").c_str(), place);
    place.red = place.green = place.blue = 0.0f;
    for (int row = 0; row < kRows; ++row) {
        place.y = nameY(row);
        names_[row].init("", place);
        place.y = nameY(row) - kLinePitch;
        scores_[row].init("", place);
    }
    place.y = kHeadingY;
    statusText_.init("", place);
    placeStatus();
}

std::string BoardTable::nameLine(const BoardRow& row) {
    char rank[16];
    std::snprintf(rank, sizeof rank, "%d ", row.rank);
    return std::string(rank) + printable(row.name, kNameLength);
}

std::string BoardTable::scoreLine(const BoardRow& row) { return rightAligned(std::to_string(row.score)); }

void BoardTable::showRows(const std::vector<BoardRow>& rows) {
    rowCount_ = static_cast<int>(std::min<std::size_t>(rows.size(), kRows));
    for (int row = 0; row < rowCount_; ++row) {
        names_[row].setString(printable(nameLine(rows[row]), kWidth).c_str());
        scores_[row].setString(scoreLine(rows[row]).c_str());
    }
    placeStatus();
}

void BoardTable::showStatus(const std::string& line) {
    status_ = line;
    statusText_.setString(rightAligned(printable(line, kWidth)).c_str());
}

// Under the last entry, or where the heading would be when there is none.
void BoardTable::placeStatus() {
    const float y = rowCount_ == 0 ? kHeadingY : nameY(rowCount_ - 1) - kLinePitch - 28.0f;
    statusText_.moveTo(kLeft, y);
}

void BoardTable::draw() {
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
}
