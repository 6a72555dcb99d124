// Completing a purchase order of 1,000 lines beside the bare SQLite C API
// doing the same work.
//
// Both sides make the order as its windows do (the header reserved by the
// list, the lines stored by the line form and held by the form's tracker;
// not timed). The program completes it as the form's "Aceptar" does; the
// bare side, in one transaction: checks the folio and that every line under
// it is the form's own, reads the lines, and per line checks its quantity
// and cost, reads the article by number and raises its ordered quantity;
// then advances the folio counter and completes the reserved header with
// the lines' total.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <string>

#include "bench/posting/posting_bench_support.h"
#include "data/transaction.h"
#include "movements/orders/order_posting.h"

namespace {

using namespace tv;
using bench::BareSqlite;
using data::TableId;
namespace fs = std::filesystem;

constexpr int kArticles = 200;
constexpr int kLines = 1000;
constexpr long kDate = 80000;
constexpr const char* kSupplier = "PROV1";
constexpr const char* kWriter = "COMPRAS";
constexpr const char* kPriority = "ALTA";

// What both sides set up: the folio counter, the articles, and before each
// order its reserved header and its lines.
class OrderDesk : public bench::DocumentDesk {
public:
    explicit OrderDesk(const fs::path& file)
        : DocumentDesk(file, {&movements::orders::kOrderFolio, kLines, kArticles, "DOR:Cantidad", Value(3), "DOR:Costo",
                              Value(Decimal::fromScaled(1250, 2))}) {
        {
            data::DataTransaction tx(Tables());
            Put(TableId::Folios, {{"FOL:ORDENCOMPRA", Value(1)}});
            tx.commit();
        }
        Articles(kArticles, 0);
    }
};

// The program: the form's header values, then its completion.
class OurOrders : public OrderDesk {
public:
    using OrderDesk::OrderDesk;
    bool Work(long long folio) {
        Record& h = Tables().buffer(TableId::Ordenes);
        const data::TableDecl& d = data::decl(TableId::Ordenes);
        h.set(d.fieldIndex("ORD:Folio"), Value(folio));
        h.set(d.fieldIndex("ORD:Fecha"), Value(kDate));
        h.set(d.fieldIndex("ORD:Plazo"), Value(10));
        h.set(d.fieldIndex("ORD:Entrega"), Value(kDate + 10));
        h.set(d.fieldIndex("ORD:Elabora"), Value(kWriter));
        h.set(d.fieldIndex("ORD:Proveedor"), Value(kSupplier));
        h.set(d.fieldIndex("ORD:Prioridad"), Value(kPriority));
        return movements::orders::CompleteOrder(Tables(), &Document().tracker);
    }
};

class BareOrders : public OrderDesk {
public:
    explicit BareOrders(const fs::path& file)
        : OrderDesk(file),
          db_(Connection()),
          article_(db_),
          folioUsed_(db_.Prepare("SELECT 1 FROM Ordenes WHERE Folio=?1 AND tv_pending=0 AND (Folio<>0)")),
          lineRows_(db_.Prepare("SELECT ID, Articulo, Cantidad, Costo FROM DetOrdenes WHERE ORDEN=?1 ORDER BY tv_row")),
          counter_(db_.PrepareScan("SELECT tv_row, ORDENCOMPRA FROM Folios ORDER BY tv_row LIMIT 1")),
          advance_(db_.Prepare("UPDATE Folios SET ORDENCOMPRA=?1, tv_version=?2 WHERE tv_row=?3")),
          // A new order has nothing supplied yet: its supplied total and percentage are 0.
          header_(db_.Prepare("UPDATE Ordenes SET Folio=?1, Fecha=?2, Plazo=10, Entrega=?3, Elabora=?4, Proveedor=?5,"
                              " Referencia='', Prioridad=?6, TOTALARTICULO=?7, TOTALSURTIDO=0, PorcSurtido=0, Nota='',"
                              " tv_version=?8, tv_pending=0, tv_owner=NULL WHERE tv_row=?9 AND tv_pending=1")) {}

    bool Work(long long folio) {
        if (!db_.Begin()) return false;
        sqlite3_bind_int64(folioUsed_, 1, folio);
        if (BareSqlite::One(folioUsed_) != 0) return db_.Rollback();
        int64_t total = 0;
        sqlite3_bind_int64(lineRows_, 1, folio);
        int rc;
        while ((rc = sqlite3_step(lineRows_)) == SQLITE_ROW) {
            const int64_t article = sqlite3_column_int64(lineRows_, 1);
            const int64_t quantity = bench::ToCents(sqlite3_column_double(lineRows_, 2));
            const bool own = Document().tracker.Ids().count(sqlite3_column_int64(lineRows_, 0)) != 0;
            if (!own || quantity <= 0 || sqlite3_column_double(lineRows_, 3) < 0 || !article_.Read(article) ||
                !article_.SetOrdered(article_.ordered + quantity))
                break;
            total += quantity;
        }
        sqlite3_reset(lineRows_);
        if (rc != SQLITE_DONE || !bench::FitsCents(total, 11)) return db_.Rollback();
        if (!db_.AdvanceCounter(counter_, advance_, folio)) return db_.Rollback();
        sqlite3_bind_int64(header_, 1, folio);
        sqlite3_bind_int64(header_, 2, kDate);
        sqlite3_bind_int64(header_, 3, kDate + 10);
        BareSqlite::BindText(header_, 4, kWriter);
        BareSqlite::BindText(header_, 5, kSupplier);
        BareSqlite::BindText(header_, 6, kPriority);
        sqlite3_bind_double(header_, 7, bench::FromCents(total));
        sqlite3_bind_int64(header_, 8, db_.Version());
        sqlite3_bind_int64(header_, 9, Document().headerRow);
        if (!BareSqlite::Run(header_) || sqlite3_changes(db_.db()) != 1) return db_.Rollback();
        return db_.Commit();
    }

private:
    BareSqlite db_;
    bench::BareArticle article_;
    sqlite3_stmt *folioUsed_, *lineRows_, *counter_, *advance_, *header_;
};

[[maybe_unused]] const bool registered =
    bench::RegisterPair<OurOrders, BareOrders>("Order1000Lines", "order of 1,000 lines", 1, kLines);

}  // namespace
