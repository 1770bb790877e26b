#include "io/Base64.h"

#include <gtest/gtest.h>

#include <string>

TEST(Base64, EncodesAndDecodesEveryRemainderAndEveryByteValue) {
    // RFC 4648's own examples, and bytes a string would stop at or sign-extend.
    const struct {
        std::string bytes;
        const char* text;
    } cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\0\0\0", 3), "AAAA"},
        {"\xff\xff\xff", "////"},
        {"\xfb\xef\xbe", "++++"},
        {std::string("TAMQRUN\x1a\x01\x00", 10), "VEFNUVJVThoBAA=="},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Base64::encode(c.bytes), c.text) << c.text;
        std::string decoded = "left over";
        EXPECT_TRUE(Base64::decode(c.text, decoded)) << c.text;
        EXPECT_EQ(decoded, c.bytes) << c.text;
    }
}

TEST(Base64, DecodesNothingButPaddedBase64) {
    for (const char* text : {"Zg=", "Zg", "Z===", "=AAA", "Zg=A", "A=B=", "Zm9v\n", "Zm 9", "Zm9-", "Zm9_", "Zm9\xc3"}) {
        std::string bytes = "kept";
        EXPECT_FALSE(Base64::decode(text, bytes)) << text;
        EXPECT_EQ(bytes, "kept") << text;
    }
}
