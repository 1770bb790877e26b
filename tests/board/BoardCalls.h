#pragma once

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <utility>

// An answer of the service: status, JSON body (null when it is none), headers, raw body.
struct Reply {
    int status = 0;
    nlohmann::json body;
    std::string raw;
    httplib::Headers headers;
    std::string header(const char* name) const;
};

// The service's calls as the game makes them, over a fresh connection each, so that
// threads can share one BoardCalls. Over HTTPS when given the authority (a PEM file) that
// signed the certificate of 127.0.0.1, as the edge's is.
class BoardCalls {
public:
    explicit BoardCalls(int port, std::string authority = "") : port_(port), authority_(std::move(authority)) {}

    Reply startRun(const std::string& mode, const std::string& difficulty) const;
    Reply submit(const std::string& token, const std::string& name, const std::string& key,
                 const std::string& record) const;
    Reply post(const std::string& path, const std::string& body, const httplib::Headers& headers = {}) const;
    Reply get(const std::string& path, const httplib::Headers& headers = {}) const;

    // Player key number n: 40 characters, the same for the same n.
    static std::string playerKey(int n);
    // A token of the test secret for a run issued agoSeconds back (as if the game had asked then).
    static std::string token(uint32_t seed, const std::string& mode, const std::string& difficulty,
                             double agoSeconds, const std::string& id = "");
    // A daily road's token of the test secret issued at issuedMs on the service's clock,
    // with that day's seed put in seed.
    static std::string dailyToken(const std::string& mode, const std::string& difficulty, int64_t issuedMs,
                                  uint32_t& seed);
    static std::string base64(const std::string& bytes);
    // A client of 127.0.0.1:port, over HTTPS trusting authority unless it is empty.
    static httplib::Client client(int port, const std::string& authority);

private:
    int port_;
    std::string authority_;
};
