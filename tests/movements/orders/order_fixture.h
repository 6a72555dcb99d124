#pragma once
// Orders for the posting tests: a header in the thread's Ordenes buffer and
// its lines stored under its folio, as the order form leaves them.
#include <string>
#include <vector>

#include "data/thread_table_set.h"
#include "movements/orders/order_posting.h"
#include "tests/movements/support/document_db.h"

namespace tv::movements::orders::test {

using movements::test::D;

struct Line {
    long long article = 0;
    Decimal quantity{};
    Decimal cost{};
};

struct Order {
    long long folio = 0;
    long date = 0;
    long long term = 0;
    std::string supplier{};
    std::string madeBy{};
    std::string reference{};
    std::string priority{};
    std::vector<Line> lines{};
};

// Stores the lines (DOR:ORDEN = the folio) and puts the header in the
// Ordenes buffer of `tables`; with `pending`, the header is first reserved
// as the order list does when "&Agregar" is pressed.
inline void Enter(data::ThreadTableSet& tables, const Order& o, bool pending = true) {
    data::TableGateway& lines = tables.gateway(data::TableId::DetOrdenes);
    const data::TableDecl& dor = lines.declaration();
    for (const Line& l : o.lines) {
        lines.BUFFER.clear();
        lines.BUFFER.set(dor.fieldIndex("DOR:ORDEN"), Value(o.folio));
        lines.BUFFER.set(dor.fieldIndex("DOR:Articulo"), Value(l.article));
        lines.BUFFER.set(dor.fieldIndex("DOR:Cantidad"), Value(l.quantity));
        lines.BUFFER.set(dor.fieldIndex("DOR:Costo"), Value(l.cost));
        lines.InsertRecord();
    }
    data::TableGateway& header = tables.gateway(data::TableId::Ordenes);
    if (pending) header.PrepareNewRecord();
    else header.BUFFER.clear();
    const data::TableDecl& ord = header.declaration();
    Record& h = header.BUFFER;
    h.set(ord.fieldIndex("ORD:Folio"), Value(o.folio));
    h.set(ord.fieldIndex("ORD:Fecha"), Value(o.date));
    h.set(ord.fieldIndex("ORD:Plazo"), Value(o.term));
    h.set(ord.fieldIndex("ORD:Entrega"), Value(DeliveryDate(o.date, Decimal(o.term))));
    h.set(ord.fieldIndex("ORD:Proveedor"), Value(o.supplier));
    h.set(ord.fieldIndex("ORD:Elabora"), Value(o.madeBy));
    h.set(ord.fieldIndex("ORD:Referencia"), Value(o.reference));
    h.set(ord.fieldIndex("ORD:Prioridad"), Value(o.priority));
}

}  // namespace tv::movements::orders::test
