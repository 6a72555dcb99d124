// The receipt posting without any window: average cost, stock totals and
// ledger rows, supplier prices, order fulfilment, folios, refusals, and a
// failure injected midway.
#include <gtest/gtest.h>

#include "movements/common/lines.h"
#include "movements/receipts/receipt_posting.h"
#include "platform/types/text.h"
#include "tests/movements/receipts/receipt_fixture.h"
#include "tests/movements/support/document_db.h"
#include "tests/movements/support/harness.h"

namespace tv::movements::receipts {
namespace {

using data::TableId;
using test::D;
using test::Enter;
using test::Line;
using test::Receipt;

TEST(AverageCost, CasesOfStockAndCost) {
    struct Case {
        const char* what;
        Decimal stock, average, quantity, cost;
        std::optional<Decimal> expected;
    } cases[] = {
        {"first receipt", Decimal(0), Decimal(0), Decimal(10), D(500), D(500)},
        {"weighed with the stock", Decimal(10), D(500), Decimal(10), D(800), D(650)},
        {"3 at 1.00 and 3 at 2.00", Decimal(3), D(100), Decimal(3), D(200), D(150)},
        {"3 at 1.00 and 4 at 1.00", Decimal(3), D(100), Decimal(4), D(100), D(100)},
        {"half a cent rounds away from zero", Decimal(1), D(100), Decimal(1), D(101), D(101)},
        {"nothing on hand: the line's cost", Decimal(0), D(900), Decimal(2), D(300), D(300)},
        {"more issued than received: the line's cost", Decimal(-5), D(900), Decimal(5), D(400), D(400)},
        {"no cost: the average stays", Decimal(10), D(500), Decimal(10), Decimal(0), std::nullopt},
        // A stock value far beyond 11 digits loses nothing.
        {"a large stock", Decimal(900000000), D(999999999), Decimal(100000000), D(1), D(899999999)},
    };
    for (const Case& c : cases) {
        const std::optional<AverageCost> a = NewAverageCost(c.stock, c.average, c.quantity, c.cost);
        ASSERT_EQ(a.has_value(), c.expected.has_value()) << c.what;
        if (a) {
            EXPECT_EQ(a->newAverage, *c.expected) << c.what << ": " << a->newAverage.toText();
        }
    }
    const std::optional<AverageCost> a = NewAverageCost(Decimal(10), D(500), Decimal(10), D(800));
    EXPECT_EQ(a->stockValue, Decimal(50));
    EXPECT_EQ(a->lineValue, Decimal(80));
    EXPECT_EQ(a->newStock, Decimal(20));
}

TEST(OrderFulfilment, DistributionAndPercent) {
    struct Case {
        const char* what;
        std::vector<OrderLineState> lines;
        Decimal quantity;
        std::vector<Decimal> given;
    } cases[] = {
        {"one line takes it all", {{Decimal(7), Decimal(0)}}, Decimal(7), {Decimal(7)}},
        {"one line takes an excess", {{Decimal(5), Decimal(4)}}, Decimal(3), {Decimal(3)}},
        {"filled in order", {{Decimal(5), Decimal(0)}, {Decimal(5), Decimal(0)}}, Decimal(7), {Decimal(5), Decimal(2)}},
        {"the last takes the excess", {{Decimal(5), Decimal(4)}, {Decimal(2), Decimal(0)}}, Decimal(10),
         {Decimal(1), Decimal(9)}},
        {"over-received lines take nothing", {{Decimal(5), Decimal(6)}, {Decimal(2), Decimal(0)}}, Decimal(1),
         {Decimal(0), Decimal(1)}},
    };
    for (const Case& c : cases) EXPECT_EQ(DistributeToOrderLines(c.lines, c.quantity), c.given) << c.what;
    EXPECT_EQ(FulfilledPercent(Decimal(7), Decimal(7)), Decimal(100));
    EXPECT_EQ(FulfilledPercent(Decimal(3), Decimal(1)), Decimal(33));
    EXPECT_EQ(FulfilledPercent(Decimal(3), Decimal(2)), Decimal(67));
    EXPECT_EQ(FulfilledPercent(Decimal(8), D(100)), Decimal(13));  // 12.5 rounds away from zero
    EXPECT_EQ(FulfilledPercent(Decimal(0), Decimal(5)), Decimal(0));
}

class ReceiptPosting : public movements::test::DocumentDb {
protected:
    void SetUp() override {
        DocumentDb::SetUp();
        AddRecord(TableId::TipEntradas, {{"TEN:Descripcion", Value("COMPRA A PROVEEDOR NACIONAL")}});
        AddRecord(TableId::Folios, {{"FOL:ENTRADAS", Value(100)}});
        AddArticle({.noArt = 10, .stock = Decimal(10), .average = D(500), .barcode = "750100"});
        AddArticle({.noArt = 20, .stock = Decimal(0), .barcode = "750200"});
        AddArticle({.noArt = 30, .stock = Decimal(3), .average = D(100)});
    }
    bool Complete(const Receipt& r) {
        Enter(tables(), r);
        return CompleteReceipt(tables());
    }
    std::vector<Record> Ledger(long long article) {
        std::vector<Record> out;
        for (const Record& k : Rows(TableId::Kardex))
            if (Get(k, "KAR:ARTICULO").asNumber() == Decimal(article)) out.push_back(k);
        return out;
    }
    Decimal OrderField(long long folio, const std::string& field) {
        for (const Record& o : Rows(TableId::Ordenes))
            if (Get(o, "ORD:Folio").asNumber() == Decimal(folio)) return Get(o, field).asNumber();
        ADD_FAILURE() << "no order " << folio;
        return {};
    }
    std::vector<Decimal> OrderReceived(long long folio) {
        std::vector<Decimal> out;
        for (const Record& l : Rows(TableId::DetOrdenes))
            if (Get(l, "DOR:ORDEN").asNumber() == Decimal(folio)) out.push_back(Get(l, "DOR:Recibido").asNumber());
        return out;
    }
    void AddOrder(long long folio, const Decimal& ordered, const Decimal& supplied,
                  const std::vector<std::tuple<long long, Decimal, Decimal>>& lines) {
        AddRecord(TableId::Ordenes, {{"ORD:Folio", Value(folio)}, {"ORD:Proveedor", Value("PROV1")},
                                     {"ORD:TOTALARTICULO", Value(ordered)}, {"ORD:TOTALSURTIDO", Value(supplied)}});
        for (const auto& [article, quantity, received] : lines)
            AddRecord(TableId::DetOrdenes, {{"DOR:ORDEN", Value(folio)}, {"DOR:Articulo", Value(article)},
                                            {"DOR:Cantidad", Value(quantity)}, {"DOR:Costo", Value(D(250))},
                                            {"DOR:Recibido", Value(received)}});
    }
};

// Two lines of one article are averaged one after the other; each line
// raises the receipts total and writes its ledger row with the stock after it.
TEST_F(ReceiptPosting, TotalsAndLedgerRows) {
    ASSERT_TRUE(Complete({.folio = 123, .type = 1, .date = 80000, .reference = "FACT-7",
                          .lines = {{10, Decimal(10), D(800)}, {10, Decimal(20), D(200)}, {20, Decimal(5), D(0)}}}));
    EXPECT_EQ(ArticleField(10, "ART:Entradas"), Decimal(30));
    EXPECT_EQ(ArticleField(10, "ART:COSTOPROMEDIO"), D(425));  // 6.50 after the first line, then (130 + 40) / 40
    EXPECT_EQ(ArticleField(20, "ART:Entradas"), Decimal(5));
    EXPECT_EQ(ArticleField(20, "ART:COSTOPROMEDIO"), Decimal(0));  // a line without cost leaves it
    const std::vector<Record> k10 = Ledger(10);
    ASSERT_EQ(k10.size(), 2u);
    EXPECT_EQ(Get(k10[0], "KAR:Existencia").asNumber(), Decimal(20));
    EXPECT_EQ(Get(k10[0], "KAR:COSTOPROMEDIO").asNumber(), D(650));
    EXPECT_EQ(Get(k10[1], "KAR:Existencia").asNumber(), Decimal(40));
    EXPECT_EQ(Get(k10[1], "KAR:COSTOUNITARIO").asNumber(), D(200));
    EXPECT_EQ(Get(k10[1], "KAR:COSTOPROMEDIO").asNumber(), D(425));
    for (const Record& k : k10) {
        EXPECT_EQ(std::string(rtrim(Get(k, "KAR:Documento").asText())), "ENT-123");
        EXPECT_EQ(Get(k, "KAR:Concepto").asText(), "COMPRA A PROVEEDOR N");
        EXPECT_EQ(std::string(rtrim(Get(k, "KAR:Referencia").asText())), "FACT-7");
        EXPECT_EQ(Get(k, "KAR:Fecha").asNumber(), Decimal(80000));
        EXPECT_EQ(Get(k, "KAR:Salida").asNumber(), Decimal(0));
    }
    const std::vector<Record> k20 = Ledger(20);
    ASSERT_EQ(k20.size(), 1u);
    EXPECT_EQ(Get(k20[0], "KAR:COSTOPROMEDIO").asNumber(), Decimal(0));
    EXPECT_EQ(Get(k20[0], "KAR:Entrada").asNumber(), Decimal(5));
    EXPECT_TRUE(LedgerMatchesTotals());
    // The header is stored over the one reserved for it; the folio moves on.
    ASSERT_EQ(Count(TableId::Entradas), 1);
    EXPECT_EQ(Get(Rows(TableId::Entradas)[0], "ENT:Folio").asNumber(), Decimal(123));
    EXPECT_EQ(FolioCounter(tables(), kReceiptFolio), 124);
    EXPECT_EQ(Count(TableId::PreProv), 0);  // no supplier named
}

TEST_F(ReceiptPosting, SupplierPriceRows) {
    struct Case {
        const char* supplier;
        long long rows;
    } cases[] = {{"PROV1", 2}, {"   ", 0}, {"", 0}};
    long long folio = 200, before = 0;
    for (const Case& c : cases) {
        ASSERT_TRUE(Complete({.folio = folio, .supplier = c.supplier,
                              .lines = {{10, Decimal(1), D(375)}, {20, Decimal(2), D(0)}}}));
        EXPECT_EQ(Count(TableId::PreProv) - before, c.rows) << "'" << c.supplier << "'";
        before = Count(TableId::PreProv);
        ++folio;
    }
    const std::vector<Record> prices = Rows(TableId::PreProv);
    ASSERT_EQ(prices.size(), 2u);
    EXPECT_EQ(Get(prices[0], "PPV:Articulo").asNumber(), Decimal(10));
    EXPECT_EQ(std::string(rtrim(Get(prices[0], "PPV:PROVEEDOR").asText())), "PROV1");
    EXPECT_EQ(Get(prices[0], "PPV:Entrada").asNumber(), Decimal(200));
    EXPECT_EQ(Get(prices[0], "PPV:Precio").asNumber(), D(375));
    EXPECT_EQ(Get(prices[1], "PPV:Precio").asNumber(), Decimal(0));  // a line without cost is still priced
}

TEST_F(ReceiptPosting, OrderFulfilment) {
    struct Case {
        const char* what;
        Decimal ordered, supplied;                                   // ORD:TOTALARTICULO, ORD:TOTALSURTIDO
        std::vector<std::tuple<long long, Decimal, Decimal>> lines;  // article, ordered, received
        std::vector<Line> receipt;
        std::vector<Decimal> received;                               // DOR:Recibido after
        Decimal supplied_after, percent, articleReceived;            // article 10's ART:Recibido
    } cases[] = {
        {"one order line", Decimal(7), Decimal(0), {{10, Decimal(7), Decimal(0)}}, {{10, Decimal(7), D(100)}},
         {Decimal(7)}, Decimal(7), Decimal(100), Decimal(7)},
        {"a third", Decimal(3), Decimal(0), {{10, Decimal(3), Decimal(0)}}, {{10, Decimal(1), D(100)}},
         {Decimal(1)}, Decimal(1), Decimal(33), Decimal(1)},
        {"two lines of one article, filled in order", Decimal(10), Decimal(0),
         {{10, Decimal(5), Decimal(0)}, {10, Decimal(5), Decimal(0)}}, {{10, Decimal(7), D(100)}},
         {Decimal(5), Decimal(2)}, Decimal(7), Decimal(70), Decimal(7)},
        {"an excess goes to the last line", Decimal(7), Decimal(4),
         {{10, Decimal(5), Decimal(4)}, {10, Decimal(2), Decimal(0)}}, {{10, Decimal(10), D(100)}},
         {Decimal(5), Decimal(9)}, Decimal(14), Decimal(200), Decimal(10)},
        {"an article not on the order counts nowhere", Decimal(5), Decimal(0), {{20, Decimal(5), Decimal(0)}},
         {{10, Decimal(3), D(100)}, {20, Decimal(2), D(100)}}, {Decimal(2)}, Decimal(2), Decimal(40), Decimal(0)},
        {"an order without lines keeps its total", Decimal(8), Decimal(4), {}, {{10, Decimal(3), D(100)}}, {},
         Decimal(4), Decimal(50), Decimal(0)},
    };
    long long folio = 300;
    for (const Case& c : cases) {
        AddOrder(folio, c.ordered, c.supplied, c.lines);
        const Decimal receivedBefore = ArticleField(10, "ART:Recibido");
        ASSERT_TRUE(Complete({.folio = folio, .order = folio, .lines = c.receipt})) << c.what;
        EXPECT_EQ(OrderReceived(folio), c.received) << c.what;
        EXPECT_EQ(OrderField(folio, "ORD:TOTALSURTIDO"), c.supplied_after) << c.what;
        EXPECT_EQ(OrderField(folio, "ORD:PorcSurtido"), c.percent) << c.what;
        EXPECT_EQ(ArticleField(10, "ART:Recibido") - receivedBefore, c.articleReceived) << c.what;
        ++folio;
    }
}

TEST_F(ReceiptPosting, NoOrderOrOneNotStoredChangesNoOrder) {
    AddOrder(5, Decimal(4), Decimal(0), {{10, Decimal(4), Decimal(0)}});
    const std::vector<Record> before = Rows(TableId::DetOrdenes);
    ASSERT_TRUE(Complete({.folio = 400, .order = 0, .lines = {{10, Decimal(4), D(100)}}}));
    ASSERT_TRUE(Complete({.folio = 401, .order = 6, .lines = {{10, Decimal(4), D(100)}}}));
    EXPECT_EQ(Rows(TableId::DetOrdenes), before);
    EXPECT_EQ(OrderField(5, "ORD:TOTALSURTIDO"), Decimal(0));
    EXPECT_EQ(ArticleField(10, "ART:Recibido"), Decimal(0));
}

TEST_F(ReceiptPosting, AReceiptWithoutLinesOnlyStoresItsHeaderAndFolio) {
    AddOrder(5, Decimal(4), Decimal(1), {{10, Decimal(4), Decimal(1)}});
    ASSERT_TRUE(Complete({.folio = 500, .order = 5}));  // typed over: the counter becomes 501
    EXPECT_EQ(Count(TableId::Kardex), 0);
    EXPECT_EQ(ArticleField(10, "ART:Entradas"), Decimal(0));
    EXPECT_EQ(OrderField(5, "ORD:PorcSurtido"), Decimal(25));
    EXPECT_EQ(FolioCounter(tables(), kReceiptFolio), 501);
    EXPECT_EQ(Count(TableId::Entradas), 1);
}

// Refused completions post nothing: the database is as it was, the message
// says why, and the header is still pending for the form to try again.
TEST_F(ReceiptPosting, RefusalsPostNothing) {
    ASSERT_TRUE(Complete({.folio = 90, .lines = {{10, Decimal(1), D(100)}}}));
    struct Case {
        const char* what;
        Receipt receipt;
        int message;          // -1: a plain box
        const char* names;    // what the message names
    } cases[] = {
        {"a folio a stored receipt has", {.folio = 90, .lines = {{10, Decimal(1), D(100)}}}, 15, "ENT:KeyFolio"},
        {"folio zero", {.folio = 0, .lines = {}}, -1, "folio"},
        {"a line whose article is gone", {.folio = 91, .lines = {{10, Decimal(1), D(100)}, {77, Decimal(1), D(100)}}},
         -1, "77"},
        {"a line of article 0", {.folio = 92, .lines = {{0, Decimal(1), D(100)}}}, -1, "artículo 0"},
        {"a quantity of zero", {.folio = 93, .lines = {{10, Decimal(0), D(100)}}}, -1, "mayor que cero"},
        {"a negative cost", {.folio = 94, .lines = {{10, Decimal(1), D(-100)}}}, -1, "negativo"},
    };
    for (const Case& c : cases) {
        Enter(tables(), c.receipt);
        const std::string before = Dump();
        presenter.clear();
        EXPECT_FALSE(CompleteReceipt(tables())) << c.what;
        EXPECT_EQ(Dump(), before) << c.what;
        ASSERT_EQ(presenter.count(), 1u) << c.what;
        EXPECT_EQ(messageNumber(presenter.last()), c.message) << c.what;
        EXPECT_NE(presenter.last().text.find(c.names), std::string::npos) << c.what << ": " << presenter.last().text;
        // The header is still pending, for the form to try again.
        data::TableGateway& header = tables().gateway(TableId::Entradas);
        EXPECT_TRUE(header.file()->hasReservation()) << c.what;
        header.CancelPendingInsert();
    }
    EXPECT_EQ(FolioCounter(tables(), kReceiptFolio), 100);  // never lowered by folio 90
}

// A failure at a middle line leaves every table as before; once the cause
// is gone the same completion posts once.
TEST_F(ReceiptPosting, AFailureAtAMiddleLineLeavesEverythingAsBefore) {
    std::vector<Line> lines;
    for (int i = 0; i < 9; ++i) lines.push_back({i % 2 == 0 ? 10 : 20, Decimal(1), D(300)});
    Enter(tables(), {.folio = 600, .supplier = "PROV1", .lines = lines});
    const std::string before = Dump();
    {
        movements::test::InjectedFailure fail({"line", 5});
        EXPECT_FALSE(CompleteReceipt(tables()));
        EXPECT_EQ(fail.hits(), 1);
    }
    EXPECT_EQ(Dump(), before);
    EXPECT_TRUE(CompleteReceipt(tables()));
    EXPECT_EQ(Count(TableId::Kardex), 9);
    EXPECT_EQ(Count(TableId::PreProv), 9);
    EXPECT_EQ(Count(TableId::Entradas), 1);
    EXPECT_EQ(ArticleField(10, "ART:Entradas"), Decimal(5));
    EXPECT_TRUE(LedgerMatchesTotals());
}

TEST_F(ReceiptPosting, AnElevenDigitFolioFitsTheLedgersDocument) {
    ASSERT_TRUE(Complete({.folio = 12345678901, .lines = {{10, Decimal(1), D(100)}}}));
    EXPECT_EQ(Get(Rows(TableId::Kardex).at(0), "KAR:Documento").asText(), "ENT-12345678901");
}

// "Llamar datos": the order's lines still to receive become stored lines of
// the receipt, with the article's bar code; the receipt takes the supplier.
TEST_F(ReceiptPosting, CallingUpAnOrderCopiesItsPendingLines) {
    AddOrder(7, Decimal(18), Decimal(4),
             {{10, Decimal(10), Decimal(4)}, {20, Decimal(5), Decimal(0)}, {30, Decimal(3), Decimal(3)}});
    Enter(tables(), {.folio = 700, .order = 7});
    LineTracker own(kReceiptLines);
    const std::optional<CalledUp> copied = CallUpOrder(tables(), own);
    ASSERT_TRUE(copied.has_value());
    EXPECT_EQ(copied->copied, 2);
    EXPECT_EQ(CallUpNotice(*copied, 7), std::nullopt);
    EXPECT_EQ(own.Size(), 2u);
    const std::vector<Record> lines = ReadLines(tables(), kReceiptLines, Value(700));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(Get(lines[0], "DEN:CodigoArticulo").asNumber(), Decimal(10));
    EXPECT_EQ(Get(lines[0], "DEN:Cantidad").asNumber(), Decimal(6));
    EXPECT_EQ(Get(lines[0], "DEN:CostoUnitario").asNumber(), D(250));
    EXPECT_EQ(std::string(rtrim(Get(lines[0], "DEN:CODBARRAS").asText())), "750100");
    EXPECT_EQ(Get(lines[1], "DEN:Cantidad").asNumber(), Decimal(5));
    EXPECT_EQ(std::string(rtrim(Get(lines[1], "DEN:CODBARRAS").asText())), "750200");
    const Record& h = tables().buffer(TableId::Entradas);
    EXPECT_EQ(std::string(rtrim(Get(h, "ENT:PROVEEDOR").asText())), "PROV1");
    ASSERT_TRUE(CompleteReceipt(tables(), &own));
    EXPECT_EQ(OrderReceived(7), (std::vector<Decimal>{Decimal(10), Decimal(5), Decimal(3)}));
    EXPECT_EQ(OrderField(7, "ORD:TOTALSURTIDO"), Decimal(15));
    EXPECT_EQ(OrderField(7, "ORD:PorcSurtido"), Decimal(83));

    // No order named: nothing happens. One that is not stored, or with
    // nothing left to receive: nothing is copied, the supplier stays, and
    // the notice says why.
    Enter(tables(), {.folio = 701, .order = 0});
    EXPECT_FALSE(CallUpOrder(tables(), own).has_value());
    const struct {
        long long order;
        const char* notice;
    } empty[] = {{8, "No hay ninguna orden de compra con el folio 8."},
                 {7, "La orden de compra 7 no tiene artículos por recibir."}};
    for (const auto& c : empty) {
        Enter(tables(), {.folio = 701, .supplier = "OTRO", .order = c.order});
        const std::optional<CalledUp> none = CallUpOrder(tables(), own);
        ASSERT_TRUE(none.has_value()) << c.order;
        EXPECT_EQ(none->copied, 0);
        EXPECT_EQ(CallUpNotice(*none, c.order), std::string(c.notice));
        EXPECT_EQ(std::string(rtrim(Get(h, "ENT:PROVEEDOR").asText())), "OTRO");
    }
    EXPECT_FALSE(HasLines(tables(), kReceiptLines, Value(701)));
}

// A pending line whose article no longer exists is not copied (the
// completion would refuse it) but named; the other lines are copied and the
// receipt completes.
TEST_F(ReceiptPosting, CallingUpLeavesOutAndNamesArticlesThatNoLongerExist) {
    AddOrder(7, Decimal(9), Decimal(0),
             {{10, Decimal(2), Decimal(0)}, {44, Decimal(3), Decimal(0)}, {55, Decimal(4), Decimal(0)}});
    Enter(tables(), {.folio = 700, .order = 7});
    LineTracker own(kReceiptLines);
    const std::optional<CalledUp> c = CallUpOrder(tables(), own);
    ASSERT_TRUE(c.has_value());
    EXPECT_EQ(c->copied, 1);
    EXPECT_EQ(c->missing, (std::vector<Decimal>{Decimal(44), Decimal(55)}));
    EXPECT_EQ(CallUpNotice(*c, 7),
              std::string("Los artículos 44 y 55 de la orden de compra 7 ya no existen: no se copiaron a la entrada."));
    const std::vector<Record> lines = ReadLines(tables(), kReceiptLines, Value(700));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Get(lines[0], "DEN:CodigoArticulo").asNumber(), Decimal(10));
    ASSERT_TRUE(CompleteReceipt(tables(), &own)) << (presenter.empty() ? "" : presenter.last().text);
    EXPECT_EQ(ArticleField(10, "ART:Entradas"), Decimal(2));
    // Only the missing one pending: nothing copied, and the notice says so.
    AddOrder(9, Decimal(3), Decimal(0), {{44, Decimal(3), Decimal(0)}});
    Enter(tables(), {.folio = 701, .order = 9});
    const std::optional<CalledUp> only = CallUpOrder(tables(), own);
    ASSERT_TRUE(only.has_value());
    EXPECT_EQ(only->copied, 0);
    EXPECT_EQ(CallUpNotice(*only, 9), std::string("El artículo 44 de la orden de compra 9 ya no existe: no se copió "
                                                  "a la entrada. No hay otros artículos por recibir."));
}

}  // namespace
}  // namespace tv::movements::receipts
