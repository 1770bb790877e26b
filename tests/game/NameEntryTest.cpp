// The arcade name entry, frame by frame: which keys type which names, in frames of a tick
// and in long ones.
#include "game/NameEntry.h"
#include "vocab/PlayerName.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

GameKey keyOf(char letter) {
    switch (letter) {
    case 'U': return GameKey::Up;
    case 'D': return GameKey::Down;
    case 'L': return GameKey::Left;
    case 'R': return GameKey::Right;
    case 'S': return GameKey::Space;
    default: return GameKey::F1;
    }
}

// Plays keys written as words: "U" taps UP for a tick and lets go for a tick, "U*90" holds
// it 90 ticks then lets go, "US*5" holds UP and SPACE together, "-*30" holds nothing.
// Returns the name confirmed, or "" when none was.
std::string type(NameEntry& entry, const std::string& keys) {
    std::istringstream words(keys);
    std::string word;
    while (words >> word) {
        const std::size_t star = word.find('*');
        const int ticks = star == std::string::npos ? 1 : std::stoi(word.substr(star + 1));
        GameInput input;
        for (char letter : word.substr(0, star)) {
            if (letter != '-') {
                input.hold(keyOf(letter));
            }
        }
        for (int i = 0; i < ticks; ++i) {
            if (entry.frame(input, 1)) {
                return entry.name();
            }
        }
        if (entry.frame({}, 1)) {
            return entry.name();
        }
    }
    return "";
}

struct Case {
    const char* what;
    const char* initial;
    GameInput heldAtStart;
    const char* keys;
    const char* entered;
    const char* slotsAfter;
};

const Case kCases[] = {
    {"taps, each acting once", "", {}, "U R U U U R U U U U U S", "ACE", "ACE         "},
    {"an arrow held past the first repeat turns twice", "ACE", {}, "U*85 S", "ACEB", "ACEB        "},
    {"just short of the first repeat, once", "ACE", {}, "U*84 S", "ACEA", "ACEA        "},
    {"then every 29 ticks", "ACE", {}, "U*114 S", "ACEC", "ACEC        "},
    {"DOWN from a blank wraps to the end", "ACE", {}, "D S", "ACE_", "ACE_        "},
    {"UP from the end wraps to the blank, then A", "AB_", {}, "L U U S", "ABA", "ABA         "},
    {"LEFT stops at the first slot", "", {}, "L L L U R U R U S", "AAA", "AAA         "},
    {"RIGHT stops at the last slot", "ABCDEFGHIJKL", {}, "R R U S", "ABCDEFGHIJKM", "ABCDEFGHIJKM"},
    {"too short: SPACE does nothing", "AB", {}, "S -*10", "", "AB          "},
    {"blanks at the ends do not count", "AB", {}, "L L D S", "", " B          "},
    {"blanks at the ends are dropped, inner ones kept", "", {}, "R R U R U R R U S", "AA A", "  AA A      "},
    {"a remembered name is cleaned: capitals, known characters, twelve at most", "ace!  x-ray_kilo9", {}, "S",
     "ACE  X-RAY_K", "ACE  X-RAY_K"},
    {"a remembered name's leading blanks are dropped", "  BOB", {}, "S", "BOB", "BOB         "},
    {"keys held at the start count only once let go", "ACE", {GameKey::Space, GameKey::Up},
     "US*200 U S", "ACEA", "ACEA        "},
    {"SPACE held does not confirm twice or repeat", "AB", {}, "S*300 U S", "ABA", "ABA         "},
};

}  // namespace

TEST(NameEntry, KeysTypeNames) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        NameEntry entry;
        entry.start(c.initial, c.heldAtStart);
        EXPECT_EQ(type(entry, c.keys), c.entered);
        EXPECT_EQ(entry.slots(), c.slotsAfter);
        EXPECT_EQ(entry.active(), std::string(c.entered).empty());
    }
}

TEST(NameEntry, TheCursorStartsAfterTheRememberedNameAndARefusalIsShownUntilAChange) {
    struct {
        const char* initial;
        int cursor;
    } const starts[] = {{"", 0}, {"ACE", 3}, {"ABCDEFGHIJK", 11}, {"ABCDEFGHIJKL", 11}, {"ABCDEFGHIJKLMNO", 11}};
    for (const auto& start : starts) {
        NameEntry entry;
        entry.start(start.initial);
        EXPECT_EQ(entry.cursor(), start.cursor) << start.initial;
    }
    NameEntry entry;
    entry.start("AB");
    EXPECT_EQ(type(entry, "S"), "");
    EXPECT_TRUE(entry.refused());
    type(entry, "R L");
    EXPECT_TRUE(entry.refused()) << "moving changes no letter";
    type(entry, "U");
    EXPECT_FALSE(entry.refused());
}

// A frame's keys hold for all its ticks: a press is one letter however long the frame, and
// only the frames after it count as held.
TEST(NameEntry, APressIsOneActionHoweverLongItsFrame) {
    const struct {
        const char* what;
        GameKey key;
        int frames;  // the key held for so many frames
        int ticks;   // of so many ticks each
        const char* slots;
    } cases[] = {
        {"UP in a frame of a tick", GameKey::Up, 1, 1, "ACEA"},
        {"UP in a frame of the longest step", GameKey::Up, 1, 24, "ACEA"},
        {"UP in a frame past the first repeat", GameKey::Up, 1, 200, "ACEA"},
        {"UP in a frame of seconds", GameKey::Up, 1, 2000, "ACEA"},
        {"RIGHT in a long frame moves once", GameKey::Right, 1, 500, "ACE "},
        {"UP in four frames of the longest step: not yet held long enough", GameKey::Up, 4, 24, "ACEA"},
        {"UP held a long frame after its own: one repeat", GameKey::Up, 2, 200, "ACEB"},
        {"and one a frame after that", GameKey::Up, 4, 200, "ACED"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NameEntry entry;
        entry.start("ACE");
        GameInput input;
        input.hold(c.key);
        for (int i = 0; i < c.frames; ++i) {
            entry.frame(input, c.ticks);
        }
        entry.frame({}, c.ticks);
        if (c.key == GameKey::Right) {
            entry.frame(GameInput{GameKey::Up}, 1);
            entry.frame({}, 1);
            EXPECT_EQ(entry.cursor(), 4);
            EXPECT_EQ(entry.slots().substr(0, 5), "ACE A");
            continue;
        }
        EXPECT_EQ(entry.slots().substr(0, 4), c.slots);
    }
}

// Whatever the entry lets a player confirm, the board takes, and every name the board
// takes can be confirmed as it is.
TEST(NameEntry, ConfirmsExactlyTheNamesTheBoardTakes) {
    const struct {
        const char* initial;
        const char* confirmed;
    } cases[] = {
        {"ACE", "ACE"},
        {"  ACE  ", "ACE"},
        {"ace", "ACE"},
        {"A B", "A B"},
        {"-_0", "-_0"},
        {"AB", ""},
        {"   ", ""},
        {"A@B#C!", "ABC"},
        {"ZO\xc3\x8b", ""},
        {"LONGERTHANTWELVE", "LONGERTHANTW"},
    };
    for (const auto& c : cases) {
        NameEntry entry;
        entry.start(c.initial);
        const std::string confirmed = type(entry, "S");
        EXPECT_EQ(confirmed, c.confirmed) << c.initial;
        EXPECT_EQ(PlayerName::valid(confirmed), !confirmed.empty()) << c.initial;
    }
    for (char c : std::string(PlayerName::kAlphabet).substr(1)) {
        const std::string name = std::string(1, c) + " " + std::string(PlayerName::kLongest - 2, c);
        ASSERT_TRUE(PlayerName::valid(name)) << name;
        NameEntry entry;
        entry.start(name);
        EXPECT_EQ(type(entry, "S"), name);
    }
}
