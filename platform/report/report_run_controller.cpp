#include "platform/report/report_run_controller.h"

#include <cstdio>
#include <deque>

#include "platform/errors/error_reporter.h"
#include "platform/report/html_writer.h"
#include "platform/report/pdf_writer.h"
#include "platform/report/preview_window.h"
#include "platform/report/progress_window.h"
#include "platform/report/text_writer.h"
#include "platform/threads/logical_thread.h"

namespace tv::report {

ReportRunController::ReportRunController(std::string procedureName, ReportLayout layout, RecordSource& source)
    : name_(std::move(procedureName)), paginator_(std::move(layout)), source_(source),
      processor_(std::make_unique<RecordProcessor>(source)) {
    chooser_->add(std::make_unique<TextPageWriter>());
    chooser_->add(std::make_unique<HtmlPageWriter>());
    auto pdf = std::make_unique<PdfPageWriter>();
    pdf->options.producer = name_;
    pdf->options.subject = name_;
    chooser_->add(std::move(pdf));
    processor_->setOnRecord([this](const RecordValues& record) {
        OverlayValues values(record);
        if (compute_) compute_(record, values);
        paginator_.addRecord(values);
    });
    paginator_.setPageSink([this](Page&& page) {
        if (!output_) {
            store_->add(page);
        } else if (!output_->add(page)) {
            // Nothing more can be written: the rest of the run is pointless.
            processor_->cancel();
        }
    });
}

ReportRunController::~ReportRunController() = default;

int ReportRunController::run(const std::function<void()>& between) {
    store_->clear();
    processor_->run(between);
    return finishPages();
}

int ReportRunController::runTo(PageOutput& out, const std::function<void()>& between) {
    output_ = &out;
    processor_->run(between);
    const bool completed = processor_->state() == RecordProcessor::State::Completed;
    if (completed) paginator_.finish();
    output_ = nullptr;
    return completed && out.error().empty() && out.finish() ? kCompleted : kCancelled;
}

int ReportRunController::finishPages() {
    if (processor_->state() != RecordProcessor::State::Completed) {
        store_->clear();
        return kCancelled;
    }
    paginator_.finish();
    return kCompleted;
}

std::vector<Page> ReportRunController::takePages() {
    std::vector<Page> out(store_->size());
    for (std::size_t i = 0; i < out.size(); ++i) store_->read(i, out[i]);
    store_->clear();
    return out;
}

int ReportRunController::runWithWindows(QWidget* parent) {
    // The answer is not looked at: the report runs whatever was chosen.
    askPrinter();

    auto* progress = new ProgressWindow(parent);
    progress->setAttribute(Qt::WA_DeleteOnClose);
    progress->attach(*processor_);
    progress->setUserText(QString());
    progress->show();
    const int response = run([] { threads::yieldNow(); });
    progress->finish();
    if (response != kCompleted || preview_.skip) return response;
    showPreview(parent);
    return response;
}

void ReportRunController::showPreview(QWidget* parent) {
    // The preview outlives this call when it cannot wait (main stack); its
    // closing then only marks the shared state.
    struct Wait {
        bool closed = false;
        threads::ThreadNo thread = 0;
        std::deque<std::function<void()>> commands;  // output asked for in the preview
    };
    auto wait = std::make_shared<Wait>();
    wait->thread = threads::current();
    if (wait->thread != 0 && !chooser_->showsErrors()) {
        // A file that cannot be written is told with a message box, on
        // this thread (the preview tells it itself otherwise).
        chooser_->setShowError([](const std::string& text) {
            MessagePresenter* presenter = ErrorReporter::instance().presenter();
            if (!presenter) {
                std::fprintf(stderr, "%s\n", text.c_str());
                return;
            }
            MessageBox box;
            box.caption = "Salvar como";
            box.text = text;
            box.icon = MessageBox::Icon::Error;
            presenter->show(box);
        });
    }
    // The preview keeps the pages (packed, as they are); a later run starts
    // a store of its own.
    auto* preview = new PreviewWindowController(std::shared_ptr<const PageList>(store_), parent);
    store_ = std::make_shared<PageStore>();
    preview->setAttribute(Qt::WA_DeleteOnClose);
    PreviewWindowController::Options o;
    o.zoom = preview_.zoom;
    o.allowZoom = preview_.allowZoom;
    o.maximize = preview_.maximize;
    o.store = preview_.store;
    preview->setOptions(o);
    preview->setChooser(chooser_);
    preview->setClosedHandler([wait](PreviewWindowController::Outcome) {
        wait->closed = true;
        if (wait->thread != 0) threads::wake(wait->thread);
    });
    // Printing and saving run on this thread, which may wait in their
    // dialogs and messages; the preview itself stays responsive.
    preview->setCommandRunner([wait](std::function<void()> command) {
        if (wait->thread == 0 || wait->closed) {
            command();
            return;
        }
        wait->commands.push_back(std::move(command));
        threads::wake(wait->thread);
    });
    if (previewHook_) previewHook_(*preview);
    preview->open();
    if (wait->thread == 0) return;
    for (;;) {
        while (!wait->commands.empty()) {
            std::function<void()> command = std::move(wait->commands.front());
            wait->commands.pop_front();
            command();
        }
        if (wait->closed) break;
        threads::suspend();
    }
}

}  // namespace tv::report
