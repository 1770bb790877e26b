#include "WavFile.h"

#include "ByteCursor.h"

#include <cstring>
#include <utility>

namespace {

constexpr uint16_t kPcmFormat = 1;
// A format tag that defers to a sub-format named further on (as recorders write).
constexpr uint16_t kExtensibleFormat = 0xFFFE;
constexpr uint16_t kBitsPerSample = 16;
constexpr uint32_t kLowestRate = 8000;
constexpr uint32_t kHighestRate = 192000;

bool fail(std::string& fault, const char* what) {
    fault = what;
    return false;
}

void putU16(std::string& out, uint16_t value) {
    out.push_back(static_cast<char>(value & 0xff));
    out.push_back(static_cast<char>(value >> 8));
}

void putU32(std::string& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>(value >> shift & 0xff));
    }
}

}  // namespace

bool WavFile::parse(std::string_view bytes, WavSound& result, std::string& fault) {
    result = WavSound{};
    WavSound sound;
    ByteCursor cursor(bytes);
    char tag[4];
    uint32_t riffSize = 0;
    if (!cursor.readBytes(tag, 4) || std::memcmp(tag, "RIFF", 4) != 0 || !cursor.readU32(riffSize) ||
        !cursor.readBytes(tag, 4) || std::memcmp(tag, "WAVE", 4) != 0) {
        return fail(fault, "not a RIFF WAVE file");
    }
    if (riffSize > bytes.size() - 8) {
        return fail(fault, "the RIFF size runs past the end of the file");
    }
    bool haveFormat = false;
    uint16_t blockAlign = 0;
    while (cursor.remaining() > 0) {
        uint32_t chunkSize = 0;
        if (!cursor.readBytes(tag, 4) || !cursor.readU32(chunkSize)) {
            return fail(fault, "cut short inside a chunk header");
        }
        if (chunkSize > cursor.remaining()) {
            return fail(fault, "a chunk runs past the end of the file");
        }
        ByteCursor chunk(bytes.substr(cursor.position(), chunkSize));
        if (std::memcmp(tag, "fmt ", 4) == 0) {
            uint16_t format = 0;
            uint16_t bits = 0;
            uint32_t byteRate = 0;
            if (!chunk.readU16(format) || !chunk.readU16(sound.channels) ||
                !chunk.readU32(sound.sampleRate) || !chunk.readU32(byteRate) ||
                !chunk.readU16(blockAlign) || !chunk.readU16(bits)) {
                return fail(fault, "the format chunk is too short");
            }
            uint16_t extensionSize = 0;
            uint16_t validBits = 0;
            uint32_t channelMask = 0;
            if (format == kExtensibleFormat &&
                !(chunk.readU16(extensionSize) && extensionSize >= 22 && chunk.readU16(validBits) &&
                  chunk.readU32(channelMask) && chunk.readU16(format))) {
                return fail(fault, "the format chunk is too short");
            }
            if (format != kPcmFormat || bits != kBitsPerSample) {
                return fail(fault, "not 16-bit PCM");
            }
            if (sound.channels < 1 || sound.channels > 2) {
                return fail(fault, "only mono and stereo are supported");
            }
            if (sound.sampleRate < kLowestRate || sound.sampleRate > kHighestRate) {
                return fail(fault, "sample rate out of range");
            }
            if (blockAlign != sound.channels * 2) {
                return fail(fault, "the block size does not match the channels");
            }
            haveFormat = true;
        } else if (std::memcmp(tag, "data", 4) == 0) {
            if (!haveFormat) {
                return fail(fault, "sound data before the format chunk");
            }
            // A trailing partial frame is dropped, as players do.
            const std::size_t frames = chunkSize / blockAlign;
            sound.samples.resize(frames * sound.channels);
            for (int16_t& sample : sound.samples) {
                uint16_t bits = 0;
                chunk.readU16(bits);
                sample = static_cast<int16_t>(bits);
            }
            if (sound.samples.empty()) {
                return fail(fault, "no sound data");
            }
            result = std::move(sound);
            return true;
        }
        // Chunks are padded to an even length; a missing pad byte at the very end is tolerated.
        cursor.skip(chunkSize);
        if (chunkSize % 2 == 1) {
            cursor.skip(1);
        }
    }
    return fail(fault, haveFormat ? "no data chunk" : "no format chunk");
}

std::string WavFile::encode(const WavSound& sound) {
    const uint32_t dataBytes = static_cast<uint32_t>(sound.samples.size() * 2);
    const uint16_t blockAlign = static_cast<uint16_t>(sound.channels * 2);
    std::string out;
    out.reserve(44 + dataBytes);
    out += "RIFF";
    putU32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    putU32(out, 16);
    putU16(out, kPcmFormat);
    putU16(out, sound.channels);
    putU32(out, sound.sampleRate);
    putU32(out, sound.sampleRate * blockAlign);
    putU16(out, blockAlign);
    putU16(out, kBitsPerSample);
    out += "data";
    putU32(out, dataBytes);
    for (int16_t sample : sound.samples) {
        putU16(out, static_cast<uint16_t>(sample));
    }
    return out;
}
