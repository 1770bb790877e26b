#pragma once

#include "Canvas.h"

#include <cstdint>
#include <vector>

// Turns a canvas into the bytes of the image files the game and its installers use.
class ImageFiles {
public:
    // 24-bit uncompressed BMP: 54 bytes of headers, then rows bottom-up, blue-green-red,
    // each row padded to 4 bytes. Alpha is dropped.
    static std::vector<uint8_t> encodeBmp(const Canvas& canvas);
    // 8-bit RGBA PNG with fixed compression settings and no time stamp, so that the
    // same canvas always gives the same bytes. Throws std::runtime_error if libpng fails.
    static std::vector<uint8_t> encodePng(const Canvas& canvas);
    // A Windows icon holding each canvas as a PNG image (square, at most 256 pixels).
    static std::vector<uint8_t> encodeIco(const std::vector<Canvas>& canvases);
};
