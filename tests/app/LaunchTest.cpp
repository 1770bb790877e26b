#include "app/ContentFolder.h"
#include "app/Launch.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// A scratch tree with an installed layout: prefix/bin and prefix/share/tamq4pelrok/data,
// and an unrelated working directory. The test's working directory comes back afterwards.
class ContentFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        root_ = fs::temp_directory_path() / ("tamq-content-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(bin());
        fs::create_directories(installed() / "data");
        fs::create_directories(elsewhere());
        root_ = fs::canonical(root_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(root_);
    }

    fs::path bin() const { return root_ / "prefix" / "bin"; }
    fs::path installed() const { return root_ / "prefix" / "share" / "tamq4pelrok"; }
    fs::path elsewhere() const { return root_ / "home" / "player"; }

    // Looks for the content as the game does from workingDirectory; the folder entered.
    fs::path enter(const std::string& dataOption, const fs::path& workingDirectory) {
        ContentFolder content;
        const bool found = content.enter(
            ContentFolder::candidates(dataOption, workingDirectory, bin(), "../share/tamq4pelrok"));
        error_ = content.error;
        if (!found) {
            return {};
        }
        EXPECT_EQ(fs::current_path(), content.folder);
        return content.folder;
    }

    fs::path previous_;
    fs::path root_;
    std::string error_;
};

} // namespace

TEST_F(ContentFolderTest, DataInTheWorkingDirectoryComesFirstThenTheInstalledCopy) {
    EXPECT_EQ(enter("", elsewhere()), installed());
    fs::create_directories(elsewhere() / "data");
    EXPECT_EQ(enter("", elsewhere()), elsewhere());
    // A file called data is not the content.
    fs::remove_all(elsewhere() / "data");
    { std::ofstream(elsewhere() / "data") << "not a folder"; }
    EXPECT_EQ(enter("", elsewhere()), installed());
}

TEST_F(ContentFolderTest, TheDataOptionNamesTheFolderHoldingDataOrDataItselfAndIsTheOnlyPlaceLooked) {
    const fs::path mine = root_ / "my content";
    fs::create_directories(mine / "data");
    fs::create_directories(elsewhere() / "data");
    EXPECT_EQ(enter(mine.string(), elsewhere()), mine);
    EXPECT_EQ(enter((mine / "data").string(), elsewhere()), mine);
    EXPECT_EQ(enter((mine / "data").string() + "/", elsewhere()), mine);
    // Relative to the working directory the game was started in.
    EXPECT_EQ(enter("../../my content", elsewhere()), mine);

    // A --data folder without the content fails, though other places have it.
    EXPECT_EQ(enter((root_ / "nothing").string(), elsewhere()), fs::path());
    EXPECT_EQ(error_, "Cannot find the game's data folder; looked for " + (root_ / "nothing" / "data").string());
}

TEST_F(ContentFolderTest, NothingFoundNamesEveryPlaceLookedAndStaysPut) {
    fs::remove_all(installed());
    fs::current_path(elsewhere());
    EXPECT_EQ(enter("", elsewhere()), fs::path());
    EXPECT_EQ(error_, "Cannot find the game's data folder; looked for " + (elsewhere() / "data").string() + ", " +
                          (installed() / "data").string());
    EXPECT_EQ(fs::current_path(), elsewhere());
}

namespace {

std::string shownError;
void recordError(const char* text) { shownError = text; }

} // namespace

TEST_F(ContentFolderTest, LaunchEndsWithTheExitCodeOfEachOutcome) {
    fs::current_path(elsewhere());
#ifdef _WIN32
    fs::create_directories(bin() / "data");  // installed beside the executable
#endif
    struct Case {
        std::vector<std::string> arguments;
        bool starts;
        int exitCode;
    };
    const Case cases[] = {
        {{}, true, 0},
        {{"--fullscreen", "--mute"}, true, 0},
        {{"--help"}, false, 0},
        {{"--version"}, false, 0},
        {{"--bogus"}, false, 2},
        {{"--data", (root_ / "nothing").string()}, false, 1},
        {{"--verify", "run.rec"}, true, 0},
        // A board run to watch needs a board (this build has none of its own).
        {{"--watch", "42"}, false, 2},
        {{"--watch", "42", "--board", ""}, false, 2},
        {{"--watch", "42", "--board", "http://127.0.0.1:9"}, true, 0},
        // Nobody may be there to close a box: a verification without content says so and ends with 2.
        {{"--verify", "run.rec", "--data", (root_ / "nothing").string()}, false, 2},
    };
    for (const Case& c : cases) {
        shownError.clear();
        Launch launch;
        EXPECT_EQ(launch.prepare(c.arguments, bin(), recordError), c.starts);
        EXPECT_EQ(launch.exitCode, c.exitCode);
        // Only a missing content folder is worth a message box.
        EXPECT_EQ(shownError.empty(), c.exitCode != 1) << shownError;
    }
    Launch launch;
    ASSERT_TRUE(launch.prepare({"--mute"}, bin(), recordError));
    EXPECT_TRUE(launch.options.mute);
    // A record is named from where the player stood, though the content folder is entered.
    fs::current_path(elsewhere());
    ASSERT_TRUE(launch.prepare({"--replay", "runs/best.rec", "--verify=../x.rec"}, bin(), recordError));
    EXPECT_EQ(fs::path(launch.options.replayFile), elsewhere() / "runs" / "best.rec");
    EXPECT_EQ(fs::path(launch.options.verifyFile), elsewhere().parent_path() / "x.rec");
    // Launch uses the installed layout it was built for.
#ifdef _WIN32
    EXPECT_EQ(fs::current_path().filename(), "bin");
#else
    EXPECT_EQ(fs::current_path().filename(), "tamq4pelrok");
#endif
}
