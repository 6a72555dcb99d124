// The order posting without any window: ordered quantities, totals, the
// folio rules, refusals that post nothing, a failure injected midway, the
// delivery date and the supplier's city line, and the pending items' rows.
#include <gtest/gtest.h>

#include "movements/common/lines.h"
#include "movements/orders/order_posting.h"
#include "movements/orders/pending_items.h"
#include "movements/receipts/receipt_posting.h"
#include "platform/types/date.h"
#include "platform/types/text.h"
#include "tests/movements/orders/order_fixture.h"
#include "tests/movements/receipts/receipt_fixture.h"
#include "tests/movements/support/document_db.h"
#include "tests/movements/support/harness.h"

namespace tv::movements::orders {
namespace {

using data::TableId;
using test::D;
using test::Enter;
using test::Line;
using test::Order;

TEST(OrderRules, DeliveryDate) {
    const long may1 = dateFromYmd(2024, 5, 1);
    struct Case {
        const char* what;
        long date;
        Decimal term;
        long expected;
    } cases[] = {
        {"no order date: no delivery date", 0, Decimal(30), 0},
        {"no order date and no term", 0, Decimal(0), 0},
        {"the same day", may1, Decimal(0), may1},
        {"thirty days on", may1, Decimal(30), dateFromYmd(2024, 5, 31)},
        {"over the year's end", dateFromYmd(2024, 12, 20), Decimal(15), dateFromYmd(2025, 1, 4)},
        {"a negative term", may1, Decimal(-1), dateFromYmd(2024, 4, 30)},
        {"before the first date: none", dateFromYmd(1801, 1, 2), Decimal(-5), 0},
        {"after the last date: none", dateFromYmd(9999, 12, 30), Decimal(999), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(DeliveryDate(c.date, c.term), c.expected) << c.what;
}

TEST(OrderRules, SupplierCityLine) {
    struct Case {
        const char* city;
        const char* state;
        const char* country;
        const char* line;
    } cases[] = {
        {"MONTERREY      ", "NUEVO LEON   ", "MEXICO    ", "MONTERREY NUEVO LEON MEXICO"},
        {"MONTERREY", "", "MEXICO", "MONTERREY  MEXICO"},   // a blank state keeps its two blanks
        {"", "", "", "  "},                                // no supplier: two blanks
        {"SAN PEDRO GARZA GARCIA", "NUEVO LEON", "ESTADOS UNIDOS MEXICANOS",
         "SAN PEDRO GARZA GARCIA NUEVO LEON ESTADO"},      // cut at 40
        {"  ACAPULCO", "GUERRERO", "MÉXICO", "  ACAPULCO GUERRERO MÉXICO"},
    };
    for (const Case& c : cases) EXPECT_EQ(SupplierCityLine(c.city, c.state, c.country), c.line) << c.city;
    EXPECT_EQ(charCount(SupplierCityLine(std::string(30, 'A'), "ÑUBLE", std::string(30, 'B'))), 40u);
}

TEST(OrderRules, ReceivedPercent) {
    EXPECT_EQ(ReceivedPercent(Decimal(0), Decimal(5)), Decimal(0));
    EXPECT_EQ(ReceivedPercent(Decimal(10), Decimal(0)), Decimal(0));
    EXPECT_EQ(ReceivedPercent(Decimal(3), Decimal(1)), Decimal(33));
    EXPECT_EQ(ReceivedPercent(Decimal(3), Decimal(2)), Decimal(67));
    EXPECT_EQ(ReceivedPercent(Decimal(8), Decimal(1)), Decimal(13));  // 12.5 rounds away from zero
    EXPECT_EQ(ReceivedPercent(Decimal(7), Decimal(14)), Decimal(200));
}

class OrderPosting : public movements::test::DocumentDb {
protected:
    void SetUp() override {
        DocumentDb::SetUp();
        AddRecord(TableId::Folios, {{"FOL:ORDENCOMPRA", Value(100)}});
        AddArticle({.noArt = 10, .stock = Decimal(10)});
        AddArticle({.noArt = 20});
        AddArticle({.noArt = 30});
    }
    bool Complete(const Order& o) {
        Enter(tables(), o);
        return CompleteOrder(tables());
    }
    std::optional<Record> StoredOrder(long long folio) {
        for (const Record& o : Rows(TableId::Ordenes))
            if (Get(o, "ORD:Folio").asNumber() == Decimal(folio)) return o;
        return std::nullopt;
    }
};

// Every line raises its article's ordered quantity (two lines of one
// article twice); the header is stored over the one reserved for it with
// the totals of its lines; the folio moves on; nothing else changes.
TEST_F(OrderPosting, LinesRaiseTheOrderedQuantitiesAndTheHeaderTakesTheirTotals) {
    const long date = dateFromYmd(2024, 3, 1);
    ASSERT_TRUE(Complete({.folio = 100, .date = date, .term = 10, .supplier = "PROV1", .madeBy = "ANA",
                          .reference = "REQ-5", .priority = "ALTA",
                          .lines = {{10, Decimal(4), D(1250)}, {20, D(250), D(100)}, {10, Decimal(6), D(1300)}}}));
    EXPECT_EQ(ArticleField(10, "ART:Pedido"), Decimal(10));
    EXPECT_EQ(ArticleField(20, "ART:Pedido"), D(250));
    EXPECT_EQ(ArticleField(30, "ART:Pedido"), Decimal(0));
    for (long long a : {10, 20, 30}) {
        EXPECT_EQ(ArticleField(a, "ART:Recibido"), Decimal(0));
        EXPECT_EQ(ArticleField(a, "ART:Entradas"), Decimal(0));
    }
    ASSERT_EQ(Count(TableId::Ordenes), 1);
    const Record o = *StoredOrder(100);
    EXPECT_EQ(Get(o, "ORD:TOTALARTICULO").asNumber(), D(1250));
    EXPECT_EQ(Get(o, "ORD:TOTALSURTIDO").asNumber(), Decimal(0));
    EXPECT_EQ(Get(o, "ORD:PorcSurtido").asNumber(), Decimal(0));
    EXPECT_EQ(Get(o, "ORD:Entrega").asNumber(), Decimal(dateFromYmd(2024, 3, 11)));
    EXPECT_EQ(std::string(rtrim(Get(o, "ORD:Proveedor").asText())), "PROV1");
    EXPECT_EQ(std::string(rtrim(Get(o, "ORD:Prioridad").asText())), "ALTA");
    EXPECT_EQ(FolioCounter(tables(), kOrderFolio), 101);
    EXPECT_EQ(Count(TableId::DetOrdenes), 3);
    EXPECT_EQ(Count(TableId::Kardex), 0);
    const OrderTotals t = StoredTotals(tables(), 100);
    EXPECT_EQ(t.quantity, D(1250));
    EXPECT_EQ(t.amount, D(5000 + 250 + 7800));
}

TEST_F(OrderPosting, AnOrderWithoutLinesStoresItsHeaderAndAdvancesTheFolio) {
    const std::vector<Record> articles = Rows(TableId::Articulo);
    ASSERT_TRUE(Complete({.folio = 100}));
    EXPECT_EQ(Rows(TableId::Articulo), articles);
    EXPECT_EQ(Get(*StoredOrder(100), "ORD:TOTALARTICULO").asNumber(), Decimal(0));
    EXPECT_EQ(Get(*StoredOrder(100), "ORD:PorcSurtido").asNumber(), Decimal(0));
    EXPECT_EQ(FolioCounter(tables(), kOrderFolio), 101);
}

// The counter becomes max(counter, folio + 1): never lower; a missing folio
// record is added.
TEST_F(OrderPosting, TheFolioCounterOnlyMovesUp) {
    struct Case {
        long long folio, counter;
    } cases[] = {{100, 101}, {50, 101}, {150, 151}, {151, 152}, {120, 152}};
    for (const Case& c : cases) {
        ASSERT_TRUE(Complete({.folio = c.folio, .lines = {{30, Decimal(1), D(0)}}})) << c.folio;
        EXPECT_EQ(FolioCounter(tables(), kOrderFolio), c.counter) << c.folio;
    }
    EXPECT_EQ(ArticleField(30, "ART:Pedido"), Decimal(5));
}

TEST_F(OrderPosting, WithoutAFolioRecordTheCompletionAddsIt) {
    data::TableGateway& f = tables().gateway(TableId::Folios);
    f.SetPositionToStart();
    ASSERT_EQ(f.ReadNext(), data::kDone);
    ASSERT_EQ(f.DeleteCurrentRecord(false), data::kDone);
    EXPECT_EQ(FolioForNewDocument(tables(), kOrderFolio), 1);
    ASSERT_TRUE(Complete({.folio = 1}));
    EXPECT_EQ(Count(TableId::Folios), 1);
    EXPECT_EQ(FolioCounter(tables(), kOrderFolio), 2);
}

// Refused completions post nothing: the database is as it was, the message
// says why, and the header is still pending for the form to try again.
TEST_F(OrderPosting, RefusalsPostNothing) {
    ASSERT_TRUE(Complete({.folio = 90, .lines = {{10, Decimal(1), D(100)}}}));
    // An ordered quantity at the largest value ART:Pedido holds.
    AddArticle({.noArt = 40});
    {
        data::TableGateway& a = tables().gateway(TableId::Articulo);
        a.BUFFER.clear();
        a.BUFFER.set(a.declaration().fieldIndex("ART:NoArt"), Value(40));
        ASSERT_EQ(a.ReadByKey("ART:KeyNoArt"), data::kDone);
        a.BUFFER.set(a.declaration().fieldIndex("ART:Pedido"), Value(D(99999999999)));
        ASSERT_EQ(a.UpdateRecord(), data::kDone);
    }
    struct Case {
        const char* what;
        Order order;
        int message;          // -1: a plain box
        const char* names;    // what the message names
    } cases[] = {
        {"a folio a stored order has", {.folio = 90, .lines = {{10, Decimal(1), D(100)}}}, 15, "ORD:KeyFolio"},
        {"folio zero", {.folio = 0}, -1, "folio"},
        {"a negative folio", {.folio = -3}, -1, "folio"},
        {"a line whose article is gone", {.folio = 91, .lines = {{10, Decimal(1), D(100)}, {77, Decimal(1), D(0)}}},
         -1, "77"},
        {"a line of article 0", {.folio = 92, .lines = {{0, Decimal(1), D(100)}}}, -1, "artículo 0"},
        {"a quantity of zero", {.folio = 93, .lines = {{10, Decimal(0), D(100)}}}, -1, "mayor que cero"},
        {"a negative quantity", {.folio = 94, .lines = {{10, Decimal(-2), D(100)}}}, -1, "mayor que cero"},
        {"a negative cost", {.folio = 95, .lines = {{10, Decimal(1), D(-100)}}}, -1, "negativo"},
        {"an ordered total that would not fit", {.folio = 96, .lines = {{10, Decimal(1), D(0)}, {40, Decimal(1), D(0)}}},
         -1, "Pedido"},
    };
    for (const Case& c : cases) {
        Enter(tables(), c.order);
        const std::string before = Dump();
        presenter.clear();
        EXPECT_FALSE(CompleteOrder(tables())) << c.what;
        EXPECT_EQ(Dump(), before) << c.what;
        ASSERT_EQ(presenter.count(), 1u) << c.what;
        EXPECT_EQ(messageNumber(presenter.last()), c.message) << c.what;
        EXPECT_NE(presenter.last().text.find(c.names), std::string::npos) << c.what << ": " << presenter.last().text;
        // The header is still pending, for the form to try again.
        data::TableGateway& header = tables().gateway(TableId::Ordenes);
        EXPECT_TRUE(header.file()->hasReservation()) << c.what;
        header.CancelPendingInsert();
        // The lines of the refused order go, so the next case starts clean.
        for (const Record& l : ReadLines(tables(), kOrderLines, Value(c.order.folio))) {
            data::TableGateway& g = tables().gateway(TableId::DetOrdenes);
            g.BUFFER = l;
            ASSERT_EQ(g.ReadByKey("DOR:KeyId"), data::kDone);
            ASSERT_EQ(g.DeleteCurrentRecord(false), data::kDone);
        }
    }
    EXPECT_EQ(FolioCounter(tables(), kOrderFolio), 100);  // never lowered by folio 90
    EXPECT_EQ(ArticleField(10, "ART:Pedido"), Decimal(1));
}

// A failure at a middle line (or at the folio, or the header) leaves every
// table as before; once the cause is gone the same completion posts once.
TEST_F(OrderPosting, AFailureMidwayLeavesEverythingAsBefore) {
    std::vector<Line> lines;
    for (int i = 0; i < 9; ++i) lines.push_back({i % 2 == 0 ? 10 : 20, Decimal(1), D(300)});
    Enter(tables(), {.folio = 600, .lines = lines});
    const std::string before = Dump();
    for (const movements::test::StepPoint& at :
         {movements::test::StepPoint{"line", 5}, {"folio", 0}, {"header", 0}, {"commit", 0}}) {
        movements::test::InjectedFailure fail(at);
        presenter.clear();
        EXPECT_FALSE(CompleteOrder(tables())) << at.step;
        EXPECT_EQ(fail.hits(), 1) << at.step;
        EXPECT_EQ(Dump(), before) << at.step;
        EXPECT_EQ(presenter.count(), 1u) << at.step;
    }
    EXPECT_TRUE(CompleteOrder(tables()));
    EXPECT_EQ(ArticleField(10, "ART:Pedido"), Decimal(5));
    EXPECT_EQ(ArticleField(20, "ART:Pedido"), Decimal(4));
    EXPECT_EQ(Count(TableId::Ordenes), 1);
    EXPECT_EQ(FolioCounter(tables(), kOrderFolio), 601);
    // Posted once: a second completion of the same folio is refused.
    Enter(tables(), {.folio = 600});
    EXPECT_FALSE(CompleteOrder(tables()));
    EXPECT_EQ(ArticleField(10, "ART:Pedido"), Decimal(5));
}

// What the pending items query lists after an order and a partial receipt
// that names it.
TEST_F(OrderPosting, PendingItemsAfterAPartialReceipt) {
    AddRecord(TableId::Unidades, {{"UNI:UM", Value("PIEZA")}});
    AddArticle({.noArt = 50, .description = "TORNILLO", .unit = 1});
    AddArticle({.noArt = 60, .description = "TUERCA", .unit = 9});   // a unit not stored
    AddArticle({.noArt = 70, .description = "ARANDELA", .unit = 1});
    ASSERT_TRUE(Complete({.folio = 100, .lines = {{50, Decimal(10), D(100)}, {60, Decimal(3), D(100)},
                                                    {70, Decimal(10), D(100)}, {10, Decimal(2), D(100)}}}));
    // Received: 4.50 of 10, all 10 of 10, and more than ordered.
    receipts::test::Enter(tables(), {.folio = 1, .order = 100,
                                     .lines = {{50, D(450), D(100)}, {70, Decimal(10), D(100)}, {10, Decimal(5), D(100)}}});
    ASSERT_TRUE(receipts::CompleteReceipt(tables()));
    EXPECT_EQ(Get(*StoredOrder(100), "ORD:TOTALSURTIDO").asNumber(), D(1950));
    const std::vector<PendingItem> rows = PendingItems(tables());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (PendingItem{50, "TORNILLO", "PIEZA", Decimal(10), D(450), D(550)}));
    EXPECT_EQ(rows[1], (PendingItem{60, "TUERCA", "", Decimal(3), Decimal(0), Decimal(3)}));
}

}  // namespace
}  // namespace tv::movements::orders
