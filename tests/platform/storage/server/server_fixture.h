#pragma once
// A test on the server: a schema of its own there and a connection to it
// (skipped when no server is named).
#include <gtest/gtest.h>

#include <memory>

#include "platform/storage/server/pg_sql.h"
#include "tests/support/test_server.h"

namespace tv::storage::server::test {

class ServerTest : public ::testing::Test {
protected:
    tv::test::ServerSchema schema;
    std::unique_ptr<PgConnection> c;

    // Subclasses call it first and stop when it skipped or failed.
    void SetUp() override {
        TV_REQUIRE_SERVER(schema);
        c = std::make_unique<PgConnection>(schema.conninfo());
        Status st = c->open();
        ASSERT_TRUE(st.ok()) << st.text;
    }
    bool stopped() const { return IsSkipped() || HasFatalFailure(); }
    // The functions keys and filters need on the server.
    void installFunctions() {
        Status st = installServerFunctions(*c, std::chrono::seconds(5));
        ASSERT_TRUE(st.ok()) << st.text;
    }
};

}  // namespace tv::storage::server::test
