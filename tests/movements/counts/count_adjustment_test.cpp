// The count adjustment without any window: what each line does to its
// article and to the ledger, articles counted twice or gone, and the run
// as one unit of work (a failure anywhere leaves every table as it was).
#include <gtest/gtest.h>

#include "movements/common/stock.h"
#include "movements/counts/count_adjustment.h"
#include "platform/types/date.h"
#include "platform/types/text.h"
#include "tests/movements/counts/count_fixture.h"
#include "tests/movements/support/harness.h"

namespace tv::movements::counts {
namespace {

using data::TableId;
using test::CountSeed;
using test::D;
using test::StoreCount;

class CountAdjustment : public movements::test::DocumentDb {
protected:
    std::string Text(const Record& r, const char* field) { return std::string(rtrim(Get(r, field).asText())); }
    Decimal Number(const Record& r, const char* field) { return Get(r, field).asNumber(); }
    // Sets an article's totals as earlier documents left them.
    void SetTotals(long long noArt, const Decimal& receipts, const Decimal& issues) {
        data::TableGateway& g = tables().gateway(TableId::Articulo);
        const data::TableDecl& d = g.declaration();
        g.BUFFER.clear();
        g.BUFFER.set(d.fieldIndex("ART:NoArt"), Value(noArt));
        ASSERT_EQ(g.ReadByKey("ART:KeyNoArt"), data::kDone);
        g.BUFFER.set(d.fieldIndex("ART:Entradas"), Value(receipts));
        g.BUFFER.set(d.fieldIndex("ART:Salidas"), Value(issues));
        ASSERT_EQ(g.UpdateRecord(), data::kDone);
    }
};

// One line against one article: the totals it moves and the row it writes.
TEST_F(CountAdjustment, EachLineBringsTheStockToTheCountedQuantity) {
    struct Case {
        const char* what;
        Decimal opening, receipts, issues, counted;
        Decimal newReceipts, newIssues;
        bool row;
        Decimal in, out;
    };
    const Case cases[] = {
        {"above stock", Decimal(0), D(1500), D(500), D(1250), D(1750), D(500), true, D(250), Decimal(0)},
        {"below stock", Decimal(10), Decimal(0), Decimal(0), Decimal(3), Decimal(0), Decimal(7), true, Decimal(0),
         Decimal(7)},
        {"equal to stock", Decimal(4), Decimal(6), Decimal(2), Decimal(8), Decimal(6), Decimal(2), false, {}, {}},
        {"counted none", Decimal(4), Decimal(0), Decimal(0), Decimal(0), Decimal(0), Decimal(4), true, Decimal(0),
         Decimal(4)},
        {"from a negative stock", Decimal(0), Decimal(1), Decimal(3), Decimal(5), Decimal(8), Decimal(3), true,
         Decimal(7), Decimal(0)},
        {"a fraction below", Decimal(2), D(50), Decimal(0), D(1), D(50), D(249), true, Decimal(0), D(249)},
    };
    long long id = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ++id;
        AddArticle({.noArt = id, .stock = c.opening, .average = D(1234)});
        SetTotals(id, c.receipts, c.issues);
        StoreCount(tables(), {.id = id, .date = dateFromYmd(2024, 5, 2), .lines = {{id, c.counted}}});
        const long long rowsBefore = Count(TableId::Kardex);
        const AdjustmentResult r = AdjustInventory(tables(), id);
        EXPECT_TRUE(r.applied);
        EXPECT_TRUE(r.countFound);
        EXPECT_EQ(r.lines, 1);
        EXPECT_EQ(r.rows, c.row ? 1 : 0);
        EXPECT_EQ(ArticleField(id, "ART:Entradas"), c.newReceipts);
        EXPECT_EQ(ArticleField(id, "ART:Salidas"), c.newIssues);
        EXPECT_EQ(ArticleField(id, "ART:ExistenciaAnterior"), c.opening);  // never touched
        EXPECT_EQ(StockOnHand(*Article(id)), c.counted);
        ASSERT_EQ(Count(TableId::Kardex), rowsBefore + (c.row ? 1 : 0));
        if (!c.row) continue;
        const Record k = Rows(TableId::Kardex).back();
        EXPECT_EQ(Number(k, "KAR:ARTICULO"), Decimal(id));
        EXPECT_EQ(Number(k, "KAR:Entrada"), c.in);
        EXPECT_EQ(Number(k, "KAR:Salida"), c.out);
        EXPECT_EQ(Number(k, "KAR:Existencia"), c.counted);
    }
    EXPECT_TRUE(presenter.empty()) << presenter.last().text;
}

// Count 17 of 31 March 2009: its rows name the count, the adjustment, the
// day number and the article's average cost, whatever the ledger buffer
// held before; a count without a date gives rows without one.
TEST_F(CountAdjustment, TheLedgerRowsCarryTheCountAndTheArticlesAverageCost) {
    AddArticle({.noArt = 1, .stock = Decimal(10), .average = D(1575)});
    AddArticle({.noArt = 2, .stock = Decimal(10), .average = Decimal(0)});
    StoreCount(tables(), {.id = 17, .date = dateFromYmd(2009, 3, 31), .lines = {{1, Decimal(12)}, {2, Decimal(9)}}});
    StoreCount(tables(), {.id = -3, .lines = {{1, Decimal(11)}}});
    // What an earlier posting on this thread left in the ledger buffer.
    Record& k = tables().buffer(TableId::Kardex);
    k.set(k.layout().indexOf("KAR:COSTOUNITARIO"), Value(D(99900)));
    k.set(k.layout().indexOf("KAR:COSTOPROMEDIO"), Value(D(88800)));
    ASSERT_TRUE(AdjustInventory(tables(), 17).applied);
    ASSERT_TRUE(AdjustInventory(tables(), -3).applied);
    const std::vector<Record> rows = Rows(TableId::Kardex);
    ASSERT_EQ(rows.size(), 3u);
    for (const Record& row : {rows[0], rows[1]}) {
        EXPECT_EQ(Text(row, "KAR:Documento"), "17");
        EXPECT_EQ(Text(row, "KAR:Concepto"), "AJUSTE POR INVENTARI");
        EXPECT_EQ(Text(row, "KAR:Referencia"), "IF76064");
        EXPECT_EQ(Number(row, "KAR:Fecha"), Decimal(76064));
    }
    EXPECT_EQ(Number(rows[0], "KAR:COSTOUNITARIO"), D(1575));
    EXPECT_EQ(Number(rows[0], "KAR:COSTOPROMEDIO"), D(1575));
    EXPECT_EQ(Number(rows[1], "KAR:COSTOUNITARIO"), Decimal(0));
    EXPECT_EQ(Number(rows[1], "KAR:COSTOPROMEDIO"), Decimal(0));
    EXPECT_EQ(Number(rows[1], "KAR:Salida"), Decimal(1));
    EXPECT_EQ(Text(rows[2], "KAR:Documento"), "-3");
    EXPECT_EQ(Text(rows[2], "KAR:Referencia"), "IF0");
    EXPECT_EQ(Number(rows[2], "KAR:Fecha"), Decimal(0));
    EXPECT_EQ(Number(rows[2], "KAR:Salida"), Decimal(1));
    EXPECT_EQ(Number(rows[2], "KAR:Existencia"), Decimal(11));
    EXPECT_TRUE(LedgerMatchesTotals());
}

TEST_F(CountAdjustment, ADayNumberIsTheReferenceOnlyForAValidDate) {
    EXPECT_EQ(AdjustmentReference(dateFromYmd(2009, 3, 31)), "IF76064");
    EXPECT_EQ(AdjustmentReference(dateFromYmd(1801, 1, 1)), "IF4");
    EXPECT_EQ(AdjustmentReference(0), "IF0");
    EXPECT_EQ(AdjustmentReference(-5), "IF0");
}

// Two lines of one article apply one after the other: the later quantity
// is the stock, and each line that changed it wrote its row.
TEST_F(CountAdjustment, AnArticleCountedOnTwoLinesEndsAtTheLaterLine) {
    AddArticle({.noArt = 5, .stock = Decimal(10)});
    StoreCount(tables(), {.id = 1, .lines = {{5, Decimal(15)}, {5, Decimal(12)}, {5, Decimal(12)}}});
    const AdjustmentResult r = AdjustInventory(tables(), 1);
    ASSERT_TRUE(r.applied);
    EXPECT_EQ(r.lines, 3);
    EXPECT_EQ(r.rows, 2);
    EXPECT_EQ(ArticleField(5, "ART:Entradas"), Decimal(5));
    EXPECT_EQ(ArticleField(5, "ART:Salidas"), Decimal(3));
    const std::vector<Record> rows = Rows(TableId::Kardex);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(Number(rows[0], "KAR:Entrada"), Decimal(5));
    EXPECT_EQ(Number(rows[0], "KAR:Existencia"), Decimal(15));
    EXPECT_EQ(Number(rows[1], "KAR:Salida"), Decimal(3));
    EXPECT_EQ(Number(rows[1], "KAR:Existencia"), Decimal(12));
}

// Lines whose article is gone are not applied and are named (each once);
// the other lines are; articles and counts not in the run are untouched;
// applying the count again with no movement in between writes nothing.
TEST_F(CountAdjustment, OnlyTheCountsOwnLinesOfStoredArticlesAreApplied) {
    for (int a = 1; a <= 4; ++a) AddArticle({.noArt = a, .stock = Decimal(10)});
    StoreCount(tables(), {.id = 1, .lines = {{1, Decimal(1)}, {99, Decimal(5)}, {2, Decimal(20)}, {0, Decimal(1)},
                                             {99, Decimal(6)}}});
    StoreCount(tables(), {.id = 2, .lines = {{3, Decimal(0)}}});
    const std::string before = Dump();
    AdjustmentResult r = AdjustInventory(tables(), 1);
    ASSERT_TRUE(r.applied);
    EXPECT_EQ(r.lines, 5);
    EXPECT_EQ(r.rows, 2);
    EXPECT_EQ(r.missingArticles, (std::vector<Decimal>{Decimal(99), Decimal(0)}));
    EXPECT_EQ(MissingArticlesText(r.missingArticles),
              "No se ajustaron las líneas de estos artículos, que ya no existen: 99, 0. Las demás líneas se "
              "aplicaron.");
    EXPECT_EQ(StockOnHand(*Article(1)), Decimal(1));
    EXPECT_EQ(StockOnHand(*Article(2)), Decimal(20));
    for (int a : {3, 4}) {
        EXPECT_EQ(ArticleField(a, "ART:Entradas"), Decimal(0));
        EXPECT_EQ(ArticleField(a, "ART:Salidas"), Decimal(0));
    }
    EXPECT_TRUE(presenter.empty());  // the window, not the adjustment, tells the user
    const std::string after = Dump();
    EXPECT_NE(after, before);
    r = AdjustInventory(tables(), 1);
    EXPECT_TRUE(r.applied);
    EXPECT_EQ(r.rows, 0);
    EXPECT_EQ(Dump(), after);
}

TEST_F(CountAdjustment, ACountThatIsNotStoredOrHasNoLinesChangesNothing) {
    AddArticle({.noArt = 1, .stock = Decimal(10)});
    StoreCount(tables(), {.id = 4});
    const std::string before = Dump();
    for (long long id : {4LL, 5LL, 0LL}) {
        long long calls = 0;
        const AdjustmentResult r = AdjustInventory(tables(), id, [&](long long, long long) { ++calls; });
        EXPECT_TRUE(r.applied) << id;
        EXPECT_EQ(r.countFound, id == 4) << id;
        EXPECT_EQ(r.lines, 0) << id;
        EXPECT_EQ(calls, 0) << id;
    }
    EXPECT_EQ(Dump(), before);
    EXPECT_TRUE(presenter.empty());
}

// The progress is told once per line, counting to the lines of this count.
TEST_F(CountAdjustment, ProgressCountsTheLinesOfTheCount) {
    AddArticle({.noArt = 1});
    StoreCount(tables(), {.id = 1, .lines = {{1, Decimal(1)}, {1, Decimal(2)}, {7, Decimal(3)}}});
    StoreCount(tables(), {.id = 2, .lines = {{1, Decimal(1)}, {1, Decimal(2)}}});
    std::vector<std::pair<long long, long long>> seen;
    ASSERT_TRUE(AdjustInventory(tables(), 1, [&](long long done, long long total) { seen.emplace_back(done, total); })
                    .applied);
    EXPECT_EQ(seen, (std::vector<std::pair<long long, long long>>{{1, 3}, {2, 3}, {3, 3}}));
}

// A failure anywhere in the run (injected at a line, a total that no longer
// fits) leaves every table as it was, and its message comes after the
// rollback; the buffers are as before, so the run can be tried again.
TEST_F(CountAdjustment, AFailureMidwayLeavesEveryTableAsItWas) {
    for (int a = 1; a <= 5; ++a) AddArticle({.noArt = a, .stock = Decimal(10), .average = D(100)});
    StoreCount(tables(), {.id = 1, .lines = {{1, Decimal(4)}, {2, Decimal(30)}, {3, Decimal(1)}, {4, Decimal(7)},
                                             {5, Decimal(2)}}});
    const std::string before = Dump();
    {
        movements::test::InjectedFailure fail({"line", 3});
        const AdjustmentResult r = AdjustInventory(tables(), 1);
        EXPECT_FALSE(r.applied);
        EXPECT_EQ(r.rows, 0);
        EXPECT_EQ(fail.hits(), 1);
    }
    EXPECT_EQ(Dump(), before);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, "Error al registrar");
    presenter.clear();

    // Article 4's totals are at their limit: its line would overflow its issues.
    SetTotals(4, D(99999999900), D(99999999900));
    const std::string full = Dump();
    AdjustmentResult r = AdjustInventory(tables(), 1);
    EXPECT_FALSE(r.applied);
    EXPECT_EQ(Dump(), full);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, "Valor demasiado grande");
    presenter.clear();

    SetTotals(4, Decimal(0), Decimal(0));
    r = AdjustInventory(tables(), 1);
    EXPECT_TRUE(r.applied);
    EXPECT_EQ(r.rows, 5);
    EXPECT_TRUE(LedgerMatchesTotals());
}

}  // namespace
}  // namespace tv::movements::counts
