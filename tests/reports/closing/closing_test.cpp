// The closing without its window: what it deletes, what it carries forward,
// what it leaves alone, its progress, and a failure at any point.
#include "reports/closing/closing.h"

#include <sqlite3.h>

#include <map>
#include <set>

#include "tests/movements/support/harness.h"
#include "tests/reports/closing/closing_fixture.h"

namespace tv::reports::test {
namespace {

// Every pass start and every record read, as "Pass total" and counts.
struct RecordingProgress : ClosingProgress {
    std::vector<std::pair<ClosingPass, int64_t>> starts;
    std::map<ClosingPass, std::vector<int64_t>> steps;
    void passStarted(ClosingPass p, int64_t total) override { starts.emplace_back(p, total); }
    void advanced(ClosingPass p, int64_t done) override { steps[p].push_back(done); }
};

// An opening row as ledger() shows it.
std::string row(long long article, long date, const char* in, const char* stock, const char* cost) {
    return std::to_string(article) + " " + std::to_string(date) + " [1] [INVENTARIO INICIAL] [] " + in + " 0.00 " +
           stock + " " + cost + " " + cost;
}

TEST_F(ClosingTest, EveryArticleIsCarriedForwardWithOneOpeningRowOfItsOwn) {
    struct Case {
        long long noArt;
        const char *entradas, *salidas, *anterior, *costo;
        const char* stock;  // what it holds after the closing, in ART:Entradas and its opening row
    };
    const Case cases[] = {
        {101, "150.50", "40.25", "0", "17.80", "110.25"},   // the usual article
        {102, "30.00", "30.00", "0", "5.55", "0.00"},       // received as much as issued: still a row
        {103, "10.00", "25.50", "0", "2.00", "-15.50"},     // issued more than received
        {104, "0", "0", "0", "0", "0.00"},                  // never moved
        {105, "10.00", "3.00", "5.00", "1.00", "12.00"},    // an opening stock is part of the stock
        {106, "0.10", "0.20", "0", "99999.99", "-0.10"},    // cents stay exact
        {107, "2.00", "0", "0", "12345678.90", "2.00"},     // costs of ten million and more are carried
        {108, "1.00", "0", "0", "999999999.99", "1.00"},    // the largest an article holds
    };
    seed([&](Seeder& s) {
        for (const Case& c : cases) s.article(c.noArt, c.entradas, c.salidas, c.costo, c.anterior, "8.00", "6.50");
        // Last period's ledger, whose last row has costs of its own.
        for (int i = 0; i < 7; ++i) s.ledgerRow(101, "ENT-" + std::to_string(i), "1.00", "0", "77.77");
    });

    const ClosingResult r = RunClosing(ClosingDay(), nullptr, *set);
    ASSERT_TRUE(r.done);
    EXPECT_TRUE(presenter.shown.empty());
    EXPECT_EQ(r.ledgerRowsDeleted, 7);
    EXPECT_EQ(r.articlesCarried, 8);

    std::vector<std::string> expected;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.noArt);
        ASSERT_TRUE(readArticle(c.noArt));
        EXPECT_EQ(field(TableId::Articulo, "ART:Entradas"), cents(c.stock));
        EXPECT_EQ(field(TableId::Articulo, "ART:Salidas"), 0);
        EXPECT_EQ(field(TableId::Articulo, "ART:ExistenciaAnterior"), 0);
        EXPECT_EQ(field(TableId::Articulo, "ART:Pedido"), cents("8.00"));
        EXPECT_EQ(field(TableId::Articulo, "ART:Recibido"), cents("6.50"));
        EXPECT_EQ(field(TableId::Articulo, "ART:COSTOPROMEDIO"), cents(c.costo));
        const std::string stock = Decimal::parse(c.stock).value().toFixed(2);
        expected.push_back(row(c.noArt, ClosingDay(), stock.c_str(), stock.c_str(),
                               Decimal::parse(c.costo).value().toFixed(2).c_str()));
    }
    EXPECT_EQ(ledger(), expected);
    // Dated the day of the closing, 1 April 2025, as the calendar reads it.
    data::TableGateway& k = set->KardexTableGateway();
    ASSERT_EQ(k.SetPositionToStart(), data::kDone);
    ASSERT_EQ(k.ReadNext(), data::kDone);
    const std::optional<Ymd> day = ymdFromDate(static_cast<long>(field(TableId::Kardex, "KAR:Fecha")));
    ASSERT_TRUE(day.has_value());
    EXPECT_EQ((std::vector<int>{day->year, day->month, day->day}), (std::vector<int>{2025, 4, 1}));
}

// A ledger stored under the earlier declaration, whose two cost fields held
// 9 digits: its rows read back whole, and the closing then stores a cost of
// ten million and more in it. The file keeps no width, so its table needs
// no change; the server's columns are widened by the start's unit.
TEST_F(ClosingTest, ALedgerStoredWhenItsCostsWereNarrowerWorksAsItIs) {
    auto narrow = std::make_shared<storage::TableDef>(*data::storageDef(TableId::Kardex));
    std::vector<FieldSpec> fields = narrow->layout->fields();
    for (FieldSpec& f : fields)
        if (f.name == "KAR:COSTOUNITARIO" || f.name == "KAR:COSTOPROMEDIO") f.size = 9;
    narrow->layout = std::make_shared<RecordLayout>(narrow->layout->label(), narrow->layout->prefix(), fields);
    {
        std::unique_ptr<storage::Connection> earlier = storage::Connection::open(dir.file("talvor.db"));
        storage::Table t(*earlier, narrow);
        ASSERT_TRUE(t.open().ok());
        Record r(narrow->layout);
        for (const char* cost : {"9999999.99", "12.34"}) {
            r.clear();
            r.set(r.layout().indexOf("KAR:ARTICULO"), Value(101LL));
            r.set(r.layout().indexOf("KAR:Documento"), Value("ENT-1"));
            r.set(r.layout().indexOf("KAR:Entrada"), dec("1.00"));
            r.set(r.layout().indexOf("KAR:Existencia"), dec("1.00"));
            r.set(r.layout().indexOf("KAR:COSTOUNITARIO"), dec(cost));
            r.set(r.layout().indexOf("KAR:COSTOPROMEDIO"), dec(cost));
            ASSERT_TRUE(t.insert(r).ok());
        }
    }
    {
        storage::Table today(*conn, data::storageDef(TableId::Kardex));
        bool missing = false;
        ASSERT_TRUE(today.checkSchema(missing).ok());
        EXPECT_EQ(missing, conn->dialect().server());
    }
    ASSERT_EQ(data::CreateAllTables(*set), data::kDone);
    {
        storage::Table today(*conn, data::storageDef(TableId::Kardex));
        bool missing = true;
        ASSERT_TRUE(today.checkSchema(missing).ok());
        EXPECT_FALSE(missing) << "nothing left to change";
    }
    EXPECT_EQ(ledger(), (std::vector<std::string>{"101 0 [ENT-1] [] [] 1.00 0.00 1.00 9999999.99 9999999.99",
                                                  "101 0 [ENT-1] [] [] 1.00 0.00 1.00 12.34 12.34"}));
    seed([](Seeder& s) { s.article(101, "5.00", "1.00", "25000000.00"); });
    ASSERT_TRUE(RunClosing(ClosingDay(), nullptr, *set).done) << (presenter.shown.empty() ? "" : presenter.shown[0].text);
    EXPECT_EQ(ledger(), (std::vector<std::string>{row(101, ClosingDay(), "4.00", "4.00", "25000000.00")}));
}

TEST_F(ClosingTest, AnOrderGoesOnlyWhenItIsCompletelyReceived) {
    struct Case {
        long long folio, percent;
        std::vector<std::pair<const char*, const char*>> lines;  // ordered, received
        bool deleted;
    };
    const std::vector<Case> cases = {
        {1, 99, {{"10.00", "9.90"}, {"5.00", "5.00"}}, false},   // partly received
        {2, 150, {{"10.00", "15.00"}}, false},                   // above 100 %
        {3, 100, {}, false},                                     // 100 % without lines
        {4, 100, {{"10.00", "10.00"}, {"4.00", "6.00"}}, true},  // every line received (one over)
        {5, 100, {{"10.00", "10.00"}, {"3.00", "2.99"}}, false}, // rounded up to 100 %, a line pending
        {6, 0, {{"1.00", "0"}}, false},                          // nothing received yet
        {7, 100, {{"2.00", "2.00"}}, true},
        {-8, 100, {{"1.00", "1.00"}}, false},                    // a folio below 0 is never reached
    };
    seed([&](Seeder& s) {
        for (const Case& c : cases) s.order(c.folio, c.percent, c.lines);
    });
    const ClosingResult r = RunClosing(ClosingDay(), nullptr, *set);
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.ordersDeleted, 2);
    EXPECT_EQ(r.ordersKept, 5);  // -8 is not even read

    std::set<long long> folios, lineFolios;
    std::map<long long, int> lines;
    data::TableGateway& o = set->OrdenesTableGateway();
    o.SetPositionToStart();
    while (o.ReadNext() == data::kDone) folios.insert(field(TableId::Ordenes, "ORD:Folio"));
    data::TableGateway& d = set->DetOrdenesTableGateway();
    d.SetPositionToStart();
    while (d.ReadNext() == data::kDone) ++lines[field(TableId::DetOrdenes, "DOR:ORDEN")];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folio);
        EXPECT_EQ(folios.count(c.folio) == 0, c.deleted);
        EXPECT_EQ(lines[c.folio], c.deleted ? 0 : static_cast<int>(c.lines.size()));
    }
}

TEST_F(ClosingTest, ReceiptsAndIssuesGoWithTheirLinesAndPriceRowsStay) {
    seed([](Seeder& s) {
        s.receipt(1, 3);
        s.receipt(2, 1);
        s.receipt(40, 2, "");
        s.receipt(-2, 2);  // folios 0 and below are not reached through the folio key
        s.receipt(0, 1);
        s.issue(1, 2);
        s.issue(9, 4);
        s.issue(-1, 1);
    });
    const std::string prices = dump({}, {"PreProv"});
    const ClosingResult r = RunClosing(ClosingDay(), nullptr, *set);
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.receiptsDeleted, 3);
    EXPECT_EQ(r.issuesDeleted, 2);
    EXPECT_EQ(count(TableId::Entradas), 2);
    EXPECT_EQ(count(TableId::DetEntradas), 3);  // the lines of -2 and 0
    EXPECT_EQ(count(TableId::Salidas), 1);
    EXPECT_EQ(count(TableId::DetSalidas), 1);
    data::TableGateway& den = set->DetEntradasTableGateway();
    den.SetPositionToStart();
    while (den.ReadNext() == data::kDone) EXPECT_LE(field(TableId::DetEntradas, "DEN:ENTRADA"), 0);
    EXPECT_EQ(dump({}, {"PreProv"}), prices) << "price rows stay, also those of deleted receipts";
}

TEST_F(ClosingTest, WhatTheClosingDoesNotOwnStaysByteForByte) {
    seed([](Seeder& s) {
        s.untouched();
        s.order(3, 40, {{"10.00", "4.00"}});
        s.order(4, 100, {{"1.00", "0.50"}});
        s.receipt(5, 2);
        for (int i = 1; i <= 20; ++i) s.article(i, "12.00", "2.00", "3.25", "0", "9.00", "4.00");
    });
    const std::vector<std::string> others = {"PreProv", "Folios",   "Fisico",      "DetFisico", "Temporden",
                                             "Marcas",  "Ordenes",  "DetOrdenes", "Proveedores"};
    const std::string before = dump({}, others);
    // Of the articles everything but the three quantities (and the watch's stamp).
    const std::vector<std::string> moved = {"Entradas", "Salidas", "ExistenciaAnterior", "tv_version"};
    const std::string articlesBefore = dump(moved, {"Articulo"});
    ASSERT_TRUE(RunClosing(ClosingDay(), nullptr, *set).done);
    EXPECT_EQ(dump({}, others), before);
    EXPECT_EQ(dump(moved, {"Articulo"}), articlesBefore);
}

TEST_F(ClosingTest, ProgressFollowsEachPassOverTheCountTakenBeforeIt) {
    {
        // Empty tables: every pass starts with 0, reads nothing and goes on.
        RecordingProgress p;
        ASSERT_TRUE(RunClosing(ClosingDay(), &p, *set).done);
        using P = ClosingPass;
        EXPECT_EQ(p.starts, (std::vector<std::pair<P, int64_t>>{
                                {P::Ledger, 0}, {P::Receipts, 0}, {P::Issues, 0}, {P::Orders, 0}, {P::Articles, 0}}));
        EXPECT_TRUE(p.steps[P::Receipts].empty());
        EXPECT_TRUE(p.steps[P::Articles].empty());
    }
    seed([](Seeder& s) {
        for (int i = 1; i <= 30; ++i) s.article(i, "5.00", "1.00");
        for (int i = 0; i < 45; ++i) s.ledgerRow(i % 30 + 1, "SAL-1", "0", "1.00");
        for (int f = 1; f <= 4; ++f) s.receipt(f, 2);
        s.receipt(-3, 1);
        s.issue(1, 1);
        s.order(1, 100, {{"1.00", "1.00"}});
        s.order(2, 50, {{"1.00", "0.50"}});
    });
    RecordingProgress p;
    ASSERT_TRUE(RunClosing(ClosingDay(), &p, *set).done);
    using P = ClosingPass;
    EXPECT_EQ(p.starts, (std::vector<std::pair<P, int64_t>>{
                            {P::Ledger, 45}, {P::Receipts, 5}, {P::Issues, 1}, {P::Orders, 2}, {P::Articles, 30}}));
    EXPECT_EQ(p.steps[P::Ledger], std::vector<int64_t>{45});
    EXPECT_EQ(p.steps[P::Receipts], (std::vector<int64_t>{1, 2, 3, 4}));  // -3 is not reached
    EXPECT_EQ(p.steps[P::Orders], (std::vector<int64_t>{1, 2}));
    ASSERT_EQ(p.steps[P::Articles].size(), 30u);
    EXPECT_EQ(p.steps[P::Articles].back(), 30);
}

TEST_F(ClosingTest, ClosingAgainRightAfterwardsKeepsTheStock) {
    seed([](Seeder& s) {
        s.article(1, "150.50", "40.25", "17.80");
        s.article(2, "3.00", "8.00");
        s.ledgerRow(1, "ENT-1", "150.50", "0");
    });
    ASSERT_TRUE(RunClosing(ClosingDay(), nullptr, *set).done);
    const std::vector<std::string> first = ledger();
    const long tomorrow = ClosingDay() + 1;
    const ClosingResult r = RunClosing(tomorrow, nullptr, *set);
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.ledgerRowsDeleted, 2);  // the opening rows of the first closing
    std::vector<std::string> second = ledger();
    ASSERT_EQ(second.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        std::string expected = first[i];
        const std::string day = std::to_string(ClosingDay());
        expected.replace(expected.find(day), day.size(), std::to_string(tomorrow));
        EXPECT_EQ(second[i], expected);
    }
    ASSERT_TRUE(readArticle(1));
    EXPECT_EQ(field(TableId::Articulo, "ART:Entradas"), cents("110.25"));
    ASSERT_TRUE(readArticle(2));
    EXPECT_EQ(field(TableId::Articulo, "ART:Entradas"), cents("-5.00"));
}

TEST_F(ClosingTest, AnArticleAnotherStationIsStillTypingInIsLeftToItsForm) {
    seed([](Seeder& s) {
        s.article(1, "4.00", "1.00");
        s.article(2, "6.00", "0");
    });
    // The other station's article form has reserved its record (blank but
    // for its internal number) and the user is still typing.
    Station other = station();
    data::TableGateway& form = other.set->ArticuloTableGateway();
    ASSERT_EQ(form.PrepareNewRecord(), data::kDone);

    const ClosingResult r = RunClosing(ClosingDay(), nullptr, *set);
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.articlesCarried, 2);
    EXPECT_EQ(count(TableId::Kardex), 2) << "no opening row for a record that is not an article yet";

    const auto& d = data::decl(TableId::Articulo);
    form.BUFFER.setRaw(d.fieldIndex("ART:NoArt"), 3);
    form.BUFFER.setText(d.fieldIndex("ART:Descripcion"), "Tornillo");
    EXPECT_EQ(form.InsertRecord(), data::kDone) << "the form still stores its article";
    EXPECT_TRUE(presenter.shown.empty());
    ASSERT_TRUE(readArticle(3));
    EXPECT_EQ(textOf(TableId::Articulo, "ART:Descripcion"), "Tornillo");
}

// More articles than the closing reads at once, with another station's
// reservation among them: every article is carried once, in order, and the
// reservation is left to its form.
TEST_F(ClosingTest, ManyArticlesAreEachCarriedOnceAroundAReservation) {
    constexpr int kBefore = 511, kAfter = 1100;
    seed([](Seeder& s) {
        for (int n = 1; n <= kBefore; ++n) s.article(n, "5.00", "2.00");
    });
    Station other = station();
    data::TableGateway& form = other.set->ArticuloTableGateway();
    ASSERT_EQ(form.PrepareNewRecord(), data::kDone);
    seed([](Seeder& s) {
        for (int n = kBefore + 1; n <= kBefore + kAfter; ++n) s.article(n, "7.00", "1.00");
    });

    const ClosingResult r = RunClosing(ClosingDay(), nullptr, *set);
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.articlesCarried, kBefore + kAfter);
    const std::vector<std::string> rows = ledger();
    ASSERT_EQ(rows.size(), static_cast<size_t>(kBefore + kAfter));
    for (int n = 1; n <= kBefore + kAfter; ++n) {
        const std::string stock = n <= kBefore ? "3.00" : "6.00";
        EXPECT_EQ(rows[static_cast<size_t>(n - 1)].substr(0, rows[static_cast<size_t>(n - 1)].find(' ')),
                  std::to_string(n));
        ASSERT_TRUE(readArticle(n));
        EXPECT_EQ(field(TableId::Articulo, "ART:Entradas"), cents(stock.c_str())) << n;
        EXPECT_EQ(field(TableId::Articulo, "ART:Salidas"), 0) << n;
    }
    form.BUFFER.setRaw(data::decl(TableId::Articulo).fieldIndex("ART:NoArt"), 9000);
    EXPECT_EQ(form.InsertRecord(), data::kDone) << "the form still stores its article";
}

// More receipts, issues and orders than the closing reads at once, one pass
// after the other: every receipt and issue goes with its lines, of the
// orders only the completed ones, on either side of a batch's end.
TEST_F(ClosingTest, ManyDocumentsGoWithTheirLinesAcrossTheBatchesTheyAreReadIn) {
    constexpr int kReceipts = 1030, kIssues = 600, kOrders = 530;
    seed([](Seeder& s) {
        for (int f = 1; f <= kReceipts; ++f) s.receipt(f, 1, "");
        for (int f = 1; f <= kIssues; ++f) s.issue(f, f % 3);
        for (int f = 1; f <= kOrders; ++f)
            s.order(f, 100, {{"2.00", f % 2 == 0 ? "2.00" : "1.00"}, {"1.00", "1.00"}});
        s.receipt(-1, 2, "");
        s.article(1, "5.00", "2.00");
    });
    RecordingProgress p;
    const ClosingResult r = RunClosing(ClosingDay(), &p, *set);
    ASSERT_TRUE(r.done);
    EXPECT_EQ(r.receiptsDeleted, kReceipts);
    EXPECT_EQ(r.issuesDeleted, kIssues);
    EXPECT_EQ(r.ordersDeleted, kOrders / 2);
    EXPECT_EQ(r.ordersKept, kOrders / 2);
    EXPECT_EQ(p.steps[ClosingPass::Receipts].size(), static_cast<size_t>(kReceipts));
    EXPECT_EQ(p.steps[ClosingPass::Orders].back(), kOrders);
    EXPECT_EQ(count(TableId::Entradas), 1);
    EXPECT_EQ(count(TableId::DetEntradas), 2) << "the lines of folio -1";
    EXPECT_EQ(count(TableId::Salidas), 0);
    EXPECT_EQ(count(TableId::DetSalidas), 0);
    std::map<long long, int> lines;
    data::TableGateway& d = set->DetOrdenesTableGateway();
    d.SetPositionToStart();
    while (d.ReadNext() == data::kDone) ++lines[field(TableId::DetOrdenes, "DOR:ORDEN")];
    ASSERT_EQ(lines.size(), static_cast<size_t>(kOrders / 2));
    for (const auto& [folio, n] : lines) {
        EXPECT_EQ(folio % 2, 1) << folio;
        EXPECT_EQ(n, 2) << folio;
    }
    EXPECT_EQ(r.articlesCarried, 1);
}

// A failure injected in the database: a statement that meets the trigger
// fails as a full disk would (on the file through a function of the
// connection's own, on the server through the server's own code for it).
void failLikeAFullDisk(sqlite3_context* ctx, int, sqlite3_value**) {
    sqlite3_result_error_code(ctx, SQLITE_FULL);
}

// The trigger failing `event` on `table` (for the rows where `column` of
// `ref`, OLD or NEW, equals `value`, when a column is given).
std::string failingTrigger(bool server, const char* event, const char* table, const char* ref = nullptr,
                           const char* column = nullptr, long long value = 0) {
    const std::string when =
        column != nullptr ? std::string(ref) + ".\"" + column + "\" = " + std::to_string(value) : std::string();
    if (!server)
        return std::string("CREATE TRIGGER tv_test_fail BEFORE ") + event + " ON \"" + table + "\"" +
               (when.empty() ? "" : " WHEN " + when) + " BEGIN SELECT tv_fail(); END";
    return std::string("CREATE TRIGGER tv_test_fail BEFORE ") + event + " ON \"" + table + "\" FOR EACH ROW" +
           (when.empty() ? "" : " WHEN (" + when + ")") + " EXECUTE FUNCTION tv_test_fail()";
}

TEST_F(ClosingTest, AFailureAnywhereLeavesEveryTableAsItWasAndSaysSoAfterwards) {
    seed([](Seeder& s) {
        s.untouched();
        for (int i = 1; i <= 10; ++i) s.article(i, "9.00", "2.50", "4.00");
        for (int i = 0; i < 15; ++i) s.ledgerRow(i % 10 + 1, "ENT-7", "1.00", "0");
        s.receipt(7, 3);
        s.receipt(8, 2);
        s.issue(3, 2);
        s.order(1, 100, {{"1.00", "1.00"}});
    });
    const bool server = conn->dialect().server();
    if (server)
        ASSERT_TRUE(conn->exec("CREATE FUNCTION tv_test_fail() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN "
                               "RAISE EXCEPTION 'sin espacio' USING ERRCODE = '53100'; END $f$")
                        .ok());
    else
        ASSERT_EQ(sqlite3_create_function(conn->db(), "tv_fail", 0, SQLITE_UTF8, nullptr, &failLikeAFullDisk, nullptr,
                                          nullptr),
                  SQLITE_OK);
    struct Case {
        const char* where;
        std::string trigger;
        const char* table;
        int message;  // the table layer's, shown before the closing's own
    };
    const Case cases[] = {
        {"emptying the ledger", failingTrigger(server, "DELETE", "Kardex"), "Kardex", 13},
        {"a receipt's lines", failingTrigger(server, "DELETE", "DetEntradas", "OLD", "ENTRADA", 8), "DetEntradas", 13},
        {"an issue", failingTrigger(server, "DELETE", "Salidas"), "Salidas", 13},
        {"a completed order", failingTrigger(server, "DELETE", "DetOrdenes"), "DetOrdenes", 13},
        {"an opening row, midway through the articles", failingTrigger(server, "INSERT", "Kardex", "NEW", "ARTICULO", 6),
         "Kardex", 4},
        {"an article written back", failingTrigger(server, "UPDATE", "Articulo", "NEW", "NoArt", 9), "Articulo", 28},
    };
    const std::string before = dump();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        ASSERT_TRUE(conn->exec(c.trigger).ok()) << c.trigger;
        presenter.shown.clear();
        EXPECT_FALSE(RunClosing(ClosingDay(), nullptr, *set).done);
        ASSERT_TRUE(conn->exec(std::string("DROP TRIGGER tv_test_fail") + (server ? std::string(" ON \"") + c.table + "\"" : "")).ok());
        EXPECT_EQ(dump(), before);
        ASSERT_EQ(presenter.shown.size(), 2u);
        EXPECT_EQ(presenter.shown[0].number, c.message);
        EXPECT_NE(presenter.shown[0].text.find("Disco lleno"), std::string::npos) << presenter.shown[0].text;
        EXPECT_NE(presenter.shown[1].text.find("El cierre de período no se realizó"), std::string::npos);
        for (const auto& m : presenter.shown) EXPECT_EQ(m.depth, 0) << "shown after the rollback";
    }
    // Nothing is left half-done: the closing runs once the cause is gone.
    presenter.shown.clear();
    EXPECT_TRUE(RunClosing(ClosingDay(), nullptr, *set).done);
    EXPECT_TRUE(presenter.shown.empty());
}

TEST_F(ClosingTest, AFailureInjectedMidwayThroughTheArticlesLeavesEveryTableAsBefore) {
    seed([](Seeder& s) {
        s.untouched();
        for (int i = 1; i <= 40; ++i) s.article(i, "9.00", "2.50", "4.00");
        for (int i = 0; i < 60; ++i) s.ledgerRow(i % 40 + 1, "SAL-2", "0", "1.00");
        s.receipt(7, 3);
        s.issue(3, 2);
        s.order(1, 100, {{"1.00", "1.00"}});
    });
    const std::string before = dump();
    {
        movements::test::InjectedFailure failure({"article", 20});
        EXPECT_FALSE(RunClosing(ClosingDay(), nullptr, *set).done);
        EXPECT_EQ(failure.hits(), 1);
    }
    EXPECT_EQ(dump(), before);
    ASSERT_EQ(presenter.shown.size(), 2u);
    EXPECT_NE(presenter.shown[0].text.find("article 20"), std::string::npos) << presenter.shown[0].text;
    EXPECT_NE(presenter.shown[1].text.find("El cierre de período no se realizó"), std::string::npos);
    for (const auto& m : presenter.shown) EXPECT_EQ(m.depth, 0) << "shown after the rollback";
}

}  // namespace
}  // namespace tv::reports::test
