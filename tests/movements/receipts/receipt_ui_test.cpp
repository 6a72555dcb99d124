// The receipt windows driven as a user drives them (offscreen, real
// widgets): a receipt added through the list with lines picked by number and
// by bar code, an order called up, the lists, the printout saved as PDF, a
// failure at a middle line, cancelling, the refused requests and view mode.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "app/browse/vs_find.h"
#include "app/printout/document_printout.h"
#include "movements/receipts/receipt_controls.h"
#include "movements/receipts/receipt_posting.h"
#include "movements/receipts/receipts.h"
#include "platform/ini/ini_store.h"
#include "platform/threads/thread_state.h"
#include "tests/app/printout/printout_driver.h"
#include "tests/catalog/catalogue_fixture.h"
#include "tests/movements/receipts/receipt_fixture.h"
#include "tests/movements/support/document_ui.h"
#include "tests/movements/support/harness.h"

namespace tv::movements::receipts {
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

class ReceiptUi : public movements::test::DocumentUi {
protected:
    void SetUp() override {
        DocumentUi::SetUp();
        app::SetPrintoutPlacementStore(&ini);
        insertRows(TableId::Unidades, {{{"UNI:UM", Value("PIEZA")}}});
        insertRows(TableId::TipEntradas, {{{"TEN:Descripcion", Value("COMPRA")}}, {{"TEN:Descripcion", Value("DONACION")}}});
        insertRows(TableId::Proveedores, {{{"PVD:Codigo", Value("PROV1")}, {"PVD:Nombre", Value("FERRETERA DEL NORTE")},
                                           {"PVD:Nombre2", Value("SUCURSAL CENTRO")}}});
        insertRows(TableId::Articulo,
                   {{{"ART:NoArt", Value(10)}, {"ART:Descripcion", Value("TORNILLO 1/4")}, {"ART:UM", Value(1)},
                     {"ART:CodigoBarras", Value("750100")}, {"ART:ExistenciaAnterior", Value(4)}},
                    {{"ART:NoArt", Value(20)}, {"ART:Descripcion", Value("TUERCA 1/4")}, {"ART:UM", Value(1)},
                     {"ART:CodigoBarras", Value("750200")}}});
        insertRows(TableId::Folios, {{{"FOL:ENTRADAS", Value(5)}}});
    }
    void TearDown() override {
        app::SetPrintoutPlacementStore(nullptr);
        DocumentUi::TearDown();
    }

    ui::Window* receiptForm() { return formOn(thread_, list_); }
    ui::Window* lineForm(ui::Window* receipt) { return formOn(thread_, receipt); }
    // A line through the line form: by article number or by bar code.
    void addLine(ui::Window* receipt, const QString& article, const QString& barcode, const QString& quantity,
                 const QString& cost) {
        click(receipt, F::kLineInsert);
        ui::Window* l = lineForm(receipt);
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->caption(), QStringLiteral("Altas"));
        if (!article.isEmpty()) enter(l, R::kCodigo, article);
        if (!barcode.isEmpty()) {
            enter(l, R::kBarras, barcode);
            EXPECT_TRUE(l->at(R::kCantidad).hasFocus());  // a bar code found moves on to the quantity
        }
        enter(l, R::kCantidad, quantity);
        enter(l, R::kCosto, cost);
        click(l, R::kOk);
        ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == receipt; }));
        settle();
    }
    // A receipt stored as the form stores it.
    void storeReceipt(const test::Receipt& r) {
        onThread([&] {
            test::Enter(data::tables(), r);
            ASSERT_TRUE(CompleteReceipt(data::tables()));
        });
    }
    void addOrder() {
        insertRows(TableId::Ordenes, {{{"ORD:Folio", Value(9)}, {"ORD:Proveedor", Value("PROV1")},
                                       {"ORD:TOTALARTICULO", Value(15)}},
                                      {{"ORD:Folio", Value(12)}, {"ORD:TOTALARTICULO", Value(1)}}});
        insertRows(TableId::DetOrdenes,
                   {{{"DOR:ORDEN", Value(9)}, {"DOR:Articulo", Value(10)}, {"DOR:Cantidad", Value(10)},
                     {"DOR:Recibido", Value(4)}, {"DOR:Costo", Value(D(250))}},
                    {{"DOR:ORDEN", Value(9)}, {"DOR:Articulo", Value(20)}, {"DOR:Cantidad", Value(5)},
                     {"DOR:Costo", Value(D(100))}}});
    }
    // A new receipt from the list, with the pending lines of order 9 called up.
    ui::Window* newReceiptFromOrder() {
        addOrder();
        start(BrowseEntradas);
        click(list_, L::kInsert);
        ui::Window* f = receiptForm();
        if (f == nullptr) return nullptr;
        enter(f, F::kOrden, QStringLiteral("9"));
        click(f, F::kLlamar);
        return f;
    }
    // "Cancelar" on a new receipt, answering "¿Desea Ud.cancelar?" with Yes.
    void cancelNew(ui::Window* f) {
        presenter.answer(Answer::Yes);
        click(f, F::kCancel);
        ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));
    }
    long long folioCounter() {
        long long n = 0;
        onThread([&] { n = FolioCounter(data::tables(), kReceiptFolio); });
        return n;
    }

    IniStore ini{dir.file("talvor.INI")};
};

TEST_F(ReceiptUi, AReceiptAddedThroughTheListWithLinesByNumberAndByBarcode) {
    start(BrowseEntradas);
    EXPECT_TRUE(list_->at(L::kChange).hidden());
    EXPECT_TRUE(list_->at(L::kDelete).hidden());
    click(list_, L::kInsert);
    ui::Window* f = receiptForm();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->caption(), QStringLiteral("Altas"));
    EXPECT_EQ(text(f, F::kFolio), "5");
    EXPECT_EQ(text(f, F::kFecha), "");
    enter(f, F::kProveedor, QStringLiteral("PROV1"));
    EXPECT_EQ(text(f, F::kNombre), "FERRETERA DEL NORTE");
    enter(f, F::kTipo, QStringLiteral("DONACION"));
    EXPECT_EQ(text(f, F::kTipoDesc), "DONACION");
    enter(f, F::kReferencia, QStringLiteral("FACT-77"));

    addLine(f, QStringLiteral("10"), {}, QStringLiteral("3"), QStringLiteral("12.50"));
    addLine(f, {}, QStringLiteral("750200"), QStringLiteral("2"), QStringLiteral("1.00"));
    EXPECT_EQ(cells(lines(f, F::kLines), 0), (std::vector<std::string>{"10", "20"}));
    EXPECT_EQ(cells(lines(f, F::kLines), 5), (std::vector<std::string>{"37.50", "2.00"}));
    EXPECT_TRUE(f->at(F::kFolio).readOnly());  // the lines carry the folio
    EXPECT_EQ(count(TableId::Kardex), 0);     // nothing posted before "Aceptar"
    EXPECT_TRUE(allColumnsShow(lines(f, F::kLines)));

    click(f, F::kOk);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));
    settle();
    EXPECT_TRUE(presenter.empty()) << presenter.last().text;
    // The list shows the receipt under its folio, its lines below it.
    EXPECT_EQ(cells(table(), 1), (std::vector<std::string>{"5"}));
    EXPECT_EQ(cells(table(), 3), (std::vector<std::string>{"DONACION"}));
    EXPECT_EQ(cells(lines(list_, L::kLinesList), 1), (std::vector<std::string>{"TORNILLO 1/4", "TUERCA 1/4"}));
    EXPECT_EQ(cells(lines(list_, L::kLinesList), 2), (std::vector<std::string>{"PIEZA", "PIEZA"}));
    EXPECT_EQ(cells(lines(list_, L::kLinesList), 5), (std::vector<std::string>{"37.50", "2.00"}));
    EXPECT_EQ(text(list_, L::kSupplierName), "FERRETERA DEL NORTE");
    EXPECT_EQ(text(list_, L::kSupplierName2), "SUCURSAL CENTRO");
    EXPECT_TRUE(allColumnsShow(table()));
    EXPECT_TRUE(allColumnsShow(lines(list_, L::kLinesList)));
    EXPECT_TRUE(list_->at(L::kChange).hidden());
    EXPECT_EQ(articleField(10, "ART:Entradas"), Decimal(3));
    EXPECT_EQ(articleField(10, "ART:COSTOPROMEDIO"), D(536));  // (4 x 0 + 37.50) / 7
    EXPECT_EQ(articleField(20, "ART:COSTOPROMEDIO"), D(100));
    EXPECT_EQ(count(TableId::Kardex), 2);
    EXPECT_EQ(count(TableId::PreProv), 2);
    EXPECT_EQ(folioCounter(), 6);

    // The supplier's names open the supplier, read-only.
    QTest::mouseClick(list_->at(L::kSupplierArea).widget(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
    ui::Window* s = formOn(thread_, list_);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->caption(), QStringLiteral("Consulta"));
    s->post({ui::EventKind::CloseWindow, 0});
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));

    // A find on "Importe" in the lines list finds the amount.
    ui::Window* find = openFind(lines(list_, L::kLinesList));
    ASSERT_NE(find, nullptr);
    find->at(app::kVsfColumns).as<QTableWidget>()->setCurrentCell(5, 0);
    auto* value = find->at(app::kVsfValue).as<QLineEdit>();
    value->clear();
    QTest::keyClicks(value, QStringLiteral("37.5"));
    settle();
    QTest::mouseClick(find->at(app::kVsfFind).as<QPushButton>(), Qt::LeftButton);
    settle();
    for (const auto& m : presenter.shown()) ADD_FAILURE() << m.box.caption << ": " << m.box.text;
    EXPECT_EQ(lines(list_, L::kLinesList)->currentRow(), 0);
    QTest::keyClick(lines(list_, L::kLinesList), Qt::Key_Down);
    settle();
    ASSERT_EQ(lines(list_, L::kLinesList)->currentRow(), 1);
    find = openFind(lines(list_, L::kLinesList));
    ASSERT_NE(find, nullptr);
    QTest::mouseClick(find->at(app::kVsfFind).as<QPushButton>(), Qt::LeftButton);  // from the top again
    settle();
    EXPECT_EQ(lines(list_, L::kLinesList)->currentRow(), 0);
    closeList();
}

TEST_F(ReceiptUi, CallingUpAnOrderFillsTheLinesAndCompletesIt) {
    addOrder();
    start(BrowseEntradas);
    click(list_, L::kInsert);
    ui::Window* f = receiptForm();
    ASSERT_NE(f, nullptr);
    // The orders in folio order.
    auto* orders = f->at(F::kOrden).as<QComboBox>();
    ASSERT_EQ(orders->count(), 2);
    EXPECT_EQ(orders->itemText(0), QStringLiteral("9"));
    EXPECT_EQ(orders->itemText(1), QStringLiteral("12"));
    click(f, F::kLlamar);  // no order chosen: nothing happens
    EXPECT_EQ(lines(f, F::kLines)->rowCount(), 0);
    EXPECT_FALSE(f->at(F::kLlamar).disabled());
    enter(f, F::kOrden, QStringLiteral("9"));
    click(f, F::kLlamar);
    EXPECT_EQ(cells(lines(f, F::kLines), 3), (std::vector<std::string>{"6.00", "5.00"}));
    EXPECT_EQ(cells(lines(f, F::kLines), 4), (std::vector<std::string>{"2.50", "1.00"}));
    EXPECT_EQ(text(f, F::kProveedor), "PROV1");
    EXPECT_TRUE(f->at(F::kLlamar).disabled());
    EXPECT_TRUE(f->at(F::kOrden).disabled());
    click(f, F::kOk);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));
    EXPECT_EQ(stored(TableId::DetOrdenes, "DOR:Recibido"), (std::vector<std::string>{"1 10", "2 5"}));
    EXPECT_EQ(stored(TableId::Ordenes, "ORD:PorcSurtido"), (std::vector<std::string>{"1 73", "2 0"}));  // 11 of 15
    closeList();
}

// "Llamar datos" on an order with nothing to receive says so and leaves the
// order to choose again; a pending line whose article no longer exists is
// named and not copied, so the receipt completes with the other lines.
TEST_F(ReceiptUi, LlamarDatosSaysWhenNothingIsPendingAndNamesArticlesThatNoLongerExist) {
    addOrder();
    insertRows(TableId::DetOrdenes, {{{"DOR:ORDEN", Value(9)}, {"DOR:Articulo", Value(99)}, {"DOR:Cantidad", Value(2)},
                                      {"DOR:Costo", Value(D(100))}}});
    start(BrowseEntradas);
    click(list_, L::kInsert);
    ui::Window* f = receiptForm();
    ASSERT_NE(f, nullptr);
    enter(f, F::kOrden, QStringLiteral("12"));
    click(f, F::kLlamar);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, "Llamar datos");
    EXPECT_EQ(presenter.last().text, "La orden de compra 12 no tiene artículos por recibir.");
    EXPECT_EQ(lines(f, F::kLines)->rowCount(), 0);
    EXPECT_FALSE(f->at(F::kLlamar).disabled());
    EXPECT_FALSE(f->at(F::kOrden).disabled());
    presenter.clear();
    enter(f, F::kOrden, QStringLiteral("9"));
    click(f, F::kLlamar);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().text,
              "El artículo 99 de la orden de compra 9 ya no existe: no se copió a la entrada.");
    EXPECT_EQ(cells(lines(f, F::kLines), 0), (std::vector<std::string>{"10", "20"}));
    EXPECT_EQ(text(f, F::kProveedor), "PROV1");
    EXPECT_TRUE(f->at(F::kLlamar).disabled());
    presenter.clear();
    click(f, F::kOk);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; })) << presenter.last().text;
    EXPECT_TRUE(presenter.empty());
    EXPECT_EQ(articleField(10, "ART:Entradas"), Decimal(6));
    EXPECT_EQ(articleField(20, "ART:Entradas"), Decimal(5));
    closeList();
}

// The printout of the receipt selected in the list, saved as PDF.
TEST_F(ReceiptUi, ThePrintoutOfTheSelectedReceiptSavedAsPdf) {
    storeReceipt({.folio = 31, .type = 1, .supplier = "PROV1", .order = 4, .reference = "FACT-31",
                  .lines = {{10, Decimal(2), D(1250)}, {20, Decimal(1), D(300)}}});
    storeReceipt({.folio = 32, .lines = {}});
    start(BrowseEntradas);
    EXPECT_EQ(cells(table(), 1), (std::vector<std::string>{"31", "32"}));
    // The receipt without lines cannot be printed.
    table()->setCurrentCell(1, 0);
    settle();
    EXPECT_TRUE(list_->at(L::kPrint).disabled());
    table()->setCurrentCell(0, 0);
    settle();
    ASSERT_FALSE(list_->at(L::kPrint).disabled());
    click(list_, L::kPrint);
    ASSERT_TRUE(pt::cancelPrinterChoice());
    report::PreviewWindowController* preview = pt::waitForPreview();
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(pt::saveFromPreview(*preview, pt::kPdfWriter, dir.file("entrada31")));
    settle();
    const std::string pdf = pt::pdfText(dir.file("entrada31.PDF"));
    if (!pdf.empty()) {
        for (const char* shown : {"Entrada de almacén", "FERRETERA DEL NORTE", "SUCURSAL CENTRO", "COMPRA", "FACT-31",
                                  "31", "TORNILLO 1/4", "TUERCA 1/4", "PIEZA", "25.00", "3.00", "12.50"})
            EXPECT_NE(pdf.find(shown), std::string::npos) << shown << "\n" << pdf;
    }
    EXPECT_TRUE(std::filesystem::exists(dir.file("entrada31.PDF")));
    closeList();
}

// A failure at a middle line: nothing is posted, the message comes, the
// form stays open as it was; "Aceptar" again posts once.
TEST_F(ReceiptUi, AFailureAtAMiddleLineKeepsTheFormOpenAndASecondAceptarPostsOnce) {
    ui::Window* f = newReceiptFromOrder();
    ASSERT_NE(f, nullptr);
    addLine(f, QStringLiteral("20"), {}, QStringLiteral("1"), QStringLiteral("4"));
    ASSERT_EQ(lines(f, F::kLines)->rowCount(), 3);
    {
        movements::test::InjectedFailure fail({"line", 2});
        click(f, F::kOk);
        ASSERT_EQ(presenter.count(), 1u);
        EXPECT_EQ(presenter.last().caption, "Error al registrar");
        EXPECT_EQ(ui::Window::topOf(thread_), f);
        EXPECT_EQ(count(TableId::Kardex), 0);
        EXPECT_EQ(articleField(10, "ART:Entradas"), Decimal(0));
        EXPECT_EQ(folioCounter(), 5);
        EXPECT_EQ(text(f, F::kFolio), "5");
        EXPECT_EQ(lines(f, F::kLines)->rowCount(), 3);
    }
    click(f, F::kOk);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));
    EXPECT_EQ(count(TableId::Kardex), 3);
    EXPECT_EQ(count(TableId::Entradas), 1);
    EXPECT_EQ(articleField(20, "ART:Entradas"), Decimal(6));
    closeList();
}

// Cancelling a new receipt asks, then deletes its lines and its header.
TEST_F(ReceiptUi, CancellingANewReceiptRemovesWhatItStored) {
    ui::Window* f = newReceiptFromOrder();
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(count(TableId::DetEntradas), 2);
    presenter.answer(Answer::No);
    click(f, F::kCancel);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().text, "¿Desea Ud.cancelar?");
    EXPECT_EQ(ui::Window::topOf(thread_), f);
    cancelNew(f);
    EXPECT_EQ(count(TableId::DetEntradas), 0);
    EXPECT_EQ(count(TableId::Entradas), 0);
    EXPECT_EQ(table()->rowCount(), 0);
    // The next receipt gets the same folio and finds no line under it.
    click(list_, L::kInsert);
    f = receiptForm();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(text(f, F::kFolio), "5");
    EXPECT_EQ(lines(f, F::kLines)->rowCount(), 0);
    cancelNew(f);
    closeList();
}

// An unknown supplier code stops "Aceptar" at the supplier list (once:
// leaving the code for "Aceptar" does not open it as well); closed there,
// the focus waits on the code. "Cancelar" then cancels at once, as it does
// straight after typing the code: no supplier list first.
TEST_F(ReceiptUi, AnUnknownSupplierOpensTheListOnceAndCancelarCancelsAtOnce) {
    start(BrowseEntradas);
    for (const bool aceptarFirst : {true, false}) {
        SCOPED_TRACE(aceptarFirst ? "after Aceptar stopped" : "straight after typing");
        click(list_, L::kInsert);
        ui::Window* f = receiptForm();
        ASSERT_NE(f, nullptr);
        addLine(f, QStringLiteral("10"), {}, QStringLiteral("1"), QStringLiteral("2"));
        auto* code = f->at(F::kProveedor).as<QLineEdit>();
        code->setFocus();
        ASSERT_TRUE(runFor([&] { return code->hasFocus(); }));
        QTest::keyClicks(code, QStringLiteral("NADIE"));
        if (aceptarFirst) {
            click(f, F::kOk);
            ui::Window* suppliers = formOn(thread_, f);
            ASSERT_NE(suppliers, nullptr);
            EXPECT_EQ(suppliers->caption(), QStringLiteral("Proveedores"));
            click(suppliers, app::kBrowseClose);
            ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == f; }));
            settle();
            EXPECT_EQ(ui::Window::topOf(thread_), f) << "the supplier list opened twice";
            EXPECT_TRUE(f->at(F::kProveedor).hasFocus());
            EXPECT_EQ(count(TableId::Kardex), 0);
        }
        presenter.clear();
        presenter.answer(Answer::Yes);
        click(f, F::kCancel);
        ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; })) << "a supplier list came first";
        EXPECT_EQ(presenter.count(), 1u);  // "¿Desea Ud.cancelar?" only
        EXPECT_EQ(count(TableId::Entradas), 0);
        EXPECT_EQ(count(TableId::DetEntradas), 0);
    }
    closeList();
}

// A folio a stored receipt has: no line can be added under it, and
// "Aceptar" is refused with message 15.
TEST_F(ReceiptUi, AUsedFolioIsRefused) {
    storeReceipt({.folio = 5, .lines = {{10, Decimal(1), D(100)}}});
    start(BrowseEntradas);
    click(list_, L::kInsert);
    ui::Window* f = receiptForm();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(text(f, F::kFolio), "6");  // the counter moved past the stored one
    enter(f, F::kFolio, QStringLiteral("5"));
    click(f, F::kLineInsert);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, "Folio no válido");
    EXPECT_EQ(ui::Window::topOf(thread_), f);  // no line form
    presenter.clear();
    click(f, F::kOk);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(messageNumber(presenter.last()), 15);
    EXPECT_NE(presenter.last().text.find("ENT:KeyFolio"), std::string::npos);
    EXPECT_EQ(ui::Window::topOf(thread_), f);
    cancelNew(f);
    closeList();
}

TEST_F(ReceiptUi, TheLineFormRefusesUnknownArticlesAndBadQuantities) {
    start(BrowseEntradas);
    click(list_, L::kInsert);
    ui::Window* f = receiptForm();
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
    enter(l, R::kCodigo, QStringLiteral("10"));
    EXPECT_EQ(text(l, R::kDescripcion), "TORNILLO 1/4");
    EXPECT_EQ(text(l, R::kUm), "PIEZA");
    EXPECT_EQ(text(l, R::kBarras), "750100");
    enter(l, R::kCantidad, QStringLiteral("2.50"));
    enter(l, R::kCosto, QStringLiteral("0.35"));
    EXPECT_EQ(text(l, R::kImporte), "0.88");
    enter(l, R::kCantidad, QStringLiteral("0"));
    click(l, R::kOk);
    ASSERT_EQ(presenter.count(), 1u);
    EXPECT_EQ(presenter.last().caption, "Cantidad no válida");
    EXPECT_EQ(ui::Window::topOf(thread_), l);
    presenter.clear();
    enter(l, R::kCantidad, QStringLiteral("1"));
    // A negative cost is refused by the entry itself (its picture has no
    // sign), and "Aceptar" does not store it.
    enter(l, R::kCosto, QStringLiteral("-1"));
    click(l, R::kOk);
    ASSERT_GE(presenter.count(), 1u);
    EXPECT_NE(presenter.shown().front().box.text.find("negativos"), std::string::npos);
    EXPECT_EQ(ui::Window::topOf(thread_), l);
    // Cancelling the new line removes the line the list had added.
    presenter.answer(Answer::Yes);
    click(l, R::kCancel);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == f; }));
    EXPECT_EQ(count(TableId::DetEntradas), 0);
    EXPECT_FALSE(f->at(F::kFolio).readOnly());
    cancelNew(f);
    closeList();
}

// The lines below follow the receipt the mouse chooses, as they follow the
// keys: at the size the list opened at and grown.
TEST_F(ReceiptUi, TheLinesFollowTheReceiptChosenWithTheMouse) {
    storeReceipt({.folio = 31, .supplier = "PROV1", .lines = {{10, Decimal(2), D(1250)}}});
    storeReceipt({.folio = 32, .supplier = "PROV1", .lines = {{20, Decimal(1), D(300)}}});
    start(BrowseEntradas);
    auto clickRow = [&](int row) {
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, table()->visualRect(table()->model()->index(row, 0)).center());
        settle();
    };
    const std::vector<std::string> of31{"TORNILLO 1/4"}, of32{"TUERCA 1/4"};
    EXPECT_EQ(cells(lines(list_, L::kLinesList), 1), of31);
    for (const bool grown : {false, true}) {
        if (grown) {
            list_->topWidget()->resize(list_->designedSize() * 5 / 4);
            settle();
        }
        clickRow(1);
        EXPECT_EQ(cells(lines(list_, L::kLinesList), 1), of32) << grown;
        clickRow(0);
        EXPECT_EQ(cells(lines(list_, L::kLinesList), 1), of31) << grown;
    }
    closeList();
}

// Started again while open: the open list comes forward, nothing else opens.
TEST_F(ReceiptUi, TheListStartedTwiceKeepsOneWindow) {
    start(BrowseEntradas);
    bool second = false;
    threads::start(
        [&second] {
            BrowseEntradas();
            second = true;
        },
        512 * 1024);
    ASSERT_TRUE(runFor([&] { return second; }));
    settle();
    EXPECT_TRUE(list_->isOpen());
    int lists = 0;
    for (ui::Window* w : ui::Window::openWindows())
        if (w->caption() == QString::fromUtf8("Entradas de Almacén")) ++lists;
    EXPECT_EQ(lists, 1);
    closeList();
}

// Receipts are looked at, never changed or deleted.
TEST_F(ReceiptUi, ChangeAndDeleteAreRefusedAndViewChangesNothing) {
    storeReceipt({.folio = 40, .supplier = "PROV1", .lines = {{10, Decimal(1), D(100)}}});
    for (const auto& [request, message] : {std::pair{kChange, 41}, std::pair{kDelete, 14}}) {
        presenter.clear();
        uint8_t response = 0;
        onThread([&, request = request] {
            threadState().callRequest = request;
            UpdateEntradas();
            response = threadState().callResponse;
        });
        EXPECT_EQ(response, kCancelled);
        ASSERT_EQ(presenter.count(), 1u);
        EXPECT_EQ(messageNumber(presenter.last()), message);
    }
    presenter.clear();
    start(BrowseEntradas);
    click(list_, L::kView);
    ui::Window* f = receiptForm();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->caption(), QStringLiteral("Consulta"));
    EXPECT_EQ(text(f, F::kFolio), "40");
    EXPECT_TRUE(f->at(F::kFolio).readOnly());
    EXPECT_TRUE(f->at(F::kLineInsert).hidden());
    EXPECT_TRUE(f->at(F::kLlamar).disabled());
    EXPECT_EQ(cells(lines(f, F::kLines), 0), (std::vector<std::string>{"10"}));
    click(f, F::kOk);
    ASSERT_TRUE(runFor([&] { return ui::Window::topOf(thread_) == list_; }));
    EXPECT_EQ(count(TableId::Kardex), 1);
    EXPECT_TRUE(presenter.empty());
    closeList();
}

}  // namespace
}  // namespace tv::movements::receipts
