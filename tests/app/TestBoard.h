#pragma once

#include <string>

// The online board the tests of the game's HTTP talk to: the address in TAMQ_TEST_BOARD
// when it is set (a board started outside, as under Wine); else, where the service is
// built, a real tamq-board on a PostgreSQL cluster of the test's own, started once for
// the program; else none, and those tests are skipped.
class TestBoard {
public:
    // The board's address ("http://127.0.0.1:PORT"); empty when there is none.
    static const std::string& url();
    // Whether this program started the board itself (and so knows its signing secret).
    static bool own();
    // The database of the own board, empty otherwise.
    static std::string database();
};
