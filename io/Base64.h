#pragma once

#include <string>
#include <string_view>

// Standard base64 (RFC 4648, padded, no line breaks): how a run record travels inside the
// JSON of a submission to the online board.
class Base64 {
public:
    static std::string encode(std::string_view bytes);
    // False for anything but padded base64: a length not a multiple of 4, a character outside
    // the alphabet, '=' anywhere but the last two places, line breaks or spaces.
    static bool decode(std::string_view text, std::string& bytes);
};
