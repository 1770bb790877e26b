// The audio over OpenAL Soft's wave-file writer, which plays like a real device but into a
// file, so the tests run the same on a machine without sound hardware.
#include "audio/AudioPlayer.h"

#include "support/TestFiles.h"
#include "support/WaveOutput.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>

namespace {

namespace fs = std::filesystem;

std::atomic<bool> countAllocations{false};
std::atomic<int> allocations{0};

void useWaveOutput() {
    static const std::string recording = WaveOutput::use("out.wav");
    (void)recording;
}

// Runs the test body from another folder, so a data/ of the test's own can be loaded.
class WorkingFolder {
public:
    explicit WorkingFolder(const fs::path& folder) : previous_(fs::current_path()) { fs::current_path(folder); }
    ~WorkingFolder() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

class AudioPlayerTest : public testing::Test {
protected:
    void SetUp() override {
        useWaveOutput();
        testing::internal::CaptureStderr();
        const bool ready = probe_.init();
        probe_.shutdown();
        const std::string why = testing::internal::GetCapturedStderr();
        if (!ready) {
            GTEST_SKIP() << why;
        }
    }

    AudioPlayer probe_;
};

}  // namespace

// The replaced pair allocates with malloc and frees with free; GCC cannot see the pairing.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    if (countAllocations) {
        ++allocations;
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

TEST_F(AudioPlayerTest, LoadsEverySoundOnceAndPlaysWithoutAllocating) {
    AudioPlayer audio;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(audio.init());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    for (int i = 0; i < kSoundCount; ++i) {
        EXPECT_TRUE(audio.hasSound(static_cast<SoundId>(i))) << kSoundFiles[i];
    }
    countAllocations = true;
    for (int frame = 0; frame < 200; ++frame) {
        audio.loop(SoundId::Engine, 0.5f, 0.5f + frame / 400.0f);
        audio.play(static_cast<SoundId>(1 + frame % (kSoundCount - 1)), 0.8f, 1.0f);
        audio.setMuted(frame % 2 == 0);
        if (frame % 50 == 0) {
            audio.stopAll();
        }
    }
    countAllocations = false;
    EXPECT_EQ(allocations.load(), 0);
}

// Without OpenAL (Windows without OpenAL32.dll) or with a device that will not open, the
// game gets one line and every call is a harmless no-op.
TEST(AudioPlayerWithoutDevice, OneLineThenSilence) {
    useWaveOutput();
    AudioPlayer audio;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(audio.init("no such device"));
    const std::string report = testing::internal::GetCapturedStderr();
#ifdef _WIN32
    const bool haveLibrary = report.find("OpenAL32.dll") == std::string::npos;
#else
    const bool haveLibrary = true;
#endif
    if (haveLibrary) {
        EXPECT_EQ(report, "audio: the audio device no such device cannot be opened; the game plays without sound\n");
    } else {
        EXPECT_EQ(report, "audio: OpenAL32.dll not found; the game plays without sound\n");
    }
    EXPECT_FALSE(audio.hasDevice());
    EXPECT_FALSE(audio.hasSound(SoundId::Hit));
    audio.play(SoundId::Hit);
    audio.loop(SoundId::Engine, 1.0f, 1.0f);
    audio.setMuted(true);
    audio.stopAll();
    audio.shutdown();
    EXPECT_FALSE(audio.hasDevice());
}

TEST_F(AudioPlayerTest, AMissingOrDamagedSoundSilencesOnlyItself) {
    const fs::path root = fs::path(TestFiles::folder()) / "sound-faults";
    fs::create_directories(root / "data");
    fs::copy(fs::path(TAMQ_SOURCE_DIR) / "data" / "sounds", root / "data" / "sounds",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::remove(root / "data" / "sounds" / "hit.wav");
    {
        // A header that promises more sound than the file holds.
        std::fstream start(root / "data" / "sounds" / "start.wav", std::ios::in | std::ios::out | std::ios::binary);
        start.seekp(40);
        start.write("\xff\xff\xff\x7f", 4);
    }
    WorkingFolder folder(root);
    AudioPlayer audio;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(audio.init());
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_EQ(report,
              "data/sounds/hit.wav: cannot open the file; this sound stays silent\n"
              "data/sounds/start.wav: a chunk runs past the end of the file; this sound stays silent\n");
    EXPECT_FALSE(audio.hasSound(SoundId::Hit));
    EXPECT_FALSE(audio.hasSound(SoundId::Start));
    EXPECT_TRUE(audio.hasSound(SoundId::Engine));
    audio.play(SoundId::Hit);
    audio.play(SoundId::Start);
    audio.play(SoundId::Switch);
}
