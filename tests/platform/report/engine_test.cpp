#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>

#include "platform/errors/scripted_presenter.h"
#include "platform/ini/ini_store.h"
#include "platform/report/ini_placement_store.h"
#include "platform/report/preview_window.h"
#include "platform/report/progress_window.h"
#include "platform/report/report_run_controller.h"
#include "platform/threads/logical_thread.h"
#include "tests/platform/report/sample_report.h"
#include "tests/support/scratch_dir.h"

namespace tv::report {
namespace {

class MemoryStore : public PlacementStore {
public:
    std::optional<std::string> read(std::string_view section, std::string_view key) const override {
        auto it = values.find(std::string(section) + "/" + std::string(key));
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    bool write(std::string_view section, std::string_view key, std::string_view value) override {
        values[std::string(section) + "/" + std::string(key)] = std::string(value);
        return true;
    }
    std::map<std::string, std::string> values;
};

VectorRecordSource sampleSource(int count) {
    return VectorRecordSource(test::sampleRecords(test::sampleArticles(count)), test::sampleGlobals());
}

// ---- record loop ----------------------------------------------------------------

TEST(RecordProcessor, BatchesGrowWhileFastAndShrinkWhenSlow) {
    std::vector<ValueMap> recs(2000);
    VectorRecordSource src(recs);
    RecordProcessor proc(src);
    // A fake clock: every record "takes" the time the test says.
    std::chrono::steady_clock::time_point now{};
    std::chrono::microseconds perRecord{100};
    proc.setClock([&] { return now; });
    proc.setOnRecord([&](const RecordValues&) { now += perRecord; });
    proc.setTargetBatchTime(std::chrono::milliseconds(50));

    ASSERT_TRUE(proc.start());
    std::vector<int> sizes;
    for (int i = 0; i < 6; ++i) {
        sizes.push_back(proc.batchSize());
        ASSERT_TRUE(proc.processBatch());
    }
    // 1 record first, doubling while a batch takes under 25 ms.
    EXPECT_EQ(sizes, (std::vector<int>{1, 2, 4, 8, 16, 32}));
    EXPECT_EQ(proc.batchSize(), 64);
    for (int i = 0; i < 3; ++i) proc.processBatch();  // 64, 128, 256 (25.6 ms: stays)
    EXPECT_EQ(proc.batchSize(), 256);
    perRecord = std::chrono::microseconds(1000);  // now far too slow
    proc.processBatch();
    EXPECT_EQ(proc.batchSize(), 128);
    EXPECT_EQ(proc.progress().records, 1 + 2 + 4 + 8 + 16 + 32 + 64 + 128 + 256 + 256);
    EXPECT_EQ(proc.progress().percent, 767 * 100 / 2000 + 0);
}

TEST(RecordProcessor, RunsEveryRecordOnceAndReportsProgress) {
    VectorRecordSource src = sampleSource(50);
    RecordProcessor proc(src);
    std::vector<int> seen;
    std::vector<int> percents;
    proc.setOnRecord([&](const RecordValues& r) { seen.push_back(static_cast<int>(r.value("ART:NoArt").asNumber().toInt64())); });
    proc.setProgressListener([&](const RecordProcessor::Progress& p) { percents.push_back(p.percent); });
    int batches = 0;
    EXPECT_EQ(proc.run([&] { ++batches; }), RecordProcessor::State::Completed);
    ASSERT_EQ(seen.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(seen[static_cast<std::size_t>(i)], i + 1);
    EXPECT_GE(batches, 1);
    EXPECT_EQ(percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(proc.progress().records, 50);
}

TEST(RecordProcessor, CancelStopsTheLoop) {
    VectorRecordSource src = sampleSource(50);
    RecordProcessor proc(src);
    int count = 0;
    proc.setOnRecord([&](const RecordValues&) {
        if (++count == 10) proc.cancel();
    });
    EXPECT_EQ(proc.run([] {}), RecordProcessor::State::Cancelled);
    EXPECT_EQ(count, 10);
    EXPECT_TRUE(proc.progress().cancelled);
    EXPECT_FALSE(proc.processBatch());
    EXPECT_EQ(count, 10);
}

TEST(RecordProcessor, NoRecordGivesMessage25) {
    ScriptedPresenter presenter;
    ScopedPresenter scope(presenter);
    VectorRecordSource src({});
    RecordProcessor proc(src);
    bool called = false;
    proc.setOnRecord([&](const RecordValues&) { called = true; });
    EXPECT_EQ(proc.run([] {}), RecordProcessor::State::NoRecords);
    EXPECT_FALSE(called);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, "No hay Registros");
    EXPECT_EQ(presenter.last().text, "No se encontraron registros disponibles para procesar.");
}

// ---- the run controller -------------------------------------------------------------

TEST(ReportRunController, RunsComputesAndRegistersTheWritersInOrder) {
    std::vector<ValueMap> recs;
    for (int i = 1; i <= 3; ++i) recs.push_back(ValueMap{{"DEN:Cantidad", Value(i)},
                                                         {"DEN:CostoUnitario", Value(Decimal::fromScaled(1250, 2))}});
    VectorRecordSource src(recs);
    ReportLayout l;
    l.detail = Band{250, {Item::value("LOC:IMPORTE", "n-14.2", 0, 0, 1500, Align::Right)}};
    ReportRunController rc("ImprimirEntrada", l, src);
    rc.setComputeFields([](const RecordValues& r, OverlayValues& v) {
        v.set("LOC:IMPORTE", Value((r.value("DEN:Cantidad").asNumber() * r.value("DEN:CostoUnitario").asNumber()).rounded(2)));
    });
    EXPECT_EQ(rc.chooser().names(), (std::vector<std::string>{"Text", "HTML", "PDF"}));
    EXPECT_EQ(rc.run([] {}), ReportRunController::kCompleted);
    ASSERT_EQ(rc.pages().size(), 1u);
    EXPECT_EQ(rc.pages()[0].texts(), (std::vector<std::string>{"12.50", "25.00", "37.50"}));

    // The PDF carries the procedure's name.
    tv::test::ScratchDir dir;
    std::filesystem::path written;
    ASSERT_TRUE(rc.chooser().save(2, dir.file("entrada"), rc.pages(), &written));
    EXPECT_EQ(written, dir.file("entrada.PDF"));
    std::ifstream in(written, std::ios::binary);
    std::string pdf((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(pdf.find("/Producer (ImprimirEntrada)"), std::string::npos);
    EXPECT_NE(pdf.find("/Subject (ImprimirEntrada)"), std::string::npos);
}

TEST(ReportRunController, CancelOrNoRecordPrintsNothing) {
    ScriptedPresenter presenter;
    ScopedPresenter scope(presenter);
    VectorRecordSource src = sampleSource(50);
    ReportRunController rc("ImpresionExistencias", test::sampleLayout(), src);
    int n = 0;
    rc.setComputeFields([&](const RecordValues&, OverlayValues&) {
        if (++n == 20) rc.processor().cancel();
    });
    EXPECT_EQ(rc.run([] {}), ReportRunController::kCancelled);
    EXPECT_TRUE(rc.pages().empty());
    EXPECT_TRUE(presenter.empty());

    VectorRecordSource none({});
    ReportRunController empty("ImpresionExistencias", test::sampleLayout(), none);
    bool previewed = false;
    empty.setPreviewHook([&](PreviewWindowController&) { previewed = true; });
    EXPECT_EQ(empty.runWithWindows(), ReportRunController::kCancelled);
    EXPECT_FALSE(previewed);
    EXPECT_TRUE(empty.pages().empty());
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, "No hay Registros");
}

TEST(ReportRunController, SaveReportsAFileThatCannotBeWritten) {
    VectorRecordSource src = sampleSource(3);
    ReportRunController rc("ImpresionExistencias", test::sampleLayout(), src);
    ASSERT_EQ(rc.run([] {}), ReportRunController::kCompleted);
    std::vector<std::string> shown;
    rc.chooser().setShowError([&](const std::string& t) { shown.push_back(t); });
    tv::test::ScratchDir dir;
    for (std::size_t w = 0; w < 3; ++w)
        EXPECT_FALSE(rc.chooser().save(w, dir.path() / "none" / "x", rc.pages())) << w;
    EXPECT_EQ(shown.size(), 3u);
    // The user cancelling the file dialog writes nothing and says nothing.
    rc.chooser().setAskFileName([](const std::string&, const std::string&) { return std::nullopt; });
    EXPECT_FALSE(rc.chooser().saveAs(0, rc.pages()));
    EXPECT_EQ(shown.size(), 3u);
    // A name asked for gets the writer's title and filter, and its extension.
    std::string title, filter;
    rc.chooser().setAskFileName([&](const std::string& t, const std::string& f) {
        title = t;
        filter = f;
        return std::optional<std::string>(dir.file("informe").string());
    });
    ASSERT_TRUE(rc.chooser().saveAs(1, rc.pages()));
    EXPECT_EQ(title, "Save as HTML File");
    EXPECT_EQ(filter, "HTM (*.HTM);;HTML (*.HTML);;All (*.*)");
    EXPECT_TRUE(std::filesystem::exists(dir.file("informe.HTM")));
}

// ---- preview logic ----------------------------------------------------------------------

TEST(PageList, ParsesListsAndRefusesBadOnes) {
    struct Case {
        const char* text;
        std::optional<std::vector<int>> pages;
    };
    const std::vector<Case> cases = {
        {"1-3,5", std::vector<int>{1, 2, 3, 5}},
        {" 5 , 1 - 2 ", std::vector<int>{1, 2, 5}},
        {"2,2,1-2", std::vector<int>{1, 2}},
        {"7", std::vector<int>{7}},
        {"1-7", std::vector<int>{1, 2, 3, 4, 5, 6, 7}},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"0", std::nullopt},
        {"8", std::nullopt},
        {"3-1", std::nullopt},
        {"1-", std::nullopt},
        {"-2", std::nullopt},
        {"1,,2", std::nullopt},
        {"1;2", std::nullopt},
        {"a", std::nullopt},
        {"1-2-3", std::nullopt},
        {"+1", std::nullopt},
        {"99999999999", std::nullopt},
    };
    for (const Case& c : cases) {
        std::string error;
        auto got = parsePageList(c.text, 7, &error);
        EXPECT_EQ(got, c.pages) << '"' << c.text << '"';
        EXPECT_EQ(error.empty(), c.pages.has_value()) << '"' << c.text << '"';
    }
    EXPECT_FALSE(parsePageList(std::string(256, '1'), 7));
    EXPECT_FALSE(parsePageList("1", 0));
}

TEST(PreviewNavigator, MovesByViewAndZoomsByStep) {
    PreviewNavigator nav(7);
    EXPECT_EQ(nav.current(), 1);
    EXPECT_FALSE(nav.canPrevious());
    EXPECT_TRUE(nav.next());
    EXPECT_EQ(nav.current(), 2);
    EXPECT_FALSE(nav.goTo(8));
    EXPECT_FALSE(nav.goTo(0));
    EXPECT_EQ(nav.current(), 2);
    EXPECT_TRUE(nav.goTo(7));
    EXPECT_FALSE(nav.next());
    EXPECT_FALSE(nav.canNext());

    ASSERT_TRUE(nav.setView(2, 2));
    EXPECT_FALSE(nav.setView(0, 1));
    EXPECT_FALSE(nav.setView(1, 9));
    nav.first();
    EXPECT_EQ(nav.visiblePages(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_TRUE(nav.next());
    EXPECT_EQ(nav.visiblePages(), (std::vector<int>{5, 6, 7}));
    EXPECT_FALSE(nav.next());
    EXPECT_TRUE(nav.previous());
    EXPECT_EQ(nav.current(), 1);
    nav.last();
    EXPECT_EQ(nav.visiblePages(), (std::vector<int>{4, 5, 6, 7}));

    EXPECT_EQ(nav.zoom(), 100);
    EXPECT_TRUE(nav.zoomIn());
    EXPECT_EQ(nav.zoom(), 125);
    EXPECT_TRUE(nav.setZoom(110));
    EXPECT_TRUE(nav.zoomOut());
    EXPECT_EQ(nav.zoom(), 100);
    EXPECT_TRUE(nav.setZoom(25));
    EXPECT_FALSE(nav.zoomOut());
    EXPECT_FALSE(nav.setZoom(10));
    EXPECT_TRUE(nav.setZoom(400));
    EXPECT_FALSE(nav.zoomIn());

    PreviewNavigator empty(0);
    EXPECT_EQ(empty.current(), 0);
    EXPECT_TRUE(empty.visiblePages().empty());
    EXPECT_FALSE(empty.next());
}

TEST(Placement, SurvivesInTheIniStore) {
    tv::test::ScratchDir dir;
    WindowPlacement p{-10, 20, 800, 600, true, false};
    {
        IniStore ini(dir.file("talvor.INI"));
        IniPlacementStore store(ini);
        EXPECT_EQ(loadPlacement(store, kPreviewSection), std::nullopt);
        ASSERT_TRUE(savePlacement(store, kPreviewSection, p));
    }
    IniStore again(dir.file("talvor.INI"));
    EXPECT_EQ(again.read("_PreviewWindow_", "XPos"), "-10");
    EXPECT_EQ(again.read("_PreviewWindow_", "Height"), "600");
    EXPECT_EQ(again.read("_PreviewWindow_", "Maximize"), "Yes");
    EXPECT_EQ(again.read("_PreviewWindow_", "Minimize"), "No");
    IniPlacementStore store(again);
    EXPECT_EQ(loadPlacement(store, kPreviewSection), p);

    // A damaged entry is not used.
    MemoryStore m;
    savePlacement(m, kPreviewSection, p);
    m.values["_PreviewWindow_/Width"] = "ancho";
    EXPECT_EQ(loadPlacement(m, kPreviewSection), std::nullopt);
    m.values["_PreviewWindow_/Width"] = "0";
    EXPECT_EQ(loadPlacement(m, kPreviewSection), std::nullopt);
}

// ---- windows ------------------------------------------------------------------------------

TEST(ProgressWindow, ShowsProgressAndCancelStopsTheReport) {
    VectorRecordSource src = sampleSource(50);
    ReportRunController rc("ImpresionExistencias", test::sampleLayout(), src);
    ProgressWindow w;
    w.attach(rc.processor());
    EXPECT_EQ(w.windowTitle(), "Imprimiendo...");
    EXPECT_EQ(w.cancelButton()->text(), "Cancelar");
    EXPECT_EQ(w.cancelButton()->toolTip(), "Cancela el reporte");
    EXPECT_EQ(w.percentText()->text(), "0% Completo");
    EXPECT_TRUE(w.userText()->text().isEmpty());
    int batches = 0;
    QString seen;
    int result = rc.run([&] {
        if (++batches == 3) {
            seen = w.percentText()->text();
            w.cancelButton()->click();
        }
    });
    EXPECT_EQ(result, ReportRunController::kCancelled);
    EXPECT_EQ(rc.processor().progress().records, 1 + 2 + 4);
    // Seven records done and the eighth already read: 8 of 50 read.
    EXPECT_EQ(seen, QString("%1% Completo").arg(8 * 100 / 50));
    EXPECT_EQ(w.bar()->value(), 8 * 100 / 50);
}

std::vector<Page> samplePages(int count) {
    VectorRecordSource src = sampleSource(count);
    Paginator pag(test::sampleLayout());
    while (src.next()) pag.addRecord(src);
    return pag.finish();
}

TEST(PreviewWindow, NavigatesZoomsPrintsChosenPagesAndKeepsItsPlace) {
    std::vector<Page> pages = samplePages(50);
    ASSERT_EQ(pages.size(), 3u);
    MemoryStore store;
    savePlacement(store, kPreviewSection, {30, 40, 1200, 800, false, false});
    auto* w = new PreviewWindowController(pages);
    w->setAttribute(Qt::WA_DeleteOnClose);
    PreviewWindowController::Options o;
    o.zoom = 100;
    o.maximize = false;
    o.store = &store;
    w->setOptions(o);
    std::vector<std::vector<int>> printed;
    w->setPrintHandler([&](const std::vector<int>& p) {
        printed.push_back(p);
        return true;
    });
    std::optional<PreviewWindowController::Outcome> closed;
    w->setClosedHandler([&](PreviewWindowController::Outcome out) { closed = out; });
    w->open();
    EXPECT_EQ(w->size(), QSize(1200, 800));

    for (const char* caption : {"&Anterior", "&Siguiente", "&Ir a la pagina", "&Cambiar presentacion", "Im&primir",
                                "Im&primir paginas...", "&Salvar como", "&Salir"})
        EXPECT_NE(w->button(QString::fromUtf8(caption)), nullptr) << caption;
    EXPECT_EQ(w->zoomBox()->currentText(), "100%");
    EXPECT_FALSE(w->button("&Anterior")->isEnabled());
    w->button("&Siguiente")->click();
    EXPECT_EQ(w->navigator().current(), 2);
    EXPECT_EQ(w->pageLabel()->text(), "Página 2 de 3");
    EXPECT_FALSE(w->goToPage(4));
    EXPECT_TRUE(w->goToPage(3));
    EXPECT_FALSE(w->button("&Siguiente")->isEnabled());
    EXPECT_TRUE(w->setZoom(200));
    EXPECT_EQ(w->zoomBox()->currentText(), "200%");

    // A bad page list is refused with its reason; a good one prints and closes.
    AskPagesWindow* ask = w->askPages();
    EXPECT_EQ(ask->windowTitle(), "Paginas a imprimir");
    EXPECT_EQ(ask->edit()->text(), "1-3");
    EXPECT_EQ(ask->edit()->maxLength(), 255);
    ask->edit()->setText("2-9");
    ask->acceptButton()->click();
    EXPECT_TRUE(printed.empty());
    EXPECT_FALSE(ask->errorText()->text().isEmpty());
    ask->edit()->setText("1,3");
    ask->acceptButton()->click();
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(printed[0], (std::vector<int>{1, 3}));
    ASSERT_TRUE(closed.has_value());
    EXPECT_EQ(*closed, PreviewWindowController::Outcome::Printed);
    EXPECT_EQ(store.values["_PreviewWindow_/Width"], "1200");
    EXPECT_EQ(store.values["_PreviewWindow_/Maximize"], "No");
    EXPECT_TRUE(store.values.count("_PreviewAskPagesWindow_/XPos"));
}

TEST(PreviewWindow, LeavingPrintsNothingAndZoomCanBeLocked) {
    std::vector<Page> pages = samplePages(5);
    PreviewWindowController w(pages);
    PreviewWindowController::Options o;
    o.allowZoom = false;
    o.maximize = false;
    w.setOptions(o);
    bool printedAny = false;
    w.setPrintHandler([&](const std::vector<int>&) { return printedAny = true; });
    std::optional<PreviewWindowController::Outcome> closed;
    w.setClosedHandler([&](PreviewWindowController::Outcome out) { closed = out; });
    w.open();
    EXPECT_FALSE(w.setZoom(200));
    EXPECT_FALSE(w.zoomBox()->isEnabled());
    w.button("&Salir")->click();
    EXPECT_FALSE(printedAny);
    ASSERT_TRUE(closed.has_value());
    EXPECT_EQ(*closed, PreviewWindowController::Outcome::Left);
}

TEST(PreviewWindow, PrintsThroughQtPrintSupport) {
    tv::test::ScratchDir dir;
    std::vector<Page> pages = samplePages(50);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir.file("printed.pdf").string()));
    PreviewWindowController w(pages);
    w.setPrinter(&printer);
    ASSERT_TRUE(w.printPages({1, 3}));
    EXPECT_EQ(w.outcome(), PreviewWindowController::Outcome::Printed);
    std::ifstream in(dir.file("printed.pdf"), std::ios::binary);
    std::string pdf((std::istreambuf_iterator<char>(in)), {});
    std::size_t n = 0;
    for (std::size_t at = 0; (at = pdf.find("/Type /Page\n", at)) != std::string::npos; ++at) ++n;
    for (std::size_t at = 0; (at = pdf.find("/Type /Page ", at)) != std::string::npos; ++at) ++n;
    for (std::size_t at = 0; (at = pdf.find("/Type /Page/", at)) != std::string::npos; ++at) ++n;
    EXPECT_EQ(n, 2u) << pdf.substr(0, 400);
}

// The whole run on a logical thread: the progress window, then the preview;
// the thread waits until the preview closes, and the output asked for in the
// preview runs on that thread (where its messages can make it wait).
TEST(ReportRunController, RunsWithWindowsOnALogicalThread) {
    ScriptedPresenter presenter;
    ScopedPresenter scope(presenter);
    tv::test::ScratchDir dir;
    VectorRecordSource src = sampleSource(50);
    ReportRunController rc("ImpresionExistencias", test::sampleLayout(), src);
    MemoryStore store;
    rc.previewSettings().store = &store;
    bool printerAsked = false;
    rc.setPrinterDialog([&] {
        printerAsked = true;
        return false;  // cancelled: the report runs all the same
    });
    std::filesystem::path target = dir.path() / "missing" / "existencias";
    threads::ThreadNo askedOn = -1;
    rc.chooser().setAskFileName([&](const std::string&, const std::string&) {
        askedOn = threads::current();
        return std::optional<std::string>(target.string());
    });
    PreviewWindowController* preview = nullptr;
    rc.setPreviewHook([&](PreviewWindowController& p) { preview = &p; });
    int response = 0;
    bool done = false;
    threads::ThreadNo reportThread = threads::start([&] {
        response = rc.runWithWindows();
        done = true;
    }, threads::kMinStack);
    threads::runUntil([&] { return preview != nullptr; });
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(printerAsked);
    EXPECT_FALSE(done);  // waiting on the preview
    EXPECT_TRUE(preview->isMaximized());
    EXPECT_EQ(preview->navigator().zoom(), 100);
    EXPECT_EQ(preview->pages().size(), 3u);

    // "&Salvar como", PDF, into a folder that does not exist: a message on
    // the report's thread, and the preview stays.
    auto saveAsPdf = [&] {
        preview->button("&Salvar como")->click();
        QListWidget* list = preview->findChild<QListWidget*>();
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->count(), 3);
        EXPECT_EQ(list->item(0)->text(), "Text");
        list->setCurrentRow(2);
        QWidget* window = list->window();
        for (QPushButton* b : window->findChildren<QPushButton*>())
            if (b->text() == "&Aceptar") b->click();
    };
    saveAsPdf();
    threads::runUntil([&] { return presenter.count() == 1; });
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.shown()[0].thread, reportThread);
    EXPECT_EQ(askedOn, reportThread);
    EXPECT_NE(presenter.last().text.find("missing"), std::string::npos);
    EXPECT_FALSE(done);

    target = dir.file("existencias");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    saveAsPdf();
    preview = nullptr;  // the preview closes and deletes itself once saved
    threads::runUntil([&] { return done; });
    EXPECT_EQ(response, ReportRunController::kCompleted);
    EXPECT_TRUE(std::filesystem::exists(dir.file("existencias.PDF")));
    // It opened maximised, and said so in its placement.
    EXPECT_EQ(store.values["_PreviewWindow_/Maximize"], "Yes");
    EXPECT_TRUE(store.values.count("_PreviewWindow_/XPos"));
}

}  // namespace
}  // namespace tv::report
