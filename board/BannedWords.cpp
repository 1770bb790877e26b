#include "BannedWords.h"

#include "io/FileReader.h"

#include <cctype>

namespace {

uint64_t letter(char c) {
    return uint64_t(1) << (c - 'A');
}

uint64_t digit(char c) {
    return uint64_t(1) << (26 + (c - '0'));
}

// What a character of the name alphabet may stand for besides itself.
struct LookAlike {
    char c;
    const char* stands;
};
constexpr LookAlike kLookAlikes[] = {
    {'0', "ODQ"}, {'1', "ILT"}, {'2', "Z"},  {'3', "E"},  {'4', "A"},  {'5', "S"}, {'6', "GB"},
    {'7', "T"},   {'8', "B"},   {'9', "GPQ"}, {'I', "L"}, {'L', "I"},  {'O', "Q"}, {'Q', "O"},
    {'U', "V"},   {'V', "U"},
};

// Two characters of a name that pass for one letter.
struct Pair {
    char first;
    char second;
    char stands;
};
constexpr Pair kPairs[] = {{'V', 'V', 'W'}, {'P', 'H', 'F'}, {'R', 'N', 'M'}};

bool separator(char c) {
    return c == ' ' || c == '-' || c == '_' || c == '\t';
}

}  // namespace

std::vector<uint64_t> BannedWords::fold(std::string_view text) {
    std::vector<uint64_t> folded;
    for (char c : text) {
        const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        uint64_t set = 0;
        if (upper >= 'A' && upper <= 'Z') {
            set = letter(upper);
        } else if (upper >= '0' && upper <= '9') {
            set = digit(upper);
        } else {
            continue;
        }
        for (const LookAlike& alike : kLookAlikes) {
            if (alike.c == upper) {
                for (const char* stands = alike.stands; *stands; ++stands) {
                    set |= letter(*stands);
                }
            }
        }
        folded.push_back(set);
    }
    return folded;
}

bool BannedWords::spells(const std::vector<uint64_t>& name, std::size_t at, const std::vector<uint64_t>& word) {
    // The name's positions each prefix of the word may end at: a pair makes more than one.
    std::vector<bool> reached(name.size() + 1, false);
    reached[at] = true;
    for (uint64_t wanted : word) {
        std::vector<bool> next(name.size() + 1, false);
        bool any = false;
        for (std::size_t p = at; p < name.size(); ++p) {
            if (!reached[p]) {
                continue;
            }
            if ((name[p] & wanted) != 0) {
                next[p + 1] = any = true;
            }
            for (const Pair& pair : kPairs) {
                if (p + 1 < name.size() && (name[p] & letter(pair.first)) && (name[p + 1] & letter(pair.second)) &&
                    (wanted & letter(pair.stands))) {
                    next[p + 2] = any = true;
                }
            }
        }
        if (!any) {
            return false;
        }
        reached.swap(next);
    }
    return true;
}

bool BannedWords::load(const std::string& path, std::string& fault) {
    std::string text;
    if (!FileReader::read(path, text, fault)) {
        fault = path + ": " + fault;
        return false;
    }
    return parse(text, path, fault);
}

bool BannedWords::parse(std::string_view text, const std::string& source, std::string& fault) {
    words_.clear();
    std::size_t number = 0;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        line = line.substr(0, line.find('#'));
        while (!line.empty() && (separator(line.back()) || line.back() == '\r')) {
            line.remove_suffix(1);
        }
        while (!line.empty() && separator(line.front())) {
            line.remove_prefix(1);
        }
        if (line.empty()) {
            continue;
        }
        for (char c : line) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && !separator(c)) {
                fault = source + ":" + std::to_string(number) + ": \"" + std::string(line) +
                        "\" is not a word of letters and digits (a name can hold no other)";
                words_.clear();
                return false;
            }
        }
        words_.push_back({std::string(line), fold(line)});
    }
    return true;
}

std::string BannedWords::found(std::string_view name) const {
    const std::vector<uint64_t> folded = fold(name);
    for (const Word& word : words_) {
        for (std::size_t start = 0; start < folded.size(); ++start) {
            if (spells(folded, start, word.folded)) {
                return word.text;
            }
        }
    }
    return "";
}
