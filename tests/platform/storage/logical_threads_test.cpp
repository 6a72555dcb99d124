// The storage on logical threads: one connection each, and a wait for the
// write lock lets the other logical threads run.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

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

}  // namespace
}  // namespace tv::storage
