#include "io/FaultReporter.h"
#include "io/FileReader.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

TEST(FileReader, ReadsEveryByteOfAFile) {
    const std::string bytes("a\0b\r\nend", 8);
    const std::string path = TestFiles::write("whole.bin", bytes);
    std::string read = "stale";
    std::string fault;
    ASSERT_TRUE(FileReader::read(path, read, fault));
    EXPECT_EQ(read, bytes);
    EXPECT_EQ(FileReader::readOrThrow(TestFiles::write("empty.bin", "")), "");
}

TEST(FileReader, MissingAndFolderPathsFailTheSameWayForEveryLoader) {
    struct Case {
        std::string path;
        const char* fault;
    };
    for (const Case& c : {Case{TestFiles::missing("gone.json"), "cannot open the file"},
                          Case{TestFiles::folder(), "is a folder, not a file"}}) {
        std::string read = "stale";
        std::string fault;
        EXPECT_FALSE(FileReader::read(c.path, read, fault));
        EXPECT_EQ(fault, c.fault);
        EXPECT_EQ(read, "");
        try {
            FileReader::readOrThrow(c.path);
            ADD_FAILURE() << c.path << " was read";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), c.path + ": " + c.fault);
        }
    }
}

TEST(FaultReporter, OneLineNamingTheFileFirst) {
    testing::internal::CaptureStderr();
    FaultReporter::report("data/cars.json", "line 3, column 4: unexpected '}'");
    FaultReporter::report("data/quad.json: no \"model\" member");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "data/cars.json: line 3, column 4: unexpected '}'\n"
              "data/quad.json: no \"model\" member\n");
}

}  // namespace
