#pragma once

#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/network_v4.hpp>
#include <boost/asio/ip/network_v6.hpp>

#include <string>
#include <vector>

// The proxies in front of the service whose X-Forwarded-For is believed. Behind one, every
// player arrives from the proxy's address; the client is then the nearest hop the proxies
// did not add themselves, which a client cannot forge (hops to its left can be).
class TrustedProxies {
public:
    // "10.0.0.1,10.1.0.0/16,::1,fd00::/8"; false with fault naming the entry it cannot read.
    bool init(const std::string& list, std::string& fault);
    bool trusts(const std::string& address) const;
    // The client of a request that came from peer with these X-Forwarded-For values (in
    // the order of their headers): walking from the right, the first hop not trusted; the
    // peer when it is not trusted itself or says nothing.
    std::string client(const std::string& peer, const std::vector<std::string>& forwardedFor) const;
    bool empty() const { return v4_.empty() && v6_.empty(); }

private:
    bool trusts(const boost::asio::ip::address& address) const;

    std::vector<boost::asio::ip::network_v4> v4_;
    std::vector<boost::asio::ip::network_v6> v6_;
};
