#include "TokenSigner.h"

#include "board/Season.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <charconv>
#include <stdexcept>
#include <vector>

namespace {

std::string hex(const unsigned char* bytes, std::size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

bool isLowerHex(std::string_view text) {
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

bool isWord(std::string_view text) {
    if (text.empty() || text.size() > 16) {
        return false;
    }
    for (char c : text) {
        if (c < 'a' || c > 'z') {
            return false;
        }
    }
    return true;
}

// Digits only, no sign or leading zero, within the type.
template <typename T>
bool readNumber(std::string_view text, T& value) {
    if (text.empty() || (text.size() > 1 && text[0] == '0') || text.size() > 19) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

void randomBytes(unsigned char* out, int count) {
    if (RAND_bytes(out, count) != 1) {
        throw std::runtime_error("the system's random generator failed");
    }
}

}  // namespace

std::string TokenSigner::mac(std::string_view text) const {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), secret_.data(), static_cast<int>(secret_.size()),
         reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest, &length);
    return hex(digest, length);
}

std::string TokenSigner::sign(const RunTicket& ticket) const {
    std::string body = "1." + ticket.id + "." + std::to_string(ticket.seed) + "." + ticket.mode + "." +
                       ticket.difficulty + "." + std::to_string(ticket.issuedMs);
    if (!ticket.day.empty()) {
        body += "." + ticket.day;
    }
    return body + "." + mac(body);
}

TokenSigner::Check TokenSigner::read(std::string_view token, int64_t nowMs, RunTicket& ticket) const {
    if (token.size() > 256) {
        return Check::Malformed;
    }
    std::size_t lastDot = token.rfind('.');
    if (lastDot == std::string_view::npos) {
        return Check::Malformed;
    }
    std::string_view body = token.substr(0, lastDot);
    std::string_view signature = token.substr(lastDot + 1);
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        std::size_t dot = body.find('.', start);
        fields.push_back(body.substr(start, dot == std::string_view::npos ? dot : dot - start));
        if (dot == std::string_view::npos) {
            break;
        }
        start = dot + 1;
    }
    if ((fields.size() != 6 && fields.size() != 7) || fields[0] != "1" || fields[1].size() != 32 || !isLowerHex(fields[1]) ||
        signature.size() != 64 || !isLowerHex(signature) || !isWord(fields[3]) || !isWord(fields[4]) ||
        !readNumber(fields[2], ticket.seed) || !readNumber(fields[5], ticket.issuedMs)) {
        return Check::Malformed;
    }
    // Compared in constant time, so the answer's timing tells nothing about the right MAC.
    std::string expected = mac(body);
    if (CRYPTO_memcmp(expected.data(), signature.data(), expected.size()) != 0) {
        return Check::BadSignature;
    }
    if (ticket.issuedMs > nowMs + kClockSkewMs) {
        return Check::BadSignature;
    }
    if (nowMs - ticket.issuedMs > kLifetimeMs) {
        return Check::Expired;
    }
    ticket.id = fields[1];
    ticket.mode = fields[3];
    ticket.difficulty = fields[4];
    ticket.day.clear();
    if (fields.size() == 7) {
        // Signed by us, so only a changed rule makes these differ; a day that is not its
        // issue's, or a seed that is not that day's road, never counts on a daily table.
        ticket.day = fields[6];
        if (ticket.day != Season::dayOf(ticket.issuedMs / 1000).name() ||
            ticket.seed != dailySeed(ticket.day, ticket.mode, ticket.difficulty)) {
            return Check::Malformed;
        }
    }
    return Check::Valid;
}

RunTicket TokenSigner::draw(const std::string& mode, const std::string& difficulty, int64_t nowMs) {
    unsigned char id[16];
    randomBytes(id, sizeof id);
    unsigned char seed[4];
    randomBytes(seed, sizeof seed);
    RunTicket ticket;
    ticket.id = hex(id, sizeof id);
    ticket.seed = uint32_t(seed[0]) | uint32_t(seed[1]) << 8 | uint32_t(seed[2]) << 16 | uint32_t(seed[3]) << 24;
    ticket.mode = mode;
    ticket.difficulty = difficulty;
    ticket.issuedMs = nowMs;
    return ticket;
}

RunTicket TokenSigner::drawDaily(const std::string& mode, const std::string& difficulty, int64_t nowMs) const {
    RunTicket ticket = draw(mode, difficulty, nowMs);
    ticket.day = Season::dayOf(nowMs / 1000).name();
    ticket.seed = dailySeed(ticket.day, mode, difficulty);
    return ticket;
}

uint32_t TokenSigner::dailySeed(const std::string& day, const std::string& mode, const std::string& difficulty) const {
    const std::string digest = mac("daily|" + day + "|" + mode + "|" + difficulty);
    uint32_t seed = 0;
    std::from_chars(digest.data(), digest.data() + 8, seed, 16);
    return seed;
}
