#include "catalog/suppliers.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QComboBox>
#include <QLineEdit>

#include "app/browse/browse_controller.h"
#include "app/browse/list_actions.h"
#include "app/browse/message_box.h"
#include "app/form/field_binding.h"
#include "app/form/form_buttons.h"
#include "app/form/form_controller.h"
#include "app/frame/procedures.h"
#include "app/globals.h"
#include "catalog/places.h"
#include "data/leftovers.h"
#include "data/thread_table_set.h"
#include "data/transaction.h"
#include "platform/errors/error_reporter.h"
#include "platform/qbe/qbe_window.h"
#include "platform/threads/logical_thread.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "platform/ui/resizer.h"
#include "platform/ui/window.h"

namespace tv::catalog {

using app::BrowseController;
using app::BrowseList;
using data::TableId;
using ui::ControlKind;
using ui::EventKind;
using namespace supplier_ui;

namespace {

constexpr int kMsgAddNew = 5;
constexpr int kMsgCancelChanges = 10;
constexpr int kExcelStack = 25000;
constexpr int kAddCity = 1, kAddState = 2, kContactForm = 3;

IniStore*& queryStore() {
    static IniStore* store = nullptr;
    return store;
}

std::vector<qbe::Field> supplierQueryFields() {
    using qbe::FieldType;
    return {
        {"PVD:Id", "Id", "@n_10", FieldType::Number, false},
        {"PVD:Codigo", "Código", "@s15", FieldType::Text, true},
        {"PVD:Nombre", "Nombre", "@s40", FieldType::Text, true},
        {"PVD:Nombre2", "Nombre 2", "@s40", FieldType::Text, true},
        {"PVD:NombreComercial", "Nombre Comercial", "@s40", FieldType::Text, true},
    };
}

// "&Filtrar" and "E&xcel" of the supplier list.
class SupplierListButtons : public app::WindowComponent {
public:
    explicit SupplierListButtons(BrowseController& c)
        : controller_(c), qbe_("BrowseProveedores", supplierQueryFields(), queryStore()) {}

    bool TakeEvent(app::WindowController&, const ui::WindowEvent& e) override {
        if (e.kind != EventKind::Accepted) return false;
        if (e.control == kFilter) {
            query();
            return true;
        }
        if (e.control == kExcel) {
            exportRows();
            return true;
        }
        return false;
    }

private:
    void query() { app::ApplyQueryByExample(controller_, qbe_, "qbe"); }

    void exportRows() { app::StartForSelected(controller_, kExcel, "FiltroExcelProv", kExcelStack); }

    BrowseController& controller_;
    qbe::QueryByExample qbe_;
};

// A drop list of place names that stores the chosen name as text in a
// field of the supplier. A typed text picks the first name that begins
// with it; a text no name begins with offers to add the place.
struct PlaceConfig {
    int control = 0;
    TableId table{};
    std::string nameField;     // "CIU:Nombre"
    std::string targetField;   // "PVD:CIUDAD"
    bool sorted = true;        // by name; false: the table's record order
    int addForm = 0;           // sub-procedure of the add form; 0: ask and insert at once
};

class PlaceDropList : public app::WindowComponent {
public:
    static constexpr std::size_t kTypedMost = 20;  // the typed part of the list

    PlaceDropList(app::FormController& form, PlaceConfig c) : form_(form), config_(std::move(c)) {
        nameField_ = data::decl(config_.table).fieldIndex(config_.nameField);
        targetField_ = data::decl(form.PrimaryId()).fieldIndex(config_.targetField);
    }

    void Attach() {
        QComboBox* combo = box();
        if (combo == nullptr) return;
        combo->setInsertPolicy(QComboBox::NoInsert);
        if (QLineEdit* edit = combo->lineEdit()) {
            // No length limit: it would cut a pasted name without a word;
            // a text too long is refused when the list is left.
            ui::Window* w = &form_.Win();
            const int n = config_.control;
            QObject::connect(edit, &QLineEdit::editingFinished, combo,
                             [w, n] { w->post(ui::WindowEvent{EventKind::Accepted, n}); });
        }
        QObject::connect(combo, &QComboBox::activated, combo, [w = &form_.Win(), n = config_.control](int) {
            w->post(ui::WindowEvent{EventKind::Accepted, n});
        });
    }

    void Load() {
        data::TableGateway& g = form_.Tables().gateway(config_.table);
        names_.clear();
        const int saved = g.SaveBuffer();
        if (g.SetPositionToStart() == data::kDone)
            while (g.ReadNextQuiet() == data::kDone) {
                // A place without a name is nothing to choose.
                std::string n(trim(g.BUFFER.get(nameField_).asText()));
                if (!n.empty()) names_.push_back(std::move(n));
            }
        g.RestoreBuffer(saved);
        if (config_.sorted)
            std::stable_sort(names_.begin(), names_.end(),
                             [](const std::string& a, const std::string& b) { return compareNoCase(a, b) < 0; });
        if (QComboBox* combo = box()) {
            const QSignalBlocker quiet(combo);
            combo->clear();
            for (const std::string& n : names_) combo->addItem(QString::fromStdString(n));
        }
        UpdateWindow();
    }

    const std::vector<std::string>& Names() const { return names_; }
    int Control() const { return config_.control; }
    // The place a saved supplier named (repeat the previous value).
    void Restore(const Record& last) {
        form_.Buffer().set(targetField_, last.get(targetField_));
        UpdateWindow();
    }
    // "Aceptar" takes the list as leaving it would; false: refused.
    bool AcceptFromPass() { return form_.ViewMode() || accept(); }

    bool TakeEvent(app::WindowController&, const ui::WindowEvent& e) override {
        if (e.kind != EventKind::Accepted || e.control != config_.control) return false;
        if (!form_.Closed() && !form_.ViewMode()) accept();
        return true;
    }
    void UpdateBuffers() override {
        // A text typed and not yet left is taken as leaving would take it,
        // without offering to add it.
        const std::string typed = text();
        if (typed.empty()) set("");
        else if (const std::string* n = match(typed)) set(*n);
    }
    void UpdateWindow() override {
        if (QComboBox* combo = box()) {
            const QSignalBlocker quiet(combo);
            const QString v = QString::fromStdString(std::string(rtrim(form_.Buffer().get(targetField_).asText())));
            combo->setCurrentIndex(combo->findText(v, Qt::MatchFixedString));
            combo->setEditText(v);
        }
    }

private:
    QComboBox* box() const {
        ui::Control* c = form_.Win().control(config_.control);
        return c != nullptr ? c->as<QComboBox>() : nullptr;
    }
    std::string text() const {
        ui::Control* c = form_.Win().control(config_.control);
        return c != nullptr ? std::string(trim(c->text().toStdString())) : std::string();
    }
    const std::string* match(const std::string& typed) const {
        for (const std::string& n : names_)
            if (n.size() >= typed.size() && compareNoCase(n.substr(0, typed.size()), typed) == 0) return &n;
        return nullptr;
    }
    void set(const std::string& name) { form_.Buffer().set(targetField_, Value(name)); }
    void refuse() {
        set("");
        UpdateWindow();
        if (ui::Control* c = form_.Win().control(config_.control)) c->focus();
    }

    bool accept() {
        const std::string typed = text();
        if (ui::Control* c = form_.Win().control(config_.control); c != nullptr && !form_.FitsOrRefuse(*c, kTypedMost))
            return false;
        if (typed.empty()) {
            set("");
            return true;
        }
        if (const std::string* n = match(typed)) {
            set(*n);
            UpdateWindow();
            return true;
        }
        if (!add(typed)) {
            refuse();
            return false;
        }
        Load();
        if (const std::string* n = match(typed)) {
            set(*n);
            UpdateWindow();
            return true;
        }
        refuse();
        return false;
    }

    // The typed name as a new place; false when none was added.
    bool add(const std::string& typed) {
        data::TableGateway& g = form_.Tables().gateway(config_.table);
        if (config_.addForm == 0) {
            if (ErrorReporter::instance().raise(kMsgAddNew) != Answer::Yes) return false;
            if (g.PrepareNewRecord() != data::kDone) return false;
            g.BUFFER.set(nameField_, Value(typed));
            if (g.InsertRecord() != data::kDone) {
                form_.Tables().relations(config_.table).CancelPendingInsert();
                return false;
            }
            return true;
        }
        if (g.PrepareNewRecord() != data::kDone) return false;
        g.BUFFER.set(nameField_, Value(typed));
        if (form_.CallSubProcedure(config_.addForm, tv::kInsert) == tv::kCompleted) return true;
        if (g.AUTOINCDONE != 0) form_.Tables().relations(config_.table).CancelPendingInsert();
        return false;
    }

    app::FormController& form_;
    PlaceConfig config_;
    int nameField_ = -1;
    int targetField_ = -1;
    std::vector<std::string> names_;
};

// Shows the highlighted contact's position and e-mail under the list.
class ContactDetails : public app::WindowComponent {
public:
    ContactDetails(app::FormController& form, BrowseList& list) : form_(form), list_(list) {}
    bool TakeEvent(app::WindowController&, const ui::WindowEvent&) override {
        refresh();
        return false;
    }
    void UpdateWindow() override { refresh(); }

private:
    void refresh() {
        const app::ListLine* line = list_.selectedLine();
        const int64_t row = line != nullptr ? line->row : -1;
        if (row == shown_) return;
        shown_ = row;
        QString puesto, email;
        if (line != nullptr && list_.ReadSelected()) {
            const Record& r = form_.Tables().buffer(TableId::ContProv);
            const data::TableDecl& d = data::decl(TableId::ContProv);
            puesto = QString::fromStdString(std::string(rtrim(r.get(d.fieldIndex("CPV:Puesto")).asText())));
            email = QString::fromStdString(std::string(rtrim(r.get(d.fieldIndex("CPV:Email")).asText())));
        }
        form_.Win().at(kPuesto).setText(puesto);
        form_.Win().at(kContactEmail).setText(email);
    }

    app::FormController& form_;
    BrowseList& list_;
    int64_t shown_ = -2;
};

// While a new supplier is being added, its contacts are stored under a
// code of their own, unique to this insert (no typed code can hold it), so
// that the contacts tab lists them and nobody else's, whatever code is
// typed meanwhile; the form gives them the saved code when it completes
// and deletes them when the insert is cancelled.
struct PendingContactOwner {
    std::string code;
};
std::string& contactOwnerOverride() { return threads::perThread<PendingContactOwner>().code; }

std::string pendingContactOwner() {
    data::TableGateway& g = data::tables().gateway(TableId::Proveedores);
    if (g.AUTOINCDONE != 0 && g.file() != nullptr && g.file()->hasReservation())
        return data::PendingChildCode(g.file()->reservedRow());
    static long long serial = 0;
    return "\x01t" + std::to_string(threads::current()) + "." + std::to_string(++serial);
}

// The supplier form: the template form plus the contacts list and the
// place tables its drop lists read.
class SupplierForm : public app::FormController {
public:
    SupplierForm(ui::Window& w, std::string pendingOwner)
        : FormController("UpdateProveedores", w, TableId::Proveedores), pendingOwner_(std::move(pendingOwner)) {}

    void AddContacts(app::BrowseListSetup setup) {
        contacts_ = std::make_unique<BrowseList>(*this, std::move(setup));
        contacts_->ASKPROCEDURE = kContactForm;
        contacts_->USEPOPUP = 0;
        AddComponent(contacts_.get());
        details_ = std::make_unique<ContactDetails>(*this, *contacts_);
        AddComponent(details_.get());
    }
    void AddPlace(PlaceDropList& p) {
        places_.push_back(&p);
        AddComponent(&p);
    }

    int OnCompleted() override {
        if (Closed() || REQUEST != kInsert || pendingOwner_.empty()) return FormController::OnCompleted();
        const int r = FormController::OnCompleted();
        if (RESPONSE == kCompleted) rekeyContacts();
        return r;
    }
    int OnCloseRequest() override {
        if (Closed() || REQUEST != kInsert || RESPONSE == kCompleted || PRIMARY == nullptr || pendingOwner_.empty())
            return FormController::OnCloseRequest();
        // The question first, as the template asks it; then the contacts.
        if (CANCELACTION == 2 && RecordChanged() &&
            ErrorReporter::instance().raise(kMsgCancelChanges) != Answer::Yes) {
            FocusFirstField();
            return 0;
        }
        dropOwnContacts();
        const uint8_t action = CANCELACTION;
        CANCELACTION = 0;
        const int r = FormController::OnCloseRequest();
        CANCELACTION = action;
        return r;
    }
    int TearDown() override {
        // Only a form that got past its set-up has contacts of its own: a
        // start refused because the form is open elsewhere touches none.
        if (REQUEST == kInsert && RESPONSE != kCompleted && ownerSet_) dropOwnContacts();
        ownerGuard_.reset();
        return FormController::TearDown();
    }

protected:
    void OpenTables() override {
        FormController::OpenTables();
        for (TableId t : {TableId::Ciudades, TableId::ContProv, TableId::Estados, TableId::Paises})
            Tables().relations(t).OpenWithRelated();
        placesOpen_ = true;
    }
    void CloseTables() override {
        if (placesOpen_)
            for (TableId t : {TableId::Paises, TableId::Estados, TableId::ContProv, TableId::Ciudades})
                Tables().relations(t).CloseWithRelated();
        placesOpen_ = false;
        FormController::CloseTables();
    }
    int SetUpBeforeOpen() override {
        const int r = FormController::SetUpBeforeOpen();
        if (r != 0) return r;
        if (REQUEST == kInsert && !pendingOwner_.empty()) {
            // Contacts left under this insert's own code by an insert that
            // never ended (the program stopped) belong to no supplier.
            dropOwnContacts();
            ownerGuard_.emplace(pendingOwner_);
            ownerSet_ = true;
        }
        return contacts_->SetUpView(Tables()) ? 0 : 4;
    }
    void SetUpAfterOpen() override {
        for (PlaceDropList* p : places_) {
            p->Attach();
            p->Load();
        }
        contacts_->SetUpControl();
        FormController::SetUpAfterOpen();
        // The contacts still scroll in view mode.
        if (ViewMode()) Win().at(kContacts).setDisabled(false);
    }
    void RegisterAlertKeys() override {
        FormController::RegisterAlertKeys();
        if (!ViewMode())
            for (PlaceDropList* p : places_) Win().alertKey(HISTORYKEY, p->Control());
    }
    // Ctrl+H in a place list brings back the place of the supplier last
    // saved through this form on this thread.
    void RestoreFromHistory() override {
        ui::Control* focused = Win().focusedControl();
        for (PlaceDropList* p : places_) {
            if (focused == nullptr || p->Control() != focused->number()) continue;
            if (ViewMode() || Closed()) return;
            if (const Record* last = app::DittoStore::current().last(Name())) p->Restore(*last);
            return;
        }
        FormController::RestoreFromHistory();
    }
    bool AcceptControl(ui::Control& c) override {
        for (PlaceDropList* p : places_)
            if (p->Control() == c.number()) return HiddenOnItsOwn(c) || c.disabled() || p->AcceptFromPass();
        return FormController::AcceptControl(c);
    }

private:
    // Sets the contact form's owner for the run of this form.
    class OwnerGuard {
    public:
        explicit OwnerGuard(const std::string& owner) : before_(contactOwnerOverride()) {
            contactOwnerOverride() = owner;
        }
        ~OwnerGuard() { contactOwnerOverride() = before_; }
        OwnerGuard(const OwnerGuard&) = delete;
        OwnerGuard& operator=(const OwnerGuard&) = delete;

    private:
        std::string before_;
    };

    // The rows of the contacts stored under this insert's own code.
    std::vector<int64_t> ownContacts() {
        std::vector<int64_t> rows;
        data::TableGateway& g = Tables().gateway(TableId::ContProv);
        const int saved = g.SaveBuffer();
        const int key = g.declaration().keyIndex("CPV:KeyProveedor");
        g.BUFFER.clear();
        g.BUFFER.set(ownerField_, Value(pendingOwner_));
        if (g.SetPositionByKey(key) == data::kDone)
            while (g.ReadNextQuiet() == data::kDone &&
                   std::string(trim(g.BUFFER.get(ownerField_).asText())) == pendingOwner_)
                rows.push_back(g.file()->currentRow());
        g.RestoreBuffer(saved);
        return rows;
    }
    void dropOwnContacts() {
        data::TableGateway& g = Tables().gateway(TableId::ContProv);
        const int saved = g.SaveBuffer();
        for (int64_t row : ownContacts())
            if (g.ReadByRow(row) == data::kDone) g.DeleteCurrentRecord(false);
        g.RestoreBuffer(saved);
    }
    // The supplier is stored: its contacts take its code.
    void rekeyContacts() {
        const std::vector<int64_t> rows = ownContacts();
        if (rows.empty()) return;
        const Value code = Buffer().get(data::decl(TableId::Proveedores).fieldIndex("PVD:Codigo"));
        data::TableGateway& g = Tables().gateway(TableId::ContProv);
        const int saved = g.SaveBuffer();
        {
            data::DataTransaction unit(Tables());
            bool all = unit.ok();
            for (int64_t row : rows) {
                if (!all) break;
                all = g.ReadByRow(row) == data::kDone;
                g.BUFFER.set(ownerField_, code);
                all = all && g.UpdateRecordQuiet() == data::kDone;
            }
            if (all) unit.commit();
            else unit.rollback();
        }
        g.RestoreBuffer(saved);
        if (g.LASTERROR != 0) g.ShowLastError();
    }

    int ownerField_ = data::decl(TableId::ContProv).fieldIndex("CPV:PROVEEDOR");
    std::string pendingOwner_;
    std::optional<OwnerGuard> ownerGuard_;
    bool ownerSet_ = false;
    std::unique_ptr<BrowseList> contacts_;
    std::unique_ptr<ContactDetails> details_;
    std::vector<PlaceDropList*> places_;
    bool placesOpen_ = false;
};

void tip(ui::Control& c, const char* text) { app::SetTipAndStatus(c, text); }

}  // namespace

void SetSupplierQueryStore(IniStore* store) { queryStore() = store; }

void BrowseProveedores() {
    app::StandardBrowseSetup b;
    b.procedure = "BrowseProveedores";
    b.caption = QStringLiteral("Proveedores");
    b.listTip = QStringLiteral("Proveedores registrados");
    b.size = QSize(860, 400);
    b.list.primary = TableId::Proveedores;
    b.list.format =
        "46R(1)|M*~Id~@n_10@64L(2)|M*~Código~@s15@165L(2)|M*~Nombre~@s40@163L(2)|M*~Nombre 2~@s40@80L(2)|M*~Nombre "
        "Comercial~@s40@";
    b.list.columns = {{"PVD:Id"}, {"PVD:Codigo"}, {"PVD:Nombre"}, {"PVD:Nombre2"}, {"PVD:NombreComercial"}};
    // Orders Código, Nombre, Nombre Comercial, Id: the first tab shows the
    // last order, the others the rest in turn.
    b.list.orders = {
        {"PVD:KeyCodigo", app::ScrollStepKind::Text, "PVD:Codigo", app::LocatorKind::Entry, kLocateCode},
        {"PVD:KeyNombreProveedor", app::ScrollStepKind::Text, "PVD:Nombre", app::LocatorKind::Entry, kLocateName},
        {"PVD:KeyComercial", app::ScrollStepKind::Text, "PVD:NombreComercial", app::LocatorKind::Entry, kLocateTrade},
        {"PVD:KeyId", app::ScrollStepKind::Integer, "PVD:Id", app::LocatorKind::None},  // "Por Id": no locator
    };
    b.list.findColumns =
        "Id|@n_10|pvd:Id|Código|@s15|pvd:Codigo|Nombre|@s40|pvd:Nombre|Nombre 2|@s40|pvd:Nombre2|Nombre "
        "Comercial|@s40|pvd:NombreComercial|";
    b.list.buttons.query = kFilter;
    b.tabs = {QStringLiteral("Por Id"), QString::fromUtf8("Por Código"), QStringLiteral("Por Nombre"),
              QStringLiteral("Por Nombre Comercial")};
    b.selectButton = true;
    b.hideSelect = true;  // shown in select mode only
    b.form = UpdateProveedores;
    std::unique_ptr<SupplierListButtons> extras;
    b.prepare = [&extras](BrowseController& c, ui::Window& w) {
        const QRect listAt = w.at(app::kBrowseList).position();
        w.at(app::kBrowseList).setPosition(QRect(listAt.x(), listAt.y() + 30, listAt.width(), listAt.height() - 30));
        struct Locator {
            int tab, prompt, entry, width;
            const char* tip;
        };
        for (const Locator& l :
             {Locator{app::kBrowseFirstTab + 1, kLocateCodePrompt, kLocateCode, 120, "Código único"},
              Locator{app::kBrowseFirstTab + 2, kLocateNamePrompt, kLocateName, 300, "Nombre del proveedor a localizar"},
              Locator{app::kBrowseFirstTab + 3, kLocateTradePrompt, kLocateTrade, 300,
                      "Nombre comercial del proveedor"}}) {
            w.add({ControlKind::Prompt, l.prompt, "?Locator" + std::to_string(l.entry) + ":Prompt",
                   QStringLiteral("&Localizar:"), QRect(8, 6, 70, 20), l.tab});
            ui::Control& e = w.add({ControlKind::Entry, l.entry, "?Locator" + std::to_string(l.entry), {},
                                    QRect(80, 4, l.width, 22), l.tab});
            tip(e, l.tip);
        }
        tip(w.at(app::kBrowseSelect), "Elegir proveedor");
        // After the standard buttons, before "Cerrar": none covers another.
        const QRect last = w.at(app::kBrowseDelete).position();
        const int y = last.y();
        const int x = last.right() + 5;
        ui::Control& filter =
            w.add({ControlKind::Button, kFilter, "?QUERY", QStringLiteral("&Filtrar"), QRect(x, y, 80, 28)});
        tip(filter, "Aplicar filtro a la tabla");
        filter.setIcon(ui::programIcon("QkQBE.ico"));
        ui::Control& excel =
            w.add({ControlKind::Button, kExcel, "?BUTTON8", QStringLiteral("E&xcel"), QRect(x + 84, y, 80, 28)});
        tip(excel, "Convertir datos a Excel");
        excel.setIcon(ui::programIcon("EXCEL.ICO"));
        // The right is read once, as the window opens, in select mode too.
        if (app::globals().UserPermissions[kRightSupplierExcel] == 0) excel.setDisabled(true);
        extras = std::make_unique<SupplierListButtons>(c);
        c.AddComponent(extras.get());
    };
    app::RunStandardBrowse(b);
}

void UpdateProveedores() {
    ui::Window w(QStringLiteral("Form Proveedores"), QSize(460, 400), ui::Window::Placement::FrameChild);
    w.add({ControlKind::Sheet, kSheet, "?CURRENTTAB", {}, QRect(4, 4, 452, 350)});
    w.add({ControlKind::Tab, kTabData, "?TAB:1", QStringLiteral("Datos"), {}, kSheet});
    struct Field {
        int prompt;
        const char* promptText;
        int entry;
        const char* name;
        const char* tipText;
        int width;
    };
    const Field fields[] = {
        {kCodePrompt, "Código:", kCode, "?PVD:CODIGO", "Código único", 120},
        {kNamePrompt, "&Nombre:", kName, "?PVD:NOMBRE", "Nombre del proveedor", 300},
        {0, nullptr, kName2, "?PVD:NOMBRE2", "Nombre del proveedor", 300},
        {kTradePrompt, "Nombre comercial:", kTrade, "?PVD:NOMBRECOMERCIAL", "Nombre comercial del proveedor", 300},
        {kAddressPrompt, "&Direccion:", kAddress, "?PVD:DIRECCION", "Domicilio del proveedor", 300},
        {0, nullptr, kAddress2, "?PVD:DIRECCION2", "Domicilio del proveedor", 300},
    };
    int y = 8;
    for (const Field& f : fields) {
        if (f.prompt != 0)
            w.add({ControlKind::Prompt, f.prompt, std::string(f.name) + ":PROMPT", QString::fromUtf8(f.promptText),
                   QRect(8, y, 128, 20), kTabData});
        tip(w.add({ControlKind::Entry, f.entry, f.name, {}, QRect(140, y, f.width, 22), kTabData}), f.tipText);
        y += 26;
    }
    ui::Control& city = w.add({ControlKind::DropCombo, kCity, "?PVD:CIUDAD", {}, QRect(140, y, 200, 22), kTabData});
    city.setStatusText(QStringLiteral("Ciudad del proveedor"));
    w.add({ControlKind::Prompt, kCityPrompt, "?PROMPT5", QStringLiteral("C&iudad:"), QRect(8, y, 128, 20), kTabData});
    y += 26;
    ui::Control& state = w.add({ControlKind::DropCombo, kState, "?PVD:ESTADO", {}, QRect(140, y, 200, 22), kTabData});
    state.setTip(QStringLiteral("Nombre del estado"));
    w.add({ControlKind::Prompt, kStatePrompt, "?PROMPT6", QStringLiteral("E&stado:"), QRect(8, y, 128, 20), kTabData});
    y += 26;
    w.add({ControlKind::Prompt, kCountryPrompt, "?PROMPT7", QString::fromUtf8("País:"), QRect(8, y, 110, 20),
           kTabData});
    ui::Control& country =
        w.add({ControlKind::DropCombo, kCountry, "?PVD:PAIS", {}, QRect(140, y, 200, 22), kTabData});
    country.setTip(QString::fromUtf8("Nombre del país"));
    y += 26;
    const Field more[] = {
        {kZipPrompt, "CP:", kZip, "?PVD:CP", "Código postal", 90},
        {kRfcPrompt, "&R F C:", kRfc, "?PVD:RFC", "Registro Federal de Causantes", 160},
        {kEmailPrompt, "e-&mail:", kEmail, "?PVD:EMAIL", "Dirección de correo electrónico", 300},
    };
    for (const Field& f : more) {
        w.add({ControlKind::Prompt, f.prompt, std::string(f.name) + ":PROMPT", QString::fromUtf8(f.promptText),
               QRect(8, y, 128, 20), kTabData});
        tip(w.add({ControlKind::Entry, f.entry, f.name, {}, QRect(140, y, f.width, 22), kTabData}), f.tipText);
        y += 26;
    }
    w.add({ControlKind::Tab, kTabContacts, "?TAB2", QStringLiteral("Contactos"), {}, kSheet});
    tip(w.add({ControlKind::List, kContacts, "?LIST", {}, QRect(8, 8, 430, 220), kTabContacts}),
        "Contactos del proveedor");
    w.add({ControlKind::FixedText, kPuestoLabel, "?STRING1", QStringLiteral("Puesto:"), QRect(8, 236, 60, 20),
           kTabContacts});
    w.add({ControlKind::DisplayString, kPuesto, "?CPV:PUESTO", {}, QRect(70, 236, 300, 20), kTabContacts});
    w.add({ControlKind::FixedText, kEmailLabel, "?STRING3", QStringLiteral("e-mail:"), QRect(8, 258, 60, 20),
           kTabContacts});
    w.add({ControlKind::DisplayString, kContactEmail, "?CPV:EMAIL", {}, QRect(70, 258, 360, 20), kTabContacts});
    struct Button {
        int n;
        const char* name;
        const char* text;
        const char* tipText;
        const char* icon;
    };
    int x = 8;
    for (const Button& b : {Button{kContactInsert, "?INSERT", "&Agregar", "Agregar contacto", "WAINSERT.ICO"},
                            Button{kContactChange, "?CHANGE", "&Cambiar", "Modificar datos del contcto", "WAChange.ICO"},
                            Button{kContactDelete, "?DELETE", "&Borrar", "Eliminar contacto", "WADELETE.ICO"}}) {
        ui::Control& c = w.add({ControlKind::Button, b.n, b.name, QString::fromUtf8(b.text), QRect(x, 284, 84, 28),
                                kTabContacts});
        tip(c, b.tipText);
        c.setIcon(ui::programIcon(b.icon));
        x += 88;
    }
    app::AddOkCancel(w, kOk, kCancel, QRect(278, 362, 86, 28));

    // A new supplier's contacts are kept under a code of this insert until
    // it is saved (contactOwnerOverride).
    const bool inserting = threadState().callRequest == kInsert;
    const std::string pendingOwner = inserting ? pendingContactOwner() : std::string();
    SupplierForm form(w, pendingOwner);
    form.SetOkCancel(kOk, kCancel);
    form.SetFirstField(kCodePrompt);
    // Required, and no longer than every table that refers to a supplier
    // can hold (a purchase order keeps 10 characters of it).
    form.Bind(kCode, "PVD:Codigo", "s" + std::to_string(kSupplierCodeWidth),
              {.required = true, .readOnlyOnChange = true});
    form.Bind(kName, "PVD:Nombre", "s40");
    form.Bind(kName2, "PVD:Nombre2", "s40");
    form.Bind(kTrade, "PVD:NombreComercial", "s40");
    form.Bind(kAddress, "PVD:DIRECCION", "s40");
    form.Bind(kAddress2, "PVD:DIRECCION2", "s40");
    form.Bind(kZip, "PVD:CP", "s10");
    form.Bind(kRfc, "PVD:RFC", "s20");
    form.Bind(kEmail, "PVD:EMAIL", "s200");
    PlaceDropList cities(form, {kCity, TableId::Ciudades, "CIU:Nombre", "PVD:CIUDAD", true, kAddCity});
    PlaceDropList states(form, {kState, TableId::Estados, "EST:Nombre", "PVD:ESTADO", true, kAddState});
    PlaceDropList countries(form, {kCountry, TableId::Paises, "PAI:Nombre", "PVD:PAIS", false, 0});
    form.AddPlace(cities);
    form.AddPlace(states);
    form.AddPlace(countries);
    form.SetSubProcedure(kAddCity, [] { UpdateCiudades(); });
    form.SetSubProcedure(kAddState, [] { UpdateEstados(); });
    form.SetSubProcedure(kContactForm, [] { UpdateContactoProv(); });

    app::BrowseListSetup contacts;
    contacts.listControl = kContacts;
    contacts.primary = TableId::ContProv;
    contacts.format = "120L(2)|M*~Nombre~@s30@120L(2)|M*~Télefono~@s30@";
    contacts.columns = {{"CPV:Nombre"}, {"CPV:Telefono"}};
    app::BrowseOrderSetup byCode("CPV:KeyProveedor", app::ScrollStepKind::Text, "");
    if (inserting) {
        byCode.rangeField = "CPV:PROVEEDOR";
        byCode.rangeValue = Value(pendingOwner);
    } else {
        byCode.rangeHeader = TableId::Proveedores;
    }
    contacts.orders = {byCode};
    contacts.findColumns = "Nombre|@s30|cpv:Nombre|Télefono|@s30|cpv:Telefono|";
    contacts.buttons.insert = kContactInsert;
    contacts.buttons.change = kContactChange;
    contacts.buttons.del = kContactDelete;
    form.AddContacts(std::move(contacts));
    app::RunProcedure(form);
}

void UpdateContactoProv() {
    // The contact belongs to the supplier the supplier form shows now (a
    // supplier being added: to that insert, until it is saved).
    data::ThreadTableSet& tables = data::tables();
    data::TableRelations& suppliers = tables.relations(TableId::Proveedores);
    suppliers.OpenWithRelated();
    {
        const data::TableDecl& pd = data::decl(TableId::Proveedores);
        const data::TableDecl& cd = data::decl(TableId::ContProv);
        const std::string& pending = contactOwnerOverride();
        tables.buffer(TableId::ContProv)
            .set(cd.fieldIndex("CPV:PROVEEDOR"),
                 pending.empty() ? tables.buffer(TableId::Proveedores).get(pd.fieldIndex("PVD:Codigo"))
                                 : Value(pending));
    }
    // The sheet tall enough that its tab bar leaves the four entries whole.
    ui::Window w(QStringLiteral("Form ContProv"), QSize(380, 200), ui::Window::Placement::FrameChild);
    w.add({ControlKind::Sheet, kCSheet, "?CURRENTTAB", {}, QRect(4, 4, 372, 150)});
    w.add({ControlKind::Tab, kCTab, "?TAB:1", QStringLiteral("Datos"), {}, kCSheet});
    struct Field {
        int prompt;
        const char* promptText;
        int entry;
        const char* name;
        const char* tipText;
    };
    int y = 8;
    for (const Field& f : {Field{kCNamePrompt, "&Nombre:", kCName, "?CPV:NOMBRE", "Nombre del contacto"},
                           Field{kCPuestoPrompt, "&Puesto:", kCPuesto, "?CPV:PUESTO", "Puesto que ocupa el contacto"},
                           Field{kCPhonePrompt, "&Telefono:", kCPhone, "?CPV:TELEFONO",
                                 "Número telefónico del contacto"},
                           Field{kCEmailPrompt, "&email:", kCEmail, "?CPV:EMAIL",
                                 "Dirección de correo electrónico del contacto"}}) {
        w.add({ControlKind::Prompt, f.prompt, std::string(f.name) + ":PROMPT", QString::fromUtf8(f.promptText),
               QRect(8, y, 90, 20), kCTab});
        tip(w.add({ControlKind::Entry, f.entry, f.name, {}, QRect(100, y, 260, 22), kCTab}), f.tipText);
        y += 28;
    }
    app::AddOkCancel(w, kCOk, kCCancel, QRect(196, 164, 86, 28));

    app::FormController form("UpdateContactoProv", w, TableId::ContProv);
    form.SetOkCancel(kCOk, kCCancel);
    form.SetFirstField(kCNamePrompt);
    form.Bind(kCName, "CPV:Nombre", "s30");
    form.Bind(kCPuesto, "CPV:PUESTO", "s30");
    form.Bind(kCPhone, "CPV:Telefono", "s30");
    form.Bind(kCEmail, "CPV:EMAIL", "s50");
    app::RunProcedure(form);
    suppliers.CloseWithRelated();
}

}  // namespace tv::catalog
