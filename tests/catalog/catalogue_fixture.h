#pragma once
// What the catalogue UI tests share: a scratch database, a scripted
// presenter, a list procedure run on a logical thread of its own, and the
// means to drive its window and the forms it opens as a user does.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "app/browse/browse_controller.h"
#include "app/globals.h"
#include "catalog/catalogue.h"
#include "data/thread_table_set.h"
#include "platform/errors/scripted_presenter.h"
#include "platform/storage/storage.h"
#include "platform/threads/logical_thread.h"
#include "platform/types/text.h"
#include "platform/ui/window.h"
#include "tests/support/fiber_helpers.h"
#include "tests/support/scratch_dir.h"

namespace tv::catalog::test_support {

using test::onThread;
using test::runFor;
using test::settle;

class CatalogueFixture : public ::testing::Test {
protected:
    void SetUp() override {
        storage::setDatabasePath(dir.file("talvor.db"));
        ErrorReporter::instance().setUp();
        scope_.emplace(presenter);
    }
    void TearDown() override {
        if (thread_ != 0 && !done_) {
            if (ui::Window* w = ui::Window::topOf(thread_)) w->post({ui::EventKind::CloseWindow, 0});
            if (ui::Window* w = list_) w->post({ui::EventKind::CloseWindow, 0});
        }
        if (thread_ != 0) {
            EXPECT_TRUE(runFor([this] { return done_; })) << "the list's thread ended";
        }
        app::globals().RunningProcedures.clear();
        scope_.reset();
        storage::setDatabasePath("talvor.db");
    }

    // Stores one record per value set: {field, value} pairs over a prepared
    // record (auto-numbered keys numbered). Returns the first field of each.
    std::vector<long long> insertRows(data::TableId t,
                                      const std::vector<std::vector<std::pair<std::string, Value>>>& rows) {
        std::vector<long long> codes;
        onThread([&] {
            data::TableGateway& g = data::tables().gateway(t);
            for (const auto& row : rows) {
                EXPECT_EQ(g.PrepareNewRecord(), data::kDone);
                for (const auto& [field, value] : row) g.BUFFER.set(data::decl(t).fieldIndex(field), value);
                EXPECT_EQ(g.InsertRecord(), data::kDone);
                codes.push_back(g.BUFFER.get(0).asNumber().toInt64());
            }
        });
        return codes;
    }
    std::vector<long long> seed(data::TableId t, const std::string& field, const std::vector<std::string>& names) {
        std::vector<std::vector<std::pair<std::string, Value>>> rows;
        for (const std::string& n : names) rows.push_back({{field, Value(n)}});
        return insertRows(t, rows);
    }
    // Every stored record as "<first field> <field>", in record order.
    std::vector<std::string> stored(data::TableId t, const std::string& field) {
        std::vector<std::string> out;
        onThread([&] {
            data::TableGateway& g = data::tables().gateway(t);
            g.SetPositionToStart(0);
            while (g.ReadNext() == data::kDone)
                out.push_back(std::to_string(g.BUFFER.get(0).asNumber().toInt64()) + " " +
                              std::string(rtrim(g.BUFFER.get(data::decl(t).fieldIndex(field)).asText())));
        });
        return out;
    }

    // Runs a list procedure on a thread of its own and waits for its window.
    void start(void (*procedure)()) {
        done_ = false;
        thread_ = threads::start(
            [this, procedure] {
                procedure();
                done_ = true;
            },
            512 * 1024);
        ASSERT_TRUE(runFor([this] {
            ui::Window* w = ui::Window::topOf(thread_);
            return done_ || (w != nullptr && w->isOpen() && !w->hasEvents());
        }));
        list_ = ui::Window::topOf(thread_);
        settle();
    }
    void closeList() {
        click(list_, app::kBrowseClose);
        ASSERT_TRUE(runFor([this] { return done_; }));
    }
    QTableWidget* table() const { return list_->at(app::kBrowseList).as<QTableWidget>(); }
    std::vector<std::string> column(int c) const {
        std::vector<std::string> out;
        for (int i = 0; i < table()->rowCount(); ++i) out.push_back(table()->item(i, c)->text().toStdString());
        return out;
    }
    std::string selected(int c = 1) const {
        const int row = table()->currentRow();
        return row < 0 ? std::string("<none>") : table()->item(row, c)->text().toStdString();
    }
    void click(ui::Window* w, int control) {
        auto* b = w->at(control).as<QPushButton>();
        ASSERT_NE(b, nullptr);
        QTest::mouseClick(b, Qt::LeftButton);
        settle();
    }
    void chooseTab(int index) {
        list_->at(app::kBrowseSheet).as<QTabWidget>()->setCurrentIndex(index);
        settle();
    }
    void clickHeader(int column) {
        QHeaderView* h = table()->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(column) + 5, h->height() / 2));
        settle();
    }
    bool enabled(int control) const { return !list_->at(control).disabled(); }
    // The form open on `thread` over `under` (waits for it); nullptr when none.
    ui::Window* formOn(threads::ThreadNo thread, ui::Window* under) {
        runFor([&] {
            ui::Window* w = ui::Window::topOf(thread);
            return w != nullptr && w != under && w->isOpen() && !w->hasEvents();
        });
        settle();
        ui::Window* w = ui::Window::topOf(thread);
        return w != under ? w : nullptr;
    }
    ui::Window* form() { return formOn(thread_, list_); }
    bool formOpen() const {
        ui::Window* w = ui::Window::topOf(thread_);
        return w != nullptr && w != list_;
    }
    void type(ui::Window* f, int control, const QString& text) {
        auto* e = f->at(control).as<QLineEdit>();
        ASSERT_NE(e, nullptr);
        e->setFocus();
        e->selectAll();
        if (text.isEmpty())
            QTest::keyClick(e, Qt::Key_Delete);
        else
            QTest::keyClicks(e, text);
        settle();
    }
    std::vector<int> shownNumbers() const {
        std::vector<int> v;
        for (const auto& s : presenter.shown()) v.push_back(messageNumber(s.box));
        return v;
    }

    test::ScratchDir dir;
    test::WorkingDir wd{dir.path()};
    ScriptedPresenter presenter;
    threads::ThreadNo thread_ = 0;
    bool done_ = true;
    ui::Window* list_ = nullptr;

private:
    std::optional<ScopedPresenter> scope_;
};

}  // namespace tv::catalog::test_support
