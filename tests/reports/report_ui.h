#pragma once
// Driving the report windows in UI tests: a procedure started on a thread
// of its own, the filter window's controls, the printer choice, the preview
// and its "&Salvar como", and the text of a saved PDF.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "platform/ini/ini_store.h"
#include "platform/report/preview_window.h"
#include "platform/ui/dialogs.h"
#include "reports/template/filter_window.h"
#include "reports/template/report_procedure.h"
#include "tests/reports/report_fixture.h"

namespace tv::reports::test_support {

inline report::PreviewWindowController* findPreview() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = dynamic_cast<report::PreviewWindowController*>(w); p != nullptr && p->isVisible()) return p;
    return nullptr;
}

// The text of a PDF file, as pdftotext reads it (layout kept).
inline std::string pdfText(const std::filesystem::path& file) {
    const std::string cmd = "pdftotext -layout '" + file.string() + "' - 2>/dev/null";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        pclose(p);
    }
    return out;
}

class ReportWindowFixture : public ReportFixture {
protected:
    void SetUp() override {
        ReportFixture::SetUp();
        ini_.emplace(dir.file("talvor.INI"));
        SetReportIniStore(&*ini_);
    }
    void TearDown() override {
        // Whatever a failed test left open goes.
        if (auto* p = findPreview()) p->close();
        for (QWidget* d : ui::openDialogs())
            if (auto* dialog = qobject_cast<QDialog*>(d)) dialog->reject();
        ReportFixture::TearDown();
        SetReportIniStore(nullptr);
    }

    // The window of the procedure running on thread_ (the list_ of the
    // catalogue fixture is the procedure's first window).
    ui::Window* window() const { return list_; }
    void radio(int control) {
        auto* r = window()->at(control).as<QRadioButton>();
        ASSERT_NE(r, nullptr);
        QTest::mouseClick(r, Qt::LeftButton, {}, QPoint(6, r->height() / 2));
        settle();
    }
    void tick(int control, bool on) {
        auto* b = window()->at(control).as<QCheckBox>();
        ASSERT_NE(b, nullptr);
        if (b->isChecked() != on) QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
        settle();
    }
    void typeInCombo(int control, const QString& text) {
        auto* c = window()->at(control).as<QComboBox>();
        ASSERT_NE(c, nullptr);
        c->setFocus();
        c->lineEdit()->selectAll();
        QTest::keyClicks(c->lineEdit(), text);
        settle();
    }
    void print() { click(window(), kFilterAction); }
    void closeFilter() {
        click(window(), kFilterCancel);
        ASSERT_TRUE(runFor([this] { return done_; }));
    }

    // "Choose Printer": cancelled, which does not stop the report.
    bool answerPrinter() {
        if (!runFor([] { return !ui::openDialogs().empty(); })) return false;
        auto* d = qobject_cast<QDialog*>(ui::openDialogs().front());
        if (d == nullptr || d->windowTitle() != "Choose Printer") return false;
        d->reject();
        return true;
    }
    report::PreviewWindowController* waitPreview() {
        runFor([] { return findPreview() != nullptr; });
        return findPreview();
    }
    // "&Salvar como" with the writer at `row` (0 text, 1 HTML, 2 PDF) into
    // `name` (the dialog's answer); the preview closes once saved.
    void saveAs(report::PreviewWindowController* preview, int row, const std::filesystem::path& name) {
        preview->button("&Salvar como")->click();
        auto* list = preview->findChild<QListWidget*>();
        ASSERT_NE(list, nullptr);
        list->setCurrentRow(row);
        for (QPushButton* b : list->window()->findChildren<QPushButton*>())
            if (b->text() == "&Aceptar") b->click();
        ASSERT_TRUE(runFor([] { return !ui::openDialogs().empty(); }));
        auto* fileDialog = qobject_cast<QFileDialog*>(ui::openDialogs().front());
        ASSERT_NE(fileDialog, nullptr);
        fileDialog->selectFile(QString::fromStdString(name.string()));
        QMetaObject::invokeMethod(fileDialog, "accept");
        ASSERT_TRUE(runFor([] { return findPreview() == nullptr; }));
        settle();
    }
    // Print from the filter window to a PDF file; its text.
    std::string printToPdf(const std::string& name) {
        print();
        EXPECT_TRUE(answerPrinter());
        report::PreviewWindowController* preview = waitPreview();
        EXPECT_NE(preview, nullptr);
        if (preview == nullptr) return {};
        saveAs(preview, 2, dir.file(name));
        return pdfText(dir.file(name + ".PDF"));
    }

    std::optional<IniStore> ini_;
};

}  // namespace tv::reports::test_support
