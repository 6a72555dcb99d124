// Every list window the program registers, opened as the frame opens it
// over a database with a record in every table: at its designed size and
// grown, on every tab, each list shows every column whole (inside the list,
// its heading, every line of it, and what its row holds); so does the window
// each list views its record in ("&Ver", with the lists a form holds) and
// the find window. Over a database without records each list shows its
// headings whole and no row at all.
// Inside a frame, the mouse over each list or button shows its tip in the
// frame's status bar. The windows are found by name, so a list added later
// is checked too.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include "app/frame/procedures.h"
#include "app/globals.h"
#include "app/registered_modules.h"
#include "data/thread_table_set.h"
#include "platform/threads/logical_thread.h"
#include "platform/types/date.h"
#include "platform/ui/list_columns.h"
#include "platform/ui/window.h"
#include "tests/catalog/catalogue_fixture.h"
#include "tests/support/fiber_helpers.h"
#include "tests/support/frame_area.h"

namespace tv::app {
namespace {

using data::TableId;
using test::onThread;
using test::runFor;
using test::settle;

// What a user typically keys into a text field: twelve capitals (all of a
// shorter field), so every text column must show that much.
constexpr const char* kTypedText = "TORNILLO HEXAGONAL";
constexpr int kTypedLength = 12;

// One record in every table, every number 1 (so every code links to the
// record of its table: a line to its document, an article to its unit),
// every date the same day, every text the typed text.
void seedEveryTable() {
    onThread([] {
        for (int t = 0; t < data::kTableCount; ++t) {
            const auto id = static_cast<TableId>(t);
            const data::TableDecl& d = data::decl(id);
            if (d.threadPrivate || d.aliasOf.has_value()) continue;
            data::TableGateway& g = data::tables().gateway(id);
            ASSERT_EQ(g.PrepareNewRecord(), data::kDone) << d.label;
            for (int f = 0; f < d.layout->fieldCount(); ++f) {
                const FieldSpec& s = d.layout->field(f);
                switch (s.type) {
                    case FieldType::String:
                        g.BUFFER.set(f, Value(std::string(kTypedText).substr(0, std::min(s.size, kTypedLength))));
                        break;
                    case FieldType::Memo: break;
                    case FieldType::Date: g.BUFFER.set(f, Value(static_cast<long long>(dateFromYmd(2024, 12, 28)))); break;
                    default: g.BUFFER.set(f, Value(1)); break;
                }
            }
            ASSERT_EQ(g.InsertRecord(), data::kDone) << d.label;
        }
    });
}

bool isListWindowProcedure(const std::string& name) {
    // Forms are reached through their lists; reports print rather than show.
    for (const char* other : {"Update", "Impresion", "Imprimir", "Reporte"})
        if (name.rfind(other, 0) == 0) return false;
    return true;
}

class ListWindows : public catalog::test_support::CatalogueFixture {
protected:
    void SetUp() override {
        CatalogueFixture::SetUp();
        RegisterModuleProcedures();
    }

    // Every visible list of `w` on every tab, at its present size.
    void expectColumnsWhole(ui::Window& w, const QString& where) {
        std::vector<QTabWidget*> sheets;
        for (const ui::Control* c : w.controls())
            if (auto* s = c->as<QTabWidget>()) sheets.push_back(s);
        auto check = [&](const QString& tab) {
            for (const ui::Control* c : w.controls()) {
                const auto* t = c->as<QTableView>();
                if (t == nullptr || !t->isVisible()) continue;
                ++listsChecked;
                for (const QString& f : ui::columnFaults(*t))
                    ADD_FAILURE() << qPrintable(where) << " \"" << qPrintable(w.caption()) << "\" " << qPrintable(tab)
                                  << " " << c->name() << ": " << qPrintable(f);
            }
        };
        check(QString());
        for (QTabWidget* s : sheets) {
            const int was = s->currentIndex();
            for (int i = 0; i < s->count(); ++i) {
                s->setCurrentIndex(i);
                settle();
                check(QStringLiteral("tab \"") + s->tabText(i) + QStringLiteral("\""));
            }
            s->setCurrentIndex(was);
            settle();
        }
    }

    // At the designed size, then grown by a quarter each way.
    void expectWholeAtSizes(ui::Window& w, const QString& where) {
        expectColumnsWhole(w, where + QStringLiteral(" at its designed size"));
        w.topWidget()->resize(w.designedSize() * 5 / 4);
        settle();
        expectColumnsWhole(w, where + QStringLiteral(" grown"));
        w.topWidget()->resize(w.designedSize());
        settle();
    }

    // The list's "&Ver": the record's window, checked and closed.
    void expectViewedWhole(threads::ThreadNo thread, ui::Window& list, const std::string& name) {
        for (const ui::Control* c : list.controls()) {
            auto* b = c->as<QPushButton>();
            if (b == nullptr || c->text() != QStringLiteral("&Ver") || c->hidden() || c->disabled()) continue;
            QTest::mouseClick(b, Qt::LeftButton);
            ui::Window* form = formOn(thread, &list);
            ASSERT_NE(form, nullptr) << name << ": \"&Ver\" opened nothing";
            expectWholeAtSizes(*form, QString::fromStdString(name + " viewing"));
            form->post({ui::EventKind::CloseWindow, 0});
            ASSERT_EQ(formOn(thread, form), &list) << name;
        }
    }

    // F3 on the window's first list: the find window with its columns.
    void expectFindWhole(threads::ThreadNo thread, ui::Window& list, const std::string& name) {
        for (const ui::Control* c : list.controls()) {
            auto* t = c->as<QTableView>();
            if (t == nullptr || !t->isVisible()) continue;
            t->setFocus();
            QTest::keyClick(t, Qt::Key_F3);
            ui::Window* find = formOn(thread, &list);
            if (find == nullptr) return;  // a list without find
            expectColumnsWhole(*find, QString::fromStdString(name + " find"));
            find->post({ui::EventKind::CloseWindow, 0});
            ASSERT_EQ(formOn(thread, find), &list) << name;
            return;
        }
    }

    // Runs `check` on the window of every list procedure, then closes it;
    // gives back the names of those that showed a list.
    std::vector<std::string> forEachListWindow(const std::function<void(threads::ThreadNo, ui::Window&, const std::string&)>& check) {
        std::vector<std::string> opened;
        for (const std::string& name : RegisteredProcedures()) {
            if (!isListWindowProcedure(name)) continue;
            bool done = false;
            const threads::ThreadNo thread = threads::start(
                [&] {
                    FindProcedure(name)();
                    done = true;
                },
                512 * 1024);
            if (ui::Window* w = formOn(thread, nullptr)) {
                const bool hasList = std::any_of(w->controls().begin(), w->controls().end(),
                                                 [](const ui::Control* c) { return c->as<QTableView>() != nullptr; });
                if (hasList) {
                    opened.push_back(name);
                    check(thread, *w, name);
                }
                if (ui::Window* top = ui::Window::topOf(thread)) top->post({ui::EventKind::CloseWindow, 0});
            }
            EXPECT_TRUE(runFor([&] { return done; })) << name << " did not close";
            globals().RunningProcedures.clear();
        }
        return opened;
    }

    int listsChecked = 0;
};

TEST_F(ListWindows, EveryColumnShowsWholeAtTheDesignedSizeAndGrown) {
    seedEveryTable();
    const std::vector<std::string> opened =
        forEachListWindow([this](threads::ThreadNo thread, ui::Window& w, const std::string& name) {
            expectWholeAtSizes(w, QString::fromStdString(name));
            expectViewedWhole(thread, w, name);
            expectFindWhole(thread, w, name);
        });
    // The lists of every part are among them.
    for (const char* name : {"BrowseArticulo", "BrowseProveedores", "BrowseEntradas", "BrowseSalidas",
                             "BrowseOrdenes", "BrowseFisico", "BrowseConsultaExistencias", "Asistente"})
        EXPECT_NE(std::find(opened.begin(), opened.end(), name), opened.end()) << name;
}

TEST_F(ListWindows, TheMouseOverAListOrAButtonShowsItsTipInTheFramesStatusBar) {
    seedEveryTable();
    test::FrameArea area(QSize(1240, 700));
    QMainWindow& frame = area.main;
    int shown = 0;
    const std::vector<std::string> opened =
        forEachListWindow([&](threads::ThreadNo, ui::Window& w, const std::string& name) {
            w.topWidget()->move(0, 0);  // whole inside the frame, wherever it opened
            settle();
            for (const ui::Control* c : w.controls()) {
                const bool button = c->as<QPushButton>() != nullptr;
                // A disabled button takes no mouse, so it shows nothing.
                if ((!button && c->as<QTableView>() == nullptr) || c->hidden() || c->disabled() || c->tip().isEmpty())
                    continue;
                // From outside the window, so the mouse enters the control.
                QTest::mouseMove(frame.statusBar(), frame.statusBar()->rect().center());
                settle();
                frame.statusBar()->clearMessage();
                QTest::mouseMove(c->widget(), c->widget()->rect().center());
                settle();
                EXPECT_EQ(frame.statusBar()->currentMessage().toStdString(), c->tip().toStdString())
                    << name << " " << c->name() << " \"" << qPrintable(c->text()) << "\"";
                ++shown;
            }
        });
    EXPECT_GT(shown, 0);
    for (const char* name : {"BrowseEntradas", "BrowseSalidas", "BrowseOrdenes", "BrowseFisico"})
        EXPECT_NE(std::find(opened.begin(), opened.end(), name), opened.end()) << name;
}

// Over a database without records: every list shows its headings whole
// and no row at all, none selected, at the designed size and grown.
TEST_F(ListWindows, WithoutRecordsEveryListShowsItsHeadingsWholeAndNoRow) {
    const std::vector<std::string> opened =
        forEachListWindow([this](threads::ThreadNo, ui::Window& w, const std::string& name) {
            expectWholeAtSizes(w, QString::fromStdString(name) + QStringLiteral(" without records"));
            for (const ui::Control* c : w.controls())
                if (const auto* t = c->as<QTableView>()) {
                    EXPECT_EQ(t->model()->rowCount(), 0) << name << " " << c->name();
                    EXPECT_FALSE(t->selectionModel()->hasSelection()) << name << " " << c->name();
                }
        });
    for (const char* name : {"BrowseEntradas", "BrowseSalidas", "BrowseOrdenes", "BrowseFisico", "BrowseProveedores"})
        EXPECT_NE(std::find(opened.begin(), opened.end(), name), opened.end()) << name;
}

}  // namespace
}  // namespace tv::app
