#pragma once

#include <string>

// A run accepted by the online board, shared: its page address printed once on standard
// output ("board: this run: ADDRESS"), and in a browser also shown as a link under the
// picture (the page's tamqShowRun).
class RunShare {
public:
    static void show(const std::string& address);
    // The line printed, without its newline.
    static std::string line(const std::string& address) { return "board: this run: " + address; }
};
