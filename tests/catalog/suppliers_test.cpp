// The suppliers, their contacts and the supplier price query, driven as a
// user drives them: the real procedures on logical threads over a scratch
// database, the questions answered by a scripted presenter.
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "app/browse/browse_controller.h"
#include "app/frame/procedures.h"
#include "app/globals.h"
#include "catalog/catalogue.h"
#include "catalog/catalogues.h"
#include "catalog/supplier_prices.h"
#include "catalog/suppliers.h"
#include "data/thread_table_set.h"
#include "platform/errors/scripted_presenter.h"
#include "platform/ini/ini_store.h"
#include "platform/storage/storage.h"
#include "platform/threads/logical_thread.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "platform/ui/window.h"
#include "tests/support/fiber_helpers.h"
#include "tests/support/scratch_dir.h"

namespace tv::catalog {
namespace {

namespace fs = std::filesystem;
using data::TableId;
using test::onThread;
using test::runFor;
using test::settle;
using ui::EventKind;
using namespace supplier_ui;
using Row = std::vector<std::pair<std::string, Value>>;

int field(TableId t, const char* name) { return data::decl(t).fieldIndex(name); }
std::string text(const Record& r, TableId t, const char* name) {
    return std::string(trim(r.get(field(t, name)).asText()));
}

struct ProcRun {
    threads::ThreadNo thread = 0;
    bool done = false;
    uint8_t response = 0;
    std::optional<Record> supplier;  // the thread's Proveedores buffer when the procedure returned
    ui::Window* top() const { return ui::Window::topOf(thread); }
};

class SuppliersTest : public ::testing::Test {
protected:
    void SetUp() override {
        storage::setDatabasePath(dir.file("talvor.db"));
        ErrorReporter::instance().setUp();
        scope_.emplace(presenter);
        app::globals().UserPermissions.fill(1);
    }
    void TearDown() override {
        for (ProcRun& r : runs_) {
            for (int i = 0; i < 5 && !r.done; ++i) {
                if (ui::Window* w = r.top()) w->post({EventKind::CloseWindow, 0});
                presenter.answer(Answer::Yes);
                settle();
            }
            EXPECT_TRUE(runFor([&r] { return r.done; })) << "the procedure's thread ended";
        }
        app::globals().RunningProcedures.clear();
        SetSupplierQueryStore(nullptr);
        scope_.reset();
        storage::setDatabasePath("talvor.db");
    }

    void put(TableId t, const std::vector<Row>& rows) {
        onThread([&] {
            data::TableGateway& g = data::tables().gateway(t);
            for (const Row& row : rows) {
                ASSERT_EQ(g.PrepareNewRecord(), data::kDone);
                for (const auto& [f, v] : row) g.BUFFER.set(field(t, f.c_str()), v);
                ASSERT_EQ(g.InsertRecord(), data::kDone);
            }
        });
    }
    // Every stored record's field, in record order.
    std::vector<std::string> stored(TableId t, const char* f) {
        std::vector<std::string> out;
        onThread([&] {
            data::TableGateway& g = data::tables().gateway(t);
            g.SetPositionToStart();
            while (g.ReadNext() == data::kDone) out.push_back(text(g.BUFFER, t, f));
        });
        return out;
    }
    // The stored supplier with that code (read by its key).
    std::optional<Record> supplier(const std::string& code) {
        std::optional<Record> out;
        onThread([&] {
            data::TableGateway& g = data::tables().gateway(TableId::Proveedores);
            g.BUFFER.clear();
            g.BUFFER.set(field(TableId::Proveedores, "PVD:Codigo"), Value(code));
            if (g.ReadByKey("PVD:KeyCodigo") == data::kDone) out = g.BUFFER;
        });
        return out;
    }
    static std::function<void()> readSupplier(std::string code) {
        return [code] {
            data::TableGateway& g = data::tables().gateway(TableId::Proveedores);
            g.BUFFER.clear();
            g.BUFFER.set(field(TableId::Proveedores, "PVD:Codigo"), Value(code));
            ASSERT_EQ(g.ReadByKey("PVD:KeyCodigo"), data::kDone);
        };
    }
    static std::function<void()> prepareInsert() {
        return [] { ASSERT_EQ(data::tables().gateway(TableId::Proveedores).PrepareNewRecord(), data::kDone); };
    }

    ProcRun& start(std::function<void()> procedure, uint8_t request, std::function<void()> before = {}) {
        ProcRun& r = runs_.emplace_back();
        r.thread = threads::start(
            [&r, procedure, request, before] {
                if (before) before();
                threadState().callRequest = request;
                procedure();
                r.response = threadState().callResponse;
                r.supplier = data::tables().buffer(TableId::Proveedores);
                r.done = true;
            },
            512 * 1024);
        return r;
    }
    ui::Window* waitTop(ProcRun& r, const QString& caption, ui::Window* notThis = nullptr) {
        const bool ok = runFor([&] {
            ui::Window* w = r.top();
            return r.done ||
                   (w != nullptr && w != notThis && w->isOpen() && !w->hasEvents() && w->caption() == caption);
        });
        if (!ok || r.done) return nullptr;
        settle();
        ui::Window* w = r.top();
        QWidget* top = w->topWidget()->window();
        top->activateWindow();
        QApplication::setActiveWindow(top);
        return w;
    }
    ui::Window* openList(ProcRun& r) { return waitTop(r, QStringLiteral("Proveedores")); }
    bool waitDone(ProcRun& r) { return runFor([&r] { return r.done; }); }
    void idle(ProcRun& r) {
        runFor([&r] { return r.done || (r.top() != nullptr && !r.top()->hasEvents()); });
        settle();
    }
    void type(ui::Window* w, int control, const QString& t) {
        ui::Control& c = w->at(control);
        c.focus();
        ASSERT_TRUE(runFor([&] { return c.hasFocus(); }));
        if (auto* e = c.as<QLineEdit>()) e->selectAll();
        if (auto* cb = c.as<QComboBox>(); cb != nullptr && cb->lineEdit() != nullptr) cb->lineEdit()->selectAll();
        QTest::keyClicks(c.widget(), t);
    }
    void click(ui::Window* w, int control) {
        QTest::mouseClick(w->at(control).widget(), Qt::LeftButton);
        settle();
    }
    static QTableWidget* table(ui::Window* w, int control = app::kBrowseList) {
        return w->at(control).as<QTableWidget>();
    }
    static std::vector<std::string> column(ui::Window* w, int c, int control = app::kBrowseList) {
        std::vector<std::string> out;
        QTableWidget* t = table(w, control);
        for (int i = 0; i < t->rowCount(); ++i) out.push_back(t->item(i, c)->text().trimmed().toStdString());
        return out;
    }
    void clickRow(ui::Window* w, int row, int control = app::kBrowseList) {
        QTableWidget* t = table(w, control);
        const QRect cell = t->visualRect(t->model()->index(row, 0));
        QTest::mouseClick(t->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        settle();
    }
    std::vector<int> shownNumbers() const {
        std::vector<int> v;
        for (const auto& s : presenter.shown()) v.push_back(messageNumber(s.box));
        return v;
    }
    void seedTwo() {
        put(TableId::Proveedores,
            {{{"PVD:Codigo", "ACME"}, {"PVD:Nombre", "Acme SA"}, {"PVD:EMAIL", "ventas@acme.mx"},
              {"PVD:SALDO", Value(*Decimal::parse("150.25"))}},
             {{"PVD:Codigo", "BETA"}, {"PVD:Nombre", "Beta y Cia"}, {"PVD:NombreComercial", "Beta"}}});
    }

    test::ScratchDir dir;
    test::WorkingDir wd{dir.path()};
    ScriptedPresenter presenter;

private:
    std::optional<ScopedPresenter> scope_;
    std::deque<ProcRun> runs_;
};

TEST_F(SuppliersTest, TheFrameFindsTheSupplierProcedures) {
    RegisterCatalogueProcedures();
    for (const char* name : {"BrowseProveedores", "UpdateProveedores", "UpdateContactoProv", "ConsultaPreciosProv"})
        EXPECT_TRUE(app::IsRegistered(name)) << name;
}

// Add with two contacts, change, delete (the contacts go with it).
TEST_F(SuppliersTest, ASupplierIsAddedWithContactsChangedAndDeletedWithThem) {
    put(TableId::ContProv, {{{"CPV:PROVEEDOR", "OTRO"}, {"CPV:Nombre", "Ajeno"}}});
    ProcRun& r = start(BrowseProveedores, 0);
    ui::Window* list = openList(r);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->at(app::kBrowseSelect).hidden()) << "no look-up from the menu";
    click(list, app::kBrowseInsert);
    ui::Window* f = waitTop(r, QStringLiteral("Altas"), list);
    ASSERT_NE(f, nullptr);
    EXPECT_FALSE(f->at(kCode).disabled()) << "the code is typed while adding";
    type(f, kCode, QStringLiteral("ACME"));
    type(f, kName, QStringLiteral("Acme SA"));
    type(f, kRfc, QStringLiteral("ACM010101AAA"));
    f->at(kSheet).as<QTabWidget>()->setCurrentIndex(1);
    settle();
    for (const char* person : {"Ana Ruiz", "Luis Paz"}) {
        SCOPED_TRACE(person);
        click(f, kContactInsert);
        ui::Window* c = waitTop(r, QStringLiteral("Altas"), f);
        ASSERT_NE(c, nullptr);
        type(c, kCName, QString::fromUtf8(person));
        type(c, kCPhone, QStringLiteral("555-0101"));
        click(c, kCOk);
        ASSERT_NE(waitTop(r, QStringLiteral("Altas"), c), nullptr);
        ASSERT_EQ(r.top(), f);
    }
    EXPECT_EQ(column(f, 0, kContacts), (std::vector<std::string>{"Ana Ruiz", "Luis Paz"}));
    click(f, kOk);
    ASSERT_EQ(waitTop(r, QStringLiteral("Proveedores"), f), list);
    EXPECT_TRUE(presenter.empty());
    std::optional<Record> s = supplier("ACME");
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(text(*s, TableId::Proveedores, "PVD:RFC"), "ACM010101AAA");
    EXPECT_EQ(stored(TableId::ContProv, "CPV:PROVEEDOR"), (std::vector<std::string>{"OTRO", "ACME", "ACME"}));

    // Change: the code stays as stored.
    clickRow(list, 0);
    click(list, app::kBrowseChange);
    f = waitTop(r, QStringLiteral("Modificaciones"), list);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->at(kCode).disabled());
    EXPECT_TRUE(f->at(kCode).readOnly());
    type(f, kName, QStringLiteral("Acme Herramientas"));
    click(f, kOk);
    ASSERT_EQ(waitTop(r, QStringLiteral("Proveedores"), f), list);
    EXPECT_EQ(text(*supplier("ACME"), TableId::Proveedores, "PVD:Nombre"), "Acme Herramientas");
    EXPECT_EQ(column(list, 2), std::vector<std::string>{"Acme Herramientas"});

    // Delete: asked with message 11, the contacts of its code go too.
    presenter.answer(Answer::Yes);
    click(list, app::kBrowseDelete);
    idle(r);
    EXPECT_EQ(shownNumbers(), std::vector<int>{11});
    EXPECT_FALSE(supplier("ACME").has_value());
    EXPECT_EQ(stored(TableId::ContProv, "CPV:Nombre"), std::vector<std::string>{"Ajeno"});
    click(list, app::kBrowseClose);
    ASSERT_TRUE(waitDone(r));
}

TEST_F(SuppliersTest, ACodeThatDiffersOnlyInLetterCaseIsRefusedNamingItsKey) {
    seedTwo();
    ProcRun& r = start(UpdateProveedores, kInsert, prepareInsert());
    ui::Window* f = waitTop(r, QStringLiteral("Altas"));
    ASSERT_NE(f, nullptr);
    type(f, kName, QStringLiteral("Otra Acme"));
    for (const QString& code : {QStringLiteral("acme"), QStringLiteral("Beta")}) {
        SCOPED_TRACE(code.toStdString());
        presenter.clear();
        type(f, kCode, code);
        click(f, kOk);
        idle(r);
        ASSERT_FALSE(r.done) << "the form stays open";
        EXPECT_EQ(shownNumbers(), std::vector<int>{15});
        EXPECT_NE(presenter.last().text.find("pvd:KeyCodigo"), std::string::npos) << presenter.last().text;
    }
    type(f, kCode, QStringLiteral("ACME2"));
    click(f, kOk);
    ASSERT_TRUE(waitDone(r));
    EXPECT_EQ(r.response, kCompleted);
    EXPECT_EQ(stored(TableId::Proveedores, "PVD:Codigo"), (std::vector<std::string>{"ACME", "BETA", "ACME2"}));
}

TEST_F(SuppliersTest, TheTabsOrderTheListAndTheirEntriesLocateIgnoringCase) {
    put(TableId::Proveedores, {{{"PVD:Codigo", "ZETA"}, {"PVD:Nombre", "Alfa y Cia"}},
                               {{"PVD:Codigo", "acme"}, {"PVD:Nombre", "Zapata SA"}, {"PVD:NombreComercial", "Zeta"}},
                               {{"PVD:Codigo", "Beta"}, {"PVD:Nombre", "bodega norte"}}});
    ProcRun& r = start(BrowseProveedores, 0);
    ui::Window* w = openList(r);
    ASSERT_NE(w, nullptr);
    auto* sheet = w->at(app::kBrowseSheet).as<QTabWidget>();
    struct Case {
        int tab;
        QString tabText;
        std::vector<std::string> codes;  // in the tab's order
        int locator;                     // 0: none
        QString typed;
        std::string located;             // code of the row located
    };
    const Case cases[] = {
        {0, QStringLiteral("Por Id"), {"ZETA", "acme", "Beta"}, 0, {}, ""},
        {1, QString::fromUtf8("Por Código"), {"acme", "Beta", "ZETA"}, kLocateCode, QStringLiteral("b"), "Beta"},
        {2, QStringLiteral("Por Nombre"), {"ZETA", "Beta", "acme"}, kLocateName, QStringLiteral("BO"), "Beta"},
        {3, QStringLiteral("Por Nombre Comercial"), {"acme"}, kLocateTrade, QStringLiteral("z"), "acme"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.tab);
        sheet->setCurrentIndex(k.tab);
        idle(r);
        EXPECT_EQ(sheet->tabText(k.tab), k.tabText);
        EXPECT_EQ(column(w, 1), k.codes);
        if (k.locator == 0) continue;
        w->at(k.locator).setText(k.typed);
        w->post({EventKind::Accepted, k.locator});
        idle(r);
        QTableWidget* t = table(w);
        ASSERT_GE(t->currentRow(), 0);
        EXPECT_EQ(t->item(t->currentRow(), 1)->text().trimmed().toStdString(), k.located);
    }
}

// A blank code is a key value: a second supplier without a code is refused
// when it is saved (the reservation made for the form does not count).
// No button covers another, at the designed size and maximised, and the
// buttons stay below the rows when the list grows.
TEST_F(SuppliersTest, TheListsButtonsNeverOverlapAndStayBelowTheRows) {
    ProcRun& r = start(BrowseProveedores, kSelect);
    ui::Window* w = openList(r);
    ASSERT_NE(w, nullptr);
    auto check = [w](const char* when) {
        SCOPED_TRACE(when);
        std::vector<ui::Control*> buttons;
        for (ui::Control* c : w->controls())
            if (c->kind() == ui::ControlKind::Button && !c->hidden()) buttons.push_back(c);
        ASSERT_GE(buttons.size(), 8u);
        const QRect list = w->at(app::kBrowseList).position();
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            EXPECT_GT(buttons[i]->position().top(), list.bottom()) << buttons[i]->name();
            EXPECT_LE(buttons[i]->position().right(), w->widget()->width()) << buttons[i]->name();
            for (std::size_t j = i + 1; j < buttons.size(); ++j)
                EXPECT_FALSE(buttons[i]->position().intersects(buttons[j]->position()))
                    << buttons[i]->name() << " " << buttons[j]->name();
        }
    };
    check("designed");
    w->widget()->resize(1200, 800);
    w->post({EventKind::Resized, 0});
    idle(r);
    check("enlarged");
    click(w, app::kBrowseClose);
    ASSERT_TRUE(waitDone(r));
}

// The list's buttons and rows say in the status bar what their tips say;
// the "Por Id" order has no locator (typing moves nothing) and the locator
// entries of the other tabs keep the platform's colour.
TEST_F(SuppliersTest, StatusTextsLocatorsAndTheirColours) {
    seedTwo();
    ProcRun& r = start(BrowseProveedores, 0);
    ui::Window* w = openList(r);
    ASSERT_NE(w, nullptr);
    for (int c : {static_cast<int>(app::kBrowseList), static_cast<int>(app::kBrowseView), static_cast<int>(app::kBrowseInsert), static_cast<int>(app::kBrowseChange), static_cast<int>(app::kBrowseDelete),
                  static_cast<int>(app::kBrowseClose), static_cast<int>(kFilter), static_cast<int>(kExcel)}) {
        SCOPED_TRACE(w->at(c).name());
        EXPECT_FALSE(w->at(c).tip().isEmpty());
        EXPECT_EQ(w->at(c).statusText(), w->at(c).tip());
    }
    for (int e : {static_cast<int>(kLocateCode), static_cast<int>(kLocateName), static_cast<int>(kLocateTrade)})
        EXPECT_EQ(w->at(e).background(), ui::kNoColor) << "a locator entry keeps the platform's colour";
    QTableWidget* t = table(w);
    t->setFocus();
    t->setCurrentCell(0, 0);
    settle();
    QTest::keyClicks(t, QStringLiteral("2"));
    idle(r);
    EXPECT_EQ(t->currentRow(), 0) << "no locator on \"Por Id\"";
    click(w, app::kBrowseClose);
    ASSERT_TRUE(waitDone(r));
}

// The place lists offer no blank names and bring back, with Ctrl+H, the
// place of the supplier last saved through the form on this thread.
TEST_F(SuppliersTest, PlaceListsSkipBlankNamesAndAnswerCtrlH) {
    put(TableId::Ciudades, {{{"CIU:Nombre", "Monterrey"}}, {{"CIU:Nombre", ""}}, {{"CIU:Nombre", "Saltillo"}}});
    ProcRun& r = start(
        [] {
            for (const char* code : {"PRIMERO", "SEGUNDO"}) {
                ASSERT_EQ(data::tables().gateway(TableId::Proveedores).PrepareNewRecord(), data::kDone);
                threadState().callRequest = kInsert;
                (void)code;
                UpdateProveedores();
            }
        },
        0);
    ui::Window* f = waitTop(r, QStringLiteral("Altas"));
    ASSERT_NE(f, nullptr);
    auto* city = f->at(kCity).as<QComboBox>();
    ASSERT_EQ(city->count(), 2);
    EXPECT_EQ(city->itemText(0), QStringLiteral("Monterrey"));
    EXPECT_EQ(city->itemText(1), QStringLiteral("Saltillo"));
    type(f, kCode, QStringLiteral("PRIMERO"));
    type(f, kCity, QStringLiteral("Salt"));
    type(f, kName, QStringLiteral("Uno"));
    click(f, kOk);
    // The second form (it may take the first one's place in memory).
    ASSERT_TRUE(runFor([&] {
        ui::Window* t = r.top();
        return t != nullptr && t->isOpen() && !t->hasEvents() && t->at(kCode).text().isEmpty();
    }));
    ui::Window* g = waitTop(r, QStringLiteral("Altas"));
    ASSERT_NE(g, nullptr);
    type(g, kCode, QStringLiteral("SEGUNDO"));
    g->at(kCity).focus();
    ASSERT_TRUE(runFor([&] { return g->at(kCity).hasFocus(); }));
    QTest::keyClick(g->at(kCity).widget(), Qt::Key_H, Qt::ControlModifier);
    idle(r);
    EXPECT_EQ(g->at(kCity).text(), QStringLiteral("Saltillo"));
    click(g, kOk);
    ASSERT_TRUE(waitDone(r));
    EXPECT_EQ(stored(TableId::Proveedores, "PVD:CIUDAD"), (std::vector<std::string>{"Saltillo", "Saltillo"}));
}

// The code is required and no longer than every table that names a
// supplier holds (a purchase order keeps 10 characters): a blank code
// beeps and keeps the form open, a longer one is refused with a message.
TEST_F(SuppliersTest, TheCodeIsRequiredAndFitsWhereverItIsCopied) {
    ProcRun& r = start(BrowseProveedores, 0);
    ui::Window* w = openList(r);
    ASSERT_NE(w, nullptr);
    click(w, app::kBrowseInsert);
    ui::Window* f = waitTop(r, QStringLiteral("Altas"), w);
    ASSERT_NE(f, nullptr);
    type(f, kName, QStringLiteral("Sin codigo"));
    f->at(kSheet).as<QTabWidget>()->setCurrentIndex(1);
    settle();
    click(f, kOk);
    idle(r);
    EXPECT_TRUE(presenter.shown().empty()) << "a beep, no message";
    ASSERT_EQ(r.top(), f) << "the form stays open";
    EXPECT_TRUE(f->at(kCode).hasFocus());
    EXPECT_EQ(f->at(kSheet).as<QTabWidget>()->currentIndex(), 0) << "the tab with the code comes to the front";

    // Pasted whole: refused, not cut.
    f->at(kCode).as<QLineEdit>()->setText(QStringLiteral("ABCDEFGHIJK"));
    click(f, kOk);
    idle(r);
    ASSERT_EQ(presenter.shown().size(), 1u);
    EXPECT_NE(presenter.last().text.find("10 caracteres"), std::string::npos) << presenter.last().text;
    ASSERT_EQ(r.top(), f);
    EXPECT_EQ(f->at(kCode).text(), QStringLiteral("ABCDEFGHIJK")) << "what was typed stays to be corrected";
    presenter.clear();
    type(f, kCode, QStringLiteral("ABCDEFGHIJ"));
    click(f, kOk);
    ASSERT_EQ(waitTop(r, QStringLiteral("Proveedores"), f), w);
    EXPECT_EQ(stored(TableId::Proveedores, "PVD:Codigo"), std::vector<std::string>{"ABCDEFGHIJ"});
}

// What is typed on the "Datos" tab reaches the record when "Aceptar" is
// pressed from the "Contactos" tab, also after the question that adds a
// new country.
TEST_F(SuppliersTest, AceptarTakesEveryTabWhateverShows) {
    ProcRun& r = start(UpdateProveedores, kInsert, prepareInsert());
    ui::Window* f = waitTop(r, QStringLiteral("Altas"));
    ASSERT_NE(f, nullptr);
    type(f, kCode, QStringLiteral("ACME"));
    type(f, kName, QStringLiteral("Acme SA"));
    type(f, kCountry, QStringLiteral("Chile"));
    presenter.answer(Answer::Yes);  // message 5: add the country
    type(f, kZip, QStringLiteral("64000"));
    idle(r);
    EXPECT_EQ(shownNumbers(), std::vector<int>{5});
    // Put in without ever being left (pasted with the mouse, say): only
    // "Aceptar" reads them, from the tab that is not showing.
    f->at(kZip).as<QLineEdit>()->setText(QStringLiteral("64000"));
    f->at(kRfc).as<QLineEdit>()->setText(QStringLiteral("ACM010101AAA"));
    f->at(kEmail).as<QLineEdit>()->setText(QStringLiteral("ventas@acme.mx"));
    f->at(kSheet).as<QTabWidget>()->setCurrentIndex(1);
    settle();
    click(f, kOk);
    ASSERT_TRUE(waitDone(r));
    EXPECT_EQ(r.response, kCompleted);
    std::optional<Record> s = supplier("ACME");
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(text(*s, TableId::Proveedores, "PVD:PAIS"), "Chile");
    EXPECT_EQ(text(*s, TableId::Proveedores, "PVD:CP"), "64000");
    EXPECT_EQ(text(*s, TableId::Proveedores, "PVD:RFC"), "ACM010101AAA");
    EXPECT_EQ(text(*s, TableId::Proveedores, "PVD:EMAIL"), "ventas@acme.mx");
}

// The contacts added while a supplier is being added belong to that insert:
// its contacts tab lists them and nobody else's, whatever code is typed;
// they take the code the supplier is saved with.
TEST_F(SuppliersTest, ContactsAddedDuringAnInsertTakeTheSavedCode) {
    seedTwo();
    put(TableId::ContProv, {{{"CPV:PROVEEDOR", "ACME"}, {"CPV:Nombre", "De Acme"}},
                            {{"CPV:PROVEEDOR", ""}, {"CPV:Nombre", "Sin proveedor"}}});
    ProcRun& r = start(UpdateProveedores, kInsert, prepareInsert());
    ui::Window* f = waitTop(r, QStringLiteral("Altas"));
    ASSERT_NE(f, nullptr);
    f->at(kSheet).as<QTabWidget>()->setCurrentIndex(1);
    settle();
    EXPECT_TRUE(column(f, 0, kContacts).empty()) << "no other supplier's contacts, no blank-coded ones";
    click(f, kContactInsert);
    ui::Window* c = waitTop(r, QStringLiteral("Altas"), f);
    ASSERT_NE(c, nullptr);
    type(c, kCName, QStringLiteral("Primera"));
    click(c, kCOk);
    ASSERT_EQ(waitTop(r, QStringLiteral("Altas"), c), f);
    f->at(kSheet).as<QTabWidget>()->setCurrentIndex(0);
    settle();
    type(f, kCode, QStringLiteral("ACME"));  // a stored supplier's code, for now
    f->at(kSheet).as<QTabWidget>()->setCurrentIndex(1);
    settle();
    click(f, kContactInsert);
    c = waitTop(r, QStringLiteral("Altas"), f);
    ASSERT_NE(c, nullptr);
    type(c, kCName, QStringLiteral("Segunda"));
    click(c, kCOk);
    ASSERT_EQ(waitTop(r, QStringLiteral("Altas"), c), f);
    EXPECT_EQ(column(f, 0, kContacts), (std::vector<std::string>{"Primera", "Segunda"}));
    f->at(kSheet).as<QTabWidget>()->setCurrentIndex(0);
    settle();
    type(f, kCode, QStringLiteral("NUEVO"));
    click(f, kOk);
    ASSERT_TRUE(waitDone(r));
    EXPECT_EQ(r.response, kCompleted);
    EXPECT_EQ(stored(TableId::ContProv, "CPV:PROVEEDOR"), (std::vector<std::string>{"ACME", "", "NUEVO", "NUEVO"}));
    EXPECT_EQ(stored(TableId::ContProv, "CPV:Nombre"),
              (std::vector<std::string>{"De Acme", "Sin proveedor", "Primera", "Segunda"}));
}

// A start of the supplier form refused because it is open on another
// thread touches no contact; the number reserved for it is given back.
TEST_F(SuppliersTest, ARefusedStartTouchesNoContact) {
    seedTwo();
    put(TableId::ContProv, {{{"CPV:PROVEEDOR", ""}, {"CPV:Nombre", "Sin proveedor"}},
                            {{"CPV:PROVEEDOR", "ACME"}, {"CPV:Nombre", "De Acme"}}});
    ProcRun& open = start(UpdateProveedores, kChange, readSupplier("ACME"));
    ui::Window* f = waitTop(open, QStringLiteral("Modificaciones"));
    ASSERT_NE(f, nullptr);
    ProcRun& refused = start(UpdateProveedores, kInsert, prepareInsert());
    ASSERT_TRUE(waitDone(refused));
    EXPECT_EQ(refused.response, kCancelled);
    EXPECT_EQ(stored(TableId::ContProv, "CPV:Nombre"), (std::vector<std::string>{"Sin proveedor", "De Acme"}));
    EXPECT_EQ(stored(TableId::Proveedores, "PVD:Codigo"), (std::vector<std::string>{"ACME", "BETA"}));
    click(f, kCancel);
    ASSERT_TRUE(waitDone(open));
}

// A cancelled insert takes with it the contacts stored during it, and no
// contact of a stored supplier, even when the code typed was that one's.
TEST_F(SuppliersTest, ACancelledInsertRemovesOnlyTheContactsItStored) {
    seedTwo();
    put(TableId::ContProv, {{{"CPV:PROVEEDOR", "ACME"}, {"CPV:Nombre", "De Acme"}}});
    put(TableId::ContProv, {{{"CPV:PROVEEDOR", ""}, {"CPV:Nombre", "Sin proveedor"}}});
    for (const QString& code : {QStringLiteral("ACME"), QStringLiteral("NUEVO")}) {
        SCOPED_TRACE(code.toStdString());
        ProcRun& r = start(UpdateProveedores, kInsert, prepareInsert());
        ui::Window* f = waitTop(r, QStringLiteral("Altas"));
        ASSERT_NE(f, nullptr);
        type(f, kCode, code);
        f->at(kSheet).as<QTabWidget>()->setCurrentIndex(1);
        settle();
        click(f, kContactInsert);
        ui::Window* c = waitTop(r, QStringLiteral("Altas"), f);
        ASSERT_NE(c, nullptr);
        type(c, kCName, QStringLiteral("Temporal"));
        click(c, kCOk);
        ASSERT_EQ(waitTop(r, QStringLiteral("Altas"), c), f);
        EXPECT_EQ(stored(TableId::ContProv, "CPV:Nombre"),
                  (std::vector<std::string>{"De Acme", "Sin proveedor", "Temporal"}));
        presenter.answer(Answer::Yes);  // message 10: cancel the changes
        click(f, kCancel);
        ASSERT_TRUE(waitDone(r));
        EXPECT_EQ(r.response, kCancelled);
        EXPECT_EQ(stored(TableId::ContProv, "CPV:Nombre"), (std::vector<std::string>{"De Acme", "Sin proveedor"}));
        EXPECT_EQ(stored(TableId::Proveedores, "PVD:Codigo"), (std::vector<std::string>{"ACME", "BETA"}));
    }
}

// The drop lists keep text copies of place names; a name no place begins
// with is added through the place's own form (city, state) or at once
// after message 5 (country).
TEST_F(SuppliersTest, APlaceTypedIntoADropListIsChosenOrAdded) {
    put(TableId::Ciudades, {{{"CIU:Nombre", "Monterrey"}}, {{"CIU:Nombre", "Mexicali"}}});
    struct Case {
        int combo;
        QString typed;
        int addForm;            // 0: none opens; 1: the place form opens and is accepted; 2: cancelled
        Answer asked;           // the answer to message 5 (country only)
        const char* target;
        std::string stored;     // the supplier's field afterwards
        TableId table;
        const char* nameField;
        std::vector<std::string> places;  // the place table afterwards
    };
    const Case cases[] = {
        {kCity, QStringLiteral("mon"), 0, Answer::Ok, "PVD:CIUDAD", "Monterrey", TableId::Ciudades, "CIU:Nombre",
         {"Monterrey", "Mexicali"}},
        {kCity, QStringLiteral("Merida"), 1, Answer::Ok, "PVD:CIUDAD", "Merida", TableId::Ciudades, "CIU:Nombre",
         {"Monterrey", "Mexicali", "Merida"}},
        {kCity, QStringLiteral("Toluca"), 2, Answer::Ok, "PVD:CIUDAD", "", TableId::Ciudades, "CIU:Nombre",
         {"Monterrey", "Mexicali", "Merida"}},
        {kState, QStringLiteral("Yucatan"), 1, Answer::Ok, "PVD:ESTADO", "Yucatan", TableId::Estados, "EST:Nombre",
         {"Yucatan"}},
        {kCountry, QStringLiteral("Chile"), 0, Answer::Yes, "PVD:PAIS", "Chile", TableId::Paises, "PAI:Nombre",
         {"Chile"}},
        {kCountry, QStringLiteral("Peru"), 0, Answer::No, "PVD:PAIS", "", TableId::Paises, "PAI:Nombre", {"Chile"}},
    };
    int n = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.typed.toStdString());
        presenter.clear();
        ProcRun& r = start(UpdateProveedores, kInsert, prepareInsert());
        ui::Window* f = waitTop(r, QStringLiteral("Altas"));
        ASSERT_NE(f, nullptr);
        const std::string code = "P" + std::to_string(++n);
        type(f, kCode, QString::fromStdString(code));
        if (k.combo == kCountry) presenter.answer(k.asked);
        type(f, k.combo, k.typed);
        QTest::keyClick(f->at(k.combo).widget(), Qt::Key_Return);
        idle(r);
        if (k.addForm != 0) {
            ui::Window* add = waitTop(r, QStringLiteral("Altas"), f);
            ASSERT_NE(add, nullptr);
            EXPECT_EQ(add->at(kCatName).text(), k.typed) << "the typed name is in the new place";
            click(add, k.addForm == 1 ? kCatOk : kCatCancel);
            ASSERT_NE(waitTop(r, QStringLiteral("Altas"), add), nullptr);
        }
        ASSERT_EQ(r.top(), f);
        EXPECT_EQ(f->at(k.combo).as<QComboBox>()->currentText().toStdString(), k.stored);
        if (k.stored.empty()) {
            EXPECT_TRUE(f->at(k.combo).hasFocus());
        }
        EXPECT_EQ(shownNumbers(), k.combo == kCountry ? std::vector<int>{5} : std::vector<int>{});
        click(f, kOk);
        ASSERT_TRUE(waitDone(r));
        EXPECT_EQ(r.response, kCompleted);
        EXPECT_EQ(text(*supplier(code), TableId::Proveedores, k.target), k.stored);
        EXPECT_EQ(stored(k.table, k.nameField), k.places);
    }
}

TEST_F(SuppliersTest, RenamingAPlaceChangesNoSupplier) {
    put(TableId::Ciudades, {{{"CIU:Nombre", "Monterrey"}}});
    put(TableId::Proveedores, {{{"PVD:Codigo", "ACME"}, {"PVD:CIUDAD", "Monterrey"}}});
    onThread([] {
        data::TableGateway& g = data::tables().gateway(TableId::Ciudades);
        g.SetPositionToStart();
        ASSERT_EQ(g.ReadNext(), data::kDone);
        g.BUFFER.set(field(TableId::Ciudades, "CIU:Nombre"), Value("Monterrey NL"));
        ASSERT_EQ(data::tables().relations(TableId::Ciudades).UpdateWithRelated(), 0);
    });
    EXPECT_EQ(text(*supplier("ACME"), TableId::Proveedores, "PVD:CIUDAD"), "Monterrey");
}

// In select mode the caller finds the whole chosen record in its buffer;
// closed otherwise, the buffer is as it was.
TEST_F(SuppliersTest, SelectModeAnswersTheWholeRecordAndACancelRestoresTheBuffer) {
    seedTwo();
    struct Case {
        int button;
        uint8_t response;
        const char* code;
        const char* email;
    };
    const Case cases[] = {
        {app::kBrowseSelect, kCompleted, "ACME", "ventas@acme.mx"},
        {app::kBrowseClose, kCancelled, "BETA", ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.button);
        ProcRun& r = start(BrowseProveedores, kSelect, readSupplier("BETA"));
        ui::Window* w = openList(r);
        ASSERT_NE(w, nullptr);
        EXPECT_FALSE(w->at(app::kBrowseSelect).hidden());
        EXPECT_FALSE(w->at(app::kBrowseSelect).disabled());
        EXPECT_EQ(w->at(app::kBrowseSelect).tip(), QStringLiteral("Elegir proveedor"));
        EXPECT_EQ(column(w, 1), (std::vector<std::string>{"ACME", "BETA"})) << "by Id on the first tab";
        clickRow(w, 0);
        click(w, k.button);
        ASSERT_TRUE(waitDone(r));
        EXPECT_EQ(r.response, k.response);
        ASSERT_TRUE(r.supplier.has_value());
        EXPECT_EQ(text(*r.supplier, TableId::Proveedores, "PVD:Codigo"), k.code);
        EXPECT_EQ(text(*r.supplier, TableId::Proveedores, "PVD:EMAIL"), k.email) << "a field the list does not show";
    }
}

TEST_F(SuppliersTest, ViewModeShowsTheSupplierAndItsContactsAndChangesNothing) {
    seedTwo();
    put(TableId::ContProv, {{{"CPV:PROVEEDOR", "ACME"}, {"CPV:Nombre", "Ana Ruiz"}, {"CPV:PUESTO", "Ventas"},
                             {"CPV:EMAIL", "ana@acme.mx"}}});
    ProcRun& r = start(UpdateProveedores, kView, readSupplier("ACME"));
    ui::Window* f = waitTop(r, QStringLiteral("Consulta"));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->at(kName).text().trimmed(), QStringLiteral("Acme SA"));
    for (int c : {kCode, kName, kName2, kTrade, kAddress, kAddress2, kZip, kRfc, kEmail})
        EXPECT_TRUE(f->at(c).readOnly()) << c;
    for (int c : {kCity, kState, kCountry, kContactInsert, kContactChange, kContactDelete})
        EXPECT_TRUE(f->at(c).disabled()) << c;
    EXPECT_FALSE(f->at(kContacts).disabled()) << "the contacts still scroll";
    EXPECT_EQ(column(f, 0, kContacts), std::vector<std::string>{"Ana Ruiz"});
    EXPECT_EQ(f->at(kPuesto).text().trimmed(), QStringLiteral("Ventas"));
    EXPECT_EQ(f->at(kContactEmail).text().trimmed(), QStringLiteral("ana@acme.mx"));
    click(f, kOk);
    ASSERT_TRUE(waitDone(r));
    EXPECT_EQ(r.response, kCancelled);
    EXPECT_EQ(text(*supplier("ACME"), TableId::Proveedores, "PVD:Nombre"), "Acme SA");
}

TEST_F(SuppliersTest, TheExcelButtonFollowsRight61AndStartsTheExportOnItsOwnThread) {
    seedTwo();
    int started = 0;
    threads::ThreadNo exportThread = 0;
    app::RegisterProcedure("FiltroExcelProv", [&] {
        ++started;
        exportThread = threads::current();
    });
    for (uint8_t right : {uint8_t{0}, uint8_t{1}}) {
        SCOPED_TRACE(int(right));
        app::globals().UserPermissions[kRightSupplierExcel] = right;
        ProcRun& r = start(BrowseProveedores, 0);
        ui::Window* w = openList(r);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->at(kExcel).disabled(), right == 0);
        EXPECT_FALSE(w->at(kExcel).hidden());
        w->post({EventKind::Accepted, kExcel});
        idle(r);
        settle();
        EXPECT_EQ(started, right == 0 ? 0 : 1);
        click(w, app::kBrowseClose);
        ASSERT_TRUE(waitDone(r));
        if (right != 0) {
            EXPECT_NE(exportThread, r.thread);
        }
    }
    app::RegisterProcedure("FiltroExcelProv", {});
}

TEST_F(SuppliersTest, TheQueryByExampleFiltersAndIsKeptUnderTheListsOwnSection) {
    seedTwo();
    const fs::path file = dir.file("talvor.INI");
    {
        IniStore ini(file);
        SetSupplierQueryStore(&ini);
        ProcRun& r = start(BrowseProveedores, 0);
        ui::Window* w = openList(r);
        ASSERT_NE(w, nullptr);
        click(w, kFilter);
        ui::Window* q = nullptr;
        runFor([&] {
            for (ui::Window* x : ui::Window::openWindows())
                if (x->caption() == QStringLiteral("Busquedas - Seteos") && x->isOpen()) q = x;
            return q != nullptr;
        });
        settle();
        ASSERT_NE(q, nullptr);
        auto* value = q->control("?VALUE3")->as<QLineEdit>();  // "Nombre"
        ASSERT_NE(value, nullptr);
        value->setFocus();
        QTest::keyClicks(value, QStringLiteral("beta"));
        q->control("?SHEET")->as<QTabWidget>()->setCurrentIndex(1);
        auto* name = q->control("?QUERYNAME")->as<QLineEdit>();
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("Solo Beta"));
        QTest::mouseClick(q->control("?SAVEQUERY")->widget(), Qt::LeftButton);
        settle();
        QTest::mouseClick(q->control("?OK")->widget(), Qt::LeftButton);
        idle(r);
        EXPECT_EQ(column(w, 1), std::vector<std::string>{"BETA"}) << "names compared without regard to case";
        click(w, app::kBrowseClose);
        ASSERT_TRUE(waitDone(r));
        SetSupplierQueryStore(nullptr);
    }
    std::ifstream in(file);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(content.find("[QBE-BrowseProveedores]"), std::string::npos) << content;
    EXPECT_NE(content.find("Solo Beta"), std::string::npos) << content;
}

TEST_F(SuppliersTest, ThePriceQueryListsThePriceRowsOfTheHighlightedSupplier) {
    seedTwo();
    put(TableId::Unidades, {{{"UNI:UM", "Pieza"}}});
    put(TableId::Articulo, {{{"ART:NoArt", 10}, {"ART:Descripcion", "Martillo"}, {"ART:UM", 1}}});
    put(TableId::Entradas, {{{"ENT:Folio", 1}, {"ENT:Proveedor", "ACME"}}});
    auto price = [](const char* who, int art, int folio, const char* cost) {
        return Row{{"PPV:PROVEEDOR", who}, {"PPV:Articulo", art}, {"PPV:Entrada", folio},
                   {"PPV:Precio", Value(*Decimal::parse(cost))}};
    };
    put(TableId::PreProv, {price("BETA", 10, 7, "9.00"), price("ACME", 10, 1, "10.50"), price("ACME", 0, 2, "3.00"),
                           price("ACME", 10, 3, "11.00")});
    ProcRun& r = start(ConsultaPreciosProv, 0);
    ui::Window* w = waitTop(r, QStringLiteral("Precios por proveedor"));
    ASSERT_NE(w, nullptr);
    using namespace supplier_prices;
    EXPECT_EQ(column(w, 0, kSuppliers), (std::vector<std::string>{"ACME", "BETA"}));
    for (int hidden : {kInsert, kChange, kDelete}) EXPECT_TRUE(w->at(hidden).hidden()) << hidden;
    EXPECT_FALSE(w->at(kView).disabled());
    // By article: the row of an article that did not exist (0) first.
    EXPECT_EQ(column(w, 0, kPrices), (std::vector<std::string>{"0", "10", "10"}));
    EXPECT_EQ(column(w, 5, kPrices), (std::vector<std::string>{"3.00", "10.50", "11.00"}));
    // The missing article leaves its columns blank; a receipt that is gone
    // leaves the date blank and the folio shown.
    EXPECT_EQ(column(w, 1, kPrices), (std::vector<std::string>{"", "Martillo", "Martillo"}));
    EXPECT_EQ(column(w, 2, kPrices), (std::vector<std::string>{"", "Pieza", "Pieza"}));
    EXPECT_EQ(column(w, 3, kPrices), (std::vector<std::string>{"2", "1", "3"}));
    EXPECT_EQ(column(w, 4, kPrices)[2], "") << "receipt 3 is not stored";
    clickRow(w, 1, kSuppliers);
    idle(r);
    EXPECT_EQ(column(w, 5, kPrices), std::vector<std::string>{"9.00"});
    // "&Ver" shows the highlighted supplier in view mode.
    click(w, kView);
    ui::Window* f = waitTop(r, QStringLiteral("Consulta"), w);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->at(kCode).text().trimmed(), QStringLiteral("BETA"));
    click(f, kOk);
    ASSERT_EQ(waitTop(r, QStringLiteral("Precios por proveedor"), f), w);
    click(w, kClose);
    ASSERT_TRUE(waitDone(r));
}

}  // namespace
}  // namespace tv::catalog
