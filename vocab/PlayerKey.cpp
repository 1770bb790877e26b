#include "vocab/PlayerKey.h"

bool PlayerKey::valid(std::string_view key) {
    if (key.size() < static_cast<std::size_t>(kShortest) || key.size() > static_cast<std::size_t>(kLongest)) {
        return false;
    }
    for (char c : key) {
        const bool letterOrDigit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!letterOrDigit && c != '-' && c != '_') {
            return false;
        }
    }
    return true;
}
