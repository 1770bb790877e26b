#pragma once

// Sine and cosine that give the same bits on every compiler and C library: the rules turn
// the bar with them, and a run must replay alike on Linux, Windows and in the browser,
// where the libraries' sinf and cosf differ in the last bit. Built from + - * / in a fixed
// order, in double precision, then rounded once to float; accurate to the float's last bit
// or so. Angles beyond 2^28 radians (far past any run) answer NaN.
class Trig {
public:
    static float sin(float radians);
    static float cos(float radians);
};
