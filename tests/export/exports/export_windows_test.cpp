// The export windows driven as a user drives them: started from the
// frame's menu and from the lists' "E&xcel" buttons, a choice made, the
// workbook saved through the save dialog and opened with the desktop's
// program, and the failures reported.
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include "app/browse/browse_controller.h"
#include "app/frame/main_frame.h"
#include "app/frame/procedures.h"
#include "app/globals.h"
#include "catalog/articles/article_list.h"
#include "catalog/articles/articles.h"
#include "catalog/catalogues.h"
#include "catalog/suppliers.h"
#include "data/thread_table_set.h"
#include "export/exports/export_window.h"
#include "export/exports/exports.h"
#include "platform/errors/scripted_presenter.h"
#include "platform/storage/storage.h"
#include "platform/threads/logical_thread.h"
#include "platform/ui/desktop.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/window.h"
#include "reports/template/filter_window.h"
#include "tests/export/exports/export_fixture.h"
#include "tests/export/xlsx_reader.h"
#include "tests/support/fiber_helpers.h"
#include "tests/support/scratch_dir.h"

namespace tv::exports {
namespace {

namespace fs = std::filesystem;
using test::runFor;
using test::settle;

// The desktop's program for spreadsheets: what it was asked to open.
class FakeOpener : public ui::DesktopOpener {
public:
    bool open(const QString& path) override {
        opened.push_back(path);
        return works;
    }
    std::vector<QString> opened;
    bool works = true;
};

class ExportWindows : public ::testing::Test {
protected:
    void SetUp() override {
        storage::setDatabasePath(dir.file("talvor.db"));
        ErrorReporter::instance().setUp();
        scope_.emplace(presenter);
        ui::setDesktopOpener(&opener);
        app::globals().UserPermissions.fill(1);
        app::globals().EMPRESA = "EL NOMBRE DE SU EMPRESA" + std::string(37, ' ');
        RegisterExportProcedures();
        {
            storage::Connection conn(dir.file("talvor.db"));
            test_support::seedArticles(conn);
            test_support::seedSuppliers(conn);
        }
    }
    void TearDown() override {
        for (int i = 0; i < 20 && threads::aliveCount() > 0; ++i) {
            for (ui::Window* w : ui::Window::openWindows()) w->post({ui::EventKind::CloseWindow, 0});
            settle();
        }
        if (frame_ != 0) {
            EXPECT_TRUE(runFor([this] { return frameDone_; }));
        }
        app::globals().RunningProcedures.clear();
        app::RegisterProcedure("Login", {});
        ui::setDesktopOpener(nullptr);
        scope_.reset();
        storage::setDatabasePath("talvor.db");
    }

    // The frame, as the program runs it, with every right granted.
    void startFrame() {
        app::RegisterProcedure("Login", [] {});
        frame_ = threads::start(
            [this] {
                app::Main();
                frameDone_ = true;
            },
            0);
        ASSERT_TRUE(runFor([] { return app::FrameWindow() != nullptr && app::FrameWindow()->isOpen(); }));
        settle();
    }
    void menu(int control) {
        app::FrameWindow()->at(control).action()->trigger();
        settle();
    }
    // The open window with that caption (waits for it); nullptr when none.
    static ui::Window* window(const QString& caption) {
        ui::Window* found = nullptr;
        runFor([&] {
            found = nullptr;
            for (ui::Window* w : ui::Window::openWindows())
                if (w->caption() == caption && w->isOpen() && !w->hasEvents()) found = w;
            return found != nullptr;
        });
        settle();
        return found;
    }
    static int count(const QString& caption) {
        int n = 0;
        for (ui::Window* w : ui::Window::openWindows()) n += w->caption() == caption && w->isOpen();
        return n;
    }
    static void click(ui::Window* w, int control) {
        QTest::mouseClick(w->at(control).widget(), Qt::LeftButton);
        settle();
    }
    static void type(ui::Window* w, int control, const QString& text) {
        QLineEdit* e = w->at(control).as<QLineEdit>();
        if (auto* combo = w->at(control).as<QComboBox>()) e = combo->lineEdit();
        e->setFocus();
        e->selectAll();
        if (text.isEmpty()) QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, text);
        settle();
    }
    // Answers the save dialog with a file (nullopt: cancels it).
    static bool save(const std::optional<fs::path>& file, QString* suggested = nullptr) {
        QFileDialog* d = nullptr;
        if (!runFor([&] {
                for (QWidget* w : ui::openDialogs())
                    if (auto* f = qobject_cast<QFileDialog*>(w); f != nullptr && f->isVisible()) d = f;
                return d != nullptr;
            }))
            return false;
        EXPECT_EQ(d->windowTitle(), QString::fromUtf8(kSaveCaption));
        if (suggested != nullptr) *suggested = d->selectedFiles().value(0);
        if (file) {
            // Typed into the name box, then "Guardar", as a user does.
            auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            EXPECT_NE(name, nullptr);
            if (name != nullptr) name->setText(QString::fromStdString(file->string()));
            QMetaObject::invokeMethod(d, "accept");
        } else {
            d->reject();
        }
        settle();
        return true;
    }
    static bool noDialog() {
        settle();
        for (QWidget* w : ui::openDialogs())
            if (w->isVisible()) return false;
        return true;
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const auto& s : presenter.shown()) out.push_back(s.box.text);
        return out;
    }
    test::XlsxDump read(const fs::path& file) {
        std::string error;
        std::optional<test::XlsxDump> d = test::XlsxDump::Read(file, &error);
        EXPECT_TRUE(d) << error;
        return d.value_or(test::XlsxDump{});
    }

    // Opens a list on a thread of its own, presses its "E&xcel" button and
    // converts in the export window that opens: the workbook written.
    test::XlsxDump exportFromList(void (*procedure)(), const QString& listCaption, int excelButton,
                                  const QString& exportCaption, int convertButton) {
        bool listDone = false;
        threads::start(
            [&] {
                procedure();
                listDone = true;
            },
            512 * 1024);
        ui::Window* list = window(listCaption);
        EXPECT_NE(list, nullptr);
        if (list == nullptr) return {};
        click(list, excelButton);
        ui::Window* w = window(exportCaption);
        EXPECT_NE(w, nullptr);
        if (w == nullptr) return {};
        EXPECT_NE(w->owner(), list->owner()) << "on a thread of its own";
        click(w, convertButton);
        const fs::path file = dir.file("desde la lista.xlsx");
        EXPECT_TRUE(save(file));
        EXPECT_TRUE(runFor([&] { return opener.opened.size() == 1; }));
        test::XlsxDump d = read(file);
        click(list, app::kBrowseClose);
        EXPECT_TRUE(runFor([&] { return listDone; }));
        return d;
    }

    test::ScratchDir dir;
    test::WorkingDir wd{dir.path()};
    ScriptedPresenter presenter;
    FakeOpener opener;

private:
    std::optional<ScopedPresenter> scope_;
    threads::ThreadNo frame_ = 0;
    bool frameDone_ = false;
};

const QString kSupplierCaption = QString::fromUtf8("Conversión de proveedores a Excel");

TEST_F(ExportWindows, TheSupplierExportFromTheMenuSavesTheChosenSuppliersAndOpensThem) {
    using namespace supplier_export;
    startFrame();
    menu(-37);
    ui::Window* w = window(kSupplierCaption);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->at(kTab).text(), QStringLiteral("Filtro"));
    EXPECT_TRUE(w->at(kAll).as<QRadioButton>()->isChecked());
    EXPECT_EQ(w->at(kConvert).text(), QStringLiteral("Con&vertir"));
    EXPECT_EQ(w->at(kFirst).tip(), QStringLiteral("Id del proveedor inicial"));
    menu(-37);
    EXPECT_EQ(count(kSupplierCaption), 1) << "a second start brings the open window to the front";

    click(w, kRange);
    type(w, kFirst, "2");
    type(w, kLast, "3");
    click(w, kConvert);
    QString suggested;
    const fs::path file = dir.file("proveedores.xlsx");
    ASSERT_TRUE(save(file, &suggested));
    EXPECT_TRUE(suggested.endsWith(DefaultExportName(ExportKind::Suppliers, QDate::currentDate()))) << suggested.toStdString();
    ASSERT_TRUE(runFor([&] { return !opener.opened.empty(); }));
    EXPECT_EQ(opener.opened.back().toStdString(), file.string());
    EXPECT_TRUE(presenter.empty()) << "a good export says nothing";
    const test::XlsxDump d = read(file);
    EXPECT_EQ(d.cell("Hoja1", "A1"), "s:EL NOMBRE DE SU EMPRESA");
    EXPECT_EQ(d.cell("Hoja1", "A5"), "s:007");
    EXPECT_EQ(d.cell("Hoja1", "C5"), "s:Sucursal Norte");
    EXPECT_EQ(d.cell("Hoja1", "A6"), "s:=SUMA");
    EXPECT_EQ(d.cell("Hoja1", "G6"), "s:Guadalajara");
    EXPECT_EQ(d.cell("Hoja1", "A7"), "");

    // The window stays open with its choices: one id this time, a name
    // without extension.
    click(w, kOne);
    type(w, kId, "1");
    click(w, kConvert);
    ASSERT_TRUE(save(dir.file("uno")));
    ASSERT_TRUE(runFor([&] { return opener.opened.size() == 2; }));
    EXPECT_EQ(read(dir.file("uno.xlsx")).cell("Hoja1", "G5"), "s:Monterrey");
    EXPECT_TRUE(w->at(kOne).as<QRadioButton>()->isChecked());

    click(w, kCancel);
    EXPECT_TRUE(runFor([] { return count(kSupplierCaption) == 0; }));
}

TEST_F(ExportWindows, BadInputAFolderThatCannotBeWrittenAndACancelledDialogAreHandled) {
    using namespace supplier_export;
    startFrame();
    menu(-37);
    ui::Window* w = window(kSupplierCaption);
    ASSERT_NE(w, nullptr);

    click(w, kRange);
    type(w, kFirst, "abc");
    click(w, kConvert);
    EXPECT_TRUE(noDialog()) << "nothing is asked while an id is wrong";
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, "Dato no válido");
    EXPECT_NE(messages()[0].find(": \"abc\""), std::string::npos) << messages()[0];
    EXPECT_TRUE(w->at(kFirst).hasFocus());

    type(w, kFirst, "1");
    type(w, kLast, "4");
    click(w, kConvert);
    ASSERT_TRUE(save(std::nullopt));
    EXPECT_TRUE(opener.opened.empty()) << "a cancelled dialog exports nothing";
    EXPECT_EQ(presenter.count(), 1u);

    const fs::path notAFolder = dir.file("archivo.txt");
    { std::ofstream(notAFolder) << "x"; }
    click(w, kConvert);
    ASSERT_TRUE(save(notAFolder / "proveedores.xlsx"));
    ASSERT_TRUE(runFor([&] { return presenter.count() == 2; }));
    EXPECT_NE(messages()[1].find("No se pudo hacer la conversión a Excel"), std::string::npos);
    EXPECT_NE(messages()[1].find("la ruta no lleva a una carpeta"), std::string::npos) << messages()[1];
    EXPECT_TRUE(opener.opened.empty());

    opener.works = false;
    click(w, kConvert);
    ASSERT_TRUE(save(dir.file("sin programa.xlsx")));
    ASSERT_TRUE(runFor([&] { return presenter.count() == 3; }));
    EXPECT_NE(messages()[2].find("no hay un programa que abra hojas de cálculo"), std::string::npos) << messages()[2];
    EXPECT_TRUE(fs::exists(dir.file("sin programa.xlsx")));
    EXPECT_EQ(count(kSupplierCaption), 1) << "the window stays open after every failure";
}

// Junk left in the entries of a choice not taken used to block the export
// with "Dato no válido"; a range whose start is above its end used to write
// a workbook of headers only.
TEST_F(ExportWindows, TheSupplierExportReadsOnlyTheChosenEntriesAndRefusesAReversedRange) {
    using namespace supplier_export;
    startFrame();
    menu(-37);
    ui::Window* w = window(kSupplierCaption);
    ASSERT_NE(w, nullptr);
    const struct {
        int choice;
        const char* first;
        const char* last;
        const char* id;
        std::vector<std::string> codes;  // column A from row 5
    } taken[] = {
        {kAll, "abc", "x", "?", {"ACME", "007", "=SUMA", "Z"}},
        {kRange, "2", "3", "basura", {"007", "=SUMA"}},
        {kOne, "uno", "", "4", {"Z"}},
    };
    int n = 0;
    for (const auto& c : taken) {
        SCOPED_TRACE(n);
        click(w, c.choice);
        type(w, kFirst, c.first);
        type(w, kLast, c.last);
        type(w, kId, c.id);
        click(w, kConvert);
        const fs::path file = dir.file("elegidos " + std::to_string(++n) + ".xlsx");
        ASSERT_TRUE(save(file)) << "the export went on";
        ASSERT_TRUE(runFor([&] { return static_cast<int>(opener.opened.size()) == n; }));
        const test::XlsxDump d = read(file);
        std::vector<std::string> codes;
        for (int row = 5; !d.cell("Hoja1", "A" + std::to_string(row)).empty(); ++row)
            codes.push_back(d.cell("Hoja1", "A" + std::to_string(row)).substr(2));
        EXPECT_EQ(codes, c.codes);
    }
    EXPECT_TRUE(presenter.empty()) << messages()[0];

    const struct {
        const char* first;
        const char* last;
        const char* says;
    } reversed[] = {
        {"7", "3", "El id inicial (7) es mayor que el final (3)"},
        {"3", "", "El id inicial (3) es mayor que el final (0)"},
    };
    for (const auto& r : reversed) {
        SCOPED_TRACE(r.says);
        presenter.clear();
        click(w, kRange);
        type(w, kFirst, r.first);
        type(w, kLast, r.last);
        click(w, kConvert);
        EXPECT_TRUE(noDialog()) << "no file is asked for";
        ASSERT_EQ(presenter.count(), 1u);
        EXPECT_EQ(presenter.last().caption, "Rango no válido");
        EXPECT_EQ(presenter.last().text.rfind(r.says, 0), 0u) << presenter.last().text;
        EXPECT_TRUE(w->at(kFirst).hasFocus());
    }
    EXPECT_EQ(static_cast<int>(opener.opened.size()), n) << "nothing written";
    EXPECT_EQ(count(kSupplierCaption), 1);
}

// A stored text with a byte that is not UTF-8: the workbook is written
// readably, the user is told which cells, and it still opens.
TEST_F(ExportWindows, TheUserIsToldOfStoredTextsThatCouldNotBeRead) {
    using namespace supplier_export;
    {
        storage::Connection conn(dir.file("talvor.db"));
        test_support::storeRawText(conn, data::TableId::Proveedores, "PVD:Nombre", "PVD:Id", 3, "F\xF3rmulas SA");
        test_support::storeRawText(conn, data::TableId::Proveedores, "PVD:RFC", "PVD:Id", 4, "\xFF\xFE");
    }
    startFrame();
    menu(-37);
    ui::Window* w = window(kSupplierCaption);
    ASSERT_NE(w, nullptr);
    click(w, kConvert);
    const fs::path file = dir.file("proveedores.xlsx");
    ASSERT_TRUE(save(file));
    ASSERT_TRUE(runFor([&] { return presenter.count() == 1; }));
    EXPECT_EQ(messages()[0], "El libro se guardó en \"" + file.string() +
                                 "\".\n\n2 celdas (la primera, B7) tienen un texto guardado con caracteres que no se "
                                 "pueden leer; en el libro aparecen como \"\xEF\xBF\xBD\". Corrija ese dato en el catálogo.");
    ASSERT_TRUE(runFor([&] { return opener.opened.size() == 1; })) << "and the workbook opens";
    const test::XlsxDump d = read(file);
    EXPECT_EQ(d.cell("Hoja1", "B7"), "s:F\xEF\xBF\xBDrmulas SA");
    EXPECT_EQ(d.cell("Hoja1", "K8"), "s:\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST_F(ExportWindows, TheSupplierListsExcelButtonStartsTheExport) {
    catalog::RegisterCatalogueProcedures();
    const test::XlsxDump d = exportFromList(catalog::BrowseProveedores, QStringLiteral("Proveedores"),
                                            catalog::supplier_ui::kExcel, kSupplierCaption, supplier_export::kConvert);
    EXPECT_EQ(d.sheetCells("Hoja1").size(), 33u) << "A1, A2, ten headers and 21 cells of four suppliers";
}

const QString kArticleCaption = QString::fromUtf8("Conversión de artículos a Excel");

TEST_F(ExportWindows, TheArticleExportIsTheFilterWindowConvertingInsteadOfPrinting) {
    using namespace reports;
    startFrame();
    menu(-36);
    ui::Window* w = window(kArticleCaption);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->placement(), ui::Window::Placement::Own);
    EXPECT_EQ(w->at(kFilterTab).text(), QStringLiteral("Filtro"));
    EXPECT_EQ(w->control(kCero), nullptr) << "no box for the articles without stock";
    EXPECT_EQ(w->at(kFilterAction).text(), QStringLiteral("Con&vertir"));
    EXPECT_EQ(w->at(kFilterAction).tip(), QString::fromUtf8("Realizar la conversión"));
    for (int group : {kArticulosGroup, kMarcasGroup, kCategoriasGroup, kOrdenGroup}) {
        QWidget* g = w->at(group).widget();
        EXPECT_TRUE(g->parentWidget()->rect().contains(g->geometry())) << group << ": shown whole on its tab";
    }
    menu(-36);
    EXPECT_EQ(count(kArticleCaption), 1);

    // As it opens: every article, by number, without stock or not.
    click(w, kFilterAction);
    QString suggested;
    ASSERT_TRUE(save(dir.file("todos.xlsx"), &suggested));
    EXPECT_TRUE(suggested.endsWith(DefaultExportName(ExportKind::Articles, QDate::currentDate())));
    ASSERT_TRUE(runFor([&] { return opener.opened.size() == 1; }));
    test::XlsxDump d = read(dir.file("todos.xlsx"));
    EXPECT_EQ(d.cell("Hoja1", "A2"), "s:Catálogo de artículos");
    EXPECT_EQ(d.cell("Hoja1", "I4"), "s:Capacidad");
    std::vector<std::string> numbers;
    for (int row = 5; row <= 10; ++row) numbers.push_back(d.cell("Hoja1", "A" + std::to_string(row)));
    EXPECT_EQ(numbers, (std::vector<std::string>{"n:0", "n:10", "n:20", "n:30", "n:40", ""}));
    EXPECT_EQ(d.cell("Hoja1", "F6"), "s:12345678901234567890");
    EXPECT_EQ(d.cell("Hoja1", "B6"), "s:=1+1 no es fórmula");

    // Brands 1 to 4, one category, grouped by brand: a blank row before
    // each brand.
    click(w, kMarcasRange);
    type(w, kMarca1, "1");
    type(w, kMarca2, "4");
    click(w, kCategoriasOne);
    type(w, kCatE, "4");
    click(w, kOrdenMarca);
    click(w, kFilterAction);
    ASSERT_TRUE(save(dir.file("por marca.xlsx")));
    ASSERT_TRUE(runFor([&] { return opener.opened.size() == 2; }));
    d = read(dir.file("por marca.xlsx"));
    EXPECT_EQ(d.cell("Hoja1", "A5"), "") << "the blank row before brand 1";
    EXPECT_EQ(d.cell("Hoja1", "A6"), "n:0");
    EXPECT_EQ(d.cell("Hoja1", "D6"), "s:Truper");
    EXPECT_EQ(d.cell("Hoja1", "A7"), "");
    EXPECT_EQ(d.cell("Hoja1", "A8"), "n:30");
    EXPECT_EQ(d.cell("Hoja1", "A9"), "");
    EXPECT_EQ(d.sheetCells("Hoja1").size(), 11u + 5u + 8u) << "A1, A2, nine headers and the cells of two articles";

    // A folder that cannot be written: said, and the window stays.
    click(w, kFilterAction);
    ASSERT_TRUE(save(dir.path() / "no existe" / "x.xlsx"));
    ASSERT_TRUE(runFor([&] { return presenter.count() == 1; }));
    EXPECT_NE(messages()[0].find("la carpeta no existe"), std::string::npos) << messages()[0];
    EXPECT_EQ(count(kArticleCaption), 1);
    click(w, kFilterCancel);
    EXPECT_TRUE(runFor([] { return count(kArticleCaption) == 0; }));
}

TEST_F(ExportWindows, TheArticleListsExcelButtonStartsTheExport) {
    const test::XlsxDump d = exportFromList(catalog::BrowseArticulo, QStringLiteral("Articulo registrados"),
                                            catalog::article_list::kExcel, kArticleCaption, reports::kFilterAction);
    EXPECT_EQ(d.cell("Hoja1", "B9"), "s:Desarmador");
}

}  // namespace
}  // namespace tv::exports
