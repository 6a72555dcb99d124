// Logical threads and the database file itself: concurrent reservations on
// the threads' own table sets, a folder without write access, a damaged file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <chrono>
#include <fstream>
#include <set>

#include "data/transaction.h"

#include "data/thread_table_set.h"
#include "platform/threads/logical_thread.h"
#include "tests/data/data_fixture.h"

namespace tv::data::test {
namespace {

using T = TableId;

class StationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ErrorReporter::instance().setUp();
        scope_.emplace(presenter);
        ErrorReporter::instance().setFatalHandler([this](int n) { fatals.push_back(n); });
        storage::setDatabasePath(dir.file("talvor.db"));
    }
    void TearDown() override {
        storage::setDatabasePath("talvor.db");
        ErrorReporter::instance().setFatalHandler(nullptr);
        scope_.reset();
    }
    tv::test::ScratchDir dir;
    tv::test::WorkingDir wd{dir.path()};
    RecordingPresenter presenter;
    std::vector<int> fatals;

private:
    std::optional<ScopedPresenter> scope_;
};

TEST_F(StationTest, ReservationsFromTwoLogicalThreadsAtOnceGetDifferentNumbers) {
    long long numbers[2] = {0, 0};
    int results[2] = {-1, -1};
    bool done[2] = {false, false};
    int reserved = 0;
    const int codigo = decl(T::CatArticulos).fieldIndex("CAR:Codigo");
    const int nombre = decl(T::CatArticulos).fieldIndex("CAR:Descripcion");
    for (int i = 0; i < 2; ++i) {
        threads::start(
            [&, i] {
                // Each logical thread has its own table set and connection.
                TableGateway& g = CatArticulosTableGateway();
                results[i] = g.PrepareNewRecord();
                numbers[i] = tables().CatArticulos().number(codigo).toInt64();
                ++reserved;
                while (reserved < 2) threads::yieldNow();  // both reservations are held now
                tables().CatArticulos().set(nombre, Value("Hilo " + std::to_string(i)));
                results[i] += g.InsertRecord();
                done[i] = true;
            },
            0);
    }
    ASSERT_TRUE(threads::runUntil([&] { return done[0] && done[1]; }, std::chrono::seconds(20)));
    EXPECT_EQ(results[0], kDone);
    EXPECT_EQ(results[1], kDone);
    EXPECT_NE(numbers[0], numbers[1]);
    EXPECT_GT(numbers[0], 0);
    EXPECT_GT(numbers[1], 0);
    EXPECT_TRUE(presenter.shown.empty());

    storage::Connection check(dir.file("talvor.db"));
    ThreadTableSet set(check);
    EXPECT_EQ(set.gateway(T::CatArticulos).RecordCount(), 2);
}

TEST_F(StationTest, FolderWithoutWriteAccessOpensReadOnlyWithMessageTwo) {
    // (and a database that cannot be created at all ends the program: 12)
    {
        storage::Connection c(dir.file("talvor.db"));
        ThreadTableSet set(c);
        set.buffer(T::Marcas).set(1, Value("Marca"));
        ASSERT_EQ(set.gateway(T::Marcas).InsertRecord(), kDone);
    }
    // Root writes anywhere: the check runs in a child that gives its rights up.
    std::filesystem::create_directory(dir.file("vacio"));
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0555));
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        std::filesystem::permissions(e.path(), std::filesystem::perms(0444));
    std::filesystem::permissions(dir.file("vacio"), std::filesystem::perms(0555));
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(10);
        presenter.shown.clear();
        storage::Connection c(dir.file("talvor.db"));
        ThreadTableSet set(c);
        TableGateway& g = set.gateway(T::Marcas);
        if (g.ReadNext() != kDone) _exit(11);           // readable
        if (presenter.numbers() != std::vector<int>{2}) _exit(12);
        if (g.OPENMODE != kOpenReadOnlyShared) _exit(13);
        if (!fatals.empty()) _exit(14);
        set.buffer(T::Marcas).set(1, Value("Otra"));
        if (g.InsertRecord() == kDone) _exit(15);       // but not writable
        if (presenter.numbers() != (std::vector<int>{2, 4})) _exit(16);
        if (set.gateway(T::CatArticulos).PrepareNewRecord() == kDone) _exit(17);
        // Where the database cannot even be created, the program ends.
        presenter.shown.clear();
        fatals.clear();
        storage::Connection none(dir.file("vacio") / "talvor.db");
        ThreadTableSet empty(none);
        if (empty.gateway(T::Folios).ReadNext() != kUnusable) _exit(18);
        if (presenter.numbers() != std::vector<int>{12} || fatals != std::vector<int>{12}) _exit(19);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(StationTest, DamagedDatabaseLeadsToMessagesNotACrash) {
    {
        std::ofstream f(dir.file("talvor.db"), std::ios::binary);
        for (int i = 0; i < 4096; ++i) f.put(static_cast<char>(i * 37));
    }
    storage::Connection c(dir.file("talvor.db"));
    ThreadTableSet set(c);
    EXPECT_EQ(set.gateway(T::Kardex).ReadNext(), kUnusable);
    // Told the keys must be rebuilt; the rebuild cannot mend it: fatal.
    EXPECT_EQ(presenter.numbers(), (std::vector<int>{30, 29}));
    EXPECT_EQ(fatals, std::vector<int>{29});
}


TEST_F(StationTest, TwoProcessesAddingAtOnceStoreEveryRecordOnceWithDistinctNumbers) {
    {
        storage::Connection c(dir.file("talvor.db"));
        ThreadTableSet set(c);
        ASSERT_EQ(set.gateway(T::Kardex).UseOnDemand(), kDone);  // created before the race
    }
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    pid_t kids[2];
    for (int k = 0; k < 2; ++k) {
        kids[k] = fork();
        ASSERT_GE(kids[k], 0);
        if (kids[k] == 0) {
            char b;
            if (read(go[0], &b, 1) != 1) _exit(20);
            storage::Connection c(dir.file("talvor.db"));
            ThreadTableSet set(c);
            TableGateway& g = set.gateway(T::Kardex);
            const int art = decl(T::Kardex).fieldIndex("KAR:ARTICULO");
            for (int i = 0; i < 150; ++i) {
                set.buffer(T::Kardex).clear();
                set.buffer(T::Kardex).set(art, Value(k + 1));
                // Half of them reserved first, as a form does.
                if (i % 2 == 0 && g.PrepareNewRecord() != kDone) _exit(21);
                if (i % 2 == 0) set.buffer(T::Kardex).set(art, Value(k + 1));
                if (g.InsertRecord() != kDone) _exit(22);
            }
            _exit(presenter.shown.empty() ? 0 : 23);
        }
    }
    ASSERT_EQ(write(go[1], "gg", 2), 2);
    for (pid_t kid : kids) {
        int status = 0;
        waitpid(kid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    close(go[0]);
    close(go[1]);

    storage::Connection c(dir.file("talvor.db"));
    ThreadTableSet set(c);
    TableGateway& g = set.gateway(T::Kardex);
    std::set<long long> ids;
    int perArticle[3] = {0, 0, 0};
    const int id = decl(T::Kardex).fieldIndex("KAR:ID");
    const int art = decl(T::Kardex).fieldIndex("KAR:ARTICULO");
    g.SetPositionToStart();
    while (g.ReadNext() == kDone) {
        ids.insert(set.buffer(T::Kardex).number(id).toInt64());
        ++perArticle[set.buffer(T::Kardex).number(art).toInt64() % 3];
    }
    EXPECT_EQ(ids.size(), 300u);
    EXPECT_EQ(perArticle[1], 150);
    EXPECT_EQ(perArticle[2], 150);
    EXPECT_EQ(perArticle[0], 0);  // no blank reservation left behind
}

TEST_F(StationTest, ProcessKilledInsideAUnitLeavesASoundDatabaseWithoutIt) {
    {
        storage::Connection c(dir.file("talvor.db"));
        ThreadTableSet set(c);
        set.buffer(T::Fisico).set(2, Value("antes"));
        ASSERT_EQ(set.gateway(T::Fisico).InsertRecord(), kDone);
        ASSERT_EQ(set.gateway(T::DetFisico).UseOnDemand(), kDone);
    }
    pid_t kid = fork();
    ASSERT_GE(kid, 0);
    if (kid == 0) {
        storage::Connection c(dir.file("talvor.db"));
        ThreadTableSet set(c);
        DataTransaction tx(set);
        if (!tx.ok()) _exit(30);
        set.buffer(T::Fisico).clear();
        set.buffer(T::Fisico).set(2, Value("a medias"));
        set.gateway(T::Fisico).InsertRecord();
        for (int i = 0; i < 50; ++i) {
            set.buffer(T::DetFisico).clear();
            set.buffer(T::DetFisico).set(1, Value(2));
            set.gateway(T::DetFisico).InsertRecord();
        }
        kill(getpid(), SIGKILL);
        _exit(31);
    }
    int status = 0;
    waitpid(kid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    storage::Connection c(dir.file("talvor.db"));
    ASSERT_TRUE(c.integrityCheck().ok());
    ThreadTableSet set(c);
    EXPECT_EQ(set.gateway(T::Fisico).RecordCount(), 1);
    EXPECT_EQ(set.gateway(T::DetFisico).RecordCount(), 0);
    EXPECT_TRUE(presenter.shown.empty());
}

}  // namespace
}  // namespace tv::data::test
