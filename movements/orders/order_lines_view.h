#pragma once
// What the order list and the order form show of an order's lines alike:
// the lines of the order in the thread's Ordenes buffer with their article
// and its unit, and their amount ("loc:importe").
#include "movements/common/document_lines_view.h"

namespace tv::movements::orders {

inline app::BrowseColumn OrderAmountColumn() {
    return LineAmountColumn("loc:importe", data::TableId::DetOrdenes, "DOR:Cantidad", "DOR:Costo");
}

// The caller gives the format, the columns and the buttons.
inline app::BrowseListSetup OrderLinesList(int listControl) {
    app::BrowseListSetup s;
    s.listControl = listControl;
    s.primary = data::TableId::DetOrdenes;
    s.joins = {{data::TableId::Articulo, "ART:KeyNoArt", {{"ART:NoArt", "DOR:Articulo"}}},
               {data::TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}}};
    s.orders = {DocumentLinesOrder("DOR:KeyOrden", data::TableId::Ordenes)};
    return s;
}

}  // namespace tv::movements::orders
