#pragma once
// Receipts for the posting tests: a header in the thread's Entradas buffer
// and its lines stored under its folio, as the receipt form leaves them.
#include <string>
#include <vector>

#include "data/thread_table_set.h"
#include "movements/receipts/receipt_posting.h"
#include "tests/movements/support/document_db.h"
#include "tests/movements/support/document_entry.h"

namespace tv::movements::receipts::test {

using data::TableId;
using movements::test::D;

using Line = movements::test::SeedLine;

struct Receipt {
    long long folio = 0;
    long long type = 0;
    long date = 0;
    std::string supplier{};
    long long order = 0;
    std::string reference{};
    std::vector<Line> lines{};
};

// Stores the lines (DEN:ENTRADA = the folio) and puts the header in the
// Entradas buffer of `tables`; with `pending`, the header is first reserved
// as the receipt list does when "&Agregar" is pressed.
inline void Enter(data::ThreadTableSet& tables, const Receipt& r, bool pending = true) {
    movements::test::EnterDocument(
        tables,
        {TableId::Entradas, TableId::DetEntradas, "DEN:ENTRADA", "DEN:CodigoArticulo", "DEN:Cantidad",
         "DEN:CostoUnitario"},
        r.folio, r.lines,
        {{"ENT:Folio", Value(r.folio)}, {"ENT:TIPO", Value(r.type)}, {"ENT:Fecha", Value(r.date)},
         {"ENT:PROVEEDOR", Value(r.supplier)}, {"ENT:OrdenCompra", Value(r.order)},
         {"ENT:Referencia", Value(r.reference)}},
        pending);
}

}  // namespace tv::movements::receipts::test
