#include "app/Platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

TEST(PlatformSdl, TheDataFolderFollowsXdgDataHomeAndFallsBackToHome) {
    const char* savedXdg = std::getenv("XDG_DATA_HOME");
    const char* savedHome = std::getenv("HOME");
    const std::string xdg = savedXdg != nullptr ? savedXdg : "";
    const std::string home = savedHome != nullptr ? savedHome : "";
    setenv("HOME", "/home/player", 1);
    setenv("XDG_DATA_HOME", "/data/player", 1);
    EXPECT_EQ(userDataFolder(), "/data/player/tamq4pelrok");
    setenv("XDG_DATA_HOME", "relative/is/ignored", 1);
    EXPECT_EQ(userDataFolder(), "/home/player/.local/share/tamq4pelrok");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(userDataFolder(), "/home/player/.local/share/tamq4pelrok");
    unsetenv("HOME");
    EXPECT_EQ(userDataFolder(), "");
    savedXdg != nullptr ? setenv("XDG_DATA_HOME", xdg.c_str(), 1) : unsetenv("XDG_DATA_HOME");
    savedHome != nullptr ? setenv("HOME", home.c_str(), 1) : unsetenv("HOME");
}
