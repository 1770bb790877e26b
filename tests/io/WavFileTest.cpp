#include "io/WavFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

WavSound ramp(uint16_t channels, std::size_t frames) {
    WavSound sound;
    sound.channels = channels;
    sound.sampleRate = 22050;
    for (std::size_t i = 0; i < frames * channels; ++i) {
        sound.samples.push_back(static_cast<int16_t>(i * 997 % 65536 - 32768));
    }
    return sound;
}

void putU32(std::string& bytes, std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i) & 0xff);
    }
}

void putU16(std::string& bytes, std::size_t at, uint16_t value) {
    bytes[at] = static_cast<char>(value & 0xff);
    bytes[at + 1] = static_cast<char>(value >> 8);
}

}  // namespace

TEST(WavFile, WhatIsWrittenReadsBackSampleForSample) {
    for (uint16_t channels : {1, 2}) {
        const WavSound original = ramp(channels, 301);
        const std::string bytes = WavFile::encode(original);
        EXPECT_EQ(bytes.size(), 44 + original.samples.size() * 2);
        WavSound read;
        std::string fault;
        ASSERT_TRUE(WavFile::parse(bytes, read, fault)) << fault;
        EXPECT_EQ(read.channels, channels);
        EXPECT_EQ(read.sampleRate, 22050u);
        EXPECT_EQ(read.samples, original.samples);
    }
}

TEST(WavFile, ChunksBeforeTheSoundAreSkippedWithTheirPadByte) {
    std::string bytes = WavFile::encode(ramp(1, 10));
    // An odd-sized LIST chunk between the format and the data, padded to even as RIFF requires.
    bytes.insert(36, std::string("LIST\x03\0\0\0abc\0", 12));
    putU32(bytes, 4, static_cast<uint32_t>(bytes.size() - 8));
    WavSound read;
    std::string fault;
    ASSERT_TRUE(WavFile::parse(bytes, read, fault)) << fault;
    EXPECT_EQ(read.samples, ramp(1, 10).samples);
}

// The extended format header that recorders write (OpenAL Soft's wave writer among them):
// the sample format moves into a sub-format after the plain fields.
std::string extensible(const WavSound& sound, uint16_t subFormat) {
    std::string bytes = WavFile::encode(sound);
    std::string extension(24, '\0');
    putU16(extension, 0, 22);
    putU16(extension, 2, 16);
    putU16(extension, 8, subFormat);
    bytes.insert(36, extension);
    putU32(bytes, 16, 40);
    putU16(bytes, 20, 0xFFFE);
    putU32(bytes, 4, static_cast<uint32_t>(bytes.size() - 8));
    return bytes;
}

TEST(WavFile, ARecordersExtendedHeaderReadsLikePlainPcm) {
    const WavSound original = ramp(2, 50);
    WavSound read;
    std::string fault;
    ASSERT_TRUE(WavFile::parse(extensible(original, 1), read, fault)) << fault;
    EXPECT_EQ(read.samples, original.samples);
    EXPECT_FALSE(WavFile::parse(extensible(original, 3), read, fault)) << "floating-point samples";
    EXPECT_EQ(fault, "not 16-bit PCM");
    std::string cut = extensible(original, 1);
    putU32(cut, 16, 18);
    EXPECT_FALSE(WavFile::parse(cut, read, fault));
}

TEST(WavFile, AHalfFrameAtTheEndIsDropped) {
    std::string bytes = WavFile::encode(ramp(2, 4));
    bytes.resize(bytes.size() - 2);
    putU32(bytes, 40, 14);
    putU32(bytes, 4, static_cast<uint32_t>(bytes.size() - 8));
    WavSound read;
    std::string fault;
    ASSERT_TRUE(WavFile::parse(bytes, read, fault)) << fault;
    EXPECT_EQ(read.samples.size(), 6u);
}

TEST(WavFile, DamagedFilesAreRefusedWithTheirFault) {
    const std::string good = WavFile::encode(ramp(1, 8));
    struct Case {
        const char* name;
        std::string bytes;
        const char* fault;
    };
    auto edited = [&good](auto edit) {
        std::string bytes = good;
        edit(bytes);
        return bytes;
    };
    // Cut after n bytes, with the RIFF size telling the truth about the cut file.
    auto cut = [&good](std::size_t n) {
        std::string bytes = good.substr(0, n);
        putU32(bytes, 4, static_cast<uint32_t>(n - 8));
        return bytes;
    };
    const Case cases[] = {
        {"empty", "", "not a RIFF WAVE file"},
        {"short header", good.substr(0, 10), "not a RIFF WAVE file"},
        {"not wave", edited([](std::string& b) { b.replace(8, 4, "AVI "); }), "not a RIFF WAVE file"},
        {"riff size past the end", edited([](std::string& b) { putU32(b, 4, 1000); }),
         "the RIFF size runs past the end of the file"},
        {"data size past the end", edited([](std::string& b) { putU32(b, 40, 0x7fffffff); }),
         "a chunk runs past the end of the file"},
        {"format size past the end", edited([](std::string& b) { putU32(b, 16, 0xffffffff); }),
         "a chunk runs past the end of the file"},
        {"cut inside the format", cut(30), "a chunk runs past the end of the file"},
        {"cut inside a chunk header", cut(40), "cut short inside a chunk header"},
        {"format too short", edited([](std::string& b) { putU32(b, 16, 8); }), "the format chunk is too short"},
        {"float samples", edited([](std::string& b) { putU16(b, 20, 3); }), "not 16-bit PCM"},
        {"8-bit samples", edited([](std::string& b) { putU16(b, 34, 8); }), "not 16-bit PCM"},
        {"24-bit samples", edited([](std::string& b) { putU16(b, 34, 24); }), "not 16-bit PCM"},
        {"no channels", edited([](std::string& b) { putU16(b, 22, 0); }), "only mono and stereo are supported"},
        {"six channels", edited([](std::string& b) { putU16(b, 22, 6); }), "only mono and stereo are supported"},
        {"rate zero", edited([](std::string& b) { putU32(b, 24, 0); }), "sample rate out of range"},
        {"block size wrong", edited([](std::string& b) { putU16(b, 32, 3); }),
         "the block size does not match the channels"},
        {"data before format", edited([](std::string& b) { b.replace(12, 4, "fmx "); }), "sound data before the format chunk"},
        {"no data chunk", edited([](std::string& b) { b.replace(36, 4, "junk"); }), "no data chunk"},
        {"empty data", edited([](std::string& b) {
             b.resize(44);
             putU32(b, 40, 0);
             putU32(b, 4, 36);
         }),
         "no sound data"},
        {"riff cut short", good.substr(0, 30), "the RIFF size runs past the end of the file"},
    };
    for (const Case& c : cases) {
        WavSound read = ramp(1, 3);
        std::string fault;
        EXPECT_FALSE(WavFile::parse(c.bytes, read, fault)) << c.name;
        EXPECT_EQ(fault, c.fault) << c.name;
        EXPECT_TRUE(read.samples.empty()) << c.name;
    }
}
