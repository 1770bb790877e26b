#pragma once
// The link's transport in its tests: no socket, no thread. Every request sent is kept (its
// method, URL, body and timeout) for the test to check; it is answered by the test, either
// by hand (answer) or by a script of answers per path (the next of those given for the
// longest prefix of its path, the last repeating), ready at the next poll. A request the
// script has no answer for stays open, as a silent board's would.

#include "link/HttpClient.h"

#include <algorithm>
#include <deque>
#include <map>
#include <string>
#include <vector>

class ScriptedHttp final : public HttpClient {
public:
    struct Sent {
        int id = 0;
        HttpRequest request;
        bool open = true;
    };

    static HttpAnswer reply(int status, std::string body = "", int retryAfterSeconds = 0) {
        HttpAnswer answer;
        answer.status = status;
        answer.body = std::move(body);
        answer.retryAfterSeconds = retryAfterSeconds;
        if (status == 0) {
            answer.error = "connection refused";
        }
        return answer;
    }

    // The answers of the requests whose path starts with prefix ("/v1/runs/start").
    void script(const std::string& prefix, std::vector<HttpAnswer> answers) { routes_[prefix] = {std::move(answers), 0}; }

    // No connection, no certificate to check.
    void setCertificateAuthority(const std::string&) override {}
    int send(const HttpRequest& request) override {
        sent.push_back({++last_, request, true});
        const std::string path = pathOf(request.url);
        Route* route = nullptr;
        std::size_t longest = 0;
        for (auto& [prefix, candidate] : routes_) {
            if (path.rfind(prefix, 0) == 0 && prefix.size() >= longest && !candidate.answers.empty()) {
                route = &candidate;
                longest = prefix.size();
            }
        }
        if (route != nullptr) {
            const std::size_t next = std::min(route->served++, route->answers.size() - 1);
            answer(last_, route->answers[next]);
        }
        return last_;
    }
    bool poll(HttpAnswer& answer) override {
        if (ready_.empty()) {
            return false;
        }
        answer = ready_.front();
        ready_.pop_front();
        return true;
    }
    int pending() const override {
        int open = 0;
        for (const Sent& request : sent) {
            open += request.open ? 1 : 0;
        }
        return open + static_cast<int>(ready_.size());
    }

    // Answers an open request by its number; false when there is none such.
    bool answer(int id, HttpAnswer answer) {
        for (Sent& request : sent) {
            if (request.id == id && request.open) {
                request.open = false;
                answer.id = id;
                ready_.push_back(std::move(answer));
                return true;
            }
        }
        return false;
    }
    // Answers the oldest open request of a path prefix; false when there is none.
    bool answerFirst(const std::string& prefix, HttpAnswer reply) {
        for (const Sent& request : sent) {
            if (request.open && pathOf(request.request.url).rfind(prefix, 0) == 0) {
                return answer(request.id, std::move(reply));
            }
        }
        return false;
    }
    // Requests sent of a path prefix so far (of that path alone when exact).
    int count(const std::string& prefix = "", bool exact = false) const {
        int counted = 0;
        for (const Sent& request : sent) {
            const std::string path = pathOf(request.request.url);
            counted += (exact ? path == prefix : path.rfind(prefix, 0) == 0) ? 1 : 0;
        }
        return counted;
    }

    // The path of a URL, without its scheme, host or query.
    static std::string pathOf(const std::string& url) {
        const std::size_t host = url.find("://");
        const std::size_t path = url.find('/', host == std::string::npos ? 0 : host + 3);
        if (path == std::string::npos) {
            return "/";
        }
        return url.substr(path, url.find('?', path) - path);
    }

    std::vector<Sent> sent;

private:
    struct Route {
        std::vector<HttpAnswer> answers;
        std::size_t served = 0;
    };
    std::map<std::string, Route> routes_;
    std::deque<HttpAnswer> ready_;
    int last_ = 0;
};
