// Every table made at the program's start in one unit of work, a busy
// database that never ends the program, a full disk said as such, and an
// empty or removed database file said as such.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <chrono>
#include <string>
#include <vector>

#include "data/transaction.h"
#include "tests/data/data_fixture.h"

namespace tv::data::test {
namespace {

using namespace std::chrono_literals;
using T = TableId;

std::vector<std::string> storedTables(storage::Connection& c) {
    std::vector<std::string> out;
    sqlite3_stmt* s = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(c.db(),
                                 "SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'tv\\_%' "
                                 "ESCAPE '\\' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name",
                                 -1, &s, nullptr),
              SQLITE_OK);
    while (sqlite3_step(s) == SQLITE_ROW) out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
    sqlite3_finalize(s);
    return out;
}

std::vector<std::string> declaredTables() {
    std::vector<std::string> out;
    // A thread's own tables are made on its connection, not shared.
    for (const TableDecl& d : tableDecls())
        if (!d.aliasOf && !d.threadPrivate) out.push_back(d.storageName);
    std::sort(out.begin(), out.end());
    return out;
}

// Refuses to create the table named in `blocked` (a failure midway).
int refuseOne(void* blocked, int action, const char* a1, const char*, const char*, const char*) {
    if (action == SQLITE_CREATE_TABLE && a1 != nullptr && *static_cast<std::string*>(blocked) == a1)
        return SQLITE_DENY;
    return SQLITE_OK;
}

TEST_F(DataTest, EveryTableIsMadeInOneUnitOfWork) {
    // The last table cannot be made: the unit fails and none is left.
    std::string blocked;
    for (const TableDecl& d : tableDecls())
        if (!d.aliasOf && !d.threadPrivate) blocked = d.storageName;
    sqlite3_set_authorizer(conn->db(), refuseOne, &blocked);
    EXPECT_EQ(CreateAllTables(*set), kNotDone);
    sqlite3_set_authorizer(conn->db(), nullptr, nullptr);
    EXPECT_TRUE(storedTables(*conn).empty());
    // A table that the failed unit had made is made again at its first use.
    set->buffer(T::Marcas).clear();
    setText(T::Marcas, "MAR:Marca", "Acme");
    EXPECT_EQ(set->gateway(T::Marcas).InsertRecord(), kDone);

    EXPECT_EQ(CreateAllTables(*set), kDone);
    EXPECT_EQ(storedTables(*conn), declaredTables());
    EXPECT_TRUE(presenter.shown.empty());
    EXPECT_TRUE(fatals.empty());
}

// Another station holding the write lock: the start says so and goes on, a
// table first used meanwhile says so too (never the end of the program),
// and once every table exists, nobody's lock matters to a first use.
TEST_F(DataTest, BusyDatabaseNeverEndsTheProgram) {
    Station other = station();
    {
        storage::Transaction hold(*other.conn);
        ASSERT_TRUE(hold.ok());
        conn->setLockTimeout(30ms);
        EXPECT_EQ(CreateAllTables(*set), kNotDone);
        EXPECT_EQ(presenter.numbers(), std::vector<int>{24});
        presenter.shown.clear();
        EXPECT_EQ(set->gateway(T::Marcas).ReadNext(), kUnusable);
        EXPECT_EQ(presenter.numbers(), std::vector<int>{24});
        EXPECT_TRUE(fatals.empty());
    }
    presenter.shown.clear();
    EXPECT_EQ(set->gateway(T::Marcas).ReadNext(), kNotDone) << "the next use makes it";
    EXPECT_EQ(CreateAllTables(*set), kDone);

    storage::Transaction hold(*other.conn);
    ASSERT_TRUE(hold.ok());
    EXPECT_EQ(CreateAllTables(*set), kDone) << "nothing to write";
    Station third = station();
    third.conn->setLockTimeout(30ms);
    for (const TableDecl& d : tableDecls()) {
        SCOPED_TRACE(d.label);
        EXPECT_NE(third.set->gateway(d.id).ReadNext(), kUnusable);
    }
    EXPECT_TRUE(presenter.shown.empty());
    EXPECT_TRUE(fatals.empty());
}

// An empty file where the database should be is said to be empty (the
// program cannot work on it and ends) and stays as it was; a database
// removed under the running program is said to be gone to a window opened
// then, which goes back without ending the program; one put in its place is
// said to be new at the first write, and used from then on.
TEST_F(DataTest, AnEmptyOrRemovedDatabaseFileIsSaidAsSuch) {
    {
        const std::filesystem::path empty = dir.file("vacio.db");
        std::ofstream(empty).close();
        storage::Connection c(empty);
        ThreadTableSet tables(c);
        EXPECT_EQ(tables.gateway(T::Marcas).ReadNext(), kUnusable);
        ASSERT_EQ(presenter.numbers(), std::vector<int>{26});
        EXPECT_NE(presenter.shown[0].text.find("está vacío"), std::string::npos) << presenter.shown[0].text;
        EXPECT_EQ(fatals, std::vector<int>{26});
        EXPECT_EQ(std::filesystem::file_size(empty), 0u);
    }
    presenter.shown.clear();
    fatals.clear();
    ASSERT_EQ(CreateAllTables(*set), kDone);
    std::filesystem::remove(dir.file("talvor.db"));
    Station window = station();
    EXPECT_EQ(window.set->gateway(T::Marcas).ReadNext(), kUnusable);
    ASSERT_EQ(presenter.numbers(), std::vector<int>{1});
    EXPECT_NE(presenter.shown[0].text.find("ya no está"), std::string::npos) << presenter.shown[0].text;
    EXPECT_TRUE(fatals.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("talvor.db")));

    // Another database put in its place: the first new record says so, the
    // next one is made in the file now there.
    {
        storage::Connection other(dir.file("otra.db"));
        ThreadTableSet tables(other);
        ASSERT_EQ(CreateAllTables(tables), kDone);
    }
    std::filesystem::rename(dir.file("otra.db"), dir.file("talvor.db"));
    presenter.shown.clear();
    TableGateway& g = set->gateway(T::Marcas);
    EXPECT_EQ(g.PrepareNewRecord(), kNotDone);
    ASSERT_EQ(presenter.numbers(), std::vector<int>{4});
    EXPECT_NE(presenter.shown[0].text.find("reemplazado"), std::string::npos) << presenter.shown[0].text;
    EXPECT_EQ(g.PrepareNewRecord(), kDone);
    EXPECT_EQ(g.InsertRecord(), kDone);
    EXPECT_EQ(g.RecordCount(), 1);
    EXPECT_TRUE(fatals.empty());
}

// A full disk: the message says so, for an insert, a reservation and a unit
// of work alike, and nobody is asked to number again.
TEST_F(DataTest, FullDiskIsSaidAsSuch) {
    TableGateway& g = set->gateway(T::CatArticulos);
    ASSERT_EQ(g.UseOnDemand(), kDone);
    ASSERT_TRUE(conn->exec("PRAGMA max_page_count=" + std::to_string([&] {
                               sqlite3_stmt* s = nullptr;
                               sqlite3_prepare_v2(conn->db(), "PRAGMA page_count", -1, &s, nullptr);
                               sqlite3_step(s);
                               int n = sqlite3_column_int(s, 0);
                               sqlite3_finalize(s);
                               return n;
                           }()))
                    .ok());
    // Asked to number again, the answer is No (so that a wrong question ends).
    presenter.onShow = [](int n) -> std::optional<Answer> {
        if (n == 35) return Answer::No;
        return std::nullopt;
    };
    auto saysDiskFull = [&] {
        ASSERT_EQ(presenter.numbers(), std::vector<int>{4});
        EXPECT_NE(presenter.shown[0].text.find("Disco lleno"), std::string::npos) << presenter.shown[0].text;
        EXPECT_EQ(presenter.shown[0].depth, 0);
        presenter.shown.clear();
    };
    {
        SCOPED_TRACE("reservation");
        // Blank reserved records fill the last free bytes.
        int r = kDone;
        for (int i = 0; i < 20000 && r == kDone; ++i) {
            r = g.PrepareNewRecord();
            if (r == kDone) r = g.InsertRecord();
        }
        EXPECT_EQ(r, kNotDone);
        EXPECT_EQ(g.AUTOINCDONE, 0);
        saysDiskFull();
    }
    {
        SCOPED_TRACE("a table first made now");
        EXPECT_EQ(set->gateway(T::Marcas).ReadNext(), kUnusable);
        ASSERT_EQ(presenter.numbers(), std::vector<int>{24});
        EXPECT_NE(presenter.shown[0].text.find("Disco lleno"), std::string::npos) << presenter.shown[0].text;
        presenter.shown.clear();
    }
    {
        SCOPED_TRACE("insert");
        set->buffer(T::CatArticulos).clear();
        setText(T::CatArticulos, "CAR:Descripcion", "Una categoría más");
        EXPECT_EQ(g.InsertRecord(), kNotDone);
        saysDiskFull();
    }
    {
        SCOPED_TRACE("unit of work");
        DataTransaction tx(*set);
        ASSERT_TRUE(tx.ok());
        set->buffer(T::CatArticulos).clear();
        // The record that did not fit just now (a shorter one may still find
        // a few bytes a completed reservation left).
        setText(T::CatArticulos, "CAR:Descripcion", "Una categoría más");
        EXPECT_EQ(g.InsertRecord(), kNotDone);
        EXPECT_TRUE(presenter.shown.empty()) << "nothing is shown while the lock is held";
        EXPECT_FALSE(tx.commit());
        EXPECT_EQ(tx.status().code, storage::kDiskFull);
        saysDiskFull();
    }
    EXPECT_TRUE(fatals.empty());
}

}  // namespace
}  // namespace tv::data::test
