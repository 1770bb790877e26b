#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Reads the little-endian fields of a binary file held in memory, front to back. A read
// that would pass the end reads nothing, leaves the position where it was and returns
// false, so a short or hostile file can never make a reader look outside its bytes.
class ByteCursor {
public:
    explicit ByteCursor(std::string_view bytes) : bytes_(bytes) {}

    std::size_t position() const { return position_; }
    std::size_t size() const { return bytes_.size(); }
    std::size_t remaining() const { return bytes_.size() - position_; }
    bool has(std::size_t count) const { return remaining() >= count; }

    bool readU8(uint8_t& value);
    bool readU16(uint16_t& value);
    bool readU32(uint32_t& value);
    bool readI32(int32_t& value);
    bool readU64(uint64_t& value);
    bool readF32(float& value);
    // An unsigned LEB128 number of at most five bytes (seven bits a byte, low first). False,
    // with the position kept, when it is cut short, overlong or does not fit 32 bits.
    bool readVarU32(uint32_t& value);
    // Copies count raw bytes.
    bool readBytes(void* out, std::size_t count);
    bool skip(std::size_t count);

private:
    std::string_view bytes_;
    std::size_t position_ = 0;
};
