#include "app/printout/document_printout.h"

#include <memory>

#include <QPrinter>

#include "app/globals.h"
#include "app/window/running_procedures.h"
#include "data/thread_table_set.h"
#include "platform/errors/error_reporter.h"
#include "platform/ini/ini_store.h"
#include "platform/report/html_writer.h"
#include "platform/report/ini_placement_store.h"
#include "platform/report/pdf_writer.h"
#include "platform/report/report_run_controller.h"
#include "platform/report/standard_dialogs.h"
#include "platform/report/text_writer.h"
#include "platform/report/view_record_source.h"
#include "platform/threads/logical_thread.h"
#include "platform/threads/thread_state.h"
#include "platform/ui/window.h"
#include "platform/view/table_set_view.h"
#include "platform/view/view_cursor.h"

namespace tv::app {

namespace {

IniStore*& placementStore() {
    static IniStore* store = nullptr;
    return store;
}

// What the set-up took, given back in every outcome (an error included).
class PrintoutScope {
public:
    PrintoutScope(const std::string& procedure, data::TableRelations& lines)
        : procedure_(procedure), lines_(lines) {}
    ~PrintoutScope() {
        if (quickScan_) lines_.PropagateQuickScan(false);
        if (opened_) lines_.CloseWithRelated();
        if (running_) RemoveRunningProcedure(procedure_);
    }
    PrintoutScope(const PrintoutScope&) = delete;
    PrintoutScope& operator=(const PrintoutScope&) = delete;

    void running() { running_ = true; }
    void opened() { opened_ = true; }
    void quickScan() { quickScan_ = true; }

private:
    const std::string& procedure_;
    data::TableRelations& lines_;
    bool running_ = false;
    bool opened_ = false;
    bool quickScan_ = false;
};

// The view over the lines of one document, with the joined header and
// look-up records, so that the page header and the detail band show that
// line's document and article. False when a declaration is wrong.
bool BuildView(const DocumentPrintoutSetup& s, data::ThreadTableSet& tables, view::TableSetView& tsv) {
    if (!tsv.setPrimary(s.lines)) return false;
    for (const PrintoutJoin& j : s.joins)
        if (tsv.join(j.table, j.key, j.links) < 0) return false;
    if (!tsv.setOrder(s.linkKey, s.addedOrder)) return false;
    if (s.range == PrintoutRange::HeaderRelation) return tsv.addRangeByRelation(s.header);
    // The value the line buffer holds now: the list loaded its selected line.
    const Record& line = tables.buffer(s.lines);
    const int field = line.layout().indexOf(s.linkField);
    return field >= 0 && tsv.addRange(s.linkField, line.get(field));
}

}  // namespace

void SetPrintoutPlacementStore(IniStore* store) { placementStore() = store; }

void ConfigureDocumentPrintout(report::ReportRunController& run, const std::string& procedure,
                               IniStore* placements) {
    report::ReportRunController::PreviewSettings& p = run.previewSettings();
    p.skip = false;
    p.zoom = kPrintoutZoom;
    p.allowZoom = true;
    p.maximize = true;
    report::OutputTargetChooser& chooser = run.chooser();
    for (std::size_t i = 0; i < chooser.count(); ++i) {
        report::ReportOutputWriter* w = chooser.writer(i);
        w->outputName.clear();
        if (auto* text = dynamic_cast<report::TextPageWriter*>(w)) {
            report::TextWriterOptions& o = text->options;
            o.initialMargin = o.topMargin = o.bottomMargin = o.leftMargin = 0;
            o.checked = "[X]";
            o.unchecked = "[_]";
            o.radioOn = "(*)";
            o.radioOff = "(_)";
            o.vertical = "|";
            o.horizontal = "-";
            o.topLeft = "/";
            o.topRight = "\\";
            o.bottomLeft = "\\";
            o.bottomRight = "/";
            // Blank, the three shades and the full block (the code page 437
            // bytes 0x20, 0xB0, 0xB1, 0xB2 and 0xDB), written in UTF-8.
            o.fills = {" ", "\u2591", "\u2592", "\u2593", "\u2588"};
            o.omitGraphics = false;
        } else if (auto* html = dynamic_cast<report::HtmlPageWriter*>(w)) {
            html->options = report::HtmlWriterOptions{};
        } else if (auto* pdf = dynamic_cast<report::PdfPageWriter*>(w)) {
            report::PdfWriterOptions& o = pdf->options;
            o.title = kPdfTitle;
            o.creator = kPdfApplication;
            o.producer = procedure;
            o.subject = procedure;
            o.author.clear();
            o.keywords.clear();
            o.compress = true;
        }
    }
    // The placement store outlives the run: the preview may close later.
    static std::unique_ptr<report::IniPlacementStore> store;
    static IniStore* storeOf = nullptr;
    IniStore& ini = placements != nullptr ? *placements : IniStore::instance();
    if (!store || storeOf != &ini) {
        store = std::make_unique<report::IniPlacementStore>(ini);
        storeOf = &ini;
    }
    p.store = store.get();
}

void RunDocumentPrintout(const DocumentPrintoutSetup& s) {
    ThreadState& ts = threadState();
    ProcedureScope tracking(s.procedure);
    data::ThreadTableSet& tables = data::tables();
    PrintoutScope scope(s.procedure, tables.relations(s.lines));

    // One run per procedure: a second start brings the first one forward.
    if (FindRunningProcedure(s.procedure)) {
        ui::Window::postTo(globals().RunningProceduresBuffer.THREADNUMERO, {ui::EventKind::GainFocus, 0});
        ts.callRequest = 0;
        ts.callResponse = kCancelled;
        return;
    }
    AddRunningProcedure(s.procedure, threads::current());
    scope.running();
    ts.callRequest = 0;
    ts.callResponse = 0;

    tables.relations(s.lines).OpenWithRelated();
    scope.opened();
    view::ViewCursor cursor(tables.connection());
    view::TableSetView tsv(cursor, tables);
    if (!BuildView(s, tables, tsv)) {
        ts.callResponse = kCancelled;
        return;
    }
    report::ViewRecordSource source(cursor);
    source.setGlobal("GLO:EMPRESA", Value(globals().EMPRESA));
    source.setGlobal("GLO:CIUDADPROVEEDOR", Value(globals().CIUDADPROVEEDOR));
    report::ReportRunController run(s.procedure, s.layout, source);
    ConfigureDocumentPrintout(run, s.procedure, placementStore());
    if (s.compute) run.setComputeFields(s.compute);

    ui::Window* caller = ui::Window::topOf(threads::current());
    QWidget* parent = caller != nullptr ? caller->topWidget() : nullptr;
    report::useStandardDialogs(run, std::make_shared<QPrinter>(), parent);
    tables.relations(s.lines).PropagateQuickScan(true);
    scope.quickScan();

    int response = report::ReportRunController::kCancelled;
    {
        // Modal on the caller's thread: its windows take no input meanwhile.
        ui::DialogScope modal;
        response = run.runWithWindows(parent);
    }
    ts.callResponse = response == report::ReportRunController::kCompleted ? kCompleted : kCancelled;
}

}  // namespace tv::app
