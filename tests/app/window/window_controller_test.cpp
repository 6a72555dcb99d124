#include "app/window/window_controller.h"

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <QTabWidget>

#include <gtest/gtest.h>

#include "tests/support/fiber_helpers.h"

#include "app/globals.h"
#include "app/window/running_procedures.h"
#include "platform/threads/logical_thread.h"
#include "platform/threads/thread_state.h"
#include "platform/ui/colors.h"
#include "platform/ui/desktop.h"
#include "platform/ui/dialogs.h"

namespace tv::app {
namespace {

using test::runFor;

using namespace std::chrono_literals;
using ui::ControlKind;
using ui::EventKind;

// Control numbers of the test form.
enum : int { kPrompt = 1, kName = 2, kCity = 3, kNotes = 4, kKind = 5, kPlainList = 6, kOk = 7, kCancel = 8, kAbout = 9 };

void buildForm(ui::Window& w) {
    w.add({ControlKind::Prompt, kPrompt, "?PROMPT1", "Nombre:", QRect(10, 10, 60, 20)});
    w.add({ControlKind::Entry, kName, "?NAME", "", QRect(80, 10, 120, 22)});
    w.add({ControlKind::Entry, kCity, "?CITY", "", QRect(80, 40, 120, 22)});
    w.add({ControlKind::MultiLineText, kNotes, "?NOTES", "", QRect(80, 70, 120, 50)});
    w.add({ControlKind::DropList, kKind, "?KIND", "A|B", QRect(80, 130, 120, 22)});
    w.add({ControlKind::List, kPlainList, "?LIST", "", QRect(80, 160, 120, 40)});
    w.add({ControlKind::Button, kOk, "?OK", "Aceptar", QRect(80, 210, 60, 26)});
    w.add({ControlKind::Button, kCancel, "?CANCEL", "Cancelar", QRect(150, 210, 60, 26)});
    w.add({ControlKind::Button, kAbout, "?ABOUT", "Acerca", QRect(220, 210, 60, 26)});
}

// A procedure run on its own logical thread, as the frame starts one. The
// test keeps a pointer to its controller while it runs.
struct Proc {
    explicit Proc(std::string n, ui::Window::Placement pl = ui::Window::Placement::Own)
        : name(std::move(n)), placement(pl) {}
    std::string name;
    ui::Window::Placement placement = ui::Window::Placement::Own;
    uint8_t request = 0;
    std::function<void(ui::Window&, WindowController&)> prepare;
    // Filled while it runs.
    WindowController* controller = nullptr;
    ui::Window* window = nullptr;
    threads::ThreadNo thread = 0;
    bool finished = false;
    uint8_t response = 0;
    uint8_t requestAfter = 99;
    std::string trackedDuringLoop;

    struct Controller : WindowController {
        Proc& p;
        Controller(Proc& proc, ui::Window& w) : WindowController(proc.name, w), p(proc) {}
        int RunEventLoop() override {
            p.controller = this;
            p.trackedDuringLoop = ErrorReporter::instance().currentProcedure();
            return WindowController::RunEventLoop();
        }
    };

    void body() {
        threadState().callRequest = request;
        ui::Window w(QString::fromStdString(name), QSize(300, 250), placement);
        buildForm(w);
        Controller c(*this, w);
        c.FIRSTFIELD = kName;
        window = &w;
        if (prepare) prepare(w, c);
        response = RunProcedure(c);
        requestAfter = threadState().callRequest;
        controller = nullptr;
        window = nullptr;
        finished = true;
    }
    void start() {
        thread = threads::start([this] { body(); }, 25000);
    }
    bool startAndWaitOpen() {
        start();
        return runFor([this] { return finished || (controller != nullptr && window->isOpen()); }) && !finished;
    }
    void closeBox() {
        if (window != nullptr) window->widget()->close();
    }
    bool waitFinished() { return runFor([this] { return finished; }); }
};

void activate(ui::Window& w) {
    QWidget* top = w.topWidget()->window();
    top->activateWindow();
    QApplication::setActiveWindow(top);
    EXPECT_TRUE(QTest::qWaitForWindowActive(top));
}

bool hasEntry(const std::string& name) {
    for (const auto& r : globals().RunningProcedures)
        if (r.PROCESO == ProcesoText(name)) return true;
    return false;
}

class WindowControllerTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_TRUE(globals().RunningProcedures.empty()) << "every procedure removed its entry";
        globals().RunningProcedures.clear();
    }
};

TEST_F(WindowControllerTest, SetUpTracksRegistersColoursAndTearDownUndoes) {
    Proc p{"UpdateMarcas"};
    p.request = kChange;
    ASSERT_TRUE(p.startAndWaitOpen());
    WindowController& c = *p.controller;
    ui::Window& w = *p.window;
    EXPECT_EQ(p.trackedDuringLoop, "UpdateMarcas");
    EXPECT_EQ(c.REQUEST, kChange);
    EXPECT_EQ(c.OwnRunningEntry, 1);
    EXPECT_EQ(c.FILESOPENED, 1);
    EXPECT_EQ(c.OPENED, 1);
    EXPECT_EQ(c.ERRORS, &ErrorReporter::instance());
    ASSERT_EQ(globals().RunningProcedures.size(), 1u);
    EXPECT_EQ(globals().RunningProcedures[0].PROCESO, ProcesoText("UpdateMarcas"));
    EXPECT_EQ(globals().RunningProcedures[0].PROCESO.size(), 64u);
    EXPECT_EQ(globals().RunningProcedures[0].THREADNUMERO, p.thread);
    // Colours: window, entries white, lists near white, prompts transparent;
    // drop lists and buttons keep the system's.
    EXPECT_EQ(w.background(), 0xCDF5F5);
    EXPECT_EQ(w.at(kName).background(), 0xFFFFFF);
    EXPECT_EQ(w.at(kPlainList).background(), 0xFDFDFD);
    EXPECT_FALSE(w.at(kPrompt).widget()->autoFillBackground());
    EXPECT_EQ(w.at(kKind).background(), ui::kNoColor);
    EXPECT_TRUE(w.isAlertKey(ui::kEnterKey, kName));
    ASSERT_NE(c.Resizer(), nullptr);
    EXPECT_EQ(w.widget()->minimumSize(), QSize(300, 250));
    QImage img = w.render();
    EXPECT_EQ(QColor(img.pixel(5, 240)), QColor(0xF5, 0xF5, 0xCD));

    p.closeBox();
    ASSERT_TRUE(p.waitFinished());
    EXPECT_EQ(p.response, kCancelled);
    EXPECT_FALSE(hasEntry("UpdateMarcas"));
    EXPECT_EQ(p.requestAfter, 0);
}

TEST_F(WindowControllerTest, TabsAreColouredInTheOrderOfTheirNumbers) {
    Proc p{"Pestanas"};
    p.prepare = [](ui::Window& w, WindowController&) {
        w.add({ControlKind::Sheet, 20, "?SHEET", "", QRect(5, 250, 290, 100)});
        for (int n : {24, 21, 23, 22}) w.add({ControlKind::Tab, n, "?TAB" + std::to_string(n), "t", {}, 20});
    };
    ASSERT_TRUE(p.startAndWaitOpen());
    ui::Window& w = *p.window;
    EXPECT_EQ(w.at(21).background(), 0xA2ECA7);
    EXPECT_EQ(w.at(22).background(), 0xBBDDF4);
    EXPECT_EQ(w.at(23).background(), 0x97F0F4);
    EXPECT_EQ(w.at(24).background(), 0xA2ECA7);
    p.closeBox();
    ASSERT_TRUE(p.waitFinished());
}

TEST_F(WindowControllerTest, ASecondStartBringsTheOpenWindowBackAndOpensNothing) {
    QMdiArea area;
    area.resize(900, 700);
    area.show();
    ui::Window::setFrameArea(&area);

    Proc first{"BrowseMarcas", ui::Window::Placement::FrameChild};
    ASSERT_TRUE(first.startAndWaitOpen());
    Proc other{"BrowseUnidades", ui::Window::Placement::FrameChild};
    ASSERT_TRUE(other.startAndWaitOpen());
    ASSERT_EQ(area.subWindowList().size(), 2);
    area.subWindowList().front()->showMinimized();
    area.setActiveSubWindow(area.subWindowList().back());
    ASSERT_TRUE(first.window->isMinimized());
    EXPECT_FALSE(first.window->isActive());

    // From the menu again: refused, cancelled, CallRequest left 0.
    Proc second{"BrowseMarcas", ui::Window::Placement::FrameChild};
    second.request = kChange;
    second.start();
    ASSERT_TRUE(second.waitFinished());
    EXPECT_EQ(second.response, kCancelled);
    EXPECT_EQ(second.requestAfter, 0);
    EXPECT_EQ(area.subWindowList().size(), 2) << "nothing new opened";
    ASSERT_TRUE(runFor([&] { return !first.window->isMinimized() && first.window->isActive(); }))
        << "the open window is restored and comes to the front";
    EXPECT_EQ(globals().RunningProcedures.size(), 2u);

    // A look-up (select mode) opens all the same and registers nothing.
    Proc pick{"BrowseMarcas", ui::Window::Placement::FrameChild};
    pick.request = kSelect;
    ASSERT_TRUE(pick.startAndWaitOpen());
    EXPECT_EQ(area.subWindowList().size(), 3);
    EXPECT_EQ(pick.controller->OwnRunningEntry, 0);
    EXPECT_EQ(globals().RunningProcedures.size(), 2u);
    pick.closeBox();
    ASSERT_TRUE(pick.waitFinished());
    EXPECT_TRUE(hasEntry("BrowseMarcas")) << "the menu one keeps its entry";

    first.closeBox();
    other.closeBox();
    ASSERT_TRUE(first.waitFinished());
    ASSERT_TRUE(other.waitFinished());
    // Closed: the next start opens again.
    Proc again{"BrowseMarcas", ui::Window::Placement::FrameChild};
    ASSERT_TRUE(again.startAndWaitOpen());
    again.closeBox();
    ASSERT_TRUE(again.waitFinished());
    ui::Window::setFrameArea(nullptr);
}

// An error that escapes a procedure ends its thread; the procedure's entry
// goes with it, or its menu item would never open a window again (each
// choice would be refused in favour of a window that no longer exists).
TEST_F(WindowControllerTest, AnErrorThatEndsTheProcedureLeavesNoRunningEntry) {
    struct Failing : WindowController {
        using WindowController::WindowController;
        int OnAccepted(int control) override {
            if (control == kAbout) throw std::runtime_error("fallo");
            return WindowController::OnAccepted(control);
        }
    };
    std::string reported;
    threads::setUnexpectedErrorHandler([&](threads::ThreadNo, const std::string& what) { reported = what; });
    bool open = false, ended = false;
    ui::Window* window = nullptr;
    threads::start(
        [&] {
            ui::Window w(QStringLiteral("BrowsePaises"), QSize(300, 250));
            buildForm(w);
            window = &w;
            Failing c("BrowsePaises", w);
            c.FIRSTFIELD = kName;
            open = true;
            struct End {
                bool& ended;
                ~End() { ended = true; }
            } end{ended};
            RunProcedure(c);
        },
        0);
    ASSERT_TRUE(runFor([&] { return open && window->isOpen(); }));
    EXPECT_TRUE(hasEntry("BrowsePaises"));
    window->post({EventKind::Accepted, kAbout});
    ASSERT_TRUE(runFor([&] { return ended; }));
    threads::setUnexpectedErrorHandler(nullptr);
    EXPECT_EQ(reported, "fallo");
    EXPECT_FALSE(hasEntry("BrowsePaises"));
    // Chosen again, the procedure opens its window.
    Proc again{"BrowsePaises"};
    ASSERT_TRUE(again.startAndWaitOpen());
    again.closeBox();
    ASSERT_TRUE(again.waitFinished());
}

TEST_F(WindowControllerTest, TheWindowOnTopOfTheOtherThreadIsTheOneBroughtBack) {
    // A list with a form open over it: the form is the thread's top window.
    Proc list{"BrowseMarcas"};
    ui::Window* form = nullptr;
    bool formClosed = false;
    list.prepare = [&](ui::Window& w, WindowController&) {
        w.add({ControlKind::Button, 50, "?INSERT", "&Agregar", QRect(5, 240, 60, 20)});
    };
    struct FormController : WindowController {
        using WindowController::WindowController;
    };
    list.start();
    ASSERT_TRUE(runFor([&] { return list.controller != nullptr; }));
    // The list's thread calls the form, as its insert button would.
    struct Hook : WindowComponent {
        std::function<void()> fn;
        bool TakeEvent(WindowController&, const ui::WindowEvent& e) override {
            if (e.kind != EventKind::User) return false;
            fn();
            return true;
        }
    } hook;
    hook.fn = [&] {
        ui::Window fw(QStringLiteral("Altas"), QSize(200, 100));
        fw.add({ControlKind::Entry, 1, "?E", "", QRect(10, 10, 100, 22)});
        FormController fc("UpdateMarcas", fw);
        form = &fw;
        RunProcedure(fc);
        form = nullptr;
        formClosed = true;
    };
    list.controller->AddComponent(&hook);
    ui::Window::postTo(list.thread, {EventKind::User});
    ASSERT_TRUE(runFor([&] { return form != nullptr && form->isOpen(); }));
    EXPECT_FALSE(list.window->takesInput()) << "the list waits for its form";
    form->topWidget()->showMinimized();

    Proc second{"BrowseMarcas"};
    second.start();
    ASSERT_TRUE(second.waitFinished());
    EXPECT_EQ(second.response, kCancelled);
    ASSERT_TRUE(runFor([&] { return !form->isMinimized(); })) << "the form comes back";

    form->widget()->close();
    ASSERT_TRUE(runFor([&] { return formClosed; }));
    EXPECT_TRUE(list.window->takesInput());
    list.closeBox();
    ASSERT_TRUE(list.waitFinished());
}

TEST_F(WindowControllerTest, EnterMovesTheFocusAsTabDoesWithItsExceptions) {
    Proc p{"UpdateCiudades"};
    p.prepare = [](ui::Window&, WindowController& c) {
        c.OkButton = kOk;
        c.CancelButton = kCancel;
        c.OKCONTROL = kOk;
        c.CloseButtons = {kCancel};
    };
    ASSERT_TRUE(p.startAndWaitOpen());
    ui::Window& w = *p.window;
    activate(w);
    ASSERT_TRUE(runFor([&] { return w.at(kName).hasFocus(); }));
    QTest::keyClicks(w.at(kName).widget(), QStringLiteral("Monterrey"));
    QTest::keyClick(w.at(kName).widget(), Qt::Key_Return);
    ASSERT_TRUE(runFor([&] { return w.at(kCity).hasFocus(); })) << "entry: Enter goes on";
    EXPECT_EQ(w.at(kName).text(), QStringLiteral("Monterrey"));
    EXPECT_EQ(p.controller->LastEnterControl, kName);
    QTest::keyClick(w.at(kCity).widget(), Qt::Key_Return);
    ASSERT_TRUE(runFor([&] { return w.at(kNotes).hasFocus(); }));

    // In a text box Enter breaks the line and stays.
    auto* notes = w.at(kNotes).as<QPlainTextEdit>();
    QTest::keyClicks(notes, QStringLiteral("a"));
    QTest::keyClick(notes, Qt::Key_Return);
    ASSERT_TRUE(runFor([&] { return notes->toPlainText().size() == 2; }));
    QTest::keyClicks(notes, QStringLiteral("b"));
    ASSERT_TRUE(runFor([&] { return notes->toPlainText().size() == 3; }));
    EXPECT_TRUE(notes->hasFocus());
    EXPECT_EQ(notes->toPlainText().front(), QChar('a'));
    EXPECT_EQ(notes->toPlainText().back(), QChar('b'));

    // A button that is neither OK nor Cancel is not pressed: the focus moves on.
    int aboutClicks = 0;
    QObject::connect(w.at(kAbout).as<QPushButton>(), &QPushButton::clicked, [&] { ++aboutClicks; });
    w.at(kAbout).focus();
    ASSERT_TRUE(runFor([&] { return w.at(kAbout).hasFocus(); }));
    QTest::keyClick(w.at(kAbout).widget(), Qt::Key_Return);
    ASSERT_TRUE(runFor([&] { return !w.at(kAbout).hasFocus(); }));
    EXPECT_EQ(aboutClicks, 0);
    EXPECT_FALSE(p.finished);

    // Enter on OK completes the window.
    w.at(kOk).focus();
    ASSERT_TRUE(runFor([&] { return w.at(kOk).hasFocus(); }));
    QTest::keyClick(w.at(kOk).widget(), Qt::Key_Return);
    ASSERT_TRUE(p.waitFinished());
    EXPECT_EQ(p.response, kCompleted);
}

TEST_F(WindowControllerTest, EnterOnCancelCancelsAndListsKeepTheirEnter) {
    Proc form{"UpdatePaises"};
    form.prepare = [](ui::Window&, WindowController& c) {
        c.OkButton = kOk;
        c.CancelButton = kCancel;
        c.CloseButtons = {kCancel};
    };
    ASSERT_TRUE(form.startAndWaitOpen());
    activate(*form.window);
    form.window->at(kCancel).focus();
    ASSERT_TRUE(runFor([&] { return form.window->at(kCancel).hasFocus(); }));
    QTest::keyClick(form.window->at(kCancel).widget(), Qt::Key_Return);
    ASSERT_TRUE(form.waitFinished());
    EXPECT_EQ(form.response, kCancelled);

    // A list window where Enter keeps the list's own meaning.
    Proc list{"BrowsePaises"};
    list.prepare = [](ui::Window&, WindowController& c) { c.EnterMovesFocus = 0; };
    ASSERT_TRUE(list.startAndWaitOpen());
    activate(*list.window);
    ASSERT_TRUE(runFor([&] { return list.window->at(kName).hasFocus(); }));
    QTest::keyClick(list.window->at(kName).widget(), Qt::Key_Return);
    // Let the loop take the key, then let any key it pressed arrive.
    ASSERT_TRUE(runFor([&] { return !list.window->hasEvents(); }));
    threads::runUntilIdle();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(list.window->at(kName).hasFocus());
    list.closeBox();
    ASSERT_TRUE(list.waitFinished());
}

TEST_F(WindowControllerTest, ABlankRequiredEntryStopsAcceptWithABeep) {
    Proc p{"UpdateEstados"};
    p.prepare = [](ui::Window& w, WindowController& c) {
        c.OKCONTROL = kOk;
        w.at(kCity).setRequired(true);
    };
    ASSERT_TRUE(p.startAndWaitOpen());
    ui::Window& w = *p.window;
    activate(w);
    const int beeps = ui::beepCount();
    QTest::mouseClick(w.at(kOk).widget(), Qt::LeftButton);
    ASSERT_TRUE(runFor([&] { return ui::beepCount() == beeps + 1; }));
    ASSERT_TRUE(runFor([&] { return w.at(kCity).hasFocus(); })) << "the focus goes to the blank required entry";
    EXPECT_FALSE(p.finished);
    w.at(kCity).setText(QStringLiteral("Jalisco"));
    QTest::mouseClick(w.at(kOk).widget(), Qt::LeftButton);
    ASSERT_TRUE(p.waitFinished());
    EXPECT_EQ(p.response, kCompleted);
    EXPECT_EQ(ui::beepCount(), beeps + 1);
}

// The box two units around, the "»" eight units to the left.
void expectHighlightAround(ui::Window& w, WindowController& c, int control) {
    const QRect r = w.at(control).position();
    ASSERT_EQ(c.Highlight.HighlightedControl, control);
    ASSERT_EQ(w.drawings().size(), 2u);
    EXPECT_EQ(w.drawings()[0].rect, QRect(r.x() - 2, r.y() - 2, r.width() + 4, r.height() + 4));
    EXPECT_EQ(w.drawings()[0].outline, 0x000000);
    EXPECT_EQ(w.drawings()[0].fill, 0x00FFFF);
    EXPECT_EQ(w.drawings()[1].text, QStringLiteral("»"));
    EXPECT_EQ(w.drawings()[1].rect.topLeft(), QPoint(r.x() - 8, r.y()));
    EXPECT_EQ(w.drawings()[1].color, 0x808080);
    const QImage img = w.render();
    EXPECT_EQ(QColor(img.pixel(r.x() - 2, r.center().y())), QColor(0, 0, 0)) << "outline";
    EXPECT_EQ(QColor(img.pixel(r.x() - 1, r.center().y())), QColor(255, 255, 0)) << "yellow frame";
}

TEST_F(WindowControllerTest, TheFocusBoxIsDrawnAndMovesWithTheFocus) {
    Proc p{"UpdateDeptos"};
    ASSERT_TRUE(p.startAndWaitOpen());
    ui::Window& w = *p.window;
    WindowController& c = *p.controller;
    activate(w);
    ASSERT_TRUE(runFor([&] { return c.Highlight.HighlightedControl == kName; }));
    expectHighlightAround(w, c, kName);
    EXPECT_EQ(w.at(kName).background(), 0x00FFFF);
    EXPECT_EQ(w.at(kName).widget()->palette().color(QPalette::Base), QColor(255, 255, 0));

    QTest::keyClick(w.at(kName).widget(), Qt::Key_Tab);
    ASSERT_TRUE(runFor([&] { return c.Highlight.HighlightedControl == kCity; }));
    expectHighlightAround(w, c, kCity);
    EXPECT_EQ(w.at(kName).background(), 0xFFFFFF) << "the entry left gets its white back";

    // A read-only entry is highlighted like the others.
    w.at(kName).setReadOnly(true);
    QTest::keyClick(w.at(kCity).widget(), Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_TRUE(runFor([&] { return c.Highlight.HighlightedControl == kName; }));
    expectHighlightAround(w, c, kName);

    // A drop list gets box and marker but keeps its colour.
    w.at(kKind).focus();
    ASSERT_TRUE(runFor([&] { return c.Highlight.HighlightedControl == kKind; }));
    expectHighlightAround(w, c, kKind);
    EXPECT_EQ(w.at(kKind).background(), ui::kNoColor);

    // A plain list and a button take the highlight away.
    w.at(kPlainList).focus();
    ASSERT_TRUE(runFor([&] { return c.Highlight.HighlightedControl == 0; }));
    EXPECT_TRUE(w.drawings().empty());
    w.at(kCity).focus();
    ASSERT_TRUE(runFor([&] { return c.Highlight.HighlightedControl == kCity; }));
    w.at(kOk).focus();
    ASSERT_TRUE(runFor([&] { return c.Highlight.HighlightedControl == 0; }));
    EXPECT_TRUE(w.drawings().empty());
    EXPECT_EQ(w.at(kCity).background(), 0xFFFFFF);

    // A disabled control that is selected shows none and removes the old one.
    w.at(kName).focus();
    ASSERT_TRUE(runFor([&] { return c.Highlight.HighlightedControl == kName; }));
    w.at(kCity).setDisabled(true);
    w.post({EventKind::Selected, kCity});
    ASSERT_TRUE(runFor([&] { return c.Highlight.HighlightedControl == 0; }));
    EXPECT_TRUE(w.drawings().empty());
    p.closeBox();
    ASSERT_TRUE(p.waitFinished());
}

// A window that opens larger than designed (maximised in the frame) is
// laid out for that size at once, not only at its next resize.
TEST_F(WindowControllerTest, AWindowOpenedLargerIsLaidOutAtOnce) {
    Proc p{"UpdateAlmacenes"};
    p.prepare = [](ui::Window& w, WindowController&) {
        w.add({ControlKind::Entry, 40, "?RIGHT", "", QRect(230, 40, 60, 22)});
        w.widget()->resize(400, 250);
    };
    ASSERT_TRUE(p.startAndWaitOpen());
    EXPECT_EQ(p.window->at(40).position().x(), 330);
    p.closeBox();
    ASSERT_TRUE(p.waitFinished());
}

// A tab switch takes the highlight from a control that no longer shows
// (to the control that has the focus now, when it qualifies).
TEST_F(WindowControllerTest, TheHighlightFollowsATabSwitch) {
    Proc p{"UpdateAlmacenes"};
    p.prepare = [](ui::Window& w, WindowController&) {
        w.add({ControlKind::Sheet, 60, "?SHEET", "", QRect(10, 120, 280, 70)});
        w.add({ControlKind::Tab, 61, "?TABA", "A", {}, 60});
        w.add({ControlKind::Tab, 62, "?TABB", "B", {}, 60});
        w.add({ControlKind::Entry, 63, "?ONA", "", QRect(10, 10, 100, 22), 61});
    };
    ASSERT_TRUE(p.startAndWaitOpen());
    ui::Window& w = *p.window;
    WindowController& c = *p.controller;
    activate(w);
    w.at(63).focus();
    ASSERT_TRUE(runFor([&] { return c.Highlight.HighlightedControl == 63; }));
    w.at(60).as<QTabWidget>()->setCurrentIndex(1);
    ASSERT_TRUE(runFor([&] { return c.Highlight.HighlightedControl != 63 && !w.hasEvents(); }));
    EXPECT_TRUE(c.Highlight.HighlightedControl == 0 || !w.at(c.Highlight.HighlightedControl).hidden());
    p.closeBox();
    ASSERT_TRUE(p.waitFinished());
}

TEST_F(WindowControllerTest, TheHighlightFollowsARelayoutAndGoesWhenItsControlIsHidden) {
    Proc p{"UpdateAlmacenes"};
    p.prepare = [](ui::Window& w, WindowController&) {
        // In the right-hand third: the resizer moves it with the window's edge.
        w.add({ControlKind::Entry, 40, "?RIGHT", "", QRect(230, 40, 60, 22)});
    };
    ASSERT_TRUE(p.startAndWaitOpen());
    ui::Window& w = *p.window;
    WindowController& c = *p.controller;
    activate(w);
    w.at(40).focus();
    ASSERT_TRUE(runFor([&] { return c.Highlight.HighlightedControl == 40; }));
    const QRect before = w.at(40).position();
    w.widget()->resize(400, 250);
    ASSERT_TRUE(runFor([&] { return c.Highlight.HighlightX == before.x() + 100; }));
    expectHighlightAround(w, c, 40);
    EXPECT_EQ(w.at(40).position().x(), before.x() + 100);

    // Hidden, it loses the focus and the box goes with it to the control
    // that has the focus now.
    const QRect old = w.at(40).position();
    w.at(40).setHidden(true);
    w.post({EventKind::GainFocus});
    ASSERT_TRUE(runFor([&] { return c.Highlight.HighlightedControl != 40 && !w.hasEvents(); }));
    for (const ui::Drawing& d : w.drawings()) EXPECT_FALSE(old.adjusted(-8, -2, 8, 2).contains(d.rect.topLeft()));
    if (c.Highlight.HighlightedControl != 0) {
        ASSERT_NE(w.focusedControl(), nullptr);
        EXPECT_EQ(w.focusedControl()->number(), c.Highlight.HighlightedControl);
    }
    p.closeBox();
    ASSERT_TRUE(p.waitFinished());
}

TEST_F(WindowControllerTest, TwoThreadsKeepWorkingWhileOneWaitsInAMessageBox) {
    ui::QtMessagePresenter presenter;
    ErrorReporter::instance().setPresenter(&presenter);
    Answer answer = Answer::Ok;
    bool answered = false;
    struct Asker : WindowComponent {
        std::function<void()> fn;
        bool TakeEvent(WindowController&, const ui::WindowEvent& e) override {
            if (e.kind == EventKind::Accepted && e.control == kAbout) {
                fn();
                return true;
            }
            return false;
        }
    } asker;
    asker.fn = [&] {
        answer = ErrorReporter::instance().raise(10);
        answered = true;
    };
    Proc a{"UpdateArticulo"};
    a.prepare = [&](ui::Window&, WindowController& c) { c.AddComponent(&asker); };
    Proc b{"UpdateProveedores"};
    b.prepare = [](ui::Window&, WindowController& c) { c.CloseButtons = {kCancel}; };
    ASSERT_TRUE(a.startAndWaitOpen());
    ASSERT_TRUE(b.startAndWaitOpen());

    QTest::mouseClick(a.window->at(kAbout).widget(), Qt::LeftButton);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(runFor([&] {
        for (QWidget* d : ui::openDialogs())
            if (auto* mb = qobject_cast<QMessageBox*>(d)) box = mb;
        return box != nullptr;
    }));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Cambios no seran Realizados!"));
    EXPECT_FALSE(a.window->takesInput());
    // A's window is deaf; B's close button works at once.
    a.closeBox();
    QTest::mouseClick(b.window->at(kCancel).widget(), Qt::LeftButton);
    ASSERT_TRUE(b.waitFinished());
    EXPECT_EQ(b.response, kCancelled);
    EXPECT_FALSE(a.finished);

    QAbstractButton* yes = nullptr;
    for (QAbstractButton* bt : box->buttons())
        if (bt->text() == QStringLiteral("&Sí")) yes = bt;
    ASSERT_NE(yes, nullptr);
    QTest::mouseClick(yes, Qt::LeftButton);
    ASSERT_TRUE(runFor([&] { return answered; }));
    EXPECT_EQ(answer, Answer::Yes);
    EXPECT_TRUE(a.window->takesInput());
    a.closeBox();
    ASSERT_TRUE(a.waitFinished());
    ErrorReporter::instance().setPresenter(nullptr);
}

}  // namespace
}  // namespace tv::app
