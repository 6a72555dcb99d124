#include "export/exports/export_window.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "app/globals.h"
#include "data/thread_table_set.h"
#include "platform/errors/error_reporter.h"
#include "platform/ui/desktop.h"
#include "platform/ui/dialogs.h"

namespace tv::exports {

QString DefaultExportName(ExportKind kind, const QDate& date) {
    const QString stem = kind == ExportKind::Articles ? QString::fromUtf8("Artículos") : QStringLiteral("Proveedores");
    return stem + QLatin1Char(' ') + date.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".xlsx");
}

void ShowExportMessage(const std::string& text, bool error) {
    MessageBox box;
    box.caption = kMessageCaption;
    box.text = text;
    box.buttons = MessageBox::Buttons::Ok;
    box.icon = error ? MessageBox::Icon::Error : MessageBox::Icon::Information;
    if (MessagePresenter* p = ErrorReporter::instance().presenter()) p->show(box);
}

std::optional<QString> ExportConverter::AskFile(ui::Window& window, ExportKind kind) {
    if (folder_.isEmpty()) {
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        folder_ = QDir(documents).exists() ? documents : QDir::homePath();
    }
    std::optional<QString> file =
        ui::askSaveFile(QString::fromUtf8(kSaveCaption), QDir(folder_).filePath(DefaultExportName(kind, QDate::currentDate())),
                        QStringLiteral("Libro de Excel (*.xlsx)"), window.topWidget());
    if (!file || file->trimmed().isEmpty()) return std::nullopt;
    QString name = *file;
    if (QFileInfo(name).suffix().isEmpty()) name += QStringLiteral(".xlsx");
    folder_ = QFileInfo(name).absolutePath();
    return name;
}

bool ExportConverter::Convert(ui::Window& window, ExportRequest request) {
    std::optional<QString> file = AskFile(window, request.kind);
    if (!file) return false;
    request.path = file->toStdString();
    request.company = app::globals().EMPRESA;
    Status st;
    ExportSummary summary;
    {
        const ui::WaitCursor busy;
        st = RunExport(xl_, container_, data::tables(), request, &summary);
    }
    if (!st) {
        ShowExportMessage("No se pudo hacer la conversión a Excel.\n\n" + st.message(), true);
        return false;
    }
    lastFile_ = *file;
    if (const std::string notice = RepairedTextsNotice(summary); !notice.empty())
        ShowExportMessage("El libro se guardó en \"" + request.path + "\".\n\n" + notice, false);
    if (!ui::desktopOpener().open(*file))
        ShowExportMessage("El libro se guardó en \"" + request.path +
                              "\", pero no hay un programa que abra hojas de cálculo en este equipo.",
                          false);
    return true;
}

}  // namespace tv::exports
