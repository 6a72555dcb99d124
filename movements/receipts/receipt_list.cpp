// BrowseEntradas: the receipts, and below them the lines of the selected one.
#include "app/browse/browse_controller.h"
#include "app/form/form_buttons.h"
#include "movements/common/document_list.h"
#include "app/list/find.h"
#include "catalog/suppliers.h"
#include "movements/common/stock.h"
#include "movements/receipts/receipt_controls.h"
#include "movements/receipts/receipt_lines_view.h"
#include "movements/receipts/receipts.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "platform/ui/window.h"

namespace tv::movements::receipts {

using data::TableId;
using ui::ControlKind;
using namespace list_ui;

namespace {

// The list window: it also shows the selected receipt's supplier, whose
// names open the supplier in view mode when clicked.
class ReceiptList : public DocumentList {
public:
    explicit ReceiptList(ui::Window& w) : DocumentList("BrowseEntradas", w, kChange, kDelete) {}

    int DispatchEvent(const ui::WindowEvent& e) override {
        if (e.kind == ui::EventKind::Accepted && e.control == kSupplierArea) {
            ViewSupplier();
            return 0;
        }
        return DocumentList::DispatchEvent(e);
    }

protected:
    // The selected receipt's supplier.
    void ShowSelected(bool read) override { ShowSupplierNames(read, kSupplierName, kSupplierName2); }
};

app::BrowseListSetup HeaderListSetup() {
    app::BrowseListSetup s;
    s.listControl = kHeaderList;
    s.primary = TableId::Entradas;
    s.joins = {{TableId::Proveedores, "PVD:KeyCodigo", {{"PVD:Codigo", "ENT:PROVEEDOR"}}},
               {TableId::TipEntradas, "TEN:KeyCodigo", {{"TEN:Codigo", "ENT:TIPO"}}}};
    s.format =
        "46R(2)|M*~Id~@n_10@50R(2)|M*~Folio~@n_10@[23R(2)|M*@n_3@120L(2)|M*@s30@]|M~Tipo~49R(2)|M*~Fecha~@d6@"
        "51R(2)|M*~Orden Compra~@n_10@80L(2)|M*~Referencia~@s20@";
    s.columns = {{"ENT:Id"},    {"ENT:Folio"},       {"ENT:TIPO"},      {"TEN:Descripcion"},
                 {"ENT:Fecha"}, {"ENT:OrdenCompra"}, {"ENT:Referencia"}};
    s.orders = {{"ENT:KeyFolio", app::ScrollStepKind::Integer, "ENT:Folio"}};
    s.findColumns =
        "Id|@n_10|ENT:Id|Folio|@n_10|ENT:Folio|Fecha|@d6|ENT:Fecha|Orden Compra|@n_10|ENT:OrdenCompra|Referencia|"
        "@s20|ENT:Referencia|";
    s.buttons.insert = kInsert;
    s.buttons.change = kChange;
    s.buttons.del = kDelete;
    s.buttons.view = kView;
    return s;
}

app::BrowseListSetup LinesListSetup() {
    app::BrowseListSetup s;
    s.listControl = kLinesList;
    s.primary = TableId::DetEntradas;
    s.joins = {{TableId::Articulo, "ART:KeyNoArt", {{"ART:NoArt", "DEN:CodigoArticulo"}}},
               {TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}}};
    s.format =
        "51R(2)|M*~Codigo Articulo~@n_10@211L(2)|M*~Descripcion~@s70@61L(2)|M*~UM~@s40@44R(2)|M*~Cantidad~@n10.2@"
        "40R(2)|M*~Costo~@n10.2@56R(2)|M*~Importe~@n-14.2@";
    s.columns = {{"DEN:CodigoArticulo"}, {"ART:Descripcion"}, {"UNI:UM"}, {"DEN:Cantidad"}, {"DEN:CostoUnitario"},
                 ReceiptAmountColumn("loc:importe")};
    s.orders = {ReceiptLinesOrder()};
    s.findColumns =
        "Codigo Articulo|@n_10|den:CodigoArticulo|Descripcion|@s70|ART:Descripcion|UM|@s40|UNI:UM|Cantidad|@n10.2|"
        "den:Cantidad|Costo|@n10.2|den:CostoUnitario|Importe|@n-14.2|loc:importe|";
    s.headerSort = false;
    s.buttons.print = kPrint;
    return s;
}

}  // namespace

void BrowseEntradas() {
    ui::Window w(QString::fromUtf8("Entradas de Almacén"), QSize(868, 480), ui::Window::Placement::FrameChild);
    AddDocumentListControls(w, {.headerTip = "Entradas registradas", .linesTip = "Articulos de la entrada",
                                .viewTip = "Consultar entrada", .printTip = "Imprimir entrada", .buttonsY = 392});
    w.add({ControlKind::FixedText, kSupplierLabel, "?STRING2", QStringLiteral("Proveedor:"), QRect(8, 432, 70, 18)});
    w.add({ControlKind::DisplayString, kSupplierName, "?PVD:NOMBRE", {}, QRect(80, 432, 300, 18)});
    w.add({ControlKind::DisplayString, kSupplierName2, "?PVD:NOMBRE2", {}, QRect(80, 452, 300, 18)});
    // Over the two names: a click there shows the supplier.
    app::SetTipAndStatus(w.add({ControlKind::Region, kSupplierArea, "?REGION1", {}, QRect(78, 430, 304, 42)}),
                         "Ver el proveedor");

    ReceiptList c(w);
    c.SetCloseButton(kClose);
    app::BrowseList& headers = c.AddList(HeaderListSetup());
    app::BrowseList& lines = c.AddList(LinesListSetup());
    headers.AddDependent(lines);
    c.SetProcedure(1, UpdateEntradas);
    c.SetProcedure(2, ImprimirEntrada);
    app::RunProcedure(c);
}

}  // namespace tv::movements::receipts
