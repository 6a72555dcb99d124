// The order completion against crashes and other completions: a child
// process killed at several points of a large completion, and two logical
// threads and two processes ordering the same articles.
#include <gtest/gtest.h>

#include "movements/orders/order_posting.h"
#include "platform/threads/logical_thread.h"
#include "tests/movements/orders/order_fixture.h"
#include "tests/movements/support/document_db.h"
#include "tests/movements/support/harness.h"

namespace tv::movements::orders {
namespace {

using data::TableId;
using movements::test::Crash;
using movements::test::StepPoint;
using test::D;
using test::Enter;
using test::Order;

constexpr int kArticles = 40;

class OrderUnderStress : public movements::test::DocumentDb {
protected:
    void SetUp() override {
        DocumentDb::SetUp();
        for (int a = 1; a <= kArticles; ++a) AddArticle({.noArt = a});
        AddRecord(TableId::Folios, {{"FOL:ORDENCOMPRA", Value(1)}});
    }
};

// An order of 3,000 lines is killed at points before, inside and after its
// unit: the database is whole every time, and wholly before the
// completion, or (once committed) wholly after.
TEST_F(OrderUnderStress, AProcessKilledWhilePostingLeavesTheOrderWhollyBeforeOrAfter) {
    constexpr int kLines = 3000;
    Order o{.folio = 77, .supplier = "PROV1"};
    for (int i = 0; i < kLines; ++i) o.lines.push_back({i % kArticles + 1, Decimal(1 + i % 3), D(150 + i % 7)});
    Enter(tables(), o, false);  // the lines are stored; the header is stored by the completion
    CloseDb();
    const std::string before = Dump();
    auto child = [&o] {
        movements::test::ChildTables c;
        Enter(c.tables, {.folio = o.folio, .supplier = o.supplier}, false);
        return CompleteOrder(c.tables) ? 0 : 1;
    };
    ExpectKilledAtEachLeavesItAsBefore(
        {StepPoint{"begin", 0}, StepPoint{"line", 1},
         StepPoint{"line", kLines / 2}, StepPoint{"line", kLines},
         StepPoint{"folio", 0}, StepPoint{"header", 0}, StepPoint{"commit", 0}},
        child, before);
    ASSERT_EQ(movements::test::RunAndKillAt({"committed", 0}, child), Crash::KilledAtStep);
    EXPECT_TRUE(IntegrityOk());
    EXPECT_EQ(Count(TableId::Ordenes), 1);
    EXPECT_EQ(FolioCounter(tables(), kOrderFolio), 78);
    Decimal ordered;
    for (int a = 1; a <= kArticles; ++a) ordered += ArticleField(a, "ART:Pedido");
    EXPECT_EQ(ordered, TotalsOf(ReadLines(tables(), kOrderLines, Value(77))).quantity);
    EXPECT_EQ(ordered, Decimal(6000));  // 1000 lines each of 1, 2 and 3
}

// Orders of the same articles completed by two logical threads, and by two
// processes, at once: every ordered quantity arrives.
TEST_F(OrderUnderStress, TwoThreadsAndTwoProcessesLoseNoUpdate) {
    constexpr int kEach = 15;
    auto completeSome = [](data::ThreadTableSet& t, long long firstFolio, bool yield) {
        for (int i = 0; i < kEach; ++i) {
            Enter(t, {.folio = firstFolio + i, .lines = {{1, Decimal(1), D(200)}, {2, Decimal(2), D(300)}}});
            if (yield) threads::yieldNow();  // the other thread stores its lines meanwhile
            if (!CompleteOrder(t)) return false;
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
    EXPECT_EQ(ArticleField(1, "ART:Pedido"), Decimal(4 * kEach));
    EXPECT_EQ(ArticleField(2, "ART:Pedido"), Decimal(8 * kEach));
    EXPECT_EQ(Count(TableId::Ordenes), 4 * kEach);
    EXPECT_EQ(FolioCounter(tables(), kOrderFolio), 4000 + kEach);
}

}  // namespace
}  // namespace tv::movements::orders
