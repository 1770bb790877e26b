#pragma once

#include <string>
#include <string_view>

// Who a submitted run belongs to without an account: the name shown on the board, and the
// secret key the game makes once per install, so that a player's new best replaces the
// old one. Only the key's hash is ever stored.
class PlayerIdentity {
public:
    // The game's rules for both (vocab/PlayerName.h, vocab/PlayerKey.h).
    static bool validName(std::string_view name);
    static bool validKey(std::string_view key);
    // The SHA-256 of the key, 32 raw bytes. The key is a long random secret, so a plain
    // hash keeps it as safe as a slow password hash would.
    static std::string keyHash(std::string_view key);
};
