#pragma once

#include "link/HttpClient.h"

#include <memory>
#include <string>

// The game's HTTP on the platform it was built for, one backend per build: libcurl on a
// worker thread on Linux (HttpClientCurl.cpp), WinHTTP on a worker thread on Windows
// (HttpClientWinHttp.cpp), the browser's fetch in the WebAssembly build
// (HttpClientFetch.cpp). Made by the entry points; the link sees only HttpClient.
class PlatformHttpClient final : public HttpClient {
public:
    PlatformHttpClient();
    // Drops the requests still pending without waiting for them.
    ~PlatformHttpClient() override;

    void setCertificateAuthority(const std::string& pemFile) override;
    int send(const HttpRequest& request) override;
    bool poll(HttpAnswer& answer) override;
    int pending() const override;

private:
    struct Backend;
    std::unique_ptr<Backend> backend_;
};
