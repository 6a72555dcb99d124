// The purchase-order windows driven as a user drives them (offscreen, real
// widgets): an order added through the list and printed to PDF, the line
// form's refusals, cancelling, a used folio, the refused requests and view
// mode, the wizard button, and the pending items query.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include "app/form/field_binding.h"
#include "app/frame/procedures.h"
#include "app/globals.h"
#include "app/printout/document_printout.h"
#include "movements/orders/order_controls.h"
#include "movements/orders/order_posting.h"
#include "movements/orders/orders.h"
#include "platform/ini/ini_store.h"
#include "platform/threads/thread_state.h"
#include "platform/types/date.h"
#include "tests/app/printout/printout_driver.h"
#include "tests/movements/orders/order_fixture.h"
#include "tests/movements/support/document_ui.h"
#include "tests/movements/support/harness.h"

namespace tv::movements::orders {
namespace {

using data::TableId;
using test::D;
using tv::test::onThread;
using tv::test::runFor;
using tv::test::settle;
namespace pt = tv::test;  // the printout driver
namespace L = list_ui;
namespace F = form_ui;
namespace R = line_ui;
namespace P = pending_ui;

class OrderUi : public movements::test::DocumentUi {
protected:
    void SetUp() override {
        DocumentUi::SetUp();
        app::SetPrintoutPlacementStore(&ini);
        insertRows(TableId::Unidades, {{{"UNI:UM", Value("PIEZA")}}, {{"UNI:UM", Value("CAJA DE CARTON GRANDE")}}});
        insertRows(TableId::Proveedores,
                   {{{"PVD:Codigo", Value("PROV1")}, {"PVD:Nombre", Value("FERRETERA DEL NORTE")},
                     {"PVD:Nombre2", Value("SUCURSAL CENTRO")}, {"PVD:DIRECCION", Value("AV. HIDALGO 120")},
                     {"PVD:CIUDAD", Value("MONTERREY")}, {"PVD:ESTADO", Value("NUEVO LEON")},
                     {"PVD:PAIS", Value("MEXICO")}}});
        insertRows(TableId::Articulo,
                   {{{"ART:NoArt", Value(10)}, {"ART:Descripcion", Value("TORNILLO 1/4")}, {"ART:UM", Value(1)}},
                    {{"ART:NoArt", Value(20)}, {"ART:Descripcion", Value("TUERCA 1/4")}, {"ART:UM", Value(2)}}});
        insertRows(TableId::Folios, {{{"FOL:ORDENCOMPRA", Value(5)}}});
    }
    void TearDown() override {
        app::SetPrintoutPlacementStore(nullptr);
        DocumentUi::TearDown();
    }

    ui::Window* orderForm() { return formOn(thread_, list_); }
    ui::Window* lineForm(ui::Window* order) { return formOn(thread_, order); }
    void addLine(ui::Window* order, const QString& article, const QString& quantity, const QString& cost) {
        click(order, F::kLineInsert);
        ui::Window* l = lineForm(order);
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->caption(), QStringLiteral("Altas"));
        enter(l, R::kCodigo, article);
        enter(l, R::kCantidad, quantity);
        enter(l, R::kCosto, cost);
        click(l, R::kOk);
        ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == order; }));
        settle();
    }
    void cancelNew(ui::Window* f) {
        presenter.answer(Answer::Yes);
        click(f, F::kCancel);
        ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));
        settle();
    }
    void storeOrder(const test::Order& o) {
        onThread([&] {
            test::Enter(data::tables(), o);
            ASSERT_TRUE(CompleteOrder(data::tables()));
        });
    }
    long long folioCounter() {
        long long n = 0;
        onThread([&] { n = FolioCounter(data::tables(), kOrderFolio); });
        return n;
    }
    void setArticle(long long noArt, const char* field, const Decimal& value) {
        onThread([&] {
            data::TableGateway& g = data::tables().gateway(TableId::Articulo);
            g.BUFFER.clear();
            g.BUFFER.set(g.declaration().fieldIndex("ART:NoArt"), Value(noArt));
            ASSERT_EQ(g.ReadByKey("ART:KeyNoArt"), data::kDone);
            g.BUFFER.set(g.declaration().fieldIndex(field), Value(value));
            ASSERT_EQ(g.UpdateRecord(), data::kDone);
        });
    }

    IniStore ini{dir.file("talvor.INI")};
};

TEST_F(OrderUi, AnOrderEnteredThroughTheListAndPrintedToPdf) {
    start(BrowseOrdenes);
    click(list_, L::kInsert);
    ui::Window* f = orderForm();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->caption(), QStringLiteral("Altas"));
    EXPECT_EQ(text(f, F::kFolio), "5");
    EXPECT_EQ(text(f, F::kFecha), "");
    // No order date: the term gives no delivery date.
    enter(f, F::kPlazo, QStringLiteral("10"));
    EXPECT_EQ(text(f, F::kEntrega), "");
    enter(f, F::kFecha, QStringLiteral("01/03/2024"));
    EXPECT_EQ(text(f, F::kEntrega), "11/03/2024");
    enter(f, F::kPlazo, QStringLiteral("30"));
    EXPECT_EQ(text(f, F::kEntrega), "31/03/2024");
    enter(f, F::kElabora, QStringLiteral("ANA LOPEZ"));
    enter(f, F::kProveedor, QStringLiteral("PROV1"));
    EXPECT_EQ(text(f, F::kNombre), "FERRETERA DEL NORTE");
    enter(f, F::kReferencia, QStringLiteral("REQ-77"));
    auto* priority = f->at(F::kPrioridad).as<QComboBox>();
    ASSERT_EQ(priority->count(), 3);
    EXPECT_EQ(priority->itemText(0), QStringLiteral("ALTA"));
    enter(f, F::kPrioridad, QStringLiteral("MEDIA"));

    addLine(f, QStringLiteral("10"), QStringLiteral("3"), QStringLiteral("2.50"));
    addLine(f, QStringLiteral("20"), QStringLiteral("1.5"), QStringLiteral("1.25"));
    EXPECT_EQ(cells(lines(f, F::kLines), 0), (std::vector<std::string>{"10", "20"}));
    EXPECT_EQ(cells(lines(f, F::kLines), 2), (std::vector<std::string>{"PIEZA", "CAJA DE CARTON GRANDE"}));
    EXPECT_EQ(cells(lines(f, F::kLines), 5), (std::vector<std::string>{"7.50", "1.88"}));
    EXPECT_EQ(text(f, F::kTotalCantidad), "4.50");
    EXPECT_EQ(text(f, F::kTotalImporte), "9.38");
    EXPECT_TRUE(f->at(F::kFolio).readOnly());           // the lines carry the folio
    EXPECT_EQ(articleField(10, "ART:Pedido"), Decimal(0));  // nothing posted before "Aceptar"

    // The notes, and "Aceptar" pressed while the notes tab shows.
    f->at(F::kSheet).as<QTabWidget>()->setCurrentIndex(1);
    settle();
    auto* notes = f->at(F::kNotas).as<QPlainTextEdit>();
    notes->setFocus();
    QTest::keyClicks(notes, QStringLiteral("Entregar en "));
    notes->insertPlainText(QString::fromUtf8("almacén 2"));  // keyClicks types ASCII only
    click(f, F::kOk);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));
    settle();
    EXPECT_TRUE(presenter.empty()) << presenter.last().text;
    EXPECT_EQ(articleField(10, "ART:Pedido"), Decimal(3));
    EXPECT_EQ(articleField(20, "ART:Pedido"), D(150));
    EXPECT_EQ(folioCounter(), 6);
    EXPECT_EQ(stored(TableId::Ordenes, "ORD:Nota"), (std::vector<std::string>{"1 Entregar en almacén 2"}));
    EXPECT_EQ(stored(TableId::Ordenes, "ORD:TOTALARTICULO"), (std::vector<std::string>{"1 4.5"}));
    EXPECT_EQ(stored(TableId::Ordenes, "ORD:Prioridad"), (std::vector<std::string>{"1 MEDIA"}));
    // The list shows the order, its lines below it, and its supplier.
    EXPECT_EQ(cells(table(), 0), (std::vector<std::string>{"5"}));
    EXPECT_EQ(cells(table(), 3), (std::vector<std::string>{"31/03/2024"}));
    EXPECT_EQ(cells(table(), 8), (std::vector<std::string>{"0"}));
    EXPECT_EQ(cells(lines(list_, L::kLinesList), 1), (std::vector<std::string>{"TORNILLO 1/4", "TUERCA 1/4"}));
    EXPECT_EQ(cells(lines(list_, L::kLinesList), 4), (std::vector<std::string>{"0.00", "0.00"}));
    EXPECT_EQ(cells(lines(list_, L::kLinesList), 6), (std::vector<std::string>{"7.50", "1.88"}));
    EXPECT_EQ(text(list_, L::kSupplierName), "FERRETERA DEL NORTE");
    EXPECT_EQ(text(list_, L::kSupplierName2), "SUCURSAL CENTRO");

    // The supplier's names open the supplier, read-only.
    QTest::mouseClick(list_->at(L::kSupplierArea).widget(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
    ui::Window* s = formOn(thread_, list_);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->caption(), QStringLiteral("Consulta"));
    s->post({ui::EventKind::CloseWindow, 0});
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));

    // Printed, with the supplier's city line, and saved as PDF.
    app::globals().EMPRESA = fitText("EL NOMBRE DE SU EMPRESA", app::Globals::kEmpresaWidth);
    click(list_, L::kPrint);
    EXPECT_EQ(std::string(rtrim(app::globals().CIUDADPROVEEDOR)), "MONTERREY NUEVO LEON MEXICO");
    ASSERT_TRUE(pt::cancelPrinterChoice());
    report::PreviewWindowController* preview = pt::waitForPreview();
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(pt::saveFromPreview(*preview, pt::kPdfWriter, dir.file("orden5")));
    settle();
    EXPECT_TRUE(std::filesystem::exists(dir.file("orden5.PDF")));
    const std::string pdf = pt::pdfText(dir.file("orden5.PDF"));
    if (!pdf.empty()) {
        for (const char* shown : {"EL NOMBRE DE SU EMPRESA", "Orden de Compra", "FERRETERA DEL NORTE", "SUCURSAL CENTRO",
                                  "AV. HIDALGO 120", "MONTERREY NUEVO LEON MEXICO", "TORNILLO 1/4", "TUERCA 1/4",
                                  "PIEZA", "CAJA DE CA", "7.50", "1.88", "9.38", "ANA LOPEZ", "01/03/2024", "Total:"})
            EXPECT_NE(pdf.find(shown), std::string::npos) << shown << "\n" << pdf;
        EXPECT_EQ(pdf.find("CAJA DE CARTON"), std::string::npos) << "the unit prints its first 10 characters";
        EXPECT_EQ(pdf.find("REQ-77"), std::string::npos) << "the reference is not printed";
    }
    app::globals().EMPRESA = std::string(app::Globals::kEmpresaWidth, ' ');
    closeList();
}

// A failure at a middle line: nothing is posted, the message comes, the
// form stays open as it was; "Aceptar" again posts once.
TEST_F(OrderUi, AFailureMidwayKeepsTheFormOpenAndASecondAceptarPostsOnce) {
    start(BrowseOrdenes);
    click(list_, L::kInsert);
    ui::Window* f = orderForm();
    ASSERT_NE(f, nullptr);
    addLine(f, QStringLiteral("10"), QStringLiteral("2"), QStringLiteral("1"));
    addLine(f, QStringLiteral("20"), QStringLiteral("3"), QStringLiteral("1"));
    {
        movements::test::InjectedFailure fail({"line", 2});
        click(f, F::kOk);
        ASSERT_EQ(presenter.count(), 1u);
        EXPECT_EQ(presenter.last().caption, "Error al registrar");
        EXPECT_EQ(ui::Window::topOf(thread_), f);
        EXPECT_EQ(articleField(10, "ART:Pedido"), Decimal(0));
        EXPECT_EQ(folioCounter(), 5);
        EXPECT_EQ(stored(TableId::Ordenes, "ORD:Folio"), (std::vector<std::string>{"1 0"}));  // still pending
        EXPECT_EQ(lines(f, F::kLines)->rowCount(), 2);
    }
    click(f, F::kOk);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));
    EXPECT_EQ(articleField(10, "ART:Pedido"), Decimal(2));
    EXPECT_EQ(articleField(20, "ART:Pedido"), Decimal(3));
    EXPECT_EQ(count(TableId::Ordenes), 1);
    closeList();
}

// Cancelling a new order asks, then deletes the lines it stored and its
// header; the next order gets the same folio with no line under it.
TEST_F(OrderUi, CancellingANewOrderRemovesWhatItStored) {
    start(BrowseOrdenes);
    click(list_, L::kInsert);
    ui::Window* f = orderForm();
    ASSERT_NE(f, nullptr);
    addLine(f, QStringLiteral("10"), QStringLiteral("2"), QStringLiteral("1"));
    ASSERT_EQ(count(TableId::DetOrdenes), 1);
    presenter.answer(Answer::No);
    click(f, F::kCancel);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().text, "¿Desea Ud.cancelar?");
    EXPECT_EQ(ui::Window::topOf(thread_), f);
    cancelNew(f);
    EXPECT_EQ(count(TableId::DetOrdenes), 0);
    EXPECT_EQ(count(TableId::Ordenes), 0);
    EXPECT_EQ(articleField(10, "ART:Pedido"), Decimal(0));
    click(list_, L::kInsert);
    f = orderForm();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(text(f, F::kFolio), "5");
    EXPECT_EQ(lines(f, F::kLines)->rowCount(), 0);
    cancelNew(f);
    closeList();
}

// A folio a stored order has: no line can be added under it, and "Aceptar"
// is refused with message 15 naming the folio key.
TEST_F(OrderUi, AUsedFolioIsRefused) {
    storeOrder({.folio = 5, .lines = {{10, Decimal(1), D(100)}}});
    start(BrowseOrdenes);
    click(list_, L::kInsert);
    ui::Window* f = orderForm();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(text(f, F::kFolio), "6");
    enter(f, F::kFolio, QStringLiteral("5"));
    // The list shows the lines under the folio typed: the stored order's,
    // which cannot be changed or deleted from here.
    ASSERT_EQ(lines(f, F::kLines)->rowCount(), 1);
    lines(f, F::kLines)->setCurrentCell(0, 0);
    settle();
    for (int button : {F::kLineChange, F::kLineDelete}) {
        presenter.clear();
        click(f, button);
        ASSERT_EQ(presenter.count(), 1u);
        EXPECT_EQ(presenter.last().caption, "Artículo de otro documento");
        EXPECT_EQ(ui::Window::topOf(thread_), f);
    }
    EXPECT_EQ(count(TableId::DetOrdenes), 1);
    presenter.clear();
    click(f, F::kLineInsert);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, "Folio no válido");
    EXPECT_EQ(ui::Window::topOf(thread_), f);
    presenter.clear();
    click(f, F::kOk);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(messageNumber(presenter.last()), 15);
    EXPECT_NE(presenter.last().text.find("ORD:KeyFolio"), std::string::npos);
    EXPECT_EQ(ui::Window::topOf(thread_), f);
    EXPECT_EQ(articleField(10, "ART:Pedido"), Decimal(1));
    cancelNew(f);
    closeList();
}

TEST_F(OrderUi, TheLineFormRefusesUnknownArticlesAndBadQuantities) {
    start(BrowseOrdenes);
    click(list_, L::kInsert);
    ui::Window* f = orderForm();
    ASSERT_NE(f, nullptr);
    click(f, F::kLineInsert);
    ui::Window* l = lineForm(f);
    ASSERT_NE(l, nullptr);
    // A number that names no article opens the article list; leaving it
    // keeps the focus on the number and "Aceptar" stops there.
    enter(l, R::kCodigo, QStringLiteral("99"));
    ui::Window* picker = formOn(thread_, l);
    ASSERT_NE(picker, nullptr);
    picker->post({ui::EventKind::CloseWindow, 0});
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == l; }));
    settle();
    EXPECT_TRUE(l->at(R::kCodigo).hasFocus());
    // "Aceptar" with that number: the article list again, and the line stays open.
    click(l, R::kOk);
    picker = formOn(thread_, l);
    ASSERT_NE(picker, nullptr);
    picker->post({ui::EventKind::CloseWindow, 0});
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == l; }));
    settle();
    EXPECT_TRUE(l->at(R::kCodigo).hasFocus());
    enter(l, R::kCodigo, QStringLiteral("10"));
    EXPECT_EQ(text(l, R::kDescripcion), "TORNILLO 1/4");
    EXPECT_EQ(text(l, R::kUm), "PIEZA");
    enter(l, R::kCantidad, QStringLiteral("10"));
    enter(l, R::kCosto, QStringLiteral("2.50"));
    EXPECT_EQ(text(l, R::kImporte), "25.00");
    EXPECT_EQ(text(l, R::kRecibido), "0.00");
    EXPECT_EQ(text(l, R::kPorRecibir), "10.00");
    // A zero quantity is refused at "Aceptar"; a negative quantity or cost
    // already by its entry (the pictures have no sign); the line stays open.
    for (const auto& [quantity, cost, refusal] :
         {std::tuple{"0", "2.50", "La cantidad debe ser mayor que cero."}, std::tuple{"-1", "2.50", "negativos"},
          std::tuple{"1", "-1", "negativos"}}) {
        presenter.clear();
        enter(l, R::kCantidad, QString::fromUtf8(quantity));
        enter(l, R::kCosto, QString::fromUtf8(cost));
        click(l, R::kOk);
        ASSERT_GE(presenter.count(), 1u) << quantity << " " << cost;
        EXPECT_NE(presenter.shown().front().box.text.find(refusal), std::string::npos)
            << quantity << " " << cost << ": " << presenter.shown().front().box.text;
        EXPECT_EQ(ui::Window::topOf(thread_), l);
    }
    EXPECT_EQ(stored(TableId::DetOrdenes, "DOR:Cantidad"), (std::vector<std::string>{"1 0"}));  // only the reserved line
    // Cancelling the new line removes the line the list had added.
    presenter.answer(Answer::Yes);
    click(l, R::kCancel);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == f; }));
    EXPECT_EQ(count(TableId::DetOrdenes), 0);
    EXPECT_FALSE(f->at(F::kFolio).readOnly());
    cancelNew(f);
    closeList();
}

// Orders are entered and looked at, never changed or deleted; the header
// fields a repeat of the previous value never brings back.
TEST_F(OrderUi, ChangeAndDeleteAreRefusedAndViewChangesNothing) {
    storeOrder({.folio = 40, .date = dateFromYmd(2024, 6, 3), .supplier = "PROV1",
                .lines = {{10, Decimal(4), D(100)}}});
    for (const auto& [request, message] : {std::pair{kChange, 41}, std::pair{kDelete, 14}}) {
        presenter.clear();
        uint8_t response = 0;
        onThread([&, request = request] {
            threadState().callRequest = request;
            UpdateOrdenes();
            response = threadState().callResponse;
        });
        EXPECT_EQ(response, kCancelled);
        ASSERT_EQ(presenter.count(), 1u);
        EXPECT_EQ(messageNumber(presenter.last()), message);
    }
    presenter.clear();
    start(BrowseOrdenes);
    EXPECT_TRUE(list_->at(L::kChange).hidden());
    EXPECT_TRUE(list_->at(L::kDelete).hidden());
    const std::string before = stored(TableId::Ordenes, "ORD:Folio").front();
    click(list_, L::kView);
    ui::Window* f = orderForm();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->caption(), QStringLiteral("Consulta"));
    EXPECT_EQ(text(f, F::kFolio), "40");
    EXPECT_EQ(text(f, F::kNombre), "FERRETERA DEL NORTE");
    EXPECT_EQ(lines(f, F::kLines)->rowCount(), 1);
    EXPECT_TRUE(f->at(F::kLineInsert).hidden());
    EXPECT_TRUE(f->at(F::kCalendar).disabled());
    EXPECT_TRUE(f->at(F::kProveedorLookup).disabled());
    click(f, F::kOk);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));
    EXPECT_EQ(stored(TableId::Ordenes, "ORD:Folio").front(), before);
    EXPECT_EQ(articleField(10, "ART:Pedido"), Decimal(4));
    closeList();

    const data::TableDecl& ord = data::decl(TableId::Ordenes);
    for (const char* f : {"ORD:Folio", "ORD:TOTALARTICULO", "ORD:TOTALSURTIDO", "ORD:PorcSurtido"})
        EXPECT_TRUE(app::IsDittoExcluded(ord, ord.fieldIndex(f))) << f;
    for (const char* f : {"ORD:Fecha", "ORD:Plazo", "ORD:Elabora", "ORD:Proveedor", "ORD:Prioridad"})
        EXPECT_FALSE(app::IsDittoExcluded(ord, ord.fieldIndex(f))) << f;
    const data::TableDecl& dor = data::decl(TableId::DetOrdenes);
    EXPECT_TRUE(app::IsDittoExcluded(dor, dor.fieldIndex("DOR:Recibido")));
    EXPECT_FALSE(app::IsDittoExcluded(dor, dor.fieldIndex("DOR:Cantidad")));
}

// The wizard button runs the wizard on the list's thread, over the list;
// when it closes the list shows the order it generated, selected.
TEST_F(OrderUi, TheWizardButtonRunsTheWizardAndTheListShowsItsOrder) {
    storeOrder({.folio = 3, .lines = {{10, Decimal(1), D(100)}}});
    storeOrder({.folio = 9, .lines = {{10, Decimal(1), D(100)}}});
    threads::ThreadNo ranOn = 0;
    app::RegisterProcedure("Asistente", [&] {
        ranOn = threads::current();
        test::Enter(data::tables(), {.folio = 7, .supplier = "PROV1", .lines = {{20, Decimal(2), D(300)}}});
        CompleteOrder(data::tables());
    });
    start(BrowseOrdenes);
    EXPECT_EQ(cells(table(), 0), (std::vector<std::string>{"3", "9"}));
    click(list_, L::kWizard);
    EXPECT_EQ(ranOn, thread_);
    EXPECT_EQ(cells(table(), 0), (std::vector<std::string>{"3", "7", "9"}));
    EXPECT_EQ(selected(0), "7");
    EXPECT_EQ(cells(lines(list_, L::kLinesList), 0), (std::vector<std::string>{"20"}));
    EXPECT_EQ(text(list_, L::kSupplierName), "FERRETERA DEL NORTE");
    app::RegisterProcedure("Asistente", {});
    closeList();
}

// The pending items query lists what is still to receive, shows the
// article read-only and opens the report's filter window.
TEST_F(OrderUi, ThePendingItemsQueryListsWhatIsStillToReceive) {
    insertRows(TableId::Articulo,
               {{{"ART:NoArt", Value(30)}, {"ART:Descripcion", Value("ARANDELA")}, {"ART:UM", Value(7)}}});
    storeOrder({.folio = 5, .lines = {{10, Decimal(10), D(100)}, {20, Decimal(10), D(100)}, {30, Decimal(2), D(100)}}});
    setArticle(10, "ART:Recibido", D(450));
    setArticle(20, "ART:Recibido", Decimal(10));
    start(ConsultaArtPendientes);
    EXPECT_EQ(list_->caption(), QString::fromUtf8("Artículos pendientes de surtir"));
    QTableWidget* rows = lines(list_, P::kList);
    EXPECT_EQ(cells(rows, 0), (std::vector<std::string>{"10", "30"}));
    EXPECT_EQ(cells(rows, 2), (std::vector<std::string>{"PIEZA", ""}));
    EXPECT_EQ(cells(rows, 3), (std::vector<std::string>{"10.00", "2.00"}));
    EXPECT_EQ(cells(rows, 4), (std::vector<std::string>{"4.50", "0.00"}));
    EXPECT_EQ(cells(rows, 5), (std::vector<std::string>{"5.50", "2.00"}));
    // The highlighted article, read-only in the article form.
    rows->setCurrentCell(1, 0);
    settle();
    click(list_, P::kViewArticle);
    ui::Window* a = formOn(thread_, list_);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->caption(), QStringLiteral("Consulta"));
    a->post({ui::EventKind::CloseWindow, 0});
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));
    EXPECT_EQ(articleField(30, "ART:Pedido"), Decimal(2));
    // The report's filter window runs on the query's thread until closed;
    // then the query shows what changed meanwhile.
    click(list_, P::kReport);
    ui::Window* filter = formOn(thread_, list_);
    ASSERT_NE(filter, nullptr);
    EXPECT_FALSE(list_->takesInput());
    setArticle(30, "ART:Recibido", Decimal(2));
    filter->post({ui::EventKind::CloseWindow, 0});
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));
    settle();
    EXPECT_EQ(cells(lines(list_, P::kList), 0), (std::vector<std::string>{"10"}));
    list_->post({ui::EventKind::CloseWindow, 0});
    ASSERT_TRUE(runFor([this] { return done_; }));
}

}  // namespace
}  // namespace tv::movements::orders
