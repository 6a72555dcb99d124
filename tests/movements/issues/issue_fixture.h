#pragma once
// Issues for the posting tests: a header in the thread's Salidas buffer and
// its lines stored under its folio, as the issue form leaves them.
#include <string>
#include <vector>

#include "data/thread_table_set.h"
#include "movements/issues/issue_posting.h"
#include "tests/movements/support/document_db.h"
#include "tests/movements/support/document_entry.h"

namespace tv::movements::issues::test {

using data::TableId;
using movements::test::D;
using Line = movements::test::SeedLine;

struct Issue {
    long long folio = 0;
    long long type = 0;
    long date = 0;
    long long department = 0;
    std::string supplier{};
    std::string reference{};
    std::vector<Line> lines{};
};

// Stores the lines (DES:SALIDA = the folio) and puts the header in the
// Salidas buffer of `tables`; with `pending`, the header is first reserved
// as the issue list does when "&Agregar" is pressed.
inline void Enter(data::ThreadTableSet& tables, const Issue& i, bool pending = true) {
    movements::test::EnterDocument(
        tables,
        {TableId::Salidas, TableId::DetSalidas, "DES:SALIDA", "DES:CodigoArticulo", "DES:Cantidad",
         "DES:CostoUnitario"},
        i.folio, i.lines,
        {{"SAL:Folio", Value(i.folio)}, {"SAL:TIPO", Value(i.type)}, {"SAL:Fecha", Value(i.date)},
         {"SAL:RECIBE", Value(i.department)}, {"SAL:PROVEEDOR", Value(i.supplier)},
         {"SAL:Referencia", Value(i.reference)}},
        pending);
}

}  // namespace tv::movements::issues::test
