// The online board's screens in the game: the top five and the status line placed clear of
// everything else on the title and game-over screens, the name entry taking the keys from
// the rules, and what is drawn when.
#include "GameRules.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

// A drawn thing's outline on the 1280 x 720 screen, corners in order round it.
struct Outline {
    std::string what;
    float x[4], y[4];
};

// A text's glyph cells as laid out, from the first to the last that is not blank: from
// the corner along its own turned x axis.
Outline outlineOf(const std::string& what, const Text& text) {
    const std::string glyphs = shown(text);
    const std::size_t first = std::min(glyphs.find_first_not_of(' '), glyphs.size());
    const std::size_t end = glyphs.find_last_not_of(' ') + 1;
    const float size = static_cast<float>(text.size());
    const float start = static_cast<float>(first) * size;
    const float length = static_cast<float>(end) * size;
    const float height = size;
    const float radians = text.rotation() * 3.14159265f / 180.0f;
    const float c = std::cos(radians), s = std::sin(radians);
    const float u[4] = {start, length, length, start}, v[4] = {0, 0, height, height};
    Outline outline{what, {}, {}};
    for (int i = 0; i < 4; ++i) {
        outline.x[i] = text.x() + c * u[i] - s * v[i];
        outline.y[i] = text.y() + s * u[i] + c * v[i];
    }
    return outline;
}

Outline outlineOf(const std::string& what, const Sprite& sprite) {
    const float left = sprite.x - sprite.pivotX() * sprite.width();
    const float bottom = sprite.y - sprite.pivotY() * sprite.height();
    const float right = left + sprite.width(), top = bottom + sprite.height();
    return {what, {left, right, right, left}, {bottom, bottom, top, top}};
}

// Two convex outlines overlap unless one of their edges' normals separates them.
bool overlap(const Outline& a, const Outline& b) {
    for (const Outline* shape : {&a, &b}) {
        for (int i = 0; i < 4; ++i) {
            const int j = (i + 1) % 4;
            const float nx = shape->y[j] - shape->y[i], ny = shape->x[i] - shape->x[j];
            float aMin = 1e30f, aMax = -1e30f, bMin = 1e30f, bMax = -1e30f;
            for (int k = 0; k < 4; ++k) {
                const float pa = nx * a.x[k] + ny * a.y[k], pb = nx * b.x[k] + ny * b.y[k];
                aMin = std::min(aMin, pa), aMax = std::max(aMax, pa);
                bMin = std::min(bMin, pb), bMax = std::max(bMax, pb);
            }
            if (aMax <= bMin || bMax <= aMin) {
                return false;
            }
        }
    }
    return true;
}

bool onScreen(const Outline& outline) {
    for (int i = 0; i < 4; ++i) {
        if (outline.x[i] < 0 || outline.x[i] > 1280 || outline.y[i] < 0 || outline.y[i] > 720) {
            return false;
        }
    }
    return true;
}

// The whole back buffer, bottom row first.
std::vector<uint8_t> screenPixels() {
    std::vector<uint8_t> pixels(1280 * 720 * 4);
    glReadPixels(0, 0, 1280, 720, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

struct Changes {
    int count = 0;
    int left = 1280, right = -1, bottom = 720, top = -1;
};

Changes changesBetween(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) {
    Changes changes;
    for (int y = 0; y < 720; ++y) {
        for (int x = 0; x < 1280; ++x) {
            const std::size_t i = 4 * (static_cast<std::size_t>(y) * 1280 + x);
            if (std::equal(before.begin() + i, before.begin() + i + 3, after.begin() + i)) {
                continue;
            }
            ++changes.count;
            changes.left = std::min(changes.left, x), changes.right = std::max(changes.right, x);
            changes.bottom = std::min(changes.bottom, y), changes.top = std::max(changes.top, y);
        }
    }
    return changes;
}

// The longest entries the board can send.
const std::vector<BoardRow> kLongRows = {{1, "ABCDEFGHIJKL", 999999}, {2, "MMMMMMMMMMMM", 888888},
                                         {3, "W_W_W_W_W_W_", 777777}, {4, "0123456789-_", 666666},
                                         {5, "ZZZZZZZZZZZZ", 555555}};

// Entries whose score fits on the name's line.
const std::vector<BoardRow> kShortRows = {
    {1, "ACE", 3437}, {2, "BOB", 2970}, {3, "ZOE", 1200}, {4, "KIM", 88}, {5, "ABCDEF", 99999}};

}  // namespace

class BoardScreens : public GameRules {
protected:
    void toGameOver() {
        startAndRecover();
        parkCarOnTruck(0);
        frames(1);
        ASSERT_TRUE(game().gameOver());
    }

    // The board's texts that the game draws now, and everything else it draws.
    std::vector<Outline> boardOutlines() {
        const OnlineTopList& table = game().topList();
        std::vector<Outline> outlines;
        if (table.rowCount() > 0) {
            outlines.push_back(outlineOf("heading", table.headingText()));
        }
        for (int row = 0; row < table.rowCount(); ++row) {
            outlines.push_back(outlineOf("name " + std::to_string(row), table.nameText(row)));
            outlines.push_back(outlineOf("score " + std::to_string(row), table.scoreText(row)));
        }
        if (!table.status().empty()) {
            outlines.push_back(outlineOf("status", table.statusText()));
        }
        return outlines;
    }

    std::vector<Outline> otherOutlines() {
        const Hud& hud = game().hud();
        std::vector<Outline> outlines = {outlineOf("mode", hud.modeText()),
                                         outlineOf("best", game().bestScores().bestText()),
                                         outlineOf("new best", game().bestScores().newBestText())};
        if (!game().running()) {
            outlines.push_back(outlineOf("title picture", hud.title()));
            outlines.push_back(outlineOf("start prompt", hud.startPrompt()));
            outlines.push_back(outlineOf("F1 prompt", hud.f1Prompt()));
            outlines.push_back(outlineOf("F2 prompt", hud.f2Prompt()));
        } else {
            outlines.push_back(outlineOf("distance", hud.distanceText()));
            outlines.push_back(outlineOf("multiplier", hud.multiplierText()));
            outlines.push_back(outlineOf("score", hud.scoreText()));
        }
        if (game().askingName()) {
            const NameEntryScreen& entry = game().nameEntryScreen();
            outlines.push_back(outlineOf("name panel", entry.panel()));
            outlines.push_back(outlineOf("name heading", entry.headingText()));
            outlines.push_back(outlineOf("name slots", entry.slotsText()));
            outlines.push_back(outlineOf("name keys", entry.keysText()));
            outlines.push_back(outlineOf("name refused", entry.refusedText()));
        }
        return outlines;
    }
};

TEST_F(BoardScreens, TheBoardOverlapsNothingElseOnTheTitleAndGameOverScreens) {
    struct Case {
        const char* what;
        bool gameOver;
        bool asking;
        std::vector<BoardRow> rows;
        const char* status;
        std::size_t drawn;
        // Browsed: the heading of the page shown and its highlighted row.
        const char* heading = "ONLINE TOP 5";
        int highlighted = -1;
    };
    const Case cases[] = {
        {"title, five long entries", false, false, kLongRows, "NOT VERIFIED", 12},
        {"title, offline", false, false, {}, "OFFLINE", 1},
        {"title, two entries", false, false, {kLongRows[0], kLongRows[1]}, "SENDING", 6},
        {"title, short entries", false, false, kShortRows, "RANK 5", 12},
        {"title, browsed to the last week page", false, false, kLongRows, "RANK 100", 12, "WEEK 96-100", 4},
        {"title, browsed all time", false, false, kShortRows, "", 11, "ALL 91-95", 0},
        {"game over, naming", true, true, kLongRows, "", 11},
        {"game over, ranked", true, false, kLongRows, "RANK 123456", 12},
        {"game over, browsed", true, false, kLongRows, "RANK 99", 12, "WEEK 21-25", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.gameOver && !game().gameOver()) {
            toGameOver();
        }
        if (c.asking) {
            game().askName("ABCDEFGHIJKL");
        }
        game().showBoardTop(c.rows);
        game().showBoardStatus(c.status);
        game().showBoardMarks(c.heading, c.highlighted, {true, false, true});
        frames(1);
        EXPECT_EQ(game().topList().heading(), c.heading);
        EXPECT_EQ(game().topList().highlighted(), c.highlighted);
        EXPECT_TRUE(game().topList().own(0) && !game().topList().own(1));
        const std::vector<Outline> board = boardOutlines();
        const std::vector<Outline> others = otherOutlines();
        if (!c.gameOver) {
            EXPECT_TRUE(overlap(others[3], others[5])) << "the check sees the F1 prompt cross the title picture";
        }
        EXPECT_EQ(board.size(), c.drawn);
        for (std::size_t i = 0; i < board.size(); ++i) {
            EXPECT_TRUE(onScreen(board[i])) << board[i].what;
            for (const Outline& other : others) {
                EXPECT_FALSE(overlap(board[i], other)) << board[i].what << " covers " << other.what;
            }
            for (std::size_t j = i + 1; j < board.size(); ++j) {
                EXPECT_FALSE(overlap(board[i], board[j])) << board[i].what << " covers " << board[j].what;
            }
        }
        if (c.asking) {
            game().input().hold(GameKey::Space);
            frames(1);
            game().input().releaseAll();
            EXPECT_EQ(game().takeEnteredName(), "ABCDEFGHIJKL");
        }
    }
}

TEST_F(BoardScreens, TheLongestEntriesAreShownWhole) {
    game().showBoardTop(kLongRows);
    const OnlineTopList& table = game().topList();
    ASSERT_EQ(table.rowCount(), 5);
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(shown(table.nameText(row)), std::to_string(row + 1) + " " + kLongRows[row].name);
        const std::string score = shown(table.scoreText(row));
        EXPECT_EQ(score.substr(score.find_first_not_of(' ')), std::to_string(kLongRows[row].score));
    }
}

TEST(OnlineTopList, EntryLinesAreCutAndCleanedToWhatTheFontDraws) {
    const struct {
        BoardRow row;
        const char* name;
        const char* score;
        bool oneLine;
    } cases[] = {
        {{1, "ACE", 3437}, "1 ACE", "          3437", true},
        {{2, "ACE IS BACK AGAIN", 0}, "2 ACE IS BACK ", "             0", false},
        {{3, "ace\n\x1b[2J", -5}, "3 ??????2J", "            -5", true},
        {{100, "BOB", 2147483647}, "100 BOB", "    2147483647", false},
        {{4, "ABCDEF", 99999}, "4 ABCDEF", "         99999", true},
        {{4, "ABCDEFG", 99999}, "4 ABCDEFG", "         99999", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.row.nameLine(), c.name);
        EXPECT_EQ(OnlineTopList::scoreLine(c.row), c.score);
        EXPECT_EQ(OnlineTopList::fitsOneLine(c.row), c.oneLine) << c.name;
    }
}

// The board is drawn on the title and game-over screens only, in the grass right of the
// road, and an empty list draws nothing.
TEST_F(BoardScreens, TheBoardIsDrawnOnlyOnTheTitleAndGameOverScreens) {
    auto drawnBy = [this](const std::vector<BoardRow>& rows, const std::string& status) {
        game().showBoardTop({});
        game().showBoardStatus("");
        game().render();
        const std::vector<uint8_t> before = screenPixels();
        game().showBoardTop(rows);
        game().showBoardStatus(status);
        game().render();
        return changesBetween(before, screenPixels());
    };
    auto expectInTheGrass = [](const Changes& changes) {
        EXPECT_GT(changes.count, 200);
        EXPECT_GE(changes.left, 1040);
        EXPECT_LE(changes.right, 1270);
        EXPECT_GE(changes.bottom, 100);
        EXPECT_LE(changes.top, 490);
    };
    expectInTheGrass(drawnBy(kLongRows, "RANK 1"));
    expectInTheGrass(drawnBy({}, "OFFLINE"));
    EXPECT_EQ(drawnBy({}, "").count, 0);
    startAndRecover();
    EXPECT_EQ(drawnBy(kLongRows, "RANK 1").count, 0) << "drawn during a run";
    parkCarOnTruck(0);
    frames(1);
    ASSERT_TRUE(game().gameOver());
    expectInTheGrass(drawnBy(kLongRows, "RANK 1"));
}

TEST_F(BoardScreens, WhileANameIsAskedTheRulesSeeNoKeys) {
    toGameOver();
    game().showBoardStatus("SENDING");
    game().render();
    const std::vector<uint8_t> before = screenPixels();
    game().askName("AB");
    ASSERT_TRUE(game().askingName());
    game().render();
    const Changes entry = changesBetween(before, screenPixels());
    EXPECT_GT(entry.count, 2000);
    EXPECT_GE(entry.left, 300);
    EXPECT_LE(entry.right, 980) << "on the road";

    // Too short: SPACE neither confirms nor restarts the run, and F1 switches nothing.
    press(GameKey::Space);
    press(GameKey::F1);
    EXPECT_TRUE(game().askingName());
    EXPECT_TRUE(game().gameOver());
    EXPECT_EQ(game().difficulty(), Difficulty::Hard);
    EXPECT_TRUE(game().nameEntry().refused());
    EXPECT_EQ(game().takeEnteredName(), "");
    press(GameKey::Up);
    EXPECT_EQ(game().nameEntry().slots().substr(0, 3), "ABA");
    EXPECT_TRUE(game().gameOver()) << "UP reached the rules";

    // The SPACE that confirms must be let go before the rules see it.
    hold(GameKey::Space);
    frames(1);
    EXPECT_FALSE(game().askingName());
    EXPECT_EQ(game().takeEnteredName(), "ABA");
    EXPECT_EQ(game().takeEnteredName(), "") << "taken once";
    frames(120);
    EXPECT_TRUE(game().gameOver());
    EXPECT_EQ(game().topList().status(), "SENDING");
    hold(GameKey::Space, false);
    frames(1);
    hold(GameKey::Space);
    frames(2);
    EXPECT_TRUE(game().running() && !game().gameOver());
    EXPECT_EQ(game().topList().status(), "") << "a run's start clears the status";
}

// The shell may hand the board over before the window and its OpenGL are up.
TEST_F(BoardScreens, WhatIsHandedOverBeforeInitIsShownOnceTheTextsExist) {
    Game early;
    early.showBoardTop(kShortRows);
    early.showBoardStatus("OFFLINE");
    early.setReplayCaption("1 ACE 3437");
    early.askName("BOB");
    early.resize(1280, 720);
    ASSERT_TRUE(early.init());
    EXPECT_EQ(early.topList().rowCount(), 5);
    EXPECT_EQ(shown(early.topList().nameText(4)), "5 ABCDEF");
    const std::string status = shown(early.topList().statusText());
    EXPECT_EQ(status.substr(status.find_first_not_of(' ')), "OFFLINE");
    EXPECT_EQ(shown(early.replayCaptionText()), "1 ACE 3437");
    EXPECT_EQ(shown(early.nameEntryScreen().slotsText()), "BOB         ");
    early.releaseTextures();
}
