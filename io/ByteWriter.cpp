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
