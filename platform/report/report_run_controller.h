#pragma once
// One run of a report procedure: the writers registered with the output
// chooser, the record loop feeding the layout, and at the end the preview
// (or, with no record or after "Cancelar", nothing at all).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/report/output_target_chooser.h"
#include "platform/report/page_store.h"
#include "platform/report/page_writer.h"
#include "platform/report/paginator.h"
#include "platform/report/preview_logic.h"
#include "platform/report/record_processor.h"

class QWidget;

namespace tv::report {

class PreviewWindowController;
class ProgressWindow;

class ReportRunController {
public:
    // The window's response.
    static constexpr int kCompleted = 1;
    static constexpr int kCancelled = 2;

    struct PreviewSettings {
        bool skip = false;       // straight to the end without a preview
        int zoom = 100;
        bool allowZoom = true;
        bool maximize = true;
        PlacementStore* store = nullptr;  // "_PreviewWindow_" placement
    };

    // Registers the text, HTML and PDF writers, in that order, with the
    // options every report gives them (the PDF's producer and subject are
    // the procedure's name).
    ReportRunController(std::string procedureName, ReportLayout layout, RecordSource& source);
    ~ReportRunController();

    const std::string& procedureName() const { return name_; }
    RecordProcessor& processor() { return *processor_; }
    OutputTargetChooser& chooser() { return *chooser_; }
    Paginator& paginator() { return paginator_; }
    PreviewSettings& previewSettings() { return preview_; }

    // The report's computed fields, worked out from each record before its
    // detail band prints.
    void setComputeFields(std::function<void(const RecordValues&, OverlayValues&)> f) {
        compute_ = std::move(f);
    }
    // The printer choice shown before the run ("Choose Printer"). Its answer
    // does not stop the report.
    void setPrinterDialog(std::function<bool()> f) { printerDialog_ = std::move(f); }
    // Called with the preview before it is shown (tests answer it; the
    // window layer gives it its printer).
    void setPreviewHook(std::function<void(PreviewWindowController&)> f) { previewHook_ = std::move(f); }

    // The record loop without windows; `between` runs after each batch.
    // Returns kCompleted (pages ready) or kCancelled (no record, cancelled).
    int run(const std::function<void()>& between = {});

    // The whole run with its windows, on a logical thread: the printer
    // choice, the progress window during the loop, then the preview; the
    // thread waits (suspended) until the preview closes. Returns the response.
    int runWithWindows(QWidget* parent = nullptr);

    // The record loop without windows, each page going straight to `out`
    // (a writer's file, the printer) as it completes, so that memory stays
    // the same however long the report. Finishes `out` when the loop ran
    // to its end; returns kCompleted then, kCancelled when there was no
    // record, the loop was cancelled or the output failed (out.error()).
    int runTo(PageOutput& out, const std::function<void()>& between = {});

    // The parts of a run for a procedure that drives the record loop itself
    // (from its own progress window's timer): once the processor has
    // completed, finishPages() closes the layout; showPreview() then shows
    // the pages and waits (suspended) until the preview closes.
    // finishPages() returns kCancelled when the loop did not complete.
    int finishPages();
    void showPreview(QWidget* parent = nullptr);
    // The printer choice, as runWithWindows() shows it first.
    void askPrinter() {
        if (printerDialog_) printerDialog_();
    }

    // The pages of the last run, kept compactly until the preview takes them.
    const PageList& pages() const { return *store_; }
    // The pages unpacked, for a caller without a preview (small reports).
    std::vector<Page> takePages();

private:
    std::string name_;
    Paginator paginator_;
    RecordSource& source_;
    std::unique_ptr<RecordProcessor> processor_;
    // Shared with the preview, which may outlive a run on the main stack.
    std::shared_ptr<OutputTargetChooser> chooser_ = std::make_shared<OutputTargetChooser>();
    PreviewSettings preview_;
    std::function<void(const RecordValues&, OverlayValues&)> compute_;
    std::function<bool()> printerDialog_;
    std::function<void(PreviewWindowController&)> previewHook_;
    // Pages of a run for the preview; the preview keeps them while it is open.
    std::shared_ptr<PageStore> store_ = std::make_shared<PageStore>();
    PageOutput* output_ = nullptr;  // runTo(): where pages go instead
};

}  // namespace tv::report
