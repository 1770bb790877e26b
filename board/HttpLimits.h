#pragma once

#include <chrono>
#include <cstddef>

// What one request and one client may cost the HTTP layer. Each is checked while the
// request arrives, before more than it is held in memory.
struct HttpLimits {
    // The request line (method, target, version), for 414.
    std::size_t requestLineBytes = 8 * 1024;
    // The request line and every header together, and the headers' number, for 431.
    std::size_t headerBytes = 32 * 1024;
    std::size_t headerCount = 64;
    // Headers a trusted proxy adds to its client's (nginx: X-Forwarded-For and -Proto),
    // left out of the count with Connection, which a proxy drops: a client behind it is
    // held to the same count as one that comes direct.
    std::size_t proxyHeaders = 2;
    // A body, for 413: the Content-Length is checked before any of it is read, a chunked
    // body as its chunks arrive.
    std::size_t bodyBytes = 0;
    // From a request's first byte to its last: a client that trickles it is cut off here.
    std::chrono::milliseconds request{5000};
    // A kept-alive connection with no request on it is closed after this.
    std::chrono::milliseconds idle{5000};
    // Connections open at once from one client address, and in all; more are refused.
    std::size_t connectionsPerAddress = 64;
    std::size_t connections = 4096;
    // After a refusal that closes the connection, what the client is still sending is read
    // and dropped up to this much, so that it reads the refusal rather than a reset.
    std::size_t lingerBytes = 1024 * 1024;
    std::chrono::milliseconds linger{1000};
};
