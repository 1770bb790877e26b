#pragma once

// What the HTTP client tests on every platform do alike: a request written in one line, and
// polling the client, as the game's frames do, until its answers are in.

#include "app/PlatformHttpClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>

inline HttpRequest request(const std::string& method, const std::string& url, const std::string& body = "",
                           int timeoutMilliseconds = 10000) {
    HttpRequest made;
    made.method = method;
    made.url = url;
    made.body = body;
    made.timeoutMilliseconds = timeoutMilliseconds;
    return made;
}

// Polls until count answers are in; the answers by id. Fails after the deadline, far beyond
// any timeout the tests use.
inline std::map<int, HttpAnswer> answersOf(HttpClient& http, int count,
                                           std::chrono::seconds deadline = std::chrono::seconds(60)) {
    std::map<int, HttpAnswer> answers;
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (static_cast<int>(answers.size()) < count && std::chrono::steady_clock::now() < end) {
        HttpAnswer answer;
        if (http.poll(answer)) {
            answers[answer.id] = answer;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    EXPECT_EQ(static_cast<int>(answers.size()), count) << "answers missing after the deadline";
    return answers;
}

// One request sent and its answer awaited.
inline HttpAnswer fetch(HttpClient& http, const HttpRequest& sent) {
    const int id = http.send(sent);
    const auto answers = answersOf(http, 1);
    const auto answer = answers.find(id);
    EXPECT_TRUE(answer != answers.end()) << sent.url << " not answered";
    return answer != answers.end() ? answer->second : HttpAnswer();
}
