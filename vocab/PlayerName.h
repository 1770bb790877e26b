#pragma once

#include <string>
#include <string_view>

// A player's name on the online board: what the game's name entry can type, what the board
// takes, and what a screen draws of a name a server sent. The game and the board check it
// here, so a name one accepts the other accepts too.
class PlayerName {
public:
    // The characters of a name, in the order the name entry turns through them; the blank
    // comes first so a fresh slot gives "A" at the first UP.
    static constexpr char kAlphabet[] = " ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_";
    static constexpr int kAlphabetSize = static_cast<int>(sizeof kAlphabet) - 1;
    static constexpr int kShortest = 3;
    static constexpr int kLongest = 12;
    // The rule in words, for refusals.
    static constexpr const char* kRule = "3 to 12 of A-Z, 0-9, space, - and _";

    // Where c stands in kAlphabet; -1 for any other character.
    static int indexOf(char c);
    static bool allowed(char c) { return indexOf(c) >= 0; }
    // The name without the blanks at both ends.
    static std::string trimmed(std::string_view name);
    // kShortest to kLongest characters of kAlphabet, no blank at either end.
    static bool valid(std::string_view name);
    // A text from the network as a screen draws it: cut to length, and every character
    // outside kAlphabet (which the font may not draw) turned into '?'.
    static std::string drawable(std::string_view text, std::size_t length = kLongest);
};
