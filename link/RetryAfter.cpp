#include "RetryAfter.h"

#include <algorithm>
#include <array>

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

bool digits(std::string_view text, std::size_t at, std::size_t count, int& value) {
    if (at + count > text.size()) {
        return false;
    }
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

}  // namespace

bool RetryAfter::parseDate(std::string_view value, std::int64_t& when) {
    // "Sun, 06 Nov 1994 08:49:37 GMT": 29 characters in fixed places.
    static constexpr std::array<std::string_view, 7> kDays = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::string_view text = trimmed(value);
    if (text.size() != 29 || text.substr(3, 2) != ", " || text[7] != ' ' || text[11] != ' ' || text[16] != ' ' ||
        text[19] != ':' || text[22] != ':' || text.substr(25) != " GMT" ||
        std::find(kDays.begin(), kDays.end(), text.substr(0, 3)) == kDays.end()) {
        return false;
    }
    const auto month = std::find(kMonths.begin(), kMonths.end(), text.substr(8, 3));
    int day = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (month == kMonths.end() || !digits(text, 5, 2, day) || !digits(text, 12, 4, year) ||
        !digits(text, 17, 2, hour) || !digits(text, 20, 2, minute) || !digits(text, 23, 2, second) || day < 1 ||
        day > 31 || hour > 23 || minute > 59 || second > 60) {
        return false;
    }
    const int monthNumber = static_cast<int>(month - kMonths.begin()) + 1;
    when = daysFromCivil(year, monthNumber, day) * 86400 + hour * 3600 + minute * 60 + second;
    return true;
}

int RetryAfter::seconds(std::string_view value, std::int64_t now) {
    const std::string_view text = trimmed(value);
    if (text.empty()) {
        return 0;
    }
    if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        // Longer numbers than a day's are cut there, however many digits they have.
        if (text.size() > 6) {
            return kLongestSeconds;
        }
        int number = 0;
        digits(text, 0, text.size(), number);
        return std::min(number, kLongestSeconds);
    }
    std::int64_t when = 0;
    if (!parseDate(text, when)) {
        return 0;
    }
    return static_cast<int>(std::clamp<std::int64_t>(when - now, 0, kLongestSeconds));
}
