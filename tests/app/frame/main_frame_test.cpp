#include "app/frame/main_frame.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/fiber_helpers.h"
#include "tests/support/scratch_dir.h"

#include "app/frame/procedures.h"
#include "app/globals.h"
#include "platform/threads/logical_thread.h"
#include "platform/ui/desktop.h"
#include "platform/ui/dialogs.h"

namespace tv::app {
namespace {

using test::runFor;

using namespace std::chrono_literals;
using ui::EventKind;

// Runs Main on a logical thread, as the program does on thread 1.
struct FrameRun {
    threads::ThreadNo thread = 0;
    bool finished = false;
    void start() {
        thread = threads::start(
            [this] {
                Main();
                finished = true;
            },
            0);
        EXPECT_TRUE(runFor([] { return FrameWindow() != nullptr && FrameWindow()->isOpen(); }));
    }
    ui::Window& w() { return *FrameWindow(); }
    QAction* action(int control) { return w().at(control).action(); }
    void close() {
        if (finished) return;
        w().widget()->close();
        EXPECT_TRUE(runFor([this] { return finished; }));
    }
    ~FrameRun() { close(); }
};

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        globals().UserPermissions.fill(0);
        RegisterProcedure("Login", [] {});
    }
    void TearDown() override { globals().RunningProcedures.clear(); }
};

TEST_F(FrameTest, MenusSubmenuAndToolbarAsDesigned) {
    FrameRun f;
    f.start();
    ui::Window& w = f.w();
    EXPECT_EQ(w.caption(), QStringLiteral("Tal-Vor"));
    QMenuBar* bar = w.mainWindow()->menuBar();
    QStringList menus;
    for (QAction* a : bar->actions()) menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&Tablas del sistema", "Ca&ptura", "C&onsultas", "&Reportes", "&Datos del sistema",
                                  "&Procesos", "A&yuda"}));
    EXPECT_EQ(f.action(-3)->text(), QStringLiteral("&Artículos"));
    EXPECT_EQ(f.action(-3)->statusTip(), QStringLiteral("Tabla de artículos"));
    EXPECT_EQ(f.action(-2)->statusTip(), QStringLiteral("Tablas del sistema"));
    QMenu* excel = f.action(-35)->menu();
    ASSERT_NE(excel, nullptr);
    EXPECT_EQ(f.action(-35)->text(), QStringLiteral("Conversiones a E&xcel"));
    ASSERT_EQ(excel->actions().size(), 2);
    EXPECT_EQ(excel->actions()[1]->text(), QStringLiteral("&Proveedores"));

    auto* tb = w.at(kFrameToolbar).as<QToolBar>();
    ASSERT_NE(tb, nullptr);
    std::vector<int> order;
    for (QAction* a : tb->actions()) {
        if (a->isSeparator()) continue;
        for (ui::Control* c : w.controls())
            if (c->action() == a) order.push_back(c->number());
    }
    EXPECT_EQ(order, (std::vector<int>{3006, 3008, 3010, 3011, 3009, 3007, 3005, 3004, 3001, 3002, 3003, 3012, 3013,
                                       3014, 3019, 3018, 3015, 3016}));
    for (int n = 3001; n <= 3013; ++n) EXPECT_FALSE(f.action(n)->isEnabled()) << n;
    EXPECT_EQ(f.action(3014)->toolTip(), QStringLiteral("Catálogo de artículos"));
    for (int n : order) EXPECT_FALSE(f.action(n)->icon().isNull()) << n << ": pictures only";
    EXPECT_FALSE(w.mdiArea()->background().texture().isNull()) << "the background picture";
    EXPECT_FALSE(w.widget()->windowIcon().isNull());
    EXPECT_EQ(FrameMenu().size(), 39u);
}

TEST_F(FrameTest, RightsDisableTheirItemsAndButtons) {
    struct Case {
        std::vector<int> granted;
        std::vector<int> enabled;   // controls expected enabled
        std::vector<int> disabled;  // controls expected disabled
    } cases[] = {
        {{}, {-32, -39, -40, -2}, {-3, -4, -14, -16, -21, -29, -31, -34, -35, 3014, 3019, 3018, 3015, 3016}},
        {{1, 21, 61}, {-3, 3014, -17, 3015, -35}, {-4, 3019, -16, 3018, -18, 3016, -31, -34}},
        {{2, 20, 22, 50, 60, 43}, {-4, 3019, -16, 3018, -18, 3016, -31, -34, -29}, {-3, 3014, -17, 3015, -35}},
    };
    for (const Case& c : cases) {
        globals().UserPermissions.fill(0);
        RegisterProcedure("Login", [g = c.granted] {
            for (int b : g) globals().UserPermissions[static_cast<std::size_t>(b)] = 1;
        });
        FrameRun f;
        f.start();
        ASSERT_TRUE(runFor([&] { return !f.w().hasEvents(); }));
        for (int n : c.enabled) EXPECT_TRUE(f.action(n)->isEnabled()) << n;
        for (int n : c.disabled) EXPECT_FALSE(f.action(n)->isEnabled()) << n;
        f.close();
    }
    // Every byte granted: everything is enabled but the record buttons.
    RegisterProcedure("Login", [] { globals().UserPermissions.fill(1); });
    FrameRun f;
    f.start();
    ASSERT_TRUE(runFor([&] { return !f.w().hasEvents(); }));
    for (const FrameMenuItem& m : FrameMenu()) EXPECT_TRUE(f.action(m.control)->isEnabled()) << m.control;
    for (const FrameButton& b : FrameShortcutButtons()) EXPECT_TRUE(f.action(b.control)->isEnabled()) << b.control;
}

TEST_F(FrameTest, ItemsStartOnNewThreadsHelpRunsOnTheFramesOwn) {
    RegisterProcedure("Login", [] { globals().UserPermissions.fill(1); });
    std::vector<threads::ThreadNo> brands, manual;
    RegisterProcedure("BrowseMarcas", [&] { brands.push_back(threads::current()); });
    RegisterProcedure("ConsultaManual", [&] { manual.push_back(threads::current()); });
    FrameRun f;
    f.start();
    f.action(-5)->trigger();
    f.action(-39)->trigger();
    ASSERT_TRUE(runFor([&] { return brands.size() == 1 && manual.size() == 1; }));
    EXPECT_NE(brands[0], f.thread);
    EXPECT_EQ(manual[0], f.thread);
    RegisterProcedure("BrowseMarcas", nullptr);
    RegisterProcedure("ConsultaManual", nullptr);
}

ui::Window* childCaptioned(const QString& caption) {
    for (ui::Window* w : ui::Window::openWindows())
        if (w->caption() == caption) return w;
    return nullptr;
}

TEST_F(FrameTest, StandInsOpenOnceAndTheRecordButtonsReachTheActiveChild) {
    RegisterProcedure("Login", [] { globals().UserPermissions.fill(1); });
    FrameRun f;
    f.start();
    ui::Window& w = f.w();
    // No child: a record button does nothing.
    w.at(3001).action()->setEnabled(true);
    f.action(3001)->trigger();

    f.action(-6)->trigger();  // not built yet: its stand-in
    ui::Window* units = nullptr;
    ASSERT_TRUE(runFor([&] { return (units = childCaptioned(QStringLiteral("Tabla de unidades de medida"))) != nullptr; }));
    EXPECT_EQ(w.mdiArea()->subWindowList().size(), 1);
    EXPECT_NE(units->owner(), f.thread);
    EXPECT_TRUE(units->widget()->findChild<QLabel*>()->text().contains(QStringLiteral("no está disponible")));

    // Chosen again while open: the same window comes back, nothing new opens.
    w.mdiArea()->subWindowList().front()->showMinimized();
    f.action(-6)->trigger();
    ASSERT_TRUE(runFor([&] { return !units->isMinimized(); }));
    EXPECT_EQ(w.mdiArea()->subWindowList().size(), 1);

    // Closing the frame asks the child to close down first.
    f.close();
    EXPECT_TRUE(f.finished);
    EXPECT_EQ(childCaptioned(QStringLiteral("Tabla de unidades de medida")), nullptr);
}

TEST_F(FrameTest, RecordButtonsReachTheActiveChildsThread) {
    RegisterProcedure("Login", [] { globals().UserPermissions.fill(1); });
    struct Spy : WindowComponent {
        std::vector<int> accepted;
        bool TakeEvent(WindowController&, const ui::WindowEvent& e) override {
            if (e.kind == EventKind::Accepted) accepted.push_back(e.control);
            return false;
        }
    };
    Spy spy;
    threads::ThreadNo listThread = 0;
    RegisterProcedure("BrowseMarcas", [&] {
        listThread = threads::current();
        ui::Window lw(QStringLiteral("Marcas"), QSize(300, 200), ui::Window::Placement::FrameChild);
        WindowController c("BrowseMarcas", lw);
        c.AddComponent(&spy);
        RunProcedure(c);
    });
    FrameRun f;
    f.start();
    ui::Window& w = f.w();
    f.action(-5)->trigger();
    ASSERT_TRUE(runFor([&] { return w.mdiArea()->subWindowList().size() == 1; }));
    w.mdiArea()->setActiveSubWindow(w.mdiArea()->subWindowList().front());
    EnableRecordButtons({3001, 3009});  // as the active list does
    EXPECT_TRUE(f.action(3001)->isEnabled());
    EXPECT_FALSE(f.action(3002)->isEnabled());
    f.action(3001)->trigger();
    f.action(3009)->trigger();
    ASSERT_TRUE(runFor([&] { return spy.accepted.size() == 2; }));
    EXPECT_EQ(spy.accepted, (std::vector<int>{3001, 3009}));
    EXPECT_NE(listThread, f.thread);
    // Another child becomes the active one: the list's buttons go.
    f.action(-6)->trigger();
    ASSERT_TRUE(runFor([&] { return w.mdiArea()->subWindowList().size() == 2 && !f.action(3001)->isEnabled(); }));
    f.close();
    RegisterProcedure("BrowseMarcas", nullptr);
}

TEST_F(FrameTest, AChildThatStaysKeepsTheFrameOpen) {
    RegisterProcedure("Login", [] { globals().UserPermissions.fill(1); });
    bool mayClose = false;
    struct Stubborn : WindowController {
        bool* mayClose;
        Stubborn(ui::Window& w, bool* m) : WindowController("BrowsePaises", w), mayClose(m) {}
        int OnCloseRequest() override {
            if (*mayClose) return WindowController::OnCloseRequest();
            return 0;  // as a form whose user answers No to "cancel?"
        }
    };
    RegisterProcedure("BrowsePaises", [&] {
        ui::Window lw(QStringLiteral("Países"), QSize(300, 200), ui::Window::Placement::FrameChild);
        Stubborn c(lw, &mayClose);
        RunProcedure(c);
    });
    FrameRun f;
    f.start();
    f.action(-10)->trigger();
    ASSERT_TRUE(runFor([&] { return f.w().mdiArea()->subWindowList().size() == 1; }));
    const int beeps = ui::beepCount();
    f.w().widget()->close();
    ASSERT_TRUE(runFor([&] { return ui::beepCount() == beeps + 1; })) << "the child stayed: a beep";
    EXPECT_FALSE(f.finished);
    EXPECT_TRUE(f.w().isOpen());
    mayClose = true;
    f.close();
    EXPECT_TRUE(f.finished);
    RegisterProcedure("BrowsePaises", nullptr);
}

// Windows of their own (a filter window, a form of the user list, the
// find window) are asked too before the frame closes: one with unsaved
// typing that stays keeps the frame open, and none is dropped silently.
TEST_F(FrameTest, ClosingTheFrameAsksTheWindowsOutsideItToo) {
    RegisterProcedure("Login", [] { globals().UserPermissions.fill(1); });
    bool mayClose = false;
    int asked = 0;
    struct Stubborn : WindowController {
        bool* mayClose;
        int* asked;
        Stubborn(ui::Window& w, bool* m, int* a) : WindowController("FiltroReporteExistencia", w), mayClose(m), asked(a) {}
        int OnCloseRequest() override {
            ++*asked;
            if (*mayClose) return WindowController::OnCloseRequest();
            return 0;  // as a window whose user answers No to "cancel?"
        }
    };
    RegisterProcedure("FiltroReporteExistencia", [&] {
        ui::Window lw(QString::fromUtf8("Impresión de existencias"), QSize(300, 200), ui::Window::Placement::Own);
        Stubborn c(lw, &mayClose, &asked);
        RunProcedure(c);
    });
    FrameRun f;
    f.start();
    f.action(-26)->trigger();
    ASSERT_TRUE(runFor([&] {
        for (ui::Window* w : ui::Window::openWindows())
            if (w->caption() == QString::fromUtf8("Impresión de existencias") && w->isOpen()) return true;
        return false;
    }));
    const int beeps = ui::beepCount();
    f.w().widget()->close();
    ASSERT_TRUE(runFor([&] { return ui::beepCount() == beeps + 1; })) << "the window stayed: a beep";
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(f.finished);
    mayClose = true;
    f.close();
    EXPECT_TRUE(f.finished);
    EXPECT_EQ(asked, 2);
    RegisterProcedure("FiltroReporteExistencia", nullptr);
}

struct RecordingOpener : ui::DesktopOpener {
    std::vector<QString> opened;
    bool open(const QString& what) override {
        opened.push_back(what);
        return true;
    }
};

TEST_F(FrameTest, HelpItemsOpenTheManualAndTheSupportPageOnTheFramesThread) {
    test::ScratchDir dir;
    test::WorkingDir here(dir.path());
    std::ofstream(dir.file("manual.pdf")) << "%PDF-1.4\n";
    RecordingOpener rec;
    ui::setDesktopOpener(&rec);
    FrameRun f;
    f.start();
    auto windowCaptioned = [](const QString& c) -> ui::Window* {
        for (ui::Window* w : ui::Window::openWindows())
            if (w->caption() == c) return w;
        return nullptr;
    };
    f.action(-39)->trigger();
    ui::Window* manual = nullptr;
    ASSERT_TRUE(runFor([&] { return (manual = windowCaptioned(QStringLiteral("Consulta del manual"))) != nullptr; }));
    EXPECT_EQ(manual->owner(), f.thread);
    EXPECT_FALSE(f.w().takesInput()) << "the frame waits for its help window";
    EXPECT_TRUE(manual->widget()->isWindow()) << "a window of its own";
    QTest::mouseClick(manual->at(4).widget(), Qt::LeftButton);
    ASSERT_TRUE(runFor([&] { return rec.opened.size() == 1; }));
    manual->widget()->close();
    ASSERT_TRUE(runFor([&] { return f.w().takesInput(); }));

    f.action(-40)->trigger();
    ui::Window* support = nullptr;
    ASSERT_TRUE(runFor([&] { return (support = windowCaptioned(QStringLiteral("Soporte técnico"))) != nullptr; }));
    QTest::mouseClick(support->at(4).widget(), Qt::LeftButton);
    ASSERT_TRUE(runFor([&] { return rec.opened.size() == 2 && f.w().takesInput(); }));
    EXPECT_EQ(rec.opened[0], QStringLiteral("manual.pdf"));
    EXPECT_TRUE(rec.opened[1].endsWith(QStringLiteral("/CGI-BIN/soportephp.htm")));
    ui::setDesktopOpener(nullptr);
}

}  // namespace
}  // namespace tv::app
