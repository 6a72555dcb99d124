#pragma once
// What "Con&vertir" does in both export windows: ask where to save the
// workbook (a file name made of the catalogue and today's date), export
// into it through the window's own spreadsheet component, report any
// failure, and open the file with the desktop's program for spreadsheets.
// The window stays open for another export.
#include <optional>

#include <QDate>
#include <QString>

#include "export/automation/container.h"
#include "export/automation/spreadsheet_automation.h"
#include "export/exports/export_rows.h"
#include "platform/ui/window.h"

namespace tv::exports {

// "Artículos 2024-05-17.xlsx", "Proveedores 2024-05-17.xlsx".
QString DefaultExportName(ExportKind kind, const QDate& date);

// Caption of the save dialog and of the export's messages.
inline constexpr const char* kSaveCaption = "Guardar la conversión a Excel";
inline constexpr const char* kMessageCaption = "Conversión a Excel";

class ExportConverter {
public:
    // Asks for the file, runs the export, says what went wrong; true when a
    // workbook was written. The request's path and company are filled here.
    bool Convert(ui::Window& window, ExportRequest request);

    automation::AutomationContainer& Container() { return container_; }
    const QString& LastFile() const { return lastFile_; }

private:
    std::optional<QString> AskFile(ui::Window& window, ExportKind kind);

    automation::AutomationContainer container_;
    automation::SpreadsheetAutomation xl_;
    QString folder_;
    QString lastFile_;
};

// A message box of the exports (through the ErrorReporter's presenter).
void ShowExportMessage(const std::string& text, bool error);

}  // namespace tv::exports
