#include "Season.h"

#include <cstdio>

namespace {

constexpr int64_t kDaySeconds = 86400;
// The range of years a week may be named in: what four digits hold, after 1970.
constexpr int kFirstYear = 1970;
constexpr int kLastYear = 9999;

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

struct CivilDate {
    int64_t year;
    unsigned month;
    unsigned day;
};

// The civil date of a day since 1970-01-01 (the inverse of daysFromCivil).
CivilDate civilFromDays(int64_t days) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    const unsigned month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    return {static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0), month,
            dayOfYear - (153 * monthIndex + 2) / 5 + 1};
}

int64_t yearOfDay(int64_t days) {
    return civilFromDays(days).year;
}

// Whole days since 1970 of an instant, rounding down before 1970 too.
int64_t daysOf(int64_t unixSeconds) {
    return unixSeconds / kDaySeconds - (unixSeconds % kDaySeconds < 0 ? 1 : 0);
}

// 0 for Monday to 6 for Sunday; 1970-01-01 was a Thursday.
int64_t weekdayOf(int64_t days) {
    int64_t weekday = (days + 3) % 7;
    return weekday < 0 ? weekday + 7 : weekday;
}

// The Monday that starts week 1 of an ISO year: the week of 4 January.
int64_t firstMonday(int year) {
    const int64_t january4 = daysFromCivil(year, 1, 4);
    return january4 - weekdayOf(january4);
}

const char* const kNamesRule = "a season is all, current, an ISO week such as 2026-W05, day or a date such as 2026-12-08";

bool digits(const std::string& text, std::size_t from, std::size_t count, int& value) {
    value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

Season Season::weekOf(int64_t unixSeconds) {
    const int64_t days = daysOf(unixSeconds);
    // A week belongs to the year of its Thursday.
    const int64_t thursday = days - weekdayOf(days) + 3;
    Season season;
    season.year_ = static_cast<int>(yearOfDay(thursday));
    season.week_ = static_cast<int>((thursday - firstMonday(season.year_)) / 7 + 1);
    return season;
}

int Season::weeksIn(int isoYear) {
    return weekOf(daysFromCivil(isoYear, 12, 28) * kDaySeconds).week_;
}

bool Season::parse(const std::string& text, int64_t nowSeconds, Season& season, std::string& reason) {
    if (text == "all") {
        season = allTime();
        return true;
    }
    if (text == "current") {
        season = weekOf(nowSeconds);
        return true;
    }
    if (text == "day") {
        season = dayOf(nowSeconds);
        return true;
    }
    if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
        return parseDay(text, season, reason);
    }
    int year = 0;
    int week = 0;
    if (text.size() != 8 || text[4] != '-' || text[5] != 'W' || !digits(text, 0, 4, year) ||
        !digits(text, 6, 2, week)) {
        reason = kNamesRule;
        return false;
    }
    if (year < kFirstYear || year > kLastYear) {
        reason = "a season's year is " + std::to_string(kFirstYear) + " to " + std::to_string(kLastYear);
        return false;
    }
    const int weeks = weeksIn(year);
    if (week < 1 || week > weeks) {
        reason = std::to_string(year) + " has weeks W01 to W" + std::to_string(weeks);
        return false;
    }
    season.year_ = year;
    season.week_ = week;
    return true;
}

Season Season::dayOf(int64_t unixSeconds) {
    Season season;
    season.day_ = daysOf(unixSeconds);
    season.year_ = static_cast<int>(yearOfDay(season.day_));
    return season;
}

bool Season::parseDay(const std::string& text, Season& season, std::string& reason) {
    int year = 0;
    int month = 0;
    int day = 0;
    if (!digits(text, 0, 4, year) || !digits(text, 5, 2, month) || !digits(text, 8, 2, day)) {
        reason = kNamesRule;
        return false;
    }
    if (year < kFirstYear || year > kLastYear) {
        reason = "a season's year is " + std::to_string(kFirstYear) + " to " + std::to_string(kLastYear);
        return false;
    }
    const int64_t days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    const CivilDate back = civilFromDays(days);
    if (month < 1 || month > 12 || day < 1 || back.month != unsigned(month) || back.day != unsigned(day)) {
        reason = text + " is no date";
        return false;
    }
    season = dayOf(days * kDaySeconds);
    return true;
}

std::string Season::name() const {
    if (isAllTime()) {
        return "all";
    }
    if (isDay()) {
        const CivilDate date = civilFromDays(day_);
        char text[24];
        std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year), date.month, date.day);
        return text;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%04d-W%02d", year_, week_);
    return text;
}

int64_t Season::startSeconds() const {
    if (isAllTime()) {
        return 0;
    }
    if (isDay()) {
        return day_ * kDaySeconds;
    }
    return (firstMonday(year_) + int64_t(week_ - 1) * 7) * kDaySeconds;
}
