// The list window template driven as a user drives it: real widgets
// offscreen, the list on a logical thread over a scratch database, a tiny
// form of the test's own on the list's thread, questions answered by a
// scripted presenter.
#include "app/browse/browse_controller.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "app/browse/vs_find.h"
#include "app/globals.h"
#include "app/window/running_procedures.h"
#include "data/thread_table_set.h"
#include "platform/errors/scripted_presenter.h"
#include "platform/storage/storage.h"
#include "platform/threads/logical_thread.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "platform/ui/colors.h"
#include "platform/ui/dialogs.h"
#include "tests/support/fiber_helpers.h"
#include "tests/support/scratch_dir.h"

namespace tv::app {
namespace {

using test::runFor;
using test::settle;
using test::onThread;

using namespace std::chrono_literals;
using data::TableId;
using ui::ControlKind;
using ui::EventKind;

std::string trimmed(const std::string& s) { return std::string(rtrim(s)); }

// ----- the test's form of categories: the name, OK and Cancel; delete asks
// message 11 without a window; the frame's record buttons leave a
// navigation request and close it.

enum : int { kFormName = 1, kFormOk = 2, kFormCancel = 3 };

struct FormLog {
    std::vector<int> requests;
    std::vector<long long> codes;       // CAR:Codigo in the buffer when called
    std::vector<std::string> names;     // CAR:Descripcion when called
    ui::Window* window = nullptr;       // while open
    WindowController* controller = nullptr;
};
FormLog* formLog = nullptr;

class TestForm : public WindowController {
public:
    explicit TestForm(ui::Window& w) : WindowController("UpdateCatTest", w) {
        CloseButtons = {kFormCancel};
        FIRSTFIELD = kFormName;
    }

protected:
    void SetUpAfterOpen() override {
        Record& r = data::tables().CatArticulos();
        Win().at(kFormName).setText(QString::fromStdString(trimmed(r.get(1).asText())));
        Win().at(kFormName).setReadOnly(REQUEST == kView);
        formLog->window = &Win();
        formLog->controller = this;
    }
    int OnAccepted(int control) override {
        if (control >= 3001 && control <= 3013) {
            *VCRREQUEST = control;
            CloseWithResponse(kCancelled);
            return 0;
        }
        if (control == kFormOk) {
            if (REQUEST == kView) {
                CloseWithResponse(kCancelled);
                return 0;
            }
            data::TableGateway& g = data::tables().CatArticulosTableGateway();
            g.BUFFER.set(1, Value(Win().at(kFormName).text().toStdString()));
            const int r = REQUEST == kInsert ? g.InsertRecord() : g.UpdateRecord();
            if (r == data::kDone) CloseWithResponse(kCompleted);
            return 0;
        }
        if (control == kFormCancel && REQUEST == kInsert) data::tables().CatArticulosTableRelations().CancelPendingInsert();
        return WindowController::OnAccepted(control);
    }
    int TearDown() override {
        formLog->window = nullptr;
        formLog->controller = nullptr;
        return WindowController::TearDown();
    }
};

void UpdateCatTest() {
    ThreadState& ts = threadState();
    Record& r = data::tables().CatArticulos();
    formLog->requests.push_back(ts.callRequest);
    formLog->codes.push_back(r.get(0).asNumber().toInt64());
    formLog->names.push_back(trimmed(r.get(1).asText()));
    if (ts.callRequest == kDelete) {
        ts.callRequest = 0;
        const int d = data::tables().CatArticulosTableRelations().DeleteWithRelated(true);
        ts.callResponse = d == data::kDone ? kCompleted : kCancelled;
        return;
    }
    ui::Window w(QStringLiteral("Form CatArticulos"), QSize(300, 120), ui::Window::Placement::Own);
    w.add({ControlKind::Entry, kFormName, "?CAR:Descripcion", {}, QRect(10, 10, 200, 22)});
    w.add({ControlKind::Button, kFormOk, "?OK", QStringLiteral("Aceptar"), QRect(10, 60, 80, 26)});
    w.add({ControlKind::Button, kFormCancel, "?CANCEL", QStringLiteral("Cancelar"), QRect(100, 60, 80, 26)});
    TestForm c(w);
    RunProcedure(c);
}

// ----- a list running on its own thread

struct ListRun {
    BrowseController* controller = nullptr;
    ui::Window* window = nullptr;
    threads::ThreadNo thread = 0;
    bool done = false;
    uint8_t response = 0;
    BrowseList& list() const { return controller->List(0); }
    QTableWidget* table() const { return list().table(); }
};

StandardBrowseSetup categorySpec() {
    StandardBrowseSetup b;
    b.procedure = "BrowseCatTest";
    b.caption = QStringLiteral("Categorías de artículos");
    b.listTip = QStringLiteral("Categorías de artículos");
    b.placement = ui::Window::Placement::Own;
    b.list.primary = TableId::CatArticulos;
    b.list.format = "80R(1)|M*~Código~@n_4@80L(1)|M*~Descripcion~@s40@";
    b.list.columns = {{"CAR:Codigo"}, {"CAR:Descripcion"}};
    b.list.orders = {{"CAR:KeyDescripcion", ScrollStepKind::Text, "CAR:Descripcion"},
                     {"CAR:KeyId", ScrollStepKind::Integer, "CAR:Codigo"}};
    b.list.findColumns = "Código|@n_4|car:Codigo|Descripcion|@s40|car:Descripcion|";
    b.tabs = {QStringLiteral("Por Código"), QStringLiteral("Por Descripción")};
    b.form = UpdateCatTest;
    return b;
}

class BrowseTest : public ::testing::Test {
protected:
    void SetUp() override {
        storage::setDatabasePath(dir.file("talvor.db"));
        ErrorReporter::instance().setUp();
        scope_.emplace(presenter);
        formLog = &log;
    }
    void TearDown() override {
        for (ListRun* r : runs_)
            if (!r->done && r->window != nullptr) r->window->post({EventKind::CloseWindow, 0});
        for (ListRun* r : runs_) EXPECT_TRUE(runFor([r] { return r->done; })) << "the list's thread ended";
        globals().RunningProcedures.clear();
        formLog = nullptr;
        scope_.reset();
        storage::setDatabasePath("talvor.db");
    }

    std::vector<long long> seed(const std::vector<std::string>& names) {
        std::vector<long long> codes;
        onThread([&] {
            data::TableGateway& g = data::tables().CatArticulosTableGateway();
            for (const std::string& n : names) {
                EXPECT_EQ(g.PrepareNewRecord(), data::kDone);
                g.BUFFER.set(1, Value(n));
                EXPECT_EQ(g.InsertRecord(), data::kDone);
                codes.push_back(g.BUFFER.get(0).asNumber().toInt64());
            }
        });
        return codes;
    }
    int64_t count() {
        int64_t n = -1;
        onThread([&] { n = data::tables().CatArticulosTableGateway().RecordCount(); });
        return n;
    }

    // Starts the list on a new thread and waits until it shows its page.
    void start(ListRun& run, StandardBrowseSetup setup = categorySpec(), uint8_t request = 0,
               std::function<void()> before = {}, std::function<void()> after = {}) {
        runs_.push_back(&run);
        auto own = setup.prepare;
        setup.prepare = [&run, own](BrowseController& c, ui::Window& w) {
            run.controller = &c;
            run.window = &w;
            if (own) own(c, w);
        };
        run.thread = threads::start([&run, setup, request, before, after] {
            if (before) before();
            threadState().callRequest = request;
            RunStandardBrowse(setup);
            run.response = threadState().callResponse;
            if (after) after();
            run.controller = nullptr;
            run.window = nullptr;
            run.done = true;
        }, 512 * 1024);
        ASSERT_TRUE(runFor([&run] { return run.done || (run.window != nullptr && run.window->isOpen()); }));
        settle();
    }

public:
    // A list run that lives as long as the test (its thread may outlive the body).
    ListRun& run() { return runsOwned_.emplace_back(); }
    std::vector<std::string> column(const ListRun& r, int c) {
        std::vector<std::string> out;
        QTableWidget* t = r.table();
        for (int i = 0; i < t->rowCount(); ++i) out.push_back(t->item(i, c)->text().toStdString());
        return out;
    }
    std::string selectedName(const ListRun& r) {
        const int row = r.table()->currentRow();
        return row < 0 ? std::string("<none>") : r.table()->item(row, 1)->text().toStdString();
    }
    void key(const ListRun& r, Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(r.table(), k, m);
        settle();
    }
    void typeChar(const ListRun& r, char ch) {
        QTest::keyClick(r.table(), ch);
        settle();
    }
    void click(const ListRun& r, int control) {
        auto* b = r.window->at(control).as<QPushButton>();
        ASSERT_NE(b, nullptr);
        QTest::mouseClick(b, Qt::LeftButton);
        settle();
    }
    bool enabled(const ListRun& r, int control) { return !r.window->at(control).disabled(); }
    void chooseTab(const ListRun& r, int index) {
        r.window->at(kBrowseSheet).as<QTabWidget>()->setCurrentIndex(index);
        settle();
    }
    void clickHeader(const ListRun& r, int column, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QHeaderView* h = r.table()->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, m,
                          QPoint(h->sectionViewportPosition(column) + 5, h->height() / 2));
        settle();
    }
    void doubleClickRow(const ListRun& r, int row) {
        const QRect rect = r.table()->visualRect(r.table()->model()->index(row, 0));
        QTest::mouseDClick(r.table()->viewport(), Qt::LeftButton, {}, rect.center());
        settle();
    }
    // The form the list opened (waits for it).
    ui::Window* form() {
        runFor([this] { return log.window != nullptr && log.window->isOpen(); });
        settle();
        return log.window;
    }
    void formClick(int control) {
        ASSERT_NE(form(), nullptr);
        QTest::mouseClick(log.window->at(control).as<QPushButton>(), Qt::LeftButton);
        settle();
    }

    ScriptedPresenter presenter;
    FormLog log;
    test::ScratchDir dir;

private:
    std::optional<ScopedPresenter> scope_;
    std::vector<ListRun*> runs_;
    std::deque<ListRun> runsOwned_;
};

// ---------------------------------------------------------------- orders

TEST_F(BrowseTest, TabsChooseTheirOrderAndTheFirstTabIsTheDefault) {
    seed({"Tornillos", "Brocas", "Martillos", "Anclas"});
    ListRun& r = run();
    start(r);
    struct Case {
        int tab;
        int order;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {0, 2, {"Tornillos", "Brocas", "Martillos", "Anclas"}},  // "Por Código": order 2
        {1, 1, {"Anclas", "Brocas", "Martillos", "Tornillos"}},  // "Por Descripción": order 1
        {0, 2, {"Tornillos", "Brocas", "Martillos", "Anclas"}},
    };
    for (const Case& c : cases) {
        chooseTab(r, c.tab);
        EXPECT_EQ(r.list().currentOrder(), c.order) << "tab " << c.tab;
        EXPECT_EQ(column(r, 1), c.names) << "tab " << c.tab;
    }
    EXPECT_EQ(column(r, 0), (std::vector<std::string>{"1", "2", "3", "4"}));
}

TEST_F(BrowseTest, StepLocatorStepsThroughRecordsThatStartWithTheLetter) {
    seed({"Motores", "Brocas", "Martillos", "Anclas", "Tuercas", "Mazos"});
    ListRun& r = run();
    start(r);
    chooseTab(r, 1);  // by name: Anclas Brocas Martillos Mazos Motores Tuercas
    struct Case {
        char typed;
        const char* selected;
    };
    const std::vector<Case> cases = {
        {'m', "Martillos"}, {'m', "Mazos"}, {'m', "Motores"}, {'b', "Brocas"}, {'t', "Tuercas"}, {'a', "Anclas"},
    };
    for (const Case& c : cases) {
        typeChar(r, c.typed);
        EXPECT_EQ(selectedName(r), c.selected) << "typed " << c.typed;
    }
    // By code a digit positions on the first code at or after its value.
    chooseTab(r, 0);
    typeChar(r, '4');
    EXPECT_EQ(selectedName(r), "Anclas");
}

TEST_F(BrowseTest, EntryLocatorTakesTheTypedTextAndRepositionsWhenAccepted) {
    seed({"Motores", "Brocas", "Martillos", "Anclas", "Tuercas", "Mazos"});
    StandardBrowseSetup setup = categorySpec();
    setup.list.orders[0].locator = LocatorKind::Entry;
    setup.list.orders[0].locatorEntry = 40;
    setup.prepare = [](BrowseController&, ui::Window& w) {
        w.add({ControlKind::Entry, 40, "?Locator", {}, QRect(300, 4, 120, 22)});
    };
    ListRun& r = run();
    start(r, setup);
    chooseTab(r, 1);
    EXPECT_EQ(selectedName(r), "Motores") << "a tab change keeps the selected record";
    typeChar(r, 'm');
    auto* entry = r.window->at(40).as<QLineEdit>();
    EXPECT_EQ(entry->text().toStdString(), "M") << "the character went to the entry";
    EXPECT_EQ(selectedName(r), "Motores") << "typing alone does not move the list";
    entry->setText(QStringLiteral("maz"));
    r.window->post({EventKind::Accepted, 40});
    settle();
    EXPECT_EQ(selectedName(r), "Mazos");
    // A tab change blanks the entry.
    chooseTab(r, 0);
    chooseTab(r, 1);
    EXPECT_TRUE(entry->text().isEmpty());
}

TEST_F(BrowseTest, HeaderSortIsClearedByATabSwitch) {
    seed({"Tornillos", "Brocas", "Martillos", "Anclas"});
    ListRun& r = run();
    start(r);
    clickHeader(r, 1);  // by name, ascending
    EXPECT_TRUE(r.list().headerSort().active());
    EXPECT_EQ(column(r, 1), (std::vector<std::string>{"Anclas", "Brocas", "Martillos", "Tornillos"}));
    clickHeader(r, 1);  // again: descending
    EXPECT_EQ(column(r, 1), (std::vector<std::string>{"Tornillos", "Martillos", "Brocas", "Anclas"}));
    chooseTab(r, 1);
    EXPECT_FALSE(r.list().headerSort().active());
    EXPECT_EQ(column(r, 1), (std::vector<std::string>{"Anclas", "Brocas", "Martillos", "Tornillos"}));
    clickHeader(r, 0);
    clickHeader(r, 0);  // by code, descending
    EXPECT_EQ(column(r, 0), (std::vector<std::string>{"4", "3", "2", "1"}));
    chooseTab(r, 0);
    EXPECT_FALSE(r.list().headerSort().active());
    EXPECT_EQ(column(r, 0), (std::vector<std::string>{"1", "2", "3", "4"}));
}

// ---------------------------------------------------------------- page and stripes

std::vector<std::string> names(int n) {
    std::vector<std::string> v;
    for (int i = 1; i <= n; ++i) v.push_back("Categoria " + std::string(i < 10 ? "0" : "") + std::to_string(i));
    return v;
}

TEST_F(BrowseTest, PageHoldsOnlyVisibleRowsAndStripesStayOnScreenRows) {
    seed(names(40));
    ListRun& r = run();
    start(r);
    const int n = r.list().pageSize();
    ASSERT_GE(n, 3);
    ASSERT_LT(n, 40);
    EXPECT_EQ(r.table()->rowCount(), n) << "only the visible page is read";
    auto striped = [&](int row) {
        return r.table()->item(row, 0)->background().color() == ui::fromBgr(ui::colors::kListStripe) &&
               r.table()->item(row, 1)->background().style() != Qt::NoBrush;
    };
    for (int i = 0; i < n - 1; ++i) key(r, Qt::Key_Down);
    EXPECT_EQ(r.table()->currentRow(), n - 1);
    EXPECT_EQ(r.table()->item(0, 0)->text(), "1");
    key(r, Qt::Key_Down);  // scrolls by one row
    EXPECT_EQ(r.table()->item(0, 0)->text(), "2");
    EXPECT_EQ(r.table()->item(n - 1, 0)->text().toInt(), n + 1);
    for (int row = 0; row < n; ++row)
        EXPECT_EQ(striped(row), row % 2 == 0) << "screen row " << row << " after scrolling one row";
    struct Case {
        Qt::Key key;
        int firstCode;
        std::string selected;
    };
    const std::vector<Case> cases = {
        {Qt::Key_End, 40 - n + 1, "Categoria 40"},
        {Qt::Key_Home, 1, "Categoria 01"},
        {Qt::Key_PageDown, n + 1, ""},
        {Qt::Key_PageUp, 1, ""},
        {Qt::Key_Up, 1, "Categoria 01"},  // at the top nothing moves
    };
    for (const Case& c : cases) {
        key(r, c.key);
        EXPECT_EQ(r.table()->item(0, 0)->text().toInt(), c.firstCode) << "key " << c.key;
        if (!c.selected.empty()) {
            EXPECT_EQ(selectedName(r), c.selected) << "key " << c.key;
        }
        EXPECT_EQ(r.table()->rowCount(), n);
    }
}

TEST_F(BrowseTest, ThumbFollowsTheSelectionAndRepositionsWhenDragged) {
    seed(names(40));
    ListRun& r = run();
    start(r);
    QScrollBar* bar = r.list().thumb();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->value(), 0);
    key(r, Qt::Key_End);
    EXPECT_EQ(bar->value(), list::kThumbRange);
    // Dragged to the middle: the list goes to about the middle code.
    r.window->post([&] {
        ui::WindowEvent e{EventKind::User, kBrowseList};
        e.key = BrowseList::kTagThumb;
        e.row = QAbstractSlider::SliderMove;
        e.value = list::kThumbRange / 2;
        return e;
    }());
    settle();
    const int first = r.table()->item(0, 0)->text().toInt();
    EXPECT_GE(first, 15);
    EXPECT_LE(first, 25);
}

TEST_F(BrowseTest, EmptyListDisablesRowButtonsButInsertStillWorks) {
    ListRun& r = run();
    start(r);
    EXPECT_EQ(r.table()->rowCount(), 0);
    struct Case {
        int control;
        bool enabled;
    };
    for (const Case& c : std::vector<Case>{{kBrowseInsert, true}, {kBrowseChange, false}, {kBrowseDelete, false},
                                           {kBrowseView, false}, {kBrowseClose, true}})
        EXPECT_EQ(enabled(r, c.control), c.enabled) << "control " << c.control;
    key(r, Qt::Key_Insert);
    ASSERT_NE(form(), nullptr) << "Insert opens the form";
    EXPECT_EQ(log.requests.back(), kInsert);
    QTest::keyClicks(log.window->at(kFormName).as<QLineEdit>(), "Brocas");
    formClick(kFormOk);
    EXPECT_EQ(column(r, 1), (std::vector<std::string>{"Brocas"}));
    EXPECT_TRUE(enabled(r, kBrowseChange));
    EXPECT_TRUE(enabled(r, kBrowseDelete));
    EXPECT_TRUE(enabled(r, kBrowseView));
}

// ---------------------------------------------------------------- the ask cycle

TEST_F(BrowseTest, InsertPositionsOnTheNewRecordAndCancelGivesTheNumberBack) {
    seed(names(30));
    ListRun& r = run();
    start(r);
    click(r, kBrowseInsert);
    ASSERT_NE(form(), nullptr);
    EXPECT_EQ(log.codes.back(), 31) << "the number is reserved before the form opens";
    QTest::keyClicks(log.window->at(kFormName).as<QLineEdit>(), "Zapatas");
    formClick(kFormOk);
    EXPECT_EQ(selectedName(r), "Zapatas") << "the new record is the selected row";
    EXPECT_EQ(r.table()->item(r.table()->currentRow(), 0)->text(), "31");
    EXPECT_EQ(count(), 31);

    click(r, kBrowseInsert);
    ASSERT_NE(form(), nullptr);
    formClick(kFormCancel);
    EXPECT_EQ(count(), 31) << "a cancelled insert leaves no record";
    EXPECT_EQ(selectedName(r), "Zapatas") << "the list reloads where it was";
}

TEST_F(BrowseTest, InsertWhoseFormIsRefusedGivesTheReservationBack) {
    seed({"Anclas"});
    ListRun& r = run();
    start(r);
    // The form is open on another thread: this one's is refused.
    AddRunningProcedure("UpdateCatTest", 999);
    click(r, kBrowseInsert);
    settle();
    EXPECT_EQ(log.requests.size(), 1u) << "the form procedure was entered";
    EXPECT_EQ(log.window, nullptr) << "and opened no window";
    EXPECT_EQ(count(), 1) << "the reserved number was given back";
    EXPECT_EQ(column(r, 1), (std::vector<std::string>{"Anclas"}));
    RemoveRunningProcedure("UpdateCatTest");
    // The next insert gets a number again and stores it.
    click(r, kBrowseInsert);
    ASSERT_NE(form(), nullptr);
    QTest::keyClicks(log.window->at(kFormName).as<QLineEdit>(), "Brocas");
    formClick(kFormOk);
    EXPECT_EQ(count(), 2);
}

TEST_F(BrowseTest, ChangeAndViewOpenTheSelectedRecord) {
    seed({"Anclas", "Brocas", "Clavos"});
    ListRun& r = run();
    start(r);
    key(r, Qt::Key_Down);
    struct Case {
        std::function<void()> act;
        int request;
    };
    const std::vector<Case> cases = {
        {[&] { click(r, kBrowseChange); }, kChange},
        {[&] { key(r, Qt::Key_Return, Qt::ControlModifier); }, kChange},
        {[&] { doubleClickRow(r, 1); }, kChange},
        {[&] { click(r, kBrowseView); }, kView},
        {[&] { key(r, Qt::Key_Return, Qt::ShiftModifier); }, kView},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        cases[i].act();
        ASSERT_NE(form(), nullptr) << "case " << i;
        EXPECT_EQ(log.requests.back(), cases[i].request) << "case " << i;
        EXPECT_EQ(log.names.back(), "Brocas") << "case " << i;
        formClick(kFormCancel);
        EXPECT_EQ(selectedName(r), "Brocas");
    }
    click(r, kBrowseChange);
    ASSERT_NE(form(), nullptr);
    auto* e = log.window->at(kFormName).as<QLineEdit>();
    e->setText(QStringLiteral("Zapatas"));
    formClick(kFormOk);
    EXPECT_EQ(selectedName(r), "Zapatas");
    EXPECT_EQ(column(r, 1), (std::vector<std::string>{"Anclas", "Zapatas", "Clavos"}));
}

TEST_F(BrowseTest, ChangedRecordThatLeavesTheFilterDisappears) {
    seed({"Anclas", "Brocas", "Clavos"});
    StandardBrowseSetup setup = categorySpec();
    setup.list.filter = "CAR:Descripcion <> 'Fuera'";
    ListRun& r = run();
    start(r, setup);
    key(r, Qt::Key_Down);
    click(r, kBrowseChange);
    ASSERT_NE(form(), nullptr);
    log.window->at(kFormName).as<QLineEdit>()->setText(QStringLiteral("Fuera"));
    formClick(kFormOk);
    EXPECT_EQ(column(r, 1), (std::vector<std::string>{"Anclas", "Clavos"}));
}

TEST_F(BrowseTest, DeleteAsksMessage11) {
    struct Case {
        Answer answer;
        std::vector<std::string> left;
    };
    const std::vector<Case> cases = {
        {Answer::No, {"Anclas", "Brocas", "Clavos"}},
        {Answer::Yes, {"Anclas", "Clavos"}},
    };
    seed({"Anclas", "Brocas", "Clavos"});
    ListRun& r = run();
    start(r);
    for (const Case& c : cases) {
        key(r, Qt::Key_Home);
        key(r, Qt::Key_Down);
        presenter.clear();
        presenter.answer(c.answer);
        key(r, Qt::Key_Delete);
        ASSERT_EQ(presenter.count(), 1u);
        EXPECT_EQ(messageNumber(presenter.last()), 11);
        EXPECT_EQ(column(r, 1), c.left);
    }
    EXPECT_EQ(count(), 2);
    // Deleting down to nothing disables the row buttons.
    for (int i = 0; i < 2; ++i) {
        presenter.answer(Answer::Yes);
        click(r, kBrowseDelete);
    }
    EXPECT_EQ(r.table()->rowCount(), 0);
    EXPECT_FALSE(enabled(r, kBrowseChange));
    EXPECT_FALSE(enabled(r, kBrowseDelete));
    EXPECT_FALSE(enabled(r, kBrowseView));
}

TEST_F(BrowseTest, ViewModeListOpensNothing) {
    seed({"Anclas", "Brocas"});
    ListRun& r = run();
    start(r, categorySpec(), kView);
    click(r, kBrowseInsert);
    click(r, kBrowseChange);
    click(r, kBrowseView);
    key(r, Qt::Key_Insert);
    doubleClickRow(r, 0);
    EXPECT_TRUE(log.requests.empty()) << "no form was called";
    EXPECT_EQ(count(), 2);
}

TEST_F(BrowseTest, ToolbarWalksThroughRecordsFromTheForm) {
    seed(names(5));
    ListRun& r = run();
    start(r);
    click(r, kBrowseChange);
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(form(), nullptr);
        log.window->post({EventKind::Accepted, list::toolbar::kDown});
        settle();
    }
    ASSERT_NE(form(), nullptr);
    log.window->post({EventKind::Accepted, list::toolbar::kTop});
    settle();
    ASSERT_NE(form(), nullptr);
    log.window->post({EventKind::Accepted, list::toolbar::kBottom});
    settle();
    ASSERT_NE(form(), nullptr);
    log.window->post({EventKind::Accepted, list::toolbar::kDown});  // nowhere to go: the walk ends
    settle();
    EXPECT_EQ(log.codes, (std::vector<long long>{1, 2, 3, 4, 1, 5}));
    EXPECT_EQ(log.requests, (std::vector<int>{kChange, kChange, kChange, kChange, kChange, kChange}));
    EXPECT_EQ(log.window, nullptr);
    EXPECT_EQ(selectedName(r), "Categoria 05");

    // The insert button in the form makes the next pass an insert.
    log = FormLog{};
    key(r, Qt::Key_Home);
    click(r, kBrowseChange);
    ASSERT_NE(form(), nullptr);
    log.window->post({EventKind::Accepted, list::toolbar::kInsert});
    settle();
    ASSERT_NE(form(), nullptr);
    EXPECT_EQ(log.requests.back(), kInsert);
    formClick(kFormCancel);
    EXPECT_EQ(count(), 5);
}

TEST_F(BrowseTest, ToolbarButtonsActOnTheList) {
    seed(names(30));
    ListRun& r = run();
    start(r);
    const int n = r.list().pageSize();
    struct Case {
        int button;
        std::string selected;
    };
    const std::vector<Case> cases = {
        {list::toolbar::kBottom, "Categoria 30"},
        {list::toolbar::kTop, "Categoria 01"},
        {list::toolbar::kDown, "Categoria 02"},
        {list::toolbar::kUp, "Categoria 01"},
        {list::toolbar::kPageDown, names(30)[static_cast<std::size_t>(n)]},
        {list::toolbar::kPageUp, "Categoria 01"},
    };
    for (const Case& c : cases) {
        r.window->post({EventKind::Accepted, c.button});
        settle();
        EXPECT_EQ(selectedName(r), c.selected) << "button " << c.button;
    }
    r.window->post({EventKind::Accepted, list::toolbar::kChange});
    ASSERT_NE(form(), nullptr);
    EXPECT_EQ(log.requests.back(), kChange);
    formClick(kFormCancel);
}

// ---------------------------------------------------------------- select mode

TEST_F(BrowseTest, SelectModeHandsTheWholeChosenRecordOrRestoresTheCallersBuffer) {
    seed({"Anclas", "Brocas", "Clavos"});
    StandardBrowseSetup setup = categorySpec();
    setup.selectButton = true;
    // The list shows only the name: the code comes from reading the chosen record again.
    setup.list.format = "80L(1)|M*~Descripcion~@s40@";
    setup.list.columns = {{"CAR:Descripcion"}};
    struct Case {
        std::function<void(BrowseTest&, ListRun&)> act;
        uint8_t response;
        long long code;
        std::string name;
    };
    const std::vector<Case> cases = {
        {[](BrowseTest& t, ListRun& r) { t.doubleClickRow(r, 1); }, kCompleted, 2, "Brocas"},
        {[](BrowseTest& t, ListRun& r) { t.key(r, Qt::Key_End); t.click(r, kBrowseSelect); }, kCompleted, 3, "Clavos"},
        {[](BrowseTest& t, ListRun& r) { t.click(r, kBrowseClose); }, kCancelled, 77, "del llamador"},
        {[](BrowseTest& t, ListRun& r) { t.key(r, Qt::Key_Down); r.window->post({EventKind::CloseWindow, 0}); },
         kCancelled, 77, "del llamador"},
    };
    // The same list open in normal mode elsewhere blocks nobody picking.
    AddRunningProcedure("BrowseCatTest", 999);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        std::optional<Record> before, after;
        ListRun& r = run();
        start(r, setup, kSelect,
              [&before] {
                  Record& b = data::tables().CatArticulos();
                  b.clear();
                  b.set(0, Value(77));
                  b.set(1, Value("del llamador"));
                  before = b;
              },
              [&after] { after = data::tables().CatArticulos(); });
        ASSERT_FALSE(r.done) << "case " << i;
        EXPECT_TRUE(enabled(r, kBrowseSelect));
        c.act(*this, r);
        ASSERT_TRUE(runFor([&r] { return r.done; })) << "case " << i;
        EXPECT_EQ(r.response, c.response) << "case " << i;
        ASSERT_TRUE(after.has_value());
        EXPECT_EQ(after->get(0).asNumber().toInt64(), c.code) << "case " << i;
        EXPECT_EQ(trimmed(after->get(1).asText()), c.name) << "case " << i;
        if (c.response == kCancelled) {
            EXPECT_TRUE(*after == *before) << "case " << i << ": the buffer exactly as before";
        }
    }
    RemoveRunningProcedure("BrowseCatTest");
}

// ---------------------------------------------------------------- find: F3, F6, F4

ui::Window* findWindow() {
    ui::Window* found = nullptr;
    runFor([&found] {
        for (ui::Window* w : ui::Window::openWindows())
            if (w->caption() == QStringLiteral("Buscar:")) found = w;
        return found != nullptr;
    });
    settle();
    return found;
}

// Answers the find window: the column by its row, the value, then a button.
void answerFind(int columnRow, const QString& value, int button) {
    ui::Window* w = findWindow();
    ASSERT_NE(w, nullptr) << "the find window opened";
    if (columnRow >= 0) w->at(kVsfColumns).as<QTableWidget>()->setCurrentCell(columnRow, 0);
    if (!value.isNull()) {
        auto* e = w->at(kVsfValue).as<QLineEdit>();
        e->clear();
        QTest::keyClicks(e, value);
    }
    settle();
    QTest::mouseClick(w->at(button).as<QPushButton>(), Qt::LeftButton);
    settle();
}

TEST_F(BrowseTest, FindNextAndFilter) {
    seed({"Tornillo", "MOTOR", "Broca", "factor", "Tuerca", "Rotor grande"});
    ListRun& r = run();
    start(r);
    // F3 "tor" in Descripcion, "&Encontrar": from the top, contains, any case.
    QTest::keyClick(r.table(), Qt::Key_F3);
    answerFind(1, QStringLiteral("tor"), kVsfFind);
    EXPECT_EQ(selectedName(r), "Tornillo");
    EXPECT_EQ(r.list().search().expression(), "MATCH(car:Descripcion,'*tor*',17)");
    struct Step {
        const char* selected;
        const char* message;  // "" none
    };
    const std::vector<Step> steps = {
        {"MOTOR", ""}, {"factor", ""}, {"Rotor grande", ""},
        {"Rotor grande", "No se encontraron más coincidencias."},  // never wraps
    };
    for (const Step& s : steps) {
        presenter.clear();
        key(r, Qt::Key_F6);
        EXPECT_EQ(selectedName(r), s.selected);
        if (*s.message == 0) {
            EXPECT_TRUE(presenter.empty());
        } else {
            ASSERT_EQ(presenter.count(), 1u);
            EXPECT_EQ(presenter.last().text, s.message);
            EXPECT_EQ(presenter.last().caption, "Búsqueda");
            EXPECT_EQ(presenter.last().icon, MessageBox::Icon::Information);
        }
    }
    // F3 "&Siguiente" starts after the selected row; the window shows the last criterion.
    key(r, Qt::Key_Home);
    QTest::keyClick(r.table(), Qt::Key_F3);
    {
        ui::Window* w = findWindow();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->at(kVsfValue).text(), QStringLiteral("tor"));
        EXPECT_EQ(w->at(kVsfColumns).as<QTableWidget>()->currentRow(), 1);
    }
    answerFind(-1, QString(), kVsfFindNext);
    EXPECT_EQ(selectedName(r), "MOTOR");

    // F4 filters at once; F4 with "Cancelar" shows every record again.
    QTest::keyClick(r.table(), Qt::Key_F4);
    answerFind(1, QStringLiteral("tor"), kVsfFind);
    EXPECT_EQ(column(r, 1), (std::vector<std::string>{"Tornillo", "MOTOR", "factor", "Rotor grande"}));
    QTest::keyClick(r.table(), Qt::Key_F4);
    answerFind(-1, QString(), kVsfCancel);
    EXPECT_EQ(r.table()->rowCount(), 6);

    // F3 then "Cancelar": no criterion.
    presenter.clear();
    QTest::keyClick(r.table(), Qt::Key_F3);
    answerFind(-1, QString(), kVsfCancel);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().text, "No search criteria specified.");
    EXPECT_EQ(presenter.last().caption, "Error");
}

TEST_F(BrowseTest, FindOnANumberColumnMatchesTheWholeValue) {
    seed(names(13));
    ListRun& r = run();
    start(r);
    QTest::keyClick(r.table(), Qt::Key_F3);
    answerFind(0, QStringLiteral("12"), kVsfFind);
    EXPECT_EQ(selectedName(r), "Categoria 12");
    presenter.clear();
    key(r, Qt::Key_F6);
    EXPECT_EQ(presenter.count(), 1u) << "1 and 112 would not match 12";
    // On an empty filter result F3 reports nothing more.
}

TEST_F(BrowseTest, FindWindowWithoutAColumnAsksForOne) {
    seed({"Anclas"});
    ListRun& r = run();
    start(r);
    QTest::keyClick(r.table(), Qt::Key_F3);
    ui::Window* w = findWindow();
    ASSERT_NE(w, nullptr);
    w->at(kVsfColumns).as<QTableWidget>()->setCurrentCell(-1, -1);
    settle();
    presenter.clear();
    QTest::mouseClick(w->at(kVsfFind).as<QPushButton>(), Qt::LeftButton);
    settle();
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().text, "Select a field first.");
    EXPECT_NE(findWindow(), nullptr) << "the find window stays open";
    answerFind(-1, QString(), kVsfCancel);
}

// A second start of a list that is open elsewhere opens nothing and ends
// cleanly (its lists never set up their views).
TEST_F(BrowseTest, AListOpenElsewhereEndsWithoutOpening) {
    AddRunningProcedure("BrowseCatTest", 999);
    ListRun& r = run();
    start(r);
    EXPECT_TRUE(r.done);
    EXPECT_EQ(r.response, kCancelled);
    RemoveRunningProcedure("BrowseCatTest");
}

TEST_F(BrowseTest, RefusedFindWindowLeavesSearchAndFilterUntouched) {
    seed({"Tornillo", "MOTOR", "Broca"});
    ListRun& r = run();
    start(r);
    QTest::keyClick(r.table(), Qt::Key_F4);
    answerFind(1, QStringLiteral("o"), kVsfFind);
    ASSERT_EQ(r.table()->rowCount(), 3);
    QTest::keyClick(r.table(), Qt::Key_F4);
    answerFind(1, QStringLiteral("tor"), kVsfFind);
    ASSERT_EQ(r.table()->rowCount(), 2);
    const std::string expression = r.list().search().expression();
    AddRunningProcedure("vsFind", 999);  // open on another thread
    presenter.clear();
    key(r, Qt::Key_F4);
    EXPECT_EQ(r.table()->rowCount(), 2) << "the filter stays";
    EXPECT_EQ(r.list().search().filterText(), expression);
    key(r, Qt::Key_F3);
    EXPECT_EQ(r.list().search().expression(), expression);
    EXPECT_TRUE(presenter.empty());
    RemoveRunningProcedure("vsFind");
}

// ---------------------------------------------------------------- two lists

TEST_F(BrowseTest, LineListFollowsTheHeaderSelection) {
    const std::vector<long long> cats = seed({"Anclas", "Brocas"});
    onThread([&] {
        data::TableGateway& g = data::tables().ArticuloTableGateway();
        const data::TableDecl& d = data::decl(TableId::Articulo);
        const char* items[][2] = {{"Ancla 1", "1"}, {"Broca 1", "2"}, {"Ancla 2", "1"}, {"Broca 2", "2"}, {"Broca 3", "2"}};
        for (auto& it : items) {
            ASSERT_EQ(g.PrepareNewRecord(), data::kDone);
            g.BUFFER.set(d.fieldIndex("ART:Descripcion"), Value(it[0]));
            g.BUFFER.set(d.fieldIndex("ART:categoria"), Value(std::stoi(it[1])));
            ASSERT_EQ(g.InsertRecord(), data::kDone);
        }
    });
    StandardBrowseSetup setup = categorySpec();
    setup.size = QSize(560, 520);
    BrowseList* lines = nullptr;
    setup.prepare = [&lines](BrowseController& c, ui::Window& w) {
        w.add({ControlKind::List, 50, "?BROWSE:2", {}, QRect(12, 340, 500, 120)});
        BrowseListSetup ls;
        ls.listControl = 50;
        ls.primary = TableId::Articulo;
        ls.format = "200L(2)|M*~Descripción~@s70@";
        ls.columns = {{"ART:Descripcion"}};
        BrowseOrderSetup o("ART:KeyCategoria", ScrollStepKind::Integer, "ART:categoria");
        o.rangeHeader = TableId::CatArticulos;
        ls.orders = {o};
        ls.findColumns = "Descripción|@s70|ART:Descripcion|";
        lines = &c.AddList(ls);
        c.List(0).AddDependent(*lines);
    };
    ListRun& r = run();
    start(r, setup);
    ASSERT_NE(lines, nullptr);
    auto lineNames = [&] {
        std::vector<std::string> out;
        for (int i = 0; i < lines->table()->rowCount(); ++i) out.push_back(lines->table()->item(i, 0)->text().toStdString());
        std::sort(out.begin(), out.end());
        return out;
    };
    EXPECT_EQ(lineNames(), (std::vector<std::string>{"Ancla 1", "Ancla 2"}));
    key(r, Qt::Key_Down);
    EXPECT_EQ(lineNames(), (std::vector<std::string>{"Broca 1", "Broca 2", "Broca 3"}));
    (void)cats;
}

// ---------------------------------------------------------------- the list format and the popup

TEST_F(BrowseTest, ColumnsFollowTheListFormat) {
    seed({"Anclas"});
    StandardBrowseSetup setup = categorySpec();
    // A fixed-width first column, a resizable second one under a group header.
    setup.list.format = "40R(3)~Código~@n_4@[80L(1)|M*~Descripcion~@s40@](90)|M~Grupo~";
    ListRun& r = run();
    start(r, setup);
    QTableWidget* t = r.table();
    ASSERT_EQ(t->columnCount(), 2);
    QHeaderView* h = t->horizontalHeader();
    struct Case {
        int column;
        QString header;
        QHeaderView::ResizeMode mode;
        Qt::Alignment align;
        int width;
        bool striped;
    };
    const std::vector<Case> cases = {
        {0, QStringLiteral("Código"), QHeaderView::Fixed, Qt::AlignRight | Qt::AlignVCenter, 60, false},
        {1, QStringLiteral("Grupo\nDescripcion"), QHeaderView::Interactive, Qt::AlignLeft | Qt::AlignVCenter, 120, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(t->horizontalHeaderItem(c.column)->text(), c.header) << c.column;
        EXPECT_EQ(h->sectionResizeMode(c.column), c.mode) << c.column;
        EXPECT_EQ(Qt::Alignment(t->item(0, c.column)->textAlignment()), c.align) << c.column;
        if (c.column + 1 < t->columnCount()) EXPECT_EQ(h->sectionSize(c.column), c.width) << c.column;
        else EXPECT_GE(h->sectionSize(c.column), c.width) << "the last one runs to the edge";
        EXPECT_EQ(t->item(0, c.column)->background().style() != Qt::NoBrush, c.striped)
            << c.column << ": only \"*\" columns carry colours";
    }
    EXPECT_EQ(t->item(0, 0)->text(), "1") << "the picture n_4 shows the code";
}

TEST_F(BrowseTest, TheLastColumnRunsToTheListsRightEdge) {
    // "Descripcion" is 80 units wide in the format; a long name must not be
    // cut off while the rest of the list stands empty beside it.
    seed({"Herramientas electricas de mano y banco"});
    ListRun& r = run();
    start(r);
    QTableWidget* t = r.table();
    QHeaderView* h = t->horizontalHeader();
    EXPECT_EQ(h->sectionSize(0), 120) << "the other columns keep their widths";
    EXPECT_EQ(h->sectionPosition(1) + h->sectionSize(1), t->viewport()->width());
    EXPECT_GE(h->sectionSize(1), t->fontMetrics().horizontalAdvance(t->item(0, 1)->text()));
}

TEST_F(BrowseTest, BadListFormatIsReportedAndTheListStillOpens) {
    seed({"Anclas"});
    StandardBrowseSetup setup = categorySpec();
    setup.list.format = "80R(1)|M*~Código~@n_4";
    ListRun& r = run();
    start(r, setup);
    ASSERT_FALSE(r.done);
    ASSERT_GE(presenter.count(), 1u);
    EXPECT_NE(presenter.shown().front().box.text.find("Formato de lista"), std::string::npos);
}

TEST_F(BrowseTest, PopupMenuOffersTheBoundActions) {
    seed({"Anclas", "Brocas"});
    ListRun& r = run();
    start(r);
    const QRect rect = r.table()->visualRect(r.table()->model()->index(1, 0));
    QTest::mouseClick(r.table()->viewport(), Qt::RightButton, {}, rect.center());
    QMenu* menu = nullptr;
    runFor([&menu] {
        for (QWidget* w : ui::openDialogs())
            if (auto* m = qobject_cast<QMenu*>(w)) menu = m;
        return menu != nullptr;
    });
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(selectedName(r), "Brocas") << "the right button selects the row first";
    QStringList items;
    QAction* change = nullptr;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) continue;
        items << a->text();
        if (a->text() == QStringLiteral("&Cambiar")) change = a;
    }
    EXPECT_EQ(items, (QStringList{"&Agregar", "&Cambiar", "&Borrar", "&Ver"}));
    ASSERT_NE(change, nullptr);
    change->trigger();
    menu->hide();
    ASSERT_NE(form(), nullptr);
    EXPECT_EQ(log.requests.back(), kChange);
    EXPECT_EQ(log.names.back(), "Brocas");
    formClick(kFormCancel);
}

TEST_F(BrowseTest, FindsAValueWithASingleQuote) {
    seed({"Llave 1/2", "Llave 3/4'", "Llave 3/4"});
    ListRun& r = run();
    start(r);
    QTest::keyClick(r.table(), Qt::Key_F3);
    answerFind(1, QStringLiteral("3/4'"), kVsfFind);
    EXPECT_EQ(selectedName(r), "Llave 3/4'");
    EXPECT_EQ(r.list().search().expression(), "MATCH(car:Descripcion,'*3/4''*',17)");
}

}  // namespace
}  // namespace tv::app
