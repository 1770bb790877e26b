#include "PlayerIdentity.h"

#include "vocab/PlayerKey.h"
#include "vocab/PlayerName.h"

#include <openssl/sha.h>

bool PlayerIdentity::validName(std::string_view name) { return PlayerName::valid(name); }

bool PlayerIdentity::validKey(std::string_view key) { return PlayerKey::valid(key); }

std::string PlayerIdentity::keyHash(std::string_view key) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(key.data()), key.size(), digest);
    return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}
