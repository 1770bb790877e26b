#pragma once

#include <cstdint>
#include <string>

// Builds a little-endian binary file in memory: the counterpart of ByteCursor for the
// tools that write what the game reads.
class ByteWriter {
public:
    void writeI32(int32_t value);
    void writeU32(uint32_t value);
    void writeF32(float value);

    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};
