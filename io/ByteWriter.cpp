#include "ByteWriter.h"

#include <cstring>

void ByteWriter::writeU32(uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes_.push_back(static_cast<char>(static_cast<unsigned char>(value >> shift)));
    }
}

void ByteWriter::writeI32(int32_t value) { writeU32(static_cast<uint32_t>(value)); }

void ByteWriter::writeF32(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    writeU32(bits);
}

void ByteWriter::writeU8(uint8_t value) { bytes_.push_back(static_cast<char>(value)); }

void ByteWriter::writeU16(uint16_t value) {
    writeU8(static_cast<uint8_t>(value));
    writeU8(static_cast<uint8_t>(value >> 8));
}

void ByteWriter::writeU64(uint64_t value) {
    writeU32(static_cast<uint32_t>(value));
    writeU32(static_cast<uint32_t>(value >> 32));
}

void ByteWriter::writeVarU32(uint32_t value) {
    while (value >= 0x80u) {
        writeU8(static_cast<uint8_t>(value | 0x80u));
        value >>= 7;
    }
    writeU8(static_cast<uint8_t>(value));
}
