#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A sound as the game stores it: 16-bit signed PCM samples, channels interleaved.
struct WavSound {
    uint32_t sampleRate = 44100;
    uint16_t channels = 1;
    std::vector<int16_t> samples;
};

// The RIFF/WAVE format of the game's sounds, written by the content generator and read by
// the audio library. Only 16-bit PCM with one or two channels is accepted: anything else,
// and any chunk that claims more bytes than the file holds, is refused with a short fault.
class WavFile {
public:
    // True with the sound filled; false with fault set and the sound left empty.
    static bool parse(std::string_view bytes, WavSound& sound, std::string& fault);
    // The canonical 44-byte header followed by the samples.
    static std::string encode(const WavSound& sound);
};
