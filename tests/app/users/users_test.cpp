// User administration driven as a user drives it: the administrator login,
// the user list and the user form on a logical thread over a scratch
// database, questions answered by a scripted presenter.
#include "app/users/users.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "app/frame/main_frame.h"
#include "app/frame/procedures.h"
#include "app/globals.h"
#include "app/login/login.h"
#include "app/login/password.h"
#include "data/thread_table_set.h"
#include "platform/errors/scripted_presenter.h"
#include "platform/storage/storage.h"
#include "platform/threads/logical_thread.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "platform/ui/window.h"
#include "tests/support/fiber_helpers.h"
#include "tests/support/scratch_dir.h"

namespace tv::app {
namespace {

using test::settle;
using test::onThread;

using namespace std::chrono_literals;

bool runFor(const std::function<bool()>& done) { return threads::runUntil(done, 20s); }

int usuField(const char* name) { return data::decl(data::TableId::usuarios).fieldIndex(name); }

struct StoredUser {
    bool found = false;
    std::string password;       // as stored
    bool administrator = false;
    std::vector<int> rights;    // the elements that are 1
};

class UsersTest : public ::testing::Test {
protected:
    void SetUp() override {
        storage::setDatabasePath(dir.file("talvor.db"));
        ErrorReporter::instance().setUp();
        scope_.emplace(presenter);
        addUser("admin", "secreto", true, {1, 2, 51});
        addUser("pepe", "clave", false, {1, 13, 100});  // 13 and 100 have no check box
    }
    void TearDown() override {
        for (int i = 0; i < 4 && thread_ != 0 && !done_; ++i) {
            if (ui::Window* w = ui::Window::topOf(thread_)) w->post({ui::EventKind::CloseWindow, 0});
            settle();
        }
        if (thread_ != 0) {
            EXPECT_TRUE(runFor([this] { return done_; })) << "the thread ended";
        }
        globals().RunningProcedures.clear();
        globals().UserPermissions.fill(0);
        scope_.reset();
        storage::setDatabasePath("talvor.db");
    }

    void addUser(const std::string& name, const std::string& password, bool admin, const std::vector<int>& rights) {
        onThread([&] {
            data::TableGateway& g = data::tables().usuariosTableGateway();
            g.BUFFER.clear();
            g.BUFFER.setText(usuField("USU:Nombre"), name);
            g.BUFFER.setText(usuField("USU:PASSWORD"), HashPassword(password));
            g.BUFFER.setRaw(usuField("USU:ADMINISTRADOR"), admin ? 1 : 0);
            for (int n : rights) g.BUFFER.setRaw(data::permisoField(n), 1);
            ASSERT_EQ(g.InsertRecord(), data::kDone);
        });
    }
    StoredUser user(const std::string& name) {
        StoredUser u;
        onThread([&] {
            data::TableGateway& g = data::tables().usuariosTableGateway();
            g.BUFFER.clear();
            g.BUFFER.setText(usuField("USU:Nombre"), name);
            if (g.ReadByKey("USU:KeyNombre") != data::kDone) return;
            u.found = true;
            u.password = std::string(rtrim(g.BUFFER.text(usuField("USU:PASSWORD"))));
            u.administrator = g.BUFFER.raw(usuField("USU:ADMINISTRADOR")) != 0;
            for (int n = 1; n <= 100; ++n)
                if (g.BUFFER.raw(data::permisoField(n)) != 0) u.rights.push_back(n);
        });
        return u;
    }

    void start(void (*procedure)()) {
        done_ = false;
        thread_ = threads::start([this, procedure] {
            procedure();
            done_ = true;
        }, 512 * 1024);
        ASSERT_TRUE(runFor([this] { return done_ || top() != nullptr; }));
        settle();
    }
    // The open window on top of the thread, once it has taken its events.
    ui::Window* top() const {
        ui::Window* w = thread_ != 0 ? ui::Window::topOf(thread_) : nullptr;
        return w != nullptr && w->isOpen() && !w->hasEvents() ? w : nullptr;
    }
    // Waits for a window with that caption on top of the thread.
    ui::Window* waitFor(const QString& caption) {
        runFor([&] { return done_ || (top() != nullptr && top()->caption() == caption); });
        settle();
        ui::Window* w = top();
        return w != nullptr && w->caption() == caption ? w : nullptr;
    }
    void type(ui::Window* w, int control, const QString& text) {
        auto* e = w->at(control).as<QLineEdit>();
        ASSERT_NE(e, nullptr);
        e->setFocus();
        e->selectAll();
        if (text.isEmpty()) QTest::keyClick(e, Qt::Key_Delete);
        else QTest::keyClicks(e, text);
        settle();
    }
    void click(ui::Window* w, int control) {
        ASSERT_NE(w, nullptr);
        QTest::mouseClick(w->at(control).as<QPushButton>(), Qt::LeftButton);
        settle();
    }
    void toggle(ui::Window* w, int control) {
        auto* b = w->at(control).as<QCheckBox>();
        ASSERT_NE(b, nullptr);
        b->setFocus();
        QTest::keyClick(b, Qt::Key_Space);
        settle();
    }
    bool checked(ui::Window* w, int control) { return w->at(control).as<QCheckBox>()->isChecked(); }
    // Logs in as administrator through LoginAdminstrador; the user list (or nullptr).
    ui::Window* openUserList(const char* name = "admin", const char* password = "secreto") {
        start(LoginAdminstrador);
        ui::Window* login = waitFor(QStringLiteral("Acceso"));
        if (login == nullptr) return nullptr;
        type(login, kAdmName, QString::fromUtf8(name));
        type(login, kAdmPassword, QString::fromUtf8(password));
        click(login, kAdmOk);
        return waitFor(QStringLiteral("Usuarios del sistema"));
    }
    std::vector<std::string> listed(ui::Window* list) {
        std::vector<std::string> out;
        auto* t = list->at(kUsuList).as<QTableWidget>();
        for (int i = 0; i < t->rowCount(); ++i) out.push_back(t->item(i, 0)->text().toStdString());
        return out;
    }
    void selectRow(ui::Window* list, const std::string& name) {
        auto* t = list->at(kUsuList).as<QTableWidget>();
        for (int i = 0; i < t->rowCount(); ++i) {
            if (t->item(i, 0)->text().toStdString() != name) continue;
            const QRect r = t->visualRect(t->model()->index(i, 0));
            QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, r.center());
            settle();
            return;
        }
        ADD_FAILURE() << "no row " << name;
    }

    // Opens the change form of that user from the list (nullptr when none).
    ui::Window* openChange(ui::Window* list, const std::string& name) {
        selectRow(list, name);
        click(list, kUsuChange);
        return waitFor(QStringLiteral("Modificaciones"));
    }

    test::ScratchDir dir;
    test::WorkingDir wd{dir.path()};
    ScriptedPresenter presenter;
    threads::ThreadNo thread_ = 0;
    bool done_ = true;

private:
    std::optional<ScopedPresenter> scope_;
};

TEST_F(UsersTest, OnlyAnAdministratorWithHisPasswordIsAdmitted) {
    struct Case {
        const char* name;
        const char* password;
        bool admitted;
    };
    const std::vector<Case> cases = {
        {"admin", "secreto", true},   {"ADMIN", "secreto", true},  // the name ignores letter case
        {"admin", "SECRETO", false},  {"admin", "otra", false},   {"admin", "", false},
        {"pepe", "clave", false},     // not an administrator
        {"nadie", "secreto", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "/" + c.password);
        bool admitted = false;
        onThread([&] { admitted = IsAdministrator(c.name, c.password); });
        EXPECT_EQ(admitted, c.admitted);
    }
    // Through the window: a refusal closes it silently; an admission opens the list.
    for (const Case& c : {cases[3], cases[5], cases[6]}) {
        SCOPED_TRACE(std::string(c.name) + "/" + c.password);
        presenter.clear();
        EXPECT_EQ(openUserList(c.name, c.password), nullptr);
        EXPECT_TRUE(runFor([this] { return done_; })) << "the login window closed";
        EXPECT_TRUE(presenter.empty()) << "without a word";
    }
    ui::Window* list = openUserList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(listed(list), (std::vector<std::string>{"admin", "pepe"}));
    click(list, kUsuClose);
    EXPECT_TRUE(runFor([this] { return done_; })) << "closing the list closes the login";
}

TEST_F(UsersTest, AddedUserIsStoredWithAHashedPasswordAndLogsIn) {
    ui::Window* list = openUserList();
    ASSERT_NE(list, nullptr);
    click(list, kUsuInsert);
    ui::Window* f = waitFor(QStringLiteral("Altas"));
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->at(kUfName).text().isEmpty());
    EXPECT_FALSE(checked(f, kUfAdministrator));
    type(f, kUfName, QStringLiteral("maria"));
    type(f, kUfPassword, QStringLiteral("m1clave"));
    toggle(f, kUfAdministrator);
    for (int n : {3, 21, 50}) toggle(f, kUsuRightBase + n);
    click(f, kUfOk);
    ASSERT_NE(waitFor(QStringLiteral("Usuarios del sistema")), nullptr) << "the form closed";
    EXPECT_EQ(listed(list), (std::vector<std::string>{"admin", "maria", "pepe"}));

    StoredUser u = user("maria");
    ASSERT_TRUE(u.found);
    EXPECT_EQ(u.password.find("m1clave"), std::string::npos) << "never the typed text";
    EXPECT_TRUE(PasswordMatches(u.password, "m1clave"));
    EXPECT_TRUE(u.administrator);
    EXPECT_EQ(u.rights, (std::vector<int>{3, 21, 50}));

    // The program's login admits her with those rights.
    LoginOutcome outcome{};
    onThread([&] { outcome = CheckLogin("maria", "m1clave"); });
    EXPECT_EQ(outcome, LoginOutcome::Granted);
    EXPECT_EQ(globals().UserPermissions[3], 1);
    EXPECT_EQ(globals().UserPermissions[50], 1);
    EXPECT_EQ(globals().UserPermissions[1], 0);
    bool admitted = false;
    onThread([&] { admitted = IsAdministrator("maria", "m1clave"); });
    EXPECT_TRUE(admitted);

    // A second user whose name differs only in letter case is refused (15).
    click(list, kUsuInsert);
    f = waitFor(QStringLiteral("Altas"));
    ASSERT_NE(f, nullptr);
    // Ctrl+H repeats the last saved name and administrator mark.
    f->at(kUfAdministrator).focus();
    settle();
    QTest::keyClick(f->at(kUfAdministrator).widget(), Qt::Key_H, Qt::ControlModifier);
    settle();
    EXPECT_TRUE(checked(f, kUfAdministrator));
    f->at(kUfName).focus();
    settle();
    QTest::keyClick(f->at(kUfName).widget(), Qt::Key_H, Qt::ControlModifier);
    settle();
    EXPECT_EQ(f->at(kUfName).text(), QStringLiteral("maria"));
    type(f, kUfName, QStringLiteral("MARIA"));
    click(f, kUfOk);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(messageNumber(presenter.last()), 15);
    EXPECT_NE(top(), list) << "the form stays open";
    presenter.answer(Answer::Yes);
    click(f, kUfCancel);
    ASSERT_NE(waitFor(QStringLiteral("Usuarios del sistema")), nullptr);
    click(list, kUsuClose);
}

TEST_F(UsersTest, EveryRightShowsItsWholeTextInsideTheForm) {
    ui::Window* list = openUserList();
    ASSERT_NE(list, nullptr);
    click(list, kUsuInsert);
    ui::Window* f = waitFor(QStringLiteral("Altas"));
    ASSERT_NE(f, nullptr);
    const QRect group = f->at(kUfGroup).widget()->rect();
    int boxes = 0;
    for (ui::Control* c : f->controls()) {
        auto* box = c->as<QCheckBox>();
        if (box == nullptr || c->number() == kUfAdministrator) continue;
        ++boxes;
        SCOPED_TRACE(box->text().toStdString());
        EXPECT_GE(box->width(), box->sizeHint().width()) << "the text is cut";
        EXPECT_TRUE(group.contains(box->geometry())) << "it sticks out of \"Permisos\"";
    }
    EXPECT_EQ(boxes, 30);
    click(f, kUfCancel);
    ASSERT_NE(waitFor(QStringLiteral("Usuarios del sistema")), nullptr);
    click(list, kUsuClose);
}

TEST_F(UsersTest, ChangeKeepsThePasswordUnlessANewOneIsTyped) {
    const std::string before = user("pepe").password;
    ui::Window* list = openUserList();
    ASSERT_NE(list, nullptr);
    struct Case {
        const char* typed;        // "" leaves the entry blank
        int toggleRight;
        const char* works;        // the password that logs in afterwards
        std::vector<int> rights;
    };
    const std::vector<Case> cases = {
        {"", 2, "clave", {1, 2, 13, 100}},
        {"nueva", 1, "nueva", {2, 13, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.works);
        selectRow(list, "pepe");
        click(list, kUsuChange);
        ui::Window* f = waitFor(QStringLiteral("Modificaciones"));
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->at(kUfName).text(), QStringLiteral("pepe"));
        EXPECT_TRUE(f->at(kUfPassword).text().isEmpty()) << "the stored password is never shown";
        if (*c.typed != '\0') type(f, kUfPassword, QString::fromUtf8(c.typed));
        toggle(f, kUsuRightBase + c.toggleRight);
        click(f, kUfOk);
        ASSERT_NE(waitFor(QStringLiteral("Usuarios del sistema")), nullptr);
        StoredUser u = user("pepe");
        EXPECT_TRUE(PasswordMatches(u.password, c.works));
        EXPECT_EQ(u.rights, c.rights);
        if (*c.typed == 0) {
            EXPECT_EQ(u.password, before) << "the hash is kept as it was";
        }
    }
    // Typing only a password and cancelling asks message 10.
    selectRow(list, "pepe");
    click(list, kUsuChange);
    ui::Window* f = waitFor(QStringLiteral("Modificaciones"));
    ASSERT_NE(f, nullptr);
    type(f, kUfPassword, QStringLiteral("otra"));
    presenter.clear();
    presenter.answer(Answer::Yes);
    click(f, kUfCancel);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(messageNumber(presenter.last()), 10);
    ASSERT_NE(waitFor(QStringLiteral("Usuarios del sistema")), nullptr);
    EXPECT_TRUE(PasswordMatches(user("pepe").password, "nueva"));
    // Delete asks message 11.
    selectRow(list, "pepe");
    presenter.answer(Answer::Yes);
    click(list, kUsuDelete);
    EXPECT_FALSE(user("pepe").found);
    EXPECT_EQ(listed(list), (std::vector<std::string>{"admin"}));
    click(list, kUsuClose);
}

// Another station changed the user (a new password among others) while the
// form was open: the write is refused, the form shows that version, and
// accepting it then never puts the old password back.
TEST_F(UsersTest, ChangeRefusedForAnotherStationsVersionKeepsItsPassword) {
    ui::Window* list = openUserList();
    ASSERT_NE(list, nullptr);
    ui::Window* f = openChange(list, "pepe");
    ASSERT_NE(f, nullptr);
    toggle(f, kUsuRightBase + 2);
    onThread([&] {
        data::TableGateway& g = data::tables().usuariosTableGateway();
        g.BUFFER.clear();
        g.BUFFER.setText(usuField("USU:Nombre"), "pepe");
        ASSERT_EQ(g.ReadByKey("USU:KeyNombre"), data::kDone);
        g.BUFFER.setText(usuField("USU:PASSWORD"), HashPassword("deotro"));
        g.BUFFER.setRaw(data::permisoField(5), 1);
        ASSERT_EQ(g.UpdateRecord(), data::kDone);
    });
    presenter.clear();
    click(f, kUfOk);
    EXPECT_FALSE(presenter.empty()) << "the refusal is reported";
    EXPECT_EQ(top(), f) << "the form stays open";
    EXPECT_TRUE(checked(f, kUsuRightBase + 5)) << "showing the other station's version";
    EXPECT_FALSE(checked(f, kUsuRightBase + 2));
    click(f, kUfOk);
    ASSERT_NE(waitFor(QStringLiteral("Usuarios del sistema")), nullptr);
    const StoredUser u = user("pepe");
    EXPECT_TRUE(PasswordMatches(u.password, "deotro"));
    EXPECT_EQ(u.rights, (std::vector<int>{1, 5, 13, 100}));
    click(list, kUsuClose);
}

// The user administration is never locked: the last administrator can be
// neither deleted nor stripped of "Administrador" (a notice says why), while
// one of two administrators can.
TEST_F(UsersTest, TheLastAdministratorStays) {
    ui::Window* list = openUserList();
    ASSERT_NE(list, nullptr);
    auto lastAdministratorNotice = [&] {
        ASSERT_EQ(presenter.count(), 1u);
        EXPECT_EQ(presenter.last().caption, kLastAdministratorCaption);
        EXPECT_NE(presenter.last().text.find("admin"), std::string::npos) << presenter.last().text;
        presenter.clear();
    };
    // Stripping the mark: refused, the form stays open with what was typed.
    selectRow(list, "admin");
    click(list, kUsuChange);
    ui::Window* f = waitFor(QStringLiteral("Modificaciones"));
    ASSERT_NE(f, nullptr);
    toggle(f, kUfAdministrator);
    presenter.clear();
    click(f, kUfOk);
    lastAdministratorNotice();
    EXPECT_EQ(top(), f) << "the form stays open";
    EXPECT_FALSE(checked(f, kUfAdministrator));
    EXPECT_TRUE(user("admin").administrator);
    presenter.answer(Answer::Yes);  // discard the change
    click(f, kUfCancel);
    presenter.clear();
    ASSERT_NE(waitFor(QStringLiteral("Usuarios del sistema")), nullptr);
    // Deleting him: refused before the delete is even asked.
    selectRow(list, "admin");
    click(list, kUsuDelete);
    lastAdministratorNotice();
    EXPECT_TRUE(user("admin").found);
    EXPECT_EQ(listed(list), (std::vector<std::string>{"admin", "pepe"}));

    // With a second administrator, either may go.
    for (const char* name : {"pepe", "admin"}) {
        SCOPED_TRACE(name);
        selectRow(list, name);
        click(list, kUsuChange);
        f = waitFor(QStringLiteral("Modificaciones"));
        ASSERT_NE(f, nullptr);
        toggle(f, kUfAdministrator);
        click(f, kUfOk);
        ASSERT_NE(waitFor(QStringLiteral("Usuarios del sistema")), nullptr);
    }
    EXPECT_TRUE(user("pepe").administrator);
    EXPECT_TRUE(presenter.empty());
    EXPECT_FALSE(user("admin").administrator);
    click(list, kUsuClose);
}

// The database itself refuses it, inside the write's own unit of work, so
// two stations taking the mark from the last two administrators at once
// can never both succeed.
TEST_F(UsersTest, TheDatabaseKeepsTheLastAdministrator) {
    presenter.clear();
    onThread([&] {
        data::TableGateway& g = data::tables().usuariosTableGateway();
        auto read = [&](const char* name) {
            g.BUFFER.clear();
            g.BUFFER.setText(usuField("USU:Nombre"), name);
            return g.ReadByKey("USU:KeyNombre");
        };
        ASSERT_EQ(read("admin"), data::kDone);
        g.BUFFER.setRaw(usuField("USU:ADMINISTRADOR"), 0);
        EXPECT_NE(g.UpdateRecordQuiet(), data::kDone);
        EXPECT_NE(g.LASTERROR, 0);
        ASSERT_EQ(read("admin"), data::kDone);
        EXPECT_NE(g.DeleteCurrentRecord(false), data::kDone);
        // Another administrator: then the first may go.
        ASSERT_EQ(read("pepe"), data::kDone);
        g.BUFFER.setRaw(usuField("USU:ADMINISTRADOR"), 1);
        ASSERT_EQ(g.UpdateRecordQuiet(), data::kDone);
        ASSERT_EQ(read("admin"), data::kDone);
        g.BUFFER.setRaw(usuField("USU:ADMINISTRADOR"), 0);
        EXPECT_EQ(g.UpdateRecordQuiet(), data::kDone);
        ASSERT_EQ(read("pepe"), data::kDone);
        EXPECT_NE(g.DeleteCurrentRecord(false), data::kDone) << "pepe is the last one now";
    });
    EXPECT_TRUE(user("admin").found);
    EXPECT_FALSE(user("admin").administrator);
    EXPECT_TRUE(user("pepe").administrator);
}

// A password longer than its entry (pasted whole) is never cut to fit: the
// administrator login admits nobody with it, even when its first ten
// characters are a stored password, and the user form refuses it with a
// message, keeping the text and the stored password.
TEST_F(UsersTest, APasswordLongerThanItsEntryIsNeverCut) {
    addUser("ana", "clave12345", true, {51});
    start(LoginAdminstrador);
    ui::Window* login = waitFor(QStringLiteral("Acceso"));
    ASSERT_NE(login, nullptr);
    login->at(kAdmName).as<QLineEdit>()->setText(QStringLiteral("ana"));
    login->at(kAdmPassword).as<QLineEdit>()->setText(QStringLiteral("clave12345XY"));
    click(login, kAdmOk);
    ui::Window* admitted = waitFor(QStringLiteral("Usuarios del sistema"));
    EXPECT_EQ(admitted, nullptr) << "a longer password than hers admits nobody";
    if (admitted != nullptr) click(admitted, kUsuClose);
    ASSERT_TRUE(runFor([this] { return done_; }));

    ui::Window* list = openUserList();
    ASSERT_NE(list, nullptr);
    ui::Window* f = openChange(list, "pepe");
    ASSERT_NE(f, nullptr);
    f->at(kUfPassword).as<QLineEdit>()->setText(QStringLiteral("abcdefghijkl"));
    presenter.clear();
    click(f, kUfOk);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_NE(presenter.last().text.find("10 caracteres"), std::string::npos) << presenter.last().text;
    EXPECT_EQ(top(), f) << "the form stays open";
    EXPECT_EQ(f->at(kUfPassword).text(), QStringLiteral("abcdefghijkl")) << "what was put in stays to be corrected";
    EXPECT_TRUE(PasswordMatches(user("pepe").password, "clave"));
    presenter.clear();
    type(f, kUfPassword, QStringLiteral("abcdefghij"));
    click(f, kUfOk);
    ASSERT_NE(waitFor(QStringLiteral("Usuarios del sistema")), nullptr);
    EXPECT_TRUE(presenter.empty());
    EXPECT_TRUE(PasswordMatches(user("pepe").password, "abcdefghij"));
    click(list, kUsuClose);
}

TEST_F(UsersTest, RegistersTheAdministrationItems) {
    RegisterAdminProcedures();
    EXPECT_TRUE(IsRegistered("LoginAdminstrador"));
    EXPECT_TRUE(IsRegistered("UpdateFolios"));
    int items = 0;
    for (const FrameMenuItem& m : FrameMenu()) {
        if (m.procedure == nullptr) continue;
        const std::string p = m.procedure;
        if (p == "LoginAdminstrador" || p == "UpdateFolios") {
            ++items;
            EXPECT_FALSE(m.direct) << p << " runs on a thread of its own";
        }
    }
    EXPECT_EQ(items, 2);
}

}  // namespace
}  // namespace tv::app
