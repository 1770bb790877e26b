#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using Action = CommandLine::Action;

TEST(CommandLine, ReadsEveryOptionInAnyOrderAndPlaysWithDefaultsWithoutAny) {
    const CommandLine none = CommandLine::parse({});
    EXPECT_EQ(none.action, Action::Play);
    EXPECT_TRUE(none.dataFolder.empty());
    EXPECT_FALSE(none.fullscreen);
    EXPECT_FALSE(none.mute);

    const CommandLine all = CommandLine::parse({"--mute", "--data", "/opt/my game", "--fullscreen"});
    EXPECT_EQ(all.action, Action::Play);
    EXPECT_EQ(all.dataFolder, "/opt/my game");
    EXPECT_TRUE(all.fullscreen);
    EXPECT_TRUE(all.mute);

    EXPECT_EQ(CommandLine::parse({"--data=../content"}).dataFolder, "../content");
    // The last --data counts, as with most programs.
    EXPECT_EQ(CommandLine::parse({"--data", "a", "--data", "b"}).dataFolder, "b");
    // A folder that looks like an option is still the folder.
    EXPECT_EQ(CommandLine::parse({"--data", "--mute"}).dataFolder, "--mute");
}

TEST(CommandLine, HelpAndVersionStopTheGameAndHelpWinsOverVersion) {
    EXPECT_EQ(CommandLine::parse({"--help"}).action, Action::ShowHelp);
    EXPECT_EQ(CommandLine::parse({"-h"}).action, Action::ShowHelp);
    EXPECT_EQ(CommandLine::parse({"--version"}).action, Action::ShowVersion);
    EXPECT_EQ(CommandLine::parse({"--version", "--help"}).action, Action::ShowHelp);
    EXPECT_EQ(CommandLine::parse({"--help", "--version"}).action, Action::ShowHelp);
    EXPECT_EQ(CommandLine::parse({"--fullscreen", "--version"}).action, Action::ShowVersion);
}

TEST(CommandLine, UnknownOptionsAndAMissingFolderFailNamingTheProblem) {
    // The arguments, and the one the error must name.
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"--bogus"}, "--bogus"}, {{"-x"}, "-x"}, {{"--Data", "d"}, "--Data"}, {{"data"}, "data"},
        {{"--fullscreen=yes"}, "--fullscreen=yes"}, {{"--help", "--bogus"}, "--bogus"}, {{""}, ""}};
    for (const auto& [arguments, culprit] : bad) {
        const CommandLine line = CommandLine::parse(arguments);
        EXPECT_EQ(line.action, Action::Fail) << culprit;
        EXPECT_EQ(line.error, "unknown option '" + culprit + "'");
    }
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--data"}, {"--data", ""}, {"--data="}, {"--mute", "--data"}}) {
        const CommandLine line = CommandLine::parse(arguments);
        EXPECT_EQ(line.action, Action::Fail);
        EXPECT_EQ(line.error, "--data needs a folder");
    }
}

TEST(CommandLine, UsageNamesEveryOption) {
    const std::string usage = CommandLine::usage();
    for (const char* option : {"--data DIR", "--fullscreen", "--mute", "--version", "--help"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(usage.back(), '\n');
}
