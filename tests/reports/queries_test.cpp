// The stock query and the ledger query as a user drives them: what each
// row shows, paging and locating, a find on a computed column, the view of
// an article (after which the query closes) and the print button.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QHeaderView>
#include <QTableWidget>

#include "app/browse/vs_find.h"
#include "app/frame/procedures.h"
#include "app/globals.h"
#include "catalog/articles/articles.h"
#include "platform/ui/colors.h"
#include "reports/kardex/kardex.h"
#include "reports/stock/stock.h"
#include "reports/template/article_query.h"
#include "tests/reports/report_ui.h"

namespace tv::reports {
namespace {

using test::runFor;
using test::settle;
using test_support::Art;

class Queries : public test_support::ReportWindowFixture {
protected:
    void SetUp() override {
        ReportWindowFixture::SetUp();
        addUnits({{1, "PIEZA"}});
        app::RegisterProcedure("FiltroReporteExistencia", FiltroReporteExistencia);
        app::RegisterProcedure("FiltroReporteKardex", FiltroReporteKardex);
    }
    void TearDown() override {
        // Filter windows the print buttons started.
        for (ui::Window* w : ui::Window::openWindows())
            if (w != list_) w->post({ui::EventKind::CloseWindow, 0});
        runFor([] { return ui::Window::openWindows().size() <= 1; });
        ReportWindowFixture::TearDown();
    }
    QTableWidget* grid(int control) const { return list_->at(control).as<QTableWidget>(); }
    std::vector<std::string> row(int control, int r) const {
        std::vector<std::string> out;
        QTableWidget* t = grid(control);
        for (int c = 0; c < t->columnCount(); ++c) out.push_back(t->item(r, c)->text().toStdString());
        return out;
    }
    std::string cell(int control, int r, int c) const { return grid(control)->item(r, c)->text().toStdString(); }
    std::string selectedCell(int control, int c) const {
        const int r = grid(control)->currentRow();
        return r < 0 ? "<none>" : cell(control, r, c);
    }
    void key(int control, Qt::Key k) {
        QTest::keyClick(grid(control), k);
        settle();
    }
    ui::Window* windowNamed(const QString& caption) {
        ui::Window* found = nullptr;
        runFor([&] {
            for (ui::Window* w : ui::Window::openWindows())
                if (w->caption() == caption && w->isOpen()) found = w;
            return found != nullptr;
        });
        settle();
        return found;
    }
};

TEST_F(Queries, StockQueryShowsTheStockAndItsDistanceToEachLevel) {
    addArticles({{10, "Tornillo", 1, 0, 0, "10", "5", "3", "0", "0", "0", "20", "4", "12"},
                 {20, "Clavo", 9, 0, 0, "0", "1", "6", "0", "0", "0", "2", "1", "1"}});
    start(BrowseConsultaExistencias);
    EXPECT_EQ(list_->caption(), QString::fromUtf8("Existencias de almacén"));
    EXPECT_EQ(row(kQueryList, 0), (std::vector<std::string>{"10", "Tornillo", "PIEZA", "12.00", "20.00", "-8.00",
                                                             "4.00", "8.00", "12.00", "0.00"}));
    // Below every level; the unit code matches no unit.
    EXPECT_EQ(row(kQueryList, 1), (std::vector<std::string>{"20", "Clavo", "", "-5.00", "2.00", "-7.00", "1.00",
                                                             "-6.00", "1.00", "-6.00"}));
    // The group heading stands once, over the first column of its group.
    EXPECT_EQ(grid(kQueryList)->horizontalHeaderItem(4)->text(), QString::fromUtf8("Stocl Máximo\nStock"));
    EXPECT_EQ(grid(kQueryList)->horizontalHeaderItem(5)->text(), QStringLiteral("\nDiferencia"));
    for (int r = 0; r < 2; ++r)
        EXPECT_EQ(grid(kQueryList)->item(r, 1)->background().style(), Qt::NoBrush) << "no stripes, row " << r;
    EXPECT_FALSE(list_->at(kQueryPrint).hidden());
    chooseTab(1);
    EXPECT_TRUE(list_->at(kQueryPrint).hidden()) << "the print button belongs to the first tab";
    EXPECT_EQ(cell(kQueryList, 0, 1), "Clavo") << "by description";
    chooseTab(0);
    EXPECT_FALSE(list_->at(kQueryPrint).hidden());
    list_->post({ui::EventKind::CloseWindow, 0});
    ASSERT_TRUE(runFor([this] { return done_; }));
}

TEST_F(Queries, StockQueryPagesLocatesAndFindsOnTheComputedStock) {
    std::vector<Art> many;
    std::vector<std::string> numbers;
    for (int i = 1; i <= 150; ++i) numbers.push_back(std::to_string(i));
    for (int i = 1; i <= 150; ++i)
        many.push_back({i, "Articulo " + std::string(i < 10 ? "00" : i < 100 ? "0" : "") + numbers[i - 1], 1, 0, 0,
                        "0", numbers[static_cast<std::size_t>(i - 1)].c_str()});
    // The stock is the number itself, but article 77 has 500 more issued.
    many[76].salidas = "500";
    addArticles(many);
    start(BrowseConsultaExistencias);
    EXPECT_EQ(cell(kQueryList, 0, 0), "1");
    key(kQueryList, Qt::Key_End);
    EXPECT_EQ(selectedCell(kQueryList, 0), "150");
    key(kQueryList, Qt::Key_Home);
    key(kQueryList, Qt::Key_PageDown);
    EXPECT_NE(cell(kQueryList, 0, 0), "1") << "a page on";

    type(list_, kQueryLocateNoArt, QStringLiteral("120"));
    QTest::keyClick(list_->at(kQueryLocateNoArt).widget(), Qt::Key_Return);
    settle();
    EXPECT_EQ(selectedCell(kQueryList, 0), "120");
    grid(kQueryList)->setFocus();
    settle();

    // F3 on "Existencia Actual" compares each article's own current stock.
    key(kQueryList, Qt::Key_Home);
    QTest::keyClick(grid(kQueryList), Qt::Key_F3);
    ui::Window* find = windowNamed(QStringLiteral("Buscar:"));
    ASSERT_NE(find, nullptr);
    auto* columns = find->at(app::kVsfColumns).as<QTableWidget>();
    ASSERT_EQ(columns->rowCount(), 10);
    EXPECT_EQ(columns->item(3, 0)->text(), QStringLiteral("Existencia Actual"));
    columns->setCurrentCell(3, 0);
    QTest::keyClicks(find->at(app::kVsfValue).as<QLineEdit>(), QStringLiteral("-423"));
    settle();
    QTest::mouseClick(find->at(app::kVsfFind).as<QPushButton>(), Qt::LeftButton);
    settle();
    EXPECT_EQ(selectedCell(kQueryList, 0), "77");
    EXPECT_TRUE(presenter.empty());
    list_->post({ui::EventKind::CloseWindow, 0});
    ASSERT_TRUE(runFor([this] { return done_; }));
}

// "C&onsultar artículo" shows the article read-only; once its form closes,
// the query closes too.
TEST_F(Queries, ViewingAnArticleEndsTheQuery) {
    addArticles({{10, "Tornillo", 1, 0, 0, "0", "5"}, {20, "Clavo", 1, 0, 0, "0", "7"}});
    for (void (*query)() : {BrowseConsultaExistencias, BrowseConsultaKardex}) {
        start(query);
        key(kQueryList, Qt::Key_Down);
        click(list_, kQueryView);
        ui::Window* f = form();
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->caption(), QStringLiteral("Consulta"));
        EXPECT_NE(f->control("?ART:Descripcion"), nullptr);
        f->post({ui::EventKind::CloseWindow, 0});
        ASSERT_TRUE(runFor([this] { return done_; })) << "the query closed after the form";
        EXPECT_TRUE(app::globals().RunningProcedures.empty());
    }
}

// The print button starts the filter window on a thread of its own; a
// second press brings the open one forward.
TEST_F(Queries, ThePrintButtonStartsTheFilterWindowOnce) {
    addArticles({{10, "Tornillo", 1, 0, 0, "0", "5"}});
    struct Case {
        void (*query)();
        QString filterCaption;
    };
    for (const Case& c : {Case{BrowseConsultaExistencias, QString::fromUtf8("Impresión de existencias")},
                          Case{BrowseConsultaKardex, QString::fromUtf8("Impresión de kardex")}}) {
        start(c.query);
        click(list_, kQueryPrint);
        ui::Window* filter = windowNamed(c.filterCaption);
        ASSERT_NE(filter, nullptr);
        EXPECT_NE(filter->owner(), thread_) << "a thread of its own";
        EXPECT_TRUE(list_->takesInput()) << "the query goes on";
        const std::size_t open = ui::Window::openWindows().size();
        click(list_, kQueryPrint);
        settle();
        EXPECT_EQ(ui::Window::openWindows().size(), open);
        filter->post({ui::EventKind::CloseWindow, 0});
        ASSERT_TRUE(runFor([&] { return ui::Window::openWindows().size() == 1; }));
        list_->post({ui::EventKind::CloseWindow, 0});
        ASSERT_TRUE(runFor([this] { return done_; }));
    }
}

TEST_F(Queries, LedgerQueryListsTheRowsOfTheHighlightedArticle) {
    addArticles({{10, "Tornillo", 1, 0, 0, "0", "5", "3"},
                 {20, "Clavo", 1, 0, 0, "0", "0", "2"},
                 {0, "Sin número", 1, 0, 0}});
    addKardex({{10, "01/03/2024", "ENT-1", "COMPRA", "R-1", "5", "0", "5"},
               {20, "02/03/2024", "SAL-4", "CONSUMO", "", "0", "2", "-2"},
               {10, "03/03/2024", "SAL-1", "CONSUMO", "X", "0", "3", "2"},
               {0, "03/03/2024", "SAL-9", "CONSUMO", "", "0", "1", "0"}});
    start(BrowseConsultaKardex);
    EXPECT_EQ(list_->caption(), QString::fromUtf8("Kardex de almacén"));
    EXPECT_EQ(row(kQueryList, 0), (std::vector<std::string>{"10", "Tornillo", "PIEZA", "5.00", "3.00", "2.00"}));
    EXPECT_EQ(grid(kQueryList)->rowCount(), 2) << "article 0 is not in the number order";
    ASSERT_EQ(grid(kQuerySecondList)->rowCount(), 2);
    EXPECT_EQ(row(kQuerySecondList, 0),
              (std::vector<std::string>{"01/03/2024", "ENT-1", "COMPRA", "R-1", "5.00", "0.00", "5.00"}));
    EXPECT_EQ(cell(kQuerySecondList, 1, 1), "SAL-1") << "in the order they were posted";
    // The date is shown whole, never cut to "01/03/2...".
    const QFontMetrics fm(grid(kQuerySecondList)->font());
    EXPECT_GE(grid(kQuerySecondList)->columnWidth(0), fm.horizontalAdvance(QStringLiteral("01/03/2024")) + 8);
    key(kQueryList, Qt::Key_Down);
    ASSERT_EQ(grid(kQuerySecondList)->rowCount(), 1);
    EXPECT_EQ(row(kQuerySecondList, 0),
              (std::vector<std::string>{"02/03/2024", "SAL-4", "CONSUMO", "", "0.00", "2.00", "-2.00"}));
    EXPECT_EQ(row(kQueryList, 1)[5], "-2.00");

    // By description article 0 is listed; it has no ledger rows of its own.
    chooseTab(1);
    EXPECT_TRUE(list_->at(kQueryPrint).hidden());
    EXPECT_TRUE(list_->at(kQueryHint).hidden()) << "the hint belongs to the first tab";
    ASSERT_EQ(grid(kQueryList)->rowCount(), 3);
    type(list_, kQueryLocateDesc, QStringLiteral("sin"));
    QTest::keyClick(list_->at(kQueryLocateDesc).widget(), Qt::Key_Return);
    settle();
    EXPECT_EQ(selectedCell(kQueryList, 1), "Sin número");
    EXPECT_EQ(grid(kQuerySecondList)->rowCount(), 0);
    // Striped, like the other lists.
    chooseTab(0);
    EXPECT_EQ(grid(kQueryList)->item(0, 1)->background().color(), ui::fromBgr(ui::colors::kListStripe));
    list_->post({ui::EventKind::CloseWindow, 0});
    ASSERT_TRUE(runFor([this] { return done_; }));
}

// A second start brings the open query forward and opens nothing.
TEST_F(Queries, ASecondStartOpensNoSecondWindow) {
    addArticles({{10, "Tornillo", 1, 0, 0, "0", "5"}});
    for (void (*query)() : {BrowseConsultaExistencias, BrowseConsultaKardex}) {
        start(query);
        const std::size_t open = ui::Window::openWindows().size();
        bool second = false;
        test::onThread([&] {
            query();
            second = true;
        });
        EXPECT_TRUE(second);
        EXPECT_EQ(ui::Window::openWindows().size(), open);
        EXPECT_FALSE(done_);
        list_->post({ui::EventKind::CloseWindow, 0});
        ASSERT_TRUE(runFor([this] { return done_; }));
    }
}

TEST_F(Queries, AnEmptyCatalogueShowsEmptyLists) {
    start(BrowseConsultaKardex);
    EXPECT_EQ(grid(kQueryList)->rowCount(), 0);
    EXPECT_EQ(grid(kQuerySecondList)->rowCount(), 0);
    EXPECT_TRUE(list_->at(kQueryView).disabled());
    // Esc closes the query as its close box does.
    QTest::keyClick(grid(kQueryList), Qt::Key_Escape);
    ASSERT_TRUE(runFor([this] { return done_; }));
}

}  // namespace
}  // namespace tv::reports
