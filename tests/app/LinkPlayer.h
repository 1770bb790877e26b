#pragma once
// The game's side of the board link for the tests against a real board: an HTTP client, a
// player file and the link, driven frame by frame on a clock of the test's own.

#include "app/PlatformHttpClient.h"
#include "support/LinkDriver.h"

#include "TestBoard.h"
#include "support/TestFiles.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace link_test {

using Clock = std::chrono::steady_clock;

// A fresh player folder for each link.
inline std::string playerFolder() {
    static int count = 0;
    const std::string folder = TestFiles::folder() + "/link-player-" + std::to_string(++count);
    std::filesystem::remove_all(folder);
    return folder;
}

// The game's side with a real HTTP client, waiting in real time for the board's answers.
struct Player : LinkDriver<PlatformHttpClient> {
    explicit Player(const std::string& url, Mode mode = Mode::Normal, Difficulty difficulty = Difficulty::Hard)
        : LinkDriver(playerFolder(), url, mode, difficulty) {}

    // Frames until done says so; the real time only waits for the answers.
    bool until(const std::function<bool()>& done, std::uint32_t milliseconds = 16) {
        const auto deadline = Clock::now() + std::chrono::seconds(120);
        while (!done()) {
            if (Clock::now() > deadline) {
                return false;
            }
            frame(milliseconds);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
};

inline bool ownBoard() { return !TestBoard::url().empty() && TestBoard::own(); }

}  // namespace link_test
