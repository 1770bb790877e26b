#pragma once

#include <cstdint>
#include <memory>

// Image decoders for textures. Each returns a freshly allocated pixel buffer, bottom row
// first, and sets width and height; on failure it writes one line naming the file and
// the fault to standard error, returns null and leaves width and height untouched.

// 24-bit BMP as B, G, R bytes, each row padded to 4 bytes (OpenGL's default unpack alignment).
std::unique_ptr<unsigned char[]> decodeBmp(const char* path, uint16_t& width, uint16_t& height);
// 24-bit BMP as tightly packed B, G, R, A with alpha taken from red (the bitmap font).
std::unique_ptr<unsigned char[]> decodeBmpWithAlpha(const char* path, uint16_t& width, uint16_t& height);
// Any PNG, converted to 8-bit R, G, B, A.
std::unique_ptr<unsigned char[]> decodePng(const char* path, uint16_t& width, uint16_t& height);

// Turns the BMP decoders' pixels around in place: B, G, R rows padded to 4 bytes (channels 3)
// or packed B, G, R, A (channels 4) become R, G, B (, A). For OpenGL ES and WebGL, which
// take no BGR uploads.
void swapRedAndBlue(unsigned char* pixels, uint16_t width, uint16_t height, int channels);
