#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>

#include "platform/report/preview_window.h"
#include "platform/report/report_run_controller.h"
#include "platform/report/standard_dialogs.h"
#include "platform/threads/logical_thread.h"
#include "platform/ui/dialogs.h"
#include "tests/platform/report/sample_report.h"
#include "tests/support/scratch_dir.h"

namespace tv::report {
namespace {

PreviewWindowController* findPreview() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = dynamic_cast<PreviewWindowController*>(w); p && p->isVisible()) return p;
    return nullptr;
}

// Cancelling "Choose Printer" does not stop the report; saving asks for the
// file name with the writer's own dialog and adds its extension.
TEST(StandardDialogs, PrinterChoiceDoesNotStopTheReportAndSaveAsksTheName) {
    tv::test::ScratchDir dir;
    VectorRecordSource src(test::sampleRecords(test::sampleArticles(10)), test::sampleGlobals());
    ReportRunController rc("ImpresionExistencias", test::sampleLayout(), src);
    auto printer = std::make_shared<QPrinter>();
    useStandardDialogs(rc, printer);
    int response = 0;
    bool done = false;
    threads::start([&] {
        response = rc.runWithWindows();
        done = true;
    }, threads::kMinStack);

    threads::runUntil([] { return !ui::openDialogs().empty(); });
    ASSERT_EQ(ui::openDialogs().size(), 1u);
    auto* printDialog = qobject_cast<QDialog*>(ui::openDialogs().front());
    ASSERT_NE(printDialog, nullptr);
    EXPECT_EQ(printDialog->windowTitle(), "Choose Printer");
    printDialog->reject();

    threads::runUntil([] { return findPreview() != nullptr; });
    PreviewWindowController* preview = findPreview();
    ASSERT_NE(preview, nullptr);
    EXPECT_FALSE(done);

    preview->button("&Salvar como")->click();
    auto* list = preview->findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    list->setCurrentRow(0);  // text
    for (QPushButton* b : list->window()->findChildren<QPushButton*>())
        if (b->text() == "&Aceptar") b->click();
    threads::runUntil([] { return !ui::openDialogs().empty(); });
    auto* fileDialog = qobject_cast<QFileDialog*>(ui::openDialogs().front());
    ASSERT_NE(fileDialog, nullptr);
    EXPECT_EQ(fileDialog->windowTitle(), "Save as TXT File");
    EXPECT_EQ(fileDialog->nameFilters(), (QStringList{"Text (*.TXT)", "All (*.*)"}));
    fileDialog->selectFile(QString::fromStdString(dir.file("existencias").string()));
    QMetaObject::invokeMethod(fileDialog, "accept");
    threads::runUntil([&] { return done; });
    EXPECT_EQ(response, ReportRunController::kCompleted);
    EXPECT_TRUE(std::filesystem::exists(dir.file("existencias.TXT")));
}

}  // namespace
}  // namespace tv::report
