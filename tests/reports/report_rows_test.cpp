// Each report's rows, groups and totals on a small fixture, as the text
// writer prints them; and what a report does without records, with a
// filter it cannot read, and with numbers too large for their fields.
#include <algorithm>
#include <cmath>

#include <QFont>
#include <QFontMetricsF>
#include <gtest/gtest.h>

#include "app/globals.h"
#include "platform/report/page_geometry.h"
#include "reports/kardex/kardex.h"
#include "reports/pending/pending.h"
#include "reports/stock/stock.h"
#include "reports/template/filter_text.h"
#include "reports/value/value.h"
#include "tests/reports/report_fixture.h"

namespace tv::reports {
namespace {

using test_support::Art;
using test_support::KardexRow;
using test_support::textLines;
using Lines = std::vector<std::string>;

class ReportRows : public test_support::ReportFixture {
protected:
    void SetUp() override {
        ReportFixture::SetUp();
        app::globals().EMPRESA = "EL NOMBRE DE SU EMPRESA";
        addUnits({{1, "PIEZA"}, {2, "KILO"}});
        // Two brands of one name but different codes.
        addBrands({{4, "ACME"}, {7, "ZETA"}, {8, "ACME"}});
        addCategories({{2, "TORNILLERIA"}, {5, "PINTURAS"}});
    }
    void TearDown() override {
        app::globals().EMPRESA = std::string(60, ' ');
        ReportFixture::TearDown();
    }
    // Tornillo: opening stock 10, so its stock is not receipts minus issues.
    // Clavo: no stock, a unit that does not exist, received in full.
    // Tuerca: received beyond its order. Arandela: negative stock, a brand
    // that does not exist. Article 0: left out of the number order.
    void addFixture() {
        addArticles({{30, "Tuerca", 1, 4, 5, "0", "15.5", "4", "5", "6", "1.01"},
                     {10, "Tornillo", 1, 7, 2, "10", "5", "3", "20", "5", "1.50"},
                     {20, "Clavo", 9, 4, 2, "0", "5", "5", "10", "10", "2"},
                     {40, "Arandela", 2, 99, 5, "0", "0", "2.5", "3.25", "0", "1.01"},
                     {50, "Pintura", 2, 8, 5, "0", "2.5", "0", "0", "0", "1.01"},
                     {0, "Sin número", 1, 4, 2, "0", "1", "0", "7", "0", "3"}});
    }
    ReportPages print(const ReportDefinition& d, const std::string& filter) {
        ReportPages out;
        test::onThread([&] { out = PrintReportPages(d, filter); });
        return out;
    }
    Lines lines(const ReportDefinition& d, const std::string& filter) {
        ReportPages p = print(d, filter);
        EXPECT_EQ(p.error, "");
        EXPECT_EQ(p.response, 1);
        return textLines(p.pages);
    }
    struct Case {
        const char* what;
        const ReportDefinition& report;
        std::string filter;
        Lines expected;
    };
    void check(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            const Lines got = lines(c.report, c.filter);
            EXPECT_EQ(got, c.expected) << c.what;
            if (got != c.expected)
                for (const std::string& l : got) std::printf("%s\n", l.c_str());
        }
    }
};

TEST_F(ReportRows, StockByNumberBrandAndCategory) {
    addFixture();
    check({
        {"by number, articles with stock", StockReport(1), kStockClause,
         Lines{
        "                                        EL NOMBRE DE SU EMPRESA                               1",
        "                                         Existencia en almacén",
        "",
        "      No Art Descripción                            UM                 Entradas    Salidas  Existencia",
        "   ------------------------------------------------------------------------------------------------",
        "          10 Tornillo                               PIEZA                5.00       3.00      12.00",
        "          30 Tuerca                                 PIEZA               15.50       4.00      11.50",
        "          40 Arandela                               KILO                 0.00       2.50      -2.50",
        "          50 Pintura                                KILO                 2.50       0.00       2.50"}},
        // Each brand code is a group of its own, named or not.
        {"by brand", StockReport(2), kStockClause,
         Lines{
        "                                        EL NOMBRE DE SU EMPRESA                               1",
        "                                         Existencia en almacén",
        "",
        "      No Art Descripción                            UM                 Entradas    Salidas  Existencia",
        "   ------------------------------------------------------------------------------------------------",
        "       Marca: ACME",
        "          30 Tuerca                                 PIEZA               15.50       4.00      11.50",
        "           0 Sin número                             PIEZA                1.00       0.00       1.00",
        "",
        "       Marca: ZETA",
        "          10 Tornillo                               PIEZA                5.00       3.00      12.00",
        "",
        "       Marca: ACME",
        "          50 Pintura                                KILO                 2.50       0.00       2.50",
        "",
        "       Marca:",
        "          40 Arandela                               KILO                 0.00       2.50      -2.50"}},
        {"by category, every article", StockReport(3), "",
         Lines{
        "                                        EL NOMBRE DE SU EMPRESA                               1",
        "                                         Existencia en almacén",
        "",
        "      No Art Descripción                            UM                 Entradas    Salidas  Existencia",
        "   ------------------------------------------------------------------------------------------------",
        "       Categoría: TORNILLERIA",
        "          10 Tornillo                               PIEZA                5.00       3.00      12.00",
        "          20 Clavo                                                       5.00       5.00       0.00",
        "           0 Sin número                             PIEZA                1.00       0.00       1.00",
        "",
        "       Categoría: PINTURAS",
        "          30 Tuerca                                 PIEZA               15.50       4.00      11.50",
        "          40 Arandela                               KILO                 0.00       2.50      -2.50",
        "          50 Pintura                                KILO                 2.50       0.00       2.50"}},
    });
}

TEST_F(ReportRows, ValueWithItsTotal) {
    addFixture();
    check({
        // 11.50 x 1.01 = 11.615 and -2.50 x 1.01 = -2.525 round away from
        // zero; the total adds the values as printed.
        {"by number, every article", ValueReport(1), "",
         Lines{
        "                                        EL NOMBRE DE SU EMPRESA                               1",
        "                                         Valor del inventario",
        "",
        "      No Art Descripción                   UM              Existencia Costo promedio     Costo inv.",
        "   ------------------------------------------------------------------------------------------------",
        "          10 Tornillo                      PIEZA                12.00           1.50          18.00",
        "          20 Clavo                                               0.00           2.00           0.00",
        "          30 Tuerca                        PIEZA                11.50           1.01          11.62",
        "          40 Arandela                      KILO                 -2.50           1.01          -2.53",
        "          50 Pintura                       KILO                  2.50           1.01           2.53",
        "                                                                                     --------------",
        "                                                                              Total:          29.62"}},
        {"by brand, articles with stock", ValueReport(2), kStockClause,
         Lines{
        "                                        EL NOMBRE DE SU EMPRESA                               1",
        "                                         Valor del inventario",
        "",
        "      No Art Descripción                   UM              Existencia Costo promedio     Costo inv.",
        "   ------------------------------------------------------------------------------------------------",
        "       Marca: ACME",
        "          30 Tuerca                        PIEZA                11.50           1.01          11.62",
        "           0 Sin número                    PIEZA                 1.00           3.00           3.00",
        "",
        "       Marca: ZETA",
        "          10 Tornillo                      PIEZA                12.00           1.50          18.00",
        "",
        "       Marca: ACME",
        "          50 Pintura                       KILO                  2.50           1.01           2.53",
        "",
        "       Marca:",
        "          40 Arandela                      KILO                 -2.50           1.01          -2.53",
        "                                                                                     --------------",
        "                                                                              Total:          32.62"}},
        {"by category, every article", ValueReport(3), "",
         Lines{
        "                                        EL NOMBRE DE SU EMPRESA                               1",
        "                                         Valor del inventario",
        "",
        "      No Art Descripción                   UM              Existencia Costo promedio     Costo inv.",
        "   ------------------------------------------------------------------------------------------------",
        "       Categoría: TORNILLERIA",
        "          10 Tornillo                      PIEZA                12.00           1.50          18.00",
        "          20 Clavo                                               0.00           2.00           0.00",
        "           0 Sin número                    PIEZA                 1.00           3.00           3.00",
        "",
        "       Categoría: PINTURAS",
        "          30 Tuerca                        PIEZA                11.50           1.01          11.62",
        "          40 Arandela                      KILO                 -2.50           1.01          -2.53",
        "          50 Pintura                       KILO                  2.50           1.01           2.53",
        "                                                                                     --------------",
        "                                                                              Total:          32.62"}},
    });
}

TEST_F(ReportRows, PendingItems) {
    addFixture();
    // Received in full, received beyond the order, never ordered, article 0:
    // none is printed.
    check({{"the window's text", PendingReport(), kPendingClause,
            Lines{
        "                                        EL NOMBRE DE SU EMPRESA                               1",
        "                                         Artículos por surtir",
        "",
        "      No Art Descripción                            UM                 Pedido   Recibido Por Recibir",
        "   ------------------------------------------------------------------------------------------------",
        "          10 Tornillo                               PIEZA               20.00       5.00      15.00",
        "          40 Arandela                               KILO                 3.25       0.00       3.25"}}});
}

TEST_F(ReportRows, LedgerArticleByArticle) {
    addFixture();
    addKardex({{10, "01/03/2024", "ENT-1", "COMPRA", "R-1", "5", "0", "15"},
               {40, "03/03/2024", "SAL-2", "CONSUMO", "", "0", "2.5", "-2.5"},
               {0, "03/03/2024", "SAL-2", "CONSUMO", "", "0", "1", "0"},
               {10, "02/03/2024", "SAL-1", "CONSUMO", "", "0", "3", "12"},
               {77, "05/03/2024", "ENT-9", "COMPRA", "", "1", "0", "1"},
               {10, "04/03/2024", "SAL-3", "CONSUMO", "", "0", "12", "0"}});
    check({
        // Rows of one article in the order they were stored; zero in and out
        // print blank, a zero stock does not; the ledger row of article 0 is
        // not in the key; article 77 is not in the catalogue.
        {"every row", KardexReport(), "",
         Lines{
        "                                        EL NOMBRE DE SU EMPRESA                               1",
        "                                           Kardex de almacén",
        "",
        "   Fecha      Documento      Concepto             Referencia           Entrada    Salida Existencia",
        "",
        "   ------------------------------------------------------------------------------------------------",
        "   No. Art:     10",
        "   Descripción: Tornillo",
        "   UM:          PIEZA",
        "   01/03/2024 ENT-1          COMPRA               R-1                     5.00                15.00",
        "   02/03/2024 SAL-1          CONSUMO                                                3.00      12.00",
        "   04/03/2024 SAL-3          CONSUMO                                               12.00       0.00",
        "   ------------------------------------------------------------------------------------------------",
        "   No. Art:     40",
        "   Descripción: Arandela",
        "   UM:          KILO",
        "   03/03/2024 SAL-2          CONSUMO                                                2.50      -2.50",
        "   ------------------------------------------------------------------------------------------------",
        "   No. Art:     0",
        "   Descripción:",
        "   UM:",
        "   05/03/2024 ENT-9          COMPRA                                       1.00                 1.00"}},
        // The brand the article has now selects its rows.
        {"one brand", KardexReport(), "ART:Marca = 7",
         Lines{
        "                                        EL NOMBRE DE SU EMPRESA                               1",
        "                                           Kardex de almacén",
        "",
        "   Fecha      Documento      Concepto             Referencia           Entrada    Salida Existencia",
        "",
        "   ------------------------------------------------------------------------------------------------",
        "   No. Art:     10",
        "   Descripción: Tornillo",
        "   UM:          PIEZA",
        "   01/03/2024 ENT-1          COMPRA               R-1                     5.00                15.00",
        "   02/03/2024 SAL-1          CONSUMO                                                3.00      12.00",
        "   04/03/2024 SAL-3          CONSUMO                                               12.00       0.00"}},
    });
}


TEST_F(ReportRows, NoRecordShowsMessage25AndPrintsNothing) {
    addFixture();
    for (const ReportDefinition* d : {&StockReport(1), &ValueReport(3), &PendingReport(), &KardexReport()}) {
        presenter.clear();
        ReportPages p = print(*d, "ART:NoArt = 999");
        EXPECT_EQ(p.response, 2) << d->procedure;
        EXPECT_TRUE(p.pages.empty()) << d->procedure;
        EXPECT_EQ(shownNumbers(), std::vector<int>{25}) << d->procedure;
    }
}

TEST_F(ReportRows, AFilterThatCannotBeReadRunsNothing) {
    addFixture();
    for (const char* filter : {"ART:NoArt >= ", "ART:NoArt >= 1 and", "ART:NoSuchField = 3", "(ART:Marca = 4"}) {
        presenter.clear();
        ReportPages p = print(StockReport(1), filter);
        EXPECT_EQ(p.response, 2) << filter;
        EXPECT_TRUE(p.pages.empty()) << filter;
        EXPECT_NE(p.error, "") << filter;
        // Not message 25: nothing was looked for.
        EXPECT_TRUE(presenter.empty()) << filter;
    }
}

// A number wider than its column is printed whole; a value or a total that
// does not fit its field (11 digits with 2 places) is flagged.
TEST_F(ReportRows, WideNumbersPrintWholeAndOverflowIsFlagged) {
    addArticles({{12345678901LL, "Once cifras", 1, 4, 2, "999999999.99", "999999999.99", "0", "0", "0", "1"},
                 {2, "Grande", 1, 4, 2, "0", "600000000", "0", "0", "0", "1"},
                 {3, "Grande", 1, 4, 2, "0", "600000000", "0", "0", "0", "1"}});
    const Lines stock = lines(StockReport(1), "ART:NoArt > 1000");
    ASSERT_EQ(stock.size(), 6u);
    EXPECT_NE(stock[5].find("12345678901 Once cifras"), std::string::npos) << stock[5];
    EXPECT_NE(stock[5].find(" 999,999,999.99 "), std::string::npos) << stock[5];
    EXPECT_NE(stock[5].find(" 1,999,999,999.98 (!)"), std::string::npos) << stock[5];

    const Lines value = lines(ValueReport(1), "ART:NoArt < 1000");
    ASSERT_GE(value.size(), 2u);
    EXPECT_NE(value[5].find("600,000,000.00"), std::string::npos) << value[5];
    EXPECT_EQ(value[5].find("(!)"), std::string::npos) << value[5];
    EXPECT_NE(value.back().find("Total: 1,200,000,000.00 (!)"), std::string::npos) << value.back();
}

// A unit's name of twelve capitals prints whole in the reports that show
// the unit: inside its box on the page (a left text is clipped there) and
// in the text output.
TEST_F(ReportRows, AUnitOfTwelveCapitalsPrintsWhole) {
    const std::string unit = "METRO LINEAL";
    addUnits({{3, unit}});
    addArticles({{60, "Moldura de pino para marco", 3, 4, 2, "0", "100", "1", "100", "1", "1"}});
    for (const ReportDefinition* d : {&StockReport(1), &ValueReport(1), &PendingReport()}) {
        const ReportPages p = print(*d, "ART:NoArt = 60");
        ASSERT_EQ(p.error, "");
        int found = 0;
        for (const report::Page& page : p.pages)
            for (const report::Primitive& prim : page.items) {
                if (prim.kind != report::PrimKind::Text || prim.text != unit) continue;
                ++found;
                QFont f(QString::fromStdString(prim.font.family));
                f.setPixelSize(static_cast<int>(std::lround(prim.font.size * 1000.0 / 72.0)));
                EXPECT_LE(QFontMetricsF(f).horizontalAdvance(QString::fromStdString(unit)), prim.w) << d->procedure;
            }
        EXPECT_EQ(found, 1) << d->procedure;
        const Lines text = textLines(p.pages);
        EXPECT_TRUE(std::any_of(text.begin(), text.end(),
                                [&](const std::string& l) { return l.find(unit + " ") != std::string::npos; }))
            << d->procedure;
    }
}

// Whatever the numbers, nothing a report prints lies over anything else on
// its pages (the preview, the printer and the writers all draw them where
// the page places them): a stock of 1,999,999,999.98 beside issues of 0.00,
// values and a total far wider than their columns beside "Total:", a long
// company name beside the page number.
TEST_F(ReportRows, NothingPrintedOverlaps) {
    addFixture();
    addKardex({{10, "01/03/2024", "ENT-1", "COMPRA", "R-1", "999999999.99", "0", "999999999999.99"}});
    addArticles({{1001, "Existencia enorme", 1, 4, 2, "999999999.99", "999999999.99", "0", "0", "0", "999999999.99"},
                 {1002, std::string(70, 'W'), 2, 7, 5, "-999999999.99", "0", "999999999.99", "999999999.99",
                  "0", "999999999.99"}});
    app::globals().EMPRESA = std::string(60, 'W');
    for (int orden = 1; orden <= 3; ++orden)
        for (const ReportDefinition* d : {&StockReport(orden), &ValueReport(orden)}) {
            ReportPages p = print(*d, "");
            ASSERT_EQ(p.response, 1) << d->procedure;
            for (const report::Page& page : p.pages)
                EXPECT_EQ(report::overlaps(page).size(), 0u) << d->procedure << " page " << page.number;
        }
    for (const ReportDefinition* d : {&PendingReport(), &KardexReport()}) {
        ReportPages p = print(*d, "");
        ASSERT_EQ(p.response, 1) << d->procedure;
        for (const report::Page& page : p.pages)
            EXPECT_EQ(report::overlaps(page).size(), 0u) << d->procedure << " page " << page.number;
    }
}

TEST_F(ReportRows, EveryPageRepeatsTheHeader) {
    std::vector<Art> many;
    for (int i = 1; i <= 120; ++i) many.push_back({i, "Artículo " + std::to_string(i), 1, 4, 2, "0", "1"});
    addArticles(many);
    ReportPages p = print(StockReport(1), "");
    ASSERT_EQ(p.response, 1);
    ASSERT_GE(p.pages.size(), 3u);
    for (std::size_t i = 0; i < p.pages.size(); ++i) {
        const Lines page = textLines({p.pages[i]});
        ASSERT_GE(page.size(), 6u);
        EXPECT_NE(page[0].find("EL NOMBRE DE SU EMPRESA"), std::string::npos);
        EXPECT_EQ(page[0].substr(page[0].find_last_not_of(' ') + 1 - std::to_string(i + 1).size()),
                  std::to_string(i + 1));
        EXPECT_NE(page[1].find("Existencia en almacén"), std::string::npos);
        EXPECT_NE(page[3].find("No Art Descripción"), std::string::npos);
        EXPECT_EQ(page[4].find_first_not_of(" -"), std::string::npos) << "the line under the headings";
    }
    // Every article once, in order.
    int next = 1;
    for (const auto& page : p.pages)
        for (const std::string& t : page.texts())
            if (t == "Artículo " + std::to_string(next)) ++next;
    EXPECT_EQ(next, 121);
}

}  // namespace
}  // namespace tv::reports
