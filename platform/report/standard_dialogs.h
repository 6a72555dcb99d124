#pragma once
// A report run with the window layer's dialogs: the print dialog
// "Choose Printer" before the run (its answer does not stop the report), the
// writers' file-save dialogs, and the chosen printer for the preview.
#include <memory>

class QPrinter;
class QWidget;

namespace tv::report {

class ReportRunController;

// The printer is shared with the preview, which prints on it.
void useStandardDialogs(ReportRunController& run, std::shared_ptr<QPrinter> printer,
                        QWidget* parent = nullptr);

}  // namespace tv::report
