#include "PlayerPages.h"

#include "board/BoardHandlers.h"
#include "board/Season.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <pqxx/pqxx>

#include <cstdio>
#include <optional>
#include <utility>

namespace {

using Json = nlohmann::json;

// Players given their ids in one transaction when the service starts.
constexpr int kFillBatch = 500;
// The bytes of the HMAC an id shows: 64 bits, so that ids of millions of players do not
// meet by chance.
constexpr int kIdBytes = 8;

// The player's page from one read transaction; nothing when it is none to show.
std::optional<Json> readPage(pqxx::transaction_base& work, const std::string& playerId, const std::string& week,
                             const std::string& day) {
    pqxx::result player = work.exec_prepared("player_by_public", playerId);
    if (player.empty() || player[0][1].as<bool>()) {
        return std::nullopt;
    }
    const int64_t id = player[0][0].as<int64_t>();
    pqxx::result runs = work.exec_prepared("player_latest", id, PlayerPages::kLatestRuns);
    if (runs.empty()) {
        return std::nullopt;
    }
    Json latest = Json::array();
    for (const auto& row : runs) {
        latest.push_back(Json{{"runId", row[0].as<int64_t>()},
                              {"mode", row[1].as<std::string>()},
                              {"difficulty", row[2].as<std::string>()},
                              {"score", BoardHandlers::shown(row[3].as<double>())},
                              {"distance", BoardHandlers::shown(row[4].as<double>())},
                              {"date", row[5].as<std::string>()},
                              {"day", row[7].is_null() ? Json(nullptr) : Json(row[7].as<std::string>())}});
    }
    Json bests = Json::array();
    for (const auto& row : work.exec_prepared("player_bests", id, week, day)) {
        const std::string mode = row[0].as<std::string>();
        const std::string difficulty = row[1].as<std::string>();
        const std::string season = row[2].as<std::string>();
        const int64_t runId = row[3].as<int64_t>();
        const double score = row[4].as<double>();
        bests.push_back(Json{{"mode", mode},
                             {"difficulty", difficulty},
                             {"season", season},
                             {"runId", runId},
                             {"score", BoardHandlers::shown(score)},
                             {"distance", BoardHandlers::shown(row[5].as<double>())},
                             {"date", row[6].as<std::string>()},
                             {"rank", BoardStore::rankOn(work, mode, difficulty, season, score, runId)},
                             {"total", BoardStore::totalOn(work, mode, difficulty, season)}});
    }
    // The name the player ran under last.
    return Json{{"playerId", playerId}, {"name", runs[0][6].as<std::string>()}, {"bests", bests}, {"latest", latest}};
}

}  // namespace

long long PlayerPages::init(std::string secret, BoardStore& store) {
    secret_ = std::move(secret);
    store_ = &store;
    long long given = 0;
    int64_t after = 0;
    for (bool more = true; more;) {
        store.onPrimary([&](pqxx::connection& connection) {
            pqxx::work work(connection);
            pqxx::result missing = work.exec_prepared("player_ids_missing", after, kFillBatch);
            for (const auto& row : missing) {
                after = row[0].as<int64_t>();
                given += work.exec_prepared("player_id_set", after, idOf(pqxx::binarystring(row[1]).str()))
                             .affected_rows();
            }
            work.commit();
            more = missing.size() == static_cast<std::size_t>(kFillBatch);
        });
    }
    return given;
}

std::string PlayerPages::idOf(const std::string& keyHash) const {
    const std::string text = "player|" + keyHash;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), secret_.data(), static_cast<int>(secret_.size()),
         reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest, &length);
    char id[2 * kIdBytes + 1];
    for (int i = 0; i < kIdBytes; ++i) {
        std::snprintf(id + 2 * i, 3, "%02x", digest[i]);
    }
    return id;
}

void PlayerPages::answer(const std::string& playerId, int64_t nowMs, HttpResponse& response) {
    const std::string week = Season::weekOf(nowMs / 1000).name();
    const std::string day = Season::dayOf(nowMs / 1000).name();
    std::optional<Json> page;
    auto query = [&](pqxx::connection& connection) {
        pqxx::read_transaction work(connection);
        page = readPage(work, playerId, week, day);
    };
    bool fromReplica = false;
    store_->onReader(query, fromReplica);
    // A player whose first run was stored a moment ago may not have reached the replica yet.
    if (!page && fromReplica) {
        store_->onPrimary(query);
    }
    if (!page) {
        response.refuse(404, "not_found", "no player " + playerId + " on this board");
        return;
    }
    response.json(200, *page);
}
