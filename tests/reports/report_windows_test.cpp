// The report filter windows and the report template as a user drives them:
// choices, "Im&primir", the printer choice, the progress window, the
// preview and the PDF it saves; cancel, no records, bad input, and one
// window per procedure.
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QTableView>

#include "app/globals.h"
#include "reports/kardex/kardex.h"
#include "reports/pending/pending.h"
#include "reports/stock/stock.h"
#include "reports/value/value.h"
#include "tests/reports/report_ui.h"

namespace tv::reports {
namespace {

using test_support::Art;
using test_support::findPreview;
using test::runFor;
using test::settle;

class ReportWindows : public test_support::ReportWindowFixture {
protected:
    void SetUp() override {
        ReportWindowFixture::SetUp();
        app::globals().EMPRESA = "EL NOMBRE DE SU EMPRESA";
        addUnits({{1, "PIEZA"}, {2, "KILO"}});
        addBrands({{4, "ACME"}, {7, "ZETA"}});
        addCategories({{2, "TORNILLERIA"}, {5, "PINTURAS"}});
        addArticles({{30, "Tuerca", 1, 4, 5, "0", "15.5", "4", "5", "1", "1.01"},
                     {10, "Tornillo", 1, 7, 2, "10", "5", "3", "20", "5", "1.50"},
                     {20, "Clavo", 2, 4, 2, "0", "5", "5", "0", "0", "2"}});
    }
    void TearDown() override {
        app::globals().EMPRESA = std::string(60, ' ');
        ReportWindowFixture::TearDown();
    }
    std::string pdfBytes(const std::string& name) {
        std::ifstream in(dir.file(name), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }
};

// As the window opens: every article with stock, by number. Then by
// category for one category, the same window, the choices kept.
TEST_F(ReportWindows, StockReportsFromTheirFilterWindowToPdf) {
    start(FiltroReporteExistencia);
    EXPECT_EQ(window()->caption(), QString::fromUtf8("Impresión de existencias"));
    std::string text = printToPdf("existencias");
    EXPECT_NE(text.find("EL NOMBRE DE SU EMPRESA"), std::string::npos) << text;
    EXPECT_NE(text.find("Existencia en almacén"), std::string::npos) << text;
    EXPECT_NE(text.find("Tornillo"), std::string::npos);
    EXPECT_NE(text.find("11.50"), std::string::npos);
    EXPECT_EQ(text.find("Clavo"), std::string::npos) << "no stock: left out";
    EXPECT_NE(pdfBytes("existencias.PDF").find("/Producer (ImpresionExistencias)"), std::string::npos);
    ASSERT_FALSE(done_) << "the filter window stays open";

    radio(kCategoriasOne);
    typeInCombo(kCatE, "2");
    tick(kCero, true);
    radio(kOrdenCategoria);
    text = printToPdf("categorias");
    EXPECT_NE(text.find("Categoría:"), std::string::npos) << text;
    EXPECT_NE(text.find("TORNILLERIA"), std::string::npos) << text;
    EXPECT_NE(text.find("Clavo"), std::string::npos) << "stock box ticked";
    EXPECT_EQ(text.find("Tuerca"), std::string::npos) << "another category";
    EXPECT_NE(pdfBytes("categorias.PDF").find("/Producer (ImpresionExistenciasCategoria)"), std::string::npos);
    EXPECT_TRUE(window()->at(kCategoriasOne).as<QRadioButton>()->isChecked()) << "the choices stay";

    // The same choices by brand.
    radio(kOrdenMarca);
    text = printToPdf("marcas");
    EXPECT_NE(text.find("Marca:"), std::string::npos) << text;
    EXPECT_NE(text.find("ZETA"), std::string::npos) << text;
    EXPECT_NE(text.find("ACME"), std::string::npos) << text;
    closeFilter();
}

TEST_F(ReportWindows, ValueReportPrintsItsTotal) {
    start(FiltroReporteValor);
    EXPECT_EQ(window()->caption(), QString::fromUtf8("Impresión de valor del inventario"));
    // A dot in a folder's name does not count as the file's extension.
    std::filesystem::create_directory(dir.file("informes.2024"));
    const std::string text = printToPdf("informes.2024/valor");
    EXPECT_TRUE(std::filesystem::exists(dir.file("informes.2024/valor.PDF")));
    EXPECT_NE(text.find("Valor del inventario"), std::string::npos) << text;
    // 12.00 x 1.50 + 11.50 x 1.01 (11.615)
    EXPECT_NE(text.find("18.00"), std::string::npos) << text;
    EXPECT_NE(text.find("11.62"), std::string::npos) << text;
    EXPECT_NE(text.find("Total:"), std::string::npos) << text;
    EXPECT_NE(text.find("29.62"), std::string::npos) << text;
    closeFilter();
}

TEST_F(ReportWindows, LedgerAndPendingWindowsHaveNoStockBoxNorOrder) {
    addKardex({{10, "01/03/2024", "ENT-1", "COMPRA", "R-1", "5", "0", "15"},
               {30, "02/03/2024", "SAL-1", "CONSUMO", "", "0", "4", "11.5"}});
    start(FiltroReporteKardex);
    EXPECT_EQ(window()->caption(), QString::fromUtf8("Impresión de kardex"));
    EXPECT_EQ(window()->control(kCero), nullptr);
    EXPECT_EQ(window()->control(kOrdenGroup), nullptr);
    radio(kMarcasOne);
    typeInCombo(kMarcaE, "7");
    std::string text = printToPdf("kardex");
    EXPECT_NE(text.find("Kardex de almacén"), std::string::npos) << text;
    EXPECT_NE(text.find("No. Art:"), std::string::npos) << text;
    EXPECT_NE(text.find("ENT-1"), std::string::npos) << text;
    EXPECT_EQ(text.find("SAL-1"), std::string::npos) << "article 30 is of another brand";
    closeFilter();

    start(FiltroReportePorSurtir);
    EXPECT_EQ(window()->caption(), QString::fromUtf8("Artículos por surtir"));
    EXPECT_EQ(window()->control(kCero), nullptr);
    text = printToPdf("surtir");
    EXPECT_NE(text.find("Artículos por surtir"), std::string::npos) << text;
    EXPECT_NE(text.find("Por Recibir"), std::string::npos) << text;
    EXPECT_NE(text.find("15.00"), std::string::npos) << text;
    EXPECT_NE(text.find("4.00"), std::string::npos) << text;
    EXPECT_EQ(text.find("Clavo"), std::string::npos) << "nothing ordered";
    closeFilter();
}

TEST_F(ReportWindows, NoRecordShowsMessage25AndTheWindowStays) {
    start(FiltroReporteExistencia);
    radio(kArticulosOne);
    type(window(), kNoArtE, "999");
    print();
    ASSERT_TRUE(answerPrinter());
    ASSERT_TRUE(runFor([&] { return !presenter.empty(); }));
    settle();
    EXPECT_EQ(shownNumbers(), std::vector<int>{25});
    EXPECT_EQ(findPreview(), nullptr);
    EXPECT_FALSE(done_);
    EXPECT_TRUE(window()->takesInput()) << "the report has returned";
    closeFilter();
}

TEST_F(ReportWindows, BadInputIsRefusedAndNothingRuns) {
    start(FiltroReporteExistencia);
    radio(kArticulosRange);
    radio(kMarcasRange);
    type(window(), kNoArt1, "12x");
    print();
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, "Dato no válido");
    EXPECT_TRUE(ui::openDialogs().empty()) << "no printer choice: no report";
    type(window(), kNoArt1, "123456789012");  // 12 digits: more than an article number holds
    print();
    ASSERT_EQ(presenter.count(), 2u);
    EXPECT_NE(presenter.last().text.find("demasiado grande"), std::string::npos);
    typeInCombo(kMarca1, "abc");
    type(window(), kNoArt1, "1");
    print();
    ASSERT_EQ(presenter.count(), 3u);
    EXPECT_TRUE(ui::openDialogs().empty());
    // A value the chosen option does not use is ignored, whatever it holds.
    radio(kMarcasAll);
    radio(kArticulosAll);
    type(window(), kNoArtE, "no es un numero");
    print();
    EXPECT_TRUE(answerPrinter()) << "the report runs";
    report::PreviewWindowController* preview = waitPreview();
    ASSERT_NE(preview, nullptr);
    preview->leave();
    ASSERT_TRUE(runFor([this] { return window()->takesInput(); }));
    EXPECT_EQ(presenter.count(), 3u);
    closeFilter();
}

TEST_F(ReportWindows, CancelDuringALongRunPrintsNothing) {
    std::vector<Art> many;
    for (int i = 100; i < 3100; ++i) many.push_back({i, "Artículo " + std::to_string(i), 1, 4, 2, "0", "1"});
    addArticles(many);
    start(FiltroReporteExistencia);
    print();
    ASSERT_TRUE(answerPrinter());
    ui::Window* progress = nullptr;
    ASSERT_TRUE(runFor([&] {
        progress = ui::Window::topOf(thread_);
        return progress != nullptr && progress != window() && progress->takesInput();
    }));
    EXPECT_EQ(progress->caption(), QStringLiteral("Imprimiendo..."));
    click(progress, kProgressCancel);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == window(); }));
    settle();
    EXPECT_EQ(findPreview(), nullptr);
    EXPECT_TRUE(presenter.empty());
    EXPECT_FALSE(done_);
    closeFilter();
}

// Enter moves the focus on, even from "Im&primir": it never prints.
TEST_F(ReportWindows, EnterMovesTheFocusAndPressesNothing) {
    start(FiltroReporteExistencia);
    window()->at(kFilterAction).focus();
    settle();
    QTest::keyClick(window()->at(kFilterAction).widget(), Qt::Key_Return);
    settle();
    EXPECT_TRUE(ui::openDialogs().empty()) << "no printer choice: no report";
    EXPECT_TRUE(window()->at(kFilterCancel).hasFocus());
    closeFilter();
}

// A drop list shows the codes and names of its catalogue; a row chosen puts
// its code in the entry.
TEST_F(ReportWindows, DropListsShowCodesAndNames) {
    start(FiltroReporteExistencia);
    auto* combo = window()->at(kMarca2).as<QComboBox>();
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->model()->index(0, 0).data().toString(), "4");
    EXPECT_EQ(combo->model()->index(0, 1).data().toString(), "ACME");
    EXPECT_EQ(combo->model()->index(1, 1).data().toString(), "ZETA");
    EXPECT_EQ(combo->currentText(), "") << "no value entered at first";
    combo->setCurrentIndex(1);
    settle();
    EXPECT_EQ(combo->currentText(), "7");
    EXPECT_NE(qobject_cast<QTableView*>(combo->view()), nullptr);
    closeFilter();
}

// A report already running elsewhere is brought forward; the second call
// runs nothing.
TEST_F(ReportWindows, AReportRunsOnceAtATime) {
    bool firstDone = false;
    threads::start([&] {
        ImpresionExistencias("");
        firstDone = true;
    }, threads::kMinStack);
    ASSERT_TRUE(runFor([] { return !ui::openDialogs().empty(); }));  // its printer choice
    test::onThread([&] {
        threadState().callRequest = 0;
        ImpresionExistencias("");
        EXPECT_EQ(threadState().callResponse, kCancelled);
    });
    EXPECT_EQ(ui::openDialogs().size(), 1u) << "no second printer choice";
    ASSERT_TRUE(answerPrinter());
    report::PreviewWindowController* preview = waitPreview();
    ASSERT_NE(preview, nullptr);
    preview->leave();
    ASSERT_TRUE(runFor([&] { return firstDone; }));
    EXPECT_TRUE(app::globals().RunningProcedures.empty());
}

// One window per procedure: a second start brings the open one forward.
TEST_F(ReportWindows, ASecondStartOpensNoSecondWindow) {
    start(FiltroReportePorSurtir);
    const std::size_t before = ui::Window::openWindows().size();
    bool second = false;
    test::onThread([&] {
        threadState().callRequest = 0;
        FiltroReportePorSurtir();  // as the pending items query calls it, on its own thread
        second = true;
        EXPECT_EQ(threadState().callResponse, kCancelled);
    });
    EXPECT_TRUE(second);
    EXPECT_EQ(ui::Window::openWindows().size(), before);
    closeFilter();
}

}  // namespace
}  // namespace tv::reports
