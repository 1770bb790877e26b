// The loop's pace after swaps that return at given times: how long each frame sleeps.
#include "app/FramePacer.h"

#include <gtest/gtest.h>

#include <vector>

TEST(FramePacer, SwapsComingBackEarlyWaitForTheNextFrameAndLateOnesDoNot) {
    const std::int64_t p = 1000000 / 60;
    const struct {
        const char* what;
        int hertz;
        bool vsync;
        std::vector<std::int64_t> work;  // time from the end of each wait to the next swap's return
        std::vector<std::int64_t> waits;
    } cases[] = {
        {"no vertical sync, instant frames: one a period", 60, false, {0, 0, 0, 0}, {0, p, p, p}},
        {"quick frames wait out the rest of the period", 60, false, {0, 4000, 4000}, {0, p - 4000, p - 4000}},
        {"an unknown rate counts as 60 Hz", 0, false, {0, 0}, {0, p}},
        {"a 120 Hz display", 120, false, {0, 0}, {0, 1000000 / 120}},
        {"a late frame owes nothing and the pace goes on from it", 60, false, {0, 3 * p, 0}, {0, 0, p}},
        {"slightly late frames catch up without drifting", 60, false, {0, p + 1000, p - 1000}, {0, 0, 0}},
        {"a vertical sync that waits is never held back", 60, true, {0, p, p, p}, {0, 0, 0, 0}},
        {"one that does not wait is paced a little faster than the display", 60, true, {0, 0},
         {0, p - p / 20}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FramePacer pacer;
        pacer.init(c.hertz, c.vsync);
        std::int64_t now = 5000000;
        std::vector<std::int64_t> waits;
        for (std::int64_t work : c.work) {
            now += work;
            const std::int64_t wait = pacer.waitAfterSwap(now);
            waits.push_back(wait);
            now += wait;
        }
        EXPECT_EQ(waits, c.waits);
    }
}
