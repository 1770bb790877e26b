// campath: writes a camera path file from its JSON description.
//   campath <description.json> <output>
// The written file is read back with the game's own reader before the tool reports success.

#include "CamPath.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: campath <description.json> <output>\n");
        return 2;
    }
    std::string bytes;
    try {
        bytes = CamPath::fromFile(argv[1]).write();
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    {
        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "%s: cannot write the file\n", argv[2]);
            return 1;
        }
    }
    CameraPathFile check;
    if (!check.load(argv[2])) {
        return 1;  // the reader has said what is wrong
    }
    std::printf("%s: %zu bytes\n", argv[2], bytes.size());
    return 0;
}
