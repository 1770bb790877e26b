#include "TestBoard.h"

#include <cstdlib>
#include <memory>

#ifdef TAMQ_TEST_OWN_BOARD
#include "BoardProcess.h"
#include "PgCluster.h"
#endif

namespace {

struct Started {
    std::string url;
    bool own = false;
#ifdef TAMQ_TEST_OWN_BOARD
    std::unique_ptr<PgCluster> cluster;
    std::unique_ptr<BoardProcess> service;
#endif
};

Started& started() {
    static Started board = [] {
        Started made;
        const char* outside = std::getenv("TAMQ_TEST_BOARD");
        if (outside != nullptr && outside[0] != '\0') {
            made.url = outside;
            return made;
        }
#ifdef TAMQ_TEST_OWN_BOARD
        made.cluster = std::make_unique<PgCluster>();
        made.cluster->start();
        made.service = std::make_unique<BoardProcess>();
        made.service->start(made.cluster->conninfo());
        made.url = "http://127.0.0.1:" + std::to_string(made.service->port());
        made.own = true;
#endif
        return made;
    }();
    return board;
}

}  // namespace

const std::string& TestBoard::url() { return started().url; }

bool TestBoard::own() { return started().own; }

std::string TestBoard::database() {
#ifdef TAMQ_TEST_OWN_BOARD
    return started().cluster ? started().cluster->conninfo() : "";
#else
    return "";
#endif
}
