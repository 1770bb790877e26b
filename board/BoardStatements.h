#pragma once

namespace pqxx {
class connection_base;
}

// Every statement the board runs on its database, each under a name, in one list: what
// the service and its admin command ask of PostgreSQL is read here and nowhere else.
// (The schema's own steps are the numbered files of board/migrations.)
class BoardStatements {
public:
    // Declares every statement on the connection; the server prepares each the first time
    // it is run there. Declaring again on the same connection changes nothing, so a caller
    // may do it before every use of a pooled connection.
    static void prepare(pqxx::connection_base& connection);
};
