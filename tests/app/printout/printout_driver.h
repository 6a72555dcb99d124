#pragma once
// Driving a document printout from a UI test as a user does: the printer
// choice, the preview, "&Salvar como" with a writer and the file dialog.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QListWidget>
#include <QPushButton>

#include "platform/report/preview_window.h"
#include "platform/threads/logical_thread.h"
#include "platform/ui/dialogs.h"
#include "tests/support/fiber_helpers.h"

namespace tv::test {

// The writers as the chooser lists them.
enum PrintoutWriter : int { kTextWriter = 0, kHtmlWriter = 1, kPdfWriter = 2 };

inline report::PreviewWindowController* findPreview() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = dynamic_cast<report::PreviewWindowController*>(w); p != nullptr && p->isVisible()) return p;
    return nullptr;
}

// The dialog the printout waits on now (nullptr: none after a while).
template <class D>
D* waitForDialog() {
    runFor([] {
        for (QWidget* w : ui::openDialogs())
            if (qobject_cast<D*>(w) != nullptr) return true;
        return false;
    });
    for (QWidget* w : ui::openDialogs())
        if (auto* d = qobject_cast<D*>(w)) return d;
    return nullptr;
}

// "Choose Printer" answered with Cancel: the printout runs all the same.
inline bool cancelPrinterChoice() {
    QDialog* d = waitForDialog<QDialog>();
    if (d == nullptr || d->windowTitle() != QStringLiteral("Choose Printer")) return false;
    d->reject();
    return true;
}

inline report::PreviewWindowController* waitForPreview() {
    runFor([] { return findPreview() != nullptr; });
    return findPreview();
}

// "&Salvar como" in the preview, the writer chosen, the file named. The
// preview closes once it has saved.
inline bool saveFromPreview(report::PreviewWindowController& preview, int writer, const std::filesystem::path& file) {
    QPushButton* save = preview.button(QStringLiteral("&Salvar como"));
    if (save == nullptr) return false;
    save->click();
    auto* list = preview.findChild<QListWidget*>();
    if (list == nullptr) return false;
    list->setCurrentRow(writer);
    for (QPushButton* b : list->window()->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("&Aceptar")) b->click();
    auto* dialog = waitForDialog<QFileDialog>();
    if (dialog == nullptr) return false;
    dialog->selectFile(QString::fromStdString(file.string()));
    QMetaObject::invokeMethod(dialog, "accept");
    return runFor([] { return findPreview() == nullptr; });
}

inline std::string readWholeFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The text of a PDF as pdftotext reads it ("" when the tool is missing).
inline std::string pdfText(const std::filesystem::path& pdf) {
    if (!std::filesystem::exists("/usr/bin/pdftotext")) return {};
    const std::filesystem::path out = pdf.string() + ".txt";
    const std::string cmd = "/usr/bin/pdftotext -layout '" + pdf.string() + "' '" + out.string() + "'";
    if (std::system(cmd.c_str()) != 0) return {};
    return readWholeFile(out);
}

}  // namespace tv::test
