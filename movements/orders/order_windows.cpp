#include "movements/orders/order_windows.h"

#include "data/thread_table_set.h"
#include "movements/common/stock.h"

namespace tv::movements::orders {

using data::TableId;

void Tip(ui::Control& c, const char* text) {
    c.setTip(QString::fromUtf8(text));
    c.setStatusText(QString::fromUtf8(text));
}

void AddOkCancel(ui::Window& w, int ok, int cancel, int x, int y) {
    ui::Control& o = w.add({ui::ControlKind::Button, ok, "?OK", QStringLiteral("Aceptar"), QRect(x, y, 86, 28)});
    Tip(o, "Acepta y guarda los datos");
    o.setIcon(ui::programIcon("WAOk.ICO"));
    ui::Control& c =
        w.add({ui::ControlKind::Button, cancel, "?CANCEL", QStringLiteral("Cancelar"), QRect(x + 90, y, 86, 28)});
    Tip(c, "Cancela la operación");
    c.setIcon(ui::programIcon("WACancel.ico"));
}

app::BrowseColumn AmountColumn() {
    const data::TableDecl& dor = data::decl(TableId::DetOrdenes);
    const int qty = dor.fieldIndex("DOR:Cantidad"), cost = dor.fieldIndex("DOR:Costo");
    return {"loc:importe", [qty, cost] {
                const Record& line = data::tables().buffer(TableId::DetOrdenes);
                return Value(LineAmount(line.get(qty), line.get(cost)));
            }};
}

app::BrowseListSetup OrderLinesList(int listControl) {
    app::BrowseListSetup s;
    s.listControl = listControl;
    s.primary = TableId::DetOrdenes;
    s.joins = {{TableId::Articulo, "ART:KeyNoArt", {{"ART:NoArt", "DOR:Articulo"}}},
               {TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}}};
    app::BrowseOrderSetup byOrder("DOR:KeyOrden", app::ScrollStepKind::Integer, "");
    byOrder.rangeHeader = TableId::Ordenes;
    s.orders = {byOrder};
    return s;
}

}  // namespace tv::movements::orders
