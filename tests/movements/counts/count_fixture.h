#pragma once
// Counts for the adjustment tests: a count header with the id asked for and
// its lines, stored as the count forms leave them.
#include <string>
#include <vector>

#include "data/thread_table_set.h"
#include "data/transaction.h"
#include "movements/counts/count_adjustment.h"
#include "tests/movements/support/document_db.h"

namespace tv::movements::counts::test {

using movements::test::D;

struct CountLine {
    long long article = 0;
    Decimal counted{};
    std::string reference{};
};

struct CountSeed {
    long long id = 0;
    long date = 0;
    std::string description{};
    std::vector<CountLine> lines{};
};

// Stores the count's header under its id and its lines (DFI:INVENTARIO = the id).
inline void StoreCount(data::ThreadTableSet& tables, const CountSeed& c) {
    data::TableGateway& h = tables.gateway(data::TableId::Fisico);
    ASSERT_EQ(h.UseOnDemand(), data::kDone);
    const data::TableDecl& fis = h.declaration();
    Record header(h.BUFFER.layoutPtr());
    header.clear();
    header.set(fis.fieldIndex("FIS:ID"), Value(c.id));
    header.set(fis.fieldIndex("FIS:Fecha"), Value(c.date));
    header.set(fis.fieldIndex("FIS:Descripcion"), Value(c.description));
    ASSERT_TRUE(h.file()->insert(header, storage::Table::Numbering::Keep).ok());
    data::TableGateway& g = tables.gateway(data::TableId::DetFisico);
    const data::TableDecl& dfi = g.declaration();
    data::DataTransaction tx(tables);
    for (const CountLine& l : c.lines) {
        g.BUFFER.clear();
        g.BUFFER.set(dfi.fieldIndex("DFI:INVENTARIO"), Value(c.id));
        g.BUFFER.set(dfi.fieldIndex("DFI:CodigoArticulo"), Value(l.article));
        g.BUFFER.set(dfi.fieldIndex("DFI:Existencia"), Value(l.counted));
        g.BUFFER.set(dfi.fieldIndex("DFI:Referencia"), Value(l.reference));
        ASSERT_EQ(g.InsertRecordQuiet(), data::kDone);
    }
    ASSERT_TRUE(tx.commit());
}

}  // namespace tv::movements::counts::test
