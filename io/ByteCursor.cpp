#include "ByteCursor.h"

#include <cstring>

bool ByteCursor::readU16(uint16_t& value) {
    if (!has(2)) {
        return false;
    }
    const auto* at = reinterpret_cast<const unsigned char*>(bytes_.data() + position_);
    value = static_cast<uint16_t>(at[0] | at[1] << 8);
    position_ += 2;
    return true;
}

bool ByteCursor::readU32(uint32_t& value) {
    if (!has(4)) {
        return false;
    }
    const auto* at = reinterpret_cast<const unsigned char*>(bytes_.data() + position_);
    value = static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
            static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
    position_ += 4;
    return true;
}

bool ByteCursor::readI32(int32_t& value) {
    uint32_t bits = 0;
    if (!readU32(bits)) {
        return false;
    }
    value = static_cast<int32_t>(bits);
    return true;
}

bool ByteCursor::readF32(float& value) {
    uint32_t bits = 0;
    if (!readU32(bits)) {
        return false;
    }
    std::memcpy(&value, &bits, sizeof value);
    return true;
}

bool ByteCursor::readBytes(void* out, std::size_t count) {
    if (!has(count)) {
        return false;
    }
    if (count > 0) {
        std::memcpy(out, bytes_.data() + position_, count);
    }
    position_ += count;
    return true;
}

bool ByteCursor::skip(std::size_t count) {
    if (!has(count)) {
        return false;
    }
    position_ += count;
    return true;
}
