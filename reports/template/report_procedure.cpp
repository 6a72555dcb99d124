#include "reports/template/report_procedure.h"

#include <cstdio>

#include <QLabel>
#include <QPrinter>
#include <QProgressBar>

#include "app/globals.h"
#include "app/window/window_controller.h"
#include "data/thread_table_set.h"
#include "platform/errors/error_reporter.h"
#include "platform/expr/ast.h"
#include "platform/ini/ini_store.h"
#include "platform/report/ini_placement_store.h"
#include "platform/report/report_run_controller.h"
#include "platform/report/standard_dialogs.h"
#include "platform/report/view_record_source.h"
#include "platform/threads/logical_thread.h"
#include "platform/types/text.h"
#include "platform/ui/resizer.h"
#include "platform/ui/window.h"
#include "platform/view/table_set_view.h"
#include "platform/view/view_cursor.h"
#include "reports/template/page_header.h"

namespace tv::reports {

namespace {

IniStore*& iniStore() {
    static IniStore* store = nullptr;
    return store;
}

constexpr int kTimerMs = 100;        // the progress window's timer: 10 hundredths of a second
constexpr int kContinueTag = 0x6401;  // a batch is done: the next one runs after the queued input

}  // namespace

void SetReportIniStore(IniStore* store) { iniStore() = store; }

IniStore& ReportIniStore() { return iniStore() != nullptr ? *iniStore() : IniStore::instance(); }

void ShowBadFilter(const std::string& reason) {
    MessageBox box;
    box.caption = "Error al Abrir Vista";
    box.text = "Error: (" + reason + ") al intentar abrir la vista (VIEW) actual. No se imprimirá el reporte.";
    box.icon = MessageBox::Icon::Warning;
    if (MessagePresenter* p = ErrorReporter::instance().presenter()) p->show(box);
    else std::fprintf(stderr, "%s: %s\n", box.caption.c_str(), box.text.c_str());
}

// ---------------------------------------------------------------- the view

ReportView::ReportView(const ReportDefinition& def) : def_(def) {}
ReportView::~ReportView() = default;

bool ReportView::SetUp(std::string_view filter, std::string* error) {
    data::ThreadTableSet& set = data::tables();
    cursor_ = std::make_unique<view::ViewCursor>(set.connection());
    tables_ = std::make_unique<view::TableSetView>(*cursor_, set);
    if (!tables_->setPrimary(def_.primary)) {
        if (error) *error = "No se pudo abrir la tabla " + data::decl(def_.primary).fileName;
        return false;
    }
    for (const ReportLookup& l : def_.lookups) {
        if (tables_->join(l.table, l.key, l.links, view::JoinKind::Outer) < 0) {
            if (error) *error = "La tabla " + data::decl(l.table).label + " no tiene la llave " + l.key;
            return false;
        }
    }
    expr::ExprError err;
    if (!tables_->setOrder(def_.sortKey, def_.addedOrder, &err)) {
        if (error) *error = err.message;
        return false;
    }
    // A text that cannot be read stops the report: printing every record
    // instead would look like the report the user asked for.
    if (!cursor_->setFilter(filter, &err)) {
        if (error) *error = err.message.empty() ? std::string("Filtro no válido") : err.message;
        return false;
    }
    source_ = std::make_unique<report::ViewRecordSource>(*cursor_, false);
    if (!def_.progressField.empty()) source_->setProgressField(def_.progressField);
    source_->setGlobal("GLO:EMPRESA", Value(app::globals().EMPRESA));
    return true;
}

namespace {

report::ReportLayout layoutOf(const ReportDefinition& def) {
    report::ReportLayout l = def.layout();
    UseReportFont(l);
    return l;
}

}  // namespace

// ---------------------------------------------------------------- without windows

namespace {

// The report's run on the current thread with its tables open: `run` gets
// the controller; false (with the reason in *error) when the view cannot be
// set up.
bool WithReport(const ReportDefinition& def, std::string_view filter, std::string* error,
                const std::function<void(report::ReportRunController&)>& run) {
    data::TableRelations& rel = data::tables().relations(def.primary);
    rel.OpenWithRelated();
    bool ok = false;
    {
        ReportView v(def);
        if (v.SetUp(filter, error)) {
            report::ReportRunController controller(def.procedure, layoutOf(def), v.Source());
            if (def.compute) controller.setComputeFields(def.compute);
            run(controller);
            ok = true;
        }
    }
    rel.CloseWithRelated();
    return ok;
}

}  // namespace

ReportPages PrintReportPages(const ReportDefinition& def, std::string_view filter) {
    ReportPages out;
    WithReport(def, filter, &out.error, [&](report::ReportRunController& run) {
        out.response = run.run([] { threads::maybeYield(); });
        out.pages = run.takePages();
    });
    return out;
}

ReportOutcome PrintReportTo(const ReportDefinition& def, std::string_view filter, report::PageOutput& out) {
    ReportOutcome r;
    WithReport(def, filter, &r.error, [&](report::ReportRunController& run) {
        r.response = run.runTo(out, [] { threads::maybeYield(); });
        r.error = out.error();
    });
    return r;
}

// ---------------------------------------------------------------- the procedure

namespace {

class ReportProcedure : public app::WindowController {
public:
    ReportProcedure(const ReportDefinition& def, std::string filter, ui::Window& w)
        : WindowController(def.procedure, w), def_(def), filter_(std::move(filter)) {
        // Progress windows keep the platform's colours and their size.
        UseColours = false;
        UseResizer = false;
        FIRSTFIELD = kProgressCancel;
        CloseButtons = {kProgressCancel};
    }

protected:
    void OpenTables() override {
        data::tables().relations(def_.primary).OpenWithRelated();
        opened_ = true;
    }
    void CloseTables() override {
        if (!opened_) return;
        data::TableRelations& rel = data::tables().relations(def_.primary);
        rel.PropagateQuickScan(false);
        rel.CloseWithRelated();
        opened_ = false;
    }

    int SetUpBeforeOpen() override {
        view_ = std::make_unique<ReportView>(def_);
        std::string error;
        if (!view_->SetUp(filter_, &error)) {
            ShowBadFilter(error);
            return 4;
        }
        run_ = std::make_unique<report::ReportRunController>(def_.procedure, layoutOf(def_), view_->Source());
        if (def_.compute) run_->setComputeFields(def_.compute);
        report::ReportRunController::PreviewSettings& p = run_->previewSettings();
        p.skip = false;
        p.zoom = 100;
        p.allowZoom = true;
        p.maximize = true;
        placements_ = std::make_unique<report::IniPlacementStore>(ReportIniStore());
        p.store = placements_.get();
        printer_ = std::make_shared<QPrinter>();
        report::useStandardDialogs(*run_, printer_);
        run_->processor().setProgressListener(
            [this](const report::RecordProcessor::Progress& pr) { ShowProgress(pr.percent); });
        data::tables().relations(def_.primary).PropagateQuickScan(true);
        return 0;
    }

    void SetUpAfterOpen() override {
        Win().at(kProgressUserString).setText(QString());
        ShowProgress(0);
        // The answer is not looked at: the report runs whatever was chosen,
        // and prints later on the printer current then.
        run_->askPrinter();
    }

    void OnFirstOpen() override {
        if (!run_->processor().start()) {
            // No record: message 25 has been shown; nothing is printed.
            CloseWithResponse(kCancelled);
            return;
        }
        Win().setTimer(kTimerMs);
        Continue();
    }

    int OnNotify(const ui::WindowEvent& e) override {
        if (e.value == kContinueTag) {
            continuePending_ = false;
            Batch();
        }
        return 0;
    }

    int OnWindowEvent(const ui::WindowEvent& e) override {
        if (e.kind == ui::EventKind::Timer) {
            Batch();
            return 0;
        }
        return WindowController::OnWindowEvent(e);
    }

    int RunEventLoop() override {
        WindowController::RunEventLoop();
        Win().setTimer(0);
        if (RESPONSE != kCompleted) {
            run_->processor().cancel();
            return 0;
        }
        // The progress window goes; the pages are shown until the user
        // leaves the preview.
        Win().close();
        if (run_->finishPages() == report::ReportRunController::kCompleted) run_->showPreview();
        return 0;
    }

private:
    void Batch() {
        if (Closed() || batchPending_) return;
        batchPending_ = true;
        const bool more = run_->processor().processBatch();
        batchPending_ = false;
        if (!more) {
            Win().setTimer(0);
            CloseWithResponse(run_->processor().state() == report::RecordProcessor::State::Completed ? kCompleted
                                                                                                       : kCancelled);
            return;
        }
        Continue();
    }

    // The next batch comes after what the user did meanwhile ("Cancelar").
    void Continue() {
        threads::yieldNow();
        if (Closed() || continuePending_) return;
        continuePending_ = true;
        ui::WindowEvent e{ui::EventKind::User, 0};
        e.value = kContinueTag;
        Win().post(e);
    }

    void ShowProgress(int percent) {
        if (auto* bar = Win().at(kProgressThermometer).as<QProgressBar>()) bar->setValue(percent);
        Win().at(kProgressPctText).setText(QString::number(percent) + QStringLiteral("% Completo"));
    }

    const ReportDefinition& def_;
    std::string filter_;
    std::unique_ptr<ReportView> view_;
    std::unique_ptr<report::ReportRunController> run_;
    std::unique_ptr<report::IniPlacementStore> placements_;
    std::shared_ptr<QPrinter> printer_;
    bool opened_ = false;
    bool batchPending_ = false;
    bool continuePending_ = false;
};

}  // namespace

void RunReport(const ReportDefinition& def, std::string_view filter) {
    ui::Window w(QStringLiteral("Imprimiendo..."), QSize(260, 130), ui::Window::Placement::Own);
    w.add({ui::ControlKind::ProgressBar, kProgressThermometer, "?PROGRESS:THERMOMETER", {}, QRect(15, 15, 230, 14)});
    w.add({ui::ControlKind::FixedText, kProgressUserString, "?PROGRESS:USERSTRING", {}, QRect(10, 34, 240, 16)});
    ui::Control& pct =
        w.add({ui::ControlKind::FixedText, kProgressPctText, "?PROGRESS:PCTTEXT", {}, QRect(10, 52, 240, 16)});
    if (auto* l = pct.as<QLabel>()) l->setAlignment(Qt::AlignCenter);
    ui::Control& cancel =
        w.add({ui::ControlKind::Button, kProgressCancel, "?PROGRESS:CANCEL", QStringLiteral("Cancelar"),
               QRect(85, 80, 90, 28)});
    cancel.setTip(QStringLiteral("Cancela el reporte"));
    cancel.setStatusText(QStringLiteral("Cancela el reporte"));
    cancel.setIcon(ui::programIcon("WACancel.ico"));
    ReportProcedure c(def, std::string(filter), w);
    app::RunProcedure(c);
}

}  // namespace tv::reports
