// Retry-After as every HTTP backend reads it: seconds, or an HTTP date from now; a day at
// most; anything else absent.
#include "link/RetryAfter.h"

#include <gtest/gtest.h>

TEST(RetryAfter, SecondsOrADateCutToADay) {
    // Sun, 06 Nov 1994 08:49:37 GMT.
    const std::int64_t now = 784111777;
    const struct {
        const char* value;
        int seconds;
    } cases[] = {
        {"", 0},
        {"0", 0},
        {"3", 3},
        {" 120 ", 120},
        {"86400", 86400},
        {"86401", 86400},
        {"99999999999999999999", 86400},
        {"-5", 0},
        {"1.5", 0},
        {"soon", 0},
        {"Sun, 06 Nov 1994 08:49:37 GMT", 0},
        {"Sun, 06 Nov 1994 08:50:07 GMT", 30},
        {"Sun, 06 Nov 1994 09:49:37 GMT", 3600},
        {"Mon, 07 Nov 1994 08:49:37 GMT", 86400},
        {"Tue, 01 Jan 2030 00:00:00 GMT", 86400},
        {"Sat, 05 Nov 1994 08:49:37 GMT", 0},  // gone by
        {"Sun, 06 Nov 1994 08:50:07 UTC", 0},
        {"Sun, 06 Xyz 1994 08:50:07 GMT", 0},
        {"Sun, 6 Nov 1994 08:50:07 GMT", 0},
        {"Sunday, 06-Nov-94 08:49:37 GMT", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RetryAfter::seconds(c.value, now), c.seconds) << '"' << c.value << '"';
    }
    // Across a leap day and a year's end the calendar holds.
    std::int64_t when = 0;
    ASSERT_TRUE(RetryAfter::parseDate("Thu, 29 Feb 2024 12:00:00 GMT", when));
    EXPECT_EQ(when, 1709208000);
    ASSERT_TRUE(RetryAfter::parseDate("Thu, 01 Jan 1970 00:00:00 GMT", when));
    EXPECT_EQ(when, 0);
}
