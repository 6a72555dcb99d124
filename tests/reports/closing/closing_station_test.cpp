// The closing among other workers: a posting on another logical thread or
// in another process during the closing, and a closing killed at any point.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "platform/threads/logical_thread.h"
#include "reports/closing/closing.h"
#include "tests/reports/closing/closing_fixture.h"

namespace tv::reports::test {
namespace {

namespace fs = std::filesystem;
const long kToday = dateFromYmd(2025, 4, 1);

// Calls `at` once, when the closing reaches record `when` of `pass`.
struct CallAt : ClosingProgress {
    ClosingPass pass;
    int64_t when;  // 0: as the pass starts
    std::function<void()> at;
    CallAt(ClosingPass p, int64_t w, std::function<void()> f) : pass(p), when(w), at(std::move(f)) {}
    void passStarted(ClosingPass p, int64_t) override {
        if (p == pass && when == 0) at();
    }
    void advanced(ClosingPass p, int64_t done) override {
        if (p == pass && done == when) at();
    }
};

// A posting as a document's completion makes it: in one unit, 5.00 more
// received of article 7 and its ledger row.
bool postFive(data::ThreadTableSet& s, std::chrono::milliseconds wait) {
    const auto& art = data::decl(TableId::Articulo);
    data::DataTransaction tx(s, wait);
    if (!tx.ok()) return false;
    Record& a = s.Articulo();
    a.clear();
    a.setRaw(art.fieldIndex("ART:NoArt"), 7);
    if (s.ArticuloTableGateway().ReadByKey("ART:KeyNoArt") != data::kDone) return false;
    const int entradas = art.fieldIndex("ART:Entradas");
    a.setRaw(entradas, a.raw(entradas) + cents("5.00"));
    if (s.ArticuloTableGateway().UpdateRecord() != data::kDone) return false;
    Seeder(s).put(TableId::Kardex, {{"KAR:ARTICULO", 7LL}, {"KAR:Documento", "ENT-900"}, {"KAR:Entrada", dec("5.00")}});
    return tx.commit();
}

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
                threads::start([&] { posted = postFive(data::tables(), std::chrono::seconds(10)); }, 0);
                // A long loop offers the turn; the closing must keep it.
                threads::maybeYield();
            });
            closed = RunClosing(kToday, &startPosting).done;
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
        storage::Connection c(dir.file("talvor.db"));
        data::ThreadTableSet s(c);
        if (write(ready[1], "r", 1) != 1) _exit(21);
        // Waits for the closing's write lock, then posts.
        _exit(postFive(s, std::chrono::seconds(30)) ? 0 : 22);
    }
    CallAt startPosting(ClosingPass::Articles, 25, [&] {
        ASSERT_EQ(write(go[1], "g", 1), 1);
        char b;
        ASSERT_EQ(read(ready[0], &b, 1), 1);  // the other station is about to post
    });
    EXPECT_TRUE(RunClosing(kToday, &startPosting, *set).done);
    int status = 0;
    waitpid(kid, &status, 0);
    for (int fd : {go[0], go[1], ready[0], ready[1]}) close(fd);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(presenter.shown.empty());
    expectPostingAfterTheClosing();
}

TEST_F(ClosingTest, KilledAtAnyPointTheDatabaseIsWholeAndWhollyBeforeOrWhollyAfter) {
    seed([](Seeder& s) {
        s.untouched();
        for (int i = 1; i <= 3000; ++i) s.article(i, "40.00", "15.25", "3.10", "0", "2.00", "1.00");
        for (int i = 0; i < 6000; ++i) s.ledgerRow(i % 3000 + 1, "ENT-" + std::to_string(i / 30), "1.00", "0");
        for (int f = 1; f <= 150; ++f) s.receipt(f, 3);
        for (int f = 1; f <= 150; ++f) s.issue(f, 3);
        for (int f = 1; f <= 40; ++f) s.order(f, f % 2 == 0 ? 100 : 60, {{"2.00", f % 2 == 0 ? "2.00" : "1.20"}});
    });
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
    ASSERT_TRUE(RunClosing(kToday, nullptr, *set).done);
    const std::string after = dump({"tv_version"});
    shut();
    ASSERT_NE(before, after);

    struct Point {
        const char* where;
        ClosingPass pass;
        int64_t when;  // 0: as the pass starts; -1: once the closing has returned
    };
    const Point points[] = {
        {"ledger, before it is emptied", ClosingPass::Ledger, 0},
        {"ledger emptied", ClosingPass::Ledger, 6000},
        {"receipts, midway", ClosingPass::Receipts, 75},
        {"issues, first", ClosingPass::Issues, 1},
        {"orders, midway", ClosingPass::Orders, 20},
        {"articles, first", ClosingPass::Articles, 1},
        {"articles, midway", ClosingPass::Articles, 1500},
        {"articles, all written, before the commit", ClosingPass::Articles, 3000},
        {"after the commit", ClosingPass::Articles, -1},
    };
    for (const Point& p : points) {
        SCOPED_TRACE(p.where);
        const fs::path db = dir.file("crash.db");
        for (const char* end : {"", "-wal", "-shm"}) fs::remove(db.string() + end);
        fs::copy_file(reference, db);
        const pid_t kid = fork();
        ASSERT_GE(kid, 0);
        if (kid == 0) {
            storage::Connection c(db);
            data::ThreadTableSet s(c);
            CallAt die(p.pass, p.when, [] { kill(getpid(), SIGKILL); });
            const bool done = RunClosing(kToday, &die, s).done;
            if (p.when == -1 && done) kill(getpid(), SIGKILL);
            _exit(done ? 40 : 41);  // not killed: the point was never reached
        }
        int status = 0;
        waitpid(kid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
        open(db);
        EXPECT_TRUE(conn->integrityCheck().ok());
        if (p.when == -1) EXPECT_EQ(dump({"tv_version"}), after);
        else EXPECT_EQ(dump(), before);
        shut();
    }
}

}  // namespace
}  // namespace tv::reports::test
