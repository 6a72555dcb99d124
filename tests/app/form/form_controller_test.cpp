// The form template driven as a user drives it: real widgets offscreen, the
// form on a logical thread over a scratch database, the questions answered
// by a scripted presenter.
#include "app/form/form_controller.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "app/form/form_toolbar_binding.h"
#include "app/form/lookup_drop_combo.h"
#include "app/globals.h"
#include "data/thread_table_set.h"
#include "platform/errors/scripted_presenter.h"
#include "platform/storage/storage.h"
#include "platform/threads/logical_thread.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "platform/ui/desktop.h"
#include "tests/support/fiber_helpers.h"
#include "tests/support/scratch_dir.h"

namespace tv::app {
namespace {

using test::runFor;
using test::onThread;

using namespace std::chrono_literals;
using data::TableId;
using ui::ControlKind;
using ui::EventKind;

// ----- the test forms: a prompt and a control per field, OK, Cancel

enum : int { kOk = 90, kCancel = 91, kComboPrompt = 79, kCombo = 80 };

struct FieldDef {
    const char* field;
    const char* picture;
    bool required = false;
    bool display = false;
    bool lockedOnChange = false;  // a typed key an existing record keeps
};
int promptOf(int i) { return 2 * i + 1; }
int controlOf(int i) { return 2 * i + 2; }

struct FormDef {
    std::string name;
    TableId table;
    std::vector<FieldDef> fields;
    std::optional<LookupConfig> lookup;  // a drop combo after the fields
};

FormDef marcasForm() {
    return {"UpdateMarcas", TableId::Marcas, {{"MAR:Codigo", "n9", false, true}, {"MAR:Marca", "s40", true}}, {}};
}
FormDef categoriasForm() {
    return {"UpdateCatArticulos",
            TableId::CatArticulos,
            {{"CAR:Codigo", "n9", false, true}, {"CAR:Descripcion", "s40", true}},
            {}};
}
// An article form: a required number and text, a plain number, a stock
// total shown as an entry, and the brand look-up whose add form is the
// brand form.
FormDef articuloForm() {
    return {"UpdateArticulo",
            TableId::Articulo,
            {{"ART:ID", "n9", false, true},
             {"ART:NoArt", "n_11", true, false, true},
             {"ART:Descripcion", "s70", true},
             {"ART:StockMaximo", "n11.2"},
             {"ART:Entradas", "n11.2"}},
            LookupConfig{.control = kCombo,
                         .table = TableId::Marcas,
                         .codeField = "MAR:Codigo",
                         .nameField = "MAR:Marca",
                         .targetField = "ART:Marca",
                         .addForm = 1,
                         .prefillField = {}}};
}

// What the test sees of the forms running on a thread (the innermost last).
struct Live {
    struct Running {
        FormController* form;
        ui::Window* window;
    };
    std::vector<Running> running;
    std::vector<uint8_t> responses;  // in the order the forms returned
    std::vector<int32_t> navigation; // NavigationRequest as each form returned
    std::vector<bool> opened;        // whether each form opened its window
    bool done = false;
    ui::Window* toolbar = nullptr;   // the record buttons, when the test has them
    std::function<void(FormController&)> configure;

    FormController& form() { return *running.back().form; }
    ui::Window& window() { return *running.back().window; }
    bool openAt(std::size_t depth) const {
        return running.size() == depth && running.back().window->isOpen() && !running.back().window->hasEvents();
    }
};

uint8_t runForm(Live& live, const FormDef& def, uint8_t request);

void buildAndConfigure(Live& live, const FormDef& def, ui::Window& w, FormController& c) {
    w.add({ControlKind::Sheet, 100, "?CURRENTTAB", "", QRect(4, 4, 392, 230)});
    w.add({ControlKind::Tab, 101, "?TAB:1", "Datos", {}, 100});
    for (int i = 0; i < static_cast<int>(def.fields.size()); ++i) {
        const FieldDef& f = def.fields[static_cast<size_t>(i)];
        w.add({ControlKind::Prompt, promptOf(i), std::string("?") + f.field + ":PROMPT", f.field,
               QRect(8, 8 + 28 * i, 110, 22), 101});
        w.add({f.display ? ControlKind::DisplayString : ControlKind::Entry, controlOf(i), std::string("?") + f.field,
               "", QRect(120, 8 + 28 * i, 200, 22), 101});
        if (f.display) c.Show(controlOf(i), f.field, f.picture);
        else c.Bind(controlOf(i), f.field, f.picture, {.required = f.required, .readOnlyOnChange = f.lockedOnChange});
    }
    w.add({ControlKind::Button, kOk, "?OK", "Aceptar", QRect(200, 240, 90, 26)});
    w.add({ControlKind::Button, kCancel, "?CANCEL", "Cancelar", QRect(300, 240, 90, 26)});
    c.SetOkCancel(kOk, kCancel);
    c.SetFirstField(promptOf(0));
    if (live.toolbar != nullptr) c.Toolbar().SetToolbarWindow(live.toolbar);
}

uint8_t runForm(Live& live, const FormDef& def, uint8_t request) {
    threadState().callRequest = request;
    ui::Window w(QString::fromStdString(def.name), QSize(400, 280));
    FormController c(def.name, w, def.table);
    buildAndConfigure(live, def, w, c);
    std::unique_ptr<LookupDropCombo> lookup;
    if (def.lookup) {
        const int n = static_cast<int>(def.fields.size());
        w.add({ControlKind::Prompt, kComboPrompt, "?ART:Marca:PROMPT", "Marca", QRect(8, 8 + 28 * n, 110, 22), 101});
        w.add({ControlKind::DropCombo, kCombo, "?ART:Marca", "", QRect(120, 8 + 28 * n, 200, 22), 101});
        w.setControlOrder({100, 101, promptOf(0), controlOf(0), promptOf(1), controlOf(1), promptOf(2), controlOf(2),
                           promptOf(3), controlOf(3), promptOf(4), controlOf(4), kComboPrompt, kCombo, kOk, kCancel});
        lookup = std::make_unique<LookupDropCombo>(c, *def.lookup);
        c.AddLookup(*lookup);
        c.SetSubProcedure(1, [&live] { runForm(live, marcasForm(), threadState().callRequest); });
    }
    if (live.configure) live.configure(c);
    live.running.push_back({&c, &w});
    const uint8_t r = RunProcedure(c);
    live.running.pop_back();
    live.responses.push_back(r);
    live.navigation.push_back(threadState().navigationRequest);
    live.opened.push_back(c.OPENED != 0);
    return r;
}

// Runs `body` on a logical thread of its own and waits for it.
std::string trimmed(const std::string& s) { return std::string(rtrim(s)); }

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        storage::setDatabasePath(dir.file("talvor.db"));
        ErrorReporter::instance().setUp();
        scope_.emplace(presenter);
        beeps = ui::beepCount();
    }
    void TearDown() override {
        if (live.thread != 0) {
            EXPECT_TRUE(runFor([&] { return live.state.done; })) << "the form's thread ended";
        }
        EXPECT_TRUE(globals().RunningProcedures.empty()) << "every form removed its entry";
        globals().RunningProcedures.clear();
        scope_.reset();
        storage::setDatabasePath("talvor.db");
    }

    // Seeds a table through a thread of its own; returns the new codes.
    std::vector<long long> seed(TableId t, const char* field, std::vector<std::string> values) {
        std::vector<long long> codes;
        onThread([&] {
            data::TableGateway& g = data::tables().gateway(t);
            const data::TableDecl& d = data::decl(t);
            for (const std::string& v : values) {
                EXPECT_EQ(g.PrepareNewRecord(), data::kDone);
                g.BUFFER.set(d.fieldIndex(field), Value(v));
                EXPECT_EQ(g.InsertRecord(), data::kDone);
                codes.push_back(g.BUFFER.number(0).toInt64());
            }
        });
        return codes;
    }
    // A field of the record with that code (field 0), read on a fresh thread; "<none>" when not stored.
    std::string stored(TableId t, long long code, const char* field) {
        std::string out = "<none>";
        onThread([&] {
            data::TableGateway& g = data::tables().gateway(t);
            g.BUFFER.clear();
            g.BUFFER.set(0, Value(code));
            if (g.ReadByKey(0) == data::kDone) out = trimmed(g.BUFFER.get(data::decl(t).fieldIndex(field)).asText());
        });
        return out;
    }
    int64_t count(TableId t) {
        int64_t n = -1;
        onThread([&] { n = data::tables().gateway(t).RecordCount(); });
        return n;
    }
    // Changes a text field of a record from another thread (another station).
    void changeElsewhere(TableId t, long long code, const char* field, const std::string& value) {
        onThread([&] {
            data::TableGateway& g = data::tables().gateway(t);
            g.BUFFER.clear();
            g.BUFFER.set(0, Value(code));
            ASSERT_EQ(g.ReadByKey(0), data::kDone);
            g.BUFFER.set(data::decl(t).fieldIndex(field), Value(value));
            ASSERT_EQ(g.UpdateRecord(), data::kDone);
        });
    }

    // Starts `def` on a new logical thread with `request`; `prepare` runs
    // first on that thread, as the list prepares the buffer.
    struct Started {
        Live state;
        threads::ThreadNo thread = 0;
    };
    void start(const FormDef& def, uint8_t request, std::function<void()> prepare = {},
               std::function<void(Live&)> body = {}) {
        live.thread = threads::start([this, def, request, prepare, body] {
            if (prepare) prepare();
            if (body) body(live.state);
            else runForm(live.state, def, request);
            live.state.done = true;
        }, 512 * 1024);
    }
    // The list's preparations.
    static std::function<void()> prepareInsert(TableId t) {
        return [t] { ASSERT_EQ(data::tables().gateway(t).PrepareNewRecord(), data::kDone); };
    }
    static std::function<void()> readRecord(TableId t, long long code) {
        return [t, code] {
            data::TableGateway& g = data::tables().gateway(t);
            g.BUFFER.clear();
            g.BUFFER.set(0, Value(code));
            ASSERT_EQ(g.ReadByKey(0), data::kDone);
        };
    }
    bool waitOpen(std::size_t depth = 1) {
        const bool ok = runFor([&] { return live.state.openAt(depth) || live.state.done; }) && !live.state.done;
        if (ok) activate(live.state.window());
        return ok;
    }
    bool waitDone() { return runFor([&] { return live.state.done; }); }
    bool waitIdle() {
        return runFor([&] { return live.state.done || (!live.state.running.empty() && !live.state.window().hasEvents()); });
    }
    static void activate(ui::Window& w) {
        QWidget* top = w.topWidget()->window();
        top->activateWindow();
        QApplication::setActiveWindow(top);
        EXPECT_TRUE(QTest::qWaitForWindowActive(top));
    }
    ui::Control& ctl(int n) { return live.state.window().at(n); }
    void type(int control, const QString& text) {
        ui::Control& c = ctl(control);
        c.focus();
        ASSERT_TRUE(runFor([&] { return c.hasFocus(); }));
        if (auto* e = c.as<QLineEdit>()) e->selectAll();
        if (auto* cb = c.as<QComboBox>(); cb != nullptr && cb->lineEdit() != nullptr) cb->lineEdit()->selectAll();
        QTest::keyClicks(c.widget(), text);
    }
    void click(int control) { QTest::mouseClick(ctl(control).widget(), Qt::LeftButton); }
    std::vector<int> shownNumbers() const {
        std::vector<int> v;
        for (const auto& s : presenter.shown()) v.push_back(messageNumber(s.box));
        return v;
    }

    tv::test::ScratchDir dir;
    tv::test::WorkingDir wd{dir.path()};
    ScriptedPresenter presenter;
    int beeps = 0;
    struct {
        Live state;
        threads::ThreadNo thread = 0;
    } live;

private:
    std::optional<ScopedPresenter> scope_;
};

// ---------------------------------------------------------------- captions and view

TEST_F(FormTest, TheCaptionFollowsTheRequestAndViewModeChangesNothing) {
    const long long acme = seed(TableId::Marcas, "MAR:Marca", {"Acme"})[0];
    struct Case { uint8_t request; const char* caption; };
    for (const Case& k : {Case{kInsert, "Altas"}, Case{kChange, "Modificaciones"}, Case{kView, "Consulta"}}) {
        SCOPED_TRACE(k.caption);
        live = {};
        start(marcasForm(), k.request, k.request == kInsert ? prepareInsert(TableId::Marcas) : readRecord(TableId::Marcas, acme));
        ASSERT_TRUE(waitOpen());
        EXPECT_EQ(live.state.window().caption(), QString::fromUtf8(k.caption));
        EXPECT_EQ(ctl(controlOf(1)).hasFocus(), true) << "the first field after the first prompt has the focus";
        const bool view = k.request == kView;
        EXPECT_EQ(ctl(controlOf(1)).readOnly(), view);
        if (k.request != kInsert) {
            EXPECT_EQ(ctl(controlOf(1)).text(), QStringLiteral("Acme"));
            EXPECT_EQ(ctl(controlOf(0)).text(), QString::number(acme));
        }
        if (view) {
            QTest::keyClicks(ctl(controlOf(1)).widget(), QStringLiteral("zzz"));
            EXPECT_EQ(ctl(controlOf(1)).text(), QStringLiteral("Acme"));
            click(kOk);
            ASSERT_TRUE(waitDone());
            EXPECT_EQ(live.state.responses, std::vector<uint8_t>{kCancelled}) << "view always answers cancelled";
            EXPECT_TRUE(presenter.empty());
        } else {
            click(kCancel);
            ASSERT_TRUE(waitDone());
        }
    }
    EXPECT_EQ(stored(TableId::Marcas, acme, "MAR:Marca"), "Acme");
    EXPECT_EQ(count(TableId::Marcas), 1) << "the cancelled insert gave its number back";
}

TEST_F(FormTest, ViewModeDisablesTheLookupAndTheToolbar) {
    const long long acme = seed(TableId::Marcas, "MAR:Marca", {"Acme"})[0];
    long long art = 0;
    onThread([&] {
        data::TableGateway& g = data::tables().ArticuloTableGateway();
        ASSERT_EQ(g.PrepareNewRecord(), data::kDone);
        g.BUFFER.set(g.BUFFER.layout().indexOf("ART:NoArt"), Value(77));
        g.BUFFER.set(g.BUFFER.layout().indexOf("ART:Descripcion"), Value("Martillo"));
        g.BUFFER.set(g.BUFFER.layout().indexOf("ART:Marca"), Value(acme));
        ASSERT_EQ(g.InsertRecord(), data::kDone);
        art = g.BUFFER.number(0).toInt64();
    });
    ui::Window toolbar(QStringLiteral("barra"), QSize(100, 30));
    for (int b = form_toolbar::kFirst; b <= form_toolbar::kLast; ++b)
        toolbar.add({ControlKind::ToolbarButton, b, "?TB" + std::to_string(b), "b"});
    live.state.toolbar = &toolbar;
    start(articuloForm(), kView, readRecord(TableId::Articulo, art));
    ASSERT_TRUE(waitOpen());
    EXPECT_TRUE(ctl(kCombo).disabled());
    EXPECT_EQ(ctl(kCombo).text(), QStringLiteral("1 - Acme")) << "the look-up shows the stored code and its name";
    // Its sub-forms answer 2 and open nothing.
    EXPECT_EQ(live.state.form().CallSubProcedure(1, kInsert), kCancelled);
    EXPECT_EQ(live.state.running.size(), 1u);
    for (int i : {1, 2, 3, 4}) EXPECT_TRUE(ctl(controlOf(i)).readOnly());
    EXPECT_FALSE(ctl(kOk).disabled());
    for (int b = form_toolbar::kFirst; b <= form_toolbar::kLast; ++b) EXPECT_TRUE(toolbar.at(b).disabled()) << b;
    // A record button posted anyway does nothing.
    live.state.window().post({EventKind::Accepted, form_toolbar::kDown});
    ASSERT_TRUE(waitIdle());
    EXPECT_FALSE(live.state.done);
    click(kCancel);
    ASSERT_TRUE(waitDone());
    EXPECT_EQ(live.state.responses, std::vector<uint8_t>{kCancelled});
}

// ---------------------------------------------------------------- insert

TEST_F(FormTest, AnInsertStoresTheTypedRecordUnderItsReservedNumber) {
    seed(TableId::Marcas, "MAR:Marca", {"Acme"});
    start(marcasForm(), kInsert, prepareInsert(TableId::Marcas));
    ASSERT_TRUE(waitOpen());
    EXPECT_EQ(ctl(controlOf(0)).text(), QStringLiteral("2")) << "the reserved number is shown";
    type(controlOf(1), QStringLiteral("Bosch"));
    click(kOk);
    ASSERT_TRUE(waitDone());
    EXPECT_EQ(live.state.responses, std::vector<uint8_t>{kCompleted});
    EXPECT_EQ(stored(TableId::Marcas, 2, "MAR:Marca"), "Bosch");
    EXPECT_EQ(count(TableId::Marcas), 2);
    EXPECT_TRUE(presenter.empty());
}

TEST_F(FormTest, ABlankRequiredEntryBeepsKeepsTheFocusAndStoresNothing) {
    // A text blank, a number left at zero, a number typed as zero.
    struct Case { const char* name; QString noArt; QString descripcion; int blankControl; };
    const Case cases[] = {
        {"blank text", QStringLiteral("12"), QString(), controlOf(2)},
        {"number zero", QString(), QStringLiteral("Pinza"), controlOf(1)},
        {"number typed 0", QStringLiteral("0"), QStringLiteral("Pinza"), controlOf(1)},
        {"both blank: the first in order", QString(), QString(), controlOf(1)},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        live = {};
        presenter.clear();
        const int before = ui::beepCount();
        start(articuloForm(), kInsert, prepareInsert(TableId::Articulo));
        ASSERT_TRUE(waitOpen());
        if (!k.noArt.isEmpty()) type(controlOf(1), k.noArt);
        if (!k.descripcion.isEmpty()) type(controlOf(2), k.descripcion);
        click(kOk);
        ASSERT_TRUE(runFor([&] { return ui::beepCount() == before + 1; }));
        ASSERT_TRUE(runFor([&] { return ctl(k.blankControl).hasFocus(); }));
        ASSERT_TRUE(waitIdle());
        EXPECT_FALSE(live.state.done) << "the form stays open";
        EXPECT_TRUE(presenter.empty()) << "no message, only the beep";
        presenter.answer(Answer::Yes);  // question 10, when something was typed
        click(kCancel);
        ASSERT_TRUE(waitDone());
        EXPECT_EQ(live.state.responses, std::vector<uint8_t>{kCancelled});
    }
    EXPECT_EQ(count(TableId::Articulo), 0) << "nothing stored, every reservation given back";
}

TEST_F(FormTest, ADuplicateKeyIsNamedAndTheFormStaysOpen) {
    seed(TableId::CatArticulos, "CAR:Descripcion", {"Herramientas"});
    start(categoriasForm(), kInsert, prepareInsert(TableId::CatArticulos));
    ASSERT_TRUE(waitOpen());
    type(controlOf(1), QStringLiteral("herramientas"));
    click(kOk);
    ASSERT_TRUE(runFor([&] { return presenter.count() == 1; }));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(messageNumber(presenter.last()), 15);
    EXPECT_EQ(presenter.last().text,
              "Agregar este registro crea una clave duplicada para la clave: car:KeyDescripcion");
    EXPECT_FALSE(live.state.done);
    ASSERT_TRUE(runFor([&] { return ctl(controlOf(1)).hasFocus(); })) << "the focus goes back to the first field";
    EXPECT_EQ(ctl(controlOf(1)).text(), QStringLiteral("herramientas")) << "the typed value is kept";
    // Corrected, it goes in under the number reserved at the start.
    type(controlOf(1), QStringLiteral("Tornilleria"));
    click(kOk);
    ASSERT_TRUE(waitDone());
    EXPECT_EQ(live.state.responses, std::vector<uint8_t>{kCompleted});
    EXPECT_EQ(stored(TableId::CatArticulos, 2, "CAR:Descripcion"), "Tornilleria");
}

TEST_F(FormTest, BadTypedNumbersAreRefusedWithAMessageAndTheFocusKept) {
    struct Case { QString typed; const char* text; };
    const Case cases[] = {
        {QStringLiteral("12x"), "Número no válido"},
        {QStringLiteral("1234567890"), "El número es demasiado grande para este dato"},
        {QStringLiteral("1,23"), "Número no válido"},
    };
    start(articuloForm(), kInsert, prepareInsert(TableId::Articulo));
    ASSERT_TRUE(waitOpen());
    for (const Case& k : cases) {
        SCOPED_TRACE(k.typed.toStdString());
        presenter.clear();
        type(controlOf(3), k.typed);
        QTest::keyClick(ctl(controlOf(3)).widget(), Qt::Key_Tab);
        ASSERT_TRUE(runFor([&] { return presenter.count() == 1; }));
        EXPECT_EQ(presenter.last().caption, "Dato no válido");
        EXPECT_NE(presenter.last().text.find(k.text), std::string::npos) << presenter.last().text;
        ASSERT_TRUE(runFor([&] { return ctl(controlOf(3)).hasFocus(); }));
        ASSERT_TRUE(waitIdle());
        EXPECT_TRUE(live.state.form().Buffer().number(live.state.form().FieldOf(controlOf(3))).isZero())
            << "the field keeps its value";
    }
    // "Aceptar" with the bad text still there refuses it the same way.
    presenter.clear();
    type(controlOf(1), QStringLiteral("5"));
    type(controlOf(2), QStringLiteral("Llave"));
    type(controlOf(3), QStringLiteral("abc"));
    click(kOk);
    ASSERT_TRUE(runFor([&] { return !presenter.empty(); }));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(presenter.shown().front().box.caption, "Dato no válido");
    EXPECT_FALSE(live.state.done);
    type(controlOf(3), QStringLiteral("1,500.25"));
    click(kOk);
    ASSERT_TRUE(waitDone());
    EXPECT_EQ(live.state.responses, std::vector<uint8_t>{kCompleted});
    EXPECT_EQ(stored(TableId::Articulo, 1, "ART:StockMaximo"), "1500.25");
}

TEST_F(FormTest, ANumberLeftIsShownAgainThroughItsPicture) {
    // What the entry shows after the user leaves it is what is stored.
    struct Case { QString typed; QString shown; };
    const Case cases[] = {
        {QStringLiteral("15"), QStringLiteral("15.00")},
        {QStringLiteral("1500.5"), QStringLiteral("1,500.50")},
        {QStringLiteral("0"), QStringLiteral("0.00")},
    };
    start(articuloForm(), kInsert, prepareInsert(TableId::Articulo));
    ASSERT_TRUE(waitOpen());
    for (const Case& k : cases) {
        SCOPED_TRACE(k.typed.toStdString());
        type(controlOf(3), k.typed);
        QTest::keyClick(ctl(controlOf(3)).widget(), Qt::Key_Tab);
        ASSERT_TRUE(waitIdle());
        EXPECT_EQ(ctl(controlOf(3)).text(), k.shown);
    }
    type(controlOf(2), QStringLiteral("  Llave  "));
    QTest::keyClick(ctl(controlOf(2)).widget(), Qt::Key_Tab);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(ctl(controlOf(2)).text(), QStringLiteral("  Llave")) << "a text keeps its leading blanks";
    presenter.answer(Answer::Yes);
    click(kCancel);
    ASSERT_TRUE(waitDone());
}

// ---------------------------------------------------------------- cancel

TEST_F(FormTest, CancelAsksMessage10OnlyForAChangedRecord) {
    const long long acme = seed(TableId::Marcas, "MAR:Marca", {"Acme"})[0];
    struct Case {
        const char* name;
        uint8_t request;
        QString typed;          // empty: nothing typed
        std::optional<Answer> answer;  // to question 10; nullopt: no question expected
        bool closes;
    };
    const Case cases[] = {
        {"insert untouched", kInsert, QString(), std::nullopt, true},
        {"insert typed, Yes", kInsert, QStringLiteral("Bosch"), Answer::Yes, true},
        {"insert typed, No", kInsert, QStringLiteral("Bosch"), Answer::No, false},
        {"change untouched", kChange, QString(), std::nullopt, true},
        {"change typed, Yes", kChange, QStringLiteral("Acme2"), Answer::Yes, true},
        {"change typed, No", kChange, QStringLiteral("Acme2"), Answer::No, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        live = {};
        presenter.clear();
        start(marcasForm(), k.request,
              k.request == kInsert ? prepareInsert(TableId::Marcas) : readRecord(TableId::Marcas, acme));
        ASSERT_TRUE(waitOpen());
        if (!k.typed.isEmpty()) type(controlOf(1), k.typed);
        if (k.answer) presenter.answer(*k.answer);
        click(kCancel);
        if (k.closes) {
            ASSERT_TRUE(waitDone());
            EXPECT_EQ(live.state.responses, std::vector<uint8_t>{kCancelled});
        } else {
            ASSERT_TRUE(runFor([&] { return !presenter.empty(); }));
            ASSERT_TRUE(waitIdle());
            EXPECT_FALSE(live.state.done);
            EXPECT_EQ(ctl(controlOf(1)).text(), k.typed) << "No keeps the typed values";
            ASSERT_TRUE(runFor([&] { return ctl(controlOf(1)).hasFocus(); }));
            live.state.window().widget()->close();  // the close box asks too
            ASSERT_TRUE(runFor([&] { return presenter.count() == 2; }));
            ASSERT_TRUE(waitDone()) << "the preset answer Yes lets it close";
        }
        if (k.answer) {
            ASSERT_FALSE(presenter.empty());
            EXPECT_EQ(messageNumber(presenter.shown().front().box), 10);
            EXPECT_EQ(presenter.shown().front().box.caption, "Cambios no seran Realizados!");
        } else {
            EXPECT_TRUE(presenter.empty());
        }
        EXPECT_EQ(count(TableId::Marcas), 1) << "a cancelled insert gives its number back";
        EXPECT_EQ(stored(TableId::Marcas, acme, "MAR:Marca"), "Acme");
    }
}

// ---------------------------------------------------------------- change

TEST_F(FormTest, AnUnchangedChangeWritesNothingAndCompletes) {
    const long long acme = seed(TableId::Marcas, "MAR:Marca", {"Acme"})[0];
    start(marcasForm(), kChange, readRecord(TableId::Marcas, acme));
    ASSERT_TRUE(waitOpen());
    // Had the form written, the other station's change would refuse it
    // (message 7) or be overwritten.
    changeElsewhere(TableId::Marcas, acme, "MAR:Marca", "Acme Norte");
    click(kOk);
    ASSERT_TRUE(waitDone());
    EXPECT_EQ(live.state.responses, std::vector<uint8_t>{kCompleted});
    EXPECT_TRUE(presenter.empty());
    EXPECT_EQ(stored(TableId::Marcas, acme, "MAR:Marca"), "Acme Norte");
}

TEST_F(FormTest, AChangeWrittenIsStored) {
    const long long acme = seed(TableId::Marcas, "MAR:Marca", {"Acme"})[0];
    start(marcasForm(), kChange, readRecord(TableId::Marcas, acme));
    ASSERT_TRUE(waitOpen());
    type(controlOf(1), QStringLiteral("Acme Sur"));
    QTest::keyClick(ctl(controlOf(1)).widget(), Qt::Key_Return);  // Enter moves on
    ASSERT_TRUE(runFor([&] { return ctl(kOk).hasFocus(); }));
    QTest::keyClick(ctl(kOk).widget(), Qt::Key_Return);          // Enter on "Aceptar" completes
    ASSERT_TRUE(waitDone());
    EXPECT_EQ(live.state.responses, std::vector<uint8_t>{kCompleted});
    EXPECT_EQ(stored(TableId::Marcas, acme, "MAR:Marca"), "Acme Sur");
}

TEST_F(FormTest, AChangeIsWrittenToItsOwnRecordWhateverTheCallerReadLast) {
    const std::vector<long long> codes = seed(TableId::Marcas, "MAR:Marca", {"Acme", "Bosch"});
    // The caller read both records through the table and handed the first
    // in the buffer, as a list does after filling its page.
    start(marcasForm(), kChange, [&codes] {
        data::TableGateway& g = data::tables().MarcasTableGateway();
        ASSERT_EQ(g.SetPositionToStart(), data::kDone);
        ASSERT_EQ(g.ReadNext(), data::kDone);
        const Record first = g.BUFFER;
        ASSERT_EQ(g.ReadNext(), data::kDone);
        g.BUFFER = first;
        EXPECT_EQ(g.BUFFER.number(0).toInt64(), codes[0]);
    });
    ASSERT_TRUE(waitOpen());
    EXPECT_EQ(ctl(controlOf(1)).text(), QStringLiteral("Acme"));
    type(controlOf(1), QStringLiteral("Acme Sur"));
    click(kOk);
    ASSERT_TRUE(waitDone());
    EXPECT_EQ(live.state.responses, std::vector<uint8_t>{kCompleted});
    EXPECT_EQ(stored(TableId::Marcas, codes[0], "MAR:Marca"), "Acme Sur");
    EXPECT_EQ(stored(TableId::Marcas, codes[1], "MAR:Marca"), "Bosch");
    EXPECT_TRUE(presenter.empty());
}

TEST_F(FormTest, AChangeRefusedBecauseAnotherStationChangedItShowsTheirVersion) {
    const long long acme = seed(TableId::Marcas, "MAR:Marca", {"Acme"})[0];
    start(marcasForm(), kChange, readRecord(TableId::Marcas, acme));
    ASSERT_TRUE(waitOpen());
    type(controlOf(1), QStringLiteral("Acme Sur"));
    changeElsewhere(TableId::Marcas, acme, "MAR:Marca", "Acme Norte");
    click(kOk);
    ASSERT_TRUE(runFor([&] { return !presenter.empty(); }));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(shownNumbers(), std::vector<int>{7}) << "no question 37 for it";
    EXPECT_FALSE(live.state.done) << "the form stays open";
    EXPECT_EQ(ctl(controlOf(1)).text(), QStringLiteral("Acme Norte")) << "it shows the other station's version";
    EXPECT_EQ(stored(TableId::Marcas, acme, "MAR:Marca"), "Acme Norte");

    // "Aceptar" now writes nothing: the other version is not the user's.
    changeElsewhere(TableId::Marcas, acme, "MAR:Marca", "Acme Centro");
    presenter.clear();
    click(kOk);
    ASSERT_TRUE(waitDone());
    EXPECT_TRUE(presenter.empty());
    EXPECT_EQ(live.state.responses, std::vector<uint8_t>{kCompleted});
    EXPECT_EQ(stored(TableId::Marcas, acme, "MAR:Marca"), "Acme Centro");
}

TEST_F(FormTest, WhatTheUserTypesAfterTheOtherVersionIsShownIsWritten) {
    const long long acme = seed(TableId::Marcas, "MAR:Marca", {"Acme"})[0];
    start(marcasForm(), kChange, readRecord(TableId::Marcas, acme));
    ASSERT_TRUE(waitOpen());
    type(controlOf(1), QStringLiteral("Acme Sur"));
    changeElsewhere(TableId::Marcas, acme, "MAR:Marca", "Acme Norte");
    click(kOk);
    ASSERT_TRUE(runFor([&] { return !presenter.empty(); }));
    ASSERT_TRUE(waitIdle());
    type(controlOf(1), QStringLiteral("Acme Sur"));
    click(kOk);
    ASSERT_TRUE(waitDone());
    EXPECT_EQ(live.state.responses, std::vector<uint8_t>{kCompleted});
    EXPECT_EQ(stored(TableId::Marcas, acme, "MAR:Marca"), "Acme Sur");
}

TEST_F(FormTest, AFailedWriteOffersToTryAgainWithQuestion37) {
    // Another category's name makes the rewrite itself fail (message 28).
    struct Case {
        const char* name;
        std::vector<Answer> answers;   // to every box shown, in order
        std::vector<int> messages;
        bool closes;
    };
    const Case cases[] = {
        {"Cancel stays", {Answer::Ok, Answer::Cancel}, {28, 37}, false},
        {"No closes", {Answer::Ok, Answer::No}, {28, 37}, true},
        {"Yes tries again", {Answer::Ok, Answer::Yes, Answer::Ok, Answer::No}, {28, 37, 28, 37}, true},
    };
    const std::vector<long long> codes = seed(TableId::CatArticulos, "CAR:Descripcion", {"Pinturas", "Plomeria"});
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        live = {};
        presenter.clear();
        start(categoriasForm(), kChange, readRecord(TableId::CatArticulos, codes[0]));
        ASSERT_TRUE(waitOpen());
        type(controlOf(1), QStringLiteral("plomeria"));
        for (Answer a : k.answers) presenter.answer(a);
        click(kOk);
        ASSERT_TRUE(runFor([&] { return presenter.count() == k.messages.size(); }));
        if (k.closes) {
            ASSERT_TRUE(waitDone());
            EXPECT_EQ(live.state.responses, std::vector<uint8_t>{kCancelled});
        } else {
            ASSERT_TRUE(waitIdle());
            EXPECT_FALSE(live.state.done);
            ASSERT_TRUE(runFor([&] { return ctl(controlOf(1)).hasFocus(); }));
            EXPECT_EQ(ctl(controlOf(1)).text(), QStringLiteral("plomeria"));
            presenter.answer(Answer::Yes);
            click(kCancel);
            ASSERT_TRUE(waitDone());
        }
        std::vector<int> shown = shownNumbers();
        if (!k.closes) {
            EXPECT_EQ(shown.back(), 10) << "then the cancel asked";
            shown.pop_back();
        }
        EXPECT_EQ(shown, k.messages);
        EXPECT_EQ(stored(TableId::CatArticulos, codes[0], "CAR:Descripcion"), "Pinturas");
    }
}

TEST_F(FormTest, ATypedKeyCannotBeChangedOnAnExistingRecord) {
    long long art = 0;
    onThread([&] {
        data::TableGateway& g = data::tables().ArticuloTableGateway();
        ASSERT_EQ(g.PrepareNewRecord(), data::kDone);
        g.BUFFER.set(g.BUFFER.layout().indexOf("ART:NoArt"), Value(77));
        g.BUFFER.set(g.BUFFER.layout().indexOf("ART:Descripcion"), Value("Martillo"));
        ASSERT_EQ(g.InsertRecord(), data::kDone);
        art = g.BUFFER.number(0).toInt64();
    });
    start(articuloForm(), kChange, readRecord(TableId::Articulo, art));
    ASSERT_TRUE(waitOpen());
    EXPECT_EQ(ctl(controlOf(1)).text(), QStringLiteral("77"));
    EXPECT_TRUE(ctl(controlOf(1)).readOnly());
    EXPECT_TRUE(ctl(controlOf(1)).disabled());
    EXPECT_TRUE(ctl(controlOf(2)).hasFocus()) << "the focus skips the locked key";
    type(controlOf(2), QStringLiteral("Mazo"));
    click(kOk);
    ASSERT_TRUE(waitDone());
    EXPECT_EQ(live.state.responses, std::vector<uint8_t>{kCompleted});
    EXPECT_EQ(stored(TableId::Articulo, art, "ART:Descripcion"), "Mazo");
    EXPECT_EQ(stored(TableId::Articulo, art, "ART:NoArt"), "77");
}

// ---------------------------------------------------------------- delete

TEST_F(FormTest, ADeleteAsksMessage11WithoutOpeningTheWindow) {
    struct Case { Answer answer; uint8_t response; const char* left; };
    for (const Case& k : {Case{Answer::No, kCancelled, "Acme"}, Case{Answer::Yes, kCompleted, "<none>"}}) {
        live = {};
        presenter.clear();
        onThread([] {});
        const long long code = seed(TableId::Marcas, "MAR:Marca", {"Acme"})[0];
        presenter.answer(k.answer);
        start(marcasForm(), kDelete, readRecord(TableId::Marcas, code));
        ASSERT_TRUE(waitDone());
        EXPECT_EQ(live.state.responses, std::vector<uint8_t>{k.response});
        EXPECT_EQ(shownNumbers(), std::vector<int>{11});
        EXPECT_EQ(live.state.opened, std::vector<bool>{false}) << "no window for a delete";
        EXPECT_EQ(stored(TableId::Marcas, code, "MAR:Marca"), k.left);
        if (k.answer == Answer::No) {
            // Deleted for the next case to seed afresh.
            onThread([code] {
                data::TableGateway& g = data::tables().MarcasTableGateway();
                g.BUFFER.set(0, Value(code));
                ASSERT_EQ(g.ReadByKey(0), data::kDone);
                ASSERT_EQ(g.DeleteCurrentRecord(false), data::kDone);
            });
        }
    }
}

// ---------------------------------------------------------------- ditto

TEST_F(FormTest, DittoBringsBackTheLastSavedValuesButNeverTheRuledOutOnes) {
    const long long acme = seed(TableId::Marcas, "MAR:Marca", {"Acme"})[0];
    ui::Window toolbar(QStringLiteral("barra"), QSize(100, 30));
    for (int b = form_toolbar::kFirst; b <= form_toolbar::kLast; ++b)
        toolbar.add({ControlKind::ToolbarButton, b, "?TB" + std::to_string(b), "b"});
    live.state.toolbar = &toolbar;
    bool second = false;
    start(articuloForm(), kInsert, {}, [&](Live& l) {
        for (int i = 0; i < 2; ++i) {
            ASSERT_EQ(data::tables().ArticuloTableGateway().PrepareNewRecord(), data::kDone);
            runForm(l, articuloForm(), kInsert);
            second = true;
        }
    });
    ASSERT_TRUE(waitOpen());
    // Nothing saved yet on this thread: Ctrl+H brings nothing.
    ctl(controlOf(2)).focus();
    QTest::keyClick(ctl(controlOf(2)).widget(), Qt::Key_H, Qt::ControlModifier);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(ctl(controlOf(2)).text(), QString());
    EXPECT_FALSE(toolbar.at(form_toolbar::kHistory).disabled());
    type(controlOf(1), QStringLiteral("1001"));
    type(controlOf(2), QStringLiteral("Taladro"));
    type(controlOf(3), QStringLiteral("15"));
    type(controlOf(4), QStringLiteral("40"));
    type(kCombo, QStringLiteral("Acme"));
    click(kOk);
    ASSERT_TRUE(runFor([&] { return second && live.state.openAt(1); }));
    activate(live.state.window());
    EXPECT_EQ(ctl(controlOf(0)).text(), QStringLiteral("2"));

    struct Case { int control; bool byToolbar; QString expected; };
    const Case cases[] = {
        {controlOf(2), false, QStringLiteral("Taladro")},
        {controlOf(3), true, QStringLiteral("15.00")},
        {controlOf(4), false, QStringLiteral("0.00")},   // a stock total never comes back
        {controlOf(1), true, QStringLiteral("1001")},
        {kCombo, false, QStringLiteral("1 - Acme")},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.control);
        ctl(k.control).focus();
        ASSERT_TRUE(runFor([&] { return ctl(k.control).hasFocus(); }));
        if (k.byToolbar) live.state.window().post({EventKind::Accepted, form_toolbar::kHistory});
        else QTest::keyClick(ctl(k.control).widget(), Qt::Key_H, Qt::ControlModifier);
        ASSERT_TRUE(waitIdle());
        EXPECT_EQ(ctl(k.control).text(), k.expected);
    }
    EXPECT_EQ(ctl(controlOf(0)).text(), QStringLiteral("2")) << "the id is never repeated";
    EXPECT_EQ(live.state.form().Buffer().number(live.state.form().FieldOf(controlOf(4))).toInt64(), 0);
    // The article number is unique: give it its own before saving.
    type(controlOf(1), QStringLiteral("1002"));
    click(kOk);
    ASSERT_TRUE(waitDone());
    EXPECT_EQ(live.state.responses, (std::vector<uint8_t>{kCompleted, kCompleted}));
    EXPECT_EQ(stored(TableId::Articulo, 2, "ART:Descripcion"), "Taladro");
    EXPECT_EQ(stored(TableId::Articulo, 2, "ART:Marca"), std::to_string(acme));
    EXPECT_EQ(stored(TableId::Articulo, 2, "ART:Entradas"), "0");

    // Another thread has no values of its own to repeat.
    live = {};
    start(articuloForm(), kInsert, prepareInsert(TableId::Articulo));
    ASSERT_TRUE(waitOpen());
    ctl(controlOf(2)).focus();
    ASSERT_TRUE(runFor([&] { return ctl(controlOf(2)).hasFocus(); }));
    QTest::keyClick(ctl(controlOf(2)).widget(), Qt::Key_H, Qt::ControlModifier);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(ctl(controlOf(2)).text(), QString());
    click(kCancel);
    ASSERT_TRUE(waitDone());
}

// ---------------------------------------------------------------- look-up combos

TEST_F(FormTest, ALookupNameNotInTheCatalogueRunsItsAddForm) {
    const long long acme = seed(TableId::Marcas, "MAR:Marca", {"Acme", "Bosch"})[0];
    start(articuloForm(), kInsert, prepareInsert(TableId::Articulo));
    ASSERT_TRUE(waitOpen());
    auto* combo = ctl(kCombo).as<QComboBox>();
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("1 - Acme")) << "code and name, in code order";

    // A name that is there, in other case: chosen, no add form.
    type(kCombo, QStringLiteral("acme"));
    QTest::keyClick(combo, Qt::Key_Return);
    const int marca = data::decl(TableId::Articulo).fieldIndex("ART:Marca");
    ASSERT_TRUE(runFor([&] { return live.state.form().Buffer().number(marca).toInt64() == acme; }));
    ASSERT_TRUE(runFor([&] { return !ctl(kCombo).hasFocus(); })) << "Enter moved on";
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(live.state.running.size(), 1u);

    // A new name: the brand form opens as an insert with the name typed in.
    type(kCombo, QStringLiteral("Truper"));
    QTest::keyClick(combo, Qt::Key_Return);
    ASSERT_TRUE(waitOpen(2));
    EXPECT_EQ(live.state.window().caption(), QStringLiteral("Altas"));
    EXPECT_EQ(ctl(controlOf(1)).text(), QStringLiteral("Truper"));
    EXPECT_EQ(ctl(controlOf(0)).text(), QStringLiteral("3"));
    click(kOk);
    ASSERT_TRUE(runFor([&] { return live.state.openAt(1); }));
    activate(live.state.window());
    EXPECT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->currentText(), QStringLiteral("3 - Truper"));
    FormController& f = live.state.form();
    EXPECT_EQ(f.Buffer().number(f.Buffer().layout().indexOf("ART:Marca")).toInt64(), 3);

    // Another new name whose add form is cancelled: blanked, focus back.
    type(kCombo, QStringLiteral("Stanley"));
    QTest::keyClick(combo, Qt::Key_Return);
    ASSERT_TRUE(waitOpen(2));
    EXPECT_EQ(ctl(controlOf(1)).text(), QStringLiteral("Stanley"));
    presenter.answer(Answer::Yes);  // question 10: the typed name counts as a change
    click(kCancel);
    ASSERT_TRUE(runFor([&] { return live.state.openAt(1); }));
    activate(live.state.window());
    EXPECT_EQ(combo->currentText(), QString());
    ASSERT_TRUE(runFor([&] { return ctl(kCombo).hasFocus(); })) << "the combo gets the focus back";
    EXPECT_EQ(f.Buffer().number(f.Buffer().layout().indexOf("ART:Marca")).toInt64(), 0);
    EXPECT_EQ(count(TableId::Marcas), 3) << "the number reserved for the brand was given back";
    EXPECT_EQ(stored(TableId::Marcas, 3, "MAR:Marca"), "Truper");

    // The form completes with the new brand chosen.
    type(kCombo, QStringLiteral("Truper"));
    type(controlOf(1), QStringLiteral("501"));
    type(controlOf(2), QStringLiteral("Serrucho"));
    click(kOk);
    ASSERT_TRUE(waitDone());
    EXPECT_EQ(live.state.responses, (std::vector<uint8_t>{kCompleted, kCancelled, kCompleted}));
    EXPECT_EQ(stored(TableId::Articulo, 1, "ART:Marca"), "3");
}

// ---------------------------------------------------------------- toolbar

TEST_F(FormTest, AToolbarButtonCompletesTheFormAndLeavesTheRequestForTheList) {
    const long long acme = seed(TableId::Marcas, "MAR:Marca", {"Acme"})[0];
    ui::Window toolbar(QStringLiteral("barra"), QSize(100, 30));
    for (int b = form_toolbar::kFirst; b <= form_toolbar::kLast; ++b)
        toolbar.add({ControlKind::ToolbarButton, b, "?TB" + std::to_string(b), "b"});
    live.state.toolbar = &toolbar;
    struct Case { uint8_t request; int button; bool acts; bool type; uint8_t response; };
    const Case cases[] = {
        {kChange, form_toolbar::kDown, true, true, kCompleted},
        {kChange, form_toolbar::kTop, true, false, kCancelled},   // unchanged with a move pending
        {kInsert, form_toolbar::kDown, true, true, kCompleted},
        {kInsert, form_toolbar::kBottom, false, true, 0},          // not served on an insert form
    };
    int inserted = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.button);
        live.state.responses.clear();
        live.state.navigation.clear();
        live.state.done = false;
        start(marcasForm(), k.request,
              k.request == kInsert ? prepareInsert(TableId::Marcas) : readRecord(TableId::Marcas, acme));
        ASSERT_TRUE(waitOpen());
        EXPECT_EQ(toolbar.at(k.button).disabled(), !k.acts);
        if (k.type) type(controlOf(1), QStringLiteral("Marca %1").arg(++inserted));
        live.state.window().post({EventKind::Accepted, k.button});
        if (!k.acts) {
            ASSERT_TRUE(waitIdle());
            EXPECT_FALSE(live.state.done);
            presenter.answer(Answer::Yes);
            click(kCancel);
            ASSERT_TRUE(waitDone());
            EXPECT_EQ(live.state.navigation, std::vector<int32_t>{0});
            continue;
        }
        ASSERT_TRUE(waitDone());
        EXPECT_EQ(live.state.responses, std::vector<uint8_t>{k.response});
        EXPECT_EQ(live.state.navigation, std::vector<int32_t>{k.button});
    }
}

TEST_F(FormTest, AnInsertRefusedBecauseTheFormIsOpenElsewhereGivesItsNumberBack) {
    const long long acme = seed(TableId::Marcas, "MAR:Marca", {"Acme"})[0];
    start(marcasForm(), kChange, readRecord(TableId::Marcas, acme));
    ASSERT_TRUE(waitOpen());
    Live other;
    onThread([&] {
        ASSERT_EQ(data::tables().MarcasTableGateway().PrepareNewRecord(), data::kDone);
        EXPECT_EQ(data::tables().MarcasTableGateway().RecordCount(), 2) << "reserved";
        runForm(other, marcasForm(), kInsert);
        EXPECT_EQ(data::tables().MarcasTableGateway().AUTOINCDONE, 0);
    });
    EXPECT_EQ(other.responses, std::vector<uint8_t>{kCancelled});
    EXPECT_EQ(count(TableId::Marcas), 1);
    click(kCancel);
    ASSERT_TRUE(waitDone());
}

}  // namespace
}  // namespace tv::app
