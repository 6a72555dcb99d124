#include "app/login/login.h"

#include <cstdlib>

#include <QLineEdit>

#include "app/globals.h"
#include "app/login/password.h"
#include "app/window/window_controller.h"
#include "data/thread_table_set.h"
#include "data/transaction.h"
#include "platform/types/text.h"

namespace tv::app {

namespace {

bool& accessDenied() {
    static bool denied = false;
    return denied;
}

std::function<void()>& deniedHandler() {
    static std::function<void()> h;
    return h;
}

void setCompany() {
    std::string e(kCompanyName);
    e.resize(Globals::kEmpresaWidth, ' ');
    globals().EMPRESA = e;
}

constexpr int kName = kAccessName;
constexpr int kPassword = kAccessPassword;
constexpr int kOk = kAccessOk;
constexpr int kCancel = kAccessCancel;

class LoginController : public WindowController {
public:
    using WindowController::WindowController;

    void OnFirstOpen() override {
        Win().at(kName).setText(QString::fromUtf8(kLoginName));
        Win().at(kPassword).setText(QString::fromUtf8(kLoginPassword));
    }

    int OnAccepted(int control) override {
        WindowController::OnAccepted(control);  // a close button: the window closes after this
        if (control != kOk) return 0;
        const std::string name = Win().at(kName).text().toStdString();
        const std::string password = Win().at(kPassword).text().toStdString();
        if (CheckLogin(name, password) == LoginOutcome::Denied) {
            MessageBox box;
            box.caption = "Tal-Vor";
            box.text = "Acceso negado";
            box.buttons = MessageBox::Buttons::Ok;
            box.icon = MessageBox::Icon::Error;
            if (MessagePresenter* p = ErrorReporter::instance().presenter()) p->show(box);
            if (deniedHandler()) deniedHandler()();
            // The frame that ran the login ends the run the ordinary way:
            // its stop steps run and the exit code is 0.
            else accessDenied() = true;
        }
        return 0;
    }
};

}  // namespace

void SetAccessDeniedHandler(std::function<void()> h) { deniedHandler() = std::move(h); }

bool AccessDenied() { return accessDenied(); }
void ResetAccessDenied() { accessDenied() = false; }

// The one user a new installation may be started with: the name and
// password the login offers (the name as offered, the password compared as
// passwords are: trailing blanks do not count).
bool IsOfferedUser(std::string_view name, std::string_view password) {
    return rtrim(name) == kLoginName && rtrim(password) == kLoginPassword;
}

namespace {

// A failure of the users table that the gateway did not report itself.
LoginOutcome unusable(int message, const tv::data::TableGateway& g, const storage::Status& st) {
    ErrorReporter& er = ErrorReporter::instance();
    er.setFile(g.FILENAMEVALUE);
    er.setErrorText(st.code, st.text);
    er.raise(message);
    return LoginOutcome::Unusable;
}

constexpr int kMsgRead = 1;
constexpr int kMsgTransaction = 24;

}  // namespace

// A table that cannot be read is said so and gives no rights: it is never
// taken for a table without this user (nor for an empty one).
LoginOutcome CheckLogin(std::string_view name, std::string_view password) {
    using namespace tv::data;
    TableGateway& g = usuariosTableGateway();
    Record& usu = tables().usuarios();
    const TableDecl& d = decl(TableId::usuarios);
    const int nombre = d.fieldIndex("USU:Nombre");
    const int stored = d.fieldIndex("USU:PASSWORD");
    const int byName = d.keyIndex("USU:KeyNombre");
    if (g.OpenTable() != kDone) return LoginOutcome::Unusable;
    struct Closer {
        TableGateway& g;
        ~Closer() { g.CloseTable(); }
    } closer{g};
    const int64_t users = g.RecordCount();  // opens the file; a failure is reported there
    if (users < 0) return LoginOutcome::Unusable;

    bool created = false;
    if (users == 0 && IsOfferedUser(name, password)) {
        // A new installation: its first user is the one the login offers,
        // an administrator with every right, so the program can be used
        // (and administered). Only the empty table is filled, inside one
        // unit: a second station logging in at the same moment waits (as
        // long as for any busy database), then finds this user and logs in
        // as it.
        const std::string hash = HashPassword(password);  // slow on purpose: before the lock
        DataTransaction tx(tables(), tables().connection().lockTimeout());
        if (!tx.ok()) return unusable(kMsgTransaction, g, tx.status());
        if (g.RecordCount() == 0) {
            usu.clear();
            usu.setText(nombre, std::string(rtrim(name)));
            usu.setText(stored, hash);
            for (int n = 1; n <= 100; ++n) usu.setRaw(permisoField(n), 1);
            usu.setRaw(d.fieldIndex("USU:ADMINISTRADOR"), 1);
            // A failed insert is reported once the unit has ended.
            if (g.InsertRecord() != kDone) return LoginOutcome::Unusable;
            if (!tx.commit()) return unusable(kMsgTransaction, g, tx.status());
            created = true;
        }
    }

    usu.clear();
    usu.setText(nombre, name);
    const storage::Status found = g.file()->readByKey(byName, usu);
    if (found.code == storage::kRecordNotAvailable) {
        usu.clear();
        setCompany();
        return LoginOutcome::UnknownUser;
    }
    if (!found.ok()) return unusable(kMsgRead, g, found);
    if (!PasswordMatches(usu.text(stored), password)) return LoginOutcome::Denied;
    for (int n = 1; n <= 99; ++n)
        globals().UserPermissions[static_cast<std::size_t>(n)] = static_cast<uint8_t>(usu.raw(permisoField(n)));
    setCompany();
    return created ? LoginOutcome::FirstUser : LoginOutcome::Granted;
}

void BuildAccessWindow(ui::Window& w) {
    using ui::ControlKind;
    w.add({ControlKind::Sheet, kAccessSheet, "?SHEET1", "", QRect(4, 4, 292, 120)});
    w.add({ControlKind::Tab, kAccessTab, "?TAB1", QStringLiteral("Datos del usuario"), {}, kAccessSheet});
    w.add({ControlKind::Prompt, kAccessNamePrompt, "?LOC:NOMBRE:PROMPT", QStringLiteral("&Nombre:"),
           QRect(12, 16, 70, 20), kAccessTab});
    ui::Control& n = w.add({ControlKind::Entry, kAccessName, "?LOC:NOMBRE", "", QRect(100, 16, 160, 22), kAccessTab});
    w.add({ControlKind::Prompt, kAccessPasswordPrompt, "?LOC:PASSWORD:PROMPT", QStringLiteral("&Password:"),
           QRect(12, 50, 70, 20), kAccessTab});
    ui::Control& p =
        w.add({ControlKind::Entry, kAccessPassword, "?LOC:PASSWORD", "", QRect(100, 50, 100, 22), kAccessTab});
    ui::Control& ok = w.add({ControlKind::Button, kAccessOk, "?OK", QStringLiteral("&Aceptar"), QRect(110, 132, 86, 28)});
    ui::Control& cancel =
        w.add({ControlKind::Button, kAccessCancel, "?CANCEL", QStringLiteral("&Cancelar"), QRect(204, 132, 86, 28)});
    n.setTip(QStringLiteral("Nombre del usuario"));
    n.setStatusText(QStringLiteral("Nombre del usuario"));
    p.setTip(QStringLiteral("Contraseña"));
    p.setStatusText(QStringLiteral("Contraseña"));
    ok.setTip(QStringLiteral("Acepta la operacion"));
    ok.setStatusText(QStringLiteral("Acepta la operacion"));
    cancel.setTip(QStringLiteral("Cancela la operacion"));
    cancel.setStatusText(QStringLiteral("Cancela la operacion"));
    if (auto* e = p.as<QLineEdit>()) e->setEchoMode(QLineEdit::Password);
}

void Login() {
    ui::Window w(QStringLiteral("Acceso"), QSize(300, 170));
    BuildAccessWindow(w);
    // The entries come pre-filled and stay editable: with them locked, a user
    // whose password was changed in the user administration could never log
    // in again.
    ui::Control& cancel = w.at(kCancel);
    cancel.setHidden(true);
    cancel.setDisabled(true);

    LoginController c("Login", w);
    c.FIRSTFIELD = kOk;  // the focus rests on "&Aceptar": Enter takes the pre-filled user
    c.OkButton = kOk;
    c.CancelButton = kCancel;
    c.CloseButtons = {kOk, kCancel};
    RunProcedure(c);
}

}  // namespace tv::app
