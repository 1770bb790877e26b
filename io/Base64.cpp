#include "io/Base64.h"

#include <utility>

namespace {

constexpr const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The value of a letter of the alphabet, or -1.
int valueOf(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string Base64::encode(std::string_view bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned group = static_cast<unsigned char>(bytes[i]) << 16 |
                               static_cast<unsigned char>(bytes[i + 1]) << 8 | static_cast<unsigned char>(bytes[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6) {
            text += kAlphabet[(group >> shift) & 63];
        }
    }
    const std::size_t left = bytes.size() - i;
    if (left > 0) {
        unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
        if (left == 2) {
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += left == 2 ? kAlphabet[(group >> 6) & 63] : '=';
        text += '=';
    }
    return text;
}

bool Base64::decode(std::string_view text, std::string& bytes) {
    if (text.size() % 4 != 0) {
        return false;
    }
    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') {
        ++padding;
    }
    std::string decoded;
    decoded.reserve(text.size() / 4 * 3);
    unsigned group = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int value = i < text.size() - padding ? valueOf(text[i]) : 0;
        if (value < 0) {
            return false;
        }
        group = group << 6 | static_cast<unsigned>(value);
        if (i % 4 == 3) {
            decoded += static_cast<char>(group >> 16 & 0xff);
            decoded += static_cast<char>(group >> 8 & 0xff);
            decoded += static_cast<char>(group & 0xff);
            group = 0;
        }
    }
    decoded.resize(decoded.size() - padding);
    bytes = std::move(decoded);
    return true;
}
