// The order wizard driven as a user drives it (offscreen, real widgets):
// its pages, the calendar, the supplier, the three article selections, the
// picked lines edited in place, and the generation.
#include <functional>

#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>

#include "app/globals.h"
#include "movements/wizard/order_generation.h"
#include "movements/wizard/wizard.h"
#include "movements/wizard/wizard_controls.h"
#include "platform/types/date.h"
#include "platform/types/picture.h"
#include "platform/ui/dialogs.h"
#include "tests/movements/support/document_ui.h"
#include "tests/movements/support/harness.h"

namespace tv::movements::wizard {
namespace {

using data::TableId;
using tv::test::onThread;
using tv::test::runFor;
using tv::test::settle;
namespace W = wizard_ui;

Decimal Hundredths(long long h) { return Decimal::fromScaled(h, 2); }

class WizardUi : public movements::test::DocumentUi {
protected:
    void SetUp() override {
        DocumentUi::SetUp();
        insertRows(TableId::Unidades, {{{"UNI:UM", Value("PIEZA")}}});
        insertRows(TableId::Proveedores, {{{"PVD:Codigo", Value("PROV1")}, {"PVD:Nombre", Value("FERRETERA DEL NORTE")},
                                           {"PVD:Nombre2", Value("SUCURSAL CENTRO")}}});
        // 10 is below its minimum and its ideal, 20 below its ideal only, 30 below neither.
        insertRows(TableId::Articulo,
                   {{{"ART:NoArt", Value(10)}, {"ART:Descripcion", Value("TORNILLO 1/4")}, {"ART:UM", Value(1)},
                     {"ART:ExistenciaAnterior", Value(2)}, {"ART:StockMinimo", Value(10)},
                     {"ART:StockIdeal", Value(20)}, {"ART:Pedido", Value(3)}, {"ART:Recibido", Value(1)}},
                    {{"ART:NoArt", Value(20)}, {"ART:Descripcion", Value("TUERCA 1/4")}, {"ART:UM", Value(1)},
                     {"ART:ExistenciaAnterior", Value(15)}, {"ART:StockMinimo", Value(10)},
                     {"ART:StockIdeal", Value(20)}},
                    {{"ART:NoArt", Value(30)}, {"ART:Descripcion", Value("ARANDELA")}, {"ART:UM", Value(1)},
                     {"ART:ExistenciaAnterior", Value(50)}, {"ART:StockMinimo", Value(10)},
                     {"ART:StockIdeal", Value(20)}}});
        insertRows(TableId::Folios, {{{"FOL:ORDENCOMPRA", Value(7)}}});
    }

    ui::Window* wizard() const { return list_; }
    QTableWidget* list(int control) const { return wizard()->at(control).as<QTableWidget>(); }
    using DocumentUi::cells;
    using DocumentUi::enter;
    using DocumentUi::text;
    std::vector<std::string> cells(int control, int c) const { return cells(list(control), c); }
    std::string text(int control) const { return text(wizard(), control); }
    int page() const { return wizard()->at(W::kSheet).as<QTabWidget>()->currentIndex(); }
    bool enabled(int control) const { return !wizard()->at(control).disabled(); }
    void enter(int control, const QString& value) { enter(wizard(), control, value); }
    void next() { click(wizard(), W::kNext); }
    void back() { click(wizard(), W::kBack); }
    void choose(int radio) {
        auto* r = wizard()->at(radio).as<QRadioButton>();
        QTest::mouseClick(r, Qt::LeftButton, {}, QPoint(8, r->height() / 2));  // on its circle
        settle();
    }
    void selectRow(int control, int row) {
        QTableWidget* t = list(control);
        const QRect r = t->visualRect(t->model()->index(row, 0));
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, r.center());
        settle();
    }
    // The control that has the focus (a cell's spin box rather than its inner entry).
    QWidget* editor() const {
        QWidget* f = QApplication::focusWidget();
        for (QWidget* p = f; p != nullptr; p = p->parentWidget())
            if (qobject_cast<QDoubleSpinBox*>(p) != nullptr) return p;
        return f;
    }
    // Types into the cell being edited, then leaves it with `key`.
    void typeCell(const QString& value, Qt::Key key) {
        QWidget* e = editor();
        ASSERT_NE(e, nullptr);
        QTest::keyClicks(e, value);
        QTest::keyClick(e, key);
        settle();
    }
    // Goes from the first page to the third with selection `radio`.
    void toArticles(int radio) {
        next();
        choose(radio);
        next();
        ASSERT_EQ(page(), 2);
    }
    void add(int articleRow) {
        selectRow(W::kArticles, articleRow);
        click(wizard(), W::kAdd);
    }
    std::string shownDate(long day) const { return Picture::parse("d6")->format(Value(day)); }
    // The stored orders as "folio:total:supplier", and their lines as
    // "folio:article:quantity:cost".
    std::vector<std::string> orders() {
        std::vector<std::string> out;
        onThread([&] {
            data::TableGateway& g = data::tables().gateway(TableId::Ordenes);
            const data::TableDecl& d = g.declaration();
            g.SetPositionToStart(0);
            while (g.ReadNext() == data::kDone)
                out.push_back(g.BUFFER.number(d.fieldIndex("ORD:Folio")).toText() + ":" +
                              g.BUFFER.number(d.fieldIndex("ORD:TOTALARTICULO")).toText() + ":" +
                              std::string(rtrim(g.BUFFER.get(d.fieldIndex("ORD:Proveedor")).asText())));
        });
        return out;
    }
    std::vector<std::string> orderLines() {
        std::vector<std::string> out;
        onThread([&] {
            data::TableGateway& g = data::tables().gateway(TableId::DetOrdenes);
            const data::TableDecl& d = g.declaration();
            g.SetPositionToStart(0);
            while (g.ReadNext() == data::kDone)
                out.push_back(g.BUFFER.number(d.fieldIndex("DOR:ORDEN")).toText() + ":" +
                              g.BUFFER.number(d.fieldIndex("DOR:Articulo")).toText() + ":" +
                              g.BUFFER.number(d.fieldIndex("DOR:Cantidad")).toText() + ":" +
                              g.BUFFER.number(d.fieldIndex("DOR:Costo")).toText());
        });
        return out;
    }
    long long counter() {
        long long n = 0;
        onThread([&] { n = FolioCounter(data::tables(), kOrderFolio); });
        return n;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& s : presenter.shown()) out.push_back(s.box.text);
        return out;
    }
};

// From the first page to "Generar": the header with the calendar and the
// supplier, the selections, the suggested quantities, a line edited in
// place, a line removed, the order generated and the wizard closed.
TEST_F(WizardUi, AnOrderGeneratedThroughTheWizardsPages) {
    start(Asistente);
    ASSERT_NE(wizard(), nullptr);
    EXPECT_EQ(wizard()->caption(), QStringLiteral("Asistente para generar orden de compra"));
    EXPECT_EQ(page(), 0);
    EXPECT_FALSE(enabled(W::kBack));
    EXPECT_TRUE(enabled(W::kNext));
    EXPECT_TRUE(wizard()->at(W::kOk).hidden());
    // The folio is shown, never typed.
    EXPECT_EQ(text(W::kFolio), "7");
    EXPECT_TRUE(wizard()->at(W::kFolio).readOnly());
    EXPECT_TRUE(wizard()->at(W::kEntrega).readOnly());

    // The delivery date stays blank while the order date is.
    enter(W::kPlazo, QStringLiteral("10"));
    EXPECT_EQ(text(W::kEntrega), "");
    click(wizard(), W::kCalendar);
    QCalendarWidget* cal = nullptr;
    ASSERT_TRUE(runFor([&] {
        for (QWidget* d : ui::openDialogs())
            if (d->windowTitle() == QStringLiteral("Elija una fecha")) cal = d->findChild<QCalendarWidget*>();
        return cal != nullptr;
    }));
    cal->setSelectedDate(QDate(2024, 3, 20));
    emit cal->activated(QDate(2024, 3, 20));
    settle();
    const long day = dateFromYmd(2024, 3, 20);
    EXPECT_EQ(text(W::kFecha), shownDate(day));
    EXPECT_EQ(text(W::kEntrega), shownDate(day + 10));  // at once
    enter(W::kElabora, QStringLiteral("ANA LOPEZ"));
    enter(W::kProveedor, QStringLiteral("PROV1"));
    EXPECT_EQ(text(W::kNombre), "FERRETERA DEL NORTE");
    EXPECT_EQ(text(W::kNombre2), "SUCURSAL CENTRO");
    enter(W::kReferencia, QStringLiteral("R-9"));
    enter(W::kPrioridad, QStringLiteral("MEDIA"));
    EXPECT_TRUE(presenter.empty());

    // Below the minimum: 10 only; below the ideal: 10 and 20; every article.
    toArticles(W::kTipoMinimo);
    EXPECT_TRUE(enabled(W::kBack));
    EXPECT_EQ(cells(W::kArticles, 0), (std::vector<std::string>{"10"}));
    EXPECT_EQ(cells(W::kArticles, 2), (std::vector<std::string>{"PIEZA"}));
    EXPECT_EQ(cells(W::kArticles, 3), (std::vector<std::string>{"2.00"}));
    back();
    choose(W::kTipoIdeal);
    next();
    EXPECT_EQ(cells(W::kArticles, 0), (std::vector<std::string>{"10", "20"}));
    add(0);
    add(1);
    // The ideal less the stock less what is still expected (3 - 1), and 20 - 15.
    EXPECT_EQ(cells(W::kLines, 0), (std::vector<std::string>{"10", "20"}));
    EXPECT_EQ(cells(W::kLines, 1), (std::vector<std::string>{"TORNILLO 1/4", "TUERCA 1/4"}));
    EXPECT_EQ(cells(W::kLines, 2), (std::vector<std::string>{"16.00", "5.00"}));
    EXPECT_EQ(cells(W::kLines, 3), (std::vector<std::string>{"0.00", "0.00"}));
    EXPECT_EQ(text(W::kTotal), "0.00");
    add(1);
    EXPECT_EQ(texts(), (std::vector<std::string>{"El artículo ya está en la lista"}));
    EXPECT_EQ(cells(W::kLines, 0).size(), 2u);
    back();
    choose(W::kTipoTodos);
    next();
    EXPECT_EQ(cells(W::kArticles, 0), (std::vector<std::string>{"10", "20", "30"}));
    add(2);
    EXPECT_EQ(cells(W::kLines, 2), (std::vector<std::string>{"16.00", "5.00", "0.00"}));

    // In place: quantity 4, Tab, cost 2.50, Enter: the amount and the total follow.
    selectRow(W::kLines, 2);
    click(wizard(), W::kEdit);
    ASSERT_NE(qobject_cast<QDoubleSpinBox*>(editor()), nullptr);
    typeCell(QStringLiteral("4"), Qt::Key_Tab);
    ASSERT_NE(qobject_cast<QLineEdit*>(editor()), nullptr);
    typeCell(QStringLiteral("2.50"), Qt::Key_Return);
    EXPECT_EQ(cells(W::kLines, 2), (std::vector<std::string>{"16.00", "5.00", "4.00"}));
    EXPECT_EQ(cells(W::kLines, 3), (std::vector<std::string>{"0.00", "0.00", "2.50"}));
    EXPECT_EQ(cells(W::kLines, 4), (std::vector<std::string>{"0.00", "0.00", "10.00"}));
    EXPECT_EQ(text(W::kTotal), "10.00");
    // Esc abandons the row.
    selectRow(W::kLines, 0);
    click(wizard(), W::kEdit);
    typeCell(QStringLiteral("3"), Qt::Key_Tab);
    typeCell(QStringLiteral("9"), Qt::Key_Escape);
    EXPECT_EQ(cells(W::kLines, 2), (std::vector<std::string>{"16.00", "5.00", "4.00"}));
    EXPECT_EQ(cells(W::kLines, 3), (std::vector<std::string>{"0.00", "0.00", "2.50"}));
    EXPECT_TRUE(wizard()->isOpen());  // Esc in a cell does not close the window
    // A cost below zero is refused, the editor staying on it.
    selectRow(W::kLines, 0);
    click(wizard(), W::kEdit);
    QTest::keyClick(editor(), Qt::Key_Tab);
    settle();
    typeCell(QStringLiteral("-1"), Qt::Key_Return);
    EXPECT_EQ(presenter.last().caption, "Dato no válido");
    ASSERT_NE(qobject_cast<QLineEdit*>(editor()), nullptr);
    typeCell(QStringLiteral("1.25"), Qt::Key_Return);
    EXPECT_EQ(cells(W::kLines, 3), (std::vector<std::string>{"1.25", "0.00", "2.50"}));
    EXPECT_EQ(text(W::kTotal), "30.00");  // 16 x 1.25 + 10
    // Removing a line.
    selectRow(W::kLines, 1);
    click(wizard(), W::kRemove);
    EXPECT_EQ(cells(W::kLines, 0), (std::vector<std::string>{"10", "30"}));

    next();
    EXPECT_EQ(page(), 3);
    EXPECT_FALSE(enabled(W::kNext));
    presenter.clear();
    click(wizard(), W::kGenerate);
    ASSERT_TRUE(runFor([&] { return done_; }));
    EXPECT_EQ(texts(), (std::vector<std::string>{"Generación terminada"}));
    EXPECT_EQ(orders(), (std::vector<std::string>{"7:20:PROV1"}));
    EXPECT_EQ(orderLines(), (std::vector<std::string>{"7:10:16:" + Hundredths(125).toText(),
                                                      "7:30:4:" + Hundredths(250).toText()}));
    EXPECT_EQ(articleField(10, "ART:Pedido"), Decimal(19));
    EXPECT_EQ(articleField(30, "ART:Pedido"), Decimal(4));
    EXPECT_EQ(articleField(20, "ART:Pedido"), Decimal(0));
    EXPECT_EQ(counter(), 8);
}

// A line without quantity keeps the wizard open on its lines; "Agregar"
// with no article shown adds nothing; bad header input is refused.
TEST_F(WizardUi, BadInputIsRefusedAndNothingIsGeneratedFromIt) {
    start(Asistente);
    enter(W::kFecha, QStringLiteral("31/02/2024"));
    EXPECT_EQ(presenter.last().caption, "Dato no válido");
    EXPECT_TRUE(wizard()->at(W::kFecha).hasFocus());
    enter(W::kFecha, QStringLiteral("01/03/2024"));
    presenter.clear();

    // An unknown supplier opens the supplier list; cancelling it comes back to the code.
    enter(W::kProveedor, QStringLiteral("NADIE"));
    ui::Window* suppliers = formOn(thread_, wizard());
    ASSERT_NE(suppliers, nullptr);
    EXPECT_EQ(suppliers->caption(), QStringLiteral("Proveedores"));
    click(suppliers, app::kBrowseClose);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == wizard(); }));
    settle();
    EXPECT_TRUE(wizard()->at(W::kProveedor).hasFocus());
    EXPECT_EQ(text(W::kNombre), "");

    // Every stock is above the minimum of 30 only: with no article below its
    // ideal left, "Agregar" does nothing.
    onThread([] {
        data::TableGateway& g = data::tables().gateway(TableId::Articulo);
        const data::TableDecl& d = g.declaration();
        g.SetPositionToStart(0);
        while (g.ReadNext() == data::kDone) {
            g.BUFFER.set(d.fieldIndex("ART:ExistenciaAnterior"), Value(100));
            ASSERT_EQ(g.UpdateRecord(), data::kDone);
        }
    });
    toArticles(W::kTipoIdeal);
    EXPECT_TRUE(cells(W::kArticles, 0).empty());
    click(wizard(), W::kAdd);
    EXPECT_TRUE(cells(W::kLines, 0).empty());
    EXPECT_TRUE(presenter.empty());

    // "Todos los artículos" gives quantity 0: generating is refused, naming it.
    back();
    choose(W::kTipoTodos);
    next();
    add(2);
    next();
    click(wizard(), W::kGenerate);
    ASSERT_FALSE(presenter.empty());
    EXPECT_NE(presenter.last().text.find("El artículo 30 no tiene cantidad"), std::string::npos);
    EXPECT_TRUE(wizard()->isOpen());
    EXPECT_EQ(page(), 2);
    EXPECT_TRUE(orders().empty());
    EXPECT_EQ(counter(), 7);
    // Mended, it generates.
    selectRow(W::kLines, 0);
    click(wizard(), W::kEdit);
    typeCell(QStringLiteral("2"), Qt::Key_Return);
    EXPECT_EQ(cells(W::kLines, 2), (std::vector<std::string>{"2.00"}));
    next();
    // The code left after the supplier list was closed names no supplier:
    // no order is generated for it, and the code waits on the first page.
    presenter.clear();
    click(wizard(), W::kGenerate);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, kSupplierRefusedCaption);
    EXPECT_NE(presenter.last().text.find("NADIE"), std::string::npos) << presenter.last().text;
    EXPECT_TRUE(wizard()->isOpen());
    EXPECT_EQ(page(), 0);
    EXPECT_TRUE(wizard()->at(W::kProveedor).hasFocus());
    EXPECT_TRUE(orders().empty());
    EXPECT_EQ(counter(), 7);
    // A blank code stands.
    auto* code = wizard()->at(W::kProveedor).as<QLineEdit>();
    code->selectAll();
    QTest::keyClick(code, Qt::Key_Delete);
    QTest::keyClick(code, Qt::Key_Tab);
    settle();
    EXPECT_EQ(ui::Window::topOf(thread_), wizard());  // nothing to look up
    presenter.clear();
    for (int i = 0; i < 3; ++i) next();
    click(wizard(), W::kGenerate);
    ASSERT_TRUE(runFor([&] { return done_; }));
    EXPECT_EQ(orders(), (std::vector<std::string>{"7:2:"}));
}

// At its designed size every button shows its whole caption (icon beside
// it) and the lists of the third page show every column without scrolling.
TEST_F(WizardUi, AtItsDesignedSizeEveryCaptionAndColumnShows) {
    start(Asistente);
    int buttons = 0;
    for (QPushButton* b : wizard()->widget()->findChildren<QPushButton*>()) {
        QString caption = b->text();
        caption.remove(QLatin1Char('&'));
        if (b->isHidden() || caption.isEmpty()) continue;  // a look-up button shows its icon alone
        ++buttons;
        const int icon = b->icon().isNull() ? 0 : b->iconSize().width() + 4;
        EXPECT_LE(b->fontMetrics().horizontalAdvance(caption) + icon + 12, b->width()) << caption.toStdString();
    }
    EXPECT_GE(buttons, 7);
    toArticles(W::kTipoTodos);
    add(0);
    for (int l : {W::kArticles, W::kLines}) EXPECT_FALSE(list(l)->horizontalScrollBar()->isVisible()) << l;
    presenter.answer(Answer::Yes);
    click(wizard(), W::kCancel);
    ASSERT_TRUE(runFor([&] { return done_; }));
}

// Opening again on the same thread (as the order list does) starts with no
// line; one wizard per program; a generation that fails stores nothing,
// says why, and the wizard closes.
TEST_F(WizardUi, AFailedGenerationStoresNothingAndTheWizardOpensEmptyAgain) {
    start(+[] {
        Asistente();
        Asistente();
    });
    toArticles(W::kTipoMinimo);
    add(0);
    EXPECT_EQ(cells(W::kLines, 0), (std::vector<std::string>{"10"}));
    ui::Window* first = wizard();
    presenter.answer(Answer::Yes);
    click(first, W::kCancel);
    ASSERT_TRUE(runFor([&] {
        ui::Window* w = ui::Window::topOf(thread_);
        return w != nullptr && w != first && w->isOpen() && !w->hasEvents();
    }));
    list_ = ui::Window::topOf(thread_);
    settle();
    toArticles(W::kTipoMinimo);
    EXPECT_TRUE(cells(W::kLines, 0).empty());
    EXPECT_EQ(text(W::kTotal), "0.00");
    add(0);

    // A second start elsewhere brings this one to the front and opens nothing.
    bool secondDone = false;
    threads::start(
        [&] {
            Asistente();
            secondDone = true;
        },
        256 * 1024);
    ASSERT_TRUE(runFor([&] { return secondDone; }));
    EXPECT_EQ(cells(W::kLines, 0), (std::vector<std::string>{"10"}));

    next();
    {
        movements::test::InjectedFailure fail({"header", 0});
        click(wizard(), W::kGenerate);
        ASSERT_TRUE(runFor([&] { return done_; }));
        EXPECT_EQ(fail.hits(), 1);
    }
    ASSERT_FALSE(presenter.empty());
    EXPECT_NE(presenter.last().text, "Generación terminada");
    EXPECT_TRUE(orders().empty());
    EXPECT_TRUE(orderLines().empty());
    EXPECT_EQ(articleField(10, "ART:Pedido"), Decimal(3));
    EXPECT_EQ(counter(), 7);
}

// "&Cancelar", the close box and the program closing down leave a wizard
// with no line picked at once; with lines picked they ask first, and "No"
// keeps the wizard as it was.
TEST_F(WizardUi, LeavingWithLinesPickedAsksFirst) {
    start(+[] {
        Asistente();
        Asistente();
    });
    ui::Window* first = wizard();
    toArticles(W::kTipoMinimo);
    click(first, W::kCancel);
    ASSERT_TRUE(runFor([&] {
        ui::Window* w = ui::Window::topOf(thread_);
        return w != nullptr && w != first && w->isOpen() && !w->hasEvents();
    }));
    EXPECT_TRUE(presenter.empty()) << presenter.last().text;
    list_ = ui::Window::topOf(thread_);
    settle();

    enter(W::kElabora, QStringLiteral("ANA LOPEZ"));
    toArticles(W::kTipoIdeal);
    add(0);
    add(1);
    const std::vector<std::string> picked{"10", "20"};
    ASSERT_EQ(cells(W::kLines, 0), picked);
    const struct {
        const char* what;
        std::function<void()> leave;
    } ways[] = {
        {"Cancelar", [&] { click(wizard(), W::kCancel); }},
        {"the close box", [&] { wizard()->post({ui::EventKind::CloseWindow, 0}); }},
        {"the program closing", [&] { wizard()->post({ui::EventKind::CloseDown, 0}); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.what);
        presenter.clear();
        presenter.answer(Answer::No);
        way.leave();
        settle();
        ASSERT_EQ(presenter.count(), 1u);
        EXPECT_EQ(presenter.last().caption, "Cambios no seran Realizados!");
        EXPECT_EQ(presenter.last().text, "¿Desea Ud.cancelar?");
        EXPECT_FALSE(done_);
        EXPECT_TRUE(wizard()->isOpen());
        EXPECT_EQ(page(), 2);
        EXPECT_EQ(cells(W::kLines, 0), picked);
        EXPECT_EQ(wizard()->at(W::kElabora).text(), QStringLiteral("ANA LOPEZ"));
    }
    // "Yes": closed, nothing generated.
    presenter.clear();
    presenter.answer(Answer::Yes);
    wizard()->post({ui::EventKind::CloseDown, 0});
    ASSERT_TRUE(runFor([&] { return done_; }));
    EXPECT_EQ(presenter.count(), 1u);
    EXPECT_TRUE(orders().empty());
    EXPECT_EQ(counter(), 7);
}

// Up and Down go on in the row above or below, writing the row left; a
// click elsewhere writes the row too.
TEST_F(WizardUi, EditingInPlaceMovesBetweenRowsAndAClickElsewhereKeepsTheRow) {
    start(Asistente);
    toArticles(W::kTipoTodos);
    add(0);
    add(1);
    add(2);
    selectRow(W::kLines, 0);
    click(wizard(), W::kEdit);
    typeCell(QStringLiteral("1"), Qt::Key_Down);
    typeCell(QStringLiteral("2"), Qt::Key_Down);
    typeCell(QStringLiteral("3"), Qt::Key_Up);
    EXPECT_EQ(cells(W::kLines, 2), (std::vector<std::string>{"1.00", "2.00", "3.00"}));
    // Now on the second row's quantity: typed, then a click on "Agregar".
    ASSERT_NE(qobject_cast<QDoubleSpinBox*>(editor()), nullptr);
    QTest::keyClicks(editor(), QStringLiteral("8"));
    click(wizard(), W::kAdd);  // the article 30 chosen above is listed already
    EXPECT_EQ(cells(W::kLines, 2), (std::vector<std::string>{"1.00", "8.00", "3.00"}));
    EXPECT_EQ(presenter.last().text, "El artículo ya está en la lista");
    // Shift+Tab before the first cell ends the row too.
    selectRow(W::kLines, 2);
    click(wizard(), W::kEdit);
    typeCell(QStringLiteral("5"), Qt::Key_Backtab);
    EXPECT_EQ(cells(W::kLines, 2), (std::vector<std::string>{"1.00", "8.00", "5.00"}));
    EXPECT_NE(qobject_cast<QTableWidget*>(editor()), nullptr);
}

}  // namespace
}  // namespace tv::movements::wizard
