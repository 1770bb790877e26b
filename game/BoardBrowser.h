#pragma once

#include "vocab/BoardRow.h"
#include "vocab/Season.h"

#include <set>
#include <string>
#include <vector>

// Browsing the online board's table on the title and game-over screens: a highlight that
// moves through the top hundred of the shown board, five rows shown at a time (the page
// that holds the highlight), and the season shown. Pure state: the shell hands it the
// rows read and its keys, and draws what shown() and heading() give. Untouched, it is the
// plain top five of all time with nothing highlighted.
class BoardBrowser {
public:
    static constexpr int kDepth = BoardRow::kTableRows;
    static constexpr int kShownRows = 5;

    // The rows the board sent for the shown season; the highlight stays within them.
    void setRowCount(int count);
    // Moves the highlight by rows (down the table for positive), within the rows there are;
    // the first move only shows the highlight, on the first row.
    void move(int rows);
    // Week to all time and back (the day's table to all time); the highlight goes back to
    // the first row.
    void toggleSeason();
    void setSeason(Season season);
    // The rows around the player's own best instead of the table's top, and back: the
    // highlight starts on the player's row (its index among the rows around).
    void toggleAround(int ownIndex);
    bool around() const { return around_; }
    // Back to the plain top five of all time (another board is shown).
    void reset();

    Season season() const { return season_; }
    // The highlighted row's index in the table, -1 while nothing is highlighted.
    int highlight() const { return browsing_ ? highlight_ : -1; }
    // The index of the first row shown: the start of the page holding the highlight.
    int first() const { return (browsing_ ? highlight_ : 0) / kShownRows * kShownRows; }
    // The row a watch key picks: the highlighted one, else the first.
    int picked() const { return browsing_ ? highlight_ : 0; }

    // The rows on screen out of the table.
    std::vector<BoardRow> shown(const std::vector<BoardRow>& table) const;
    // The table's heading: "ONLINE TOP 5" untouched, "WEEK TOP 5", "ALL 6-10", "WEEK 96-100",
    // "DAY TOP 5", and "AROUND YOU" over the rows around the player's.
    std::string heading() const;
    // Which of the shown rows is highlighted (-1 for none), and which are the player's own.
    int shownHighlight() const { return browsing_ ? highlight_ - first() : -1; }
    static std::vector<bool> ownRows(const std::vector<BoardRow>& shown, const std::set<long long>& ownRuns);

private:
    Season season_ = Season::All;
    bool browsing_ = false;
    bool around_ = false;
    int highlight_ = 0;
    int count_ = 0;
};
