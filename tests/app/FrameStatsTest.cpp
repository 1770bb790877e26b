#include "app/FrameStats.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(FrameStats, SummaryCountsFramesTheLongestAndTheLateOnes) {
    const struct {
        std::vector<double> milliseconds;
        const char* summary;
    } cases[] = {
        {{}, "frames: 0, longest 0.0 ms, over 50 ms: 0"},
        {{16.7, 16.6, 17.0}, "frames: 3, longest 17.0 ms, over 50 ms: 0"},
        // Exactly 50 is in time; the late ones are those over it.
        {{50.0, 50.05, 120.44, 3.0}, "frames: 4, longest 120.4 ms, over 50 ms: 2"},
    };
    for (const auto& c : cases) {
        FrameStats stats;
        for (const double milliseconds : c.milliseconds) {
            stats.add(milliseconds);
        }
        EXPECT_EQ(stats.summary(), c.summary);
    }
}

TEST(FrameStats, TimesOnlyWhenEnabledAndEachStartOnce) {
    FrameStats off;
    off.start();
    off.stop();
    EXPECT_EQ(off.summary(), "frames: 0, longest 0.0 ms, over 50 ms: 0");

    FrameStats on;
    on.enable();
    on.stop();  // no start: nothing to count
    on.start();
    on.stop();
    on.stop();  // the same iteration is never counted twice
    EXPECT_EQ(on.summary().substr(0, 10), "frames: 1,");
}
