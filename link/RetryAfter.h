#pragma once

#include <cstdint>
#include <string_view>

// The one reading of an answer's Retry-After header for every HTTP backend: a number of
// seconds, or an HTTP date (IMF-fixdate, "Sun, 06 Nov 1994 08:49:37 GMT") counted from
// now. Cut to a day, as long as anyone is asked to wait; a date gone by is 0, and so is
// anything else, taken as absent.
class RetryAfter {
public:
    static constexpr int kLongestSeconds = 86400;

    // now: seconds since 1970-01-01 00:00 UTC.
    static int seconds(std::string_view value, std::int64_t now);
    // The header's date in seconds since 1970; false when value is no IMF-fixdate.
    static bool parseDate(std::string_view value, std::int64_t& when);
};
