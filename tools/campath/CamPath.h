#pragma once

#include "control/CameraPathFile.h"
#include "io/JsonFile.h"

#include <string>

// A camera path as its author describes it in JSON, checked against what the camera rig
// accepts and turned into the game's camera path file (whose bytes CameraPathFile writes).
class CamPath {
public:
    // Reads a JSON description (format in tools/campath/README.md). Throws
    // std::runtime_error with a readable line naming the track, the record and the fault.
    static CameraPathFile fromJson(const JsonValue& description);
    // Parses the file and reads it; the error line starts with the path.
    static CameraPathFile fromFile(const std::string& path);
};
