#include "app/users/users.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <QCheckBox>

#include "app/browse/browse_controller.h"
#include "app/folios/folios.h"
#include "app/form/field_binding.h"
#include "app/form/form_controller.h"
#include "app/frame/procedures.h"
#include "app/login/login.h"
#include "app/login/password.h"
#include "data/thread_table_set.h"
#include "platform/storage/storage.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "platform/ui/resizer.h"
#include "platform/ui/window.h"

namespace tv::app {

namespace {

using ui::ControlKind;

struct RightColumn {
    const char* head;
    std::vector<std::pair<int, const char*>> rights;
};

const std::vector<RightColumn>& rightColumns() {
    static const std::vector<RightColumn> c = {
        {"Tablas:",
         {{1, "Artículos"}, {2, "Proveedores"}, {3, "Marcas"}, {4, "Unidades de medida"},
          {5, "Categorías de productos"}, {6, "Ciudades"}, {7, "Estados"}, {8, "Países"}, {9, "Departamentos"},
          {10, "Tipos de entradas"}, {11, "Tipos de salidas"}, {12, "Almacenes"}}},
        {"Captura:", {{20, "Ordenes de compra"}, {21, "Entradas de almacén"}, {22, "Salidas de almacén"}, {23, "Inventario físico"}}},
        {"Consultas:",
         {{30, "Existencias"}, {31, "Kardex"}, {32, "Artículos por surtir"}, {33, "Precios por proveedor"},
          {34, "Inventario llantas"}, {35, "Inventario refacciones"}}},
        {"Reportes:", {{40, "Existencias"}, {41, "Kardex"}, {42, "Artículos por surtir"}, {43, "Valor del inventario"}}},
        {"Datos del sistema:", {{50, "Folios"}, {51, "Usuarios"}}},
        {"Procesos:", {{60, "Cierre"}, {61, "Conversiones"}}},
    };
    return c;
}

int field(const char* name) { return data::decl(data::TableId::usuarios).fieldIndex(name); }

// ----------------------------------------------------------------- LoginAdminstrador

class AdminLoginController : public WindowController {
public:
    using WindowController::WindowController;

    int OnAccepted(int control) override {
        WindowController::OnAccepted(control);  // a close button: the window closes after this
        if (control != kAdmOk) return 0;
        const std::string name = Win().at(kAdmName).text().toStdString();
        const std::string password = Win().at(kAdmPassword).text().toStdString();
        // Anyone else is turned away without a word.
        if (IsAdministrator(name, password)) BrowseUsuarios();
        return 0;
    }
};

// ----------------------------------------------------------------- Updateusuarios

// The parts of a user that are no plain entry: the password (typed in
// clear, stored as its hash), the administrator mark and the rights.
class UserExtras : public WindowComponent {
public:
    explicit UserExtras(FormController& form)
        : form_(form), stored_(form.Buffer().text(field("USU:PASSWORD"))) {}

    void UpdateWindow() override {
        const Record& r = form_.Buffer();
        // The record shown anew (another station's version after a refused
        // write) brings its own stored password; the hash of what is typed
        // here is not one.
        const std::string& pw = r.text(field("USU:PASSWORD"));
        if (!hash_ || rtrim(pw) != rtrim(*hash_)) stored_ = pw;
        if (QCheckBox* b = box(kUfAdministrator)) b->setChecked(r.raw(field("USU:ADMINISTRADOR")) != 0);
        for (int n : EditableRights())
            if (QCheckBox* b = box(kUsuRightBase + n)) b->setChecked(r.raw(data::permisoField(n)) != 0);
    }

    void UpdateBuffers() override {
        if (form_.ViewMode()) return;
        Record& r = form_.Buffer();
        if (QCheckBox* b = box(kUfAdministrator)) r.setRaw(field("USU:ADMINISTRADOR"), b->isChecked() ? 1 : 0);
        for (int n : EditableRights())
            if (QCheckBox* b = box(kUsuRightBase + n)) r.setRaw(data::permisoField(n), b->isChecked() ? 1 : 0);
        const std::string typed(rtrim(form_.Win().at(kUfPassword).text().toStdString()));
        if (typed.empty()) {
            // Nothing typed: the password stays as stored.
            r.setText(field("USU:PASSWORD"), stored_);
            return;
        }
        // Hashing is slow on purpose: done once per typed text.
        if (!hash_ || typed != hashedText_) {
            hash_ = HashPassword(typed);
            hashedText_ = typed;
        }
        r.setText(field("USU:PASSWORD"), *hash_);
    }

private:
    QCheckBox* box(int control) const {
        ui::Control* c = form_.Win().control(control);
        return c != nullptr ? c->as<QCheckBox>() : nullptr;
    }

    FormController& form_;
    std::string stored_;
    std::optional<std::string> hash_;
    std::string hashedText_;
};

// The stored users as the database holds them now, seen from one of them:
// whether that one is an administrator and how many others are.
struct Administrators {
    bool target = false;
    int others = 0;
};

Administrators CountAdministrators(data::ThreadTableSet& set, const std::function<bool(int64_t row, const Record&)>& isTarget) {
    Administrators a;
    storage::Table t(set.connection(), data::storageDef(data::TableId::usuarios));
    Record r(data::decl(data::TableId::usuarios).layout);
    t.setOrder(storage::Table::kRecordOrder);
    while (t.next(r).ok()) {
        if (r.raw(field("USU:ADMINISTRADOR")) == 0) continue;
        if (isTarget(t.currentRow(), r)) a.target = true;
        else ++a.others;
    }
    return a;
}

void RefuseLastAdministrator(const std::string& what) {
    MessageBox box;
    box.caption = kLastAdministratorCaption;
    box.text = what + ": es el único administrador del sistema, y sin él nadie podría administrar los usuarios.";
    box.buttons = MessageBox::Buttons::Ok;
    box.preset = Answer::Ok;
    box.icon = MessageBox::Icon::Warning;
    if (MessagePresenter* p = ErrorReporter::instance().presenter()) p->show(box);
    else std::fprintf(stderr, "%s: %s\n", box.caption.c_str(), box.text.c_str());
}

class UserForm : public FormController {
public:
    UserForm(ui::Window& w) : FormController("Updateusuarios", w, data::TableId::usuarios), extras_(*this) {
        AddComponent(&extras_);
    }

    // A password longer than the entry takes is refused whole: cut, the
    // user would not know the password he saved.
    bool AcceptControl(ui::Control& c) override {
        if (c.number() == kUfPassword && !ViewMode() && !FitsOrRefuse(c, kPasswordChars)) return false;
        return FormController::AcceptControl(c);
    }

    // The last administrator is never deleted (the user administration
    // would be locked for good): said before the delete is even asked.
    int PrepareRequest() override {
        if (REQUEST == kDelete && DELETEACTION == 2) {
            const std::string name(rtrim(Buffer().text(field("USU:Nombre"))));
            const Administrators a = CountAdministrators(Tables(), [&](int64_t, const Record& r) {
                return compareNoCase(rtrim(r.text(field("USU:Nombre"))), name) == 0;
            });
            if (a.target && a.others == 0) {
                RefuseLastAdministrator("No puede borrarse a " + name);
                RESPONSE = kCancelled;
                return kSetUpNotNeeded;
            }
        }
        return FormController::PrepareRequest();
    }

    int OnCompleted() override {
        if (Closed()) return 0;
        UpdateComponents();
        if (REQUEST == kChange && Buffer().raw(field("USU:ADMINISTRADOR")) == 0 && Gateway().file() != nullptr &&
            Gateway().file()->hasCurrent()) {
            // Nor does he lose his mark (the database refuses it too, should
            // two stations try it at once).
            const int64_t row = Gateway().file()->currentRow();
            const Administrators a =
                CountAdministrators(Tables(), [row](int64_t r, const Record&) { return r == row; });
            if (a.target && a.others == 0) {
                RefuseLastAdministrator("No puede quitarse la marca \"Administrador\" a " +
                                        std::string(rtrim(Buffer().text(field("USU:Nombre")))));
                if (VCRREQUEST != nullptr) *VCRREQUEST = 0;
                Win().at(kUfAdministrator).focus();
                return 0;
            }
        }
        // A new user saved without a password has the blank password.
        const int pw = field("USU:PASSWORD");
        if (REQUEST == kInsert && rtrim(Buffer().text(pw)).empty()) Buffer().setText(pw, HashPassword(""));
        return FormController::OnCompleted();
    }

    void RegisterAlertKeys() override {
        FormController::RegisterAlertKeys();
        if (!ViewMode()) Win().alertKey(HISTORYKEY, kUfAdministrator);
    }

    // The administrator mark is repeated like the entries.
    void RestoreFromHistory() override {
        ui::Control* f = Win().focusedControl();
        if (f == nullptr || f->number() != kUfAdministrator) {
            FormController::RestoreFromHistory();
            return;
        }
        if (ViewMode() || Closed()) return;
        const Record* last = DittoStore::current().last(Name());
        if (last == nullptr) return;
        if (auto* b = f->as<QCheckBox>()) b->setChecked(last->raw(field("USU:ADMINISTRADOR")) != 0);
    }

private:
    UserExtras extras_;
};

}  // namespace

const std::vector<int>& EditableRights() {
    static const std::vector<int> v = [] {
        std::vector<int> out;
        for (const RightColumn& c : rightColumns())
            for (const auto& r : c.rights) out.push_back(r.first);
        return out;
    }();
    return v;
}

bool IsAdministrator(std::string_view name, std::string_view password) {
    data::TableGateway& g = data::tables().usuariosTableGateway();
    if (g.OpenTable() != data::kDone) return false;
    struct Closer {
        data::TableGateway& g;
        ~Closer() { g.CloseTable(); }
    } closer{g};
    Record& usu = g.BUFFER;
    usu.clear();
    usu.setText(field("USU:Nombre"), name);
    if (g.ReadByKey("USU:KeyNombre") != data::kDone) return false;
    return usu.raw(field("USU:ADMINISTRADOR")) != 0 && PasswordMatches(usu.text(field("USU:PASSWORD")), password);
}

void LoginAdminstrador() {
    ui::Window w(QStringLiteral("Acceso"), QSize(300, 170));
    BuildAccessWindow(w);
    // No length limit on the entries: a pasted text cut to the field could
    // admit a longer password that merely begins with a stored one. Taken
    // whole, a text too long matches nobody.

    AdminLoginController c("LoginAdminstrador", w);
    c.FIRSTFIELD = kAdmNamePrompt;
    c.OkButton = kAdmOk;
    c.CancelButton = kAdmCancel;
    c.CloseButtons = {kAdmOk, kAdmCancel};
    RunProcedure(c);
}

void BrowseUsuarios() {
    const int W = 360, H = 320, buttonsY = H - 36;
    ui::Window w(QStringLiteral("Usuarios del sistema"), QSize(W, H), ui::Window::Placement::FrameChild);
    w.add({ControlKind::Sheet, kUsuSheet, "?CURRENTTAB", {}, QRect(4, 4, W - 8, buttonsY - 10)});
    w.add({ControlKind::Tab, kUsuTab, "?TAB:2", QStringLiteral("Por nombre"), {}, kUsuSheet});
    ui::Control& list = w.add({ControlKind::List, kUsuList, "?BROWSE:1", {}, QRect(12, 32, W - 24, buttonsY - 46)});
    list.setTip(QStringLiteral("Usuarios registrados"));
    struct B {
        int control;
        const char* name;
        const char* text;
        const char* tip;
        const char* icon;
    };
    const B buttons[] = {
        {kUsuInsert, "?INSERT:3", "&Agregar", "Agregar usuario", "WAINSERT.ICO"},
        {kUsuChange, "?CHANGE:3", "&Cambiar", "Cambiar usuario", "WAChange.ICO"},
        {kUsuDelete, "?DELETE:3", "&Borrar", "Eliminar usuario", "WADELETE.ICO"},
    };
    int x = 8;
    for (const B& b : buttons) {
        ui::Control& c = w.add({ControlKind::Button, b.control, b.name, QString::fromUtf8(b.text), QRect(x, buttonsY, 84, 28)});
        c.setTip(QString::fromUtf8(b.tip));
        c.setIcon(ui::programIcon(b.icon));
        x += 88;
    }
    ui::Control& close =
        w.add({ControlKind::Button, kUsuClose, "?CLOSE", QStringLiteral("Cerrar"), QRect(W - 92, buttonsY, 84, 28)});
    close.setTip(QStringLiteral("Cierra la ventana"));
    close.setIcon(ui::programIcon("WAClose.ico"));

    BrowseListSetup ls;
    ls.listControl = kUsuList;
    ls.primary = data::TableId::usuarios;
    ls.format = "80L(2)|M*~Nombre~@s30@";
    ls.columns = {{"USU:Nombre"}};
    ls.orders = {{"USU:KeyNombre", ScrollStepKind::Text, "USU:Nombre"}};
    ls.findColumns = "Nombre|@s30|USU:Nombre|";
    ls.buttons.insert = kUsuInsert;
    ls.buttons.change = kUsuChange;
    ls.buttons.del = kUsuDelete;
    ls.headerSort = false;

    BrowseController c("BrowseUsuarios", w);
    c.EnterMovesFocus = 1;  // unlike the other lists
    c.SetCloseButton(kUsuClose);
    BrowseList& bl = c.AddList(std::move(ls));
    bl.USEPOPUP = 1;
    bl.EDITVIAPOPUP = 1;
    c.SetProcedure(1, Updateusuarios);
    RunProcedure(c);
}

void Updateusuarios() {
    // Each column of rights as wide as its longest text ("Categorías de
    // productos", "Inventario refacciones"), so no right is cut short.
    std::vector<int> widths;
    int columnsWidth = 0;
    {
        QCheckBox probe;
        for (const RightColumn& col : rightColumns()) {
            probe.setText(QString::fromUtf8(col.head));
            int wide = std::max(128, probe.sizeHint().width());
            for (const auto& r : col.rights) {
                probe.setText(QString::fromUtf8(r.second));
                wide = std::max(wide, probe.sizeHint().width() + 4);
            }
            widths.push_back(wide);
            columnsWidth += wide + 2;
        }
    }
    const int W = std::max(820, columnsWidth + 52), H = 440;
    ui::Window w(QStringLiteral("Form usuarios"), QSize(W, H), ui::Window::Placement::FrameChild);
    w.add({ControlKind::Sheet, kUfSheet, "?CURRENTTAB", {}, QRect(4, 4, W - 8, H - 46)});
    w.add({ControlKind::Tab, kUfTab, "?TAB:1", QStringLiteral("Datos del usuario"), {}, kUfSheet});
    w.add({ControlKind::Prompt, kUfNamePrompt, "?USU:NOMBRE:PROMPT", QStringLiteral("&Nombre:"), QRect(8, 10, 80, 20), kUfTab});
    ui::Control& name = w.add({ControlKind::Entry, kUfName, "?USU:NOMBRE", {}, QRect(92, 10, 220, 22), kUfTab});
    name.setTip(QStringLiteral("Nombre del usuario"));
    name.setStatusText(QStringLiteral("Nombre del usuario"));
    w.add({ControlKind::Prompt, kUfPasswordPrompt, "?USU:PASSWORD:PROMPT", QStringLiteral("&Password:"),
           QRect(8, 40, 80, 20), kUfTab});
    ui::Control& pw = w.add({ControlKind::Entry, kUfPassword, "?USU:PASSWORD", {}, QRect(92, 40, 110, 22), kUfTab});
    pw.setTip(QStringLiteral("Contraseña"));
    pw.setStatusText(QStringLiteral("Contraseña"));
    ui::Control& adm = w.add({ControlKind::CheckBox, kUfAdministrator, "?USU:ADMINISTRADOR",
                              QStringLiteral("Administrador"), QRect(340, 10, 160, 22), kUfTab});
    adm.setTip(QStringLiteral("Administrador del sistema"));
    adm.setStatusText(QStringLiteral("Administrador del sistema"));
    w.add({ControlKind::GroupBox, kUfGroup, "?GROUP1", QStringLiteral("Permisos"), QRect(8, 72, W - 32, 300), kUfTab});
    int x = 10, column = 0;
    for (const RightColumn& col : rightColumns()) {
        ++column;
        w.add({ControlKind::FixedText, kUfColumnHeads + column - 1, "?STRING" + std::to_string(column),
               QString::fromUtf8(col.head), QRect(x, 20, widths[column - 1], 18), kUfGroup});
        int y = 42;
        for (const auto& [n, text] : col.rights) {
            w.add({ControlKind::CheckBox, kUsuRightBase + n, "?USU:PERMISOS_" + std::to_string(n),
                   QString::fromUtf8(text), QRect(x, y, widths[column - 1], 20), kUfGroup});
            y += 20;
        }
        x += widths[column - 1] + 2;
    }
    ui::Control& ok = w.add({ControlKind::Button, kUfOk, "?OK", QStringLiteral("Aceptar"), QRect(W - 186, H - 36, 86, 28)});
    ok.setTip(QStringLiteral("Acepta y guarda los datos"));
    ok.setIcon(ui::programIcon("WAOk.ICO"));
    ui::Control& cancel =
        w.add({ControlKind::Button, kUfCancel, "?CANCEL", QStringLiteral("Cancelar"), QRect(W - 94, H - 36, 86, 28)});
    cancel.setTip(QStringLiteral("Cancela la operación"));
    cancel.setIcon(ui::programIcon("WACancel.ico"));

    UserForm form(w);
    form.SetOkCancel(kUfOk, kUfCancel);
    form.SetFirstField(kUfNamePrompt);
    form.Bind(kUfName, "USU:Nombre", "s30");
    RunProcedure(form);
}

void RegisterAdminProcedures() {
    RegisterProcedure("LoginAdminstrador", LoginAdminstrador);
    RegisterProcedure("UpdateFolios", UpdateFolios);
}

}  // namespace tv::app
