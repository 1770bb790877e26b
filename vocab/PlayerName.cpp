#include "vocab/PlayerName.h"

#include <cstring>

int PlayerName::indexOf(char c) {
    const char* found = c == '\0' ? nullptr : std::strchr(kAlphabet, c);
    return found == nullptr ? -1 : static_cast<int>(found - kAlphabet);
}

std::string PlayerName::trimmed(std::string_view name) {
    const std::size_t first = name.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(name.substr(first, name.find_last_not_of(' ') - first + 1));
}

bool PlayerName::valid(std::string_view name) {
    if (name.size() < static_cast<std::size_t>(kShortest) || name.size() > static_cast<std::size_t>(kLongest) ||
        name.front() == ' ' || name.back() == ' ') {
        return false;
    }
    for (char c : name) {
        if (!allowed(c)) {
            return false;
        }
    }
    return true;
}

std::string PlayerName::drawable(std::string_view text, std::size_t length) {
    std::string drawn(text.substr(0, length));
    for (char& c : drawn) {
        if (!allowed(c)) {
            c = '?';
        }
    }
    return drawn;
}
