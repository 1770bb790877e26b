#pragma once

#include "PgCluster.h"

#include <gtest/gtest.h>

#include <string>

// The PostgreSQL cluster a suite of the board's tests shares: started before the suite's
// first test and removed after its last, so each suite pays for one start.
class PgSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    // The first field of the first row a query answers, on the suite's database.
    static long long scalar(const std::string& query);

    static PgCluster* cluster_;
};
