#pragma once
// The game's side of the board link for the tests against a real board: an HTTP client, a
// player file and the link, driven frame by frame on a clock of the test's own.

#include "link/BoardLink.h"
#include "app/PlatformHttpClient.h"
#include "game/PlayerFile.h"

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

// The game's side: an HTTP client, a player file and the link, with the time of the frames.
struct Player {
    explicit Player(const std::string& url, Mode mode = Mode::Normal, Difficulty difficulty = Difficulty::Hard)
        : player(playerFolder()), mode(mode), difficulty(difficulty) {
        player.load();
        link.setUrl(url);
    }

    // One frame, milliseconds after the last.
    void frame(std::uint32_t milliseconds = 16) {
        now += milliseconds;
        link.update(mode, difficulty, showingTop, now);
    }
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
    bool holdsToken() {
        std::uint32_t seed = 0;
        return link.seedFor(mode, difficulty, now, seed);
    }
    std::uint32_t seed() {
        std::uint32_t seed = 0;
        link.seedFor(mode, difficulty, now, seed);
        return seed;
    }

    PlatformHttpClient http;
    PlayerFile player;
    BoardLink link{http, player};
    Mode mode;
    Difficulty difficulty;
    bool showingTop = true;
    std::uint32_t now = 5000;
};

inline bool ownBoard() { return !TestBoard::url().empty() && TestBoard::own(); }

}  // namespace link_test
