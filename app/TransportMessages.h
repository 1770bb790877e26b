#pragma once

#include <string>

// The words every HTTP backend of the game uses for the same failure, so that the lines a
// player reads, and the tests that match them, do not depend on the platform.
class TransportMessages {
public:
    // "no answer within 5000 ms".
    static std::string noAnswerWithin(int timeoutMilliseconds);
};
