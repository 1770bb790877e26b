// Files written off the caller's thread: each path ends as its last write said, nothing
// queued is lost when the queue is drained or goes, and a failure reaches its caller.
#include "io/FileWriteQueue.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

TEST(FileWriteQueue, EachPathEndsAsItsLastWriteSaidAndNothingIsLost) {
    const std::string folder = TestFiles::folder() + "/write-queue";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const struct {
        const char* what;
        bool started;
        std::vector<std::pair<std::string, std::string>> writes;  // file name, content
        std::vector<std::pair<std::string, std::string>> files;   // as they end
    } cases[] = {
        {"at once without a thread", false, {{"a", "1"}, {"a", "2"}}, {{"a", "2"}}},
        {"one write", true, {{"a", "1"}}, {{"a", "1"}}},
        {"the newest of a path wins", true, {{"a", "1"}, {"b", "x"}, {"a", "2"}, {"a", "3"}}, {{"a", "3"}, {"b", "x"}}},
        {"many paths, many times", true,
         {{"a", "1"}, {"b", "1"}, {"c", "1"}, {"b", "2"}, {"c", "2"}, {"a", "2"}, {"c", "3"}},
         {{"a", "2"}, {"b", "2"}, {"c", "3"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::atomic<int> failed{0};
        {
            FileWriteQueue queue;
            if (c.started) {
                queue.start();
            }
            for (const auto& [name, content] : c.writes) {
                queue.write(folder + "/" + name, content, [&](bool ok, const std::string&) { failed += ok ? 0 : 1; });
            }
            // Going out of scope drains the queue: every file is on the disk afterwards.
        }
        for (const auto& [name, content] : c.files) {
            EXPECT_EQ(TestFiles::readAll(folder + "/" + name), content) << name;
        }
        EXPECT_EQ(failed, 0);
    }

    // A write that cannot be made is told so, with the reason, and the others go on.
    FileWriteQueue queue;
    queue.start();
    std::string fault;
    bool told = false;
    queue.write(folder + "/no-such-folder/a", "1", [&](bool ok, const std::string& why) {
        told = !ok;
        fault = why;
    });
    queue.write(folder + "/d", "4");
    queue.drain();
    EXPECT_EQ(queue.pending(), 0);
    EXPECT_TRUE(told);
    EXPECT_NE(fault.find("no-such-folder"), std::string::npos) << fault;
    EXPECT_EQ(TestFiles::readAll(folder + "/d"), "4");
}
