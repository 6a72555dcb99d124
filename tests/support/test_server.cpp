#include "tests/support/test_server.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <random>

namespace tv::test {

namespace {

std::string schemaId(const std::string& name) { return "\"" + name + "\""; }

// A blocking connection as the administrator, for one statement.
bool runAdmin(const std::string& conninfo, const std::string& sql, std::string* error, std::string* value) {
    PGconn* c = PQconnectdb(conninfo.c_str());
    bool ok = PQstatus(c) == CONNECTION_OK;
    if (ok) {
        PQsetNoticeProcessor(c, [](void*, const char*) {}, nullptr);
        PGresult* r = PQexec(c, sql.c_str());
        ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
        if (!ok && error) *error = PQresultErrorMessage(r);
        if (ok && value && PQntuples(r) > 0 && PQnfields(r) > 0) *value = PQgetvalue(r, 0, 0);
        PQclear(r);
    } else if (error) {
        *error = PQerrorMessage(c);
    }
    PQfinish(c);
    return ok;
}

}  // namespace

std::optional<std::string> testServer() {
    const char* s = std::getenv("TALVOR_TEST_SERVER");
    if (!s) return std::nullopt;
    std::string v = s;
    if (v.find_first_not_of(" \t") == std::string::npos) return std::nullopt;
    return v;
}

ServerSchema::ServerSchema() {
    auto server = testServer();
    if (!server) return;
    static std::atomic<int> counter{0};
    std::random_device rd;
    std::string name = "tvt_" + std::to_string(::getpid()) + "_" + std::to_string(++counter) + "_" +
                       std::to_string(rd() % 1000000);
    std::string error;
    if (!runAdmin(*server, "CREATE SCHEMA " + schemaId(name), &error, nullptr)) {
        ADD_FAILURE() << "cannot make a schema on the test server: " << error;
        return;
    }
    name_ = name;
    conninfo_ = *server + " options='-csearch_path=" + name + "'";
}

ServerSchema::~ServerSchema() {
    if (name_.empty()) return;
    std::string error;
    if (!runAdmin(*testServer(), "DROP SCHEMA " + schemaId(name_) + " CASCADE", &error, nullptr))
        ADD_FAILURE() << "cannot drop the test schema " << name_ << ": " << error;
}

bool ServerSchema::admin(const std::string& sql, std::string* error) const {
    auto server = testServer();
    if (!server) return false;
    return runAdmin(*server + " options='-csearch_path=" + name_ + "'", sql, error, nullptr);
}

std::string ServerSchema::adminValue(const std::string& sql) const {
    auto server = testServer();
    std::string v;
    if (server) runAdmin(*server + " options='-csearch_path=" + name_ + "'", sql, nullptr, &v);
    return v;
}

}  // namespace tv::test
