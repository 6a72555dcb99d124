// BrowseOrdenes: the purchase orders, and below them the lines of the
// selected one with what has been received of each.
#include "app/form/form_buttons.h"
#include "app/frame/procedures.h"
#include "app/globals.h"
#include "app/list/find.h"
#include "movements/common/document_list.h"
#include "movements/orders/order_controls.h"
#include "movements/orders/order_lines_view.h"
#include "movements/orders/order_posting.h"
#include "movements/orders/orders.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "platform/ui/window.h"

namespace tv::movements::orders {

using data::TableId;
using ui::ControlKind;
using namespace list_ui;

namespace {

constexpr const char* kWizardProcedure = "Asistente";
// Wide enough for every column of both lists ("% Surtido", "Importe").
constexpr int kWidth = 830;

// The list window: it also shows the selected order's supplier, whose names
// open the supplier in view mode when clicked, prints with the supplier's
// city line, and runs the order wizard.
class OrderList : public DocumentList {
public:
    explicit OrderList(ui::Window& w) : DocumentList("BrowseOrdenes", w, kChange, kDelete) {}

    int DispatchEvent(const ui::WindowEvent& e) override {
        if (e.kind == ui::EventKind::Accepted && !Closed()) {
            switch (e.control) {
                case kSupplierArea:
                    ViewSupplier();
                    return 0;
                case kWizard:
                    RunWizard();
                    return 0;
                case kPrint:
                    // The printout shows the city of the selected order's supplier.
                    if (List(0).selectedLine() != nullptr && List(0).ReadSelected()) SetSupplierCity();
                    break;
                default:
                    break;
            }
        }
        return DocumentList::DispatchEvent(e);
    }

protected:
    void ShowSelected(bool read) override { ShowSupplierNames(read, kSupplierName, kSupplierName2); }

private:
    std::string SupplierText(const char* field) const {
        const Record& s = data::tables().buffer(TableId::Proveedores);
        return std::string(rtrim(s.get(data::decl(TableId::Proveedores).fieldIndex(field)).asText()));
    }

    void SetSupplierCity() {
        app::globals().CIUDADPROVEEDOR =
            fitText(SupplierCityLine(SupplierText("PVD:Ciudad"), SupplierText("PVD:Estado"), SupplierText("PVD:Pais")),
                    app::Globals::kCiudadProveedorWidth);
    }

    // The wizard runs on this thread, over this window, until it closes;
    // then the list shows the order it left in the Ordenes buffer.
    void RunWizard() {
        UpdateComponents();
        threadState().callRequest = 0;
        app::FindProcedure(kWizardProcedure)();
        threadState().callRequest = 0;
        if (Closed()) return;
        app::BrowseList& orders = List(0);
        data::TableGateway& g = data::tables().gateway(TableId::Ordenes);
        const Record& o = g.BUFFER;
        bool located = false;
        if (g.UseOnDemand() == data::kDone && g.file() != nullptr) {
            Record probe = o;
            const long long folio = o.number(g.declaration().fieldIndex("ORD:Folio")).toInt64();
            if (folio != 0 && g.file()->readByKey(g.declaration().keyIndex("ORD:KeyFolio"), probe).ok())
                located = orders.LocateRow(g.file()->currentRow());
        }
        if (!located) orders.ReloadInPlace();
        orders.SignalNewSelection();
        ShowSelectedAgain();
        Win().at(kHeaderList).focus();
    }
};

app::BrowseListSetup HeaderListSetup() {
    app::BrowseListSetup s;
    s.listControl = kHeaderList;
    s.primary = TableId::Ordenes;
    s.joins = {{TableId::Proveedores, "PVD:KeyCodigo", {{"PVD:Codigo", "ORD:Proveedor"}}}};
    s.format =
        "44R(2)|M*~Folio~@n_10@56R(2)|M*~Fecha~@d6@30R(2)|M*~Plazo~@n-4.0@56R(2)|M*~Entrega~@d6@"
        "90L(2)|M*~Elabora~@s40@50L(2)|M*~Proveedor~@s15@60L(2)|M*~Referencia~@s20@36L(2)|M*~Prioridad~@s5@"
        "44R(2)|M*~% Surtido~@n-4.0@";
    s.columns = {{"ORD:Folio"},     {"ORD:Fecha"},      {"ORD:Plazo"},     {"ORD:Entrega"},     {"ORD:Elabora"},
                 {"ORD:Proveedor"}, {"ORD:Referencia"}, {"ORD:Prioridad"}, {"ORD:PorcSurtido"}};
    s.orders = {{"ORD:KeyFolio", app::ScrollStepKind::Integer, "ORD:Folio", app::LocatorKind::Entry, kLocate}};
    s.findColumns =
        "Folio|@n_10|ORD:Folio|Fecha|@d6|ORD:Fecha|Plazo|@n-4.0|ORD:Plazo|Entrega|@d6|ORD:Entrega|Elabora|@s40|"
        "ORD:Elabora|Proveedor|@s10|ORD:Proveedor|Referencia|@s20|ORD:Referencia|Prioridad|@s5|ORD:Prioridad|"
        "% Surtido|@n-4.0|ORD:PorcSurtido|";
    s.headerSort = false;
    s.buttons.insert = kInsert;
    s.buttons.change = kChange;
    s.buttons.del = kDelete;
    s.buttons.view = kView;
    return s;
}

app::BrowseListSetup LinesListSetup() {
    app::BrowseListSetup s = OrderLinesList(kLinesList);
    s.format =
        "44R(2)|M*~Articulo~@n_10@150L(2)|M*~Descripcion~@s40@64L(2)|M*~Unidad de Medida~@s40@"
        "50R(2)|M*~Cantidad~@n10.2@50R(2)|M*~Surtido~@n10.2@50R(2)|M*~Costo~@n10.2@60R(2)|M*~Importe~@n-14.2@";
    s.columns = {{"DOR:Articulo"}, {"ART:Descripcion"}, {"UNI:UM"},     {"DOR:Cantidad"},
                 {"DOR:Recibido"}, {"DOR:Costo"},       OrderAmountColumn()};
    s.findColumns =
        "Articulo|@n_10|dor:Articulo|Descripcion|@s40|ART:Descripcion|Unidad de Medida|@s40|UNI:UM|Cantidad|@n10.2|"
        "dor:Cantidad|Surtido|@n10.2|dor:Recibido|Costo|@n10.2|dor:Costo|Importe|@n-14.2|loc:importe|";
    s.buttons.print = kPrint;
    return s;
}

}  // namespace

void BrowseOrdenes() {
    ui::Window w(QStringLiteral("Ordenes de compra"), QSize(kWidth, 540), ui::Window::Placement::FrameChild);
    app::SetTipAndStatus(w.add({ControlKind::List, kHeaderList, "?BROWSE:1", {}, QRect(8, 8, kWidth - 16, 180)}),
                         "Ordenes de compra registradas");
    w.add({ControlKind::Prompt, kLocatePrompt, "?LOCATE:Prompt", QStringLiteral("&Localizar:"), QRect(8, 198, 70, 20)});
    app::SetTipAndStatus(w.add({ControlKind::Entry, kLocate, "?LOCATE", {}, QRect(80, 196, 100, 22)}),
                         "Folio de la orden de compra a localizar");
    struct Button {
        int control;
        const char* name;
        const char* text;
        const char* tipText;
        const char* icon;
        int x;
    };
    for (const Button& b : {Button{kView, "?VIEW:2", "&Ver", "Consultar orden de compra", "WAView.ico", 312},
                            Button{kInsert, "?INSERT:3", "&Agregar", "Agregar orden de compra", "WAINSERT.ICO", 400},
                            Button{kChange, "?CHANGE:3", "&Cambiar", "Modificar registro", "WAChange.ICO", 488},
                            Button{kDelete, "?DELETE:3", "&Borrar", "Borrar registro", "WADELETE.ICO", 576}}) {
        ui::Control& c =
            w.add({ControlKind::Button, b.control, b.name, QString::fromUtf8(b.text), QRect(b.x, 194, 84, 28)});
        app::SetTipAndStatus(c, b.tipText);
        c.setIcon(ui::programIcon(b.icon));
    }
    w.add({ControlKind::Sheet, kSheet, "?CURRENTTAB", {}, QRect(4, 228, kWidth - 8, 262)});
    w.add({ControlKind::Tab, kTab, "?TAB1", QStringLiteral("Por folio"), {}, kSheet});
    app::SetTipAndStatus(w.add({ControlKind::List, kLinesList, "?BROWSE:2", {}, QRect(6, 6, kWidth - 26, 176), kTab}),
                         "Productos de la orden");
    w.add({ControlKind::FixedText, kSupplierLabel, "?STRING2", QStringLiteral("Proveedor:"), QRect(8, 192, 70, 18), kTab});
    w.add({ControlKind::DisplayString, kSupplierName, "?PVD:NOMBRE", {}, QRect(80, 192, 340, 18), kTab});
    w.add({ControlKind::DisplayString, kSupplierName2, "?PVD:NOMBRE2", {}, QRect(80, 210, 340, 18), kTab});
    // Over the two names: a click there shows the supplier.
    app::SetTipAndStatus(w.add({ControlKind::Region, kSupplierArea, "?REGION1", {}, QRect(78, 190, 344, 40), kTab}),
                         "Ver el proveedor");
    const int y = 500;
    w.add({ControlKind::FixedText, kHint, "?STRING1", QString::fromUtf8(list::findtext::kHint), QRect(8, y + 6, 80, 18)});
    ui::Control& print = w.add({ControlKind::Button, kPrint, "?PRINT", QStringLiteral("Im&primir"), QRect(96, y, 96, 28)});
    app::SetTipAndStatus(print, "Imprimir la orden de compra");
    print.setIcon(ui::programIcon("WAPrint.ico"));
    ui::Control& wizard = w.add({ControlKind::Button, kWizard, "?ASISTENTE",
                                 QStringLiteral("Asistente para generar orden de compra"), QRect(200, y, 300, 28)});
    app::SetTipAndStatus(wizard, "Iniciar asistente para generar orden de compra");
    ui::Control& close = w.add({ControlKind::Button, kClose, "?CLOSE", QStringLiteral("Cerrar"), QRect(kWidth - 92, y, 84, 28)});
    app::SetTipAndStatus(close, "Cierra la ventana");
    close.setIcon(ui::programIcon("WAClose.ico"));

    OrderList c(w);
    c.SetCloseButton(kClose);
    app::BrowseList& headers = c.AddList(HeaderListSetup());
    app::BrowseList& lines = c.AddList(LinesListSetup());
    headers.AddDependent(lines);
    c.SetProcedure(1, UpdateOrdenes);
    c.SetProcedure(2, ImprimirOrdenCompra);
    app::RunProcedure(c);
}

}  // namespace tv::movements::orders
