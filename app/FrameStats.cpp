#include "FrameStats.h"

#include <cstdio>

void FrameStats::start() {
    if (enabled_) {
        start_ = std::chrono::steady_clock::now();
        started_ = true;
    }
}

void FrameStats::stop() {
    if (!started_) {
        return;
    }
    started_ = false;
    add(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count());
}

void FrameStats::add(double milliseconds) {
    ++frames_;
    if (milliseconds > kLateMilliseconds) {
        ++late_;
    }
    if (milliseconds > longest_) {
        longest_ = milliseconds;
    }
}

std::string FrameStats::summary() const {
    char line[128];
    std::snprintf(line, sizeof line, "frames: %llu, longest %.1f ms, over %.0f ms: %llu",
                  static_cast<unsigned long long>(frames_), longest_, kLateMilliseconds,
                  static_cast<unsigned long long>(late_));
    return line;
}

void FrameStats::printOnce() {
    if (enabled_ && !printed_) {
        printed_ = true;
        std::printf("%s\n", summary().c_str());
        std::fflush(stdout);
    }
}
