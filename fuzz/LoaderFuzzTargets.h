#pragma once

#include <cstddef>
#include <cstdint>

// The game's file readers driven by arbitrary bytes: each entry writes its input to a
// scratch file (the readers take paths) and runs the real reader over it, then uses what
// was read the way the game would. Shared by the libFuzzer programs and the corpus replay test.
class LoaderFuzzTargets {
public:
    using Entry = int (*)(const uint8_t* data, size_t size);

    // The entry for a target name ("bmp", "fontbmp", "png", "meshjson", "bloc", "collider",
    // "patterns", "campath", "shader", "wav", "best", "record"), or null.
    static Entry find(const char* name);
    // Whether the target needs a current OpenGL context before its first input.
    static bool needsGl(const char* name);

    static int bmp(const uint8_t* data, size_t size);
    static int fontBmp(const uint8_t* data, size_t size);
    static int png(const uint8_t* data, size_t size);
    static int meshJson(const uint8_t* data, size_t size);
    static int bloc(const uint8_t* data, size_t size);
    static int collider(const uint8_t* data, size_t size);
    static int patterns(const uint8_t* data, size_t size);
    static int cameraPath(const uint8_t* data, size_t size);
    // A vertex and a fragment source separated by the first NUL byte (without one, the
    // whole input is the vertex source and the fragment source is empty).
    static int shader(const uint8_t* data, size_t size);
    static int wav(const uint8_t* data, size_t size);
    // The player's best-score file.
    static int bestScores(const uint8_t* data, size_t size);
    // A run record, read and written back.
    static int runRecord(const uint8_t* data, size_t size);
};
