// The document printout template: one document's lines through the view,
// the preview with its settings, the writers' options, message 25, and one
// run per procedure.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/globals.h"
#include "app/printout/document_printout.h"
#include "app/window/running_procedures.h"
#include "data/thread_table_set.h"
#include "platform/errors/scripted_presenter.h"
#include "platform/ini/ini_store.h"
#include "platform/report/layout.h"
#include "platform/report/report_run_controller.h"
#include "platform/report/text_writer.h"
#include "platform/storage/storage.h"
#include "platform/threads/thread_state.h"
#include "tests/app/printout/printout_driver.h"
#include "tests/support/fiber_helpers.h"
#include "tests/support/scratch_dir.h"

namespace tv::app {
namespace {

using data::TableId;
using report::Item;

class PrintoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        storage::setDatabasePath(dir.file("talvor.db"));
        ErrorReporter::instance().setUp();
        scope_.emplace(presenter);
        SetPrintoutPlacementStore(&ini);
        globals().EMPRESA = "FERRETERIA LA TUERCA";
        test::onThread([] {
            auto put = [](TableId t, std::vector<std::pair<const char*, Value>> values) {
                data::TableGateway& g = data::tables().gateway(t);
                ASSERT_EQ(g.PrepareNewRecord(), data::kDone);
                for (const auto& [f, v] : values) g.BUFFER.set(data::decl(t).fieldIndex(f), v);
                ASSERT_EQ(g.InsertRecord(), data::kDone);
            };
            put(TableId::Unidades, {{"UNI:UM", "PIEZA"}});
            put(TableId::Articulo, {{"ART:NoArt", 10}, {"ART:Descripcion", "TORNILLO 1/4"}, {"ART:UM", 1}});
            put(TableId::Articulo, {{"ART:NoArt", 20}, {"ART:Descripcion", "TUERCA 1/4"}, {"ART:UM", 1}});
            put(TableId::Entradas, {{"ENT:Folio", 7}, {"ENT:Referencia", "FACT-99"}});
            put(TableId::Entradas, {{"ENT:Folio", 8}, {"ENT:Referencia", "SIN LINEAS"}});
            put(TableId::DetEntradas, {{"DEN:ENTRADA", 7}, {"DEN:CodigoArticulo", 20}, {"DEN:Cantidad", Decimal::fromScaled(200, 2)},
                                       {"DEN:CostoUnitario", Decimal::fromScaled(1250, 2)}});
            put(TableId::DetEntradas, {{"DEN:ENTRADA", 9}, {"DEN:CodigoArticulo", 10}, {"DEN:Cantidad", 1}});
            put(TableId::Fisico, {{"FIS:Descripcion", "CONTEO DE MAYO"}});
            put(TableId::Fisico, {{"FIS:Descripcion", "OTRO"}});
            put(TableId::DetFisico, {{"DFI:INVENTARIO", 1}, {"DFI:CodigoArticulo", 20}, {"DFI:Existencia", 5}});
            put(TableId::DetFisico, {{"DFI:INVENTARIO", 2}, {"DFI:CodigoArticulo", 30}, {"DFI:Existencia", 9}});
            put(TableId::DetFisico, {{"DFI:INVENTARIO", 1}, {"DFI:CodigoArticulo", 10}, {"DFI:Existencia", 3}});
        });
    }
    void TearDown() override {
        SetPrintoutPlacementStore(nullptr);
        globals().RunningProcedures.clear();
        scope_.reset();
        storage::setDatabasePath("talvor.db");
    }

    // The receipt lines of the folio in the line buffer, with a box, a
    // check box and the computed amount.
    static DocumentPrintoutSetup receiptSetup() {
        DocumentPrintoutSetup s;
        s.procedure = "ImprimirPrueba";
        report::ReportLayout& l = s.layout;
        l.pageHeaderArea = {250, 250, 8000, 1000};
        l.detailArea = {250, 1300, 8000, 8000};
        l.pageHeader.items = {Item::value("GLO:EMPRESA", "s60", 0, 0, 5000),
                              Item::fixed("Folio:", 0, 300), Item::value("ENT:Folio", "n_10", 600, 300, 1000),
                              Item::value("ENT:Referencia", "s20", 2000, 300, 2000),
                              Item::box(0, 500, 8000, 300, 2), Item::checkBox("ENT:Folio", "Con folio", 0, 850)};
        l.detail.height = 250;
        l.detail.items = {Item::value("DEN:CodigoArticulo", "n_10", 0, 0, 700, report::Align::Right),
                          Item::value("ART:Descripcion", "s70", 800, 0, 3000),
                          Item::value("UNI:UM", "s40", 3900, 0, 1000),
                          Item::value("LOC:IMPORTE", "n-14.2", 5000, 0, 1500, report::Align::Right)};
        s.lines = TableId::DetEntradas;
        s.linkKey = "DEN:KeyEntrada";
        s.range = PrintoutRange::LineBufferValue;
        s.linkField = "DEN:ENTRADA";
        s.joins = {{TableId::Entradas, "ENT:KeyFolio", {{"ENT:Folio", "DEN:ENTRADA"}}},
                   {TableId::Articulo, "ART:KeyNoArt", {{"ART:NoArt", "DEN:CodigoArticulo"}}},
                   {TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}}};
        s.compute = [](const report::RecordValues& r, report::OverlayValues& o) {
            o.set("LOC:IMPORTE", (r.value("DEN:Cantidad").asNumber() * r.value("DEN:CostoUnitario").asNumber()).rounded(2));
        };
        return s;
    }

    // Starts the printout on a thread of its own with the folio in the line buffer.
    void start(const DocumentPrintoutSetup& s, long long folio) {
        done_ = false;
        threads::start(
            [this, s, folio] {
                data::tables().buffer(TableId::DetEntradas).set(data::decl(TableId::DetEntradas).fieldIndex("DEN:ENTRADA"),
                                                               Value(folio));
                threadState().callRequest = kPrint;
                RunDocumentPrintout(s);
                response_ = threadState().callResponse;
                done_ = true;
            },
            512 * 1024);
    }

    test::ScratchDir dir;
    test::WorkingDir wd{dir.path()};
    IniStore ini{dir.file("talvor.INI")};
    ScriptedPresenter presenter;
    bool done_ = true;
    uint8_t response_ = 0;

private:
    std::optional<ScopedPresenter> scope_;
};

TEST_F(PrintoutTest, PrintsTheDocumentOfTheLineBufferAndSavesItAsPdf) {
    start(receiptSetup(), 7);
    ASSERT_TRUE(test::cancelPrinterChoice());  // the report runs all the same
    report::PreviewWindowController* preview = test::waitForPreview();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isMaximized());
    EXPECT_EQ(preview->navigator().zoom(), 100);
    ASSERT_EQ(preview->pages().size(), 1u);
    const std::vector<std::string> texts = preview->pages()[0].texts();
    auto shows = [&](const std::string& t) { return std::find(texts.begin(), texts.end(), t) != texts.end(); };
    EXPECT_TRUE(shows("FERRETERIA LA TUERCA"));
    EXPECT_TRUE(shows("FACT-99"));
    EXPECT_TRUE(shows("TUERCA 1/4"));
    EXPECT_TRUE(shows("PIEZA"));
    EXPECT_TRUE(shows("25.00"));
    EXPECT_FALSE(shows("TORNILLO 1/4"));  // a line of another folio
    EXPECT_TRUE(FindRunningProcedure("ImprimirPrueba"));

    ASSERT_TRUE(test::saveFromPreview(*preview, test::kPdfWriter, dir.file("entrada")));
    ASSERT_TRUE(test::runFor([&] { return done_; }));
    EXPECT_EQ(response_, kCompleted);
    const std::string pdf = test::readWholeFile(dir.file("entrada.PDF"));
    EXPECT_NE(pdf.find("/Title (QJ Report)"), std::string::npos);
    EXPECT_NE(pdf.find("/Subject (ImprimirPrueba)"), std::string::npos);
    EXPECT_NE(pdf.find("/Producer (ImprimirPrueba)"), std::string::npos);
    EXPECT_NE(pdf.find("/Creator (talvor)"), std::string::npos);
    const std::string text = test::pdfText(dir.file("entrada.PDF"));
    if (!text.empty()) {
        EXPECT_NE(text.find("TUERCA 1/4"), std::string::npos);
        EXPECT_NE(text.find("25.00"), std::string::npos);
    }
    // Done: the procedure is free again, and the preview's place is kept.
    EXPECT_FALSE(FindRunningProcedure("ImprimirPrueba"));
    EXPECT_EQ(ini.read("_PreviewWindow_", "Maximize"), "Yes");
    EXPECT_TRUE(ini.find("_PreviewWindow_", "Width").has_value());
    EXPECT_EQ(presenter.count(), 0u);
}

TEST_F(PrintoutTest, ADocumentWithoutLinesSaysSoAndShowsNothing) {
    start(receiptSetup(), 8);
    ASSERT_TRUE(test::cancelPrinterChoice());
    ASSERT_TRUE(test::runFor([&] { return done_; }));
    EXPECT_EQ(response_, kCancelled);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().text, "No se encontraron registros disponibles para procesar.");
    EXPECT_EQ(test::findPreview(), nullptr);
    EXPECT_FALSE(FindRunningProcedure("ImprimirPrueba"));
}

TEST_F(PrintoutTest, TextAndHtmlOutputUseTheTemplatesCharactersAndFolders) {
    start(receiptSetup(), 7);
    ASSERT_TRUE(test::cancelPrinterChoice());
    report::PreviewWindowController* preview = test::waitForPreview();
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(test::saveFromPreview(*preview, test::kTextWriter, dir.file("entrada")));
    ASSERT_TRUE(test::runFor([&] { return done_; }));
    const std::string text = test::readWholeFile(dir.file("entrada.TXT"));
    EXPECT_NE(text.find("[X] Con folio"), std::string::npos) << text;
    EXPECT_NE(text.find("/---"), std::string::npos) << text;   // the box's top left corner and top line
    EXPECT_NE(text.find("\u2592"), std::string::npos) << text;  // its fill: the medium shade
    EXPECT_NE(text.find("TUERCA 1/4"), std::string::npos);

    start(receiptSetup(), 7);
    ASSERT_TRUE(test::cancelPrinterChoice());
    preview = test::waitForPreview();
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(test::saveFromPreview(*preview, test::kHtmlWriter, dir.file("entrada")));
    ASSERT_TRUE(test::runFor([&] { return done_; }));
    EXPECT_TRUE(std::filesystem::exists(dir.file("entrada.HTM")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("_Images")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("_Files")));
    EXPECT_NE(test::readWholeFile(dir.file("entrada.HTM")).find("Morlisk Report"), std::string::npos);
}

// Counts and orders take their lines through the relation to the header
// buffer, ordered further by article.
TEST_F(PrintoutTest, RangeByTheHeaderRelationWithAnAddedOrder) {
    DocumentPrintoutSetup s;
    s.procedure = "ReportePrueba";
    s.layout.detail.height = 250;
    s.layout.detail.items = {Item::value("DFI:CodigoArticulo", "n_10", 0, 0, 700),
                             Item::value("ART:Descripcion", "s70", 800, 0, 3000)};
    s.layout.pageHeader.items = {Item::value("FIS:Descripcion", "s60", 0, 0, 5000)};
    s.lines = TableId::DetFisico;
    s.linkKey = "DFI:KeyInventario";
    s.range = PrintoutRange::HeaderRelation;
    s.header = TableId::Fisico;
    s.addedOrder = "dfi:CodigoArticulo";
    s.joins = {{TableId::Articulo, "ART:KeyNoArt", {{"ART:NoArt", "DFI:CodigoArticulo"}}}};
    done_ = false;
    threads::start(
        [this, s] {
            data::tables().buffer(TableId::Fisico).set(0, Value(1));
            data::tables().buffer(TableId::Fisico).set(data::decl(TableId::Fisico).fieldIndex("FIS:Descripcion"),
                                                       Value("CONTEO DE MAYO"));
            threadState().callRequest = kPrint;
            RunDocumentPrintout(s);
            done_ = true;
        },
        512 * 1024);
    ASSERT_TRUE(test::cancelPrinterChoice());
    report::PreviewWindowController* preview = test::waitForPreview();
    ASSERT_NE(preview, nullptr);
    std::vector<std::string> texts = preview->pages().at(0).texts();
    // The two lines of count 1, by article number; not the line of count 2.
    const auto tornillo = std::find(texts.begin(), texts.end(), "TORNILLO 1/4");
    const auto tuerca = std::find(texts.begin(), texts.end(), "TUERCA 1/4");
    ASSERT_NE(tornillo, texts.end());
    ASSERT_NE(tuerca, texts.end());
    EXPECT_LT(tornillo, tuerca);
    EXPECT_EQ(std::find(texts.begin(), texts.end(), "30"), texts.end());
    preview->leave();
    ASSERT_TRUE(test::runFor([&] { return done_; }));
}

TEST_F(PrintoutTest, ASecondStartWhileItRunsOpensNothing) {
    start(receiptSetup(), 7);
    ASSERT_TRUE(test::cancelPrinterChoice());
    report::PreviewWindowController* preview = test::waitForPreview();
    ASSERT_NE(preview, nullptr);
    bool secondDone = false;
    uint8_t second = 0;
    threads::start(
        [&] {
            threadState().callRequest = kPrint;
            RunDocumentPrintout(receiptSetup());
            second = threadState().callResponse;
            secondDone = true;
        },
        512 * 1024);
    ASSERT_TRUE(test::runFor([&] { return secondDone; }));
    EXPECT_EQ(second, kCancelled);
    EXPECT_TRUE(ui::openDialogs().empty());  // no second printer choice
    preview->leave();
    ASSERT_TRUE(test::runFor([&] { return done_; }));
    EXPECT_EQ(response_, kCompleted);
}

}  // namespace
}  // namespace tv::app
