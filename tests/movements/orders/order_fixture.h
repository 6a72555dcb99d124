#pragma once
// Orders for the posting tests: a header in the thread's Ordenes buffer and
// its lines stored under its folio, as the order form leaves them.
#include <string>
#include <vector>

#include "data/thread_table_set.h"
#include "movements/orders/order_posting.h"
#include "tests/movements/support/document_db.h"
#include "tests/movements/support/document_entry.h"

namespace tv::movements::orders::test {

using data::TableId;
using movements::test::D;

using Line = movements::test::SeedLine;

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
    movements::test::EnterDocument(
        tables, {TableId::Ordenes, TableId::DetOrdenes, "DOR:ORDEN", "DOR:Articulo", "DOR:Cantidad", "DOR:Costo"},
        o.folio, o.lines,
        {{"ORD:Folio", Value(o.folio)}, {"ORD:Fecha", Value(o.date)}, {"ORD:Plazo", Value(o.term)},
         {"ORD:Entrega", Value(DeliveryDate(o.date, Decimal(o.term)))}, {"ORD:Proveedor", Value(o.supplier)},
         {"ORD:Elabora", Value(o.madeBy)}, {"ORD:Referencia", Value(o.reference)},
         {"ORD:Prioridad", Value(o.priority)}},
        pending);
}

}  // namespace tv::movements::orders::test
