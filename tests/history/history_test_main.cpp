// SPDX-License-Identifier: BSD-3-Clause
#include <QCoreApplication>
#include <gtest/gtest.h>

#include "tests/support/postgres_server.h"

namespace {

// The private PostgreSQL server starts at the first test that asks for it and stops here,
// also after failed tests.
class StopPostgres : public ::testing::Environment {
public:
    void TearDown() override { snr::test::stop_shared_postgres(); }
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);  // Qt loads its database drivers through it
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new StopPostgres);
    return RUN_ALL_TESTS();
}
