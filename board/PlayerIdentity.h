#pragma once

#include <string>
#include <string_view>

// Who a submitted run belongs to without an account: the name shown on the board, and the
// secret key the game makes once per install, so that a player's new best replaces the
// old one. Only the key's hash is ever stored.
class PlayerIdentity {
public:
    // 3 to 12 of A-Z, 0-9, space, '-' and '_', not starting or ending with a space.
    static bool validName(std::string_view name);
    // 32 to 128 of A-Z, a-z, 0-9, '-' and '_' (hex or URL-safe base64 of a random secret).
    static bool validKey(std::string_view key);
    // The SHA-256 of the key, 32 raw bytes. The key is a long random secret, so a plain
    // hash keeps it as safe as a slow password hash would.
    static std::string keyHash(std::string_view key);
};
