#include "Migrations.h"

#include <pqxx/pqxx>

#include <stdexcept>
#include <string>

namespace {

// Any number of our own: instances of the service serialise their migrations on it.
constexpr long long kMigrationLock = 0x74616d71626f6172;  // "tamqboar"

}  // namespace

int Migrations::apply(pqxx::connection_base& connection) {
    pqxx::work work(connection, "migrations");
    work.exec_params("SELECT pg_advisory_xact_lock($1)", kMigrationLock);
    work.exec(
        "CREATE TABLE IF NOT EXISTS schema_version ("
        " version integer PRIMARY KEY,"
        " name text NOT NULL,"
        " applied_at timestamptz NOT NULL DEFAULT now())");
    int current = work.exec("SELECT coalesce(max(version), 0) FROM schema_version")[0][0].as<int>();
    const auto& steps = files();
    int newest = steps.empty() ? 0 : steps.back().version;
    if (current > newest) {
        throw std::runtime_error("the database's schema is at version " + std::to_string(current) +
                                 ", newer than this service's " + std::to_string(newest));
    }
    for (const Migration& step : steps) {
        if (step.version <= current) {
            continue;
        }
        work.exec(step.text);
        work.exec_params("INSERT INTO schema_version (version, name) VALUES ($1, $2)", step.version,
                         std::string(step.name));
        current = step.version;
    }
    work.commit();
    return current;
}
