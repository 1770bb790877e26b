#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Builds a little-endian binary file in memory: the counterpart of ByteCursor for the
// tools that write what the game reads.
class ByteWriter {
public:
    void writeU8(uint8_t value);
    void writeU16(uint16_t value);
    void writeI32(int32_t value);
    void writeU32(uint32_t value);
    void writeU64(uint64_t value);
    void writeF32(float value);
    // The unsigned LEB128 form ByteCursor::readVarU32 reads.
    void writeVarU32(uint32_t value);
    void writeBytes(std::string_view bytes) { bytes_.append(bytes); }

    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};
