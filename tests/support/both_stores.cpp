// Linked into the test executables that run on both stores: with
// TALVOR_TEST_STORE=server each test's tables live on the test server
// (TALVOR_TEST_SERVER), in a schema of its own made before the test and
// dropped after it; the ordinary open path (Connection::current()) then
// opens the server instead of the test's talvor.db. Without a server named
// the tests run on their files, as their first entry does.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/storage/storage.h"
#include "tests/support/test_server.h"

namespace {

class ServerStore : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        schema_ = std::make_unique<tv::test::ServerSchema>();
        if (!schema_->available()) {
            std::fprintf(stderr, "TALVOR_TEST_STORE=server without TALVOR_TEST_SERVER: the test runs on its file\n");
            schema_.reset();
            return;
        }
        tv::storage::setDatabaseServer(schema_->conninfo());
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        tv::storage::setDatabaseServer("");
        schema_.reset();
    }
    std::unique_ptr<tv::test::ServerSchema> schema_;
};

const bool registered = [] {
    const char* store = std::getenv("TALVOR_TEST_STORE");
    if (store != nullptr && std::string(store) == "server")
        ::testing::UnitTest::GetInstance()->listeners().Append(new ServerStore);
    return true;
}();

}  // namespace
