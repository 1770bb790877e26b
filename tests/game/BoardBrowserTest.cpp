// Browsing the board's table: the highlight's moves and bounds, the pages of five down to
// the hundredth row, the season toggle, and the player's own rows.
#include "game/BoardBrowser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<BoardRow> tableOf(int count) {
    std::vector<BoardRow> rows;
    for (int i = 1; i <= count; ++i) {
        rows.push_back({i, "P" + std::to_string(i), 1000 - i, 100 + i});
    }
    return rows;
}

}  // namespace

TEST(BoardBrowser, TheHighlightMovesWithinTheRowsAndShowsItsPage) {
    // Steps: a number moves the highlight by that many rows, 'S' toggles the season.
    const struct {
        const char* what;
        int rows;
        std::vector<int> moves;
        bool toggle;
        int highlight, first, picked;
        const char* heading;
    } cases[] = {
        {"untouched", 100, {}, false, -1, 0, 0, "ONLINE TOP 5"},
        {"the first move shows the highlight", 100, {1}, false, 0, 0, 0, "ONLINE TOP 5"},
        {"down a row", 100, {1, 1}, false, 1, 0, 1, "ONLINE TOP 5"},
        {"over the top", 100, {1, -1, -5}, false, 0, 0, 0, "ONLINE TOP 5"},
        {"onto the second page", 100, {1, 5}, false, 5, 5, 5, "ALL 6-10"},
        {"last row of a page", 100, {1, 4}, false, 4, 0, 4, "ONLINE TOP 5"},
        {"down to the hundredth", 100, {1, 50, 50, 50}, false, 99, 95, 99, "ALL 96-100"},
        {"back up a page from there", 100, {1, 99, -5}, false, 94, 90, 94, "ALL 91-95"},
        {"within a short board", 7, {1, 5, 5}, false, 6, 5, 6, "ALL 6-10"},
        {"an empty board", 0, {1, 1}, false, -1, 0, 0, "ONLINE TOP 5"},
        {"the week, from the first row", 100, {1, 12}, true, 0, 0, 0, "WEEK TOP 5"},
        {"the week browsed", 100, {1, 12, 20}, true, 20, 20, 20, "WEEK 21-25"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BoardBrowser browser;
        browser.setRowCount(c.rows);
        for (std::size_t i = 0; i < c.moves.size(); ++i) {
            // The season toggles after the first two moves, when asked.
            if (c.toggle && i == 2) {
                browser.toggleSeason();
            }
            browser.move(c.moves[i]);
        }
        if (c.toggle && c.moves.size() == 2) {
            browser.toggleSeason();
        }
        EXPECT_EQ(browser.highlight(), c.highlight);
        EXPECT_EQ(browser.first(), c.first);
        EXPECT_EQ(browser.picked(), c.picked);
        EXPECT_EQ(browser.heading(), c.heading);
        EXPECT_EQ(browser.season(), c.toggle ? Season::Week : Season::All);
        const std::vector<BoardRow> shown = browser.shown(tableOf(c.rows));
        const int expected = std::max(0, std::min(BoardBrowser::kShownRows, c.rows - c.first));
        ASSERT_EQ(static_cast<int>(shown.size()), expected);
        if (!shown.empty()) {
            EXPECT_EQ(shown.front().rank, c.first + 1);
            EXPECT_EQ(browser.shownHighlight(), c.highlight < 0 ? -1 : c.highlight - c.first);
        }
    }
}

TEST(BoardBrowser, ABoardThatShrinksKeepsTheHighlightOnItsRowsAndResetForgetsAll) {
    BoardBrowser browser;
    browser.setRowCount(100);
    browser.move(1);
    browser.move(60);
    browser.setRowCount(12);
    EXPECT_EQ(browser.highlight(), 11);
    EXPECT_EQ(browser.first(), 10);
    browser.toggleSeason();
    browser.reset();
    EXPECT_EQ(browser.highlight(), -1);
    EXPECT_EQ(browser.season(), Season::All);
    EXPECT_EQ(browser.heading(), "ONLINE TOP 5");
}

TEST(BoardBrowser, ThePlayersOwnRowsAreTheirAcceptedRuns) {
    const std::vector<BoardRow> shown = {{1, "ACE", 900, 17}, {2, "ME", 800, 42}, {3, "ME", 700, 0}, {4, "X", 1, 43}};
    const struct {
        std::set<long long> own;
        std::vector<bool> marked;
    } cases[] = {
        {{}, {false, false, false, false}},
        {{42}, {false, true, false, false}},
        {{42, 43, 99}, {false, true, false, true}},
        // A row without a run number is nobody's.
        {{0}, {false, false, false, false}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BoardBrowser::ownRows(shown, c.own), c.marked);
    }
}
