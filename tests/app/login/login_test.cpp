#include "app/login/login.h"

#include "app/frame/main_frame.h"
#include "app/frame/procedures.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "app/login/password.h"
#include "data/thread_table_set.h"
#include "platform/errors/scripted_presenter.h"
#include "platform/storage/storage.h"
#include "platform/threads/logical_thread.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/window.h"
#include "tests/support/scratch_dir.h"

namespace tv::app {
namespace {

using namespace std::chrono_literals;
using namespace tv::data;

bool runFor(const std::function<bool()>& done) { return threads::runUntil(done, 20s); }

// Runs fn on a logical thread of its own and waits for it.
void onThread(const std::function<void()>& fn) {
    bool done = false;
    threads::start([&] {
        fn();
        done = true;
    }, 0);
    ASSERT_TRUE(runFor([&] { return done; }));
}

void addUser(const std::string& name, const std::string& storedHash, std::initializer_list<int> rights, bool admin = false) {
    const TableDecl& d = decl(TableId::usuarios);
    Record& u = tables().usuarios();
    ASSERT_EQ(usuariosTableGateway().OpenTable(), kDone);
    u.clear();
    u.setText(d.fieldIndex("USU:Nombre"), name);
    u.setText(d.fieldIndex("USU:PASSWORD"), storedHash);
    for (int n : rights) u.setRaw(permisoField(n), 1);
    u.setRaw(d.fieldIndex("USU:ADMINISTRADOR"), admin ? 1 : 0);
    ASSERT_EQ(usuariosTableGateway().InsertRecord(), kDone);
    usuariosTableGateway().CloseTable();
}

std::string blankCompany() { return std::string(Globals::kEmpresaWidth, ' '); }
std::string company() {
    std::string s(kCompanyName);
    s.resize(Globals::kEmpresaWidth, ' ');
    return s;
}

class LoginTest : public ::testing::Test {
protected:
    void SetUp() override {
        globals().UserPermissions.fill(0);
        globals().EMPRESA = blankCompany();
    }
    test::ScratchDir dir;
    test::WorkingDir wd{dir.path()};
};

TEST(Password, SaltedHashesTrailingBlanksIgnoredCaseKept) {
    const std::string h1 = HashPassword("kvz");
    const std::string h2 = HashPassword("kvz       ");
    EXPECT_EQ(h1.find("kvz"), std::string::npos) << "never the password itself";
    EXPECT_NE(h1, h2) << "salted";
    EXPECT_LE(h1.size(), 128u);
    EXPECT_TRUE(PasswordMatches(h1, "kvz"));
    EXPECT_TRUE(PasswordMatches(h1, "kvz   "));
    EXPECT_TRUE(PasswordMatches(h2, "kvz"));
    EXPECT_FALSE(PasswordMatches(h1, "KVZ"));
    EXPECT_FALSE(PasswordMatches(h1, " kvz"));
    EXPECT_FALSE(PasswordMatches("kvz", "kvz")) << "a plain text is no hash";
    EXPECT_FALSE(PasswordMatches("", ""));
}

TEST_F(LoginTest, FirstRunCreatesTheOfferedUserAsAdministratorWithEveryRight) {
    onThread([] {
        EXPECT_EQ(CheckLogin("kvz", "kvz"), LoginOutcome::FirstUser);
        const TableDecl& d = decl(TableId::usuarios);
        ASSERT_EQ(usuariosTableGateway().OpenTable(), kDone);
        EXPECT_EQ(usuariosTableGateway().RecordCount(), 1);
        tables().usuarios().setText(d.fieldIndex("USU:Nombre"), "kvz");
        ASSERT_EQ(usuariosTableGateway().ReadByKey("USU:KeyNombre"), kDone);
        const std::string stored = tables().usuarios().text(d.fieldIndex("USU:PASSWORD"));
        EXPECT_NE(stored.substr(0, 3), "kvz");
        EXPECT_TRUE(PasswordMatches(stored, "kvz"));
        EXPECT_EQ(tables().usuarios().raw(d.fieldIndex("USU:ADMINISTRADOR")), 1);
        usuariosTableGateway().CloseTable();
    });
    for (int n = 1; n <= 99; ++n) EXPECT_EQ(globals().UserPermissions[static_cast<std::size_t>(n)], 1) << n;
    EXPECT_EQ(globals().EMPRESA, company());
    // From now on the same name and password log in, in any letter case of the name.
    globals().UserPermissions.fill(0);
    onThread([] { EXPECT_EQ(CheckLogin("KVZ", "kvz"), LoginOutcome::Granted); });
    EXPECT_EQ(globals().UserPermissions[61], 1);
}

// On an empty users table only the offered user becomes the first
// administrator: any other name, or the offered name with another password,
// gets no rights and leaves the table empty.
TEST_F(LoginTest, FirstRunCreatesNoOtherUser) {
    struct Case {
        const char* name;
        const char* password;
    } cases[] = {{"otro", "x"}, {"juan", "kvz"}, {"kvz", "otra"}, {"kvz", "KVZ"}, {"", ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "/" + c.password);
        globals().UserPermissions.fill(0);
        LoginOutcome got{};
        int64_t users = -1;
        onThread([&] {
            got = CheckLogin(c.name, c.password);
            ASSERT_EQ(usuariosTableGateway().OpenTable(), kDone);
            users = usuariosTableGateway().RecordCount();
            usuariosTableGateway().CloseTable();
        });
        EXPECT_EQ(got, LoginOutcome::UnknownUser);
        EXPECT_EQ(users, 0);
        for (uint8_t b : globals().UserPermissions) EXPECT_EQ(b, 0);
        EXPECT_EQ(globals().EMPRESA, company());
    }
    onThread([] { EXPECT_EQ(CheckLogin("kvz", "kvz  "), LoginOutcome::FirstUser); });
    EXPECT_EQ(globals().UserPermissions[1], 1);
}

// Two stations that log in for the first time at the same moment: both end
// logged in with every right, as the one user the first of them created.
TEST_F(LoginTest, TwoFirstLoginsAtOnceBothGetEveryRight) {
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    auto station = [&] {
        pid_t pid = ::fork();
        if (pid != 0) return pid;
        ::close(go[1]);
        ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
        char ch = 0;
        if (::read(go[0], &ch, 1) != 1) ::_exit(20);
        const LoginOutcome got = CheckLogin("kvz", "kvz");
        if (got != LoginOutcome::FirstUser && got != LoginOutcome::Granted) ::_exit(10 + static_cast<int>(got));
        for (int n = 1; n <= 99; ++n)
            if (globals().UserPermissions[static_cast<std::size_t>(n)] != 1) ::_exit(30);
        ::_exit(0);
    };
    const pid_t a = station();
    const pid_t b = station();
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    ::close(go[0]);
    ASSERT_EQ(::write(go[1], "gg", 2), 2);
    ::close(go[1]);
    for (pid_t p : {a, b}) {
        int status = 0;
        ASSERT_EQ(::waitpid(p, &status, 0), p);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    onThread([] {
        ASSERT_EQ(usuariosTableGateway().OpenTable(), kDone);
        EXPECT_EQ(usuariosTableGateway().RecordCount(), 1);
        usuariosTableGateway().CloseTable();
    });
}

// Another station in the middle of making the new database: it holds the
// file's write lock, before the file has its log, until `release` is
// closed (then it commits and ends).
struct StationMakingTheDatabase {
    pid_t pid = -1;
    int release = -1;

    StationMakingTheDatabase() {
        int ready[2], go[2];
        if (::pipe(ready) != 0 || ::pipe(go) != 0) return;
        pid = ::fork();
        if (pid == 0) {
            ::close(ready[0]);
            ::close(go[1]);
            // The database itself is made as every station makes it (whole,
            // then put in place); the station goes on making its tables.
            storage::Connection made(storage::databasePath());
            sqlite3* db = made.db();
            if (db == nullptr) ::_exit(1);
            // Its commit waits for the readers, as every station's does.
            sqlite3_busy_timeout(db, 30000);
            if (sqlite3_exec(db, "BEGIN IMMEDIATE; CREATE TABLE otra(x)", nullptr, nullptr, nullptr) != SQLITE_OK)
                ::_exit(2);
            char ch = 'r';
            if (::write(ready[1], &ch, 1) != 1) ::_exit(3);
            while (::read(go[0], &ch, 1) > 0) {
            }
            ::_exit(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK ? 0 : 4);
        }
        ::close(ready[1]);
        ::close(go[0]);
        release = go[1];
        char ch = 0;
        if (::read(ready[0], &ch, 1) != 1) pid = -1;
        ::close(ready[0]);
    }
    // Lets go after `after`; true when the station ended well.
    bool finish(std::chrono::milliseconds after = 0ms) {
        std::this_thread::sleep_for(after);
        if (release >= 0) ::close(release);
        release = -1;
        int status = 0;
        return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    ~StationMakingTheDatabase() { finish(); }
};

// A first login while another station is still making the new database
// waits for it, as for any busy database, and then creates the first user.
// (The second station used to find the database locked at once, keep the
// connection broken and log in as an unknown user with no rights.)
TEST_F(LoginTest, AFirstLoginWaitsForAStationMakingTheDatabase) {
    StationMakingTheDatabase other;
    ASSERT_GT(other.pid, 0);
    std::thread letGo([&] { EXPECT_TRUE(other.finish(300ms)); });
    LoginOutcome got{};
    onThread([&] { got = CheckLogin("kvz", "kvz"); });
    letGo.join();
    EXPECT_EQ(got, LoginOutcome::FirstUser);
    EXPECT_EQ(globals().UserPermissions[1], 1);
    EXPECT_EQ(globals().UserPermissions[99], 1);
}

// A users table that cannot be read (another station holds the new
// database past the lock time-out) is said so and gives no rights: it is
// not taken for a table without the user. The next try, once the other
// station let go, works.
TEST_F(LoginTest, AUsersTableThatCannotBeReadIsSaidAndGivesNoRights) {
    ScriptedPresenter presenter;
    ErrorReporter::instance().setPresenter(&presenter);
    StationMakingTheDatabase other;
    ASSERT_GT(other.pid, 0);
    onThread([&] {
        tables().connection().setLockTimeout(200ms);
        EXPECT_EQ(CheckLogin("kvz", "kvz"), LoginOutcome::Unusable);
        for (uint8_t b : globals().UserPermissions) EXPECT_EQ(b, 0);
        EXPECT_EQ(globals().EMPRESA, blankCompany());
        ASSERT_FALSE(presenter.empty());
        EXPECT_EQ(messageNumber(presenter.last()), 24) << presenter.last().text;

        ASSERT_TRUE(other.finish());
        EXPECT_EQ(CheckLogin("kvz", "kvz"), LoginOutcome::FirstUser);
        EXPECT_EQ(globals().UserPermissions[1], 1);
    });
    ErrorReporter::instance().setPresenter(nullptr);
}

TEST_F(LoginTest, OutcomesOfAKnownTable) {
    struct Case {
        const char* name;
        const char* password;
        LoginOutcome expected;
    } cases[] = {
        {"kvz", "kvz", LoginOutcome::Granted},
        {"KvZ", "kvz      ", LoginOutcome::Granted},
        {"kvz", "KVZ", LoginOutcome::Denied},
        {"nadie", "kvz", LoginOutcome::UnknownUser},
    };
    onThread([] {
        addUser("KVZ", HashPassword("kvz"), {1, 5, 61, 100});
        addUser("otro", HashPassword("x"), {2});
    });
    for (const Case& c : cases) {
        globals().UserPermissions.fill(0);
        globals().EMPRESA = blankCompany();
        LoginOutcome got{};
        onThread([&] { got = CheckLogin(c.name, c.password); });
        EXPECT_EQ(got, c.expected) << c.name << "/" << c.password;
        const auto& p = globals().UserPermissions;
        if (c.expected == LoginOutcome::Granted) {
            EXPECT_EQ(p[1], 1);
            EXPECT_EQ(p[5], 1);
            EXPECT_EQ(p[61], 1);
            EXPECT_EQ(p[2], 0);
            EXPECT_EQ(p[99], 0);
        } else {
            for (int n = 0; n < 100; ++n) EXPECT_EQ(p[static_cast<std::size_t>(n)], 0) << n;
        }
        EXPECT_EQ(p[99 + 0], 0);
        EXPECT_EQ(globals().EMPRESA, c.expected == LoginOutcome::Denied ? blankCompany() : company());
    }
}

TEST_F(LoginTest, ByteOneHundredNeverReachesTheRights) {
    onThread([] { addUser("kvz", HashPassword("kvz"), {100}); });
    onThread([] { EXPECT_EQ(CheckLogin("kvz", "kvz"), LoginOutcome::Granted); });
    for (uint8_t b : globals().UserPermissions) EXPECT_EQ(b, 0);
}

// The window: the focus rests on "&Aceptar" and Enter presses it.
TEST_F(LoginTest, EnterPressesAceptarInTheWindow) {
    onThread([] { addUser("kvz", HashPassword("kvz"), {3}); });
    bool done = false;
    threads::start([&] {
        Login();
        done = true;
    }, 0);
    ui::Window* w = nullptr;
    ASSERT_TRUE(runFor([&] {
        for (ui::Window* o : ui::Window::openWindows())
            if (o->caption() == QStringLiteral("Acceso")) w = o;
        return w != nullptr && w->at(4).text() == QStringLiteral("kvz");
    }));
    EXPECT_FALSE(w->at(4).disabled()) << "pre-filled, and still editable";
    EXPECT_TRUE(w->at(8).hidden());
    EXPECT_EQ(w->at(2).text(), QStringLiteral("Datos del usuario"));
    w->topWidget()->activateWindow();
    QApplication::setActiveWindow(w->topWidget());
    ASSERT_TRUE(runFor([&] { return w->at(7).hasFocus(); }));
    QTest::keyClick(w->at(7).widget(), Qt::Key_Return);
    ASSERT_TRUE(runFor([&] { return done; }));
    EXPECT_EQ(globals().UserPermissions[3], 1);
    EXPECT_EQ(globals().EMPRESA, company());
}

// A user whose password was changed types the new one over the pre-filled text.
TEST_F(LoginTest, AChangedPasswordCanBeTypedIntoTheWindow) {
    onThread([] { addUser("kvz", HashPassword("nueva clave"), {5}); });
    bool done = false;
    threads::start([&] {
        Login();
        done = true;
    }, 0);
    ui::Window* w = nullptr;
    ASSERT_TRUE(runFor([&] {
        for (ui::Window* o : ui::Window::openWindows())
            if (o->caption() == QStringLiteral("Acceso")) w = o;
        return w != nullptr && w->at(6).text() == QStringLiteral("kvz");
    }));
    auto* password = qobject_cast<QLineEdit*>(w->at(6).widget());
    ASSERT_NE(password, nullptr);
    password->selectAll();
    QTest::keyClicks(password, QStringLiteral("nueva clave"));
    QTest::mouseClick(w->at(7).widget(), Qt::LeftButton);
    ASSERT_TRUE(runFor([&] { return done; }));
    EXPECT_EQ(globals().UserPermissions[5], 1);
    EXPECT_EQ(globals().EMPRESA, company());
}

// Presses "&Aceptar" in the pre-filled login window and waits for the
// message box that follows (nullptr when none came).
QMessageBox* acceptLoginAndWaitForMessage() {
    ui::Window* w = nullptr;
    if (!runFor([&] {
            for (ui::Window* o : ui::Window::openWindows())
                if (o->caption() == QStringLiteral("Acceso")) w = o;
            return w != nullptr && w->at(4).text() == QStringLiteral("kvz");
        }))
        return nullptr;
    QTest::mouseClick(w->at(7).widget(), Qt::LeftButton);
    QMessageBox* box = nullptr;
    runFor([&] {
        for (QWidget* d : ui::openDialogs())
            if (auto* mb = qobject_cast<QMessageBox*>(d)) box = mb;
        return box != nullptr;
    });
    return box;
}

TEST_F(LoginTest, AWrongPasswordSaysAccesoNegadoAndEndsTheProgram) {
    onThread([] { addUser("kvz", HashPassword("KVZ"), {1}); });
    ui::QtMessagePresenter presenter;
    ErrorReporter::instance().setPresenter(&presenter);
    bool ended = false;
    SetAccessDeniedHandler([&] { ended = true; });
    bool done = false;
    threads::start([&] {
        Login();
        done = true;
    }, 0);
    QMessageBox* box = acceptLoginAndWaitForMessage();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("Acceso negado"));
    EXPECT_FALSE(ended);
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_TRUE(runFor([&] { return ended; }));
    EXPECT_EQ(globals().UserPermissions[1], 0);
    ASSERT_TRUE(runFor([&] { return done; }));
    SetAccessDeniedHandler(nullptr);
    ErrorReporter::instance().setPresenter(nullptr);
}

// "Acceso negado" ends the run the ordinary way: the frame closes by
// itself after the message and Main returns (the stop steps then run and
// the exit code is 0); nothing ends the process from inside the login.
TEST_F(LoginTest, AccesoNegadoEndsTheRunThroughTheFramesOrdinaryEnd) {
    onThread([] { addUser("kvz", HashPassword("KVZ"), {1}); });
    ui::QtMessagePresenter presenter;
    ErrorReporter::instance().setPresenter(&presenter);
    ResetAccessDenied();
    RegisterProcedure("Login", Login);
    bool done = false;
    threads::start([&] {
        Main();
        done = true;
    }, 0);
    QMessageBox* box = acceptLoginAndWaitForMessage();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("Acceso negado"));
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_TRUE(runFor([&] { return done; })) << "the frame closed and Main returned";
    EXPECT_TRUE(AccessDenied());
    EXPECT_EQ(globals().UserPermissions[1], 0);
    ResetAccessDenied();
    ErrorReporter::instance().setPresenter(nullptr);
}

}  // namespace
}  // namespace tv::app
