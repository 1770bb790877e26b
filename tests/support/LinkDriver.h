#pragma once
// The game's side of a board link: a player file and the link over the transport a test
// gives it (scripted, or a real HTTP client against a real board), driven frame by frame
// on a clock of the test's own.

#include "link/BoardLink.h"
#include "link/PlayerFile.h"

#include <cstdint>
#include <string>

template <class Http>
struct LinkDriver {
    LinkDriver(const std::string& folder, const std::string& url, Mode mode, Difficulty difficulty)
        : player(folder), mode(mode), difficulty(difficulty) {
        player.load();
        link.setUrl(url);
    }

    // One frame, milliseconds after the last.
    void frame(std::uint32_t milliseconds = 16) {
        now += milliseconds;
        link.update(mode, difficulty, season, showingTop, now);
    }
    bool holdsToken() const {
        std::uint32_t seed = 0;
        return link.seedFor(mode, difficulty, now, seed);
    }
    std::uint32_t seed() const {
        std::uint32_t seed = 0;
        link.seedFor(mode, difficulty, now, seed);
        return seed;
    }

    Http http;
    PlayerFile player;
    BoardLink link{http, player};
    Mode mode;
    Difficulty difficulty;
    Season season = Season::All;
    bool showingTop = true;
    std::uint32_t now = 5000;
};
