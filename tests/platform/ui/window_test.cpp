#include "platform/ui/window.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include <QApplication>
#include <QCalendarWidget>
#include <QToolButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QAbstractFileIconProvider>
#include <QFileSystemModel>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include "tests/support/fiber_helpers.h"
#include "tests/support/frame_area.h"
#include "tests/support/scratch_dir.h"

#include "platform/threads/logical_thread.h"
#include "platform/ui/cell_editor.h"
#include "platform/ui/colors.h"
#include "platform/ui/desktop.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/resizer.h"
#include "platform/ui/wizard_pages.h"

namespace tv::ui {
namespace {

using test::runFor;

using namespace std::chrono_literals;

// A window on its own logical thread whose event loop records what it gets.
// The test drives it from the main stack with real key presses and clicks.
struct Recorder {
    std::unique_ptr<Window> window;
    std::vector<WindowEvent> events;
    std::function<void(Window&)> build;
    std::function<void(Window&, const WindowEvent&)> onEvent;
    QSize size{300, 200};
    bool designedIsSmallest = false;  // as a window with a resizer makes it
    threads::ThreadNo thread = 0;
    bool stop = false;
    bool done = false;

    void start(Window::Placement placement = Window::Placement::Own) {
        thread = threads::start(
            [this, placement] {
                window = std::make_unique<Window>(QStringLiteral("Prueba"), size, placement);
                if (build) build(*window);
                window->open();
                if (designedIsSmallest) window->setMinimumSize(size);
                while (!stop) {
                    WindowEvent e = window->nextEvent();
                    events.push_back(e);
                    if (onEvent) onEvent(*window, e);
                    if (e.kind == EventKind::CloseWindow) break;
                }
                window->close();
                done = true;
            },
            0);
        EXPECT_TRUE(runFor([this] { return window != nullptr && window->isOpen(); }));
    }
    static constexpr int kAny = std::numeric_limits<int>::min();
    int count(EventKind k, int control = kAny) const {
        int n = 0;
        for (const auto& e : events)
            if (e.kind == k && (control == kAny || e.control == control)) ++n;
        return n;
    }
    void finish() {
        if (done || window == nullptr) return;
        stop = true;
        window->post({EventKind::User, 0});
        EXPECT_TRUE(runFor([this] { return done; }));
    }
    ~Recorder() {
        finish();
        window.reset();
    }
};

void addEntryForm(Window& w) {
    w.add({ControlKind::Prompt, 1, "?PROMPT1", "Nombre:", QRect(10, 10, 60, 20)});
    w.add({ControlKind::Entry, 2, "?NAME", "", QRect(80, 10, 120, 22)});
    w.add({ControlKind::Entry, 3, "?CITY", "", QRect(80, 40, 120, 22)});
    w.add({ControlKind::Button, 4, "?OK", "Aceptar", QRect(80, 80, 80, 26)});
}

void activate(Window& w) {
    w.topWidget()->activateWindow();
    QApplication::setActiveWindow(w.topWidget()->window());
    EXPECT_TRUE(QTest::qWaitForWindowActive(w.topWidget()->window()));
}

TEST(Colors, BlueGreenRedValuesConvertBothWays) {
    struct Case {
        int32_t bgr;
        int r, g, b;
    } cases[] = {{0xCDF5F5, 0xF5, 0xF5, 0xCD}, {0x00FFFF, 0xFF, 0xFF, 0x00}, {0x0000FF, 0xFF, 0, 0},
                 {0x808080, 0x80, 0x80, 0x80}, {0xA2ECA7, 0xA7, 0xEC, 0xA2}};
    for (const Case& c : cases) {
        const QColor q = fromBgr(c.bgr);
        EXPECT_EQ(q.red(), c.r) << std::hex << c.bgr;
        EXPECT_EQ(q.green(), c.g);
        EXPECT_EQ(q.blue(), c.b);
        EXPECT_EQ(toBgr(q), c.bgr);
    }
}

TEST(Controls, AddressedByNumberAndNameWithTheirProperties) {
    Window w(QStringLiteral("Controles"), QSize(400, 300));
    w.add({ControlKind::Sheet, 10, "?CURRENTTAB", "", QRect(5, 5, 390, 200)});
    w.add({ControlKind::Tab, 11, "?TAB1", "General", {}, 10});
    w.add({ControlKind::Entry, 12, "?ART:NoArt", "", QRect(80, 20, 100, 22), 11});
    w.add({ControlKind::DropList, 13, "?ART:Tipo", "A|B|C", QRect(80, 50, 100, 22), 11});
    w.add({ControlKind::Combo, 14, "?COMBO", "x|y", QRect(80, 80, 100, 22), 11});
    w.add({ControlKind::CheckBox, 15, "?ACTIVO", "Activo", QRect(10, 220, 100, 22)});
    EXPECT_THROW(w.add({ControlKind::Entry, 12, "?DUP"}), std::invalid_argument);

    EXPECT_EQ(w.numberOf("?ART:NoArt"), 12);
    EXPECT_EQ(w.numberOf("?NADA"), 0);
    Control& entry = w.at(12);
    EXPECT_EQ(w.control("?ART:NoArt"), &entry);
    EXPECT_EQ(entry.kind(), ControlKind::Entry);
    EXPECT_THROW(w.at(99), std::out_of_range);

    entry.setText(QStringLiteral("   "));
    EXPECT_TRUE(entry.isBlank());
    entry.setText(QStringLiteral("A-1"));
    EXPECT_EQ(entry.as<QLineEdit>()->text(), QStringLiteral("A-1"));
    EXPECT_FALSE(entry.isBlank());
    entry.setReadOnly(true);
    EXPECT_TRUE(entry.as<QLineEdit>()->isReadOnly());
    entry.setBackground(0x00FFFF);
    EXPECT_EQ(entry.widget()->palette().color(QPalette::Base), QColor(255, 255, 0));
    EXPECT_EQ(entry.background(), 0x00FFFF);
    entry.setTip(QStringLiteral("Número"));
    EXPECT_EQ(entry.widget()->toolTip(), QStringLiteral("Número"));

    EXPECT_EQ(w.at(13).text(), QStringLiteral("A"));
    w.at(13).setText(QStringLiteral("C"));
    EXPECT_EQ(w.at(13).as<QComboBox>()->currentIndex(), 2);
    EXPECT_EQ(w.at(13).dropRows(), 10) << "a drop list drops down";
    EXPECT_EQ(w.at(14).dropRows(), 0) << "a plain combo does not";
    EXPECT_EQ(w.at(11).text(), QStringLiteral("General"));

    // Position in window units: a control on a tab is placed inside the sheet.
    w.open();
    const QRect p = entry.position();
    EXPECT_GT(p.x(), 80);
    EXPECT_GT(p.y(), 20);
    EXPECT_EQ(p.size(), QSize(100, 22));

    w.at(15).setDisabled(true);
    EXPECT_TRUE(w.at(15).disabled());
    w.at(10).setHidden(true);
    EXPECT_TRUE(entry.hidden()) << "hidden with its sheet";
    w.close();
}

TEST(WindowEvents, TypedInputBecomesEventsOnTheOwningThread) {
    Recorder r;
    r.build = addEntryForm;
    r.start();
    activate(*r.window);
    auto* name = r.window->at(2).as<QLineEdit>();
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral("Juan"));
    QTest::keyClick(name, Qt::Key_Tab);
    ASSERT_TRUE(runFor([&] { return r.count(EventKind::Accepted, 2) == 1; }));
    EXPECT_TRUE(runFor([&] { return r.count(EventKind::Selected, 3) >= 1; })) << "the focus moved to the city";
    QTest::mouseClick(r.window->at(4).widget(), Qt::LeftButton);
    EXPECT_TRUE(runFor([&] { return r.count(EventKind::Accepted, 4) == 1; }));
    EXPECT_EQ(r.count(EventKind::OpenWindow), 1);

    // The close box asks; the window stays until its procedure closes it.
    r.window->widget()->close();
    EXPECT_TRUE(runFor([&] { return r.done; }));
    EXPECT_EQ(r.events.back().kind, EventKind::CloseWindow);
}

TEST(Controls, APromptsKeyIsUnderlinedWhetherItsControlIsTypedOrOnlyShown) {
    // "&Código:" before the code shown and "&Nombre:" before an entry: both
    // show the key letter underlined, neither a literal "&".
    Window w(QStringLiteral("Prompts"), QSize(300, 120));
    w.add({ControlKind::Prompt, 1, "?CODE:PROMPT", QStringLiteral("&Código:"), QRect(8, 10, 100, 20)});
    w.add({ControlKind::DisplayString, 2, "?CODE", QStringLiteral("12"), QRect(112, 10, 60, 20)});
    w.add({ControlKind::Prompt, 3, "?NAME:PROMPT", QStringLiteral("&Nombre:"), QRect(8, 40, 100, 20)});
    w.add({ControlKind::Entry, 4, "?NAME", {}, QRect(112, 40, 150, 22)});
    EXPECT_EQ(w.at(1).as<QLabel>()->buddy(), w.at(2).widget());
    EXPECT_EQ(w.at(3).as<QLabel>()->buddy(), w.at(4).widget());
    EXPECT_FALSE(w.at(2).widget()->focusPolicy() & Qt::TabFocus) << "the code still takes no focus";
}

TEST(WindowEvents, TypingIntoAFieldGivenTheFocusReplacesItsValue) {
    // A form gives its first field the focus; a new record shows 0 there and
    // the user types the article number at once.
    Recorder r;
    r.build = addEntryForm;
    r.start();
    activate(*r.window);
    Control& name = r.window->at(2);
    name.setText(QStringLiteral("0"));
    name.focus();
    ASSERT_TRUE(runFor([&] { return name.hasFocus(); }));
    QTest::keyClicks(name.widget(), QStringLiteral("100"));
    EXPECT_EQ(name.text(), QStringLiteral("100"));
}

TEST(WindowEvents, AWindowOpenedOnAPromptTakesTypingInTheFieldAfterIt) {
    // The administrator login names its first prompt as its first field:
    // the name typed at once must land in the name entry, not be lost.
    Recorder r;
    r.build = [](Window& w) {
        w.add({ControlKind::Prompt, 1, "?NAME:PROMPT", QStringLiteral("&Nombre:"), QRect(10, 10, 60, 20)});
        w.add({ControlKind::Entry, 2, "?NAME", "", QRect(80, 10, 120, 22)});
        w.add({ControlKind::Entry, 3, "?PASSWORD", "", QRect(80, 40, 120, 22)});
    };
    r.thread = threads::start([&r] {
        r.window = std::make_unique<Window>(QStringLiteral("Acceso"), QSize(300, 200));
        r.build(*r.window);
        r.window->open(1);
        while (!r.stop) {
            WindowEvent e = r.window->nextEvent();
            r.events.push_back(e);
        }
        r.window->close();
        r.done = true;
    }, 0);
    ASSERT_TRUE(runFor([&] { return r.window != nullptr && r.window->isOpen(); }));
    activate(*r.window);
    ASSERT_TRUE(runFor([&] { return r.window->at(2).hasFocus(); }));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("kvz"));
    EXPECT_EQ(r.window->at(2).text(), QStringLiteral("kvz"));
    // Selecting a prompt later works the same way.
    r.window->at(1).focus();
    EXPECT_TRUE(r.window->at(2).hasFocus());
}

TEST(WindowEvents, ControlOrderIsTheTabOrder) {
    Recorder r;
    r.build = [](Window& w) {
        addEntryForm(w);
        w.setControlOrder({3, 2});
    };
    r.start();
    activate(*r.window);
    EXPECT_EQ(r.window->controls()[0]->number(), 3);
    EXPECT_EQ(r.window->controls()[1]->number(), 2);
    r.window->at(3).focus();
    ASSERT_TRUE(runFor([&] { return r.window->at(3).hasFocus(); }));
    QTest::keyClick(r.window->at(3).widget(), Qt::Key_Tab);
    EXPECT_TRUE(r.window->at(2).hasFocus());
}

TEST(WindowEvents, AlertKeysAndPressedKeys) {
    Recorder r;
    r.build = [](Window& w) {
        addEntryForm(w);
        w.add({ControlKind::MultiLineText, 5, "?NOTAS", "", QRect(10, 120, 200, 60)});
        w.alertKey(kEnterKey);
        w.alertKey(keyCode(Qt::Key_F3), 3);  // only in the city entry
    };
    r.onEvent = [](Window& w, const WindowEvent& e) {
        if (e.kind == EventKind::AlertKey && e.key == kEnterKey) {
            if (e.control == 5) {
                w.pressKeys({kShiftEnterKey, kShiftKey});
            } else {
                w.pressKey(kTabKey);
            }
        }
    };
    r.start();
    activate(*r.window);
    auto* name = r.window->at(2).as<QLineEdit>();
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral("ab"));
    QTest::keyClick(name, Qt::Key_F3);  // not armed here: the entry keeps it
    QTest::keyClick(name, Qt::Key_Return);
    ASSERT_TRUE(runFor([&] { return r.window->at(3).hasFocus(); })) << "Enter was turned into Tab";
    EXPECT_EQ(r.count(EventKind::AlertKey), 1);
    QTest::keyClick(r.window->at(3).widget(), Qt::Key_F3);
    ASSERT_TRUE(runFor([&] { return r.count(EventKind::AlertKey) == 2; }));
    EXPECT_EQ(r.events.back().control, 3);
    EXPECT_EQ(r.events.back().key, keyCode(Qt::Key_F3));

    auto* notes = r.window->at(5).as<QPlainTextEdit>();
    notes->setFocus();
    QTest::keyClicks(notes, QStringLiteral("uno"));
    QTest::keyClick(notes, Qt::Key_Enter);  // keypad Enter counts as Enter
    QTest::keyClicks(notes, QStringLiteral("dos"));
    ASSERT_TRUE(runFor([&] { return notes->toPlainText().size() == 6 + 1 && r.count(EventKind::AlertKey) == 3; }));
    EXPECT_TRUE(notes->hasFocus()) << "the line break stays in the text";
    QCoreApplication::processEvents();
    EXPECT_EQ(notes->toPlainText().size(), 7);
    EXPECT_TRUE(notes->toPlainText().startsWith(QStringLiteral("uno")));
}

// Esc closes a window as its close box does, unless the window alerts it;
// in an open drop-down list it only closes the list.
TEST(WindowEvents, EscClosesTheWindowUnlessAlerted) {
    {
        Recorder r;
        r.build = [](Window& w) {
            addEntryForm(w);
            w.add({ControlKind::DropCombo, 6, "?COMBO", "uno|dos", QRect(10, 120, 120, 22)});
        };
        r.start();
        activate(*r.window);
        auto* combo = r.window->at(6).as<QComboBox>();
        combo->setFocus();
        combo->showPopup();
        QApplication::processEvents();
        QWidget* popup = combo->view();
        QTest::keyClick(popup, Qt::Key_Escape);
        test::settle();
        EXPECT_EQ(r.count(EventKind::CloseWindow), 0) << "only the list closed";
        QTest::keyClick(r.window->at(2).widget(), Qt::Key_Escape);
        ASSERT_TRUE(runFor([&] { return r.done; }));
        EXPECT_EQ(r.count(EventKind::CloseWindow), 1);
    }
    {
        Recorder r;
        r.build = [](Window& w) {
            addEntryForm(w);
            w.alertKey(keyCode(Qt::Key_Escape));
        };
        r.start();
        activate(*r.window);
        QTest::keyClick(r.window->at(2).widget(), Qt::Key_Escape);
        ASSERT_TRUE(runFor([&] { return r.count(EventKind::AlertKey) == 1; }));
        EXPECT_EQ(r.count(EventKind::CloseWindow), 0);
    }
}

TEST(WindowEvents, PostedEventsReachAnotherThreadsTopWindow) {
    Recorder a, b;
    a.start();
    b.start();
    EXPECT_EQ(Window::topOf(a.thread), a.window.get());
    EXPECT_TRUE(Window::postTo(b.thread, {EventKind::User, 0, 0, -1, -1, Qt::NoButton, 0, 42}));
    ASSERT_TRUE(runFor([&] { return b.count(EventKind::User) == 1; }));
    EXPECT_EQ(b.events.back().value, 42);
    EXPECT_EQ(a.count(EventKind::User), 0);
    EXPECT_FALSE(Window::postTo(9999, {EventKind::User}));
}

TEST(WindowEvents, ListsReportMouseAndKeysAndSelection) {
    Recorder r;
    r.build = [](Window& w) {
        Control& l = w.add({ControlKind::List, 1, "?BROWSE:1", "", QRect(5, 5, 290, 150)});
        auto* t = l.as<QTableWidget>();
        t->setColumnCount(1);
        t->setRowCount(3);
        for (int i = 0; i < 3; ++i) t->setItem(i, 0, new QTableWidgetItem(QString::number(i)));
    };
    r.start();
    activate(*r.window);
    auto* t = r.window->at(1).as<QTableWidget>();
    const QRect cell = t->visualRect(t->model()->index(1, 0));
    // A double click as a user makes it: press, release, double click.
    QTest::mouseClick(t->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(t->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    ASSERT_TRUE(runFor([&] { return r.count(EventKind::ListMouse) == 2; }));
    WindowEvent last;
    for (const auto& e : r.events)
        if (e.kind == EventKind::ListMouse) last = e;
    EXPECT_EQ(last.row, 1);
    EXPECT_EQ(last.clicks, 2);
    EXPECT_GE(r.count(EventKind::NewSelection, 1), 1);
    QTest::keyClick(t, Qt::Key_Insert);
    QTest::keyClick(t, Qt::Key_Down);  // moving keys stay with the list
    ASSERT_TRUE(runFor([&] { return r.count(EventKind::ListKey) == 1; }));
    for (const auto& e : r.events) {
        if (e.kind == EventKind::ListKey) {
            EXPECT_EQ(e.key, keyCode(Qt::Key_Insert));
        }
    }
    EXPECT_EQ(t->currentRow(), 2);
}

// A cell editor over a list: the keys that leave the cell reach the list's
// thread (Esc too, without closing the window), every other key is the
// editor's; a click elsewhere leaves the cell with key 0.
TEST(WindowEvents, ACellEditorReportsTheKeysThatLeaveItsCell) {
    Recorder r;
    r.build = [](Window& w) {
        Control& l = w.add({ControlKind::List, 1, "?BROWSE:1", "", QRect(5, 5, 290, 120)});
        auto* t = l.as<QTableWidget>();
        t->setColumnCount(2);
        t->setRowCount(2);
        w.add({ControlKind::Button, 2, "?OK", "Aceptar", QRect(5, 150, 80, 26)});
    };
    r.start();
    activate(*r.window);
    CellEditor editor(*r.window, 1);
    CellEditorShape spin;
    spin.kind = CellEditorShape::Kind::SpinBox;
    spin.minimum = 1;
    spin.maximum = 99.99;
    spin.decimals = 2;
    editor.open(1, 1, spin, QStringLiteral("3"));
    test::settle();
    ASSERT_TRUE(editor.hasFocus());
    EXPECT_EQ(CellEditor::listOf(editor.widget()), 1);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("150"));  // more than it holds: 15
    EXPECT_EQ(editor.text(), QStringLiteral("15"));
    for (Qt::Key k : {Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Return, Qt::Key_Up, Qt::Key_Down, Qt::Key_Escape})
        QTest::keyClick(QApplication::focusWidget(), k);
    ASSERT_TRUE(runFor([&] { return r.count(EventKind::CellLeft, 1) == 6; }));
    std::vector<int> keys;
    for (const auto& e : r.events)
        if (e.kind == EventKind::CellLeft) keys.push_back(QKeyCombination::fromCombined(e.key).key());
    EXPECT_EQ(keys, (std::vector<int>{Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Return, Qt::Key_Up, Qt::Key_Down,
                                      Qt::Key_Escape}));
    EXPECT_EQ(r.count(EventKind::CloseWindow), 0);
    EXPECT_EQ(r.count(EventKind::ListKey), 0);
    EXPECT_EQ(r.count(EventKind::AlertKey), 0);
    // An entry in the other cell, then a click on the button.
    editor.open(0, 0, CellEditorShape{}, QStringLiteral("abc"));
    test::settle();
    EXPECT_EQ(editor.text(), QStringLiteral("abc"));
    QTest::mouseClick(r.window->at(2).widget(), Qt::LeftButton);
    ASSERT_TRUE(runFor([&] { return r.count(EventKind::CellLeft, 1) == 7; }));
    EXPECT_EQ(r.events.back().kind == EventKind::CellLeft ? r.events.back().key : 0, 0);
    editor.close();
    EXPECT_FALSE(editor.isOpen());
}

// The pages of a wizard: one shown at a time, back unavailable on the first,
// next on the last; a page the validator refuses keeps the user on it.
TEST(Controls, WizardPagesGoBackAndForth) {
    Window w(QStringLiteral("Asistente"), QSize(400, 300));
    w.add({ControlKind::Sheet, 10, "?SHEET", "", QRect(5, 5, 390, 200)});
    for (int i = 0; i < 3; ++i) w.add({ControlKind::Tab, 11 + i, "?TAB" + std::to_string(i), "Página", {}, 10});
    w.add({ControlKind::Entry, 20, "?E1", "", QRect(10, 10, 100, 22), 11});
    w.add({ControlKind::Entry, 21, "?E2", "", QRect(10, 10, 100, 22), 12});
    w.add({ControlKind::Button, 30, "?BACK", "&Regresar", QRect(5, 250, 80, 26)});
    w.add({ControlKind::Button, 31, "?NEXT", "&Siguiente", QRect(90, 250, 80, 26)});
    WizardPages pages(w, 10, 30, 31);
    w.open();
    EXPECT_FALSE(w.at(10).as<QTabWidget>()->tabBar()->isVisible());
    EXPECT_EQ(pages.page(), 0);
    EXPECT_TRUE(w.at(30).disabled());
    EXPECT_FALSE(pages.back());
    bool valid = false;
    pages.setValidator([&](int) { return valid; });
    EXPECT_FALSE(pages.next());
    EXPECT_EQ(pages.page(), 0);
    valid = true;
    EXPECT_TRUE(pages.take({EventKind::Accepted, 31}));
    EXPECT_EQ(pages.page(), 1);
    EXPECT_FALSE(w.at(30).disabled());
    EXPECT_TRUE(pages.next());
    EXPECT_TRUE(w.at(31).disabled());
    EXPECT_FALSE(pages.next());
    EXPECT_TRUE(pages.take({EventKind::Accepted, 30}));
    EXPECT_EQ(pages.page(), 1);
    EXPECT_FALSE(pages.take({EventKind::Accepted, 20}));
    w.close();
}

// A region over other controls (the names of a document's supplier) is
// accepted by a click anywhere on it.
TEST(WindowEvents, AClickOnARegionAcceptsIt) {
    Recorder r;
    r.build = [](Window& w) {
        w.add({ControlKind::DisplayString, 1, "?PVD:NOMBRE", "Ferretería", QRect(10, 10, 120, 20)});
        w.add({ControlKind::Region, 2, "?REGION", "", QRect(5, 5, 140, 30)});
    };
    r.start();
    activate(*r.window);
    QTest::mouseClick(r.window->at(2).widget(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 12));
    QTest::mouseClick(r.window->at(2).widget(), Qt::RightButton, Qt::NoModifier, QPoint(20, 12));
    ASSERT_TRUE(runFor([&] { return r.count(EventKind::Accepted, 2) == 1; }));
    r.window->at(2).setDisabled(true);
    QTest::mouseClick(r.window->at(2).widget(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 12));
    test::settle();
    EXPECT_EQ(r.count(EventKind::Accepted, 2), 1);
}

TEST(InputBlocking, AWindowUnderAnotherOfItsThreadTakesNoInput) {
    // A list (outer) calls a form (inner) on the same thread: while the form
    // is open, the list takes no clicks and no close; afterwards it does.
    std::unique_ptr<Window> outer, inner;
    std::vector<WindowEvent> outerEvents;
    bool innerOpen = false, closeInner = false, finished = false;
    threads::ThreadNo t = threads::start(
        [&] {
            outer = std::make_unique<Window>(QStringLiteral("Lista"), QSize(300, 200));
            outer->add({ControlKind::Button, 1, "?INSERT", "&Agregar", QRect(10, 10, 80, 26)});
            outer->open();
            inner = std::make_unique<Window>(QStringLiteral("Altas"), QSize(200, 100));
            inner->add({ControlKind::Button, 1, "?OK", "Aceptar", QRect(10, 10, 80, 26)});
            inner->open();
            innerOpen = true;
            while (!closeInner) inner->nextEvent();
            inner->close();
            innerOpen = false;
            for (;;) {
                WindowEvent e = outer->nextEvent();
                outerEvents.push_back(e);
                if (e.kind == EventKind::Accepted) break;
            }
            outer->close();
            finished = true;
        },
        0);
    ASSERT_TRUE(runFor([&] { return innerOpen; }));
    EXPECT_FALSE(outer->takesInput());
    EXPECT_TRUE(inner->takesInput());
    EXPECT_EQ(Window::topOf(t), inner.get());
    auto* add = static_cast<QPushButton*>(outer->at(1).widget());
    int clicks = 0;
    QObject::connect(add, &QPushButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(add, Qt::LeftButton);
    outer->widget()->close();
    EXPECT_TRUE(outer->widget()->isVisible()) << "a busy window cannot be closed";
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks, 0);

    closeInner = true;
    inner->post({EventKind::User});
    ASSERT_TRUE(runFor([&] { return !innerOpen; }));
    EXPECT_TRUE(outer->takesInput());
    QTest::mouseClick(add, Qt::LeftButton);
    ASSERT_TRUE(runFor([&] { return finished; }));
    EXPECT_EQ(clicks, 1);
    for (const auto& e : outerEvents) EXPECT_NE(e.kind, EventKind::CloseWindow);
    inner.reset();
    outer.reset();
}

QMessageBox* waitForBox() {
    QMessageBox* found = nullptr;
    runFor([&] {
        for (QWidget* d : openDialogs())
            if (auto* mb = qobject_cast<QMessageBox*>(d); mb != nullptr && mb->isVisible()) found = mb;
        return found != nullptr;
    });
    return found;
}

QAbstractButton* buttonNamed(QMessageBox* mb, const QString& text) {
    for (QAbstractButton* b : mb->buttons())
        if (b->text() == text) return b;
    return nullptr;
}

TEST(MessageBoxes, TwoThreadsKeepWorkingWhileOneWaitsInABox) {
    QtMessagePresenter presenter;
    Recorder a, b;
    Answer answer = Answer::Ok;
    bool asked = false, answered = false;
    a.build = addEntryForm;
    b.build = addEntryForm;
    a.onEvent = [&](Window&, const WindowEvent& e) {
        if (e.kind == EventKind::Accepted && e.control == 4) {
            asked = true;
            MessageBox box;
            box.caption = "Confirmar Borrado";
            box.text = "¿ Está seguro que desea eliminar el registro seleccionado?";
            box.buttons = MessageBox::Buttons::YesNo;
            box.preset = Answer::No;
            box.icon = MessageBox::Icon::Question;
            answer = presenter.show(box);
            answered = true;
        }
    };
    a.start();
    b.start();
    QTest::mouseClick(a.window->at(4).widget(), Qt::LeftButton);
    QMessageBox* mb = waitForBox();
    ASSERT_NE(mb, nullptr);
    EXPECT_TRUE(asked);
    EXPECT_FALSE(answered);
    EXPECT_EQ(mb->windowTitle(), QStringLiteral("Confirmar Borrado"));
    EXPECT_EQ(mb->icon(), QMessageBox::Question);
    ASSERT_NE(buttonNamed(mb, QStringLiteral("&Sí")), nullptr);
    ASSERT_NE(buttonNamed(mb, QStringLiteral("&No")), nullptr);
    EXPECT_EQ(mb->defaultButton(), buttonNamed(mb, QStringLiteral("&No"))) << "the preset";

    // A waits: its window takes nothing; B goes on.
    EXPECT_FALSE(a.window->takesInput());
    const int aBefore = a.count(EventKind::Accepted);
    QTest::mouseClick(a.window->at(4).widget(), Qt::LeftButton);
    QTest::mouseClick(b.window->at(4).widget(), Qt::LeftButton);
    ASSERT_TRUE(runFor([&] { return b.count(EventKind::Accepted, 4) == 1; }));
    EXPECT_EQ(a.count(EventKind::Accepted), aBefore);

    QTest::mouseClick(buttonNamed(mb, QStringLiteral("&Sí")), Qt::LeftButton);
    ASSERT_TRUE(runFor([&] { return answered; }));
    EXPECT_EQ(answer, Answer::Yes);
    EXPECT_TRUE(a.window->takesInput());
}

TEST(MessageBoxes, BothThreadsWaitAtOnceAndAnswersArriveInAnyOrder) {
    QtMessagePresenter presenter;
    Recorder a, b;
    std::vector<std::string> answered;
    auto asker = [&](const std::string& who) {
        return [&answered, &presenter, who](Window&, const WindowEvent& e) {
            if (e.kind != EventKind::Accepted || e.control != 4) return;
            MessageBox box;
            box.caption = who;
            box.text = "¿Seguro?";
            box.buttons = MessageBox::Buttons::YesNo;
            box.preset = Answer::Yes;
            const Answer got = presenter.show(box);
            answered.push_back(who + (got == Answer::Yes ? ":si" : ":no"));
        };
    };
    a.build = addEntryForm;
    b.build = addEntryForm;
    a.onEvent = asker("A");
    b.onEvent = asker("B");
    a.start();
    b.start();
    QTest::mouseClick(a.window->at(4).widget(), Qt::LeftButton);
    QTest::mouseClick(b.window->at(4).widget(), Qt::LeftButton);
    QMessageBox *boxA = nullptr, *boxB = nullptr;
    ASSERT_TRUE(runFor([&] {
        for (QWidget* d : openDialogs()) {
            auto* mb = qobject_cast<QMessageBox*>(d);
            if (mb == nullptr) continue;
            if (mb->windowTitle() == QStringLiteral("A")) boxA = mb;
            if (mb->windowTitle() == QStringLiteral("B")) boxB = mb;
        }
        return boxA != nullptr && boxB != nullptr;
    }));
    EXPECT_FALSE(a.window->takesInput());
    EXPECT_FALSE(b.window->takesInput());
    QTest::mouseClick(buttonNamed(boxB, QStringLiteral("&No")), Qt::LeftButton);
    ASSERT_TRUE(runFor([&] { return answered.size() == 1; }));
    EXPECT_EQ(answered[0], "B:no");
    EXPECT_TRUE(b.window->takesInput());
    EXPECT_FALSE(a.window->takesInput()) << "A still waits";
    QTest::keyClick(boxA, Qt::Key_Return);  // the preset
    ASSERT_TRUE(runFor([&] { return answered.size() == 2; }));
    EXPECT_EQ(answered[1], "A:si");
}

TEST(MessageBoxes, AnswersReachTheCallerWithThePresetHonoured) {
    QtMessagePresenter presenter;
    struct Case {
        MessageBox::Buttons buttons;
        Answer preset;
        int key;            // key pressed in the box (0: click `click`)
        const char* click;
        Answer expected;
    } cases[] = {
        {MessageBox::Buttons::YesNoCancel, Answer::Cancel, Qt::Key_Return, nullptr, Answer::Cancel},
        {MessageBox::Buttons::YesNoCancel, Answer::Yes, Qt::Key_Return, nullptr, Answer::Yes},
        {MessageBox::Buttons::YesNoCancel, Answer::Yes, Qt::Key_Escape, nullptr, Answer::Cancel},
        {MessageBox::Buttons::YesNo, Answer::Yes, Qt::Key_Escape, nullptr, Answer::No},
        {MessageBox::Buttons::YesNoCancel, Answer::Cancel, 0, "&No", Answer::No},
        {MessageBox::Buttons::Ok, Answer::Ok, 0, "Aceptar", Answer::Ok},
    };
    for (const Case& c : cases) {
        Answer got = Answer::Ok;
        bool done = false;
        threads::start(
            [&] {
                MessageBox box;
                box.caption = "Error al Actualizar";
                box.text = "texto";
                box.buttons = c.buttons;
                box.preset = c.preset;
                got = presenter.show(box);
                done = true;
            },
            0);
        QMessageBox* mb = waitForBox();
        ASSERT_NE(mb, nullptr);
        if (c.buttons == MessageBox::Buttons::YesNoCancel) {
            EXPECT_NE(buttonNamed(mb, QStringLiteral("Cancelar")), nullptr);
        }
        if (c.key != 0) {
            QTest::keyClick(mb, static_cast<Qt::Key>(c.key));
        } else {
            QAbstractButton* b = buttonNamed(mb, QString::fromUtf8(c.click));
            ASSERT_NE(b, nullptr) << c.click;
            QTest::mouseClick(b, Qt::LeftButton);
        }
        ASSERT_TRUE(runFor([&] { return done; }));
        EXPECT_EQ(got, c.expected) << "buttons " << static_cast<int>(c.buttons) << " key " << c.key;
    }
}

TEST(Dialogs, CalendarPicksADayWithoutANestedLoop) {
    std::optional<QDate> picked;
    bool done = false;
    threads::start(
        [&] {
            picked = pickDate(QDate(2024, 3, 15));
            done = true;
        },
        0);
    QCalendarWidget* cal = nullptr;
    ASSERT_TRUE(runFor([&] {
        for (QWidget* d : openDialogs())
            if (d->windowTitle() == QStringLiteral("Elija una fecha")) cal = d->findChild<QCalendarWidget*>();
        return cal != nullptr;
    }));
    EXPECT_EQ(cal->firstDayOfWeek(), Qt::Sunday);
    EXPECT_EQ(cal->weekdayTextFormat(Qt::Sunday).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(cal->weekdayTextFormat(Qt::Saturday).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(cal->weekdayTextFormat(Qt::Monday).foreground().color(), QColor(0, 0, 0));
    // The month names are the program's ("Marzo", not Qt's "marzo"), also
    // after a change of page, and in the month menu.
    auto* month = cal->findChild<QToolButton*>(QStringLiteral("qt_calendar_monthbutton"));
    ASSERT_NE(month, nullptr);
    EXPECT_EQ(month->text(), QStringLiteral("Marzo"));
    cal->setCurrentPage(2024, 8);
    ASSERT_TRUE(runFor([&] { return month->text() == QStringLiteral("Agosto"); })) << month->text().toStdString();
    ASSERT_NE(month->menu(), nullptr);
    EXPECT_EQ(month->menu()->actions().value(0)->text(), QStringLiteral("Enero"));
    cal->setSelectedDate(QDate(2024, 3, 20));
    emit cal->activated(QDate(2024, 3, 20));
    ASSERT_TRUE(runFor([&] { return done; }));
    ASSERT_TRUE(picked.has_value());
    EXPECT_EQ(*picked, QDate(2024, 3, 20));
    // The pick turned the page back as the dialog closed: the month name
    // due then is never written into the calendar that is gone.
    test::settle();
}

TEST(Drawing, BoxesAndTextBehindTheControlsAndTheirErasure) {
    Window w(QStringLiteral("Dibujo"), QSize(200, 120));
    w.add({ControlKind::Entry, 1, "?E", "", QRect(50, 40, 100, 20)});
    w.setBackground(0xCDF5F5);
    w.open();
    w.drawBox(QRect(48, 38, 104, 24), colors::kBlack, colors::kHighlight);
    w.drawText(QPoint(42, 40), QStringLiteral("»"), colors::kMarker);
    ASSERT_EQ(w.drawings().size(), 2u);
    QImage img = w.render();
    EXPECT_EQ(QColor(img.pixel(48, 50)), QColor(0, 0, 0)) << "outline";
    EXPECT_EQ(QColor(img.pixel(49, 50)), QColor(255, 255, 0)) << "fill shows around the control";
    EXPECT_EQ(QColor(img.pixel(10, 10)), QColor(0xF5, 0xF5, 0xCD)) << "window background";
    // Nothing drawn over the control itself.
    EXPECT_NE(QColor(img.pixel(100, 50)), QColor(255, 255, 0));

    w.erase(QRect(42, 38, 116, 24));
    EXPECT_TRUE(w.drawings().empty());
    img = w.render();
    EXPECT_EQ(QColor(img.pixel(49, 50)), QColor(0xF5, 0xF5, 0xCD));
    w.close();
}

TEST(Frame, ChildWindowsOpenInsideTheFrameOthersOnTheirOwn) {
    QMdiArea area;
    area.resize(800, 600);
    area.show();
    Window::setFrameArea(&area);
    Recorder child, own;
    child.start(Window::Placement::FrameChild);
    own.start(Window::Placement::Own);
    ASSERT_EQ(area.subWindowList().size(), 1);
    EXPECT_EQ(area.subWindowList().front()->widget(), child.window->widget());
    EXPECT_TRUE(own.window->widget()->isWindow());
    area.subWindowList().front()->showMinimized();
    EXPECT_TRUE(child.window->isMinimized());
    child.window->restoreAndActivate();
    EXPECT_FALSE(child.window->isMinimized());
    EXPECT_TRUE(child.window->isActive());
    child.finish();
    own.finish();
    EXPECT_TRUE(area.subWindowList().isEmpty());
    Window::setFrameArea(nullptr);
}

TEST(Frame, ChildWindowsOpenWhollyInsideTheFrame) {
    // A list, then a form larger than the room beside it, then small add
    // forms: each must open where all of it, its buttons too, can be seen.
    QMdiArea area;
    area.resize(1024, 620);
    area.show();
    Window::setFrameArea(&area);
    const QSize sizes[] = {{800, 440}, {600, 520}, {380, 150}, {380, 150}, {380, 150}};
    std::vector<std::unique_ptr<Recorder>> open;
    for (const QSize& s : sizes) {
        open.push_back(std::make_unique<Recorder>());
        open.back()->size = s;
        open.back()->designedIsSmallest = true;
        open.back()->start(Window::Placement::FrameChild);
        const QRect g = open.back()->window->topWidget()->geometry();
        EXPECT_GE(g.width(), s.width());
        EXPECT_TRUE(area.viewport()->rect().contains(g))
            << "window " << open.size() << " at " << g.x() << "," << g.y() << " " << g.width() << "x" << g.height();
    }
    for (auto r = open.rbegin(); r != open.rend(); ++r) (*r)->finish();
    Window::setFrameArea(nullptr);
}

// A look-up list closing over a form: the form comes back to the front,
// not the list the form was opened from.
TEST(Frame, AChildThatClosesHandsTheFrontToTheOneUsedBeforeIt) {
    Recorder frame;
    frame.size = QSize(1000, 700);
    frame.start(Window::Placement::Frame);
    Recorder list, form, picker;
    for (Recorder* r : {&list, &form, &picker}) {
        r->size = QSize(400, 300);
        r->start(Window::Placement::FrameChild);
        r->window->restoreAndActivate();
        ASSERT_TRUE(runFor([r] { return r->window->isActive(); }));
    }
    picker.finish();
    ASSERT_TRUE(runFor([&] { return form.window->isActive(); }));
    EXPECT_FALSE(list.window->isActive());
    const QList<QMdiSubWindow*> stacking = frame.window->mdiArea()->subWindowList(QMdiArea::StackingOrder);
    ASSERT_EQ(stacking.size(), 2);
    EXPECT_EQ(stacking.back()->widget(), form.window->widget());
    form.finish();
    list.finish();
    frame.finish();
}

TEST(Frame, AWindowUnderAChildOfItsThreadSendsTheUserToTheFrame) {
    // The administrator login (a window of its own) under the user list (a
    // child of the frame): the user clicks the login, which takes no input;
    // the frame must come forward with the list, or every key is lost.
    test::FrameArea frame(QSize(800, 600));
    QMainWindow& top = frame.main;
    std::unique_ptr<Window> login, list;
    bool stop = false, done = false;
    const threads::ThreadNo t = threads::start([&] {
        login = std::make_unique<Window>(QStringLiteral("Acceso"), QSize(300, 170));
        login->open();
        list = std::make_unique<Window>(QStringLiteral("Usuarios del sistema"), QSize(300, 200),
                                        Window::Placement::FrameChild);
        list->open();
        while (!stop) threads::suspend();
        list->close();
        login->close();
        done = true;
    }, 0);
    ASSERT_TRUE(runFor([&] { return list != nullptr && list->isOpen(); }));
    EXPECT_TRUE(runFor([&] { return top.isActiveWindow(); })) << "the list opened in front, taking the keys";
    login->widget()->activateWindow();
    QApplication::setActiveWindow(login->widget());
    ASSERT_TRUE(runFor([&] { return QApplication::activeWindow() != &top; }));
    login->widget()->activateWindow();
    QApplication::setActiveWindow(login->widget());
    EXPECT_TRUE(runFor([&] { return top.isActiveWindow(); })) << "the frame came forward";
    EXPECT_TRUE(list->isActive());
    stop = true;
    threads::wake(t);
    ASSERT_TRUE(runFor([&] { return done; }));
    list.reset();
    login.reset();
}

TEST(Frame, MenusToolbarAndChildrenOfOtherThreadsWorkWhileTheFrameWaits) {
    // The frame on its own thread with a menu, a submenu and a toolbar.
    Recorder frame;
    frame.build = [](Window& w) {
        w.add({ControlKind::Menu, -2, "?Tablas", "&Tablas del sistema"});
        Control& item = w.add({ControlKind::MenuItem, -3, "?Articulos", "&Artículos", {}, -2});
        item.setStatusText(QStringLiteral("Tabla de artículos"));
        w.add({ControlKind::Menu, -35, "?Excel", "Conversiones a E&xcel", {}, -2});
        w.add({ControlKind::MenuItem, -36, "?ExcelArt", "Artículos", {}, -35});
        w.add({ControlKind::Toolbar, -41, "?Toolbar", "Barra"});
        w.add({ControlKind::ToolbarButton, 3001, "?TOOLBAR:INSERT", "Insertar", {}, -41});
    };
    frame.start(Window::Placement::Frame);
    Window& fw = *frame.window;
    ASSERT_NE(fw.mainWindow(), nullptr);
    EXPECT_EQ(Window::frameArea(), fw.mdiArea());
    EXPECT_EQ(fw.mainWindow()->menuBar()->actions().size(), 1);
    EXPECT_EQ(fw.at(-35).action()->menu()->actions().size(), 1);
    fw.at(-3).action()->trigger();
    fw.at(3001).action()->trigger();
    ASSERT_TRUE(runFor([&] { return frame.count(EventKind::Accepted, -3) == 1 && frame.count(EventKind::Accepted, 3001) == 1; }));

    Recorder child;
    child.build = addEntryForm;
    child.start(Window::Placement::FrameChild);
    ASSERT_EQ(fw.mdiArea()->subWindowList().size(), 1);

    // The frame's thread waits in a box: the frame is deaf, its child is not.
    bool answered = false;
    frame.onEvent = [&](Window&, const WindowEvent& e) {
        if (e.kind == EventKind::Accepted && e.control == -36) {
            MessageBox box;
            box.caption = "Aviso";
            box.text = "texto";
            QtMessagePresenter().show(box);
            answered = true;
        }
    };
    fw.at(-36).action()->trigger();
    QMessageBox* mb = waitForBox();
    ASSERT_NE(mb, nullptr);
    auto* bar = fw.mainWindow()->menuBar();
    int before = frame.count(EventKind::Accepted);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->actionGeometry(bar->actions().front()).center());
    fw.widget()->close();
    QTest::mouseClick(child.window->at(4).widget(), Qt::LeftButton);
    ASSERT_TRUE(runFor([&] { return child.count(EventKind::Accepted, 4) == 1; }));
    EXPECT_EQ(frame.count(EventKind::Accepted), before);
    EXPECT_EQ(frame.count(EventKind::CloseWindow), 0);
    QTest::mouseClick(buttonNamed(mb, QStringLiteral("Aceptar")), Qt::LeftButton);
    ASSERT_TRUE(runFor([&] { return answered; }));
    child.finish();
    frame.finish();
    frame.window.reset();
    EXPECT_EQ(Window::frameArea(), nullptr);
}

TEST(Dialogs, FileDialogsAndThePrintDialogAnswerWithoutANestedLoop) {
    std::optional<QString> opened, saved;
    bool printed = true;
    int step = 0;
    threads::start([&] {
        opened = askOpenFile(QStringLiteral("Imagen"), QDir::tempPath(), QStringLiteral("Imágenes (*.jpg *.bmp *.gif)"));
        ++step;
        saved = askSaveFile(QStringLiteral("Guardar"), QDir::tempPath(), QStringLiteral("PDF (*.pdf)"));
        ++step;
        QPrinter printer;
        printed = choosePrinter(printer);
        ++step;
    }, 0);
    auto waitDialog = [&](const char* type) {
        QDialog* found = nullptr;
        runFor([&] {
            for (QWidget* d : openDialogs())
                if (d->inherits(type) && d->isVisible()) found = static_cast<QDialog*>(d);
            return found != nullptr;
        });
        return found;
    };
    QFileDialog* open = static_cast<QFileDialog*>(waitDialog("QFileDialog"));
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->windowTitle(), QStringLiteral("Imagen"));
    open->reject();
    ASSERT_TRUE(runFor([&] { return step == 1; }));
    EXPECT_FALSE(opened.has_value());
    QFileDialog* save = nullptr;
    ASSERT_TRUE(runFor([&] {
        save = static_cast<QFileDialog*>(waitDialog("QFileDialog"));
        return save != nullptr && save->acceptMode() == QFileDialog::AcceptSave;
    }));
    save->selectFile(QDir::temp().filePath(QStringLiteral("reporte.pdf")));
    static_cast<QDialog*>(save)->done(QDialog::Accepted);
    ASSERT_TRUE(runFor([&] { return step == 2; }));
    ASSERT_TRUE(saved.has_value());
    EXPECT_TRUE(saved->endsWith(QStringLiteral("reporte.pdf")));
    QDialog* print = waitDialog("QPrintDialog");
    ASSERT_NE(print, nullptr);
    EXPECT_EQ(print->windowTitle(), QStringLiteral("Choose Printer"));
    print->reject();
    ASSERT_TRUE(runFor([&] { return step == 3; }));
    EXPECT_FALSE(printed);
}

// The files of a folder opened since the watch began (the folder's own
// listing aside).
struct OpenWatch {
    int fd = -1;
    explicit OpenWatch(const std::filesystem::path& dir) {
        fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd >= 0) inotify_add_watch(fd, dir.c_str(), IN_OPEN);
    }
    ~OpenWatch() {
        if (fd >= 0) ::close(fd);
    }
    std::vector<std::string> opened() const {
        std::vector<std::string> names;
        alignas(inotify_event) char buf[4096];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) break;
            for (ssize_t i = 0; i < n;) {
                const auto* ev = reinterpret_cast<const inotify_event*>(buf + i);
                if ((ev->mask & IN_ISDIR) == 0 && ev->len > 0) names.emplace_back(ev->name);
                i += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
            }
        }
        return names;
    }
};

TEST(Dialogs, TheFileDialogNeverOpensTheFilesItLists) {
    // Opening and closing a file drops every lock this process holds on it:
    // a dialog that reads the database file to pick its icon would let
    // another program take the database's journal away from under us.
    test::ScratchDir dir;
    for (const char* name : {"talvor.db", "talvor.db-wal", "talvor.db-shm", "foto.jpg", "notas"}) {
        std::ofstream(dir.file(name)) << "SQLite format 3 and some bytes";
    }
    OpenWatch watch(dir.path());
    ASSERT_GE(watch.fd, 0);
    bool done = false;
    threads::start([&] {
        askOpenFile(QStringLiteral("Select A File"), QString::fromStdString(dir.path().string()),
                    QStringLiteral("Imagenes (*.jpg)"));
        done = true;
    }, 0);
    QFileDialog* d = nullptr;
    ASSERT_TRUE(runFor([&] {
        for (QWidget* w : openDialogs())
            if (auto* f = qobject_cast<QFileDialog*>(w); f != nullptr && f->isVisible()) d = f;
        return d != nullptr;
    }));
    auto* model = d->findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    // Each file's kind as the dialog shows it, which is what it looks at.
    const QModelIndex foto = model->index(QString::fromStdString(dir.file("foto.jpg").string()));
    ASSERT_TRUE(runFor([&] { return !model->type(foto).isEmpty(); }));
    for (const char* name : {"talvor.db", "talvor.db-wal", "talvor.db-shm", "notas"}) {
        const QFileInfo info(QString::fromStdString(dir.file(name).string()));
        model->iconProvider()->icon(info);
        model->iconProvider()->type(info);
    }
    test::settle();
    EXPECT_EQ(watch.opened(), std::vector<std::string>{});
    d->reject();
    ASSERT_TRUE(runFor([&] { return done; }));
}

TEST(Dialogs, PopupMenuAnswersTheChosenItem) {
    int chosen = -2;
    threads::start([&] { chosen = popupMenu({QStringLiteral("&Agregar"), QStringLiteral("-"), QStringLiteral("&Ver")}, QPoint(10, 10)); }, 0);
    QMenu* menu = nullptr;
    ASSERT_TRUE(runFor([&] {
        for (QWidget* d : openDialogs())
            if (auto* m = qobject_cast<QMenu*>(d)) menu = m;
        return menu != nullptr && menu->isVisible();
    }));
    QAction* ver = menu->actions().back();
    QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(ver).center());
    ASSERT_TRUE(runFor([&] { return chosen != -2; }));
    EXPECT_EQ(chosen, 2);
}

TEST(Resizer, DesignedSizeIsTheSmallestAndListsGrow) {
    Window w(QStringLiteral("Lista"), QSize(300, 200));
    w.add({ControlKind::List, 1, "?BROWSE:1", "", QRect(5, 5, 200, 150)});
    w.add({ControlKind::Button, 2, "?CLOSE", "Cerrar", QRect(220, 5, 70, 26)});
    w.add({ControlKind::Entry, 3, "?LOC", "", QRect(5, 170, 100, 22)});
    WindowResizer r(w);
    w.open();
    r.setUp();
    EXPECT_EQ(w.widget()->minimumSize(), QSize(300, 200));
    w.widget()->resize(400, 260);
    r.apply();
    EXPECT_EQ(w.at(1).widget()->geometry(), QRect(5, 5, 300, 210));
    EXPECT_EQ(w.at(2).widget()->geometry(), QRect(320, 5, 70, 26));
    EXPECT_EQ(w.at(3).widget()->geometry(), QRect(5, 230, 100, 22)) << "below the list, it moves down";
    EXPECT_GT(w.at(3).widget()->geometry().top(), w.at(1).widget()->geometry().bottom());
    w.close();
}

// Two lists one above the other (the lower one on a tab) share the growth;
// the buttons between and below them move along, so nothing overlaps.
TEST(Resizer, StackedListsShareTheGrowth) {
    Window w(QStringLiteral("Documentos"), QSize(400, 400));
    w.add({ControlKind::List, 1, "?BROWSE:1", "", QRect(5, 5, 390, 150)});
    w.add({ControlKind::Button, 2, "?INSERT", "Agregar", QRect(5, 160, 80, 26)});
    w.add({ControlKind::Sheet, 3, "?SHEET", "", QRect(5, 190, 390, 170)});
    w.add({ControlKind::Tab, 4, "?TAB", "Por fecha", {}, 3});
    w.add({ControlKind::Button, 5, "?BUTTON7", "Actualizar", QRect(5, 5, 100, 26), 4});
    w.add({ControlKind::List, 6, "?LIST", "", QRect(5, 35, 370, 100), 4});
    w.add({ControlKind::Button, 7, "?CLOSE", "Cerrar", QRect(315, 368, 80, 26)});
    WindowResizer r(w);
    w.open();
    r.setUp();
    w.widget()->resize(600, 600);
    r.apply();
    EXPECT_EQ(w.at(1).widget()->geometry(), QRect(5, 5, 590, 250));
    EXPECT_EQ(w.at(2).widget()->geometry(), QRect(5, 260, 80, 26));
    EXPECT_EQ(w.at(3).widget()->geometry(), QRect(5, 290, 590, 270));
    EXPECT_EQ(w.at(5).widget()->geometry(), QRect(5, 5, 100, 26));
    EXPECT_EQ(w.at(6).widget()->geometry(), QRect(5, 35, 570, 200));
    EXPECT_EQ(w.at(7).widget()->geometry(), QRect(515, 568, 80, 26));
    w.close();
}

// Lists one above the other share the extra height; what stands between
// and below them moves down; a sheet without a list keeps its height.
TEST(Resizer, StackedListsShareTheHeight) {
    Window w(QStringLiteral("Consulta"), QSize(300, 300));
    w.add({ControlKind::List, 1, "?BROWSE:1", "", QRect(5, 5, 290, 100)});
    w.add({ControlKind::Button, 2, "?VIEW", "Ver", QRect(5, 110, 70, 26)});
    w.add({ControlKind::List, 3, "?LIST", "", QRect(5, 140, 290, 100)});
    w.add({ControlKind::Sheet, 4, "?SHEET", "", QRect(5, 245, 290, 50)});
    w.add({ControlKind::Tab, 5, "?TAB", "Uno", {}, 4});
    w.add({ControlKind::Entry, 6, "?LOC", "", QRect(5, 5, 100, 22), 5});
    WindowResizer r(w);
    w.open();
    r.setUp();
    w.widget()->resize(400, 500);
    r.apply();
    EXPECT_EQ(w.at(1).widget()->geometry(), QRect(5, 5, 390, 200));
    EXPECT_EQ(w.at(2).widget()->geometry(), QRect(5, 210, 70, 26));
    EXPECT_EQ(w.at(3).widget()->geometry(), QRect(5, 240, 390, 200));
    EXPECT_EQ(w.at(4).widget()->geometry(), QRect(5, 445, 390, 50));
    w.close();
}

struct RecordingOpener : DesktopOpener {
    std::vector<QString> opened;
    bool open(const QString& what) override {
        opened.push_back(what);
        return true;
    }
};

TEST(Desktop, OpenerCanBeReplacedAndBeepsAreCounted) {
    RecordingOpener rec;
    setDesktopOpener(&rec);
    EXPECT_TRUE(desktopOpener().open(QStringLiteral("manual.pdf")));
    setDesktopOpener(nullptr);
    EXPECT_EQ(rec.opened, std::vector<QString>{QStringLiteral("manual.pdf")});
    const int before = beepCount();
    beep();
    EXPECT_EQ(beepCount(), before + 1);
    {
        WaitCursor wc;
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Dialogs, ButtonCaptionsAreTheSpanishOnes) {
    EXPECT_EQ(buttonCaptions().join(','), QString::fromUtf8("Aceptar,&Sí,&No,&Abortar,&Reintentar,&Ignorar,Cancelar,&Ayuda"));
}

// A list, its form and the form's line form on one thread, and a look-up
// over them: when the look-up closes, the frame's choice of the next child
// does not put the list over the form.
TEST(FrameChildren, ClosingTheTopWindowKeepsItsThreadsWindowsInOrder) {
    Recorder frame;
    frame.start(Window::Placement::Frame);
    QMdiArea* area = frame.window->mdiArea();
    ASSERT_NE(area, nullptr);
    std::vector<std::unique_ptr<Window>> stack;
    bool closeTop = false, done = false;
    const threads::ThreadNo thread = threads::start(
        [&] {
            for (const char* caption : {"Lista", "Forma", "Linea", "Busqueda"}) {
                stack.push_back(std::make_unique<Window>(QString::fromUtf8(caption), QSize(200, 100),
                                                         Window::Placement::FrameChild));
                stack.back()->open();
            }
            ui::waitUntil([&] { return closeTop; });
            stack.back()->close();
            ui::waitUntil([&] { return done; });
            for (auto it = stack.rbegin(); it != stack.rend(); ++it) (*it)->close();
        },
        0);
    ASSERT_TRUE(runFor([&] { return stack.size() == 4 && stack.back()->isOpen(); }));
    // The user went back to the list meanwhile: the frame remembers it as
    // the last active child before the look-up.
    area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(stack[0]->topWidget()));
    area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(stack[3]->topWidget()));
    test::settle();
    closeTop = true;
    threads::wake(thread);
    ASSERT_TRUE(runFor([&] { return !stack[3]->isOpen(); }));
    test::settle();
    QList<QMdiSubWindow*> order = area->subWindowList(QMdiArea::StackingOrder);
    auto at = [&](int i) { return order.indexOf(qobject_cast<QMdiSubWindow*>(stack[static_cast<size_t>(i)]->topWidget())); };
    EXPECT_LT(at(0), at(1));
    EXPECT_LT(at(1), at(2));
    EXPECT_EQ(area->activeSubWindow(), stack[2]->topWidget());
    done = true;
    threads::wake(thread);
    ASSERT_TRUE(runFor([&] { return !stack[0]->isOpen(); }));
    frame.finish();
}

// The frame, 1000 x 700, on its own thread: the area its children open in.
QMdiArea* startFrame(Recorder& frame) {
    frame.size = QSize(1000, 700);
    frame.start(Window::Placement::Frame);
    return frame.window->mdiArea();
}

// A list maximised in the frame and a form opened over it (Qt maximises the
// form and restores the list): when the form closes, the list comes back
// maximised, not at its small size. A form that was not maximised leaves
// the list as it stands.
TEST(FrameChildren, AMaximisedChildThatClosesLeavesTheOneBelowMaximised) {
    Recorder frame;
    QMdiArea* area = startFrame(frame);
    ASSERT_NE(area, nullptr);
    for (const bool maximised : {true, false}) {
        std::unique_ptr<Window> list, form;
        bool openForm = false, closeForm = false, done = false;
        const threads::ThreadNo thread = threads::start(
            [&] {
                list = std::make_unique<Window>(QStringLiteral("Lista"), QSize(400, 300), Window::Placement::FrameChild);
                list->open();
                ui::waitUntil([&] { return openForm; });
                form = std::make_unique<Window>(QStringLiteral("Forma"), QSize(300, 200), Window::Placement::FrameChild);
                form->open();
                ui::waitUntil([&] { return closeForm; });
                form->close();
                ui::waitUntil([&] { return done; });
                list->close();
            },
            0);
        ASSERT_TRUE(runFor([&] { return list != nullptr && list->isOpen(); }));
        auto* listSub = qobject_cast<QMdiSubWindow*>(list->topWidget());
        ASSERT_NE(listSub, nullptr);
        if (maximised) listSub->showMaximized();
        test::settle();
        openForm = true;
        threads::wake(thread);
        ASSERT_TRUE(runFor([&] { return form != nullptr && form->isOpen(); }));
        test::settle();
        auto* formSub = qobject_cast<QMdiSubWindow*>(form->topWidget());
        ASSERT_NE(formSub, nullptr);
        EXPECT_EQ(formSub->isMaximized(), maximised);
        closeForm = true;
        threads::wake(thread);
        ASSERT_TRUE(runFor([&] { return !form->isOpen(); }));
        test::settle();
        EXPECT_EQ(area->activeSubWindow(), listSub) << maximised;
        EXPECT_EQ(listSub->isMaximized(), maximised);
        if (maximised) EXPECT_EQ(listSub->geometry(), area->viewport()->rect());
        done = true;
        threads::wake(thread);
        ASSERT_TRUE(runFor([&] { return !list->isOpen(); }));
        test::settle();
    }
    frame.finish();
}

// A form opened while the list under it is maximised opens maximised; when
// the user restores it, it stands wholly inside the frame, not where the
// frame would have put it beside the list.
TEST(FrameChildren, AChildOpenedOverAMaximisedOneIsRestoredInsideTheFrame) {
    Recorder frame;
    QMdiArea* area = startFrame(frame);
    ASSERT_NE(area, nullptr);
    Recorder list, form;
    list.size = QSize(760, 520);
    list.designedIsSmallest = true;
    list.start(Window::Placement::FrameChild);
    auto* listSub = qobject_cast<QMdiSubWindow*>(list.window->topWidget());
    ASSERT_NE(listSub, nullptr);
    listSub->showMaximized();
    test::settle();
    form.size = QSize(870, 552);
    form.designedIsSmallest = true;
    form.build = addEntryForm;
    form.start(Window::Placement::FrameChild);
    test::settle();
    auto* formSub = qobject_cast<QMdiSubWindow*>(form.window->topWidget());
    ASSERT_NE(formSub, nullptr);
    EXPECT_TRUE(formSub->isMaximized());
    // Grown again (as a window that lays itself out does), it keeps the focus where it was.
    form.window->at(3).focus();
    form.window->setMinimumSize(QSize(880, 560));
    test::settle();
    EXPECT_TRUE(form.window->at(3).hasFocus());
    EXPECT_TRUE(formSub->isMaximized());
    formSub->showNormal();
    test::settle();
    const QRect g = formSub->geometry();
    EXPECT_TRUE(area->viewport()->rect().contains(g)) << g.x() << "," << g.y() << " " << g.width() << "x" << g.height();
    EXPECT_GE(g.width(), 880);
    form.finish();
    list.finish();
    frame.finish();
}

}  // namespace
}  // namespace tv::ui
