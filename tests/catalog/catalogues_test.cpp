// The three plain catalogues driven as a user drives them: the real list
// procedures on a logical thread over a scratch database, their real forms
// opened from the list's buttons, the questions answered by a scripted
// presenter.
#include "catalog/catalogues.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "app/browse/browse_controller.h"
#include "app/browse/vs_find.h"
#include "app/frame/main_frame.h"
#include "app/frame/procedures.h"
#include "app/globals.h"
#include "catalog/brands.h"
#include "catalog/catalogue.h"
#include "catalog/categories.h"
#include "catalog/units.h"
#include "data/thread_table_set.h"
#include "platform/errors/scripted_presenter.h"
#include "platform/storage/storage.h"
#include "platform/threads/logical_thread.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "platform/ui/desktop.h"
#include "tests/catalog/catalogue_fixture.h"
#include "tests/support/fiber_helpers.h"

namespace tv::catalog {
namespace {

using test::runFor;
using test::settle;
using test::onThread;

using namespace std::chrono_literals;
using data::TableId;

struct Catalogue {
    const char* list;
    void (*browse)();
    TableId table;
    const char* nameField;
    const char* caption;
    std::vector<std::string> headers;
    const char* namePrompt;
};

const std::vector<Catalogue>& catalogues() {
    static const std::vector<Catalogue> c = {
        {"BrowseCatArticulos", BrowseCatArticulos, TableId::CatArticulos, "CAR:Descripcion",
         "Categorías de artículos", {"Código", "Descripcion"}, "&Descripcion:"},
        {"BrowseMarcas", BrowseMarcas, TableId::Marcas, "MAR:Marca", "Marcas registrados", {"Código", "Marca"},
         "&Marca:"},
        {"BrowseUnidades", BrowseUnidades, TableId::Unidades, "UNI:UM", "Unidades de medida",
         {"Código", "Unidad de Medida"}, "&Unidad de Medida"},
    };
    return c;
}

class CatalogueTest : public test_support::CatalogueFixture {
protected:
    std::string selectedName() const { return selected(1); }
    void typeName(ui::Window* f, const QString& text) { type(f, kCatName, text); }
};

TEST_F(CatalogueTest, ProceduresAreRegisteredForTheFrame) {
    RegisterCatalogueProcedures();
    for (const char* n : {"BrowseCatArticulos", "BrowseMarcas", "BrowseUnidades", "UpdateCatArticulos",
                          "UpdateMarcas", "UpdateUnidades"})
        EXPECT_TRUE(app::IsRegistered(n)) << n;
    // The frame's items name the same procedures.
    int items = 0;
    for (const app::FrameMenuItem& m : app::FrameMenu()) {
        if (m.procedure == nullptr) continue;
        const std::string p = m.procedure;
        if (p == "BrowseCatArticulos" || p == "BrowseMarcas" || p == "BrowseUnidades") {
            ++items;
            EXPECT_FALSE(m.direct) << p << " runs on a thread of its own";
        }
    }
    EXPECT_EQ(items, 3);
}

TEST_F(CatalogueTest, AddChangeAndDeleteThroughTheList) {
    for (const Catalogue& k : catalogues()) {
        SCOPED_TRACE(k.list);
        presenter.clear();
        start(k.browse);
        EXPECT_EQ(list_->caption(), QString::fromUtf8(k.caption));
        ASSERT_EQ(table()->columnCount(), 2);
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(table()->horizontalHeaderItem(c)->text().toStdString(), k.headers[static_cast<size_t>(c)]);
        EXPECT_FALSE(enabled(app::kBrowseChange)) << "an empty list has nothing to change";
        EXPECT_FALSE(enabled(app::kBrowseDelete));

        // Add: the form opens for an insert with the reserved code.
        click(list_, app::kBrowseInsert);
        ui::Window* f = form();
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->caption(), QStringLiteral("Altas"));
        EXPECT_EQ(f->at(kCatCode).text(), QStringLiteral("1"));
        EXPECT_EQ(f->at(kCatNamePrompt).text(), QString::fromUtf8(k.namePrompt));
        typeName(f, QStringLiteral("Primero"));
        click(f, kCatOk);
        EXPECT_FALSE(formOpen());
        EXPECT_EQ(stored(k.table, k.nameField), (std::vector<std::string>{"1 Primero"}));
        EXPECT_EQ(column(1), (std::vector<std::string>{"Primero"}));
        EXPECT_EQ(selectedName(), "Primero");

        // Change: only the name.
        click(list_, app::kBrowseChange);
        f = form();
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->caption(), QStringLiteral("Modificaciones"));
        EXPECT_EQ(f->at(kCatName).text(), QStringLiteral("Primero"));
        typeName(f, QStringLiteral("Segundo"));
        click(f, kCatOk);
        EXPECT_FALSE(formOpen());
        EXPECT_EQ(stored(k.table, k.nameField), (std::vector<std::string>{"1 Segundo"}));
        EXPECT_EQ(column(1), (std::vector<std::string>{"Segundo"}));

        // View: read-only, nothing changes.
        click(list_, app::kBrowseView);
        f = form();
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->caption(), QStringLiteral("Consulta"));
        EXPECT_TRUE(f->at(kCatName).readOnly());
        click(f, kCatOk);
        EXPECT_FALSE(formOpen());

        // Delete: message 11 without a form; No keeps, Yes deletes.
        presenter.answer({Answer::No, Answer::Yes});
        click(list_, app::kBrowseDelete);
        EXPECT_FALSE(formOpen());
        EXPECT_EQ(stored(k.table, k.nameField), (std::vector<std::string>{"1 Segundo"}));
        click(list_, app::kBrowseDelete);
        EXPECT_EQ(shownNumbers(), (std::vector<int>{11, 11}));
        EXPECT_TRUE(stored(k.table, k.nameField).empty());
        EXPECT_EQ(table()->rowCount(), 0);
        EXPECT_FALSE(enabled(app::kBrowseChange)) << "after deleting the last row";

        click(list_, app::kBrowseClose);
        ASSERT_TRUE(runFor([this] { return done_; }));
    }
}

TEST_F(CatalogueTest, BlankNameIsRefusedAndCancelGivesTheCodeBack) {
    for (const Catalogue& k : catalogues()) {
        SCOPED_TRACE(k.list);
        presenter.clear();
        start(k.browse);
        click(list_, app::kBrowseInsert);
        ui::Window* f = form();
        ASSERT_NE(f, nullptr);
        const int beeps = ui::beepCount();
        click(f, kCatOk);
        EXPECT_GT(ui::beepCount(), beeps) << "a blank name beeps";
        EXPECT_TRUE(formOpen()) << "and the form stays open";
        EXPECT_TRUE(f->at(kCatName).hasFocus());
        EXPECT_EQ(stored(k.table, k.nameField), (std::vector<std::string>{"1 "})) << "only the reserved code";
        // Unchanged: closes without a question and releases the code.
        click(f, kCatCancel);
        EXPECT_FALSE(formOpen());
        EXPECT_TRUE(presenter.empty());
        EXPECT_TRUE(stored(k.table, k.nameField).empty());
        EXPECT_EQ(table()->rowCount(), 0);
        click(list_, app::kBrowseClose);
        ASSERT_TRUE(runFor([this] { return done_; }));
    }
}

TEST_F(CatalogueTest, DuplicateCategoryNameIsRefusedWithMessage15) {
    seed(TableId::CatArticulos, "CAR:Descripcion", {"Herramientas"});
    start(BrowseCatArticulos);
    struct Case {
        const char* typed;
        bool refused;
    };
    for (const Case& c : {Case{"Herramientas", true}, Case{"HERRAMIENTAS", true}, Case{"Herramienta", false}}) {
        SCOPED_TRACE(c.typed);
        presenter.clear();
        click(list_, app::kBrowseInsert);
        ui::Window* f = form();
        ASSERT_NE(f, nullptr);
        typeName(f, QString::fromUtf8(c.typed));
        click(f, kCatOk);
        if (!c.refused) {
            EXPECT_FALSE(formOpen());
            EXPECT_TRUE(presenter.empty());
            continue;
        }
        ASSERT_EQ(shownNumbers(), (std::vector<int>{15}));
        EXPECT_NE(presenter.last().text.find("car:KeyDescripcion"), std::string::npos) << presenter.last().text;
        EXPECT_TRUE(formOpen()) << "the form stays open";
        // Cancelling the typed name asks message 10.
        presenter.answer(Answer::Yes);
        click(f, kCatCancel);
        EXPECT_FALSE(formOpen());
        EXPECT_EQ(shownNumbers(), (std::vector<int>{15, 10}));
    }
    const std::vector<std::string> all = stored(TableId::CatArticulos, "CAR:Descripcion");
    ASSERT_EQ(all.size(), 2u) << "the refused inserts stored nothing";
    EXPECT_EQ(all[0], "1 Herramientas");
    EXPECT_EQ(all[1].substr(all[1].find(' ') + 1), "Herramienta");
    // Brands may share names.
    click(list_, app::kBrowseClose);
    ASSERT_TRUE(runFor([this] { return done_; }));
    seed(TableId::Marcas, "MAR:Marca", {"Acme", "Acme"});
    EXPECT_EQ(stored(TableId::Marcas, "MAR:Marca"), (std::vector<std::string>{"1 Acme", "2 Acme"}));
}

// As the article form's look-up runs an add form: the record prepared (a
// code reserved) with the text typed in the combo already in it.
TEST_F(CatalogueTest, AddFormOpensOnThePreparedRecordWithTheTypedText) {
    struct Case {
        void (*form)();
        TableId table;
        const char* nameField;
    };
    for (const Case& k : {Case{UpdateMarcas, TableId::Marcas, "MAR:Marca"},
                          Case{UpdateCatArticulos, TableId::CatArticulos, "CAR:Descripcion"},
                          Case{UpdateUnidades, TableId::Unidades, "UNI:UM"}}) {
        SCOPED_TRACE(k.nameField);
        seed(k.table, k.nameField, {"Uno"});
        uint8_t response = 0;
        done_ = false;
        thread_ = threads::start([&] {
            data::TableGateway& g = data::tables().gateway(k.table);
            ASSERT_EQ(g.PrepareNewRecord(), data::kDone);
            g.BUFFER.set(g.declaration().fieldIndex(k.nameField), Value("tornilleria"));
            threadState().callRequest = kInsert;
            k.form();
            response = threadState().callResponse;
            done_ = true;
        }, 512 * 1024);
        ui::Window* f = form();
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->caption(), QStringLiteral("Altas"));
        EXPECT_EQ(f->at(kCatCode).text(), QStringLiteral("2"));
        EXPECT_EQ(f->at(kCatName).text(), QStringLiteral("tornilleria"));
        typeName(f, QStringLiteral("Tornilleria fina"));
        click(f, kCatOk);
        ASSERT_TRUE(runFor([this] { return done_; }));
        EXPECT_EQ(response, kCompleted);
        EXPECT_EQ(stored(k.table, k.nameField), (std::vector<std::string>{"1 Uno", "2 Tornilleria fina"}));
    }
}

TEST_F(CatalogueTest, EveryPromptOfTheFormsShowsItsWholeText) {
    // "&Unidad de Medida" is the longest: cut to "Unidad de Medid" it names
    // nothing a user knows.
    for (void (*update)() : {UpdateCatArticulos, UpdateMarcas, UpdateUnidades}) {
        done_ = false;
        thread_ = threads::start([&] {
            threadState().callRequest = kView;
            update();
            done_ = true;
        }, 512 * 1024);
        ui::Window* f = form();
        ASSERT_NE(f, nullptr);
        for (int prompt : {kCatCodePrompt, kCatNamePrompt}) {
            QWidget* label = f->at(prompt).widget();
            SCOPED_TRACE(f->at(prompt).text().toStdString());
            EXPECT_GE(label->width(), label->sizeHint().width());
            EXPECT_LE(label->geometry().right(), f->at(prompt + 1).widget()->geometry().left())
                << "it runs under its field";
        }
        click(f, kCatCancel);
        ASSERT_TRUE(runFor([this] { return done_; }));
    }
}

TEST_F(CatalogueTest, CategoryTabsChooseTheOrderAndTheLocatorFollowsIt) {
    seed(TableId::CatArticulos, "CAR:Descripcion", {"Tornillos", "Brocas", "Martillos", "Anclas"});
    start(BrowseCatArticulos);
    auto* tabs = list_->at(app::kBrowseSheet).as<QTabWidget>();
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Por Código"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("Por Descripción"));
    EXPECT_EQ(column(1), (std::vector<std::string>{"Tornillos", "Brocas", "Martillos", "Anclas"})) << "opens by code";
    QTest::keyClick(table(), '3');
    settle();
    EXPECT_EQ(selectedName(), "Martillos") << "a digit locates a code";
    tabs->setCurrentIndex(1);
    settle();
    EXPECT_EQ(column(1), (std::vector<std::string>{"Anclas", "Brocas", "Martillos", "Tornillos"}));
    QTest::keyClick(table(), 't');
    settle();
    EXPECT_EQ(selectedName(), "Tornillos") << "a letter locates a name";
    click(list_, app::kBrowseClose);
    ASSERT_TRUE(runFor([this] { return done_; }));
}

}  // namespace
}  // namespace tv::catalog

namespace tv::catalog {
namespace {

ui::Window* findWindow() {
    ui::Window* found = nullptr;
    runFor([&found] {
        for (ui::Window* w : ui::Window::openWindows())
            if (w->caption() == QStringLiteral("Buscar:")) found = w;
        return found != nullptr;
    });
    settle();
    return found;
}

TEST_F(CatalogueTest, FindInTheUnitListMatchesTheNameInAnyCase) {
    seed(TableId::Unidades, "UNI:UM", {"Pieza", "KG", "Caja", "Bolsa 1 kg", "Litro"});
    start(BrowseUnidades);
    QTest::keyClick(table(), Qt::Key_F3);
    ui::Window* w = findWindow();
    ASSERT_NE(w, nullptr) << "the find window opened";
    auto* columns = w->at(app::kVsfColumns).as<QTableWidget>();
    ASSERT_EQ(columns->rowCount(), 2);
    EXPECT_EQ(columns->item(1, 0)->text(), QStringLiteral("Unidad de Medida"));
    columns->setCurrentCell(1, 0);
    QTest::keyClicks(w->at(app::kVsfValue).as<QLineEdit>(), QStringLiteral("kg"));
    settle();
    QTest::mouseClick(w->at(app::kVsfFind).as<QPushButton>(), Qt::LeftButton);
    settle();
    EXPECT_EQ(selectedName(), "KG");
    QTest::keyClick(table(), Qt::Key_F6);
    settle();
    EXPECT_EQ(selectedName(), "Bolsa 1 kg");
    EXPECT_TRUE(presenter.empty());
    click(list_, app::kBrowseClose);
    ASSERT_TRUE(runFor([this] { return done_; }));
}

// A list that meets a read error says so with the table layer's message
// (1, "Error de Retribución") instead of ending as if it held no more rows.
TEST_F(CatalogueTest, AReadErrorIsReportedNotTakenForTheEndOfTheList) {
    std::vector<std::string> names;
    for (int i = 0; i < 80; ++i) names.push_back("Marca " + std::to_string(1000 + i));
    seed(TableId::Marcas, "MAR:Marca", names);
    start(BrowseMarcas);
    ASSERT_NE(list_, nullptr);
    ASSERT_GT(table()->rowCount(), 0);
    presenter.clear();
    {
        // The table goes from under the list (as a damaged file would fail).
        storage::Connection other(dir.file("talvor.db"));
        ASSERT_TRUE(other.exec("ALTER TABLE " + data::storageDef(TableId::Marcas)->table + " RENAME TO gone").ok());
    }
    list_->post({ui::EventKind::Accepted, 3005});  // the frame's "last page"
    settle();
    ASSERT_GE(presenter.shown().size(), 1u);
    EXPECT_EQ(messageNumber(presenter.shown().front().box), 1);
    EXPECT_NE(presenter.shown().front().box.text.find("Marcas"), std::string::npos)
        << presenter.shown().front().box.text;
    {
        storage::Connection other(dir.file("talvor.db"));
        ASSERT_TRUE(other.exec("ALTER TABLE gone RENAME TO " + data::storageDef(TableId::Marcas)->table).ok());
    }
}

// The frame's record buttons reflect the active window only: a list that
// is not the active one never sets them, whatever it reloads.
TEST_F(CatalogueTest, TheFramesRecordButtonsFollowTheActiveListOnly) {
    seed(TableId::Marcas, "MAR:Marca", {"Acme", "Bosch"});
    app::RegisterProcedure("Login", [] { app::globals().UserPermissions.fill(1); });
    bool frameDone = false;
    threads::start(
        [&] {
            app::Main();
            frameDone = true;
        },
        0);
    ASSERT_TRUE(runFor([] { return app::FrameWindow() != nullptr && app::FrameWindow()->isOpen(); }));
    ui::Window& frame = *app::FrameWindow();
    bool unitsDone = false;
    const threads::ThreadNo units = threads::start(
        [&] {
            BrowseUnidades();  // empty: nothing to change
            unitsDone = true;
        },
        512 * 1024);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(units) != nullptr && ui::Window::topOf(units)->isOpen(); }));
    start(BrowseMarcas);
    ASSERT_NE(list_, nullptr);
    frame.mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(list_->topWidget()));
    list_->post({ui::EventKind::Accepted, 3006});  // the brands list, active, goes to its top
    settle();
    ASSERT_TRUE(runFor([&] { return !frame.at(3002).disabled(); })) << "the active list has rows to change";
    // The units list, not active, reloads: the buttons stay the brands'.
    ui::Window::topOf(units)->post({ui::EventKind::Accepted, 3006});
    settle();
    EXPECT_FALSE(frame.at(3002).disabled());
    EXPECT_FALSE(frame.at(3003).disabled());
    ui::Window::topOf(units)->post({ui::EventKind::CloseWindow, 0});
    ASSERT_TRUE(runFor([&] { return unitsDone; }));
    closeList();
    frame.widget()->close();
    ASSERT_TRUE(runFor([&] { return frameDone; }));
    app::RegisterProcedure("Login", nullptr);
}

}  // namespace
}  // namespace tv::catalog
