#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

// Connections open at once, per client and in all, so that no one party can hold every
// socket the service may open and starve the others. A client is an IPv4 address or an
// IPv6 /64 (a subscriber is handed a whole /64, so its addresses are one party); a party
// with many clients is an IPv4 /24 or an IPv6 /48, and holds at most a share of all places.
class ConnectionCaps {
public:
    enum class Refusal { None, Client, Network, Total };

    // A network holds at most total / kNetworkShares places (and never less than one
    // client's): a crowd from one network leaves the rest to everyone else.
    static constexpr std::size_t kNetworkShares = 8;

    void init(std::size_t perClient, std::size_t total);
    // Takes a place for a new connection from address, or says which cap it met.
    // perClient false counts the connection only in all (a trusted proxy's, which carries
    // many clients' requests).
    Refusal take(const std::string& address, bool perClient);
    void give(const std::string& address, bool perClient);
    std::size_t open();

    // The client an address belongs to ("2001:db8:1:2::/64" for any address of that
    // /64), and its network ("192.0.2.0/24", "2001:db8:1::/48"); an address that cannot be
    // read is its own.
    static std::string client(const std::string& address);
    static std::string network(const std::string& address);

private:
    std::size_t perClient_ = 1;
    std::size_t perNetwork_ = 1;
    std::size_t total_ = 1;
    std::size_t open_ = 0;
    std::mutex mutex_;
    std::unordered_map<std::string, std::size_t> byClient_;
    std::unordered_map<std::string, std::size_t> byNetwork_;
};
