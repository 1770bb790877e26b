// The banned-words file and the folding a name is matched after.
#include "board/BannedWords.h"

#include <gtest/gtest.h>

TEST(BannedWords, MatchesNamesAfterFoldingCaseDigitsAndSeparators) {
    BannedWords words;
    std::string fault;
    ASSERT_TRUE(words.parse("# names the board does not show\n"
                            "bad\n"
                            "  Toxic  # trailing comment\r\n"
                            "\n"
                            "LOSER\n"
                            "HELL\n"
                            "GOAL\nFLAG\nZONE\nWAVE\nSHIP\nMOB\n",
                            "words.txt", fault))
        << fault;
    struct Case {
        const char* name;
        const char* found;
    };
    const Case cases[] = {
        {"BAD", "bad"},     {"XBADX", "bad"},     {"B4D", "bad"},       {"8AD", "bad"},     {"B A D", "bad"},
        {"B-A_D", "bad"},   {"T0X1C", "Toxic"},   {"7OXIC", "Toxic"},   {"L0SER", "LOSER"}, {"10SER", "LOSER"},
        {"LO5 3R", "LOSER"}, {"HE11", "HELL"},    {"HEL1", "HELL"},
        // Every digit, letter and pair of the name alphabet that passes for a letter.
        {"6OAL", "GOAL"},   {"9OAL", "GOAL"},     {"FLA6", "FLAG"},     {"PHLAG", "FLAG"},  {"20NE", "ZONE"},
        {"IOSER", "LOSER"}, {"VVAVE", "WAVE"},    {"V V-AVE", "WAVE"},  {"SHLP", "SHIP"},   {"SH19", "SHIP"},
        {"RNOB", "MOB"},    {"Z0NE", "ZONE"},     {"VAVE", ""},
        // Near misses stay allowed.
        {"BAT", ""},        {"BA", ""},           {"TOXI", ""},         {"B9D", ""},        {"ACE", ""},
        {"LOSE", ""},       {"HE2L", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(words.found(c.name), c.found) << c.name;
    }
}

TEST(BannedWords, RefusesAFileItCannotUseNamingIt) {
    struct Case {
        const char* text;
        const char* fault;
    };
    const Case cases[] = {
        {"ok\nbäd\n", "words.txt:2: \"bäd\" is not a word of letters and digits (a name can hold no other)"},
        {"a.b\n", "words.txt:1: \"a.b\" is not a word of letters and digits (a name can hold no other)"},
    };
    for (const Case& c : cases) {
        BannedWords words;
        std::string fault;
        EXPECT_FALSE(words.parse(c.text, "words.txt", fault)) << c.text;
        EXPECT_EQ(fault, c.fault);
        EXPECT_TRUE(words.empty());
    }
    BannedWords words;
    std::string fault;
    EXPECT_FALSE(words.load("/nonexistent/words.txt", fault));
    EXPECT_EQ(fault, "/nonexistent/words.txt: cannot open the file");
}
