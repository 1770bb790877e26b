// The HTTP client of a platform that has no backend yet: every request ends at once
// without an answer, so the board link says once that the board cannot be reached and the
// game plays offline.

#include "HttpClient.h"

#include <deque>

struct HttpClient::Backend {
    std::deque<HttpAnswer> finished;
    int nextId = 1;
};

HttpClient::HttpClient() : backend_(std::make_unique<Backend>()) {}

HttpClient::~HttpClient() = default;

void HttpClient::setCertificateAuthority(const std::string&) {}

int HttpClient::send(const HttpRequest&) {
    HttpAnswer answer;
    answer.id = backend_->nextId++;
    answer.error = "this build of the game has no HTTP client";
    backend_->finished.push_back(answer);
    return answer.id;
}

bool HttpClient::poll(HttpAnswer& answer) {
    if (backend_->finished.empty()) {
        return false;
    }
    answer = backend_->finished.front();
    backend_->finished.pop_front();
    return true;
}

int HttpClient::pending() const { return static_cast<int>(backend_->finished.size()); }
