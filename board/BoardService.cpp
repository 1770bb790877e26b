#include "BoardService.h"

#include "board/TrustedProxies.h"
#include "io/FileReader.h"

BoardService::BoardService()
    : handlers_(config_, signer_, verifier_, store_, bannedWords_, pool_, players_, metrics_),
      router_(handlers_, metrics_, pool_, store_, server_) {}

bool BoardService::readSecret(std::string& secret, std::string& fault) const {
    if (!FileReader::read(config_.secretFile, secret, fault)) {
        fault = config_.secretFile + ": " + fault;
        return false;
    }
    while (!secret.empty() && (secret.back() == '\n' || secret.back() == '\r')) {
        secret.pop_back();
    }
    if (secret.size() < TokenSigner::kMinSecretBytes) {
        fault = config_.secretFile + ": the secret is shorter than " + std::to_string(TokenSigner::kMinSecretBytes) +
                " bytes";
        return false;
    }
    return true;
}

bool BoardService::init(const BoardConfig& config, std::string& fault) {
    config_ = config;
    TrustedProxies proxies;
    if (!proxies.init(config.trustedProxies, fault)) {
        fault = "--trusted-proxies: " + fault;
        return false;
    }
    std::string secret;
    if (!readSecret(secret, fault)) {
        return false;
    }
    signer_.init(secret);
    if (!verifier_.load(config.dataFolder, fault) ||
        (!config.bannedWordsFile.empty() && !bannedWords_.load(config.bannedWordsFile, fault))) {
        return false;
    }
    store_.init(config.database, config.readDatabase, config.databaseConnections);
    try {
        store_.migrate();
    } catch (const std::exception& error) {
        fault = std::string("cannot prepare the database: ") + error.what();
        return false;
    }
    try {
        players_.init(secret, store_);
    } catch (const std::exception& error) {
        fault = std::string("cannot give the players their public ids: ") + error.what();
        return false;
    }
    pool_.start(config.verifyThreads, config.verifyQueue);
    router_.init(config_);
    HttpLimits limits;
    limits.bodyBytes = BoardConfig::kMaxBodyBytes;
    limits.headerCount = BoardConfig::kMaxHeaders;
    limits.request = std::chrono::seconds(config.clientTimeoutSeconds);
    limits.idle = std::chrono::seconds(config.idleTimeoutSeconds);
    limits.connectionsPerAddress = config.connectionsPerAddress;
    limits.connections = config.maxConnections;
    server_.init(limits, proxies, config.ioThreads, config.httpThreads);
    return true;
}

bool BoardService::bind(std::string& fault) {
    if (!server_.listen(config_.host, config_.port, router_.api(), port_, fault)) {
        return false;
    }
    if (config_.adminHost.empty()) {
        return true;
    }
    return server_.listen(config_.adminHost, config_.adminPort, router_.admin(), adminPort_, fault, true);
}

void BoardService::run() {
    server_.run();
    pool_.stop();
}

void BoardService::stop() {
    server_.stop();
}
