// The committed data against its generators: every file the game loads is generated, and
// data/ holds exactly what the generators make, run after run.

#include "GeneratedContent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(ContentFiles, CommittedDataIsExactlyWhatTheGeneratorsMake) {
    std::string differing;
    for (const ContentFile& file : GeneratedContent::files()) {
        std::vector<uint8_t> committed = readFile(GeneratedContent::inData(file.path));
        if (committed != file.bytes) {
            differing += "\n  data/" + file.path + (committed.empty() ? " (missing)" : " (differs)");
        }
    }
    EXPECT_TRUE(differing.empty()) << "regenerate with contentgen and commit:" << differing;
}

TEST(ContentFiles, EveryAssetTheGameLoadsIsGeneratedAndTheBytesAreRepeatable) {
    const std::vector<std::string> loadedByTheGame = GeneratedContent::assets();
    EXPECT_EQ(loadedByTheGame.size(), 15u) << "eight textures, six meshes and the collider";
    std::vector<std::string> paths;
    for (const ContentFile& file : GeneratedContent::files()) {
        paths.push_back(file.path);
    }
    for (const std::string& path : loadedByTheGame) {
        EXPECT_NE(std::find(paths.begin(), paths.end(), path), paths.end()) << path;
    }

    // A second run must give the same bytes: no clock, no unseeded randomness.
    const std::vector<ContentFile>& first = GeneratedContent::files();
    std::vector<ContentFile> again = ContentFiles::generate();
    ASSERT_EQ(again.size(), first.size());
    for (std::size_t i = 0; i < again.size(); ++i) {
        EXPECT_EQ(again[i].path, first[i].path);
        EXPECT_TRUE(again[i].bytes == first[i].bytes) << again[i].path << " changed between runs";
    }
}
