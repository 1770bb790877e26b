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

bool separator(char c) {
    return c == ' ' || c == '-' || c == '_' || c == '\t';
}

}  // namespace

std::vector<uint64_t> BannedWords::fold(std::string_view text) {
    std::vector<uint64_t> folded;
    for (char c : text) {
        char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (upper >= 'A' && upper <= 'Z') {
            folded.push_back(letter(upper));
            continue;
        }
        if (upper < '0' || upper > '9') {
            continue;
        }
        uint64_t set = digit(upper);
        switch (upper) {
        case '0': set |= letter('O'); break;
        case '1': set |= letter('I') | letter('L'); break;
        case '3': set |= letter('E'); break;
        case '4': set |= letter('A'); break;
        case '5': set |= letter('S'); break;
        case '7': set |= letter('T'); break;
        case '8': set |= letter('B'); break;
        default: break;
        }
        folded.push_back(set);
    }
    return folded;
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
        const std::size_t length = word.folded.size();
        for (std::size_t start = 0; start + length <= folded.size(); ++start) {
            std::size_t i = 0;
            while (i < length && (folded[start + i] & word.folded[i]) != 0) {
                ++i;
            }
            if (i == length) {
                return word.text;
            }
        }
    }
    return "";
}
