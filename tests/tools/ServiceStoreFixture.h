#pragma once

// For tests that run on each store the service offers: SQLite (the default, a file in the
// service's directory) and PostgreSQL (a fresh database per test in a private cluster
// that the suite starts once). PostgreSQL tests are skipped, saying why, only where the
// server binaries are not installed.

#include "CPgCluster.h"
#include "tests/support/CServiceProcess.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

enum class StoreKind { Sqlite, Postgres };

inline std::string StoreName(const ::testing::TestParamInfo<StoreKind>& info) {
    return info.param == StoreKind::Sqlite ? "sqlite" : "postgresql";
}

inline void PrintTo(StoreKind kind, std::ostream* pOut) {
    *pOut << (kind == StoreKind::Sqlite ? "SQLite" : "PostgreSQL");
}

class StoreTest : public ::testing::TestWithParam<StoreKind> {
protected:
    static void TearDownTestSuite() { s_pCluster.reset(); }

    void SetUp() override {
        if (GetParam() != StoreKind::Postgres || s_pCluster) {
            return;
        }
        if (CPgCluster::BinDir().empty()) {
            GTEST_SKIP() << "PostgreSQL is not installed (no initdb and postgres under "
                            "/usr/lib/postgresql/*/bin; Debian: apt-get install postgresql)";
        }
        auto pCluster = std::make_unique<CPgCluster>();
        ASSERT_TRUE(pCluster->Start()) << pCluster->Error();
        s_pCluster = std::move(pCluster);
    }

    // A database no service has used yet, as the value of --db: for SQLite a file in
    // service's directory, for PostgreSQL a new database's connection string.
    std::string NewDatabase(const CServiceProcess& service) const {
        if (GetParam() == StoreKind::Sqlite) {
            return service.Path("store-" + std::to_string(++s_nDatabases) + ".db");
        }
        std::string strName = "store_" + std::to_string(++s_nDatabases);
        EXPECT_TRUE(s_pCluster->CreateDatabase(strName)) << s_pCluster->Error();
        return s_pCluster->ConnInfo(strName);
    }

    static inline std::unique_ptr<CPgCluster> s_pCluster;
    static inline int s_nDatabases = 0;
};
