// The closing among other workers: a posting on another logical thread or
// in another process during the closing, and a closing killed at any point
// (the documents' crash harness).
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "movements/common/stock.h"
#include "movements/common/unit_of_work.h"
#include "platform/threads/logical_thread.h"
#include "reports/closing/closing.h"
#include "tests/movements/support/harness.h"
#include "tests/reports/closing/closing_fixture.h"

namespace tv::reports::test {
namespace {

namespace fs = std::filesystem;
// Calls `at` once, when the closing reaches record `when` of `pass`.
struct CallAt : ClosingProgress {
    ClosingPass pass;
    int64_t when;
    std::function<void()> at;
    CallAt(ClosingPass p, int64_t w, std::function<void()> f) : pass(p), when(w), at(std::move(f)) {}
    void advanced(ClosingPass p, int64_t done) override {
        if (p == pass && done == when) at();
    }
};

// A posting as a document's completion makes it, one unit of work: 5.00
// more received of article 7 and its ledger row.
bool postFive(data::ThreadTableSet& s) {
    movements::UnitOptions options;
    options.primary = TableId::Entradas;
    options.lockTimeout = std::chrono::seconds(30);
    return movements::RunAsOneUnit(s, options, [](movements::Posting& p) {
        if (!movements::ReadArticle(p, Decimal(7))) return false;
        if (!movements::AddToArticle(p, "ART:Entradas", Decimal::fromScaled(500, 2))) return false;
        if (!movements::WriteArticle(p)) return false;
        movements::LedgerRow row;
        row.article = Decimal(7);
        row.date = ClosingDay();
        row.document = movements::DocumentText("ENT-", 900);
        row.in = Decimal::fromScaled(500, 2);
        row.stock = movements::StockOnHand(p.Buffer(TableId::Articulo));
        return movements::AddLedgerRow(p, row);
    });
}

// The points a closing is killed at: each record the closing reads is a
// step of its unit of work; only past "committed" is it stored.
struct KillPoint {
    movements::test::StepPoint at;
    bool committed;
};
const KillPoint kKillPoints[] = {
    {{"begin", 0}, false},       {{"ledger", 0}, false},      {{"receipt", 75}, false},
    {{"issue", 1}, false},       {{"order", 20}, false},      {{"article", 1}, false},
    {{"article", 1500}, false},  {{"article", 3000}, false},  {{"commit", 0}, false},
    {{"committed", 0}, true},
};

class ClosingStationTest : public ClosingTest {
protected:
    void SetUp() override {
        ClosingTest::SetUp();
        seed([](Seeder& s) {
            for (int i = 1; i <= 50; ++i) s.article(i, "20.00", "4.50", "2.00");
            for (int i = 0; i < 80; ++i) s.ledgerRow(i % 50 + 1, "ENT-1", "1.00", "0");
        });
    }
    // After the closing and then the posting: article 7 holds its carried
    // stock plus 5.00, and the posting's row follows the opening rows.
    void expectPostingAfterTheClosing() {
        ASSERT_TRUE(readArticle(7));
        EXPECT_EQ(field(TableId::Articulo, "ART:Entradas"), cents("20.50"));
        EXPECT_EQ(field(TableId::Articulo, "ART:Salidas"), 0);
        const std::vector<std::string> rows = ledger();
        ASSERT_EQ(rows.size(), 51u);
        for (size_t i = 0; i < 50; ++i) EXPECT_NE(rows[i].find("INVENTARIO INICIAL"), std::string::npos);
        EXPECT_NE(rows[50].find("[ENT-900]"), std::string::npos) << rows[50];
        EXPECT_TRUE(conn->integrityCheck().ok());
    }
};

TEST_F(ClosingStationTest, APostingStartedOnAnotherThreadDuringTheClosingWaitsAndIsKeptWhole) {
    storage::setDatabasePath(dir.file("talvor.db"));
    bool closed = false, posted = false, postedDuringClosing = false;
    threads::start(
        [&] {
            CallAt startPosting(ClosingPass::Articles, 25, [&] {
                threads::start([&] { posted = postFive(data::tables()); }, 0);
                // A long loop offers the turn; the closing must keep it.
                threads::maybeYield();
            });
            closed = RunClosing(ClosingDay(), &startPosting).done;
            postedDuringClosing = posted;
        },
        0);
    ASSERT_TRUE(threads::runUntil([&] { return closed && posted; }, std::chrono::seconds(20)));
    storage::setDatabasePath("talvor.db");
    EXPECT_FALSE(postedDuringClosing);
    EXPECT_TRUE(presenter.shown.empty());
    expectPostingAfterTheClosing();
}

TEST_F(ClosingStationTest, APostingOfAnotherStationDuringTheClosingWaitsAndIsKeptWhole) {
    int go[2], ready[2];
    ASSERT_EQ(pipe(go), 0);
    ASSERT_EQ(pipe(ready), 0);
    const pid_t kid = fork();
    ASSERT_GE(kid, 0);
    if (kid == 0) {
        char b;
        if (read(go[0], &b, 1) != 1) _exit(20);
        const std::unique_ptr<storage::Connection> opened = storage::Connection::open(dir.file("talvor.db"));
        storage::Connection& c = *opened;
        data::ThreadTableSet s(c);
        if (write(ready[1], "r", 1) != 1) _exit(21);
        // Waits for the closing's write lock, then posts.
        if (postFive(s)) _exit(0);
        for (const auto& m : presenter.shown) std::fprintf(stderr, "station: %d %s\n", m.number, m.text.c_str());
        _exit(22);
    }
    CallAt startPosting(ClosingPass::Articles, 25, [&] {
        ASSERT_EQ(write(go[1], "g", 1), 1);
        char b;
        ASSERT_EQ(read(ready[0], &b, 1), 1);  // the other station is about to post
    });
    EXPECT_TRUE(RunClosing(ClosingDay(), &startPosting, *set).done);
    int status = 0;
    waitpid(kid, &status, 0);
    for (int fd : {go[0], go[1], ready[0], ready[1]}) close(fd);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(presenter.shown.empty());
    expectPostingAfterTheClosing();
}

class ClosingKilled : public ClosingTest {
protected:
    // On the server a killed station's unit is rolled back by the server
    // itself: every point is tried on the same tables, which stay as they
    // were until the point past the commit, and then are wholly closed.
    void killedOnTheServer() {
        const std::string before = dump();
        for (const KillPoint& p : kKillPoints) {
            SCOPED_TRACE(p.at.step + " " + std::to_string(p.at.n));
            set.reset();
            presenter.watched = nullptr;
            conn.reset();
            const movements::test::Crash c = movements::test::RunAndKillAt(p.at, [] {
                movements::test::ChildTables child;
                return RunClosing(ClosingDay(), nullptr, child.tables).done ? 0 : 1;
            });
            ASSERT_EQ(c, movements::test::Crash::KilledAtStep);
            conn = storage::Connection::open(dir.file("talvor.db"));
            set = std::make_unique<data::ThreadTableSet>(*conn);
            EXPECT_TRUE(conn->integrityCheck().ok());
            if (!p.committed) {
                EXPECT_EQ(dump(), before);
                continue;
            }
            EXPECT_EQ(count(TableId::Kardex), 3000) << "one opening row for each article";
            EXPECT_EQ(count(TableId::Entradas), 0);
            EXPECT_EQ(count(TableId::DetEntradas), 0);
            EXPECT_EQ(count(TableId::Salidas), 0);
            EXPECT_EQ(count(TableId::DetSalidas), 0);
            EXPECT_EQ(count(TableId::Ordenes), 20) << "the orders not wholly received stay";
            ASSERT_TRUE(readArticle(3000));
            EXPECT_EQ(field(TableId::Articulo, "ART:Entradas"), cents("24.75")) << "its stock carried forward";
            EXPECT_EQ(field(TableId::Articulo, "ART:Salidas"), 0);
        }
    }
};

TEST_F(ClosingKilled, AtAnyPointTheDatabaseIsWholeAndWhollyBeforeOrWhollyAfter) {
    seed([](Seeder& s) {
        s.untouched();
        for (int i = 1; i <= 3000; ++i) s.article(i, "40.00", "15.25", "3.10", "0", "2.00", "1.00");
        for (int i = 0; i < 6000; ++i) s.ledgerRow(i % 3000 + 1, "ENT-" + std::to_string(i / 30), "1.00", "0");
        for (int f = 1; f <= 150; ++f) s.receipt(f, 3);
        for (int f = 1; f <= 150; ++f) s.issue(f, 3);
        for (int f = 1; f <= 40; ++f) s.order(f, f % 2 == 0 ? 100 : 60, {{"2.00", f % 2 == 0 ? "2.00" : "1.20"}});
    });
    if (conn->dialect().server()) {
        killedOnTheServer();
        return;
    }
    // The database as it is before, and as a closing leaves it (the watch's
    // stamps differ from run to run).
    set.reset();
    presenter.watched = nullptr;
    conn.reset();
    const fs::path reference = dir.file("reference.db");
    fs::copy_file(dir.file("talvor.db"), reference);
    auto open = [&](const fs::path& p) {
        conn = std::make_unique<storage::Connection>(p);
        set = std::make_unique<data::ThreadTableSet>(*conn);
    };
    auto shut = [&] {
        set.reset();
        conn.reset();
    };
    open(reference);
    const std::string before = dump();
    shut();
    const fs::path closedCopy = dir.file("closed.db");
    fs::copy_file(reference, closedCopy);
    open(closedCopy);
    ASSERT_TRUE(RunClosing(ClosingDay(), nullptr, *set).done);
    const std::string after = dump({"tv_version"});
    shut();
    ASSERT_NE(before, after);

    using movements::test::Crash;
    const fs::path db = dir.file("crash.db");
    storage::setDatabasePath(db);
    for (const KillPoint& p : kKillPoints) {
        SCOPED_TRACE(p.at.step + " " + std::to_string(p.at.n));
        for (const char* end : {"", "-wal", "-shm"}) fs::remove(db.string() + end);
        fs::copy_file(reference, db);
        const Crash c = movements::test::RunAndKillAt(p.at, [] {
            movements::test::ChildTables child;
            return RunClosing(ClosingDay(), nullptr, child.tables).done ? 0 : 1;
        });
        ASSERT_EQ(c, Crash::KilledAtStep);
        open(db);
        EXPECT_TRUE(conn->integrityCheck().ok());
        if (p.committed) EXPECT_EQ(dump({"tv_version"}), after);
        else EXPECT_EQ(dump(), before);
        shut();
    }
    storage::setDatabasePath("talvor.db");
}

}  // namespace
}  // namespace tv::reports::test
