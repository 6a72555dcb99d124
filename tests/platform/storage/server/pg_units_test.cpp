// Units of work on the server: one at a time per schema across stations,
// the time-out, waits that leave the other logical threads running, and
// stations in several processes losing no update.
#include <gtest/gtest.h>

#include <chrono>

#include <QTimer>

#include "platform/storage/server/pg_connection.h"
#include "platform/threads/logical_thread.h"
#include "tests/support/child_process.h"
#include "tests/support/test_server.h"

namespace tv::storage::server {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class PgUnits : public ::testing::Test {
protected:
    tv::test::ServerSchema schema;

    void SetUp() override {
        TV_REQUIRE_SERVER(schema);
        PgConnection c(schema.conninfo());
        ASSERT_TRUE(c.execScript("CREATE TABLE counter(id integer PRIMARY KEY, v bigint NOT NULL);"
                                 "INSERT INTO counter VALUES(1, 0)")
                        .ok());
    }
};

TEST_F(PgUnits, OneUnitAtATimeAndTheWaitEndsAtTheTimeOut) {
    PgConnection a(schema.conninfo()), b(schema.conninfo());
    ASSERT_TRUE(a.beginUnit(2s).ok());
    auto t0 = Clock::now();
    Status st = b.beginUnit(300ms);
    auto waited = Clock::now() - t0;
    EXPECT_EQ(st.code, kLockTimeout);
    EXPECT_GE(waited, 250ms);
    EXPECT_LT(waited, 3s);
    EXPECT_FALSE(b.inUnit());
    EXPECT_EQ(b.beginUnit(0ms).code, kLockTimeout) << "no wait at all";
    // The station that timed out is usable at once.
    PgResult r;
    ASSERT_TRUE(b.exec("SELECT v FROM counter", {}, &r).ok());
    ASSERT_TRUE(a.commit().ok());
    ASSERT_TRUE(b.beginUnit(300ms).ok());
    ASSERT_TRUE(b.commit().ok());
}

TEST_F(PgUnits, StationsOnAnotherSchemaNeverWait) {
    tv::test::ServerSchema other;
    PgConnection a(schema.conninfo()), c(other.conninfo());
    ASSERT_TRUE(a.beginUnit(2s).ok());
    EXPECT_TRUE(c.beginUnit(0ms).ok());
    c.rollback();
    a.rollback();
}

TEST_F(PgUnits, AUnitWithAFailedStatementCommitsNothing) {
    PgConnection a(schema.conninfo());
    ASSERT_TRUE(a.beginUnit(2s).ok());
    ASSERT_TRUE(a.exec("UPDATE counter SET v = 5").ok());
    EXPECT_EQ(a.exec("INSERT INTO counter VALUES(1, 1)").code, kCreatesDuplicateKey);
    EXPECT_TRUE(a.unitFailed());
    EXPECT_FALSE(a.commit().ok());
    PgResult r;
    ASSERT_TRUE(a.exec("SELECT v FROM counter", {}, &r).ok());
    EXPECT_EQ(r.int64(0, 0), 0);
}

// A guarded write that fails is undone whole (the rows it wrote before its
// failure too) and the unit goes on; writes before and after it stay, and
// no savepoint is left behind, whichever way each write ended.
TEST_F(PgUnits, AFailedGuardedWriteIsUndoneAloneAndTheUnitGoesOn) {
    PgConnection a(schema.conninfo());
    PgConnection::Statement add, copy;
    ASSERT_TRUE(a.prepare("INSERT INTO counter VALUES($1, $2)", 2, add).ok());
    // Row 7 goes in, then row 1 is a duplicate: the statement fails half-way.
    ASSERT_TRUE(a.prepare("INSERT INTO counter SELECT x, 0 FROM unnest(ARRAY[$1::int, 1]) x", 1, copy).ok());
    ASSERT_TRUE(a.beginUnit(2s).ok());
    PgResult r;
    ASSERT_TRUE(a.runGuarded(add, PgParams().add(2).add(20), &r).ok());
    EXPECT_EQ(r.affected(), 1);
    EXPECT_EQ(a.runGuarded(copy, PgParams().add(7)).code, kCreatesDuplicateKey);
    EXPECT_FALSE(a.unitFailed());
    EXPECT_FALSE(a.execScriptGuarded("CREATE TABLE counter(x int)").ok());
    EXPECT_FALSE(a.unitFailed());
    ASSERT_TRUE(a.runGuarded(add, PgParams().add(3).add(30)).ok());
    EXPECT_FALSE(a.execScript("RELEASE SAVEPOINT tv_w").ok()) << "a savepoint was left open";
    a.rollback();

    ASSERT_TRUE(a.beginUnit(2s).ok());
    ASSERT_TRUE(a.runGuarded(add, PgParams().add(2).add(20)).ok());
    EXPECT_EQ(a.runGuarded(copy, PgParams().add(7)).code, kCreatesDuplicateKey);
    ASSERT_TRUE(a.runGuarded(add, PgParams().add(3).add(30)).ok());
    ASSERT_TRUE(a.commit().ok());
    ASSERT_TRUE(a.exec("SELECT string_agg(id || '=' || v, ',' ORDER BY id) FROM counter", {}, &r).ok());
    EXPECT_EQ(r.text(0, 0), "1=0,2=20,3=30");
}

// Writes left for the commit go out with it: stored with the unit, or,
// when one of them fails, the commit fails and nothing of the unit stays;
// a unit rolled back forgets them; the connection goes on working.
TEST_F(PgUnits, WritesLeftForTheCommitGoWithItAndFailItWhole) {
    PgConnection a(schema.conninfo());
    PgConnection::Statement add;
    ASSERT_TRUE(a.prepare("INSERT INTO counter VALUES($1, $2)", 2, add).ok());
    auto stored = [&] {
        PgResult r;
        EXPECT_TRUE(a.exec("SELECT string_agg(id || '=' || v, ',' ORDER BY id) FROM counter", {}, &r).ok());
        return std::string(r.text(0, 0));
    };
    ASSERT_TRUE(a.beginUnit(2s).ok());
    ASSERT_TRUE(a.runGuarded(add, PgParams().add(2).add(20)).ok());
    a.runAtCommit(add, PgParams().add(3).add(30));
    a.runAtCommit(add, PgParams().add(4).add(40));
    ASSERT_TRUE(a.commit().ok());
    EXPECT_FALSE(a.inUnit());
    EXPECT_EQ(stored(), "1=0,2=20,3=30,4=40");

    // Row 1 is there already: the commit fails, and row 5 is not kept.
    ASSERT_TRUE(a.beginUnit(2s).ok());
    ASSERT_TRUE(a.runGuarded(add, PgParams().add(5).add(50)).ok());
    a.runAtCommit(add, PgParams().add(1).add(10));
    EXPECT_EQ(a.commit().code, kCreatesDuplicateKey);
    EXPECT_FALSE(a.inUnit());
    EXPECT_EQ(stored(), "1=0,2=20,3=30,4=40");

    ASSERT_TRUE(a.beginUnit(2s).ok());
    a.runAtCommit(add, PgParams().add(6).add(60));
    a.rollback();
    ASSERT_TRUE(a.beginUnit(2s).ok());
    ASSERT_TRUE(a.runGuarded(add, PgParams().add(7).add(70)).ok());
    ASSERT_TRUE(a.commit().ok());
    EXPECT_EQ(stored(), "1=0,2=20,3=30,4=40,7=70");
}

// A thread waiting for the write lock gives the turn away: the other
// threads (windows) keep running until the lock is free.
TEST_F(PgUnits, AWaitForTheLockLeavesTheOtherThreadsRunning) {
    PgConnection holder(schema.conninfo()), waiter(schema.conninfo());
    ASSERT_TRUE(holder.open().ok());
    ASSERT_TRUE(waiter.open().ok());
    ASSERT_TRUE(holder.beginUnit(2s).ok());
    bool waiting = false, done = false, tickerDone = false;
    int ticks = 0, ticksWhileWaiting = 0;
    Status got;
    threads::start(
        [&] {
            waiting = true;
            got = waiter.beginUnit(10s);
            waiting = false;
            if (got.ok()) waiter.commit();
            done = true;
        },
        256 * 1024);
    threads::start(
        [&] {
            while (!done) {
                ++ticks;
                if (waiting) ++ticksWhileWaiting;
                threads::yieldNow();
            }
            tickerDone = true;
        },
        256 * 1024);
    ASSERT_TRUE(threads::runUntil([&] { return ticksWhileWaiting >= 50; }, 10s));
    EXPECT_FALSE(done);
    ASSERT_TRUE(holder.commit().ok());
    ASSERT_TRUE(threads::runUntil([&] { return done && tickerDone; }, 10s));
    EXPECT_TRUE(got.ok()) << got.text;
    EXPECT_GT(waiter.yieldCount(), 0u);
}

// A thread that must keep the turn (the period closing) waits for the
// server's answer without letting any other thread run, while the main
// loop is still served; only a wait for another station's unit lets the
// others run, as the file's wait for its lock does.
TEST_F(PgUnits, AThreadKeepingTheTurnGivesItAwayOnlyToWaitForAnotherStationsUnit) {
    for (bool otherStationsUnit : {false, true}) {
        SCOPED_TRACE(otherStationsUnit ? "waits for the lock" : "waits for an answer");
        PgConnection holder(schema.conninfo()), waiter(schema.conninfo());
        ASSERT_TRUE(holder.open().ok());
        ASSERT_TRUE(waiter.open().ok());
        if (otherStationsUnit) ASSERT_TRUE(holder.beginUnit(2s).ok());
        bool waiting = false, done = false, tickerDone = false, timerFired = false, firedWhileWaiting = false;
        int ticksWhileWaiting = 0;
        Status got;
        threads::start(
            [&] {
                threads::KeepTurn keep;
                waiting = true;
                got = otherStationsUnit ? waiter.beginUnit(10s) : waiter.exec("SELECT pg_sleep(0.5)");
                waiting = false;
                if (got.ok() && otherStationsUnit) got = waiter.commit();
                done = true;
            },
            256 * 1024);
        threads::start(
            [&] {
                while (!done) {
                    if (waiting) ++ticksWhileWaiting;
                    threads::yieldNow();
                }
                tickerDone = true;
            },
            256 * 1024);
        // The main loop's timer: it ends the other station's unit.
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            timerFired = true;
            firedWhileWaiting = waiting;
            if (otherStationsUnit) holder.commit();
        });
        timer.start(200);
        ASSERT_TRUE(threads::runUntil([&] { return done && tickerDone; }, 10s));
        EXPECT_TRUE(got.ok()) << got.text;
        EXPECT_TRUE(timerFired);
        EXPECT_TRUE(firedWhileWaiting);
        EXPECT_EQ(ticksWhileWaiting > 0, otherStationsUnit);
    }
}

// Four stations (processes) each add one to a counter many times, reading
// it and writing the sum back: without one unit at a time some additions
// would be lost.
TEST_F(PgUnits, StationsInSeveralProcessesLoseNoUpdate) {
    constexpr int kStations = 4, kUnits = 40;
    const std::string conninfo = schema.conninfo();
    std::vector<pid_t> children;
    for (int s = 0; s < kStations; ++s) {
        children.push_back(test::spawn([&] {
            PgConnection c(conninfo);
            for (int i = 0; i < kUnits; ++i) {
                if (!c.beginUnit(20s).ok()) return 3;
                PgResult r;
                if (!c.exec("SELECT v FROM counter WHERE id = 1", {}, &r).ok()) return 4;
                if (!c.exec("UPDATE counter SET v = $1 WHERE id = 1", PgParams().add(r.int64(0, 0) + 1)).ok()) return 5;
                if (!c.commit().ok()) return 6;
            }
            return 0;
        }));
    }
    for (pid_t p : children) EXPECT_EQ(test::exitCode(p), 0);
    PgConnection c(conninfo);
    PgResult r;
    ASSERT_TRUE(c.exec("SELECT v FROM counter", {}, &r).ok());
    EXPECT_EQ(r.int64(0, 0), kStations * kUnits);
}

}  // namespace
}  // namespace tv::storage::server
