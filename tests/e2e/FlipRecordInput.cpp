// Changes one byte of a record's inputs, as a tampered or damaged file would: the keys of
// the first change that steers left or right steer the other way. Writes the result and
// prints the offset of the byte it changed.
//   flip_record_input IN OUT
#include "io/FileReader.h"
#include "io/RunRecord.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: flip_record_input IN OUT\n");
        return 2;
    }
    std::string bytes, fault;
    RunRecord record;
    if (!FileReader::read(argv[1], bytes, fault) || !RunRecord::fromBytes(bytes, record, fault)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], fault.c_str());
        return 2;
    }
    constexpr uint8_t kLeft = 1u << 3, kRight = 1u << 4;
    // The changed keys must still differ from their neighbours', so the file stays well formed
    // and only re-playing it can tell.
    for (std::size_t i = 0; i < record.changes.size(); ++i) {
        const uint8_t keys = record.changes[i].keys;
        const uint8_t steer = keys & (kLeft | kRight);
        const uint8_t flipped = keys ^ (kLeft | kRight);
        const uint8_t before = i > 0 ? record.changes[i - 1].keys : 0;
        const uint8_t after = i + 1 < record.changes.size() ? record.changes[i + 1].keys : 0xff;
        if ((steer == kLeft || steer == kRight) && flipped != before && flipped != after) {
            record.changes[i].keys = flipped;
            break;
        }
    }
    const std::string changed = record.toBytes();
    std::size_t differing = 0, at = 0;
    for (std::size_t i = 0; i < bytes.size() && i < changed.size(); ++i) {
        if (bytes[i] != changed[i]) {
            ++differing;
            at = i;
        }
    }
    if (changed.size() != bytes.size() || differing != 1) {
        std::fprintf(stderr, "%s: no single input byte to change (no steering in the run?)\n", argv[1]);
        return 1;
    }
    std::ofstream(argv[2], std::ios::binary) << changed;
    std::printf("%zu\n", at);
    return 0;
}
