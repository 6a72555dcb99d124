// The count adjustment against crashes and other postings: a child process
// killed at several points of the adjustment of a count of some thousands of
// lines, and two logical threads and two processes working on the same
// articles as the adjustment runs.
#include <gtest/gtest.h>

#include "movements/common/stock.h"
#include "movements/counts/count_adjustment.h"
#include "platform/threads/logical_thread.h"
#include "tests/movements/counts/count_fixture.h"
#include "tests/movements/support/harness.h"

namespace tv::movements::counts {
namespace {

using data::TableId;
using movements::test::Crash;
using movements::test::StepPoint;
using test::CountSeed;
using test::D;
using test::StoreCount;

constexpr int kArticles = 50;

class CountUnderStress : public movements::test::DocumentDb {
protected:
    void SetUp() override {
        DocumentDb::SetUp();
        for (int a = 1; a <= kArticles; ++a) AddArticle({.noArt = a, .stock = Decimal(a), .average = D(100 * a)});
    }
    // The counted quantity of article a in the test counts.
    static Decimal Counted(int a) { return Decimal(2 * a + 1); }
};

// Another posting on the same articles: one unit receiving `quantity` of `article`.
bool Receive(data::ThreadTableSet& t, int article, const Decimal& quantity) {
    return RunAsOneUnit(t, {TableId::Articulo}, [&](Posting& p) {
        if (!ReadArticle(p, Decimal(article))) return p.RefuseWith("x", "no article");
        if (!AddToArticle(p, "ART:Entradas", quantity) || !WriteArticle(p)) return false;
        LedgerRow row;
        row.article = Decimal(article);
        row.document = "ENT-1";
        row.in = quantity;
        row.stock = StockOnHand(p.Buffer(TableId::Articulo));
        return AddLedgerRow(p, row);
    });
}

// A count of 3,000 lines is killed at points before, inside and after its
// unit: the database is whole every time, and wholly before the adjustment,
// or (once committed) wholly after it.
TEST_F(CountUnderStress, AProcessKilledWhileAdjustingLeavesTheCountWhollyBeforeOrAfter) {
    constexpr int kLines = 3000;
    CountSeed c{.id = 8, .date = 70000};
    for (int i = 0; i < kLines; ++i) {
        // Each article is counted many times; its last line gives 2a + 1.
        const int a = i % kArticles + 1;
        c.lines.push_back({a, i + kArticles >= kLines ? Counted(a) : Decimal(i % 7)});
    }
    StoreCount(tables(), c);
    CloseDb();
    const std::string before = Dump();
    auto child = [] {
        movements::test::ChildTables t;
        return AdjustInventory(t.tables, 8).applied ? 0 : 1;
    };
    ExpectKilledAtEachLeavesItAsBefore(
        {StepPoint{"begin", 0}, StepPoint{"line", 1},
         StepPoint{"line", kLines / 2}, StepPoint{"line", kLines},
         StepPoint{"commit", 0}},
        child, before);
    ASSERT_EQ(movements::test::RunAndKillAt({"committed", 0}, child), Crash::KilledAtStep);
    EXPECT_TRUE(IntegrityOk());
    EXPECT_GT(Count(TableId::Kardex), kArticles);
    for (int a = 1; a <= kArticles; ++a) EXPECT_EQ(StockOnHand(*Article(a)), Counted(a)) << a;
    EXPECT_TRUE(LedgerMatchesTotals());
}

// While the adjustment runs, receipts of the same articles are posted on
// another logical thread, and in another process: each waits for the other
// (no update is lost), and the stock ends as the count set it plus what was
// received after it.
TEST_F(CountUnderStress, ReceiptsPostedMeanwhileAreNotLost) {
    CountSeed c{.id = 3};
    for (int a = 1; a <= kArticles; ++a) c.lines.push_back({a, Counted(a)});
    StoreCount(tables(), c);
    constexpr int kReceipts = 20;
    // Receipts of articles 1..kReceipts, one unit each, the turn given away
    // between them.
    auto receiveAll = [](data::ThreadTableSet& t, bool yield) {
        for (int a = 1; a <= kReceipts; ++a) {
            if (!Receive(t, a, Decimal(1))) return false;
            if (yield) threads::yieldNow();
        }
        return true;
    };
    // The stock each article must end with: counted, plus 1 for each
    // receipt of it whose row came after the adjustment's row.
    auto check = [&](int receiptsPerArticle) {
        std::vector<int> after(kArticles + 1, 0);
        int receipts = 0;
        for (const Record& k : Rows(TableId::Kardex)) {
            const int a = static_cast<int>(Get(k, "KAR:ARTICULO").asNumber().toInt64());
            if (std::string(Get(k, "KAR:Documento").asText()).rfind("ENT-", 0) == 0) {
                ++after[a];
                ++receipts;
            } else {
                after[a] = 0;  // the adjustment set the stock here
            }
        }
        EXPECT_EQ(receipts, receiptsPerArticle * kReceipts);
        for (int a = 1; a <= kArticles; ++a)
            EXPECT_EQ(StockOnHand(*Article(a)), Counted(a) + Decimal(after[a])) << a;
        EXPECT_TRUE(LedgerMatchesTotals());
    };

    CloseDb();
    bool adjusted = false, received = false;
    ASSERT_TRUE(movements::test::RunOnThreads({[&] {
                                                   // A few receipts go first, the rest after.
                                                   for (int i = 0; i < 5; ++i) threads::yieldNow();
                                                   adjusted = AdjustInventory(data::tables(), 3).applied;
                                               },
                                               [&] { received = receiveAll(data::tables(), true); }}));
    EXPECT_TRUE(adjusted);
    EXPECT_TRUE(received);
    check(1);

    CloseDb();
    const std::vector<int> codes = movements::test::RunInProcesses(2, [&](int i) {
        movements::test::ChildTables t;
        if (i == 0) return AdjustInventory(t.tables, 3).applied ? 0 : 1;
        return receiveAll(t.tables, false) ? 0 : 1;
    });
    EXPECT_EQ(codes, (std::vector<int>{0, 0}));
    check(2);
}

}  // namespace
}  // namespace tv::movements::counts
