#include "TrustedProxies.h"

#include <algorithm>

namespace ip = boost::asio::ip;

namespace {

std::string trimmed(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t");
    std::size_t last = text.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// An IPv4 peer seen through an IPv6 socket is matched as IPv4.
bool parse(const std::string& text, ip::address& address) {
    boost::system::error_code error;
    address = ip::make_address(text, error);
    if (error) {
        return false;
    }
    if (address.is_v6() && address.to_v6().is_v4_mapped()) {
        address = ip::make_address_v4(ip::v4_mapped, address.to_v6());
    }
    return true;
}

}  // namespace

bool TrustedProxies::init(const std::string& list, std::string& fault) {
    v4_.clear();
    v6_.clear();
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = std::min(list.find(',', start), list.size());
        std::string entry = trimmed(list.substr(start, comma - start));
        start = comma + 1;
        if (entry.empty()) {
            continue;
        }
        std::size_t slash = entry.find('/');
        ip::address address;
        if (!parse(entry.substr(0, slash), address)) {
            fault = "not an address: \"" + entry + "\"";
            return false;
        }
        int bits = address.is_v4() ? 32 : 128;
        if (slash != std::string::npos) {
            std::string digits = entry.substr(slash + 1);
            if (digits.empty() || digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string::npos ||
                std::stoi(digits) > bits) {
                fault = "not a network: \"" + entry + "\"";
                return false;
            }
            bits = std::stoi(digits);
        }
        if (address.is_v4()) {
            v4_.push_back(ip::network_v4(address.to_v4(), static_cast<unsigned short>(bits)).canonical());
        } else {
            v6_.push_back(ip::network_v6(address.to_v6(), static_cast<unsigned short>(bits)).canonical());
        }
    }
    return true;
}

bool TrustedProxies::trusts(const ip::address& address) const {
    if (address.is_v4()) {
        return std::any_of(v4_.begin(), v4_.end(), [&](const ip::network_v4& network) {
            return ip::network_v4(address.to_v4(), network.prefix_length()).canonical() == network;
        });
    }
    return std::any_of(v6_.begin(), v6_.end(), [&](const ip::network_v6& network) {
        return ip::network_v6(address.to_v6(), network.prefix_length()).canonical() == network;
    });
}

bool TrustedProxies::trusts(const std::string& address) const {
    ip::address parsed;
    return parse(address, parsed) && trusts(parsed);
}

std::string TrustedProxies::client(const std::string& peer, const std::vector<std::string>& forwardedFor) const {
    if (!trusts(peer)) {
        return peer;
    }
    std::vector<std::string> hops;
    for (const std::string& header : forwardedFor) {
        std::size_t start = 0;
        while (start <= header.size()) {
            std::size_t comma = std::min(header.find(',', start), header.size());
            hops.push_back(trimmed(header.substr(start, comma - start)));
            start = comma + 1;
        }
    }
    // A hop that is no address at all was not written by a proxy of ours: the hop to its
    // right (one of ours) is the client as far as anyone can tell.
    std::string client = peer;
    for (auto hop = hops.rbegin(); hop != hops.rend(); ++hop) {
        ip::address address;
        if (!parse(*hop, address)) {
            return client;
        }
        client = address.to_string();
        if (!trusts(address)) {
            return client;
        }
    }
    return client;
}
