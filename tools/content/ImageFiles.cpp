#include "ImageFiles.h"

#include <png.h>

#include <csetjmp>
#include <stdexcept>

namespace {

void putLittleEndian(std::vector<uint8_t>& bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes.push_back(static_cast<uint8_t>((value >> (8 * i)) & 0xFFu));
    }
}

void appendToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

}  // namespace

std::vector<uint8_t> ImageFiles::encodeBmp(const Canvas& canvas) {
    const uint32_t width = static_cast<uint32_t>(canvas.width());
    const uint32_t height = static_cast<uint32_t>(canvas.height());
    const uint32_t rowSize = (width * 3 + 3) / 4 * 4;
    const uint32_t dataSize = rowSize * height;

    std::vector<uint8_t> bytes;
    bytes.reserve(54 + dataSize);
    bytes.push_back('B');
    bytes.push_back('M');
    putLittleEndian(bytes, 54 + dataSize, 4);
    putLittleEndian(bytes, 0, 4);
    putLittleEndian(bytes, 54, 4);
    putLittleEndian(bytes, 40, 4);
    putLittleEndian(bytes, width, 4);
    putLittleEndian(bytes, height, 4);
    putLittleEndian(bytes, 1, 2);
    putLittleEndian(bytes, 24, 2);
    putLittleEndian(bytes, 0, 4);
    putLittleEndian(bytes, dataSize, 4);
    putLittleEndian(bytes, 2835, 4);  // 72 dots per inch
    putLittleEndian(bytes, 2835, 4);
    putLittleEndian(bytes, 0, 4);
    putLittleEndian(bytes, 0, 4);

    for (int y = canvas.height() - 1; y >= 0; --y) {
        for (int x = 0; x < canvas.width(); ++x) {
            Colour c = canvas.pixel(x, y);
            bytes.push_back(Canvas::toByte(c.b));
            bytes.push_back(Canvas::toByte(c.g));
            bytes.push_back(Canvas::toByte(c.r));
        }
        for (uint32_t pad = width * 3; pad < rowSize; ++pad) {
            bytes.push_back(0);
        }
    }
    return bytes;
}

std::vector<uint8_t> ImageFiles::encodePng(const Canvas& canvas) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> pixels = canvas.rgba8();
    std::vector<png_bytep> rows(static_cast<std::size_t>(canvas.height()));
    for (std::size_t y = 0; y < rows.size(); ++y) {
        rows[y] = pixels.data() + y * static_cast<std::size_t>(canvas.width()) * 4;
    }

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) {
        throw std::runtime_error("libpng could not create a write structure");
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        throw std::runtime_error("libpng could not create an info structure");
    }
    // Nothing with a destructor is created between here and the end of the writing.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("libpng failed while encoding an image");
    }
    png_set_write_fn(png, &out, appendToVector, flushNothing);
    png_set_compression_level(png, 9);
    png_set_compression_mem_level(png, 8);
    png_set_compression_strategy(png, 0);
    png_set_compression_window_bits(png, 15);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    png_set_IHDR(png, info, static_cast<png_uint_32>(canvas.width()),
                 static_cast<png_uint_32>(canvas.height()), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> ImageFiles::encodeIco(const std::vector<Canvas>& canvases) {
    std::vector<uint8_t> out;
    auto put16 = [&out](std::size_t value) {
        out.push_back(static_cast<uint8_t>(value & 0xFF));
        out.push_back(static_cast<uint8_t>(value >> 8 & 0xFF));
    };
    auto put32 = [&](std::size_t value) {
        put16(value & 0xFFFF);
        put16(value >> 16);
    };
    std::vector<std::vector<uint8_t>> images;
    for (const Canvas& canvas : canvases) {
        images.push_back(encodePng(canvas));
    }
    put16(0);  // reserved
    put16(1);  // an icon, not a cursor
    put16(images.size());
    std::size_t offset = 6 + 16 * images.size();
    for (std::size_t i = 0; i < images.size(); ++i) {
        // A size of 256 is written as 0.
        out.push_back(static_cast<uint8_t>(canvases[i].width() & 0xFF));
        out.push_back(static_cast<uint8_t>(canvases[i].height() & 0xFF));
        out.push_back(0);  // no palette
        out.push_back(0);  // reserved
        put16(1);          // colour planes
        put16(32);         // bits per pixel
        put32(images[i].size());
        put32(offset);
        offset += images[i].size();
    }
    for (const std::vector<uint8_t>& image : images) {
        out.insert(out.end(), image.begin(), image.end());
    }
    return out;
}
