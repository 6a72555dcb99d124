// The count windows driven as a user drives them (offscreen, real widgets):
// a count entered through the list with lines by number and by bar code,
// its sheet saved as PDF, the adjustment run from the list with its progress
// window (repainted while no other logical thread runs), the article form
// showing the new stock, and the forms' refusals, cancels and view mode.
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "app/browse/vs_find.h"
#include "app/printout/document_printout.h"
#include "catalog/articles/article_form.h"
#include "movements/common/document_line_controls.h"
#include "movements/common/unit_of_work.h"
#include "movements/counts/count_adjustment.h"
#include "movements/counts/count_controls.h"
#include "movements/counts/counts.h"
#include "platform/ini/ini_store.h"
#include "platform/threads/thread_state.h"
#include "platform/types/date.h"
#include "tests/app/printout/printout_driver.h"
#include "tests/movements/counts/count_fixture.h"
#include "tests/movements/support/document_ui.h"
#include "tests/movements/support/harness.h"

namespace tv::movements::counts {
namespace {

using data::TableId;
using test::D;
using tv::test::onThread;
using tv::test::runFor;
using tv::test::settle;
namespace pt = tv::test;  // the printout driver
namespace L = list_ui;
namespace F = form_ui;
namespace R = movements::line_ui;
namespace RC = count_line_ui;
namespace A = adjust_ui;

class CountUi : public movements::test::DocumentUi {
protected:
    void SetUp() override {
        DocumentUi::SetUp();
        app::SetPrintoutPlacementStore(&ini);
        insertRows(TableId::Unidades, {{{"UNI:UM", Value("PIEZA")}}, {{"UNI:UM", Value("CAJA")}}});
        insertRows(TableId::Articulo,
                   {{{"ART:NoArt", Value(10)}, {"ART:Descripcion", Value("TORNILLO 1/4")}, {"ART:UM", Value(1)},
                     {"ART:CodigoBarras", Value("750100")}, {"ART:ExistenciaAnterior", Value(4)},
                     {"ART:COSTOPROMEDIO", Value(D(250))}},
                    {{"ART:NoArt", Value(20)}, {"ART:Descripcion", Value("TUERCA 1/4")}, {"ART:UM", Value(2)},
                     {"ART:CodigoBarras", Value("750200")}, {"ART:ExistenciaAnterior", Value(9)}},
                    {{"ART:NoArt", Value(30)}, {"ART:Descripcion", Value("RONDANA")}, {"ART:UM", Value(1)}}});
    }
    void TearDown() override {
        SetPostingProbe({});
        app::SetPrintoutPlacementStore(nullptr);
        DocumentUi::TearDown();
    }

    ui::Window* countForm() { return formOn(thread_, list_); }
    ui::Window* over(ui::Window* w) { return formOn(thread_, w); }
    // Waits until `w` is the top window of the list's thread again.
    void backTo(ui::Window* w) {
        ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == w; }));
        settle();
    }
    void store(const test::CountSeed& c) { onThread([&] { test::StoreCount(data::tables(), c); }); }
    // The article form, opened to look at an article, and what it shows as stock.
    std::string stockShownFor(long long noArt) {
        bool ended = false;
        const threads::ThreadNo t = threads::start(
            [&] {
                data::TableGateway& g = data::tables().gateway(TableId::Articulo);
                g.BUFFER.clear();
                g.BUFFER.set(g.declaration().fieldIndex("ART:NoArt"), Value(noArt));
                g.ReadByKey("ART:KeyNoArt");
                threadState().callRequest = kView;
                catalog::UpdateArticulo();
                ended = true;
            },
            512 * 1024);
        std::string shown = "<no form>";
        if (runFor([&] { return ui::Window::topOf(t) != nullptr && ui::Window::topOf(t)->isOpen(); })) {
            settle();
            ui::Window* f = ui::Window::topOf(t);
            shown = f->at(catalog::article_form::kExistencia).text().trimmed().toStdString();
            f->post({ui::EventKind::CloseWindow, 0});
        }
        EXPECT_TRUE(runFor([&] { return ended; }));
        return shown;
    }
    // "Ac&tualizar el inventario": the adjustment window over the list.
    ui::Window* openAdjustment() {
        click(list_, L::kAdjust);
        ui::Window* a = over(list_);
        if (a != nullptr) {
            EXPECT_EQ(a->caption(), QStringLiteral("Actualizar inventario"));
        }
        return a;
    }

    IniStore ini{dir.file("talvor.INI")};
};

TEST_F(CountUi, ACountEnteredThroughTheListWithLinesByNumberAndByBarcode) {
    start(BrowseFisico);
    EXPECT_EQ(list_->caption(), QString::fromUtf8("Inventarios físicos"));
    click(list_, L::kInsert);
    ui::Window* f = countForm();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->caption(), QStringLiteral("Altas"));
    enter(f, F::kFecha, QStringLiteral("15/03/2024"));
    enter(f, F::kDescripcion, QStringLiteral("CONTEO DE MARZO"));

    // By number: the article's data and bar code come with it.
    click(f, F::kLineInsert);
    ui::Window* l = over(f);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->caption(), QStringLiteral("Altas"));
    enter(l, R::kCodigo, QStringLiteral("10"));
    EXPECT_EQ(text(l, R::kDescripcion), "TORNILLO 1/4");
    EXPECT_EQ(text(l, R::kUm), "PIEZA");
    EXPECT_EQ(text(l, R::kBarras), "750100");
    enter(l, R::kCantidad, QStringLiteral("12.50"));
    enter(l, RC::kReferencia, QStringLiteral("ANAQUEL 1"));
    click(l, R::kOk);
    backTo(f);
    // By bar code: the number follows and the focus goes to the quantity.
    click(f, F::kLineInsert);
    l = over(f);
    ASSERT_NE(l, nullptr);
    enter(l, R::kBarras, QStringLiteral("750200"));
    EXPECT_EQ(text(l, R::kCodigo), "20");
    EXPECT_EQ(text(l, R::kDescripcion), "TUERCA 1/4");
    EXPECT_TRUE(l->at(R::kCantidad).hasFocus());
    enter(l, R::kCantidad, QStringLiteral("3"));
    click(l, R::kOk);
    backTo(f);
    EXPECT_EQ(cells(lines(f, F::kLines), 0), (std::vector<std::string>{"10", "20"}));
    EXPECT_EQ(cells(lines(f, F::kLines), 2), (std::vector<std::string>{"PIEZA", "CAJA"}));
    EXPECT_EQ(cells(lines(f, F::kLines), 4), (std::vector<std::string>{"12.50", "3.00"}));
    EXPECT_FALSE(lines(f, F::kLines)->horizontalScrollBar()->isVisible());  // every column fits
    click(f, F::kOk);
    backTo(list_);
    EXPECT_TRUE(presenter.empty()) << presenter.last().text;

    EXPECT_EQ(cells(table(), 1), (std::vector<std::string>{"CONTEO DE MARZO"}));
    EXPECT_EQ(cells(lines(list_, L::kLinesList), 1), (std::vector<std::string>{"TORNILLO 1/4", "TUERCA 1/4"}));
    EXPECT_EQ(cells(lines(list_, L::kLinesList), 3), (std::vector<std::string>{"ANAQUEL 1", ""}));
    EXPECT_EQ(stored(TableId::Fisico, "FIS:Descripcion"), (std::vector<std::string>{"1 CONTEO DE MARZO"}));
    EXPECT_EQ(stored(TableId::DetFisico, "DFI:CODIGOBARRAS"), (std::vector<std::string>{"1 750100", "2 750200"}));
    // Recording a count changes no stock.
    EXPECT_EQ(count(TableId::Kardex), 0);
    EXPECT_EQ(articleField(10, "ART:Entradas"), Decimal(0));
    closeList();
}

// The sheet of the selected count, saved as PDF: its lines by article
// number, under the count's description and date.
TEST_F(CountUi, TheCountSheetSavedAsPdf) {
    store({.id = 1, .date = dateFromYmd(2024, 3, 15), .description = "CONTEO ANUAL",
           .lines = {{30, Decimal(7), "PASILLO C"}, {10, D(1250), "PASILLO A"}, {20, Decimal(3), "PASILLO B"}}});
    store({.id = 2, .description = "SIN LINEAS"});
    start(BrowseFisico);
    EXPECT_EQ(cells(table(), 1), (std::vector<std::string>{"CONTEO ANUAL", "SIN LINEAS"}));
    // A count without lines cannot be printed.
    table()->setCurrentCell(1, 0);
    settle();
    EXPECT_EQ(lines(list_, L::kLinesList)->rowCount(), 0);
    EXPECT_TRUE(list_->at(L::kPrint).disabled());
    table()->setCurrentCell(0, 0);
    settle();
    ASSERT_EQ(lines(list_, L::kLinesList)->rowCount(), 3);
    lines(list_, L::kLinesList)->setCurrentCell(2, 0);  // any line: the whole count prints
    settle();
    ASSERT_FALSE(list_->at(L::kPrint).disabled());
    click(list_, L::kPrint);
    ASSERT_TRUE(pt::cancelPrinterChoice());
    report::PreviewWindowController* preview = pt::waitForPreview();
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(pt::saveFromPreview(*preview, pt::kPdfWriter, dir.file("conteo1")));
    settle();
    ASSERT_TRUE(std::filesystem::exists(dir.file("conteo1.PDF")));
    const std::string pdf = pt::pdfText(dir.file("conteo1.PDF"));
    if (!pdf.empty()) {
        for (const char* shown : {"Inventario físico", "CONTEO ANUAL", "15/03/2024", "No Art", "Existencia",
                                  "TORNILLO 1/4", "PIEZA", "12.50", "PASILLO A", "CAJA"})
            EXPECT_NE(pdf.find(shown), std::string::npos) << shown << "\n" << pdf;
        const std::size_t a = pdf.find("TORNILLO"), b = pdf.find("TUERCA"), c = pdf.find("RONDANA");
        EXPECT_TRUE(a < b && b < c) << pdf;
    }
    EXPECT_EQ(ui::Window::topOf(thread_), list_);
    closeList();
}

// "Ac&tualizar el inventario" opens the adjustment of the selected count;
// "&Cancelar" changes nothing, "&Aceptar" applies it with its progress bar
// drawn while no other logical thread runs; the article form then shows the
// new stock, and a line whose article was deleted is named at the end.
TEST_F(CountUi, TheAdjustmentRunFromTheListWithItsProgressWindow) {
    store({.id = 1, .date = dateFromYmd(2024, 3, 15), .description = "CONTEO",
           .lines = {{10, D(1250)}, {20, Decimal(3)}, {77, Decimal(1)}, {30, Decimal(0)}}});
    start(BrowseFisico);
    ASSERT_EQ(lines(list_, L::kLinesList)->rowCount(), 4);

    ui::Window* a = openAdjustment();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(text(a, A::kPrompt), "Presione Aceptar para realizar la actualización");
    click(a, A::kCancel);
    backTo(list_);
    EXPECT_EQ(count(TableId::Kardex), 0);

    // Another logical thread that runs whenever the main loop gets the turn.
    bool stop = false;
    long long turns = 0;
    const threads::ThreadNo other = threads::start(
        [&] {
            while (!stop) {
                threads::suspend();
                ++turns;
            }
        },
        256 * 1024);
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [other] { threads::wake(other); });
    tick.start();
    // The bar's paints, and the other thread's turns, while the unit runs.
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++paints;
            return false;
        }
    } painted;
    long long turnsAtBegin = -1, turnsAtCommit = -1;
    int paintsAtBegin = -1, paintsAtCommit = -1, barAtCommit = -1;
    a = openAdjustment();
    ASSERT_NE(a, nullptr);
    auto* bar = a->at(A::kProgress).as<QProgressBar>();
    ASSERT_NE(bar, nullptr);
    bar->installEventFilter(&painted);
    SetPostingProbe([&](std::string_view step, long long) {
        if (step == "begin") {
            turnsAtBegin = turns;
            paintsAtBegin = painted.paints;
        } else if (step == "commit") {
            turnsAtCommit = turns;
            paintsAtCommit = painted.paints;
            barAtCommit = bar->value();
        }
        return true;
    });
    click(a, A::kOk);
    backTo(list_);
    SetPostingProbe({});
    tick.stop();
    stop = true;
    threads::wake(other);
    settle();

    EXPECT_GT(turns, 0);
    EXPECT_EQ(turnsAtCommit, turnsAtBegin);       // nobody ran while the lock was held
    EXPECT_GT(paintsAtCommit, paintsAtBegin);     // and the bar was drawn meanwhile
    EXPECT_EQ(barAtCommit, 4);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, kMissingArticlesCaption);
    EXPECT_NE(presenter.last().text.find(": 77."), std::string::npos) << presenter.last().text;
    presenter.clear();

    EXPECT_EQ(articleField(10, "ART:Entradas"), D(850));
    EXPECT_EQ(articleField(20, "ART:Salidas"), Decimal(6));
    EXPECT_EQ(count(TableId::Kardex), 2);  // article 30 was at 0 already
    EXPECT_EQ(stockShownFor(10), "12.50");
    EXPECT_EQ(stockShownFor(20), "3.00");
    // The list is as it was: the count stays, open to change.
    EXPECT_EQ(cells(table(), 1), (std::vector<std::string>{"CONTEO"}));
    EXPECT_EQ(lines(list_, L::kLinesList)->rowCount(), 4);
    closeList();
}

// Maximised, both lists grow and nothing overlaps: the buttons under the
// counts and "Cerrar" move down with them.
TEST_F(CountUi, TheListWindowGrowsWithoutOverlaps) {
    store({.id = 1, .lines = {{10, D(123456)}}});
    start(BrowseFisico);
    // At its designed size every column fits: no scrolling sideways.
    ASSERT_EQ(lines(list_, L::kLinesList)->rowCount(), 1);
    EXPECT_FALSE(lines(list_, L::kLinesList)->horizontalScrollBar()->isVisible());
    const QRect linesBefore = list_->at(L::kLinesList).widget()->geometry();
    list_->widget()->resize(list_->widget()->size() + QSize(300, 240));
    settle();
    auto at = [&](int c) { return list_->at(c).widget()->geometry(); };
    EXPECT_GT(at(L::kCountsList).height(), 150);
    EXPECT_LT(at(L::kCountsList).bottom(), at(L::kInsert).top());
    EXPECT_LT(at(L::kPrint).bottom(), at(L::kSheet).top());
    EXPECT_LT(at(L::kSheet).bottom(), at(L::kClose).top());
    EXPECT_EQ(at(L::kLinesList).width(), linesBefore.width() + 300);
    EXPECT_GT(at(L::kLinesList).height(), linesBefore.height());
    // Each list's thumb stands where the grown table has its scroll bar.
    for (int c : {L::kCountsList, L::kLinesList}) {
        QTableWidget* t = lines(list_, c);
        const QRect scrollBar = t->verticalScrollBar()->parentWidget()->geometry();
        int thumbs = 0;
        for (QScrollBar* b : t->findChildren<QScrollBar*>(Qt::FindDirectChildrenOnly))
            if (b->orientation() == Qt::Vertical && b != t->verticalScrollBar()) {
                ++thumbs;
                EXPECT_EQ(b->geometry(), scrollBar) << c;
            }
        EXPECT_EQ(thumbs, 1) << c;
    }
    closeList();
}

// A failure midway: its message comes after the rollback, nothing is
// changed, and the window stays for another try or "&Cancelar".
TEST_F(CountUi, AFailedAdjustmentKeepsItsWindowAndChangesNothing) {
    store({.id = 1, .lines = {{10, Decimal(1)}, {20, Decimal(1)}, {30, Decimal(5)}}});
    start(BrowseFisico);
    ui::Window* a = openAdjustment();
    ASSERT_NE(a, nullptr);
    {
        movements::test::InjectedFailure fail({"line", 2});
        click(a, A::kOk);
        EXPECT_EQ(fail.hits(), 1);
    }
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, "Error al registrar");
    EXPECT_EQ(ui::Window::topOf(thread_), a);
    EXPECT_FALSE(a->at(A::kOk).disabled());
    EXPECT_EQ(a->at(A::kProgress).as<QProgressBar>()->value(), 0);
    EXPECT_EQ(count(TableId::Kardex), 0);
    EXPECT_EQ(articleField(10, "ART:Salidas"), Decimal(0));
    presenter.clear();
    click(a, A::kOk);  // tried again, it goes through
    backTo(list_);
    EXPECT_EQ(count(TableId::Kardex), 3);
    EXPECT_EQ(articleField(10, "ART:Salidas"), Decimal(3));
    EXPECT_TRUE(presenter.empty());
    closeList();
}

// With no count selected (an empty list) the button applies nothing, not
// even the count last read on the thread.
TEST_F(CountUi, TheAdjustmentButtonAppliesNothingWithoutASelectedCount) {
    store({.id = 1, .lines = {{10, Decimal(1)}}});
    start(BrowseFisico);
    ASSERT_EQ(table()->rowCount(), 1);
    // The count is deleted (its lines with it) and the list is empty.
    presenter.answer(Answer::Yes);
    click(list_, L::kDelete);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(messageNumber(presenter.last()), 11);
    presenter.clear();
    ASSERT_EQ(table()->rowCount(), 0);
    EXPECT_EQ(lines(list_, L::kLinesList)->rowCount(), 0);
    EXPECT_EQ(count(TableId::DetFisico), 0);
    click(list_, L::kAdjust);
    EXPECT_EQ(ui::Window::topOf(thread_), list_);
    EXPECT_EQ(count(TableId::Kardex), 0);
    EXPECT_TRUE(presenter.empty());
    closeList();
}

// A counts list filtered with F4: the button applies the count the list
// shows selected, not the count read last on the thread (the page's last
// row); filtered down to no count it applies nothing.
TEST_F(CountUi, TheAdjustmentButtonAppliesTheCountTheFilteredListShowsSelected) {
    store({.id = 1, .description = "NORTE", .lines = {{10, Decimal(1)}}});
    store({.id = 2, .description = "SUR A", .lines = {{20, Decimal(2)}}});
    store({.id = 3, .description = "SUR B", .lines = {{30, Decimal(5)}}});
    start(BrowseFisico);
    auto filterBy = [&](const QString& description) {
        ui::Window* find = openFind(table(), Qt::Key_F4);
        ASSERT_NE(find, nullptr);
        find->at(app::kVsfColumns).as<QTableWidget>()->setCurrentCell(1, 0);  // "Descripcion"
        auto* value = find->at(app::kVsfValue).as<QLineEdit>();
        value->clear();
        QTest::keyClicks(value, description);
        settle();
        QTest::mouseClick(find->at(app::kVsfFind).as<QPushButton>(), Qt::LeftButton);
        backTo(list_);
    };
    filterBy(QStringLiteral("OESTE"));
    ASSERT_EQ(table()->rowCount(), 0);
    click(list_, L::kAdjust);
    EXPECT_EQ(ui::Window::topOf(thread_), list_);
    EXPECT_EQ(count(TableId::Kardex), 0);

    filterBy(QStringLiteral("SUR"));
    ASSERT_EQ(cells(table(), 1), (std::vector<std::string>{"SUR A", "SUR B"}));
    ASSERT_EQ(table()->currentRow(), 0);
    ui::Window* a = openAdjustment();
    ASSERT_NE(a, nullptr);
    click(a, A::kOk);
    backTo(list_);
    EXPECT_TRUE(presenter.empty()) << presenter.last().text;
    EXPECT_EQ(articleField(20, "ART:Salidas"), Decimal(7));   // count 2: 9 down to 2
    EXPECT_EQ(articleField(30, "ART:Entradas"), Decimal(0));  // count 3 not applied
    EXPECT_EQ(articleField(10, "ART:Salidas"), Decimal(0));   // count 1 not applied
    EXPECT_EQ(count(TableId::Kardex), 1);
    closeList();
}

// A line names a stored article: a number that names none opens the article
// list, and "Aceptar" stops at it, or at 0, until one is chosen.
TEST_F(CountUi, TheLineFormRefusesArticlesThatDoNotExist) {
    start(BrowseFisico);
    click(list_, L::kInsert);
    ui::Window* f = countForm();
    ASSERT_NE(f, nullptr);
    click(f, F::kLineInsert);
    ui::Window* l = over(f);
    ASSERT_NE(l, nullptr);
    enter(l, R::kCodigo, QStringLiteral("99"));
    ui::Window* picker = over(l);
    ASSERT_NE(picker, nullptr);
    picker->post({ui::EventKind::CloseWindow, 0});
    backTo(l);
    EXPECT_TRUE(l->at(R::kCodigo).hasFocus());
    EXPECT_EQ(text(l, R::kDescripcion), "");
    enter(l, R::kCantidad, QStringLiteral("5"));
    click(l, R::kOk);  // 99 is still there: the list again, and the form stays
    picker = over(l);
    ASSERT_NE(picker, nullptr);
    picker->post({ui::EventKind::CloseWindow, 0});
    backTo(l);
    EXPECT_EQ(count(TableId::Kardex), 0);
    enter(l, R::kCodigo, QStringLiteral("0"));
    EXPECT_EQ(ui::Window::topOf(thread_), l);  // 0 opens no list
    click(l, R::kOk);
    EXPECT_EQ(ui::Window::topOf(thread_), l);
    EXPECT_TRUE(l->at(R::kCodigo).hasFocus());
    enter(l, R::kCodigo, QStringLiteral("30"));
    EXPECT_EQ(text(l, R::kDescripcion), "RONDANA");
    click(l, R::kOk);
    backTo(f);
    EXPECT_EQ(cells(lines(f, F::kLines), 0), (std::vector<std::string>{"30"}));
    // Cancelling the new count removes it with its line.
    presenter.answer(Answer::Yes);
    click(f, F::kCancel);
    backTo(list_);
    EXPECT_EQ(count(TableId::Fisico), 0);
    EXPECT_EQ(count(TableId::DetFisico), 0);
    EXPECT_EQ(table()->rowCount(), 0);
    closeList();
}

// A count looked at: nothing can be changed, "Aceptar" closes; a change
// whose date was picked and then cancelled keeps the stored date.
TEST_F(CountUi, ViewModeAndACancelledChange) {
    store({.id = 1, .date = dateFromYmd(2024, 3, 15), .description = "CONTEO", .lines = {{10, Decimal(1)}}});
    start(BrowseFisico);
    click(list_, L::kView);
    ui::Window* f = countForm();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->caption(), QStringLiteral("Consulta"));
    EXPECT_TRUE(f->at(F::kFecha).readOnly());
    EXPECT_TRUE(f->at(F::kDescripcion).readOnly());
    for (int c : {F::kCalendar, F::kLineInsert, F::kLineChange, F::kLineDelete}) EXPECT_TRUE(f->at(c).disabled()) << c;
    EXPECT_EQ(lines(f, F::kLines)->rowCount(), 1);
    click(f, F::kOk);
    backTo(list_);

    click(list_, L::kChange);
    f = countForm();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->caption(), QStringLiteral("Modificaciones"));
    enter(f, F::kFecha, QStringLiteral("01/04/2024"));
    enter(f, F::kDescripcion, QStringLiteral("OTRO"));
    presenter.answer(Answer::Yes);
    click(f, F::kCancel);
    backTo(list_);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().text, "¿Desea Ud.cancelar?");
    EXPECT_EQ(stored(TableId::Fisico, "FIS:Descripcion"), (std::vector<std::string>{"1 CONTEO"}));
    EXPECT_EQ(stored(TableId::Fisico, "FIS:Fecha"),
              (std::vector<std::string>{"1 " + std::to_string(dateFromYmd(2024, 3, 15))}));
    closeList();
}

}  // namespace
}  // namespace tv::movements::counts
