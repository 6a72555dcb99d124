// The order wizard without its window: the quantities it suggests, the
// lines it picks, the order it generates (one unit of work: all or
// nothing), and the picked lines of two wizards kept apart.
#include <gtest/gtest.h>

#include "movements/common/dates.h"
#include "platform/threads/logical_thread.h"
#include "platform/types/text.h"
#include "tests/movements/support/harness.h"
#include "tests/movements/wizard/wizard_fixture.h"

namespace tv::movements::wizard {
namespace {

using data::TableId;
using movements::test::InjectedFailure;
using test::D;
using test::Levels;
using test::StoredLine;

class Generation : public test::WizardDb {
protected:
    void SetUp() override {
        WizardDb::SetUp();
        AddSupplier();
    }
    // The supplier Header() names.
    void AddSupplier() { AddRecord(TableId::Proveedores, {{"PVD:Codigo", Value("PROVEEDOR-LARGO")}}); }
    OrderHeader Header() {
        OrderHeader h;
        h.fecha = 80000;
        h.plazo = Decimal(15);
        h.entrega = DeliveryDate(h.fecha, h.plazo);
        h.elabora = "JUAN PEREZ";
        h.proveedor = "PROVEEDOR-LARGO";  // the whole 15-character code
        h.referencia = "REF-1";
        h.prioridad = "ALTA";
        return h;
    }
};

// minimum (or ideal) - stock - (ordered - received), never below 0; 0 for
// every article; never more than a line holds.
TEST(Suggestion, LevelLessStockLessWhatIsStillExpected) {
    struct Case {
        const char* what;
        Levels levels;
        Selection selection;
        Decimal expected;
    } cases[] = {
        {"below its minimum", {1, Decimal(3), Decimal(10), Decimal(20)}, Selection::BelowMinimum, Decimal(7)},
        {"below its ideal", {1, Decimal(3), Decimal(10), Decimal(20)}, Selection::BelowIdeal, Decimal(17)},
        {"with orders pending", {1, Decimal(3), Decimal(10), Decimal(20), Decimal(8), Decimal(3)},
         Selection::BelowMinimum, Decimal(2)},
        {"pending orders cover it", {1, Decimal(3), Decimal(10), Decimal(20), Decimal(9), Decimal(1)},
         Selection::BelowMinimum, Decimal(0)},
        {"stock above the level", {1, Decimal(30), Decimal(10), Decimal(20)}, Selection::BelowIdeal, Decimal(0)},
        {"negative stock", {1, Decimal(-4), Decimal(10), Decimal(20)}, Selection::BelowMinimum, Decimal(14)},
        {"hundredths", {1, D(250), D(1000), Decimal(20), D(125), D(25)}, Selection::BelowMinimum, D(650)},
        {"every article", {1, Decimal(0), Decimal(10), Decimal(20)}, Selection::All, Decimal(0)},
        {"more than a line holds", {1, Decimal(0), Decimal(99999999), Decimal(0)}, Selection::BelowMinimum,
         D(999999999)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SuggestedQuantity(test::ArticleRecord(c.levels), c.selection), c.expected) << c.what;
}

TEST_F(Generation, PickingTakesTheSuggestionAtCostZeroAndRefusesAnArticleTwice) {
    AddLevels({1, Decimal(3), Decimal(10), Decimal(20), Decimal(4), Decimal(1)});
    AddLevels({2, Decimal(50), Decimal(10), Decimal(20)});
    data::ThreadTableSet& t = tables();
    EXPECT_EQ(PickArticle(t, Decimal(1), Selection::BelowIdeal), PickOutcome::Added);
    EXPECT_EQ(PickArticle(t, Decimal(2), Selection::BelowMinimum), PickOutcome::Added);
    EXPECT_EQ(PickArticle(t, Decimal(1), Selection::All), PickOutcome::AlreadyListed);
    EXPECT_EQ(PickArticle(t, Decimal(99), Selection::All), PickOutcome::NoArticle);
    EXPECT_EQ(PickArticle(t, Decimal(0), Selection::All), PickOutcome::NoArticle);
    const std::vector<PickedLine> lines = Picked(t);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].article, Decimal(1));
    EXPECT_EQ(lines[0].quantity, Decimal(14));  // 20 - 3 - (4 - 1)
    EXPECT_EQ(lines[1].quantity, Decimal(0));   // above its minimum: nothing suggested
    for (const PickedLine& l : lines) EXPECT_EQ(l.cost, Decimal(0));
    EXPECT_EQ(TotalsOf(lines).amount, Decimal(0));
    // Opening the wizard again starts with no line.
    EXPECT_TRUE(ClearPicked(t));
    EXPECT_TRUE(Picked(t).empty());
}

TEST(Totals, QuantitiesAndRoundedAmountsAddUp) {
    const std::vector<PickedLine> lines{{1, Decimal(1), Decimal(4), D(250)},
                                        {2, Decimal(2), D(333), D(333)},   // 11.0889 -> 11.09
                                        {3, Decimal(3), D(50), Decimal(0)}};
    const PickedTotals t = TotalsOf(lines);
    EXPECT_EQ(t.quantity, D(783));
    EXPECT_EQ(t.amount, D(2109));
}

// The generated order: its lines in the order picked, each article's
// ART:Pedido raised once by its line, the total the sum of the lines
// stored, the folio the counter's and the counter one past it.
TEST_F(Generation, StoresTheOrderItsLinesTheOrderedQuantitiesAndAdvancesTheFolio) {
    for (long long a : {10, 20, 30}) AddLevels({a, Decimal(0), Decimal(5), Decimal(10), Decimal(2)});
    AddRecord(TableId::Folios, {{"FOL:ORDENCOMPRA", Value(41)}, {"FOL:ENTRADAS", Value(7)}});
    data::ThreadTableSet& t = tables();
    Pick(t, 30, Decimal(3), D(1250));
    Pick(t, 10, D(150), Decimal(2));
    Pick(t, 20, Decimal(7), Decimal(0));
    const Generated g = GenerateOrder(t, Header());
    ASSERT_TRUE(g.stored) << (presenter.empty() ? "" : presenter.last().text);
    EXPECT_TRUE(presenter.empty());
    EXPECT_EQ(g.folio, 41);
    EXPECT_EQ(g.lines, 3);
    EXPECT_TRUE(g.skipped.empty());
    EXPECT_EQ(OrderLines(41), (std::vector<StoredLine>{{30, Decimal(3), D(1250), Decimal(0)},
                                                       {10, D(150), Decimal(2), Decimal(0)},
                                                       {20, Decimal(7), Decimal(0), Decimal(0)}}));
    EXPECT_EQ(ArticleField(30, "ART:Pedido"), Decimal(5));
    EXPECT_EQ(ArticleField(10, "ART:Pedido"), D(350));
    EXPECT_EQ(ArticleField(20, "ART:Pedido"), Decimal(9));
    const std::optional<Record> o = Order(41);
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(Get(*o, "ORD:TOTALARTICULO").asNumber(), D(1150));
    EXPECT_EQ(Get(*o, "ORD:TOTALSURTIDO").asNumber(), Decimal(0));
    EXPECT_EQ(Get(*o, "ORD:PorcSurtido").asNumber(), Decimal(0));
    EXPECT_EQ(Get(*o, "ORD:Fecha").asNumber(), Decimal(80000));
    EXPECT_EQ(Get(*o, "ORD:Plazo").asNumber(), Decimal(15));
    EXPECT_EQ(Get(*o, "ORD:Entrega").asNumber(), Decimal(80015));
    EXPECT_EQ(rtrim(Get(*o, "ORD:Proveedor").asText()), "PROVEEDOR-LARGO");
    EXPECT_EQ(rtrim(Get(*o, "ORD:Elabora").asText()), "JUAN PEREZ");
    EXPECT_EQ(rtrim(Get(*o, "ORD:Referencia").asText()), "REF-1");
    EXPECT_EQ(rtrim(Get(*o, "ORD:Prioridad").asText()), "ALTA");
    EXPECT_EQ(Counter(), 42);
    EXPECT_EQ(FolioCounter(t, {TableId::Entradas, "ENT:Folio", "ENT:KeyFolio", "FOL:ENTRADAS", {}, ""}), 7);
    // The picked lines stay until the wizard opens again.
    EXPECT_EQ(Picked(t).size(), 3u);
}

// The folio: the counter's as it stands at generation, passed over folios
// a stored order or another form's stored lines already have; the counter
// never goes back; without a folio record the first order gets 1.
TEST_F(Generation, TheFolioIsTheNextFreeOneAndTheCounterNeverGoesBack) {
    struct Case {
        const char* what;
        std::optional<long long> counter;
        std::vector<long long> storedOrders, linesLeftUnder;
        long long folio, counterAfter;
    } cases[] = {
        {"the counter's", 5, {}, {}, 5, 6},
        {"past a stored order", 5, {5, 6}, {}, 7, 8},
        {"past another form's lines", 5, {}, {5}, 6, 7},
        {"no folio record", std::nullopt, {}, {}, 1, 2},
        {"counter at zero", 0, {1}, {}, 2, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartAfresh();
        AddSupplier();
        AddLevels({1, Decimal(0), Decimal(5), Decimal(5)});
        if (c.counter) AddRecord(TableId::Folios, {{"FOL:ORDENCOMPRA", Value(*c.counter)}});
        for (long long f : c.storedOrders) AddRecord(TableId::Ordenes, {{"ORD:Folio", Value(f)}});
        for (long long f : c.linesLeftUnder)
            AddRecord(TableId::DetOrdenes, {{"DOR:ORDEN", Value(f)}, {"DOR:Articulo", Value(1)}, {"DOR:Cantidad", Value(1)}});
        Pick(tables(), 1, Decimal(2), Decimal(1));
        const Generated g = GenerateOrder(tables(), Header());
        ASSERT_TRUE(g.stored);
        EXPECT_EQ(g.folio, c.folio);
        EXPECT_EQ(Counter(), c.counterAfter);
        EXPECT_EQ(OrderLines(c.folio), (std::vector<StoredLine>{{1, Decimal(2), Decimal(1), Decimal(0)}}));
    }
}

// An article deleted after it was picked is left out and named; the total
// is that of the lines stored. With no line left the order is still stored.
TEST_F(Generation, AVanishedArticleIsSkippedNamedAndLeftOutOfTheTotal) {
    for (long long a : {1, 2, 3}) AddLevels({a});
    AddRecord(TableId::Folios, {{"FOL:ORDENCOMPRA", Value(10)}});
    data::ThreadTableSet& t = tables();
    Pick(t, 1, Decimal(4), Decimal(1));
    Pick(t, 2, Decimal(5), Decimal(1));
    Pick(t, 3, Decimal(6), Decimal(1));
    for (long long gone : {2, 3}) {
        data::TableGateway& a = t.gateway(TableId::Articulo);
        a.BUFFER.clear();
        a.BUFFER.set(a.declaration().fieldIndex("ART:NoArt"), Value(gone));
        ASSERT_EQ(a.ReadByKey("ART:KeyNoArt"), data::kDone);
        ASSERT_EQ(a.DeleteCurrentRecord(false), data::kDone);
    }
    const Generated g = GenerateOrder(t, Header());
    ASSERT_TRUE(g.stored);
    EXPECT_EQ(g.skipped, (std::vector<Decimal>{Decimal(2), Decimal(3)}));
    EXPECT_EQ(SkippedText(g.skipped), "Los artículos 2 y 3 ya no existen: no se agregaron a la orden de compra.");
    EXPECT_EQ(OrderLines(10), (std::vector<StoredLine>{{1, Decimal(4), Decimal(1), Decimal(0)}}));
    EXPECT_EQ(Get(*Order(10), "ORD:TOTALARTICULO").asNumber(), Decimal(4));
    EXPECT_EQ(ArticleField(1, "ART:Pedido"), Decimal(4));

    // Nothing picked: an order without lines, the folio still advanced.
    ASSERT_TRUE(ClearPicked(t));
    const Generated empty = GenerateOrder(t, Header());
    ASSERT_TRUE(empty.stored);
    EXPECT_EQ(empty.folio, 11);
    EXPECT_EQ(empty.lines, 0);
    EXPECT_EQ(Get(*Order(11), "ORD:TOTALARTICULO").asNumber(), Decimal(0));
    EXPECT_EQ(Counter(), 12);
}

// A line without quantity or with a negative cost is no order line: the
// generation refuses, names the article and stores nothing.
TEST_F(Generation, LinesWithoutQuantityOrWithANegativeCostAreRefused) {
    for (long long a : {1, 2}) AddLevels({a});
    AddRecord(TableId::Folios, {{"FOL:ORDENCOMPRA", Value(3)}});
    struct Case {
        Decimal quantity, cost;
        const char* says;
    } cases[] = {{Decimal(0), Decimal(1), "El artículo 2 no tiene cantidad"},
                 {Decimal(1), D(-50), "El costo del artículo 2 no puede ser negativo"}};
    for (const Case& c : cases) {
        data::ThreadTableSet& t = tables();
        ASSERT_TRUE(ClearPicked(t));
        Pick(t, 1, Decimal(1), Decimal(1));
        Pick(t, 2, c.quantity, c.cost);
        const std::optional<std::string> why = LinesRefused(Picked(t));
        ASSERT_TRUE(why.has_value());
        EXPECT_NE(why->find(c.says), std::string::npos) << *why;
        const std::string before = Dump();
        EXPECT_FALSE(GenerateOrder(t, Header()).stored);
        EXPECT_NE(presenter.last().text.find(c.says), std::string::npos) << presenter.last().text;
        EXPECT_EQ(Dump(), before);
    }
}

// The order's supplier is a stored one, or none: a code that names no
// supplier (typed, or its supplier deleted since) is refused and nothing is
// stored; a blank code stands.
TEST_F(Generation, ACodeThatNamesNoSupplierIsRefusedABlankOneStands) {
    AddLevels({1});
    AddRecord(TableId::Folios, {{"FOL:ORDENCOMPRA", Value(3)}});
    data::ThreadTableSet& t = tables();
    Pick(t, 1, Decimal(2), Decimal(1));
    const std::string before = Dump();
    OrderHeader h = Header();
    h.proveedor = "ZZZ";
    EXPECT_FALSE(GenerateOrder(t, h).stored);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, kSupplierRefusedCaption);
    EXPECT_NE(presenter.last().text.find("código ZZZ"), std::string::npos) << presenter.last().text;
    EXPECT_EQ(Dump(), before);
    // The code is found without regard to case, as the key finds it.
    h.proveedor = "proveedor-largo";
    const Generated named = GenerateOrder(t, h);
    ASSERT_TRUE(named.stored);
    h.proveedor = "";
    const Generated blank = GenerateOrder(t, h);
    ASSERT_TRUE(blank.stored);
    EXPECT_EQ(rtrim(Get(*Order(blank.folio), "ORD:Proveedor").asText()), "");
    EXPECT_EQ(Count(TableId::Ordenes), 2);
}

// A failure anywhere inside the generation leaves every table as it was:
// no order, no line, no ordered quantity, the counter where it stood; the
// picked lines are still there, and a second try stores the order once.
TEST_F(Generation, AFailureMidwayStoresNothing) {
    for (long long a = 1; a <= 5; ++a) AddLevels({a});
    AddRecord(TableId::Folios, {{"FOL:ORDENCOMPRA", Value(20)}});
    data::ThreadTableSet& t = tables();
    for (long long a = 1; a <= 5; ++a) Pick(t, a, Decimal(a), Decimal(1));
    const std::string before = Dump();
    for (const movements::test::StepPoint& at :
         {movements::test::StepPoint{"begin", 0}, {"line", 1}, {"line", 3}, {"line", 5}, {"header", 0}, {"folio", 0},
          {"commit", 0}}) {
        SCOPED_TRACE(at.step + " " + std::to_string(at.n));
        InjectedFailure fail(at);
        EXPECT_FALSE(GenerateOrder(t, Header()).stored);
        EXPECT_EQ(fail.hits(), 1);
        EXPECT_EQ(Dump(), before);
        EXPECT_EQ(Picked(t).size(), 5u);
        // The reason was shown, after the rollback.
        EXPECT_FALSE(presenter.empty());
    }
    const Generated g = GenerateOrder(t, Header());
    ASSERT_TRUE(g.stored);
    EXPECT_EQ(Count(TableId::Ordenes), 1);
    EXPECT_EQ(Count(TableId::DetOrdenes), 5);
    EXPECT_EQ(ArticleField(5, "ART:Pedido"), Decimal(5));
    EXPECT_EQ(Counter(), 21);
}

// Two wizards at once, in two table sets of one process (two logical
// threads, or two running copies): each sees, keeps, clears and generates
// its own lines only.
TEST_F(Generation, TwoWizardsKeepTheirOwnLines) {
    for (long long a = 1; a <= 4; ++a) AddLevels({a});
    AddRecord(TableId::Folios, {{"FOL:ORDENCOMPRA", Value(1)}});
    data::ThreadTableSet& first = tables();
    movements::test::ChildTables second;
    Pick(first, 1, Decimal(1), Decimal(1));
    Pick(first, 2, Decimal(2), Decimal(1));
    Pick(second.tables, 2, Decimal(20), Decimal(1));
    Pick(second.tables, 3, Decimal(30), Decimal(1));
    // The same article picked by each is no duplicate for either.
    EXPECT_EQ(Picked(first).size(), 2u);
    EXPECT_EQ(Picked(second.tables).size(), 2u);
    // The second opens again: the first keeps its lines.
    ASSERT_TRUE(ClearPicked(second.tables));
    Pick(second.tables, 4, Decimal(40), Decimal(1));
    EXPECT_EQ(Picked(first).size(), 2u);
    const Generated a = GenerateOrder(first, Header());
    const Generated b = GenerateOrder(second.tables, Header());
    ASSERT_TRUE(a.stored);
    ASSERT_TRUE(b.stored);
    EXPECT_EQ(OrderLines(a.folio), (std::vector<StoredLine>{{1, Decimal(1), Decimal(1), Decimal(0)},
                                                            {2, Decimal(2), Decimal(1), Decimal(0)}}));
    EXPECT_EQ(OrderLines(b.folio), (std::vector<StoredLine>{{4, Decimal(40), Decimal(1), Decimal(0)}}));
    EXPECT_NE(a.folio, b.folio);
}

// Wizards on two logical threads, and in two processes, generating orders
// of the same articles at once: every ordered quantity arrives, every
// order has its own lines and its own folio.
TEST_F(Generation, TwoThreadsAndTwoProcessesLoseNoOrderedQuantity) {
    constexpr int kEach = 10;
    for (long long a = 1; a <= 3; ++a) AddLevels({a});
    AddRecord(TableId::Folios, {{"FOL:ORDENCOMPRA", Value(1)}});
    auto generateSome = [](data::ThreadTableSet& t, bool yield) {
        for (int i = 0; i < kEach; ++i) {
            if (!ClearPicked(t)) return false;
            for (long long a = 1; a <= 3; ++a) {
                if (PickArticle(t, Decimal(a), Selection::All) != PickOutcome::Added) return false;
                data::TableGateway& g = t.gateway(TableId::Temporden);
                g.BUFFER.set(g.declaration().fieldIndex("TOR:Cantidad"), Value(a));
                if (g.UpdateRecord() != data::kDone) return false;
                if (yield) threads::yieldNow();  // the other wizard picks meanwhile
            }
            if (!GenerateOrder(t, {}).stored) return false;
            if (yield) threads::yieldNow();
        }
        return true;
    };
    CloseDb();
    bool a = false, b = false;
    ASSERT_TRUE(movements::test::RunOnThreads({[&] { a = generateSome(data::tables(), true); },
                                               [&] { b = generateSome(data::tables(), true); }}));
    EXPECT_TRUE(a);
    EXPECT_TRUE(b);
    const std::vector<int> codes = movements::test::RunInProcesses(2, [&](int) {
        movements::test::ChildTables c;
        return generateSome(c.tables, false) ? 0 : 1;
    });
    EXPECT_EQ(codes, (std::vector<int>{0, 0}));
    constexpr int kOrders = 4 * kEach;
    EXPECT_EQ(Count(TableId::Ordenes), kOrders);
    EXPECT_EQ(Count(TableId::DetOrdenes), 3 * kOrders);
    for (long long art = 1; art <= 3; ++art) EXPECT_EQ(ArticleField(art, "ART:Pedido"), Decimal(art * kOrders));
    for (const Record& o : Rows(TableId::Ordenes)) {
        const long long folio = Get(o, "ORD:Folio").asNumber().toInt64();
        EXPECT_EQ(OrderLines(folio).size(), 3u) << folio;
        EXPECT_EQ(Get(o, "ORD:TOTALARTICULO").asNumber(), Decimal(6)) << folio;
    }
    EXPECT_EQ(Counter(), 1 + kOrders);
}

TEST(DeliveryDate, OrderDatePlusTermAndBlankWithoutADate) {
    struct Case {
        long date;
        Decimal term;
        long expected;
    } cases[] = {{80000, Decimal(15), 80015}, {80000, Decimal(0), 80000}, {0, Decimal(15), 0},
                 {80000, Decimal(-90000), 0}, {80000, D(150), 80002}};
    for (const Case& c : cases) EXPECT_EQ(DeliveryDate(c.date, c.term), c.expected) << c.date << " " << c.term.toText();
}

}  // namespace
}  // namespace tv::movements::wizard
