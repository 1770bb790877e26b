#include "ConnectionCaps.h"

#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/network_v4.hpp>
#include <boost/asio/ip/network_v6.hpp>

#include <algorithm>

namespace {

namespace ip = boost::asio::ip;

// address's network of bits (IPv4) or bits6 (IPv6) as text; address itself when unreadable.
std::string prefixOf(const std::string& address, unsigned short bits, unsigned short bits6) {
    boost::system::error_code error;
    ip::address parsed = ip::make_address(address, error);
    if (error) {
        return address;
    }
    if (parsed.is_v6() && parsed.to_v6().is_v4_mapped()) {
        parsed = ip::make_address_v4(ip::v4_mapped, parsed.to_v6());
    }
    if (parsed.is_v4()) {
        return bits >= 32 ? parsed.to_string() : ip::network_v4(parsed.to_v4(), bits).canonical().to_string();
    }
    return ip::network_v6(parsed.to_v6(), bits6).canonical().to_string();
}

void release(std::unordered_map<std::string, std::size_t>& counts, const std::string& key) {
    auto it = counts.find(key);
    if (it != counts.end() && --it->second == 0) {
        counts.erase(it);
    }
}

}  // namespace

void ConnectionCaps::init(std::size_t perClient, std::size_t total) {
    perClient_ = std::max<std::size_t>(1, perClient);
    total_ = std::max<std::size_t>(1, total);
    perNetwork_ = std::max(perClient_, total_ / kNetworkShares);
}

std::string ConnectionCaps::client(const std::string& address) {
    return prefixOf(address, 32, 64);
}

std::string ConnectionCaps::network(const std::string& address) {
    return prefixOf(address, 24, 48);
}

ConnectionCaps::Refusal ConnectionCaps::take(const std::string& address, bool perClient) {
    const std::string clientKey = perClient ? client(address) : std::string();
    const std::string networkKey = perClient ? network(address) : std::string();
    std::lock_guard lock(mutex_);
    if (open_ >= total_) {
        return Refusal::Total;
    }
    if (perClient) {
        std::size_t& fromClient = byClient_[clientKey];
        std::size_t& fromNetwork = byNetwork_[networkKey];
        if (fromClient >= perClient_ || fromNetwork >= perNetwork_) {
            const Refusal refusal = fromClient >= perClient_ ? Refusal::Client : Refusal::Network;
            if (fromClient == 0) {
                byClient_.erase(clientKey);
            }
            if (fromNetwork == 0) {
                byNetwork_.erase(networkKey);
            }
            return refusal;
        }
        ++fromClient;
        ++fromNetwork;
    }
    ++open_;
    return Refusal::None;
}

void ConnectionCaps::give(const std::string& address, bool perClient) {
    const std::string clientKey = perClient ? client(address) : std::string();
    const std::string networkKey = perClient ? network(address) : std::string();
    std::lock_guard lock(mutex_);
    --open_;
    if (perClient) {
        release(byClient_, clientKey);
        release(byNetwork_, networkKey);
    }
}

std::size_t ConnectionCaps::open() {
    std::lock_guard lock(mutex_);
    return open_;
}
