#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// The 64-bit FNV-1a hash, fed piece by piece: what content files and simulation states are
// compared by. Values go in by their bits, so two states hash alike only when every bit is
// the same.
class Fnv1a {
public:
    static constexpr std::uint64_t kOffsetBasis = 14695981039346656037ull;
    static constexpr std::uint64_t kPrime = 1099511628211ull;

    void addBytes(const void* data, std::size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i) {
            value_ = (value_ ^ bytes[i]) * kPrime;
        }
    }
    void addBytes(const std::string& bytes) { addBytes(bytes.data(), bytes.size()); }
    // Little-endian, whatever the machine, so the same value hashes alike everywhere.
    void addU32(std::uint32_t v) {
        const unsigned char bytes[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                        static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        addBytes(bytes, 4);
    }
    void addU64(std::uint64_t v) {
        addU32(static_cast<std::uint32_t>(v));
        addU32(static_cast<std::uint32_t>(v >> 32));
    }
    void addFloat(float v) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        addU32(bits);
    }
    void addBool(bool v) { addU32(v ? 1u : 0u); }
    void addInt(std::int32_t v) { addU32(static_cast<std::uint32_t>(v)); }

    std::uint64_t value() const { return value_; }

private:
    std::uint64_t value_ = kOffsetBasis;
};
