#pragma once
// The PostgreSQL server tests run on: TALVOR_TEST_SERVER holds its libpq
// connection string (scripts/test.sh starts a throw-away server and sets
// it). Each test gets a schema of its own there, dropped afterwards, so
// tests run in parallel without seeing each other's tables or waiting for
// each other's write lock.
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace tv::test {

// TALVOR_TEST_SERVER, or nullopt when it is unset or blank.
std::optional<std::string> testServer();

class ServerSchema {
public:
    ServerSchema();   // a new schema on the test server (none without a server)
    ~ServerSchema();  // drops it with everything in it
    ServerSchema(const ServerSchema&) = delete;
    ServerSchema& operator=(const ServerSchema&) = delete;

    bool available() const { return !name_.empty(); }
    const std::string& name() const { return name_; }
    // The server's connection string with this schema as the working one.
    const std::string& conninfo() const { return conninfo_; }
    // Runs SQL as the server's administrator (roles, grants, terminating
    // another connection); false with the server's words in *error.
    bool admin(const std::string& sql, std::string* error = nullptr) const;
    // The same for one value of one row ("" on failure).
    std::string adminValue(const std::string& sql) const;

private:
    std::string name_;
    std::string conninfo_;
};

}  // namespace tv::test

// Skips the test when no server is named.
#define TV_REQUIRE_SERVER(schema)                                                              \
    do {                                                                                       \
        if (!(schema).available())                                                             \
            GTEST_SKIP() << "no PostgreSQL server: set TALVOR_TEST_SERVER (scripts/test.sh "   \
                            "starts one)";                                                     \
    } while (0)
