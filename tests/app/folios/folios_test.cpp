// The folio form driven as a user drives it: the real procedure on a logical
// thread over a scratch database, messages answered by a scripted presenter.
#include "app/folios/folios.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "data/thread_table_set.h"
#include "platform/errors/scripted_presenter.h"
#include "platform/storage/storage.h"
#include "platform/threads/logical_thread.h"
#include "platform/threads/thread_state.h"
#include "platform/ui/window.h"
#include "tests/support/fiber_helpers.h"
#include "tests/support/scratch_dir.h"

namespace tv::app {
namespace {

using test::runFor;
using test::settle;
using test::onThread;

using namespace std::chrono_literals;
using data::TableId;

struct Folios {
    long long entradas, salidas, orden;
    bool operator==(const Folios&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Folios& f) {
    return o << "{" << f.entradas << ", " << f.salidas << ", " << f.orden << "}";
}

class FoliosTest : public ::testing::Test {
protected:
    void SetUp() override {
        storage::setDatabasePath(dir.file("talvor.db"));
        ErrorReporter::instance().setUp();
        scope_.emplace(presenter);
    }
    void TearDown() override {
        if (thread_ != 0 && !done_) {
            if (ui::Window* w = ui::Window::topOf(thread_)) w->post({ui::EventKind::CloseWindow, 0});
        }
        if (thread_ != 0) {
            EXPECT_TRUE(runFor([this] { return done_; })) << "the form's thread ended";
        }
        globals().RunningProcedures.clear();
        scope_.reset();
        storage::setDatabasePath("talvor.db");
    }

    // Every folio record in record order.
    std::vector<Folios> stored() {
        std::vector<Folios> out;
        onThread([&] {
            data::TableGateway& g = data::tables().FoliosTableGateway();
            const data::TableDecl& d = g.declaration();
            g.SetPositionToStart();
            while (g.ReadNext() == data::kDone)
                out.push_back({g.BUFFER.number(d.fieldIndex("FOL:ENTRADAS")).toInt64(),
                               g.BUFFER.number(d.fieldIndex("FOL:SALIDAS")).toInt64(),
                               g.BUFFER.number(d.fieldIndex("FOL:ORDENCOMPRA")).toInt64()});
        });
        return out;
    }
    void storeFolios(const std::vector<Folios>& records) {
        onThread([&] {
            data::TableGateway& g = data::tables().FoliosTableGateway();
            const data::TableDecl& d = g.declaration();
            int id = 0;
            for (const Folios& f : records) {
                g.BUFFER.clear();
                g.BUFFER.set(d.fieldIndex("FOL:ID"), Value(++id));
                g.BUFFER.set(d.fieldIndex("FOL:ENTRADAS"), Value(f.entradas));
                g.BUFFER.set(d.fieldIndex("FOL:SALIDAS"), Value(f.salidas));
                g.BUFFER.set(d.fieldIndex("FOL:ORDENCOMPRA"), Value(f.orden));
                ASSERT_EQ(g.InsertRecord(), data::kDone);
            }
        });
    }
    // A stored document of a kind with that folio.
    void storeDocument(TableId t, const char* folioField, long long folio) {
        onThread([&] {
            data::TableGateway& g = data::tables().gateway(t);
            ASSERT_EQ(g.PrepareNewRecord(), data::kDone);
            g.BUFFER.set(g.declaration().fieldIndex(folioField), Value(folio));
            ASSERT_EQ(g.InsertRecord(), data::kDone);
        });
    }

    void start() {
        done_ = false;
        thread_ = threads::start([this] {
            UpdateFolios();
            response_ = threadState().callResponse;
            done_ = true;
        }, 256 * 1024);
        ASSERT_TRUE(runFor([this] {
            ui::Window* w = ui::Window::topOf(thread_);
            return done_ || (w != nullptr && w->isOpen() && !w->hasEvents());
        }));
        settle();
        form_ = ui::Window::topOf(thread_);
        ASSERT_NE(form_, nullptr);
    }
    Folios shown() const {
        return {form_->at(kFolEntradas).text().toLongLong(), form_->at(kFolSalidas).text().toLongLong(),
                form_->at(kFolOrden).text().toLongLong()};
    }
    void type(int control, long long value) {
        auto* e = form_->at(control).as<QLineEdit>();
        ASSERT_NE(e, nullptr);
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, QString::number(value));
        settle();
    }
    void typeAll(const Folios& f) {
        type(kFolEntradas, f.entradas);
        type(kFolSalidas, f.salidas);
        type(kFolOrden, f.orden);
    }
    void click(int control) {
        QTest::mouseClick(form_->at(control).as<QPushButton>(), Qt::LeftButton);
        settle();
    }
    bool finished() { return runFor([this] { return done_; }); }

    test::ScratchDir dir;
    test::WorkingDir wd{dir.path()};
    ScriptedPresenter presenter;
    threads::ThreadNo thread_ = 0;
    bool done_ = true;
    uint8_t response_ = 0;
    ui::Window* form_ = nullptr;

private:
    std::optional<ScopedPresenter> scope_;
};

TEST_F(FoliosTest, CreatesTheRecordWhenThereIsNoneThenChangesIt) {
    // Cancelled on an empty table: nothing is created, no question.
    start();
    EXPECT_EQ(form_->caption(), QStringLiteral("Altas"));
    EXPECT_EQ(shown(), (Folios{1, 1, 1})) << "a new record's next numbers are 1";
    click(kFolCancel);
    ASSERT_TRUE(finished());
    EXPECT_TRUE(presenter.empty());
    EXPECT_TRUE(stored().empty());

    start();
    EXPECT_EQ(form_->caption(), QStringLiteral("Altas"));
    click(kFolOk);
    ASSERT_TRUE(finished());
    EXPECT_EQ(response_, kCompleted);
    EXPECT_EQ(stored(), (std::vector<Folios>{{1, 1, 1}}));

    start();
    EXPECT_EQ(form_->caption(), QStringLiteral("Modificaciones"));
    EXPECT_EQ(shown(), (Folios{1, 1, 1}));
    typeAll({120, 45, 7});
    click(kFolOk);
    ASSERT_TRUE(finished());
    EXPECT_EQ(stored(), (std::vector<Folios>{{120, 45, 7}})) << "still one record, changed";
    EXPECT_TRUE(presenter.empty());
}

TEST_F(FoliosTest, EditsTheFirstRecordInRecordOrder) {
    storeFolios({{10, 20, 30}, {11, 21, 31}});
    start();
    EXPECT_EQ(shown(), (Folios{10, 20, 30}));
    type(kFolSalidas, 22);
    click(kFolOk);
    ASSERT_TRUE(finished());
    EXPECT_EQ(stored(), (std::vector<Folios>{{10, 22, 30}, {11, 21, 31}}));
}

TEST_F(FoliosTest, RefusesANextNumberAStoredDocumentAlreadyHas) {
    storeFolios({{1, 1, 1}});
    storeDocument(TableId::Entradas, "ENT:Folio", 5);
    storeDocument(TableId::Salidas, "SAL:Folio", 7);
    storeDocument(TableId::Ordenes, "ORD:Folio", 9);
    struct Case {
        Folios typed;
        int focus;              // the entry refused (0: accepted)
        const char* named;      // what the message names
    };
    const std::vector<Case> cases = {
        {{5, 8, 10}, kFolEntradas, "entrada de almacén con el folio 5"},
        {{6, 7, 10}, kFolSalidas, "salida de almacén con el folio 7"},
        {{6, 8, 9}, kFolOrden, "orden de compra con el folio 9"},
        {{3, 2, 4}, 0, nullptr},  // lower than used numbers but free: accepted
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.entradas);
        presenter.clear();
        start();
        typeAll(c.typed);
        click(kFolOk);
        if (c.focus == 0) {
            ASSERT_TRUE(finished());
            EXPECT_TRUE(presenter.empty());
            EXPECT_EQ(stored(), (std::vector<Folios>{c.typed}));
            continue;
        }
        ASSERT_EQ(presenter.count(), 1u);
        EXPECT_EQ(presenter.last().caption, "Folio en uso");
        EXPECT_NE(presenter.last().text.find(c.named), std::string::npos) << presenter.last().text;
        EXPECT_FALSE(done_) << "the form stays open";
        EXPECT_TRUE(form_->at(c.focus).hasFocus());
        EXPECT_EQ(stored(), (std::vector<Folios>{{1, 1, 1}})) << "nothing was written";
        presenter.answer(Answer::Yes);
        click(kFolCancel);
        ASSERT_TRUE(finished());
    }
}

// 0, a negative number and one wider than the entry's ten digits are no
// next folio: refused with a message, the focus on the entry, nothing
// written.
TEST_F(FoliosTest, RefusesZeroNegativeAndOverWideNumbers) {
    storeFolios({{1, 1, 1}});
    struct Case {
        Folios typed;
        int focus;
        const char* caption;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{0, 2, 3}, kFolEntradas, "Folio no válido", "entre 1 y 9,999,999,999"},
        {{1, 10000000000LL, 3}, kFolSalidas, "Folio no válido", "entre 1 y 9,999,999,999"},
        {{1, 2, -4}, kFolOrden, "Dato no válido", "negativos"},
        {{1, 2, 999999999999LL}, kFolOrden, "Dato no válido", "demasiado grande"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        presenter.clear();
        start();
        typeAll(c.typed);
        click(kFolOk);
        ASSERT_GE(presenter.count(), 1u);
        EXPECT_EQ(presenter.count(), 1u) << "said once";
        EXPECT_EQ(presenter.last().caption, c.caption);
        EXPECT_NE(presenter.last().text.find(c.says), std::string::npos) << presenter.last().text;
        EXPECT_FALSE(done_) << "the form stays open";
        EXPECT_TRUE(form_->at(c.focus).hasFocus());
        EXPECT_EQ(stored(), (std::vector<Folios>{{1, 1, 1}})) << "nothing was written";
        presenter.answer(Answer::Yes);
        click(kFolCancel);
        ASSERT_TRUE(finished());
    }
}

}  // namespace
}  // namespace tv::app
