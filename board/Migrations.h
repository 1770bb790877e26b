#pragma once

#include <vector>

namespace pqxx {
class connection_base;
}

// One numbered step of the board's database schema, from board/migrations/NNN_words.sql.
struct Migration {
    int version;
    const char* name;
    const char* text;
};

// Brings a database up to the schema this build expects. The steps are the numbered files
// compiled into the service; the database remembers in schema_version which it has run.
// Several instances starting at once take turns on a lock, so each step runs once.
class Migrations {
public:
    // Every step, lowest number first (generated from the migrations folder).
    static const std::vector<Migration>& files();
    // Runs the steps the database lacks, all in one transaction: a failure leaves the
    // schema as it was. Returns the version the database is at. A database newer than
    // this build throws std::runtime_error: the service would not know its tables.
    static int apply(pqxx::connection_base& connection);
};
