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
    EXPECT_FALSE(none.frameStats);

    const CommandLine all = CommandLine::parse({"--mute", "--data", "/opt/my game", "--frame-stats", "--fullscreen"});
    EXPECT_EQ(all.action, Action::Play);
    EXPECT_TRUE(all.frameStats);
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

TEST(CommandLine, RecordsToWatchOrToVerify) {
    const struct {
        std::vector<std::string> arguments;
        Action action;
        const char* replay;
        const char* verify;
        const char* error;
    } cases[] = {
        {{"--replay", "best.rec"}, Action::Play, "best.rec", "", ""},
        {{"--replay=a b.rec", "--mute"}, Action::Play, "a b.rec", "", ""},
        {{"--verify", "run.rec"}, Action::Verify, "", "run.rec", ""},
        {{"--verify=run.rec", "--data", "d"}, Action::Verify, "", "run.rec", ""},
        {{"--verify", "run.rec", "--version"}, Action::Verify, "", "run.rec", ""},
        {{"--help", "--verify", "run.rec"}, Action::ShowHelp, "", "run.rec", ""},
        {{"--verify", "run.rec", "--help"}, Action::ShowHelp, "", "run.rec", ""},
        {{"--replay"}, Action::Fail, "", "", "--replay needs a record file"},
        {{"--verify="}, Action::Fail, "", "", "--verify needs a record file"},
        {{"--verify", "a.rec", "--verify"}, Action::Fail, "", "", "--verify needs a record file"},
        {{"--data", "a", "--data"}, Action::Fail, "", "", "--data needs a folder"},
        {{"--replays", "x"}, Action::Fail, "", "", "unknown option '--replays'"},
    };
    for (const auto& c : cases) {
        const CommandLine line = CommandLine::parse(c.arguments);
        SCOPED_TRACE(c.arguments.front());
        EXPECT_EQ(line.action, c.action);
        EXPECT_EQ(line.error, c.error);
        if (c.action != Action::Fail) {
            EXPECT_EQ(line.replayFile, c.replay);
            EXPECT_EQ(line.verifyFile, c.verify);
        }
    }
}

TEST(CommandLine, TheBoardAndItsAuthority) {
    const struct {
        std::vector<std::string> arguments;
        bool given;
        const char* url;
        const char* authority;
        const char* error;
    } cases[] = {
        {{}, false, "", "", ""},
        {{"--board", "http://127.0.0.1:8080"}, true, "http://127.0.0.1:8080", "", ""},
        {{"--board=https://board.example/"}, true, "https://board.example/", "", ""},
        // An empty address is no board at all, not the build's.
        {{"--board", ""}, true, "", "", ""},
        {{"--board="}, true, "", "", ""},
        {{"--board", "http://a", "--board", ""}, true, "", "", ""},
        {{"--board-ca", "ca.pem", "--board", "https://b"}, true, "https://b", "ca.pem", ""},
        {{"--board-ca=my ca.pem"}, false, "", "my ca.pem", ""},
        {{"--mute", "--board"}, false, "", "", "--board needs an address (\"\" for none)"},
        {{"--board-ca"}, false, "", "", "--board-ca needs a certificate file"},
        {{"--board-ca="}, false, "", "", "--board-ca needs a certificate file"},
        {{"--boards", "x"}, false, "", "", "unknown option '--boards'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.empty() ? "none" : c.arguments.front());
        const CommandLine line = CommandLine::parse(c.arguments);
        EXPECT_EQ(line.error, c.error);
        EXPECT_EQ(line.action, *c.error != '\0' ? Action::Fail : Action::Play);
        if (*c.error == '\0') {
            EXPECT_EQ(line.boardGiven, c.given);
            EXPECT_EQ(line.boardUrl, c.url);
            EXPECT_EQ(line.boardCertificateAuthority, c.authority);
        }
    }
}

TEST(CommandLine, APageAddressChoosesTheBoardOnlyWhereTheBuildHasNone) {
    const std::string own = "https://board.example";
    const std::string refused = "board: this page plays on its own board (https://board.example); its address can "
                                "only turn it off";
    struct Case {
        bool asked;
        const char* board;
        std::string buildBoard;
        std::vector<std::string> arguments;
        std::string note;
    };
    const std::vector<Case> cases = {
        {false, "", "", {}, ""},
        {false, "", own, {}, ""},
        {true, "http://127.0.0.1:8080", "", {"--board", "http://127.0.0.1:8080"}, ""},
        {true, "", "", {"--board", ""}, ""},
        {true, "", own, {"--board", ""}, ""},
        {true, "https://board.example", own, {"--board", own}, ""},
        // A link to the game that would hand the player's key to another server.
        {true, "https://elsewhere.example", own, {}, refused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.board) + " on a build with '" + c.buildBoard + "'");
        std::string note = "stale";
        EXPECT_EQ(CommandLine::pageArguments(c.asked, c.board, c.buildBoard, note), c.arguments);
        EXPECT_EQ(note, c.note);
        // Whatever it gives, the game takes.
        EXPECT_EQ(CommandLine::parse(c.arguments).action, Action::Play);
    }
}

TEST(CommandLine, ABoardRunToWatchFromTheOptionsOrThePageAddress) {
    const std::string own = "https://board.example";
    const std::string none = "board: ?watch= needs a board (?board=URL); playing without it";
    const struct {
        std::vector<std::string> given;
        std::string buildBoard;
        std::vector<std::string> arguments;
        std::string note;
    } cases[] = {
        {{"--board", "http://127.0.0.1:8080"}, "", {"--watch", "42"}, ""},
        {{}, own, {"--watch", "42"}, ""},
        {{}, "", {}, none},
        {{"--board", ""}, own, {}, none},
    };
    for (const auto& c : cases) {
        std::string note = "stale";
        EXPECT_EQ(CommandLine::pageWatchArguments("42", c.given, c.buildBoard, note), c.arguments);
        EXPECT_EQ(note, c.note);
    }
    EXPECT_EQ(CommandLine::parse({"--watch", "42"}).watchRun, "42");
    EXPECT_EQ(CommandLine::parse({"--watch=7", "--board", "http://b"}).watchRun, "7");
    // Anything else is said when the run is fetched, over the title screen.
    EXPECT_EQ(CommandLine::parse({"--watch", "x"}).action, Action::Play);
    EXPECT_EQ(CommandLine::parse({"--watch"}).error, "--watch needs a run's number from the board");
}

TEST(CommandLine, UsageNamesEveryOption) {
    const std::string usage = CommandLine::usage();
    for (const char* option : {"--data DIR", "--fullscreen", "--mute", "--replay FILE", "--verify FILE", "--version",
                               "--help", "--board URL", "--board-ca FILE", "--watch RUNID"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(usage.back(), '\n');
}
