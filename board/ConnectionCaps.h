#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

// Connections open at once, per client address and in all, so that one address cannot
// hold every socket the service may open and starve the others.
class ConnectionCaps {
public:
    void init(std::size_t perAddress, std::size_t total);
    // Takes a place for a new connection, or false when the address or the service is at
    // its cap. perAddress false counts the connection only in all (a trusted proxy's,
    // which carries many clients' requests).
    bool take(const std::string& address, bool perAddress);
    void give(const std::string& address, bool perAddress);
    std::size_t open();

private:
    std::size_t perAddress_ = 1;
    std::size_t total_ = 1;
    std::size_t open_ = 0;
    std::mutex mutex_;
    std::unordered_map<std::string, std::size_t> byAddress_;
};
