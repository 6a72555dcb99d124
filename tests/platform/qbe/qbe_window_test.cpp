// The query window driven as a user drives it: real widgets, real clicks and
// typing, the window's procedure on a logical thread of its own.
#include "platform/qbe/qbe_window.h"

#include <chrono>
#include <functional>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/errors/scripted_presenter.h"
#include "platform/expr/ast.h"
#include "platform/qbe/qbe_store.h"
#include "platform/threads/logical_thread.h"
#include "platform/ui/window.h"
#include "tests/support/fiber_helpers.h"
#include "tests/support/scratch_dir.h"

namespace tv::qbe {
namespace {

using test::runFor;

using namespace std::chrono_literals;

std::vector<Field> articleFields() {
    return {
        {"ART:NoArt", "No Art", "@n_10", FieldType::Number, false},
        {"ART:Descripcion", "Descripción", "@s70", FieldType::Text, true},
        {"ART:Modelo", "Modelo", "@s20", FieldType::Text, true},
        {"ART:CodigoBarras", "Codigo Barras", "@n_16", FieldType::Text, true},
        {"ART:Tamano", "Tamaño", "@s20", FieldType::Text, true},
    };
}

// Types as a keyboard does; letters beyond ASCII come as key events that
// carry their text (QTest's own typing knows only ASCII).
void typeInto(QWidget* w, const QString& text) {
    for (QChar ch : text) {
        if (ch.unicode() < 0x80) {
            QTest::keyClick(w, ch.toLatin1());
        } else {
            QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        }
    }
}

// Runs the window on a logical thread, as the list's thread would, and lets
// the test play the user from the main stack.
struct QbeRun {
    QbeSetup setup;
    std::optional<std::string> result;
    bool done = false;
    ui::Window* window = nullptr;

    explicit QbeRun(IniStore& ini, std::string procedure = "BrowseArticulo") {
        setup.procedure = std::move(procedure);
        setup.fields = articleFields();
        setup.ini = &ini;
    }

    void start() {
        threads::start(
            [this] {
                result = runQueryByExample(setup);
                done = true;
            },
            0);
        ASSERT_TRUE(runFor([this] {
            for (ui::Window* w : ui::Window::openWindows())
                if (w->caption() == QString::fromUtf8(kWindowCaption)) window = w;
            return window != nullptr;
        }));
    }

    QLineEdit* entry(const std::string& name) const { return window->control(name)->as<QLineEdit>(); }
    QComboBox* combo(const std::string& name) const { return window->control(name)->as<QComboBox>(); }
    QTableWidget* savedList() const { return window->control("?QUERIES")->as<QTableWidget>(); }
    void type(const std::string& name, const QString& text) const {
        QLineEdit* e = entry(name);
        e->setFocus();
        typeInto(e, text);
    }
    void pick(const std::string& comboName, const QString& caption) const {
        QComboBox* c = combo(comboName);
        const int i = c->findText(caption);
        ASSERT_GE(i, 0) << caption.toStdString();
        c->setCurrentIndex(i);
        emit c->activated(i);
    }
    void click(const std::string& button) const {
        QTest::mouseClick(window->control(button)->widget(), Qt::LeftButton);
    }
    void showTab(int index) const { window->control("?SHEET")->as<QTabWidget>()->setCurrentIndex(index); }
    bool finish() { return runFor([this] { return done; }); }
};

struct QbeWindowTest : ::testing::Test {
    test::ScratchDir dir;
    std::filesystem::path file = dir.file("talvor.INI");
    ScriptedPresenter presenter;
    ScopedPresenter scoped{presenter};
};

TEST_F(QbeWindowTest, TwoLinesFilledAndAcceptedGiveTheirFilterWhileTheCallersWindowWaits) {
    IniStore ini(file);
    // The list's own window on the same thread must take no input meanwhile.
    std::unique_ptr<ui::Window> list;
    bool listTookInputDuring = true, listTakesInputAfter = false;
    QbeRun run(ini);
    run.setup.initial = {};
    bool done = false;
    threads::start(
        [&] {
            list = std::make_unique<ui::Window>(QStringLiteral("Articulo registrados"), QSize(400, 300));
            list->open();
            run.result = runQueryByExample(run.setup);
            listTakesInputAfter = list->takesInput();
            list->close();
            done = true;
        },
        0);
    ASSERT_TRUE(runFor([&] {
        for (ui::Window* w : ui::Window::openWindows())
            if (w->caption() == QString::fromUtf8(kWindowCaption)) run.window = w;
        return run.window != nullptr;
    }));
    listTookInputDuring = list->takesInput();

    // The window as a user sees it.
    auto* sheet = run.window->control("?SHEET")->as<QTabWidget>();
    EXPECT_EQ(sheet->tabText(0), QStringLiteral("Setea Consultas"));
    EXPECT_EQ(sheet->tabText(1), QStringLiteral("Salva Consultas"));
    EXPECT_EQ(run.window->control("?OK")->text(), QStringLiteral("&Aceptar"));
    EXPECT_EQ(run.window->control("?CANCEL")->text(), QStringLiteral("&Cancelar"));
    EXPECT_EQ(run.window->control("?CLEAR")->text(), QStringLiteral("L&impiar"));
    EXPECT_EQ(run.savedList()->horizontalHeaderItem(0)->text(), QStringLiteral("Consultar"));
    EXPECT_EQ(run.combo("?OPERATOR1")->currentText(), QStringLiteral("=")) << "numbers start with =";
    EXPECT_EQ(run.combo("?OPERATOR2")->currentText(), QStringLiteral("Contenga")) << "texts with Contenga";
    EXPECT_EQ(run.combo("?OPERATOR1")->findText(QStringLiteral("Contenga")), -1) << "not offered on numbers";
    EXPECT_GE(run.combo("?OPERATOR2")->findText(QStringLiteral("No Igual")), 0);

    run.pick("?OPERATOR1", QStringLiteral(">="));
    run.type("?VALUE1", QStringLiteral("-5"));
    run.type("?VALUE2", QStringLiteral("o'brien"));
    run.click("?OK");
    ASSERT_TRUE(runFor([&] { return done; }));
    ASSERT_TRUE(run.result.has_value());
    EXPECT_EQ(*run.result, "ART:NoArt >= -5 AND MATCH(ART:Descripcion, '*o''brien*', 17)");
    EXPECT_FALSE(listTookInputDuring);
    EXPECT_TRUE(listTakesInputAfter);
    EXPECT_TRUE(presenter.empty());
    // Its place is kept for next time.
    EXPECT_TRUE(SavedQueries(ini, "BrowseArticulo").position().has_value());
}

TEST_F(QbeWindowTest, CancelCloseBoxAndEscapeGiveNothingAndClearEmptiesTheLines) {
    IniStore ini(file);
    {
        QbeRun run(ini);
        run.start();
        run.type("?VALUE1", QStringLiteral("7"));
        run.click("?CANCEL");
        ASSERT_TRUE(run.finish());
        EXPECT_FALSE(run.result.has_value());
    }
    {
        QbeRun run(ini);
        run.start();
        run.window->widget()->close();  // the close box
        ASSERT_TRUE(run.finish());
        EXPECT_FALSE(run.result.has_value());
    }
    {
        QbeRun run(ini);
        run.setup.initial = {{"ART:Modelo", Operator::BeginsWith, "A-"}, {"ART:NoArt", Operator::Equal, "3"}};
        run.start();
        EXPECT_EQ(run.entry("?VALUE3")->text(), QStringLiteral("A-")) << "the list's current conditions are shown";
        EXPECT_EQ(run.combo("?OPERATOR3")->currentText(), QStringLiteral("Comience"));
        run.click("?CLEAR");
        ASSERT_TRUE(runFor([&] { return run.entry("?VALUE3")->text().isEmpty(); }));
        EXPECT_EQ(run.entry("?VALUE1")->text(), QString());
        EXPECT_EQ(run.combo("?OPERATOR3")->currentText(), QStringLiteral("Contenga"));
        run.click("?OK");
        ASSERT_TRUE(run.finish());
        ASSERT_TRUE(run.result.has_value());
        EXPECT_EQ(*run.result, "") << "no condition: the list drops its filter";
    }
    {
        QbeRun run(ini);
        run.start();
        QTest::keyClick(run.entry("?VALUE1"), Qt::Key_Escape);
        ASSERT_TRUE(run.finish());
        EXPECT_FALSE(run.result.has_value());
    }
}

TEST_F(QbeWindowTest, ThePlaceIsKeptBetweenOpenings) {
    IniStore ini(file);
    {
        QbeRun run(ini);
        run.start();
        run.window->topWidget()->setGeometry(60, 70, 640, 420);
        run.click("?CANCEL");
        ASSERT_TRUE(run.finish());
    }
    auto p = SavedQueries(ini, "BrowseArticulo").position();
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->width, 640);
    EXPECT_EQ(p->height, 420);
    QbeRun run(ini);
    run.start();
    EXPECT_EQ(run.window->topWidget()->geometry(), QRect(p->x, p->y, 640, 420));
    run.click("?OK");
    ASSERT_TRUE(run.finish());
}

TEST_F(QbeWindowTest, ABadNumberIsRefusedAndTheWindowStaysForTheFix) {
    IniStore ini(file);
    QbeRun run(ini);
    run.start();
    run.type("?VALUE1", QStringLiteral("12a"));
    run.click("?OK");
    ASSERT_TRUE(runFor([&] { return presenter.count() == 1; }));
    EXPECT_EQ(presenter.last().text, "Valor no válido en \"No Art\": Número no válido");
    EXPECT_FALSE(run.done);
    run.entry("?VALUE1")->clear();
    run.type("?VALUE1", QStringLiteral("1,250"));
    // Enter moves on from an entry and presses a button.
    QTest::keyClick(run.entry("?VALUE1"), Qt::Key_Return);
    ASSERT_TRUE(runFor([&] { return run.window->control("?OPERATOR2")->hasFocus(); }));
    EXPECT_FALSE(run.done);
    run.window->control("?OK")->focus();
    QTest::keyClick(run.window->control("?OK")->widget(), Qt::Key_Return);
    ASSERT_TRUE(run.finish());
    EXPECT_EQ(run.result, std::optional<std::string>("ART:NoArt = 1250"));
}

TEST_F(QbeWindowTest, ASavedQueryComesBackFromTheFileAfterTheWindowAndTheStoreWereClosed) {
    {
        IniStore ini(file);
        QbeRun run(ini);
        run.start();
        run.type("?VALUE2", QStringLiteral("lápiz \"rojo\"; 100%"));
        run.pick("?OPERATOR3", QStringLiteral("="));
        run.type("?VALUE3", QStringLiteral("  A=1  "));
        run.showTab(1);
        run.type("?QUERYNAME", QStringLiteral("Lápices = rojos"));
        run.click("?SAVEQUERY");
        ASSERT_TRUE(runFor([&] { return run.savedList()->rowCount() == 1; }));
        EXPECT_EQ(run.savedList()->item(0, 0)->text(), QStringLiteral("Lápices = rojos"));
        run.click("?CANCEL");
        ASSERT_TRUE(run.finish());
        EXPECT_FALSE(run.result.has_value()) << "saving does not apply";
        EXPECT_TRUE(presenter.empty());
    }
    // The program starts again: a new store on the same file.
    IniStore ini(file);
    // Another list does not see it.
    EXPECT_TRUE(SavedQueries(ini, "BrowseProveedores").names().empty());
    QbeRun run(ini);
    run.start();
    EXPECT_EQ(run.entry("?VALUE2")->text(), QString()) << "opens with the list's conditions, none here";
    ASSERT_EQ(run.savedList()->rowCount(), 1);
    EXPECT_EQ(run.savedList()->item(0, 0)->text(), QStringLiteral("Lápices = rojos"));
    EXPECT_EQ(run.entry("?QUERYNAME")->text(), QStringLiteral("Lápices = rojos")) << "the last one used";
    run.showTab(1);
    run.click("?RUNQUERY");
    ASSERT_TRUE(run.finish());
    ASSERT_TRUE(run.result.has_value());
    EXPECT_EQ(*run.result,
              "MATCH(ART:Descripcion, '*lápiz \"rojo\"; 100%*', 17) AND UPPER(ART:Modelo) = '  A=1  '");
    EXPECT_TRUE(expr::parseExpression(*run.result).has_value());
}

TEST_F(QbeWindowTest, LoadingByDoubleClickAndDeletingAfterTheQuestion) {
    IniStore ini(file);
    SavedQueries saved(ini, "BrowseArticulo");
    ASSERT_TRUE(saved.save("uno", {{"ART:NoArt", Operator::Less, "10"}}));
    ASSERT_TRUE(saved.save("dos", {{"ART:Tamano", Operator::NotEqual, "XL"}}));
    QbeRun run(ini);
    run.start();
    run.showTab(1);
    QTableWidget* list = run.savedList();
    ASSERT_EQ(list->rowCount(), 2);
    const QRect cell = list->visualRect(list->model()->index(1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    ASSERT_TRUE(runFor([&] { return run.entry("?VALUE5")->text() == QStringLiteral("XL"); }));
    EXPECT_EQ(run.combo("?OPERATOR5")->currentText(), QStringLiteral("No Igual"));
    EXPECT_EQ(saved.lastUsed(), "dos");

    // "&Borrar": a "No" keeps it, a "Sí" removes it.
    run.showTab(1);
    list->setCurrentCell(0, 0);
    ASSERT_TRUE(runFor([&] { return run.entry("?QUERYNAME")->text() == QStringLiteral("uno"); }));
    presenter.answer({Answer::No, Answer::Yes});
    run.click("?DELETEQUERY");
    ASSERT_TRUE(runFor([&] { return presenter.count() == 1; }));
    EXPECT_EQ(presenter.last().text, "¿Borrar la consulta \"uno\"?");
    EXPECT_EQ(saved.names().size(), 2u);
    run.click("?DELETEQUERY");
    ASSERT_TRUE(runFor([&] { return list->rowCount() == 1; }));
    EXPECT_EQ(saved.names(), (std::vector<std::string>{"dos"}));

    // Saving without a name asks for one.
    run.entry("?QUERYNAME")->clear();
    run.click("?SAVEQUERY");
    ASSERT_TRUE(runFor([&] { return presenter.count() == 3; }));
    EXPECT_EQ(presenter.last().text, "Escriba el nombre de la consulta");

    run.click("?OK");
    ASSERT_TRUE(run.finish());
    EXPECT_EQ(run.result, std::optional<std::string>("UPPER(ART:Tamano) <> 'XL'"));
}

TEST_F(QbeWindowTest, TheObjectAListKeepsShowsItsLastConditionsAgain) {
    IniStore ini(file);
    QueryByExample qbe("BrowseProveedores",
                       {{"PVD:Id", "Id", "@n_10", FieldType::Number, false},
                        {"PVD:Nombre", "Nombre", "@s40", FieldType::Text, true}},
                       &ini);
    std::optional<std::string> first, second;
    bool done = false;
    threads::start(
        [&] {
            first = qbe.ask();
            second = qbe.ask();
            done = true;
        },
        0);
    auto windowOpen = [] {
        for (ui::Window* w : ui::Window::openWindows())
            if (w->caption() == QString::fromUtf8(kWindowCaption)) return w;
        return static_cast<ui::Window*>(nullptr);
    };
    ASSERT_TRUE(runFor([&] { return windowOpen() != nullptr; }));
    ui::Window* w = windowOpen();
    QTest::keyClicks(w->control("?VALUE2")->as<QLineEdit>(), QStringLiteral("acme"));
    QTest::mouseClick(w->control("?OK")->widget(), Qt::LeftButton);
    ASSERT_TRUE(runFor([&] { return first.has_value() && windowOpen() != nullptr; }));
    w = windowOpen();
    EXPECT_EQ(w->control("?VALUE2")->text(), QStringLiteral("acme"));
    QTest::mouseClick(w->control("?CANCEL")->widget(), Qt::LeftButton);
    ASSERT_TRUE(runFor([&] { return done; }));
    EXPECT_EQ(first, std::optional<std::string>("MATCH(PVD:Nombre, '*acme*', 17)"));
    EXPECT_FALSE(second.has_value());
    EXPECT_EQ(qbe.filter(), "MATCH(PVD:Nombre, '*acme*', 17)") << "a cancel keeps the filter";
}

}  // namespace
}  // namespace tv::qbe

