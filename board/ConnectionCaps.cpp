#include "ConnectionCaps.h"

void ConnectionCaps::init(std::size_t perAddress, std::size_t total) {
    perAddress_ = perAddress;
    total_ = total;
}

bool ConnectionCaps::take(const std::string& address, bool perAddress) {
    std::lock_guard lock(mutex_);
    if (open_ >= total_) {
        return false;
    }
    if (perAddress) {
        std::size_t& count = byAddress_[address];
        if (count >= perAddress_) {
            return false;
        }
        ++count;
    }
    ++open_;
    return true;
}

void ConnectionCaps::give(const std::string& address, bool perAddress) {
    std::lock_guard lock(mutex_);
    --open_;
    if (perAddress) {
        auto it = byAddress_.find(address);
        if (it != byAddress_.end() && --it->second == 0) {
            byAddress_.erase(it);
        }
    }
}

std::size_t ConnectionCaps::open() {
    std::lock_guard lock(mutex_);
    return open_;
}
