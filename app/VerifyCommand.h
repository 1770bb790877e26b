#pragma once

#include <cstdio>
#include <string>

// `tamq --verify FILE`: re-plays a run record under the rules on the content folder
// already entered, headless (no window, no OpenGL context), and prints the verifier's one
// line of JSON. For the board service and for players who want to check a run.
class VerifyCommand {
public:
    // The exit code: 0 valid, 1 invalid, 2 when the file cannot be read (the line then
    // says "unreadable: " and why).
    static int run(const std::string& path, std::FILE* out);
};
