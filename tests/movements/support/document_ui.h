#pragma once
// What the document UI tests share (header only): reading the lists' cells
// and the forms' texts, typing into an entry or a combo as a user does, the
// find window of a list, and the stored totals of an article.
#include <string>
#include <vector>

#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

#include "platform/ui/list_columns.h"
#include "tests/catalog/catalogue_fixture.h"

namespace tv::movements::test {

class DocumentUi : public catalog::test_support::CatalogueFixture {
protected:
    QTableWidget* lines(ui::Window* w, int control) const { return w->at(control).as<QTableWidget>(); }
    std::vector<std::string> cells(QTableWidget* t, int c) const {
        std::vector<std::string> out;
        for (int i = 0; i < t->rowCount(); ++i)
            if (t->item(i, c) != nullptr) out.push_back(t->item(i, c)->text().trimmed().toStdString());
        return out;
    }
    // Every column of a list shows whole at its window's size: inside the
    // list, its heading and its rows' short texts not cut (every list
    // window is checked so in tests/app/lists).
    static bool allColumnsShow(QTableWidget* t) { return ui::columnFaults(*t).empty(); }
    std::string text(ui::Window* w, int control) const { return w->at(control).text().trimmed().toStdString(); }
    // Types into an entry or a combo's text, then leaves it with Tab.
    void enter(ui::Window* w, int control, const QString& value) {
        ui::Control& c = w->at(control);
        c.focus();
        ASSERT_TRUE(tv::test::runFor([&] { return c.hasFocus(); }));
        QWidget* target = c.widget();
        if (auto* e = c.as<QLineEdit>()) e->selectAll();
        if (auto* cb = c.as<QComboBox>(); cb != nullptr && cb->lineEdit() != nullptr) {
            cb->lineEdit()->selectAll();
            target = cb->lineEdit();
        }
        QTest::keyClicks(target, value);
        QTest::keyClick(target, Qt::Key_Tab);
        tv::test::settle();
    }
    // F3 (or F4, the find filter) in a list: the find window, once it is
    // open (nullptr: it did not open).
    ui::Window* openFind(QTableWidget* list, Qt::Key key = Qt::Key_F3) {
        QTest::keyClick(list, key);
        ui::Window* find = nullptr;
        tv::test::runFor([&] {
            for (ui::Window* o : ui::Window::openWindows())
                if (o->caption() == QStringLiteral("Buscar:") && o->isOpen()) find = o;
            return find != nullptr;
        });
        tv::test::settle();
        return find;
    }
    // Every stored record of `t` (a walk by key 0 would skip the records an
    // optional key leaves out, such as lines without a bar code).
    long long count(data::TableId t) {
        long long n = -1;
        tv::test::onThread([&] { n = data::tables().gateway(t).RecordCount(); });
        return n;
    }
    Decimal articleField(long long noArt, const char* field) {
        Decimal v;
        tv::test::onThread([&] {
            data::TableGateway& g = data::tables().gateway(data::TableId::Articulo);
            g.BUFFER.clear();
            g.BUFFER.set(g.declaration().fieldIndex("ART:NoArt"), Value(noArt));
            ASSERT_EQ(g.ReadByKey("ART:KeyNoArt"), data::kDone);
            v = g.BUFFER.number(g.declaration().fieldIndex(field));
        });
        return v;
    }
};

}  // namespace tv::movements::test
