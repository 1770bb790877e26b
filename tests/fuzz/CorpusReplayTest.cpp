#include "fuzz/LoaderFuzzTargets.h"

#include "support/HeadlessGl.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char* const kTargets[] = {"bmp",      "fontbmp",  "png",     "meshjson", "bloc", "collider",
                                "patterns", "campath", "shader", "wav",      "best",    "record"};

std::vector<uint8_t> readBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Every stored seed and every input that once crashed a reader goes through the same entry
// the fuzzer uses; a regression shows up as a crash, or under the sanitizer build as a report.
int replayFolder(const char* target, const fs::path& folder) {
    LoaderFuzzTargets::Entry entry = LoaderFuzzTargets::find(target);
    int count = 0;
    if (!fs::is_directory(folder)) {
        return 0;
    }
    for (const fs::directory_entry& file : fs::directory_iterator(folder)) {
        if (!file.is_regular_file()) {
            continue;
        }
        SCOPED_TRACE(file.path().string());
        std::vector<uint8_t> bytes = readBytes(file.path());
        entry(bytes.data(), bytes.size());
        ++count;
    }
    return count;
}

class CorpusReplay : public testing::TestWithParam<const char*> {};

TEST_P(CorpusReplay, StoredSeedsAndReproducersRunCleanly) {
    const char* target = GetParam();
    ASSERT_NE(LoaderFuzzTargets::find(target), nullptr);
    if (LoaderFuzzTargets::needsGl(target)) {
        REQUIRE_GL();
    }
    const fs::path fuzz = fs::path(TAMQ_SOURCE_DIR) / "fuzz";
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    int seeds = replayFolder(target, fuzz / "corpus" / target);
    replayFolder(target, fuzz / "crashes" / target);
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    EXPECT_GT(seeds, 0) << "no stored seeds for " << target;
}

INSTANTIATE_TEST_SUITE_P(EveryReader, CorpusReplay, testing::ValuesIn(kTargets),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

// A folder the replay walks must feed a reader something: an emptied folder, or one left
// behind under a reader's old name, would pass while replaying nothing.
TEST(CorpusFolders, EveryFolderNamesAReaderAndHoldsInputs) {
    const fs::path fuzz = fs::path(TAMQ_SOURCE_DIR) / "fuzz";
    int folders = 0;
    for (const char* kind : {"corpus", "crashes"}) {
        ASSERT_TRUE(fs::is_directory(fuzz / kind)) << fuzz / kind;
        for (const fs::directory_entry& folder : fs::directory_iterator(fuzz / kind)) {
            SCOPED_TRACE(folder.path().string());
            ++folders;
            ASSERT_TRUE(folder.is_directory()) << "inputs lie in one folder per reader";
            EXPECT_NE(LoaderFuzzTargets::find(folder.path().filename().string().c_str()), nullptr)
                << "no reader of this name";
            int files = 0;
            for (const fs::directory_entry& file : fs::directory_iterator(folder.path())) {
                files += file.is_regular_file() ? 1 : 0;
            }
            EXPECT_GT(files, 0) << "nothing to replay";
        }
    }
    EXPECT_GE(folders, static_cast<int>(std::size(kTargets)));
}

// The inputs that crashed readers before their fixes, read again for the report they must give.
TEST(FuzzFindings, NumberTooLargeForADoubleIsReportedWithItsLine) {
    const fs::path crashes = fs::path(TAMQ_SOURCE_DIR) / "fuzz" / "crashes";
    std::vector<uint8_t> bytes = readBytes(crashes / "patterns" / "number-overflow.json");
    testing::internal::CaptureStderr();
    LoaderFuzzTargets::patterns(bytes.data(), bytes.size());
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find("cars.json: line 2, column 21: number overflow parsing '1e999'"),
              std::string::npos)
        << report;
}

}  // namespace
