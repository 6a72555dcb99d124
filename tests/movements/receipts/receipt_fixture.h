#pragma once
// Receipts for the posting tests: a header in the thread's Entradas buffer
// and its lines stored under its folio, as the receipt form leaves them.
#include <string>
#include <vector>

#include "data/thread_table_set.h"
#include "movements/receipts/receipt_posting.h"
#include "tests/movements/support/document_db.h"

namespace tv::movements::receipts::test {

using movements::test::D;

struct Line {
    long long article = 0;
    Decimal quantity{};
    Decimal cost{};
};

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
    data::TableGateway& lines = tables.gateway(data::TableId::DetEntradas);
    const data::TableDecl& den = lines.declaration();
    for (const Line& l : r.lines) {
        lines.BUFFER.clear();
        lines.BUFFER.set(den.fieldIndex("DEN:ENTRADA"), Value(r.folio));
        lines.BUFFER.set(den.fieldIndex("DEN:CodigoArticulo"), Value(l.article));
        lines.BUFFER.set(den.fieldIndex("DEN:Cantidad"), Value(l.quantity));
        lines.BUFFER.set(den.fieldIndex("DEN:CostoUnitario"), Value(l.cost));
        lines.InsertRecord();
    }
    data::TableGateway& header = tables.gateway(data::TableId::Entradas);
    if (pending) header.PrepareNewRecord();
    else header.BUFFER.clear();
    const data::TableDecl& ent = header.declaration();
    Record& h = header.BUFFER;
    h.set(ent.fieldIndex("ENT:Folio"), Value(r.folio));
    h.set(ent.fieldIndex("ENT:TIPO"), Value(r.type));
    h.set(ent.fieldIndex("ENT:Fecha"), Value(r.date));
    h.set(ent.fieldIndex("ENT:PROVEEDOR"), Value(r.supplier));
    h.set(ent.fieldIndex("ENT:OrdenCompra"), Value(r.order));
    h.set(ent.fieldIndex("ENT:Referencia"), Value(r.reference));
}

}  // namespace tv::movements::receipts::test
