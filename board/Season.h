#pragma once

#include <cstdint>
#include <string>

// Which table of a board a read or a run belongs to: all time, one ISO week (UTC, weeks
// start Monday 00:00, week 1 holds the year's first Thursday), or one UTC day of the daily
// road. Boards reset each week; a run counts on all time and on the week it was submitted
// in, a daily run on the day its token was given alone.
class Season {
public:
    // The all-time table.
    static Season allTime() { return Season(); }
    // The week holding the instant, in seconds since 1970 (UTC).
    static Season weekOf(int64_t unixSeconds);
    // The UTC day holding the instant.
    static Season dayOf(int64_t unixSeconds);
    // "all", "current" (the week of nowSeconds), "YYYY-Www", "day" (the day of nowSeconds)
    // or "YYYY-MM-DD"; false with reason set to one sentence when text names no season.
    static bool parse(const std::string& text, int64_t nowSeconds, Season& season, std::string& reason);
    // Weeks in an ISO year: 52, or 53 when it starts or (leap year) ends on a Thursday.
    static int weeksIn(int isoYear);

    bool isAllTime() const { return week_ == 0 && !isDay(); }
    bool isDay() const { return day_ != kNoDay; }
    int year() const { return year_; }
    int week() const { return week_; }
    // "all", "2026-W50" or "2026-12-08": the name the API and the database use.
    std::string name() const;
    // The week's or day's first second and the first second after it (00:00 UTC each).
    int64_t startSeconds() const;
    int64_t endSeconds() const { return startSeconds() + (isDay() ? 1 : 7) * 86400; }

private:
    // "YYYY-MM-DD", a real date of the years a season may name.
    static bool parseDay(const std::string& text, Season& season, std::string& reason);

    static constexpr int64_t kNoDay = INT64_MIN;
    // Days since 1970-01-01 of a daily season.
    int64_t day_ = kNoDay;
    int year_ = 0;
    // 0 for all time.
    int week_ = 0;
};
