#include "BoardCalls.h"

#include "BoardProcess.h"
#include "board/TokenSigner.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <chrono>

namespace {

Reply reply(const httplib::Result& result) {
    Reply answer;
    if (!result) {
        answer.status = -1;
        // No answer at all: say why, so a failed expectation shows it.
        answer.raw = "no answer: " + httplib::to_string(result.error());
        return answer;
    }
    answer.status = result->status;
    answer.raw = result->body;
    answer.headers = result->headers;
    answer.body = nlohmann::json::parse(result->body, nullptr, false);
    if (answer.body.is_discarded()) {
        answer.body = nullptr;
    }
    return answer;
}

}  // namespace

std::string Reply::header(const char* name) const {
    auto it = headers.find(name);
    return it == headers.end() ? "" : it->second;
}

httplib::Client BoardCalls::client(int port, const std::string& authority) {
    httplib::Client client((authority.empty() ? "http://127.0.0.1:" : "https://127.0.0.1:") + std::to_string(port));
    if (!authority.empty()) {
        client.set_ca_cert_path(authority);
    }
    client.set_read_timeout(60);
    return client;
}

Reply BoardCalls::post(const std::string& path, const std::string& body, const httplib::Headers& headers) const {
    httplib::Client client = BoardCalls::client(port_, authority_);
    return reply(client.Post(path.c_str(), headers, body, "application/json"));
}

Reply BoardCalls::get(const std::string& path, const httplib::Headers& headers) const {
    httplib::Client client = BoardCalls::client(port_, authority_);
    return reply(client.Get(path.c_str(), headers));
}

Reply BoardCalls::startRun(const std::string& mode, const std::string& difficulty) const {
    return post("/v1/runs/start", nlohmann::json{{"mode", mode}, {"difficulty", difficulty}}.dump());
}

Reply BoardCalls::submit(const std::string& token, const std::string& name, const std::string& key,
                         const std::string& record) const {
    return post("/v1/runs",
                nlohmann::json{{"token", token}, {"name", name}, {"playerKey", key}, {"record", base64(record)}}
                    .dump());
}

std::string BoardCalls::playerKey(int n) {
    std::string key = "player-key-" + std::to_string(n);
    return key + std::string(40 - key.size(), 'x');
}

std::string BoardCalls::dailyToken(const std::string& mode, const std::string& difficulty, int64_t issuedMs,
                                   uint32_t& seed) {
    TokenSigner signer;
    signer.init(BoardProcess::secret());
    RunTicket ticket = signer.drawDaily(mode, difficulty, issuedMs);
    seed = ticket.seed;
    return signer.sign(ticket);
}

std::string BoardCalls::token(uint32_t seed, const std::string& mode, const std::string& difficulty,
                              double agoSeconds, const std::string& id) {
    int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
    RunTicket ticket = TokenSigner::draw(mode, difficulty, now - static_cast<int64_t>(agoSeconds * 1000));
    ticket.seed = seed;
    if (!id.empty()) {
        ticket.id = id;
    }
    TokenSigner signer;
    signer.init(BoardProcess::secret());
    return signer.sign(ticket);
}

std::string BoardCalls::base64(const std::string& bytes) {
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                 reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}
