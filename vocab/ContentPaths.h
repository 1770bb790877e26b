#pragma once

#include <string_view>

// The content a run is played on, which the game, the board's re-play and the tools must
// read alike: a record names it by the hash of these two files' bytes. Paths from the
// game's folder; inData gives the same file within a data folder elsewhere (the board's
// --data, a generator's output).
struct ContentPaths {
    static constexpr std::string_view kDataFolder = "data";
    static constexpr const char* kTraffic = "data/cars.json";
    static constexpr const char* kCollider = "data/meshes/colliders/quadCollider.json";

    // "cars.json" for "data/cars.json".
    static constexpr const char* inData(const char* path) { return path + kDataFolder.size() + 1; }
};

static_assert(std::string_view(ContentPaths::kTraffic).starts_with("data/") &&
                  std::string_view(ContentPaths::kCollider).starts_with("data/"),
              "the content lies in the data folder");
