#pragma once
// A document as its form leaves it before "Aceptar": the lines stored
// under the folio, the header in the thread's buffer (reserved first, as
// the list does when "&Agregar" is pressed, when `pending`).
#include <vector>

#include "data/thread_table_set.h"
#include "platform/types/decimal.h"
#include "tests/movements/support/document_db.h"

namespace tv::movements::test {

struct DocumentShape {
    data::TableId header{}, lines{};
    const char* link = nullptr;       // "DEN:ENTRADA"
    const char* article = nullptr;    // "DEN:CodigoArticulo"
    const char* quantity = nullptr;   // "DEN:Cantidad"
    const char* cost = nullptr;       // "DEN:CostoUnitario"
};

struct SeedLine {
    long long article = 0;
    Decimal quantity{};
    Decimal cost{};
};

inline void EnterDocument(data::ThreadTableSet& tables, const DocumentShape& shape, long long folio,
                          const std::vector<SeedLine>& lines, const FieldValues& header, bool pending) {
    data::TableGateway& lg = tables.gateway(shape.lines);
    const data::TableDecl& ld = lg.declaration();
    for (const SeedLine& l : lines) {
        lg.BUFFER.clear();
        lg.BUFFER.set(ld.fieldIndex(shape.link), Value(folio));
        lg.BUFFER.set(ld.fieldIndex(shape.article), Value(l.article));
        lg.BUFFER.set(ld.fieldIndex(shape.quantity), Value(l.quantity));
        lg.BUFFER.set(ld.fieldIndex(shape.cost), Value(l.cost));
        lg.InsertRecord();
    }
    data::TableGateway& hg = tables.gateway(shape.header);
    if (pending) hg.PrepareNewRecord();
    else hg.BUFFER.clear();
    for (const auto& [field, value] : header) hg.BUFFER.set(hg.declaration().fieldIndex(field), value);
}

}  // namespace tv::movements::test
