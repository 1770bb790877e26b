#include "ImageDecoders.h"

#include "io/ByteCursor.h"
#include "io/FaultReporter.h"
#include "io/FileReader.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr size_t kBmpHeadersSize = 54;
constexpr int64_t kLargestSide = 65535;

void reportFault(const char* path, const std::string& fault) { FaultReporter::report(path, fault); }

// The whole image file, or false once its fault has been reported.
bool readImageFile(const char* path, std::string& bytes) {
    std::string fault;
    if (!FileReader::read(path, bytes, fault)) {
        reportFault(path, fault);
        return false;
    }
    return true;
}

// A BMP's pixels as B, G, R rows, bottom row first, each row padded to 4 bytes. When the
// header declares a data size, exactly that many bytes are kept (at least the rows).
struct BmpPixels {
    std::vector<unsigned char> bytes;
    uint16_t width = 0;
    uint16_t height = 0;
    size_t stride = 0;
};

bool readBmp(const char* path, BmpPixels& out) {
    std::string fileBytes;
    if (!readImageFile(path, fileBytes)) {
        return false;
    }
    if (fileBytes.size() < kBmpHeadersSize) {
        reportFault(path, "too short for a BMP header (" + std::to_string(fileBytes.size()) + " bytes)");
        return false;
    }
    if (fileBytes[0] != 'B' || fileBytes[1] != 'M') {
        reportFault(path, "not a BMP file (no \"BM\" signature)");
        return false;
    }
    // The fields used, in file order; the size check above keeps every read inside the headers.
    ByteCursor header(fileBytes);
    uint32_t dataOffsetField = 0, infoSize = 0, compression = 0, declaredSize = 0;
    int32_t widthField = 0, heightField = 0;
    uint16_t bitCount = 0;
    header.skip(10);
    header.readU32(dataOffsetField);
    header.readU32(infoSize);
    header.readI32(widthField);
    header.readI32(heightField);
    header.skip(2);  // colour planes
    header.readU16(bitCount);
    header.readU32(compression);
    header.readU32(declaredSize);

    if (infoSize < 40) {
        reportFault(path, "unsupported BMP header of " + std::to_string(infoSize) + " bytes");
        return false;
    }
    if (bitCount != 24 || compression != 0) {
        reportFault(path, "unsupported BMP format (" + std::to_string(bitCount) + " bits per pixel, compression " +
                              std::to_string(compression) + "); only uncompressed 24-bit images are read");
        return false;
    }
    const int64_t width = widthField;
    const int64_t height = heightField < 0 ? -static_cast<int64_t>(heightField) : heightField;
    if (width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide) {
        reportFault(path, "unsupported BMP size " + std::to_string(widthField) + " x " + std::to_string(heightField) +
                              " (each side must be 1 to 65535)");
        return false;
    }
    // Editors that write the larger V4/V5 headers put the pixels after them; the field says where.
    const size_t dataOffset = dataOffsetField >= kBmpHeadersSize ? dataOffsetField : kBmpHeadersSize;
    const size_t available = fileBytes.size() > dataOffset ? fileBytes.size() - dataOffset : 0;
    const size_t packedRow = static_cast<size_t>(width) * 3;
    const size_t stride = (packedRow + 3) & ~static_cast<size_t>(3);
    const size_t rowsSize = stride * static_cast<size_t>(height);

    std::vector<unsigned char> bytes;
    if (declaredSize != 0) {
        if (declaredSize > available) {
            reportFault(path, "declares " + std::to_string(declaredSize) + " bytes of pixel data but only " +
                                  std::to_string(available) + " follow the header");
            return false;
        }
        if (declaredSize < rowsSize) {
            reportFault(path, "declares " + std::to_string(declaredSize) + " bytes of pixel data, fewer than the " +
                                  std::to_string(rowsSize) + " its size needs");
            return false;
        }
        bytes.assign(fileBytes.begin() + dataOffset, fileBytes.begin() + dataOffset + declaredSize);
    } else if (available >= rowsSize) {
        bytes.assign(fileBytes.begin() + dataOffset, fileBytes.begin() + dataOffset + rowsSize);
    } else if (available >= packedRow * height) {
        // Some writers leave the rows unpadded: pad them here so each row starts where OpenGL looks.
        bytes.assign(rowsSize, 0);
        for (size_t row = 0; row < static_cast<size_t>(height); ++row) {
            std::memcpy(bytes.data() + row * stride, fileBytes.data() + dataOffset + row * packedRow, packedRow);
        }
    } else {
        reportFault(path, "ends early: " + std::to_string(available) + " bytes of pixel data for a " +
                              std::to_string(width) + " x " + std::to_string(height) + " image");
        return false;
    }
    if (heightField < 0) {
        // Top-down file: put the bottom row first like every other image.
        for (size_t top = 0, bottom = static_cast<size_t>(height) - 1; top < bottom; ++top, --bottom) {
            std::swap_ranges(bytes.begin() + top * stride, bytes.begin() + top * stride + stride,
                             bytes.begin() + bottom * stride);
        }
    }
    out.bytes = std::move(bytes);
    out.width = static_cast<uint16_t>(width);
    out.height = static_cast<uint16_t>(height);
    out.stride = stride;
    return true;
}

// What the PNG reader keeps outside the frame that libpng may jump out of.
struct PngRead {
    ByteCursor* file = nullptr;
    char error[200] = "";
    unsigned char* pixels = nullptr;
    png_bytep* rows = nullptr;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    const char* fault = nullptr;
};

void pngError(png_structp png, png_const_charp message) {
    auto* read = static_cast<PngRead*>(png_get_error_ptr(png));
    std::snprintf(read->error, sizeof read->error, "%s", message);
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {
    // Warnings (odd colour profiles and the like) do not stop the image from loading.
}

void pngReadBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* read = static_cast<PngRead*>(png_get_io_ptr(png));
    if (!read->file->readBytes(data, length)) {
        png_error(png, "the file ends early");
    }
}

// Reads the whole image as 8-bit RGBA into read.pixels. Holds only plain locals, since a
// libpng error jumps straight back into it.
bool readPngImage(png_structp png, png_infop info, PngRead& read) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_read_fn(png, &read, pngReadBytes);
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);

    read.width = png_get_image_width(png, info);
    read.height = png_get_image_height(png, info);
    if (read.width > kLargestSide || read.height > kLargestSide) {
        read.fault = "image is larger than 65535 pixels on a side";
        return false;
    }
    const int bitDepth = png_get_bit_depth(png, info);
    const int colourType = png_get_color_type(png, info);
    const bool plainRgba = bitDepth == 8 && colourType == PNG_COLOR_TYPE_RGB_ALPHA;
    if (!plainRgba) {
        if (colourType == PNG_COLOR_TYPE_PALETTE) {
            png_set_palette_to_rgb(png);
        }
        if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) {
            png_set_expand_gray_1_2_4_to_8(png);
        }
        if (png_get_valid(png, info, PNG_INFO_tRNS)) {
            png_set_tRNS_to_alpha(png);
        }
        if (bitDepth == 16) {
            png_set_strip_16(png);
        }
        if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
            png_set_gray_to_rgb(png);
        }
        if (!(colourType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS)) {
            png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
        }
        png_set_interlace_handling(png);
        png_read_update_info(png, info);
    }
    const size_t rowSize = png_get_rowbytes(png, info);
    if (rowSize != static_cast<size_t>(read.width) * 4) {
        read.fault = "PNG could not be converted to 8-bit RGBA";
        return false;
    }
    read.pixels = new (std::nothrow) unsigned char[rowSize * read.height];
    read.rows = new (std::nothrow) png_bytep[read.height];
    if (read.pixels == nullptr || read.rows == nullptr) {
        read.fault = "image too large to hold in memory";
        return false;
    }
    // The file's first row is the top of the image; OpenGL wants the bottom row first.
    for (png_uint_32 i = 0; i < read.height; ++i) {
        read.rows[i] = read.pixels + (read.height - 1 - i) * rowSize;
    }
    png_read_image(png, read.rows);
    return true;
}

}  // namespace

std::unique_ptr<unsigned char[]> decodeBmp(const char* path, uint16_t& width, uint16_t& height) {
    BmpPixels bmp;
    if (!readBmp(path, bmp)) {
        return nullptr;
    }
    std::unique_ptr<unsigned char[]> pixels(new unsigned char[bmp.bytes.size()]);
    std::memcpy(pixels.get(), bmp.bytes.data(), bmp.bytes.size());
    width = bmp.width;
    height = bmp.height;
    return pixels;
}

std::unique_ptr<unsigned char[]> decodeBmpWithAlpha(const char* path, uint16_t& width, uint16_t& height) {
    BmpPixels bmp;
    if (!readBmp(path, bmp)) {
        return nullptr;
    }
    // Four bytes a pixel need no row padding, so the file's padding is dropped rather than
    // expanded into extra pixels.
    const size_t rowPixels = bmp.width;
    std::unique_ptr<unsigned char[]> pixels(new unsigned char[rowPixels * bmp.height * 4]);
    unsigned char* write = pixels.get();
    for (size_t row = 0; row < bmp.height; ++row) {
        const unsigned char* read = bmp.bytes.data() + row * bmp.stride;
        for (size_t x = 0; x < rowPixels; ++x, read += 3, write += 4) {
            write[0] = read[0];
            write[1] = read[1];
            write[2] = read[2];
            write[3] = read[2];
        }
    }
    width = bmp.width;
    height = bmp.height;
    return pixels;
}

void swapRedAndBlue(unsigned char* pixels, uint16_t width, uint16_t height, int channels) {
    const size_t packedRow = static_cast<size_t>(width) * static_cast<size_t>(channels);
    const size_t stride = channels == 3 ? (packedRow + 3) & ~static_cast<size_t>(3) : packedRow;
    for (size_t row = 0; row < height; ++row) {
        unsigned char* pixel = pixels + row * stride;
        for (size_t x = 0; x < width; ++x, pixel += channels) {
            std::swap(pixel[0], pixel[2]);
        }
    }
}

std::unique_ptr<unsigned char[]> decodePng(const char* path, uint16_t& width, uint16_t& height) {
    std::string fileBytes;
    if (!readImageFile(path, fileBytes)) {
        return nullptr;
    }
    ByteCursor file(fileBytes);
    PngRead read;
    read.file = &file;
    unsigned char signature[8] = {};
    if (!file.readBytes(signature, 8) || png_sig_cmp(signature, 0, 8) != 0) {
        reportFault(path, "not a PNG file (no PNG signature)");
        return nullptr;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &read, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(png ? &png : nullptr, nullptr, nullptr);
        reportFault(path, "libpng could not start reading");
        return nullptr;
    }
    const bool ok = readPngImage(png, info, read);
    png_destroy_read_struct(&png, &info, nullptr);
    delete[] read.rows;
    std::unique_ptr<unsigned char[]> pixels(read.pixels);
    if (!ok) {
        if (read.fault != nullptr) {
            reportFault(path, read.fault);
        } else {
            reportFault(path, std::string("damaged PNG: ") + read.error);
        }
        return nullptr;
    }
    width = static_cast<uint16_t>(read.width);
    height = static_cast<uint16_t>(read.height);
    return pixels;
}
