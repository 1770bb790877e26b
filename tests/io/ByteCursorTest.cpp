#include "io/ByteCursor.h"
#include "io/ByteWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

TEST(ByteCursor, ReadsLittleEndianFieldsFrontToBack) {
    const std::string bytes("\x01\x02\x03\x04\x05\x06\xfe\xff\xff\xff\x00\x00\xc0\x3f", 14);
    ByteCursor in(bytes);
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    int32_t i32 = 0;
    float f32 = 0.0f;
    ASSERT_TRUE(in.readU16(u16));
    ASSERT_TRUE(in.readU32(u32));
    ASSERT_TRUE(in.readI32(i32));
    ASSERT_TRUE(in.readF32(f32));
    EXPECT_EQ(u16, 0x0201);
    EXPECT_EQ(u32, 0x06050403u);
    EXPECT_EQ(i32, -2);
    EXPECT_EQ(f32, 1.5f);
    EXPECT_EQ(in.position(), 14u);
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(ByteCursor, AReadPastTheEndTakesNothingAndLeavesThePosition) {
    const std::string bytes("\x01\x02\x03\x04\x05\x06", 6);
    ByteCursor in(bytes);
    uint32_t word = 7;
    ASSERT_TRUE(in.skip(3));
    EXPECT_FALSE(in.readU32(word));
    EXPECT_EQ(word, 7u);
    EXPECT_EQ(in.position(), 3u);
    unsigned char out[4] = {9, 9, 9, 9};
    EXPECT_FALSE(in.readBytes(out, 4));
    EXPECT_EQ(out[0], 9);
    EXPECT_FALSE(in.skip(4));
    // What is left can still be read.
    EXPECT_TRUE(in.readBytes(out, 3));
    EXPECT_EQ(out[2], 6);
    EXPECT_FALSE(in.has(1));
    uint16_t half = 0;
    EXPECT_FALSE(in.readU16(half));
    EXPECT_EQ(in.position(), 6u);
}

TEST(ByteWriter, WritesWhatTheCursorReadsBack) {
    ByteWriter out;
    out.writeI32(-3);
    out.writeU32(0x80000001u);
    out.writeF32(-0.25f);
    out.writeF32(INFINITY);
    ASSERT_EQ(out.bytes().size(), 16u);
    EXPECT_EQ(out.bytes().substr(0, 4), std::string("\xfd\xff\xff\xff", 4));
    ByteCursor in(out.bytes());
    int32_t i = 0;
    uint32_t u = 0;
    float a = 0.0f, b = 0.0f;
    ASSERT_TRUE(in.readI32(i) && in.readU32(u) && in.readF32(a) && in.readF32(b));
    EXPECT_EQ(i, -3);
    EXPECT_EQ(u, 0x80000001u);
    EXPECT_EQ(a, -0.25f);
    EXPECT_TRUE(std::isinf(b));
}

TEST(ByteWriter, WidthsFromOneToEightBytesRoundTrip) {
    ByteWriter out;
    out.writeU8(0xab);
    out.writeU16(0xbeef);
    out.writeU64(0x8877665544332211ull);
    ASSERT_EQ(out.bytes(), std::string("\xab\xef\xbe\x11\x22\x33\x44\x55\x66\x77\x88", 11));
    ByteCursor in(out.bytes());
    uint8_t a = 0;
    uint16_t b = 0;
    uint64_t c = 0;
    ASSERT_TRUE(in.readU8(a) && in.readU16(b) && in.readU64(c));
    EXPECT_EQ(a, 0xab);
    EXPECT_EQ(b, 0xbeef);
    EXPECT_EQ(c, 0x8877665544332211ull);
    EXPECT_FALSE(in.readU8(a));
}

TEST(ByteCursor, VariableLengthNumbers) {
    const struct {
        std::string bytes;
        bool ok;
        uint32_t value;
        std::size_t used;
    } cases[] = {
        {std::string("\x00", 1), true, 0, 1},
        {"\x7f", true, 127, 1},
        {"\x80\x01", true, 128, 2},
        {"\xff\xff\xff\xff\x0f", true, 0xffffffffu, 5},
        {"\xff\xff\xff\xff\x1f", false, 0, 0},        // past 32 bits
        {"\x80\x80\x80\x80\x80\x01", false, 0, 0},   // six bytes
        {std::string("\x80\x00", 2), false, 0, 0},     // overlong zero
        {"\x80\x80", false, 0, 0},                    // cut short
        {"", false, 0, 0},
    };
    for (const auto& c : cases) {
        ByteCursor in(c.bytes);
        uint32_t value = 12345;
        EXPECT_EQ(in.readVarU32(value), c.ok) << c.value;
        EXPECT_EQ(value, c.ok ? c.value : 12345u);
        EXPECT_EQ(in.position(), c.used);
        if (c.ok) {
            ByteWriter out;
            out.writeVarU32(c.value);
            EXPECT_EQ(out.bytes(), c.bytes);
        }
    }
}

}  // namespace
