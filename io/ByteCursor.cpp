#include "ByteCursor.h"

#include <cstring>

bool ByteCursor::readU8(uint8_t& value) {
    if (!has(1)) {
        return false;
    }
    value = static_cast<uint8_t>(bytes_[position_]);
    position_ += 1;
    return true;
}

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

bool ByteCursor::readU64(uint64_t& value) {
    if (!has(8)) {
        return false;
    }
    uint32_t low = 0, high = 0;
    readU32(low);
    readU32(high);
    value = static_cast<uint64_t>(high) << 32 | low;
    return true;
}

bool ByteCursor::readVarU32(uint32_t& value) {
    uint64_t result = 0;
    for (std::size_t i = 0; i < 5; ++i) {
        if (!has(i + 1)) {
            return false;
        }
        const auto byte = static_cast<unsigned char>(bytes_[position_ + i]);
        result |= static_cast<uint64_t>(byte & 0x7fu) << (7 * i);
        if ((byte & 0x80u) == 0) {
            // An overlong form (a trailing zero group) would give one number two spellings.
            if (result > 0xffffffffu || (byte == 0 && i > 0)) {
                return false;
            }
            value = static_cast<uint32_t>(result);
            position_ += i + 1;
            return true;
        }
    }
    return false;
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
