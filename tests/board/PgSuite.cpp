#include "PgSuite.h"

#include <pqxx/pqxx>

PgCluster* PgSuite::cluster_ = nullptr;

void PgSuite::SetUpTestSuite() {
    cluster_ = new PgCluster();
    cluster_->start();
}

void PgSuite::TearDownTestSuite() {
    delete cluster_;
    cluster_ = nullptr;
}

long long PgSuite::scalar(const std::string& query) {
    pqxx::connection connection(cluster_->conninfo());
    pqxx::nontransaction work(connection);
    return work.exec(query)[0][0].as<long long>();
}
