// The storage on logical threads: one connection each, and a wait for the
// write lock lets the other logical threads run.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sqlite3.h>

#include <chrono>
#include <filesystem>

#include "platform/storage/storage.h"
#include "platform/threads/logical_thread.h"
#include "tests/support/scratch_dir.h"

namespace tv::storage {
namespace {

using namespace std::chrono_literals;

std::shared_ptr<const TableDef> notasDef() {
    auto layout = std::make_shared<RecordLayout>(
        "Nota", "NOT", std::vector<FieldSpec>{{"NOT:Id", FieldType::Long, 0, 0}, {"NOT:Texto", FieldType::String, 20, 0}});
    auto def = std::make_shared<TableDef>();
    def->table = "Nota";
    def->layout = layout;
    def->keys = {{"NOT:KeyId", {0}, true, true, false, true}};
    return def;
}

TEST(StorageOnLogicalThreads, WaitingForTheLockLetsOtherThreadsRun) {
    test::ScratchDir dir;
    const auto db = dir.file("talvor.db");
    setDatabasePath(db);
    auto def = notasDef();
    {
        Connection c(db);
        Table t(c, def);
        ASSERT_TRUE(t.open().ok());
    }
    // Another process holds the write lock until it is told to let go.
    int locked[2], release[2];
    ASSERT_EQ(pipe(locked), 0);
    ASSERT_EQ(pipe(release), 0);
    pid_t pid = fork();
    if (pid == 0) {
        int rc = 1;
        {
            Connection c(db);
            Transaction tx(c);
            char ch = 'l';
            if (tx.ok() && write(locked[1], &ch, 1) == 1 && read(release[0], &ch, 1) == 1) rc = 0;
        }
        _exit(rc);
    }
    char ch = 0;
    ASSERT_EQ(read(locked[0], &ch, 1), 1);

    Connection* first = nullptr;
    Connection* second = nullptr;
    Status inserted = Status::make(kFileSystemError, "not run");
    bool writerDone = false, otherRanWhileWaiting = false;
    threads::start(
        [&] {
            first = &Connection::current();
            Table t(*first, def);
            Record r(def->layout);
            inserted = t.insert(r);  // waits for the other process, yielding
            writerDone = true;
        },
        0);
    threads::start(
        [&] {
            second = &Connection::current();
            otherRanWhileWaiting = !writerDone;
            char go = 'g';
            ASSERT_EQ(write(release[1], &go, 1), 1);
        },
        0);
    ASSERT_TRUE(threads::runUntil([&] { return writerDone; }, 20s));
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(inserted.ok()) << inserted.text;
    EXPECT_TRUE(otherRanWhileWaiting);
    EXPECT_NE(first, nullptr);
    EXPECT_NE(first, second);  // one connection per logical thread
    for (int fd : {locked[0], locked[1], release[0], release[1]}) close(fd);
}


// A logical thread that read one record and then waits (a list showing it,
// a window waiting for the user) must not keep a read snapshot: it would
// stop every checkpoint, and talvor.db-wal would grow for as long as it waits.
TEST(StorageOnLogicalThreads, WaitingThreadHoldsNoSnapshotThatBlocksCheckpoints) {
    test::ScratchDir dir;
    const auto db = dir.file("talvor.db");
    setDatabasePath(db);
    auto def = notasDef();
    Connection writer(db);
    Table w(writer, def);
    for (int i = 0; i < 3; ++i) {
        Record r(def->layout);
        ASSERT_TRUE(w.insert(r).ok());
    }
    bool readOne = false, done = false;
    threads::ThreadNo reader = threads::start(
        [&] {
            Table t(Connection::current(), def);
            Record r(def->layout);
            readOne = t.next(r).ok();
            threads::suspend();  // waits for the user with the table positioned
            readOne = readOne && t.next(r).ok();
            done = true;
        },
        0);
    ASSERT_TRUE(threads::runUntil([&] { return readOne; }, 20s));
    // Meanwhile another station writes, and the log is checkpointed.
    for (int i = 0; i < 3; ++i) {
        Record r(def->layout);
        ASSERT_TRUE(w.insert(r).ok());
    }
    writer.setLockTimeout(0ms);  // a blocked checkpoint says so at once
    int logFrames = -1, checkpointed = -1;
    ASSERT_EQ(sqlite3_wal_checkpoint_v2(writer.db(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, &logFrames, &checkpointed),
              SQLITE_OK)
        << sqlite3_errmsg(writer.db());
    EXPECT_EQ(std::filesystem::file_size(dir.file("talvor.db-wal")), 0u);
    threads::wake(reader);
    ASSERT_TRUE(threads::runUntil([&] { return done; }, 20s));
    EXPECT_TRUE(readOne);  // and the waiting thread reads on from its place
}

// A long unit of work calls maybeYield() as every long loop does; while it
// holds the write lock that must not give the turn away: the other threads
// would only wait for the lock (and fail after the time-out) meanwhile.
TEST(StorageOnLogicalThreads, LongUnitOfWorkKeepsTheTurnWhileItHoldsTheLock) {
    test::ScratchDir dir;
    setDatabasePath(dir.file("talvor.db"));
    auto def = notasDef();
    bool inUnit = false, unitOver = false, done = false;
    bool otherRanInUnit = false, otherRanAfter = false;
    threads::start(
        [&] {
            Connection& c = Connection::current();
            Table t(c, def);
            {
                Transaction tx(c);
                ASSERT_TRUE(tx.ok());
                inUnit = true;
                const auto until = std::chrono::steady_clock::now() + 40ms;
                while (std::chrono::steady_clock::now() < until) {
                    Record r(def->layout);
                    ASSERT_TRUE(t.insert(r).ok());
                    threads::maybeYield();
                }
                inUnit = false;
                ASSERT_TRUE(tx.commit().ok());
            }
            unitOver = true;
            // Without the lock the same loop gives the turn away again.
            const auto giveUp = std::chrono::steady_clock::now() + 10s;
            while (!otherRanAfter && std::chrono::steady_clock::now() < giveUp) threads::maybeYield();
            done = true;
        },
        0);
    threads::start(
        [&] {
            while (!done) {
                if (inUnit) otherRanInUnit = true;
                if (unitOver) otherRanAfter = true;
                threads::yieldNow();
            }
        },
        0);
    ASSERT_TRUE(threads::runUntil([&] { return done && threads::aliveCount() == 0; }, 20s));
    EXPECT_FALSE(otherRanInUnit);
    EXPECT_TRUE(otherRanAfter);
}

}  // namespace
}  // namespace tv::storage
