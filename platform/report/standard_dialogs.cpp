#include "platform/report/standard_dialogs.h"

#include <QPrinter>

#include "platform/report/preview_window.h"
#include "platform/report/report_run_controller.h"
#include "platform/ui/dialogs.h"

namespace tv::report {

void useStandardDialogs(ReportRunController& run, std::shared_ptr<QPrinter> printer, QWidget* parent) {
    run.setPrinterDialog([printer, parent] {
        return ui::choosePrinter(*printer, QStringLiteral("Choose Printer"), parent);
    });
    run.chooser().setAskFileName([parent](const std::string& title, const std::string& filter) {
        std::optional<QString> name = ui::askSaveFile(QString::fromStdString(title), QString(),
                                                      QString::fromStdString(filter), parent);
        if (!name) return std::optional<std::string>();
        return std::optional<std::string>(name->toStdString());
    });
    run.setPreviewHook([printer](PreviewWindowController& preview) { preview.setPrinter(printer); });
}

}  // namespace tv::report
