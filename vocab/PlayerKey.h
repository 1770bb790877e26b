#pragma once

#include <string_view>

// The secret a game install makes once and sends with each run, so that the board ties a
// player's runs together without an account. The board takes any key of the wider set
// (hex or URL-safe base64 of a random secret); the game makes its own from letters and
// digits alone.
class PlayerKey {
public:
    static constexpr int kShortest = 32;
    static constexpr int kLongest = 128;
    // The rule in words, for refusals and for a damaged player file.
    static constexpr const char* kRule = "32 to 128 of A-Z, a-z, 0-9, - and _";
    // What the game makes: kMadeLength characters drawn from kMadeCharacters.
    static constexpr int kMadeLength = 43;
    static constexpr char kMadeCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static constexpr int kMadeCharacterCount = static_cast<int>(sizeof kMadeCharacters) - 1;

    // kShortest to kLongest of A-Z, a-z, 0-9, '-' and '_'.
    static bool valid(std::string_view key);
};

static_assert(PlayerKey::kMadeLength >= PlayerKey::kShortest && PlayerKey::kMadeLength <= PlayerKey::kLongest,
              "the keys the game makes must be keys the board takes");
