#pragma once

#include "vocab/BoardRow.h"
#include "render/Text.h"

#include <string>
#include <vector>

class Camera;
class Texture;

// The top of the online board as the title and game-over screens show it, in the grass
// right of the road under the best score: a heading, then per entry its rank, name and
// score, the score right-aligned, on the entry's line when it fits there and on the next
// otherwise (a twelve-letter name and a six-digit score do not fit on one line of that
// strip at a readable size), and a status line under them ("RANK 12", "SENDING"...).
// No entries, no heading: an offline game shows nothing.
class OnlineTopList {
public:
    static constexpr int kRows = 5;
    // Characters per line: the strip between the title picture and the screen's edge.
    static constexpr int kWidth = 14;

    // Makes the texts; rows and status may be handed over before.
    void init(const Texture* font, Camera* screenCamera);
    // The first kRows of rows are shown; the rest are ignored.
    void showRows(const std::vector<BoardRow>& rows);
    // Empty hides it.
    void showStatus(const std::string& line);
    // Two small lines, empty for none: the player's place under the table ("YOU 5432 OF
    // 98113") and the road chosen over it ("DAILY 05:12:33 LEFT", "CHALLENGE ACE 3437").
    // They show with the table, and the road's also without one.
    void showPlace(const std::string& line);
    void showRoad(const std::string& line);
    // While the board is browsed: the heading ("ONLINE TOP 5" by default), the shown row
    // drawn highlighted (-1 for none) and the rows that are the player's own runs.
    void showMarks(const std::string& heading, int highlighted, const std::vector<bool>& own);
    void draw();

    // The second line of an entry as drawn: the score padded to the right edge; the first is
    // the row's nameLine. The status line is cleaned as a name is.
    static std::string scoreLine(const BoardRow& row);
    // Whether the score fits on the name's line with a blank between them.
    static bool fitsOneLine(const BoardRow& row);

    int rowCount() const { return rowCount_; }
    const std::string& heading() const { return headingLine_; }
    int highlighted() const { return highlighted_; }
    bool own(int row) const { return own_[row]; }
    const std::string& status() const { return status_; }
    const std::string& place() const { return place_; }
    const std::string& road() const { return road_; }
    // The texts as the last showRows and showStatus laid them out, for the tests.
    const Text& headingText() const { return heading_; }
    const Text& nameText(int row) const { return names_[row]; }
    const Text& scoreText(int row) const { return scores_[row]; }
    const Text& statusText() const { return statusText_; }

private:
    void showLines();
    void layOut();

    bool initialised_ = false;
    std::vector<BoardRow> shownRows_;
    int rowCount_ = 0;
    bool oneLine_[kRows] = {};
    std::string headingLine_ = "ONLINE TOP 5";
    int highlighted_ = -1;
    bool own_[kRows] = {};
    std::string status_;
    std::string place_;
    std::string road_;
    Text placeText_;
    Text roadText_;
    Text heading_;
    Text names_[kRows];
    Text scores_[kRows];
    Text statusText_;
};
