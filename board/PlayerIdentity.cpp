#include "PlayerIdentity.h"

#include <openssl/sha.h>

bool PlayerIdentity::validName(std::string_view name) {
    if (name.size() < 3 || name.size() > 12 || name.front() == ' ' || name.back() == ' ') {
        return false;
    }
    for (char c : name) {
        bool allowed = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '-' || c == '_';
        if (!allowed) {
            return false;
        }
    }
    return true;
}

bool PlayerIdentity::validKey(std::string_view key) {
    if (key.size() < 32 || key.size() > 128) {
        return false;
    }
    for (char c : key) {
        bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '_';
        if (!allowed) {
            return false;
        }
    }
    return true;
}

std::string PlayerIdentity::keyHash(std::string_view key) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(key.data()), key.size(), digest);
    return std::string(reinterpret_cast<const char*>(digest), sizeof digest);
}
