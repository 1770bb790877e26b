#include "render/ImageDecoders.h"
#include "render/Texture.h"

#include "support/HeadlessGl.h"
#include "support/TestFiles.h"

#include <GL/glext.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void putLittle(Bytes& bytes, size_t offset, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

// A BMP as a paint program writes it: "BM", file header, 40-byte information header,
// then the pixel bytes exactly as given.
Bytes bmpBytes(int32_t width, int32_t height, const Bytes& pixels, uint32_t declaredSize = 0, uint16_t bitCount = 24) {
    Bytes bytes(54 + pixels.size(), 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    putLittle(bytes, 2, static_cast<uint32_t>(54 + pixels.size()), 4);
    putLittle(bytes, 10, 54, 4);
    putLittle(bytes, 14, 40, 4);
    putLittle(bytes, 18, static_cast<uint32_t>(width), 4);
    putLittle(bytes, 22, static_cast<uint32_t>(height), 4);
    putLittle(bytes, 26, 1, 2);
    putLittle(bytes, 28, bitCount, 2);
    putLittle(bytes, 34, declaredSize, 4);
    std::copy(pixels.begin(), pixels.end(), bytes.begin() + 54);
    return bytes;
}

// Four pixels, blue-green-red each: dark red, grey, white, black.
const Bytes kFourPixels = {0, 0, 200, 80, 80, 80, 255, 255, 255, 0, 0, 0};

struct Decoded {
    std::unique_ptr<unsigned char[]> pixels;
    uint16_t width = 7;
    uint16_t height = 7;
    std::string errors;
};

Decoded decodeWith(std::unique_ptr<unsigned char[]> (*decoder)(const char*, uint16_t&, uint16_t&),
                   const std::string& path) {
    Decoded result;
    testing::internal::CaptureStderr();
    result.pixels = decoder(path.c_str(), result.width, result.height);
    result.errors = testing::internal::GetCapturedStderr();
    return result;
}

Bytes take(const Decoded& decoded, size_t count) {
    return Bytes(decoded.pixels.get(), decoded.pixels.get() + count);
}

// Expects a rejection: null, size untouched, and one stderr line naming the file and the fault.
void expectRejected(const Decoded& decoded, const std::string& path, const std::string& fault) {
    EXPECT_EQ(decoded.pixels, nullptr);
    EXPECT_EQ(decoded.width, 7);
    EXPECT_EQ(decoded.height, 7);
    EXPECT_EQ(decoded.errors.find(path), 0u) << decoded.errors;
    EXPECT_NE(decoded.errors.find(fault), std::string::npos) << decoded.errors;
    EXPECT_EQ(decoded.errors.find('\n'), decoded.errors.size() - 1) << decoded.errors;
}

struct PngImage {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    int bitDepth = 8;
    std::vector<Bytes> rows;  // as stored in the file, top row first
    std::vector<png_color> palette;
    Bytes transparency;  // palette alpha values
    bool greyTransparentZero = false;
    int interlace = PNG_INTERLACE_NONE;
};

std::string writePng(const std::string& name, const PngImage& image) {
    std::string path = TestFiles::write(name, std::string());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colourType, image.interlace,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!image.palette.empty()) {
        png_set_PLTE(png, info, image.palette.data(), static_cast<int>(image.palette.size()));
    }
    if (!image.transparency.empty()) {
        png_set_tRNS(png, info, image.transparency.data(), static_cast<int>(image.transparency.size()), nullptr);
    }
    if (image.greyTransparentZero) {
        png_color_16 transparent{};
        png_set_tRNS(png, info, nullptr, 0, &transparent);
    }
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (const Bytes& row : image.rows) {
        rows.push_back(const_cast<png_bytep>(row.data()));
    }
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return path;
}

// 2 x 3, 8-bit RGBA, every byte distinct so any misplaced row shows.
PngImage rgbaImage() {
    PngImage image;
    image.width = 2;
    image.height = 3;
    for (unsigned char row = 0; row < 3; ++row) {
        Bytes bytes;
        for (unsigned char i = 0; i < 8; ++i) {
            bytes.push_back(static_cast<unsigned char>(row * 8 + i + 1));
        }
        image.rows.push_back(bytes);
    }
    return image;
}

}  // namespace

TEST(BmpDecoding, ReadsThePixelBytesAsStoredWhenTheSizeFieldIsZero) {
    std::string path = TestFiles::write("four.bmp", bmpBytes(4, 1, kFourPixels));
    Decoded decoded = decodeWith(decodeBmp, path);
    ASSERT_NE(decoded.pixels, nullptr) << decoded.errors;
    EXPECT_EQ(decoded.width, 4);
    EXPECT_EQ(decoded.height, 1);
    EXPECT_EQ(take(decoded, 12), kFourPixels);
    EXPECT_EQ(decoded.errors, "");
}

TEST(BmpDecoding, AlphaVariantAddsAnAlphaEqualToRed) {
    std::string path = TestFiles::write("four.bmp.fnt", bmpBytes(4, 1, kFourPixels));
    Decoded decoded = decodeWith(decodeBmpWithAlpha, path);
    ASSERT_NE(decoded.pixels, nullptr) << decoded.errors;
    EXPECT_EQ(take(decoded, 16), (Bytes{0, 0, 200, 200, 80, 80, 80, 80, 255, 255, 255, 255, 0, 0, 0, 0}));
}

TEST(BmpDecoding, ReadsExactlyTheDeclaredDataSize) {
    Bytes pixels = kFourPixels;
    pixels.insert(pixels.end(), {9, 8, 7, 6, 5, 4, 3, 2});
    std::string path = TestFiles::write("declared.bmp", bmpBytes(4, 1, pixels, 16));
    Decoded decoded = decodeWith(decodeBmp, path);
    ASSERT_NE(decoded.pixels, nullptr) << decoded.errors;
    EXPECT_EQ(take(decoded, 16), Bytes(pixels.begin(), pixels.begin() + 16));
}

TEST(BmpDecoding, KeepsPaddedRowsAlignedToFourBytes) {
    // 1 x 2: three bytes a row, stored padded to four.
    const Bytes padded = {1, 2, 3, 0, 4, 5, 6, 0};
    std::string path = TestFiles::write("padded.bmp", bmpBytes(1, 2, padded));
    Decoded decoded = decodeWith(decodeBmp, path);
    ASSERT_NE(decoded.pixels, nullptr) << decoded.errors;
    EXPECT_EQ(take(decoded, 8), padded);

    // A writer that skipped the padding gets its rows padded here.
    path = TestFiles::write("unpadded.bmp", bmpBytes(1, 2, {1, 2, 3, 4, 5, 6}));
    decoded = decodeWith(decodeBmp, path);
    ASSERT_NE(decoded.pixels, nullptr) << decoded.errors;
    EXPECT_EQ(take(decoded, 3), (Bytes{1, 2, 3}));
    EXPECT_EQ(take(decoded, 7)[4], 4);

    // Four bytes a pixel need no padding: the alpha variant packs the rows tightly.
    path = TestFiles::write("padded.fnt", bmpBytes(1, 2, padded));
    decoded = decodeWith(decodeBmpWithAlpha, path);
    ASSERT_NE(decoded.pixels, nullptr) << decoded.errors;
    EXPECT_EQ(take(decoded, 8), (Bytes{1, 2, 3, 3, 4, 5, 6, 6}));
}

TEST(BmpDecoding, RedAndBlueSwapPerPixelAndLeaveRowPaddingAndAlpha) {
    // 2 x 2 at three bytes a pixel: six bytes a row, two of padding.
    Bytes rgb = {1, 2, 3, 4, 5, 6, 98, 99, 7, 8, 9, 10, 11, 12, 98, 99};
    swapRedAndBlue(rgb.data(), 2, 2, 3);
    EXPECT_EQ(rgb, (Bytes{3, 2, 1, 6, 5, 4, 98, 99, 9, 8, 7, 12, 11, 10, 98, 99}));
    Bytes rgba = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    swapRedAndBlue(rgba.data(), 3, 1, 4);
    EXPECT_EQ(rgba, (Bytes{3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12}));
}

TEST(BmpDecoding, TopDownFileComesOutBottomRowFirst) {
    std::string path = TestFiles::write("topdown.bmp", bmpBytes(1, -2, {1, 2, 3, 0, 4, 5, 6, 0}));
    Decoded decoded = decodeWith(decodeBmp, path);
    ASSERT_NE(decoded.pixels, nullptr) << decoded.errors;
    EXPECT_EQ(decoded.height, 2);
    EXPECT_EQ(take(decoded, 8), (Bytes{4, 5, 6, 0, 1, 2, 3, 0}));
}

TEST(BmpDecoding, ReadsPixelsFromTheOffsetOfALargerHeader) {
    Bytes bytes = bmpBytes(4, 1, Bytes(84 + 12, 0xee));
    putLittle(bytes, 10, 138, 4);
    putLittle(bytes, 14, 124, 4);
    std::copy(kFourPixels.begin(), kFourPixels.end(), bytes.begin() + 138);
    std::string path = TestFiles::write("v5.bmp", bytes);
    Decoded decoded = decodeWith(decodeBmp, path);
    ASSERT_NE(decoded.pixels, nullptr) << decoded.errors;
    EXPECT_EQ(take(decoded, 12), kFourPixels);
}

TEST(BmpDecoding, RejectsFilesItCannotReadWithOneLineNamingTheFile) {
    std::string path = TestFiles::write("oversize.bmp", bmpBytes(4, 1, kFourPixels, 4000));
    expectRejected(decodeWith(decodeBmp, path), path, "declares 4000 bytes");
    expectRejected(decodeWith(decodeBmpWithAlpha, path), path, "declares 4000 bytes");

    path = TestFiles::write("undersize.bmp", bmpBytes(4, 2, Bytes(24, 1), 12));
    expectRejected(decodeWith(decodeBmp, path), path, "fewer than");

    path = TestFiles::write("short.bmp", bmpBytes(4, 3, kFourPixels));
    expectRejected(decodeWith(decodeBmp, path), path, "ends early");

    path = TestFiles::write("header.bmp", Bytes(20, 'B'));
    expectRejected(decodeWith(decodeBmp, path), path, "too short");

    path = TestFiles::write("eight.bmp", bmpBytes(4, 1, kFourPixels, 0, 8));
    expectRejected(decodeWith(decodeBmpWithAlpha, path), path, "8 bits per pixel");

    path = TestFiles::write("wide.bmp", bmpBytes(70000, 1, kFourPixels));
    expectRejected(decodeWith(decodeBmp, path), path, "70000 x 1");

    path = TestFiles::write("empty.bmp", bmpBytes(0, 1, kFourPixels));
    expectRejected(decodeWith(decodeBmp, path), path, "0 x 1");

    path = TestFiles::missing("gone.bmp");
    expectRejected(decodeWith(decodeBmp, path), path, "cannot open");

    path = TestFiles::folder();
    expectRejected(decodeWith(decodeBmp, path), path, "is a folder, not a file");
}

TEST(PngDecoding, StoresTheImageBottomRowFirst) {
    PngImage image = rgbaImage();
    std::string path = writePng("rgba.png", image);
    Decoded decoded = decodeWith(decodePng, path);
    ASSERT_NE(decoded.pixels, nullptr) << decoded.errors;
    EXPECT_EQ(decoded.width, 2);
    EXPECT_EQ(decoded.height, 3);
    const size_t rowSize = 8;
    Bytes all = take(decoded, 24);
    EXPECT_EQ(Bytes(all.begin() + 2 * rowSize, all.end()), image.rows[0]);
    EXPECT_EQ(Bytes(all.begin() + rowSize, all.begin() + 2 * rowSize), image.rows[1]);
    EXPECT_EQ(Bytes(all.begin(), all.begin() + rowSize), image.rows[2]);
    EXPECT_EQ(decoded.errors, "");

    image.interlace = PNG_INTERLACE_ADAM7;
    Decoded interlaced = decodeWith(decodePng, writePng("interlaced.png", image));
    ASSERT_NE(interlaced.pixels, nullptr) << interlaced.errors;
    EXPECT_EQ(take(interlaced, 24), all);
}

TEST(PngDecoding, ConvertsOtherKindsOfPngToEightBitRgba) {
    PngImage palette;
    palette.width = 2;
    palette.height = 1;
    palette.colourType = PNG_COLOR_TYPE_PALETTE;
    palette.palette = {{10, 20, 30}, {200, 100, 50}};
    palette.transparency = {128};
    palette.rows = {{1, 0}};
    Decoded decoded = decodeWith(decodePng, writePng("palette.png", palette));
    ASSERT_NE(decoded.pixels, nullptr) << decoded.errors;
    EXPECT_EQ(take(decoded, 8), (Bytes{200, 100, 50, 255, 10, 20, 30, 128}));

    PngImage rgb;
    rgb.width = 1;
    rgb.height = 2;
    rgb.colourType = PNG_COLOR_TYPE_RGB;
    rgb.rows = {{1, 2, 3}, {4, 5, 6}};
    decoded = decodeWith(decodePng, writePng("rgb.png", rgb));
    ASSERT_NE(decoded.pixels, nullptr) << decoded.errors;
    EXPECT_EQ(take(decoded, 8), (Bytes{4, 5, 6, 255, 1, 2, 3, 255}));

    PngImage grey;
    grey.width = 3;
    grey.height = 1;
    grey.colourType = PNG_COLOR_TYPE_GRAY;
    grey.greyTransparentZero = true;
    grey.rows = {{0, 90, 255}};
    decoded = decodeWith(decodePng, writePng("grey.png", grey));
    ASSERT_NE(decoded.pixels, nullptr) << decoded.errors;
    EXPECT_EQ(take(decoded, 12), (Bytes{0, 0, 0, 0, 90, 90, 90, 255, 255, 255, 255, 255}));

    PngImage deep;
    deep.width = 1;
    deep.height = 1;
    deep.bitDepth = 16;
    deep.rows = {{0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xff, 0xff}};
    decoded = decodeWith(decodePng, writePng("deep.png", deep));
    ASSERT_NE(decoded.pixels, nullptr) << decoded.errors;
    EXPECT_EQ(take(decoded, 4), (Bytes{0x12, 0x56, 0x9a, 0xff}));
}

TEST(PngDecoding, DamagedFilesReturnNullWithAMessageInsteadOfAborting) {
    std::string good = TestFiles::readAll(writePng("whole.png", rgbaImage()));

    std::string path = TestFiles::write("truncated.png", good.substr(0, good.size() / 2));
    expectRejected(decodeWith(decodePng, path), path, "damaged PNG");

    std::string corrupt = good;
    corrupt[corrupt.size() - 20] ^= 0x5a;  // inside the image data: breaks its checksum
    path = TestFiles::write("corrupt.png", corrupt);
    expectRejected(decodeWith(decodePng, path), path, "damaged PNG");

    path = TestFiles::write("signature.png", std::string("GIF89a, not a png at all"));
    expectRejected(decodeWith(decodePng, path), path, "not a PNG");

    path = TestFiles::missing("gone.png");
    expectRejected(decodeWith(decodePng, path), path, "cannot open");
}

TEST(Texture, ChoosesTheDecoderByTheLastFourCharactersExactly) {
    const Bytes bmp = bmpBytes(4, 1, kFourPixels);
    struct Case {
        const char* name;
        GLenum format;
        GLint internalFormat;
    };
    for (const Case& c : {Case{"plain.bmp", GL_BGR, GL_RGB}, Case{"font.bmp.fnt", GL_BGRA, GL_RGBA},
                          Case{"SHOUT.BMP", GL_BGRA, GL_RGBA}}) {
        Texture texture;
        texture.load(TestFiles::write(c.name, bmp).c_str());
        ASSERT_NE(texture.pixels(), nullptr) << c.name;
        EXPECT_EQ(texture.format(), c.format) << c.name;
        EXPECT_EQ(texture.internalFormat(), c.internalFormat) << c.name;
        EXPECT_EQ(texture.width(), 4) << c.name;
    }
    // Under the upper-case name the alpha variant ran: a fourth byte equal to red.
    Texture shout;
    shout.load(TestFiles::write("SHOUT.BMP", bmp).c_str());
    EXPECT_EQ(shout.pixels()[3], 200);

    Texture png;
    png.load(writePng("choice.png", rgbaImage()).c_str());
    EXPECT_EQ(png.format(), static_cast<GLenum>(GL_RGBA));
    EXPECT_EQ(png.height(), 3);
}

TEST(Texture, ReleasePixelsTwiceLeavesNoPixels) {
    Texture texture;
    texture.load(TestFiles::write("release.bmp", bmpBytes(4, 1, kFourPixels)).c_str());
    ASSERT_NE(texture.pixels(), nullptr);
    texture.releasePixels();
    texture.releasePixels();
    EXPECT_EQ(texture.pixels(), nullptr);
}

TEST(Texture, UploadedPaddedBmpReadsBackPixelForPixel) {
    REQUIRE_GL();
    Texture texture;
    texture.load(TestFiles::write("upload.bmp", bmpBytes(1, 2, {10, 20, 30, 0, 40, 50, 60, 0})).c_str());
    texture.upload();
    texture.releasePixels();
    ASSERT_NE(texture.id(), 0u);
    Bytes rgba(8, 0);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    EXPECT_EQ(rgba, (Bytes{30, 20, 10, 255, 60, 50, 40, 255}));
    texture.deleteTexture();
}

TEST(Texture, SetSmoothFalseSwitchesToNearestAndKeepsMirroredRepeat) {
    REQUIRE_GL();
    Texture texture;
    texture.load(writePng("smooth.png", rgbaImage()).c_str());
    texture.upload();
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);

    glBindTexture(GL_TEXTURE_2D, 0);
    texture.setSmooth(false);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(static_cast<GLuint>(value), texture.id());
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_NEAREST);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_NEAREST);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_MIRRORED_REPEAT);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
    EXPECT_EQ(value, GL_MIRRORED_REPEAT);

    const GLuint id = texture.id();
    texture.deleteTexture();
    EXPECT_EQ(glIsTexture(id), GL_FALSE);
}

TEST(Texture, FailedDecodeUploadsAVisiblePlaceholder) {
    REQUIRE_GL();
    Texture texture;
    testing::internal::CaptureStderr();
    texture.load(TestFiles::missing("nothing.png").c_str());
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("nothing.png"), std::string::npos);
    EXPECT_EQ(texture.pixels(), nullptr);
    texture.upload();
    EXPECT_EQ(texture.width(), 2);
    EXPECT_EQ(texture.height(), 2);
    Bytes rgba(16, 0);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    EXPECT_EQ(Bytes(rgba.begin(), rgba.begin() + 8), (Bytes{255, 0, 255, 255, 0, 0, 0, 255}));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    texture.deleteTexture();
}
