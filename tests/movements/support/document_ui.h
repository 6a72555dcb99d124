#pragma once
// What the document UI tests share: the catalogue fixture (a scratch
// database, a list procedure on a thread of its own) with the means to read
// the documents' lists and forms and to type into them as a user does.
// Header only: the UI tests link the windows, the harnesses do not.
#include <string>
#include <vector>

#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

#include "app/printout/document_printout.h"
#include "platform/ini/ini_store.h"
#include "tests/catalog/catalogue_fixture.h"

namespace tv::movements::test {

class DocumentUi : public catalog::test_support::CatalogueFixture {
protected:
    void SetUp() override {
        CatalogueFixture::SetUp();
        app::SetPrintoutPlacementStore(&ini);
    }
    void TearDown() override {
        app::SetPrintoutPlacementStore(nullptr);
        CatalogueFixture::TearDown();
    }

    QTableWidget* grid(ui::Window* w, int control) const { return w->at(control).as<QTableWidget>(); }
    // A column of a list, as shown.
    std::vector<std::string> cells(QTableWidget* t, int c) const {
        std::vector<std::string> out;
        for (int i = 0; i < t->rowCount(); ++i)
            if (t->item(i, c) != nullptr) out.push_back(t->item(i, c)->text().trimmed().toStdString());
        return out;
    }
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
    // Waits until `w` is the top window of the list's thread again.
    void backTo(ui::Window* w) {
        ASSERT_TRUE(tv::test::runFor([&] { return ui::Window::topOf(thread_) == w; }));
        tv::test::settle();
    }
    long long count(data::TableId t) {
        return static_cast<long long>(stored(t, data::decl(t).layout->field(0).name).size());
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

    IniStore ini{dir.file("talvor.INI")};
};

}  // namespace tv::movements::test
