// The supporting catalogues (warehouses, departments, receipt and issue
// types, countries, states, cities) driven as a user drives them: the real
// list procedures on a logical thread over a scratch database, their real
// forms opened from the list's buttons or by a caller as the supplier form
// does, the questions answered by a scripted presenter.
#include <string>
#include <vector>

#include <QComboBox>
#include <QLineEdit>

#include "app/browse/vs_find.h"
#include "app/frame/main_frame.h"
#include "app/frame/procedures.h"
#include "catalog/catalogues.h"
#include "catalog/departments.h"
#include "catalog/doc_types.h"
#include "catalog/places.h"
#include "catalog/brands.h"
#include "catalog/categories.h"
#include "catalog/suppliers.h"
#include "catalog/units.h"
#include "catalog/warehouses.h"
#include "platform/threads/thread_state.h"
#include "tests/catalog/catalogue_fixture.h"

namespace tv::catalog {
namespace {

using data::TableId;
using test_support::CatalogueFixture;
using test::runFor;
using test::settle;

struct Catalogue {
    const char* list;
    void (*browse)();
    const char* formName;
    void (*form)();
    TableId table;
    std::string nameField;
    const char* caption;
    const char* listTip;
    std::vector<std::string> headers;
    const char* codePrompt;
    const char* namePrompt;
    const char* nameTip;
    std::vector<std::string> findHeaders;
    const char* nameKey;  // the registered label of the unique name key; nullptr: names may repeat
};

const std::vector<Catalogue>& catalogues() {
    static const std::vector<Catalogue> c = {
        {"BrowseAlmacenes", BrowseAlmacenes, "UpdateAlmacenes", UpdateAlmacenes, TableId::Almacenes, "ALM:Nombre",
         "Almacenes", "Almacenes registrados", {"Código", "Nombre"}, "&Código:", "&Nombre:", "Nombre del almacén",
         {"Código", "Nombre"}, "ALM:KeyNombre"},
        {"BrowseDeptos", BrowseDeptos, "UpdateDeptos", UpdateDeptos, TableId::Deptos, "DEP:Nombre", "Departamentos",
         "Departamentos registrados", {"Código", "Nombre"}, "&Id:", "&Nombre:", "Nombre del departamento",
         {"Código", "Nombre"}, "dep:KeyNombre"},
        {"BrowseTiposEntrada", BrowseTiposEntrada, "UpdateTipEntradas", UpdateTipEntradas, TableId::TipEntradas,
         "TEN:Descripcion", "Tipos de entrada", "Tipos de entrada", {"Codigo", "Descripcion"}, "&Codigo:",
         "&Descripción:", "Descripción del tipo de entrada", {"Codigo", "Descripcion"}, nullptr},
        {"BrowseTiposSalidas", BrowseTiposSalidas, "UpdateTipSalidas", UpdateTipSalidas, TableId::TipSalidas,
         "TSA:Descripcion", "Tipos de salida", "Tipos de salida", {"Codigo", "Descripcion"}, "&Codigo:",
         "&Descripción:", "Descripción del tipo de salida", {"Codigo", "Descripcion"}, nullptr},
        {"BrowsePaises", BrowsePaises, "UpdatePaises", UpdatePaises, TableId::Paises, "PAI:Nombre",
         "Paises registrados", "Paises registrados", {"Código", "Nombre"}, "&Id:", "&Nombre:", "Nombre del país",
         {"Código", "Nombre"}, "PAI:KeyNombre"},
        {"BrowseEstados", BrowseEstados, "UpdateEstados", UpdateEstados, TableId::Estados, "EST:Nombre",
         "Estados registrados", "Estados registrados", {"Código", "Nombre"}, "Código", "&Nombre:",
         "Nombre del estado", {"Código", "Nombre"}, "EST:KeyNombre"},
        {"BrowseCiudades", BrowseCiudades, "UpdateCiudades", UpdateCiudades, TableId::Ciudades, "CIU:Nombre",
         "Ciudades registrados", "Ciudades registradas", {"Código", "Nombre"}, "&Id:", "&Nombre:",
         "Nombre de la ciudad", {"Código", "Nombre"}, "CIU:KeyNombre"},
    };
    return c;
}

class SupportingCatalogueTest : public CatalogueFixture {};

TEST_F(SupportingCatalogueTest, ProceduresAreRegisteredUnderTheNamesTheFrameStarts) {
    RegisterCatalogueProcedures();
    for (const Catalogue& k : catalogues()) {
        EXPECT_TRUE(app::IsRegistered(k.list)) << k.list;
        EXPECT_TRUE(app::IsRegistered(k.formName)) << k.formName;
        bool inMenu = false;
        for (const app::FrameMenuItem& m : app::FrameMenu())
            if (m.procedure != nullptr && std::string(m.procedure) == k.list) {
                inMenu = true;
                EXPECT_FALSE(m.direct) << k.list << " runs on a thread of its own";
            }
        EXPECT_TRUE(inMenu) << k.list;
    }
}

// Add, change, view and delete through each list; a blank name is stored
// (no form checks its name) and, where the name has a key, is left out of
// the "Por Nombre" order.
TEST_F(SupportingCatalogueTest, AddChangeViewAndDeleteThroughTheList) {
    for (const Catalogue& k : catalogues()) {
        SCOPED_TRACE(k.list);
        presenter.clear();
        start(k.browse);
        EXPECT_EQ(list_->caption(), QString::fromUtf8(k.caption));
        EXPECT_EQ(list_->at(app::kBrowseList).tip(), QString::fromUtf8(k.listTip));
        ASSERT_EQ(table()->columnCount(), 2);
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(table()->horizontalHeaderItem(c)->text().toStdString(), k.headers[static_cast<size_t>(c)]);
        auto* tabs = list_->at(app::kBrowseSheet).as<QTabWidget>();
        ASSERT_NE(tabs, nullptr);
        ASSERT_EQ(tabs->count(), k.nameKey ? 2 : 1);
        EXPECT_EQ(tabs->tabText(0), QStringLiteral("Por Código"));
        if (k.nameKey) {
            EXPECT_EQ(tabs->tabText(1), QStringLiteral("Por Nombre"));
        }
        EXPECT_FALSE(enabled(app::kBrowseChange)) << "an empty list has nothing to change";

        // Add: "Altas" on the reserved number 1, the focus in the name.
        click(list_, app::kBrowseInsert);
        ui::Window* f = form();
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->caption(), QStringLiteral("Altas"));
        EXPECT_EQ(f->at(kCatCode).text().trimmed(), QStringLiteral("1"));
        EXPECT_EQ(f->at(kCatCodePrompt).text(), QString::fromUtf8(k.codePrompt));
        EXPECT_EQ(f->at(kCatNamePrompt).text(), QString::fromUtf8(k.namePrompt));
        EXPECT_EQ(f->at(kCatName).tip(), QString::fromUtf8(k.nameTip));
        EXPECT_TRUE(f->at(kCatName).hasFocus());
        type(f, kCatName, QStringLiteral("zona Norte"));
        click(f, kCatOk);
        EXPECT_FALSE(formOpen());
        EXPECT_EQ(stored(k.table, k.nameField), (std::vector<std::string>{"1 zona Norte"}));
        EXPECT_EQ(selected(), "zona Norte");

        // A second one with a blank name is stored too.
        click(list_, app::kBrowseInsert);
        f = form();
        ASSERT_NE(f, nullptr);
        click(f, kCatOk);
        EXPECT_FALSE(formOpen()) << "a blank name is accepted";
        EXPECT_TRUE(presenter.empty());
        EXPECT_EQ(stored(k.table, k.nameField), (std::vector<std::string>{"1 zona Norte", "2 "}));
        EXPECT_EQ(column(1), (std::vector<std::string>{"zona Norte", ""}));

        // Change the first one; a click on a code cell selects it first.
        table()->setCurrentCell(0, 0);
        settle();
        click(list_, app::kBrowseChange);
        f = form();
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->caption(), QStringLiteral("Modificaciones"));
        EXPECT_EQ(f->at(kCatName).text(), QStringLiteral("zona Norte"));
        type(f, kCatName, QStringLiteral("Bodega"));
        click(f, kCatOk);
        EXPECT_FALSE(formOpen());
        EXPECT_EQ(stored(k.table, k.nameField), (std::vector<std::string>{"1 Bodega", "2 "}));
        if (k.nameKey) {
            chooseTab(1);
            EXPECT_EQ(column(1), (std::vector<std::string>{"Bodega"})) << "the blank name is not in the name order";
            chooseTab(0);
        }
        EXPECT_EQ(column(1), (std::vector<std::string>{"Bodega", ""}));

        // View: read-only, answers cancelled, writes nothing.
        table()->setCurrentCell(0, 0);
        settle();
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
        EXPECT_EQ(stored(k.table, k.nameField).size(), 2u);
        click(list_, app::kBrowseDelete);
        EXPECT_EQ(shownNumbers(), (std::vector<int>{11, 11}));
        EXPECT_EQ(stored(k.table, k.nameField), (std::vector<std::string>{"2 "}));
        EXPECT_EQ(table()->rowCount(), 1);
        closeList();
    }
}

TEST_F(SupportingCatalogueTest, WarehouseLocationIsKeptWithTheName) {
    start(BrowseAlmacenes);
    click(list_, app::kBrowseInsert);
    ui::Window* f = form();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->at(kCatMore).text(), QStringLiteral("&Ubicacion:"));
    EXPECT_EQ(f->at(kCatMore + 1).tip(), QStringLiteral("Ubicación del almacén"));
    type(f, kCatName, QStringLiteral("Central"));
    // Tab from the name reaches the location before the buttons.
    QTest::keyClick(f->at(kCatName).widget(), Qt::Key_Tab);
    settle();
    EXPECT_TRUE(f->at(kCatMore + 1).hasFocus());
    const QString longPlace = QString(200, QChar('x')) + QStringLiteral(" fin");
    type(f, kCatMore + 1, longPlace);
    click(f, kCatOk);
    EXPECT_FALSE(formOpen());
    EXPECT_EQ(stored(TableId::Almacenes, "ALM:Ubicacion"),
              (std::vector<std::string>{"1 " + longPlace.toStdString()}));
    // The change form shows it again; view makes it read-only too.
    click(list_, app::kBrowseView);
    f = form();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->at(kCatMore + 1).text(), longPlace);
    EXPECT_TRUE(f->at(kCatMore + 1).readOnly());
    click(f, kCatCancel);
    closeList();
}

// Names differing only in case collide in the unique name keys: an insert is
// refused with message 15 naming the key and the form stays open; a change
// is refused by the table (message 28) and offered again (message 37).
// Type descriptions have no key and may repeat.
TEST_F(SupportingCatalogueTest, DuplicateNamesAreRefusedWhereTheNameHasAKey) {
    for (const Catalogue& k : catalogues()) {
        SCOPED_TRACE(k.list);
        seed(k.table, k.nameField, {"Norte", "Sur"});
        presenter.clear();
        start(k.browse);
        click(list_, app::kBrowseInsert);
        ui::Window* f = form();
        ASSERT_NE(f, nullptr);
        type(f, kCatName, QStringLiteral("NORTE"));
        click(f, kCatOk);
        if (!k.nameKey) {
            EXPECT_FALSE(formOpen());
            EXPECT_TRUE(presenter.empty());
            EXPECT_EQ(stored(k.table, k.nameField), (std::vector<std::string>{"1 Norte", "2 Sur", "3 NORTE"}));
            closeList();
            continue;
        }
        ASSERT_EQ(shownNumbers(), (std::vector<int>{15}));
        EXPECT_EQ(presenter.last().text,
                  std::string("Agregar este registro crea una clave duplicada para la clave: ") + k.nameKey);
        ASSERT_TRUE(formOpen()) << "the form stays open with the typed name";
        EXPECT_EQ(f->at(kCatName).text(), QStringLiteral("NORTE"));
        EXPECT_TRUE(f->at(kCatName).hasFocus());
        // Another name on the same reserved number goes in.
        type(f, kCatName, QStringLiteral("Norte 2"));
        click(f, kCatOk);
        EXPECT_FALSE(formOpen());
        EXPECT_EQ(stored(k.table, k.nameField), (std::vector<std::string>{"1 Norte", "2 Sur", "3 Norte 2"}));

        // Renaming Sur to norte: refused, No gives up.
        presenter.clear();
        presenter.answer({Answer::Ok, Answer::No});
        table()->setCurrentCell(1, 0);
        settle();
        ASSERT_EQ(selected(), "Sur");
        click(list_, app::kBrowseChange);
        f = form();
        ASSERT_NE(f, nullptr);
        type(f, kCatName, QStringLiteral("norte"));
        click(f, kCatOk);
        EXPECT_EQ(shownNumbers(), (std::vector<int>{28, 37}));
        EXPECT_FALSE(formOpen());
        EXPECT_EQ(stored(k.table, k.nameField), (std::vector<std::string>{"1 Norte", "2 Sur", "3 Norte 2"}));
        closeList();
    }
    // The same name in two place tables is no collision.
    seed(TableId::Ciudades, "CIU:Nombre", {"Durango"});
    seed(TableId::Estados, "EST:Nombre", {"Durango"});
    EXPECT_EQ(stored(TableId::Estados, "EST:Nombre").back(), "4 Durango");
}

// Documents keep the code of their department or type, and suppliers the
// name of their place: deleting or renaming asks only message 11 (or
// nothing) and changes none of them.
TEST_F(SupportingCatalogueTest, DeletingOrRenamingChangesNoReferringRecord) {
    struct Case {
        void (*browse)();
        TableId table;
        const char* nameField;
        TableId referrer;
        const char* referringField;
        Value reference;  // what the referrer holds
    };
    const std::vector<Case> cases = {
        {BrowseDeptos, TableId::Deptos, "DEP:Nombre", TableId::Salidas, "SAL:Recibe", Value(int64_t{1})},
        {BrowseTiposEntrada, TableId::TipEntradas, "TEN:Descripcion", TableId::Entradas, "ENT:Tipo",
         Value(int64_t{1})},
        {BrowseTiposSalidas, TableId::TipSalidas, "TSA:Descripcion", TableId::Salidas, "SAL:Tipo",
         Value(int64_t{1})},
        {BrowsePaises, TableId::Paises, "PAI:Nombre", TableId::Proveedores, "PVD:Pais", Value("Chile")},
        {BrowseEstados, TableId::Estados, "EST:Nombre", TableId::Proveedores, "PVD:Estado", Value("Chile")},
        {BrowseCiudades, TableId::Ciudades, "CIU:Nombre", TableId::Proveedores, "PVD:Ciudad", Value("Chile")},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        seed(c.table, c.nameField, {"Chile"});
        const std::string folio = c.referrer == TableId::Proveedores ? "PVD:Codigo" : (c.referrer == TableId::Entradas ? "ENT:Folio" : "SAL:Folio");
        const Value key = c.referrer == TableId::Proveedores ? Value("P" + std::to_string(++n))
                                                             : Value(int64_t{++n});
        insertRows(c.referrer, {{{folio, key}, {c.referringField, c.reference}}});
        const std::vector<std::string> before = stored(c.referrer, c.referringField);

        presenter.clear();
        start(c.browse);
        // Rename.
        click(list_, app::kBrowseChange);
        ui::Window* f = form();
        ASSERT_NE(f, nullptr);
        type(f, kCatName, QStringLiteral("Lima"));
        click(f, kCatOk);
        EXPECT_FALSE(formOpen());
        EXPECT_TRUE(presenter.empty());
        EXPECT_EQ(stored(c.table, c.nameField), (std::vector<std::string>{"1 Lima"}));
        EXPECT_EQ(stored(c.referrer, c.referringField), before);
        // Delete: only message 11.
        presenter.answer(Answer::Yes);
        click(list_, app::kBrowseDelete);
        EXPECT_EQ(shownNumbers(), (std::vector<int>{11}));
        EXPECT_TRUE(stored(c.table, c.nameField).empty());
        EXPECT_EQ(stored(c.referrer, c.referringField), before);
        closeList();
    }
}

// F3 on the name finds the value anywhere in the name, in any case; on the
// code it finds that code only.
TEST_F(SupportingCatalogueTest, FindWithF3ByNameAnywhereAndByExactCode) {
    std::vector<std::string> names;
    for (int i = 1; i <= 15; ++i) names.push_back("Lugar " + std::to_string(i));
    names[5] = "Bodega NORTE";  // code 6
    for (const Catalogue& k : catalogues()) {
        SCOPED_TRACE(k.list);
        seed(k.table, k.nameField, names);
        presenter.clear();
        start(k.browse);
        struct Search {
            int column;
            const char* value;
            const char* found;  // the selected name afterwards
        };
        for (const Search& s : {Search{1, "norte", "Bodega NORTE"}, Search{0, "5", "Lugar 5"},
                                Search{0, "15", "Lugar 15"}}) {
            SCOPED_TRACE(s.value);
            table()->setCurrentCell(0, 0);
            settle();
            QTest::keyClick(table(), Qt::Key_F3);
            ui::Window* w = nullptr;
            runFor([&w] {
                for (ui::Window* o : ui::Window::openWindows())
                    if (o->caption() == QStringLiteral("Buscar:")) w = o;
                return w != nullptr;
            });
            settle();
            ASSERT_NE(w, nullptr) << "the find window opened";
            auto* columns = w->at(app::kVsfColumns).as<QTableWidget>();
            ASSERT_EQ(columns->rowCount(), 2);
            for (int r = 0; r < 2; ++r)
                EXPECT_EQ(columns->item(r, 0)->text().toStdString(), k.findHeaders[static_cast<size_t>(r)]);
            columns->setCurrentCell(s.column, 0);
            auto* value = w->at(app::kVsfValue).as<QLineEdit>();
            value->selectAll();
            QTest::keyClicks(value, QString::fromUtf8(s.value));
            settle();
            QTest::mouseClick(w->at(app::kVsfFind).as<QPushButton>(), Qt::LeftButton);
            settle();
            EXPECT_EQ(selected(), s.found);
        }
        // F6 finds no further "5" (15 is not 5).
        QTest::keyClick(table(), Qt::Key_F6);
        settle();
        EXPECT_EQ(selected(), "Lugar 15");
        ASSERT_EQ(presenter.count(), 1u);
        EXPECT_EQ(presenter.last().text, "No se encontraron más coincidencias.");
        closeList();
    }
}

// The type lists keep their one order: a header click changes nothing,
// where the department list re-sorts by that column.
TEST_F(SupportingCatalogueTest, OnlyTheTypeListsIgnoreAHeaderClick) {
    struct Case {
        void (*browse)();
        TableId table;
        const char* nameField;
        bool sorts;
    };
    for (const Case& c : {Case{BrowseTiposEntrada, TableId::TipEntradas, "TEN:Descripcion", false},
                          Case{BrowseTiposSalidas, TableId::TipSalidas, "TSA:Descripcion", false},
                          Case{BrowseDeptos, TableId::Deptos, "DEP:Nombre", true}}) {
        SCOPED_TRACE(c.nameField);
        seed(c.table, c.nameField, {"Compra", "Ajuste", "Devolucion"});
        start(c.browse);
        EXPECT_EQ(column(1), (std::vector<std::string>{"Compra", "Ajuste", "Devolucion"}));
        clickHeader(1);
        if (c.sorts)
            EXPECT_EQ(column(1), (std::vector<std::string>{"Ajuste", "Compra", "Devolucion"}));
        else
            EXPECT_EQ(column(1), (std::vector<std::string>{"Compra", "Ajuste", "Devolucion"}));
        closeList();
    }
}

// As the supplier form adds a city or a state typed into its drop list: the
// record prepared (its number reserved) with the typed text, the form
// called with CallRequest 1 on the caller's thread.
class PlaceCallTest : public CatalogueFixture {
protected:
    struct Outcome {
        uint8_t response = 0;
        uint8_t requestAfter = 0xFF;
        long long bufferId = -1;
        std::string bufferName;
    };
    // Starts the caller; the result arrives in `out` when `finished`.
    void call(void (*form)(), TableId t, const char* nameField, const char* typed) {
        finished = false;
        caller = threads::start(
            [this, form, t, nameField, typed] {
                data::TableGateway& g = data::tables().gateway(t);
                data::tables().relations(t).OpenWithRelated();
                ASSERT_EQ(g.PrepareNewRecord(), data::kDone);
                g.BUFFER.set(g.declaration().fieldIndex(nameField), Value(std::string(typed)));
                threadState().callRequest = kInsert;
                form();
                out.response = threadState().callResponse;
                out.requestAfter = threadState().callRequest;
                out.bufferId = g.BUFFER.get(0).asNumber().toInt64();
                out.bufferName = std::string(rtrim(g.BUFFER.get(g.declaration().fieldIndex(nameField)).asText()));
                data::tables().relations(t).CloseWithRelated();
                finished = true;
            },
            512 * 1024);
    }
    threads::ThreadNo caller = 0;
    bool finished = true;
    Outcome out;
};

TEST_F(PlaceCallTest, AcceptedPlaceIsStoredAndLeftInTheCallersBuffer) {
    struct Case {
        void (*form)();
        TableId table;
        const char* nameField;
        const char* numberText;
    };
    for (const Case& k : {Case{UpdateCiudades, TableId::Ciudades, "CIU:Nombre", "2"},
                          Case{UpdateEstados, TableId::Estados, "EST:Nombre", "2"}}) {
        SCOPED_TRACE(k.nameField);
        seed(k.table, k.nameField, {"Saltillo"});
        call(k.form, k.table, k.nameField, "Monterey");
        ui::Window* f = formOn(caller, nullptr);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->caption(), QStringLiteral("Altas"));
        EXPECT_EQ(f->at(kCatCode).text().trimmed(), QString::fromUtf8(k.numberText));
        EXPECT_EQ(f->at(kCatName).text(), QStringLiteral("Monterey"));
        type(f, kCatName, QStringLiteral("Monterrey"));
        click(f, kCatOk);
        ASSERT_TRUE(runFor([this] { return finished; }));
        EXPECT_EQ(out.response, kCompleted);
        EXPECT_EQ(out.requestAfter, 0) << "the request was consumed";
        EXPECT_EQ(out.bufferId, 2);
        EXPECT_EQ(out.bufferName, "Monterrey");
        EXPECT_EQ(stored(k.table, k.nameField), (std::vector<std::string>{"1 Saltillo", "2 Monterrey"}));
        EXPECT_TRUE(presenter.empty());
    }
}

TEST_F(PlaceCallTest, CancelledOrRefusedCallLeavesNoPlaceBehind) {
    seed(TableId::Ciudades, "CIU:Nombre", {"Saltillo"});
    // Cancelled unchanged: no question, the reserved number given back.
    call(UpdateCiudades, TableId::Ciudades, "CIU:Nombre", "Torreon");
    ui::Window* f = formOn(caller, nullptr);
    ASSERT_NE(f, nullptr);
    click(f, kCatCancel);
    ASSERT_TRUE(runFor([this] { return finished; }));
    EXPECT_EQ(out.response, kCancelled);
    EXPECT_TRUE(presenter.empty());
    EXPECT_EQ(stored(TableId::Ciudades, "CIU:Nombre"), (std::vector<std::string>{"1 Saltillo"}));

    // The typed name is a city already stored: message 15, then given up.
    call(UpdateCiudades, TableId::Ciudades, "CIU:Nombre", "SALTILLO");
    f = formOn(caller, nullptr);
    ASSERT_NE(f, nullptr);
    click(f, kCatOk);
    EXPECT_EQ(shownNumbers(), (std::vector<int>{15}));
    EXPECT_NE(presenter.last().text.find("CIU:KeyNombre"), std::string::npos);
    type(f, kCatName, QStringLiteral("Saltillo Viejo"));
    presenter.answer(Answer::Yes);
    click(f, kCatCancel);
    ASSERT_TRUE(runFor([this] { return finished; }));
    EXPECT_EQ(shownNumbers(), (std::vector<int>{15, 10}));
    EXPECT_EQ(out.response, kCancelled);
    EXPECT_EQ(stored(TableId::Ciudades, "CIU:Nombre"), (std::vector<std::string>{"1 Saltillo"}));

    // The city form already open from the list on another thread: the call
    // answers cancelled at once and gives its reservation back.
    presenter.clear();
    start(BrowseCiudades);
    click(list_, app::kBrowseInsert);
    ASSERT_NE(form(), nullptr);
    call(UpdateCiudades, TableId::Ciudades, "CIU:Nombre", "Parras");
    ASSERT_TRUE(runFor([this] { return finished; }));
    EXPECT_EQ(out.response, kCancelled);
    EXPECT_EQ(stored(TableId::Ciudades, "CIU:Nombre").size(), 2u) << "Saltillo and the list's own reservation";
    click(form(), kCatCancel);
    EXPECT_EQ(stored(TableId::Ciudades, "CIU:Nombre"), (std::vector<std::string>{"1 Saltillo"}));
    EXPECT_TRUE(presenter.empty());
    closeList();
}


// A list already open (also behind another window) is only brought to the
// front when it is started again: the refused start opens nothing, touches
// nothing of the open one and ends with response 2, and the open list goes
// on working. A refused start once tore down tables it never opened.
TEST_F(CatalogueFixture, StartingAnOpenListAgainBringsItToTheFront) {
    struct Proc {
        const char* name;
        void (*procedure)();
    };
    for (const Proc& p : {Proc{"BrowseMarcas", BrowseMarcas}, Proc{"BrowseUnidades", BrowseUnidades},
                          Proc{"BrowseCatArticulos", BrowseCatArticulos}, Proc{"BrowseCiudades", BrowseCiudades},
                          Proc{"BrowseEstados", BrowseEstados}, Proc{"BrowsePaises", BrowsePaises},
                          Proc{"BrowseAlmacenes", BrowseAlmacenes}, Proc{"BrowseDeptos", BrowseDeptos},
                          Proc{"BrowseTiposEntrada", BrowseTiposEntrada},
                          Proc{"BrowseTiposSalidas", BrowseTiposSalidas},
                          Proc{"BrowseProveedores", BrowseProveedores}}) {
        SCOPED_TRACE(p.name);
        start(p.procedure);
        ASSERT_NE(list_, nullptr);
        ASSERT_TRUE(list_->isOpen());
        bool again = false;
        uint8_t response = 0;
        threads::start(
            [&] {
                threadState().callRequest = 0;
                p.procedure();
                response = threadState().callResponse;
                again = true;
            },
            512 * 1024);
        ASSERT_TRUE(runFor([&] { return again; })) << "the second start returns at once";
        settle();
        EXPECT_EQ(response, kCancelled);
        EXPECT_TRUE(list_->isOpen());
        EXPECT_FALSE(done_) << "the open list goes on";
        EXPECT_EQ(app::globals().RunningProcedures.size(), 1u);
        // Still works: its rows reload and it closes as usual.
        click(list_, app::kBrowseInsert);
        if (ui::Window* f = form()) {
            f->post({ui::EventKind::CloseWindow, 0});
            settle();
        }
        closeList();
        EXPECT_TRUE(app::globals().RunningProcedures.empty());
    }
}

// Every control of the supplier form (both tabs) and of the contact form
// lies whole inside the tab that holds it: none is cut by the sheet's edge.
TEST_F(CatalogueFixture, TheSupplierAndContactFormsShowEveryControlWhole) {
    auto cut = [](ui::Window* w) {
        std::vector<std::string> out;
        for (ui::Control* c : w->controls()) {
            QWidget* x = c->widget();
            if (c->parent() == 0 || x == nullptr || x->isHidden() || x->parentWidget() == nullptr) continue;
            if (!x->parentWidget()->rect().contains(x->geometry())) out.push_back(c->name());
        }
        return out;
    };
    start(BrowseProveedores);
    ASSERT_NE(list_, nullptr);
    click(list_, app::kBrowseInsert);
    ui::Window* f = form();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(cut(f), std::vector<std::string>{});
    f->at(supplier_ui::kSheet).as<QTabWidget>()->setCurrentIndex(1);
    settle();
    click(f, supplier_ui::kContactInsert);
    ui::Window* c = formOn(thread_, f);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->caption(), QStringLiteral("Altas"));
    EXPECT_EQ(cut(c), std::vector<std::string>{});
    for (ui::Window* w : {c, f}) {
        w->post({ui::EventKind::CloseWindow, 0});
        settle();
    }
    closeList();
}

// A place name put into a supplier's drop list whole (pasted) and longer
// than its typed part takes is refused with a message when "Aceptar" is
// pressed: never cut, never added as a place, the form left open.
TEST_F(CatalogueFixture, APlaceNameLongerThanItsDropListIsRefusedNotCut) {
    start(BrowseProveedores);
    ASSERT_NE(list_, nullptr);
    click(list_, app::kBrowseInsert);
    ui::Window* f = form();
    ASSERT_NE(f, nullptr);
    type(f, supplier_ui::kCode, QStringLiteral("ACME"));
    const QString longName = QStringLiteral("Ciudad con nombre muy largo");
    f->at(supplier_ui::kCity).as<QComboBox>()->lineEdit()->setText(longName);
    presenter.clear();
    click(f, supplier_ui::kOk);
    ASSERT_EQ(presenter.shown().size(), 1u);
    EXPECT_NE(presenter.last().text.find("20 caracteres"), std::string::npos) << presenter.last().text;
    EXPECT_EQ(form(), f) << "the form stays open";
    EXPECT_EQ(f->at(supplier_ui::kCity).as<QComboBox>()->currentText(), longName);
    EXPECT_TRUE(stored(TableId::Ciudades, "CIU:Nombre").empty());
    EXPECT_TRUE(stored(TableId::Proveedores, "PVD:Codigo").empty());
    presenter.answer(Answer::Yes);
    f->post({ui::EventKind::CloseWindow, 0});
    settle();
    closeList();
}

}  // namespace
}  // namespace tv::catalog
