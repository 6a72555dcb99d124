// "Cierre de período" as a user meets it: started from the frame's menu, its
// progress while it runs, Cancel, a second start, and a failure.
#include "reports/closing/cierre.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <set>

#include <gtest/gtest.h>

#include "app/frame/main_frame.h"
#include "app/frame/procedures.h"
#include "app/globals.h"
#include "data/transaction.h"
#include "platform/errors/scripted_presenter.h"
#include "platform/threads/logical_thread.h"
#include "tests/reports/closing/closing_fixture.h"
#include "tests/support/fiber_helpers.h"
#include "tests/support/scratch_dir.h"

namespace tv::reports::test {
namespace {

using tv::test::runFor;
using tv::test::settle;

// What the progress bar showed each time it was painted: its range and value.
struct PaintSpy : QObject {
    std::vector<std::pair<int, int>> shown;  // maximum, value
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            auto* bar = static_cast<QProgressBar*>(o);
            shown.emplace_back(bar->maximum(), bar->value());
        }
        return false;
    }
};

class CierreTest : public ::testing::Test {
protected:
    void SetUp() override {
        storage::setDatabasePath(dir.file("talvor.db"));
        scope_.emplace(presenter);
        RegisterClosingProcedures();
        app::RegisterProcedure("Login", [] {
            app::globals().UserPermissions.fill(0);
            app::globals().UserPermissions[60] = 1;
        });
    }
    void TearDown() override {
        if (ui::Window* w = cierre()) w->post({ui::EventKind::CloseWindow, 0});
        runFor([this] { return cierre() == nullptr; });
        if (frameThread_ != 0 && !frameDone_) {
            app::FrameWindow()->widget()->close();
            EXPECT_TRUE(runFor([this] { return frameDone_; }));
        }
        app::globals().RunningProcedures.clear();
        app::RegisterProcedure("Login", nullptr);
        scope_.reset();
        storage::setDatabasePath("talvor.db");
    }

    // The rows of a small period: articles with stock, last period's
    // ledger, receipts, an issue and a completed order.
    void seedPeriod(int articles) {
        const std::unique_ptr<storage::Connection> opened = storage::Connection::open(dir.file("talvor.db"));
        storage::Connection& c = *opened;
        data::ThreadTableSet set(c);
        data::DataTransaction tx(set);
        Seeder s(set);
        for (int i = 1; i <= articles; ++i) s.article(i, "150.50", "40.25", "17.80");
        for (int i = 0; i < 2 * articles; ++i) s.ledgerRow(i % articles + 1, "ENT-1", "1.00", "0");
        for (int f = 1; f <= 30; ++f) s.receipt(f, 2);
        s.issue(1, 3);
        s.order(1, 100, {{"1.00", "1.00"}});
        s.order(2, 20, {{"5.00", "1.00"}});
        ASSERT_TRUE(tx.commit());
        createEveryTable(set);
    }
    std::string dumpNow(const std::vector<std::string>& skip = {}) {
        const std::unique_ptr<storage::Connection> opened = storage::Connection::open(dir.file("talvor.db"));
        storage::Connection& c = *opened;
        return dumpDatabase(c, skip);
    }
    int64_t countNow(TableId t) {
        const std::unique_ptr<storage::Connection> opened = storage::Connection::open(dir.file("talvor.db"));
        storage::Connection& c = *opened;
        data::ThreadTableSet set(c);
        return set.gateway(t).RecordCount();
    }

    void startFrame() {
        frameThread_ = threads::start(
            [this] {
                app::Main();
                frameDone_ = true;
            },
            0);
        ASSERT_TRUE(runFor([] { return app::FrameWindow() != nullptr && app::FrameWindow()->isOpen(); }));
        settle();
    }
    QAction* item() { return app::FrameWindow()->at(-34).action(); }
    static ui::Window* cierre() {
        for (ui::Window* w : ui::Window::openWindows())
            if (w->caption() == QStringLiteral("Cierre de período")) return w;
        return nullptr;
    }
    ui::Window* openFromMenu() {
        item()->trigger();
        ui::Window* w = nullptr;
        runFor([&] { return (w = cierre()) != nullptr && !w->hasEvents(); });
        settle();
        return w;
    }
    void click(ui::Window* w, int control) {
        QTest::mouseClick(w->at(control).as<QPushButton>(), Qt::LeftButton);
    }

    tv::test::ScratchDir dir;
    tv::test::WorkingDir wd{dir.path()};
    ScriptedPresenter presenter;
    threads::ThreadNo frameThread_ = 0;
    bool frameDone_ = false;

private:
    std::optional<ScopedPresenter> scope_;
};

TEST_F(CierreTest, RunFromTheMenuItsProgressAdvancesThroughEveryPassToTheEnd) {
    seedPeriod(400);
    startFrame();
    ASSERT_TRUE(item()->isEnabled()) << "right 60 granted";
    ui::Window* w = openFromMenu();
    ASSERT_NE(w, nullptr);

    // The window as designed.
    EXPECT_EQ(w->at(kCierreText).text(), QStringLiteral("Presione Aceptar para realizar el cierre de período"));
    EXPECT_EQ(w->at(kCierreOk).text(), QStringLiteral("&Aceptar"));
    EXPECT_EQ(w->at(kCierreOk).tip(), QStringLiteral("Acepta la operacion"));
    EXPECT_EQ(w->at(kCierreCancel).text(), QStringLiteral("&Cancelar"));
    EXPECT_EQ(w->at(kCierreCancel).tip(), QStringLiteral("Cancela la operacion"));
    auto* bar = w->at(kCierreProgress).as<QProgressBar>();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(w->owner() == frameThread_, false) << "a thread of its own";

    PaintSpy spy;
    bar->installEventFilter(&spy);
    // While the closing runs, the main loop is served (timers fire, windows
    // repaint) but no other logical thread gets the turn.
    auto busy = [&] { return cierre() != nullptr && !w->at(kCierreOk).widget()->isEnabled(); };
    bool servedWhileBusy = false, otherThreadStarted = false, otherRanWhileBusy = false, otherRan = false;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!busy()) return;
        servedWhileBusy = true;
        if (otherThreadStarted) return;
        otherThreadStarted = true;
        threads::start([&] {
            otherRanWhileBusy = busy();
            otherRan = true;
        }, 0);
    });
    tick.start(0);
    click(w, kCierreOk);
    ASSERT_TRUE(runFor([] { return cierre() == nullptr; })) << "closes when the closing has ended";
    tick.stop();
    EXPECT_TRUE(presenter.empty()) << "no question before, no message after";
    EXPECT_TRUE(servedWhileBusy);
    ASSERT_TRUE(otherThreadStarted);
    ASSERT_TRUE(runFor([&] { return otherRan; }));
    EXPECT_FALSE(otherRanWhileBusy);

    // Each pass showed its own count, from the start to the end: the
    // ledger's 800 rows (deleted at once), the 30 receipts, 1 issue, 2
    // orders, 400 articles (a percent every 4).
    struct Pass {
        int total;
        size_t shownAtLeast;  // distinct values painted
    };
    for (const Pass& p : {Pass{800, 2}, Pass{30, 30}, Pass{1, 2}, Pass{2, 3}, Pass{400, 90}}) {
        SCOPED_TRACE(p.total);
        std::set<int> values;
        for (const auto& [max, value] : spy.shown)
            if (max == p.total) values.insert(value);
        EXPECT_EQ(values.count(0), 1u);
        EXPECT_EQ(values.count(p.total), 1u);
        EXPECT_GE(values.size(), p.shownAtLeast) << "advances through the pass";
    }

    EXPECT_EQ(countNow(TableId::Kardex), 400);
    EXPECT_EQ(countNow(TableId::Entradas), 0);
    EXPECT_EQ(countNow(TableId::Salidas), 0);
    EXPECT_EQ(countNow(TableId::Ordenes), 1);
    // The item can be used again: a new window, a new closing.
    ASSERT_NE(openFromMenu(), nullptr);
}

TEST_F(CierreTest, CancelChangesNothingAndASecondStartBringsTheOpenWindowBack) {
    seedPeriod(20);
    const std::string before = dumpNow();
    startFrame();
    ui::Window* w = openFromMenu();
    ASSERT_NE(w, nullptr);
    w->topWidget()->showMinimized();
    item()->trigger();
    ASSERT_TRUE(runFor([&] { return !w->isMinimized(); }));
    settle();
    int open = 0;
    for (ui::Window* o : ui::Window::openWindows()) open += o->caption() == QStringLiteral("Cierre de período");
    EXPECT_EQ(open, 1);
    // Made larger (maximised), the bar takes the width and the buttons keep
    // to the bottom right corner, below the sheet.
    w->topWidget()->resize(900, 600);
    settle();
    const QRect sheet = w->at(kCierreSheet).widget()->geometry();
    const QRect ok = w->at(kCierreOk).widget()->geometry();
    const QRect cancel = w->at(kCierreCancel).widget()->geometry();
    EXPECT_EQ(cancel.right(), 900 - 7);
    EXPECT_EQ(cancel.bottom(), 600 - 9);
    EXPECT_LT(ok.right(), cancel.left());
    EXPECT_LT(sheet.bottom(), ok.top());
    EXPECT_GT(w->at(kCierreProgress).widget()->width(), 800);
    // Enter moves on; it never presses a button of this window.
    w->at(kCierreOk).focus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    settle();
    EXPECT_NE(cierre(), nullptr);
    click(w, kCierreCancel);
    ASSERT_TRUE(runFor([] { return cierre() == nullptr; }));
    EXPECT_EQ(dumpNow(), before);
    EXPECT_TRUE(presenter.empty());
}

TEST_F(CierreTest, AFailureIsToldAfterTheRollbackAndTheWindowStaysToTryAgain) {
    seedPeriod(20);
    {
        const std::unique_ptr<storage::Connection> opened = storage::Connection::open(dir.file("talvor.db"));
        storage::Connection& c = *opened;
        if (c.dialect().server()) {
            ASSERT_TRUE(c.exec("CREATE FUNCTION tv_test_fail() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN "
                               "RAISE EXCEPTION 'disco lleno'; END $f$")
                            .ok());
            ASSERT_TRUE(c.exec("CREATE TRIGGER tv_test_fail BEFORE UPDATE ON \"Articulo\" FOR EACH ROW WHEN "
                               "(NEW.\"NoArt\" = 12) EXECUTE FUNCTION tv_test_fail()")
                            .ok());
        } else {
            ASSERT_TRUE(c.exec("CREATE TRIGGER tv_test_fail BEFORE UPDATE ON Articulo WHEN NEW.NoArt = 12 "
                               "BEGIN SELECT RAISE(ABORT, 'disco lleno'); END")
                            .ok());
        }
    }
    const std::string before = dumpNow();
    startFrame();
    ui::Window* w = openFromMenu();
    ASSERT_NE(w, nullptr);
    click(w, kCierreOk);
    ASSERT_TRUE(runFor([&] { return presenter.count() == 2; }));
    settle();
    EXPECT_NE(presenter.shown()[0].box.text.find("disco lleno"), std::string::npos);
    EXPECT_NE(presenter.shown()[1].box.text.find("El cierre de período no se realizó"), std::string::npos);
    EXPECT_EQ(dumpNow(), before);
    ASSERT_EQ(cierre(), w) << "the window stays open";
    EXPECT_TRUE(w->at(kCierreOk).widget()->isEnabled());
    EXPECT_EQ(w->at(kCierreProgress).as<QProgressBar>()->value(), 0);

    {
        const std::unique_ptr<storage::Connection> opened = storage::Connection::open(dir.file("talvor.db"));
        storage::Connection& c = *opened;
        ASSERT_TRUE(c.exec(c.dialect().server() ? "DROP TRIGGER tv_test_fail ON \"Articulo\"" : "DROP TRIGGER tv_test_fail").ok());
    }
    click(w, kCierreOk);
    ASSERT_TRUE(runFor([] { return cierre() == nullptr; }));
    EXPECT_EQ(presenter.count(), 2u);
    EXPECT_EQ(countNow(TableId::Kardex), 20);
}

TEST_F(CierreTest, WithoutRightSixtyTheItemIsDisabled) {
    app::RegisterProcedure("Login", [] { app::globals().UserPermissions.fill(1);
                                          app::globals().UserPermissions[60] = 0; });
    startFrame();
    EXPECT_FALSE(item()->isEnabled());
}

}  // namespace
}  // namespace tv::reports::test
