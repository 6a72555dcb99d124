// The connection on a real server: bound values, exact decimals, the
// server's failures in the layer's words, a read-only role, a connection
// the server drops, a station killed in the middle of a unit.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>

#include "platform/storage/server/pg_connection.h"
#include "platform/storage/server/pg_errors.h"
#include "tests/support/child_process.h"
#include "tests/platform/storage/server/server_fixture.h"

namespace tv::storage::server {
namespace {

class PgServer : public test::ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (stopped()) return;
        ASSERT_TRUE(c->execScript("CREATE TABLE t(id bigint PRIMARY KEY, name text COLLATE \"C\" NOT NULL DEFAULT '',"
                                  " amount numeric(20,2) NOT NULL DEFAULT 0)")
                        .ok());
    }

    int64_t count(PgConnection& on) {
        PgResult r;
        Status st = on.exec("SELECT count(*) FROM t", {}, &r);
        EXPECT_TRUE(st.ok()) << st.text;
        return st.ok() ? r.int64(0, 0) : -1;
    }
};

TEST_F(PgServer, ValuesAreBoundAndDecimalsComeBackExact) {
    PgConnection::Statement ins;
    ASSERT_TRUE(c->prepare("INSERT INTO t(id, name, amount) VALUES($1, $2, $3)", 3, ins).ok());
    struct Row {
        int64_t id;
        const char* name;
        int64_t cents;
    } rows[] = {
        {1, "x'); DROP TABLE t; --", 99999999999999999},
        {2, "Cañón ÄÁÅÆÇÉÍÑÓÖÚÜ", -5},
        {3, "", 0},
        {4, "a\"b\\c", -99999999999999999},
    };
    for (const Row& r : rows) {
        Status st = c->run(ins, PgParams().add(r.id).add(r.name).addScaled(r.cents, 2));
        ASSERT_TRUE(st.ok()) << st.text;
    }
    PgConnection::Statement again;
    ASSERT_TRUE(c->prepare("INSERT INTO t(id, name, amount) VALUES($1, $2, $3)", 3, again).ok());
    EXPECT_EQ(again.name, ins.name);  // prepared once per connection
    PgResult r;
    ASSERT_TRUE(c->exec("SELECT id, name, amount FROM t ORDER BY id", {}, &r).ok());
    ASSERT_EQ(r.rows(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(r.int64(i, 0), rows[i].id);
        EXPECT_EQ(r.text(i, 1), rows[i].name);
        EXPECT_EQ(r.scaled(i, 2, 2), rows[i].cents);
    }
    PgResult u;
    ASSERT_TRUE(c->exec("UPDATE t SET amount = amount + $1 WHERE id <= $2", PgParams().addScaled(1, 2).add(2), &u).ok());
    EXPECT_EQ(u.affected(), 2);
    ASSERT_TRUE(c->exec("SELECT amount FROM t WHERE id = 2", {}, &r).ok());
    EXPECT_EQ(r.text(0, 0), "-0.04");
    ASSERT_TRUE(c->exec("SELECT name FROM t WHERE id = $1", PgParams().addNull(), &r).ok());
    EXPECT_EQ(r.rows(), 0);
}

TEST_F(PgServer, FailuresAreSaidInTheLayersWords) {
    ASSERT_TRUE(c->execScript("CREATE UNIQUE INDEX \"tv_t_1\" ON t(name)").ok());
    ASSERT_TRUE(c->exec("INSERT INTO t(id, name) VALUES(1, 'a')").ok());
    Status dup = c->exec("INSERT INTO t(id, name) VALUES(2, $1)", PgParams().add("a"));
    EXPECT_EQ(dup.code, kCreatesDuplicateKey);
    EXPECT_EQ(dup.detail, "tv_t_1") << dup.text;
    // Failures raised on the server as they come through libpq.
    struct Raised {
        const char* state;
        int code;
    } raised[] = {{"53100", kDiskFull}, {"55P03", kLockTimeout}, {"XX002", kKeyFileMustBeRebuilt},
                  {"42501", kAccessDenied}, {"P0001", kFileSystemError}};
    for (const Raised& x : raised) {
        Status st = c->execScript(std::string("DO $$ BEGIN RAISE EXCEPTION 'raised' USING ERRCODE = '") + x.state +
                                  "'; END $$");
        EXPECT_EQ(st.code, x.code) << x.state << ": " << st.text;
        EXPECT_TRUE(c->isOpen());
    }
    // A transaction that may only read.
    ASSERT_TRUE(c->execScript("BEGIN READ ONLY").ok());
    EXPECT_EQ(c->exec("INSERT INTO t(id) VALUES(3)").code, kAccessDenied);
    ASSERT_TRUE(c->execScript("ROLLBACK").ok());
    // Bytes that are not UTF-8 are refused, never stored half.
    Status bad = c->exec("INSERT INTO t(id, name) VALUES(4, $1)", PgParams().add("a\xFF" "b"));
    EXPECT_EQ(bad.code, kFileSystemError);
    EXPECT_NE(bad.text.find("UTF-8"), std::string::npos) << bad.text;
    EXPECT_EQ(count(*c), 1);
}

TEST_F(PgServer, ARoleThatMayOnlyReadGetsAccessDenied) {
    const std::string role = schema.name() + "_ro";
    ASSERT_TRUE(c->exec("INSERT INTO t(id, name) VALUES(1, 'a')").ok());
    std::string err;
    ASSERT_TRUE(schema.admin("CREATE ROLE \"" + role + "\" LOGIN; GRANT USAGE ON SCHEMA \"" + schema.name() +
                                 "\" TO \"" + role + "\"; GRANT SELECT ON t TO \"" + role + "\"",
                             &err))
        << err;
    {
        PgConnection ro(schema.conninfo() + " user=" + role);
        ASSERT_TRUE(ro.open().ok());
        EXPECT_EQ(count(ro), 1);
        EXPECT_EQ(ro.exec("INSERT INTO t(id) VALUES(2)").code, kAccessDenied);
        EXPECT_EQ(ro.exec("UPDATE t SET name = 'b'").code, kAccessDenied);
        EXPECT_TRUE(ro.isOpen());
    }
    ASSERT_TRUE(schema.admin("ALTER ROLE \"" + role + "\" SET default_transaction_read_only = on; "
                             "GRANT INSERT ON t TO \"" + role + "\"", &err)) << err;
    {
        PgConnection ro(schema.conninfo() + " user=" + role);
        ASSERT_TRUE(ro.open().ok());
        EXPECT_EQ(ro.exec("INSERT INTO t(id) VALUES(2)").code, kAccessDenied);
    }
    EXPECT_EQ(count(*c), 1);
    schema.admin("DROP OWNED BY \"" + role + "\"; DROP ROLE \"" + role + "\"");
}

TEST_F(PgServer, ADroppedConnectionLosesTheUnitAndTheNextUnitConnectsAgain) {
    PgConnection::Statement ins;
    ASSERT_TRUE(c->prepare("INSERT INTO t(id) VALUES($1)", 1, ins).ok());
    ASSERT_TRUE(c->beginUnit(std::chrono::seconds(2)).ok());
    ASSERT_TRUE(c->run(ins, PgParams().add(1)).ok());
    PgResult pid;
    ASSERT_TRUE(c->exec("SELECT pg_backend_pid()", {}, &pid).ok());
    // What a server stopped or restarted does to its sessions.
    ASSERT_EQ(schema.adminValue("SELECT pg_terminate_backend(" + std::string(pid.text(0, 0)) + ", 5000)"), "t");
    Status st = c->run(ins, PgParams().add(2));
    EXPECT_EQ(st.code, kFileSystemError);
    EXPECT_NE(st.text.find("Se perdió la conexión con el servidor de datos"), std::string::npos) << st.text;
    EXPECT_NE(st.text.find(c->serverLabel()), std::string::npos) << st.text;
    EXPECT_TRUE(c->lost());
    // The rest of the unit must not run on its own on a new connection.
    EXPECT_FALSE(c->run(ins, PgParams().add(3)).ok());
    EXPECT_FALSE(c->commit().ok());
    c->rollback();
    ASSERT_TRUE(c->beginUnit(std::chrono::seconds(2)).ok()) << "the next unit connects again";
    EXPECT_FALSE(c->lost());
    EXPECT_TRUE(c->run(ins, PgParams().add(4)).ok()) << "prepared again on the new connection";
    ASSERT_TRUE(c->commit().ok());
    PgResult r;
    ASSERT_TRUE(c->exec("SELECT id FROM t ORDER BY id", {}, &r).ok());
    ASSERT_EQ(r.rows(), 1);
    EXPECT_EQ(r.int64(0, 0), 4);
}

// A station killed with SIGKILL at each point of a unit: the server rolls
// back what was not committed and lets go of the write lock; what was
// committed stays.
TEST_F(PgServer, AStationKilledInTheMiddleOfAUnitLeavesNothingHalfStored) {
    enum Point { AfterLock, AfterFirstWrite, AfterSecondWrite, AfterCommit };
    for (Point point : {AfterLock, AfterFirstWrite, AfterSecondWrite, AfterCommit}) {
        ASSERT_TRUE(c->exec("DELETE FROM t").ok());
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const std::string conninfo = schema.conninfo();
        pid_t child = tv::test::spawn([&] {
            ::close(fds[0]);
            PgConnection station(conninfo);
            if (!station.beginUnit(std::chrono::seconds(5)).ok()) return 3;
            if (point >= AfterFirstWrite && !station.exec("INSERT INTO t(id, amount) VALUES(1, 10.5)").ok()) return 4;
            if (point >= AfterSecondWrite && !station.exec("UPDATE t SET amount = amount * 2").ok()) return 5;
            if (point >= AfterCommit && !station.commit().ok()) return 6;
            char b = 'k';
            if (::write(fds[1], &b, 1) != 1) return 7;
            ::pause();
            return 0;
        });
        ::close(fds[1]);
        char b = 0;
        ASSERT_EQ(::read(fds[0], &b, 1), 1) << "the station did not reach its point " << point;
        ::close(fds[0]);
        ::kill(child, SIGKILL);
        EXPECT_EQ(tv::test::exitCode(child), 100 + SIGKILL);
        ASSERT_TRUE(c->beginUnit(std::chrono::seconds(5)).ok()) << "the write lock went with the station";
        PgResult r;
        ASSERT_TRUE(c->exec("SELECT count(*), coalesce(sum(amount), 0) FROM t", {}, &r).ok());
        EXPECT_EQ(r.int64(0, 0), point == AfterCommit ? 1 : 0) << "point " << point;
        EXPECT_EQ(r.scaled(0, 1, 2), point == AfterCommit ? 2100 : 0) << "point " << point;
        ASSERT_TRUE(c->commit().ok());
    }
}

}  // namespace
}  // namespace tv::storage::server
