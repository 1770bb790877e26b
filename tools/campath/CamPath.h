#pragma once

#include "math/JsonFile.h"

#include <cstdint>
#include <string>
#include <vector>

// A camera path as its author describes it, checked against what the camera rig accepts,
// and turned into the rig's binary file.
class CamPath {
public:
    struct Record {
        int32_t kind = 0;
        std::vector<float> values;
    };
    struct Track {
        std::vector<Record> keyframes;
        std::vector<Record> timing;
    };

    // Reads a JSON description (format in tools/campath/README.md). Throws
    // std::runtime_error with a readable line naming the track, the record and the fault.
    static CamPath fromJson(const JsonValue& description);
    // Parses the file and reads it; the error line starts with the path.
    static CamPath fromFile(const std::string& path);

    // The camera path file: little-endian header, keyframes, then timing records.
    std::vector<unsigned char> bytes() const;

    Track eye;
    Track target;
    Track roll;
};
