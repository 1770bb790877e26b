#include "BoardConfig.h"

#include "board/HttpLimits.h"
#include "board/TrustedProxies.h"

#include <algorithm>
#include <charconv>
#include <thread>

namespace {

bool readNumber(const std::string& text, double& value) {
    const char* end = text.data() + text.size();
    auto [last, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && last == end && value > 0;
}

bool readCount(const std::string& text, std::size_t& value, std::size_t most) {
    const char* end = text.data() + text.size();
    auto [last, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && last == end && value > 0 && value <= most;
}

// HOST:PORT, the port 0 to 65535.
// HOST:PORT; an IPv6 host goes in brackets, as in a URL: [::1]:8080.
bool readAddress(const std::string& value, std::string& host, int& port) {
    std::size_t colon = value.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    host = value.substr(0, colon);
    if (host.front() == '[' || host.back() == ']') {
        if (host.size() < 3 || host.front() != '[' || host.back() != ']') {
            return false;
        }
        host = host.substr(1, host.size() - 2);
    }
    std::string digits = value.substr(colon + 1);
    auto [last, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    return !digits.empty() && error == std::errc() && last == digits.data() + digits.size() && port >= 0 &&
           port <= 65535;
}

bool readSeconds(const std::string& value, int& seconds) {
    std::size_t count = 0;
    bool ok = readCount(value, count, 3600);
    seconds = static_cast<int>(count);
    return ok;
}

std::vector<std::string> splitCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!part.empty()) {
            parts.push_back(part);
        }
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return parts;
}

}  // namespace

std::string BoardConfig::usage() {
    return "usage: tamq-board [--option value]...\n"
           "       tamq-board admin COMMAND ... (operators' changes; tamq-board admin --help)\n"
           "  --listen HOST:PORT       where to serve (TAMQ_BOARD_LISTEN, 127.0.0.1:8080; port 0 takes a free one;\n"
           "                           an IPv6 host in brackets: [::1]:8080)\n"
           "  --database CONNINFO      the primary PostgreSQL database, libpq style (TAMQ_BOARD_DATABASE)\n"
           "  --read-database CONNINFO a replica for board reads (TAMQ_BOARD_READ_DATABASE)\n"
           "  --secret-file PATH       the token secret, 32 bytes or more (TAMQ_BOARD_SECRET_FILE)\n"
           "  --allow-origins A,B      browser origins allowed by CORS (TAMQ_BOARD_ALLOW_ORIGINS)\n"
           "  --data FOLDER            the game's content the runs are re-played with (TAMQ_BOARD_DATA, data)\n"
           "  --verify-threads N       threads re-playing records (TAMQ_BOARD_VERIFY_THREADS, one per core)\n"
           "  --verify-queue N         records waiting for them before 503 (TAMQ_BOARD_VERIFY_QUEUE, 4 per thread)\n"
           "  --http-threads N         requests handled at once (TAMQ_BOARD_HTTP_THREADS, 64)\n"
           "  --io-threads N           threads waiting on the connections (TAMQ_BOARD_IO_THREADS, 2)\n"
           "  --db-connections N       connections per database at most; a request waits 1 s for one, then 503\n"
           "                           (TAMQ_BOARD_DB_CONNECTIONS, 16)\n"
           "  --read-rate R[:BURST]    reads a second per address (TAMQ_BOARD_READ_RATE, 20:40)\n"
           "  --write-rate R[:BURST]   starts and submissions a second per address (TAMQ_BOARD_WRITE_RATE, 2:10)\n"
           "  --banned-words FILE      words names may not contain, one a line (TAMQ_BOARD_BANNED_WORDS)\n"
           "  --client-timeout S       seconds from a request's first byte to its last, and for its answer\n"
           "                           to be taken (TAMQ_BOARD_CLIENT_TIMEOUT, 5)\n"
           "  --idle-timeout S         seconds a kept-alive connection may wait between requests\n"
           "                           (TAMQ_BOARD_IDLE_TIMEOUT, 5)\n"
           "  --connections-per-address N  connections open at once per client, an IPv4 address or an IPv6 /64\n"
           "                           (TAMQ_BOARD_CONNECTIONS_PER_ADDRESS, 64); an IPv4 /24 or IPv6 /48 takes an eighth\n"
           "                           of all places at most\n"
           "  --max-connections N      connections open at once in all (TAMQ_BOARD_MAX_CONNECTIONS, 4096)\n"
           "  --trusted-proxies LIST   proxies (addresses, networks a/n) whose X-Forwarded-For names the client\n"
           "                           (TAMQ_BOARD_TRUSTED_PROXIES, none)\n"
           "  --admin-listen HOST:PORT the operators' address, serving GET /metrics (TAMQ_BOARD_ADMIN_LISTEN, none)\n"
           "  --clock-offset SECONDS   for tests: shifts the service's clock, may be negative (TAMQ_BOARD_CLOCK_OFFSET, 0)\n"
           "Limits of a request: a request line of " + std::to_string(HttpLimits{}.requestLineBytes / 1024) +
           " KiB (414), headers of " + std::to_string(HttpLimits{}.headerBytes / 1024) + " KiB and " +
           std::to_string(kMaxHeaders) + " in number besides Connection (431),\na body of " + std::to_string(kMaxBodyBytes) +
           " bytes (413), no Content-Encoding (415).\n";
}

std::string BoardConfig::fitFileLimit(std::size_t fileLimit) {
    const std::size_t room = fileLimit > otherFiles() ? fileLimit - otherFiles() : 1;
    if (maxConnections <= room) {
        return "";
    }
    const std::string line = "--max-connections " + std::to_string(maxConnections) + " exceeds the open-file limit of " +
                             std::to_string(fileLimit) + " (less " + std::to_string(otherFiles()) +
                             " for the rest); serving " + std::to_string(room) +
                             " at once: raise the limit (ulimit -n, LimitNOFILE=) or lower the cap";
    maxConnections = room;
    connectionsPerAddress = std::min(connectionsPerAddress, room);
    return line;
}

bool BoardConfig::parse(const std::vector<std::string>& arguments, const std::function<std::string(const char*)>& env,
                        std::string& fault, bool needSecret) {
    struct Setting {
        const char* option;
        const char* variable;
        std::function<bool(const std::string&)> apply;
    };
    auto rate = [](double& perSecond, double& burst) {
        return [&perSecond, &burst](const std::string& text) {
            std::size_t colon = text.find(':');
            if (!readNumber(text.substr(0, colon), perSecond)) {
                return false;
            }
            burst = 2 * perSecond;
            return colon == std::string::npos || readNumber(text.substr(colon + 1), burst);
        };
    };
    auto text = [](std::string& field) {
        return [&field](const std::string& value) {
            field = value;
            return !value.empty();
        };
    };
    const std::vector<Setting> settings = {
        {"--listen", "TAMQ_BOARD_LISTEN", [this](const std::string& value) { return readAddress(value, host, port); }},
        {"--admin-listen", "TAMQ_BOARD_ADMIN_LISTEN",
         [this](const std::string& value) { return readAddress(value, adminHost, adminPort); }},
        {"--trusted-proxies", "TAMQ_BOARD_TRUSTED_PROXIES",
         [this](const std::string& value) {
             trustedProxies = value;
             TrustedProxies proxies;
             std::string ignored;
             return proxies.init(value, ignored);
         }},
        {"--database", "TAMQ_BOARD_DATABASE", text(database)},
        {"--read-database", "TAMQ_BOARD_READ_DATABASE", text(readDatabase)},
        {"--secret-file", "TAMQ_BOARD_SECRET_FILE", text(secretFile)},
        {"--allow-origins", "TAMQ_BOARD_ALLOW_ORIGINS",
         [this](const std::string& value) {
             allowedOrigins = splitCommas(value);
             return true;
         }},
        {"--data", "TAMQ_BOARD_DATA", text(dataFolder)},
        {"--banned-words", "TAMQ_BOARD_BANNED_WORDS", text(bannedWordsFile)},
        {"--verify-threads", "TAMQ_BOARD_VERIFY_THREADS",
         [this](const std::string& value) { return readCount(value, verifyThreads, 256); }},
        {"--verify-queue", "TAMQ_BOARD_VERIFY_QUEUE",
         [this](const std::string& value) { return readCount(value, verifyQueue, 100000); }},
        {"--http-threads", "TAMQ_BOARD_HTTP_THREADS",
         [this](const std::string& value) { return readCount(value, httpThreads, 4096); }},
        {"--db-connections", "TAMQ_BOARD_DB_CONNECTIONS",
         [this](const std::string& value) { return readCount(value, databaseConnections, 1000); }},
        {"--read-rate", "TAMQ_BOARD_READ_RATE", rate(readRate, readBurst)},
        {"--write-rate", "TAMQ_BOARD_WRITE_RATE", rate(writeRate, writeBurst)},
        {"--io-threads", "TAMQ_BOARD_IO_THREADS",
         [this](const std::string& value) { return readCount(value, ioThreads, 256); }},
        {"--client-timeout", "TAMQ_BOARD_CLIENT_TIMEOUT",
         [this](const std::string& value) { return readSeconds(value, clientTimeoutSeconds); }},
        {"--idle-timeout", "TAMQ_BOARD_IDLE_TIMEOUT",
         [this](const std::string& value) { return readSeconds(value, idleTimeoutSeconds); }},
        {"--connections-per-address", "TAMQ_BOARD_CONNECTIONS_PER_ADDRESS",
         [this](const std::string& value) { return readCount(value, connectionsPerAddress, 1000000); }},
        {"--max-connections", "TAMQ_BOARD_MAX_CONNECTIONS",
         [this](const std::string& value) { return readCount(value, maxConnections, 1000000); }},
        {"--clock-offset", "TAMQ_BOARD_CLOCK_OFFSET",
         [this](const std::string& value) {
             auto [last, error] = std::from_chars(value.data(), value.data() + value.size(), clockOffsetSeconds);
             return !value.empty() && error == std::errc() && last == value.data() + value.size();
         }},
    };
    for (const Setting& setting : settings) {
        std::string value = env(setting.variable);
        if (!value.empty() && !setting.apply(value)) {
            fault = std::string(setting.variable) + ": cannot use \"" + value + "\"";
            return false;
        }
    }
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::string value;
        std::size_t equals = name.find('=');
        bool inline_ = equals != std::string::npos;
        if (inline_) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        const Setting* found = nullptr;
        for (const Setting& setting : settings) {
            if (name == setting.option) {
                found = &setting;
            }
        }
        if (!found) {
            fault = "unknown option " + name + " (see --help)";
            return false;
        }
        if (!inline_) {
            if (i + 1 >= arguments.size()) {
                fault = name + " needs a value";
                return false;
            }
            value = arguments[++i];
        }
        if (!found->apply(value)) {
            fault = name + ": cannot use \"" + value + "\"";
            return false;
        }
    }
    if (database.empty()) {
        fault = "no database: give --database or TAMQ_BOARD_DATABASE";
        return false;
    }
    if (secretFile.empty() && needSecret) {
        fault = "no secret: give --secret-file or TAMQ_BOARD_SECRET_FILE";
        return false;
    }
    if (verifyThreads == 0) {
        verifyThreads = std::max(1u, std::thread::hardware_concurrency());
    }
    if (verifyQueue == 0) {
        verifyQueue = 4 * verifyThreads;
    }
    return true;
}
