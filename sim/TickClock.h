#pragma once

// Turns real time into the simulation's fixed ticks: the shell adds each frame's seconds
// and runs the ticks that come due; what is left over, a fraction of a tick, says how far
// real time has moved past the last tick, which is where the frame is drawn between the
// last two ticks. Counted in double so that no tick is lost or gained over hours of frames.
class TickClock {
public:
    explicit TickClock(int ticksPerSecond) : ticksPerSecond_(ticksPerSecond) {}

    // Adds seconds of real time; returns how many ticks are now due.
    int advance(float seconds);
    // Real time past the last tick due, in ticks: 0 up to 1.
    float fraction() const { return static_cast<float>(pending_); }
    void reset() { pending_ = 0.0; }

private:
    int ticksPerSecond_;
    double pending_ = 0.0;
};
