// Checks the shipped traffic file is a fair script: every car on the road, the run
// escalating over about three minutes, and a way through every moment of it.
#include "sim/PatternFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <cmath>

namespace {

// A car is dangerous while the bar's turning disc (radius 6.5 around the truck) can
// reach its box (2.4 × 4): closer than 7.7 across and 8.5 along the road. The truck is
// kept at y = 0 and only steers across at its 10 units a second: a cautious player.
// If such a player always has somewhere to be, a good one certainly has.
constexpr float kAcross = 6.5f + 1.2f;
constexpr float kAlong = 6.5f + 2.0f;
constexpr float kEntryY = 15.5f;
constexpr float kTruckSpeed = 10.0f;
constexpr float kFrame = 1.0f / 60.0f;
constexpr float kCell = 0.05f;
constexpr int kCells = 361;  // the truck's x from -9 to 9
constexpr float kRoadHalfWidth = 13.0f;
constexpr float kCarHalfWidth = 1.2f;

using Positions = std::bitset<kCells>;

float cellX(int cell) { return -9.0f + cell * kCell; }

struct Timed {
    CarSpawn spawn;
    float enters;
};

// Plays the cars from `from` to `until`; returns the first moment with nowhere safe
// left for the truck, or a negative number when the truck always had a way through.
float firstDeadEnd(const std::vector<Timed>& cars, float from, float until, bool startInMiddle) {
    Positions reach;
    if (startInMiddle) {
        reach.set(kCells / 2);
    } else {
        reach.set();
    }
    const int steer = static_cast<int>(std::lround(kTruckSpeed * kFrame / kCell));
    for (float t = from; t < until; t += kFrame) {
        Positions safe;
        safe.set();
        for (const Timed& car : cars) {
            float y = kEntryY - car.spawn.speed * (t - car.enters);
            if (t < car.enters || std::fabs(y) >= kAlong) {
                continue;
            }
            for (int cell = 0; cell < kCells; ++cell) {
                if (std::fabs(cellX(cell) - car.spawn.x) < kAcross) {
                    safe.reset(cell);
                }
            }
        }
        Positions next = reach;
        for (int k = 1; k <= steer; ++k) {
            next |= (reach << k) | (reach >> k);
        }
        reach = next & safe;
        if (reach.none()) {
            return t;
        }
    }
    return -1.0f;
}

std::vector<Timed> timed(const CarPattern& cars, float offset) {
    std::vector<Timed> result;
    for (const CarSpawn& car : cars) {
        result.push_back({car, car.time + offset});
    }
    return result;
}

float lastTime(const CarPattern& cars) {
    float last = 0.0f;
    for (const CarSpawn& car : cars) {
        last = std::max(last, car.time);
    }
    return last;
}

class TrafficScript : public testing::Test {
protected:
    void SetUp() override {
        testing::internal::CaptureStderr();
        PatternFile::load("data/cars.json", 0.0f, script, patterns);
        ASSERT_EQ(testing::internal::GetCapturedStderr(), "");
    }
    std::vector<CarSpawn> script;
    std::vector<CarPattern> patterns;
};

}  // namespace

TEST_F(TrafficScript, EveryCarDrivesDownTheRoad) {
    std::vector<CarPattern> everything = patterns;
    everything.push_back(script);
    for (const CarPattern& cars : everything) {
        ASSERT_FALSE(cars.empty());
        for (std::size_t i = 0; i < cars.size(); ++i) {
            EXPECT_LE(std::fabs(cars[i].x) + kCarHalfWidth, kRoadHalfWidth) << "x " << cars[i].x;
            EXPECT_GT(cars[i].speed, 0.0f);
            if (i > 0) {
                EXPECT_GE(cars[i].time, cars[i - 1].time) << "out of order at " << cars[i].time;
            }
        }
    }
}

TEST_F(TrafficScript, RunsAboutThreeMinutesAcrossTheRandomStart) {
    ASSERT_FALSE(script.empty());
    EXPECT_LT(script.front().time, 70.0f);
    EXPECT_GT(script.back().time, 150.0f);
    EXPECT_LT(script.back().time, 240.0f);
    auto after70 = std::count_if(script.begin(), script.end(),
                                 [](const CarSpawn& car) { return car.time >= 70.0f; });
    EXPECT_GT(after70, 20);
    EXPECT_GE(patterns.size(), 12u);
    // It escalates: the last minute is faster than the first.
    float early = 0.0f, late = 0.0f;
    for (const CarSpawn& car : script) {
        if (car.time < 60.0f) {
            early = std::max(early, car.speed);
        } else if (car.time > script.back().time - 60.0f) {
            late = std::max(late, car.speed);
        }
    }
    EXPECT_GT(late, early + 3.0f);
}

TEST_F(TrafficScript, TheScriptCanBeSurvivedFromEitherStart) {
    float end = script.back().time + 5.0f;
    EXPECT_LT(firstDeadEnd(timed(script, 0.0f), 0.0f, end, true), 0.0f) << "NORMAL";
    std::vector<CarSpawn> randomScript;
    std::vector<CarPattern> unused;
    PatternFile::load("data/cars.json", 70.0f, randomScript, unused);
    EXPECT_LT(firstDeadEnd(timed(randomScript, 0.0f), 70.0f, end, true), 0.0f) << "RANDOM";
}

TEST_F(TrafficScript, EveryPatternAndEveryPairOfPatternsCanBeSurvived) {
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        float alone = firstDeadEnd(timed(patterns[i], 0.0f), 0.0f, lastTime(patterns[i]) + 5.0f, false);
        EXPECT_LT(alone, 0.0f) << "pattern " << i << " has no way through at " << alone;
        // The next pattern is drawn as this one's last car enters and starts 3 s later.
        for (std::size_t j = 0; j < patterns.size(); ++j) {
            float offset = lastTime(patterns[i]) + 3.0f;
            std::vector<Timed> cars = timed(patterns[i], 0.0f);
            std::vector<Timed> next = timed(patterns[j], offset);
            cars.insert(cars.end(), next.begin(), next.end());
            float pair = firstDeadEnd(cars, 0.0f, offset + lastTime(patterns[j]) + 5.0f, false);
            EXPECT_LT(pair, 0.0f) << "pattern " << i << " then " << j << " stuck at " << pair;
        }
    }
}
