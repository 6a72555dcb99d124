// Receipts posted while the database file is removed, or a backup is put in
// its place, under the running program: the posting says so, naming the
// file, and stores nothing; after a replacement the next receipts go into
// the file now at the path; the lines a form stored in the file that went
// away are not looked for in the new one.
#include <sqlite3.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "movements/receipts/receipt_posting.h"
#include "tests/movements/receipts/receipt_fixture.h"
#include "tests/movements/support/document_db.h"

namespace tv::movements {
namespace {

using data::TableId;
using receipts::test::Enter;
using receipts::test::Receipt;
using test::D;

class DatabaseFile : public test::DocumentDb {
protected:
    void SetUp() override {
        DocumentDb::SetUp();
        ASSERT_EQ(data::CreateAllTables(tables()), data::kDone);
        AddRecord(TableId::TipEntradas, {{"TEN:Descripcion", Value("COMPRA")}});
        AddRecord(TableId::Folios, {{"FOL:ENTRADAS", Value(100)}});
        for (int a = 1; a <= 3; ++a) AddArticle({.noArt = a, .stock = Decimal(10), .average = D(100)});
    }
    static Receipt ReceiptOf(long long folio) {
        return {.folio = folio, .type = 1, .lines = {{1, Decimal(2), D(150)}, {2, Decimal(1), D(90)}}};
    }
    // The last message's text, and none left.
    std::string Shown() {
        std::string t = presenter.empty() ? std::string() : presenter.last().text;
        presenter.clear();
        return t;
    }
    std::vector<long long> Folios() {
        std::vector<long long> out;
        for (const Record& r : Rows(TableId::Entradas))
            if (Get(r, "ENT:Folio").asNumber() != Decimal(0)) out.push_back(Get(r, "ENT:Folio").asNumber().toInt64());
        return out;
    }
    // A copy of the database as it is now, whole, in `to`.
    void Backup(const std::filesystem::path& to) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(to.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), SQLITE_OK);
        sqlite3_backup* b = sqlite3_backup_init(db, "main", tables().connection().db(), "main");
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(sqlite3_backup_step(b, -1), SQLITE_DONE);
        sqlite3_backup_finish(b);
        sqlite3_close(db);
    }
};

TEST_F(DatabaseFile, AReplacedFileIsSaidOnceAndTheNextReceiptsGoIntoTheNewOne) {
    const std::filesystem::path backup = dir.file("respaldo.db"), old = dir.file("anterior.db");
    Backup(backup);
    ASSERT_TRUE(receipts::CompleteReceipt((Enter(tables(), ReceiptOf(100)), tables())));
    LineTracker own(receipts::kReceiptLines);
    Enter(tables(), ReceiptOf(101));  // a receipt being typed in: its lines are stored
    for (const Record& l : ReadLines(tables(), receipts::kReceiptLines, Value(101))) own.AddStored(l);
    ASSERT_FALSE(own.Empty());
    ASSERT_EQ(::link(DbPath().c_str(), old.c_str()), 0);
    ASSERT_EQ(::rename(backup.c_str(), DbPath().c_str()), 0);

    EXPECT_FALSE(receipts::CompleteReceipt(tables(), &own));
    const std::string said = Shown();
    EXPECT_NE(said.find("reemplazado"), std::string::npos) << said;
    EXPECT_NE(said.find(DbPath().string()), std::string::npos) << said;
    // Given up: nothing of the new file is taken for its lines.
    ASSERT_TRUE(own.DeleteStored(tables()));
    EXPECT_TRUE(Folios().empty());

    ASSERT_TRUE(receipts::CompleteReceipt((Enter(tables(), ReceiptOf(102)), tables())));
    ASSERT_TRUE(receipts::CompleteReceipt((Enter(tables(), ReceiptOf(103)), tables())));
    EXPECT_TRUE(presenter.empty()) << Shown();
    EXPECT_EQ(Folios(), (std::vector<long long>{102, 103}));
    EXPECT_EQ(Count(TableId::DetEntradas), 4);
    EXPECT_TRUE(LedgerMatchesTotals());
    EXPECT_TRUE(IntegrityOk());
    CloseDb();
    // The file moved away holds what was stored in it, whole.
    std::filesystem::rename(old, DbPath());
    EXPECT_TRUE(IntegrityOk());
    EXPECT_EQ(Folios(), std::vector<long long>{100});
    EXPECT_EQ(Count(TableId::DetEntradas), 4);  // receipt 100's lines and 101's
}

TEST_F(DatabaseFile, WhileTheFileIsGoneNothingIsPostedAndNoNewFileIsMade) {
    const std::filesystem::path away = dir.file("fuera.db");
    Enter(tables(), ReceiptOf(100));
    ASSERT_EQ(::rename(DbPath().c_str(), away.c_str()), 0);
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(receipts::CompleteReceipt(tables()));
        const std::string said = Shown();
        EXPECT_NE(said.find("ya no está"), std::string::npos) << said;
    }
    EXPECT_FALSE(std::filesystem::exists(DbPath()));
    // Put back, the same form posts its receipt once.
    ASSERT_EQ(::rename(away.c_str(), DbPath().c_str()), 0);
    EXPECT_TRUE(receipts::CompleteReceipt(tables()));
    EXPECT_TRUE(presenter.empty()) << Shown();
    EXPECT_EQ(Folios(), std::vector<long long>{100});
    EXPECT_TRUE(LedgerMatchesTotals());
}

}  // namespace
}  // namespace tv::movements
