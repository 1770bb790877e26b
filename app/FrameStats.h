#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// How long the program's loop iterations take, for --frame-stats: the figures that show
// whether anything (the board's network above all) ever holds up a frame. An iteration is
// timed whole, from start to stop, on the system's monotonic clock; the summary is printed
// once at exit. The iterations before the first frame is on screen (loading, the first
// draws' shader builds) are not play and are left out by the caller.
class FrameStats {
public:
    // Frames longer than this count as late: below 20 a second.
    static constexpr double kLateMilliseconds = 50.0;

    void enable() { enabled_ = true; }
    bool enabled() const { return enabled_; }
    void start();
    // Ends the iteration begun by start(); nothing without a start or while disabled.
    void stop();
    // One iteration of the given length.
    void add(double milliseconds);

    // "frames: N, longest M ms, over 50 ms: K", M with one decimal.
    std::string summary() const;
    // Prints the summary on standard output once, when enabled.
    void printOnce();

private:
    bool enabled_ = false;
    bool printed_ = false;
    bool started_ = false;
    std::chrono::steady_clock::time_point start_;
    std::uint64_t frames_ = 0;
    std::uint64_t late_ = 0;
    double longest_ = 0.0;
};
