#pragma once

#include <cstdint>
#include <string>

// Which table of a board a read or a run belongs to: all time, or one ISO week (UTC,
// weeks start Monday 00:00, week 1 holds the year's first Thursday). Boards reset each
// week; a run counts on all time and on the week it was submitted in.
class Season {
public:
    // The all-time table.
    static Season allTime() { return Season(); }
    // The week holding the instant, in seconds since 1970 (UTC).
    static Season weekOf(int64_t unixSeconds);
    // "all", "current" (the week of nowSeconds) or "YYYY-Www"; false with reason set to
    // one sentence when text names no season.
    static bool parse(const std::string& text, int64_t nowSeconds, Season& season, std::string& reason);
    // Weeks in an ISO year: 52, or 53 when it starts or (leap year) ends on a Thursday.
    static int weeksIn(int isoYear);

    bool isAllTime() const { return week_ == 0; }
    int year() const { return year_; }
    int week() const { return week_; }
    // "all" or "2026-W50": the name the API and the database use.
    std::string name() const;
    // The week's first second and the first second after it (Monday 00:00 UTC each).
    int64_t startSeconds() const;
    int64_t endSeconds() const { return startSeconds() + 7 * 86400; }

private:
    int year_ = 0;
    // 0 for all time.
    int week_ = 0;
};
