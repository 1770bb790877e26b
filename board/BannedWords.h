#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The words a player's name may not contain, from the operator's file: one word a line,
// '#' starts a comment. A name contains a word when it spells it after folding case, every
// character of the name alphabet that passes for another (the digits 0 O D Q, 1 I L T,
// 2 Z, 3 E, 4 A, 5 S, 6 G B, 7 T, 8 B, 9 G P Q; the letters I L, O Q, U V), the pairs
// that pass for one letter (VV W, PH F, RN M) and the spaces, '-' and '_' a player may
// slip between its letters.
class BannedWords {
public:
    // Reads the file; false with fault set to one line naming the file (and the line).
    bool load(const std::string& path, std::string& fault);
    // The same from the file's text; source names it in faults.
    bool parse(std::string_view text, const std::string& source, std::string& fault);
    // The first word (as the file writes it) the name contains, or "" when none.
    std::string found(std::string_view name) const;
    bool empty() const { return words_.empty(); }

private:
    // Each letter or digit as the set of letters and digits it may stand for, separators
    // dropped; two characters match when their sets meet.
    static std::vector<uint64_t> fold(std::string_view text);
    // Whether name, from at, spells word, a pair of the name standing for one letter.
    static bool spells(const std::vector<uint64_t>& name, std::size_t at, const std::vector<uint64_t>& word);

    struct Word {
        std::string text;
        std::vector<uint64_t> folded;
    };
    std::vector<Word> words_;
};
