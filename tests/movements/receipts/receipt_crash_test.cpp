// The receipt completion against crashes and other completions: a child
// process killed at several points of a posting of a few thousand lines,
// and two logical threads and two processes receiving the same articles.
#include <gtest/gtest.h>

#include "movements/receipts/receipt_posting.h"
#include "platform/threads/logical_thread.h"
#include "tests/movements/receipts/receipt_fixture.h"
#include "tests/movements/support/document_db.h"
#include "tests/movements/support/harness.h"

namespace tv::movements::receipts {
namespace {

using data::TableId;
using movements::test::Crash;
using movements::test::StepPoint;
using test::D;
using test::Enter;
using test::Line;
using test::Receipt;

constexpr int kArticles = 40;

class ReceiptUnderStress : public movements::test::DocumentDb {
protected:
    void SetUp() override {
        DocumentDb::SetUp();
        for (int a = 1; a <= kArticles; ++a) AddArticle({.noArt = a, .stock = Decimal(a), .average = D(100 * a)});
        AddRecord(TableId::Folios, {{"FOL:ENTRADAS", Value(1)}});
    }
};

// A receipt of 3,000 lines (with supplier prices and an order) is killed
// at points before, inside and after its unit: the database is whole every
// time, and wholly before the completion, or (once committed) wholly after.
TEST_F(ReceiptUnderStress, AProcessKilledWhilePostingLeavesTheReceiptWhollyBeforeOrAfter) {
    constexpr int kLines = 3000;
    AddRecord(TableId::Ordenes, {{"ORD:Folio", Value(9)}, {"ORD:TOTALARTICULO", Value(100)}});
    AddRecord(TableId::DetOrdenes, {{"DOR:ORDEN", Value(9)}, {"DOR:Articulo", Value(1)}, {"DOR:Cantidad", Value(100)}});
    Receipt r{.folio = 77, .supplier = "PROV1", .order = 9};
    for (int i = 0; i < kLines; ++i) r.lines.push_back({i % kArticles + 1, Decimal(1 + i % 3), D(150 + i % 7)});
    Enter(tables(), r, false);  // the lines are stored; the header is stored by the completion
    CloseDb();
    const std::string before = Dump();
    auto child = [&r] {
        movements::test::ChildTables c;
        Enter(c.tables, {.folio = r.folio, .supplier = r.supplier, .order = r.order}, false);
        return CompleteReceipt(c.tables) ? 0 : 1;
    };
    ExpectKilledAtEachLeavesItAsBefore(
        {StepPoint{"begin", 0}, StepPoint{"line", 1},
         StepPoint{"line", kLines / 2}, StepPoint{"line", kLines},
         StepPoint{"order", 0}, StepPoint{"folio", 0}, StepPoint{"header", 0},
         StepPoint{"commit", 0}},
        child, before);
    ASSERT_EQ(movements::test::RunAndKillAt({"committed", 0}, child), Crash::KilledAtStep);
    EXPECT_TRUE(IntegrityOk());
    EXPECT_EQ(Count(TableId::Kardex), kLines);
    EXPECT_EQ(Count(TableId::PreProv), kLines);
    EXPECT_EQ(Count(TableId::Entradas), 1);
    EXPECT_EQ(FolioCounter(tables(), kReceiptFolio), 78);
    EXPECT_TRUE(LedgerMatchesTotals());
}

// Receipts of the same articles completed by two logical threads, and by
// two processes, at once: every quantity arrives.
TEST_F(ReceiptUnderStress, TwoThreadsAndTwoProcessesLoseNoUpdate) {
    constexpr int kEach = 15;
    auto completeSome = [](data::ThreadTableSet& t, long long firstFolio, bool yield) {
        for (int i = 0; i < kEach; ++i) {
            Enter(t, {.folio = firstFolio + i, .lines = {{1, Decimal(1), D(200)}, {2, Decimal(2), D(300)}}});
            if (yield) threads::yieldNow();  // the other thread stores its lines meanwhile
            if (!CompleteReceipt(t)) return false;
            if (yield) threads::yieldNow();
        }
        return true;
    };
    CloseDb();
    bool a = false, b = false;
    ASSERT_TRUE(movements::test::RunOnThreads({[&] { a = completeSome(data::tables(), 1000, true); },
                                               [&] { b = completeSome(data::tables(), 2000, true); }}));
    EXPECT_TRUE(a);
    EXPECT_TRUE(b);
    const std::vector<int> codes = movements::test::RunInProcesses(2, [&](int i) {
        movements::test::ChildTables c;
        return completeSome(c.tables, 3000 + 1000 * i, false) ? 0 : 1;
    });
    EXPECT_EQ(codes, (std::vector<int>{0, 0}));
    EXPECT_EQ(ArticleField(1, "ART:Entradas"), Decimal(4 * kEach));
    EXPECT_EQ(ArticleField(2, "ART:Entradas"), Decimal(8 * kEach));
    EXPECT_EQ(Count(TableId::Entradas), 4 * kEach);
    EXPECT_EQ(FolioCounter(tables(), kReceiptFolio), 4000 + kEach);
    EXPECT_TRUE(LedgerMatchesTotals());
}

}  // namespace
}  // namespace tv::movements::receipts
