// Completing receipts beside the bare SQLite C API doing the same work: a
// receipt of 1,000 lines, and 1,000 one-line receipts completed one after
// another (each a durable commit).
//
// Both sides make the receipt as its windows do (the header reserved by the
// list, the lines stored by the line form and held by the form's tracker;
// not timed). The program completes it as the form's "Aceptar" does; the
// bare side, in one transaction: checks the folio and that every line under
// it is the form's own, reads the receipt type and the lines, and per line
// reads the article by number, rewrites its receipts total and average cost,
// adds a ledger row and a supplier price row; then advances the folio
// counter, completes the reserved header and notes the numbers given.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "bench/posting/posting_bench_support.h"
#include "data/transaction.h"
#include "movements/receipts/receipt_posting.h"

namespace {

using namespace tv;
using bench::BareSqlite;
using data::TableId;
namespace fs = std::filesystem;

constexpr int kArticles = 200;
constexpr long kDate = 80000;
constexpr const char* kSupplier = "PROV1";
constexpr const char* kReference = "FACT-1";

// What both sides set up: the receipt type, the folio counter, the
// articles, and before each receipt its reserved header and its lines.
class ReceiptDesk : public bench::DocumentDesk {
public:
    ReceiptDesk(const fs::path& file, int lines)
        : DocumentDesk(file, {&movements::receipts::kReceiptFolio, lines, kArticles, "DEN:Cantidad", Value(2),
                              "DEN:CostoUnitario", Value(Decimal::fromScaled(750, 2))}) {
        {
            data::DataTransaction tx(Tables());
            Put(TableId::TipEntradas, {{"TEN:Descripcion", Value("COMPRA")}});
            Put(TableId::Folios, {{"FOL:ENTRADAS", Value(1)}});
            tx.commit();
        }
        Articles(kArticles, 100, 5);
    }
};

// The program: the form's header values, then its completion.
class OurReceipts : public ReceiptDesk {
public:
    using ReceiptDesk::ReceiptDesk;
    bool Work(long long folio) {
        Record& h = Tables().buffer(TableId::Entradas);
        const data::TableDecl& d = data::decl(TableId::Entradas);
        h.set(d.fieldIndex("ENT:Folio"), Value(folio));
        h.set(d.fieldIndex("ENT:TIPO"), Value(1));
        h.set(d.fieldIndex("ENT:Fecha"), Value(kDate));
        h.set(d.fieldIndex("ENT:PROVEEDOR"), Value(kSupplier));
        h.set(d.fieldIndex("ENT:Referencia"), Value(kReference));
        return movements::receipts::CompleteReceipt(Tables(), &Document().tracker);
    }
};

class BareReceipts : public ReceiptDesk {
public:
    BareReceipts(const fs::path& file, int lines)
        : ReceiptDesk(file, lines),
          db_(Connection()),
          article_(db_),
          ledger_(db_),
          folioUsed_(db_.Prepare("SELECT 1 FROM Entradas WHERE Folio=?1 AND tv_pending=0 AND (Folio<>0)")),
          type_(db_.Prepare("SELECT Descripcion FROM TipEntradas WHERE Codigo=?1 AND (Codigo<>0)")),
          lineRows_(db_.Prepare(
              "SELECT ID, CodigoArticulo, Cantidad, CostoUnitario FROM DetEntradas WHERE ENTRADA=?1 ORDER BY tv_row")),
          price_(db_.Prepare("INSERT INTO PreProv(ID, Articulo, PROVEEDOR, Entrada, Precio, tv_version, tv_pending)"
                             " VALUES(?1,?2,?3,?4,?5,?6,0)")),
          counter_(db_.PrepareScan("SELECT tv_row, ENTRADAS FROM Folios ORDER BY tv_row LIMIT 1")),
          advance_(db_.Prepare("UPDATE Folios SET ENTRADAS=?1, tv_version=?2 WHERE tv_row=?3")),
          header_(db_.Prepare("UPDATE Entradas SET Folio=?1, TIPO=1, Fecha=?2, OrdenCompra=0, PROVEEDOR=?3,"
                              " Referencia=?4, tv_version=?5, tv_pending=0, tv_owner=NULL WHERE tv_row=?6 AND tv_pending=1")),
          priceIds_(db_.Numbers(*data::storageDef(TableId::PreProv))) {}

    bool Work(long long folio) {
        if (!db_.Begin()) return false;
        sqlite3_bind_int64(folioUsed_, 1, folio);
        if (BareSqlite::One(folioUsed_) != 0) return db_.Rollback();
        // The lines, each one the form's own.
        struct Line {
            int64_t article, quantity, cost;
        };
        std::vector<Line> lines;
        sqlite3_bind_int64(lineRows_, 1, folio);
        while (sqlite3_step(lineRows_) == SQLITE_ROW) {
            if (Document().tracker.Ids().count(sqlite3_column_int64(lineRows_, 0)) == 0) {
                sqlite3_reset(lineRows_);
                return db_.Rollback();
            }
            lines.push_back({sqlite3_column_int64(lineRows_, 1), bench::ToCents(sqlite3_column_double(lineRows_, 2)),
                             bench::ToCents(sqlite3_column_double(lineRows_, 3))});
        }
        sqlite3_reset(lineRows_);
        sqlite3_bind_int64(type_, 1, 1);
        std::string concepto;
        if (sqlite3_step(type_) == SQLITE_ROW) concepto = BareSqlite::ColumnText(type_, 0);
        sqlite3_reset(type_);
        const std::string document = "ENT-" + std::to_string(folio);
        ledger_.Begin();
        int64_t priceId = BareSqlite::LastNumber(priceIds_);
        const int64_t firstPrice = priceId;
        for (const Line& l : lines) {
            if (l.quantity <= 0 || l.cost < 0 || !article_.Read(l.article)) return db_.Rollback();
            const int64_t stock = article_.Stock();
            // The average cost: the stock's value and the line's, over the new stock.
            int64_t average = article_.average, ledgerAverage = 0;
            if (l.cost != 0) {
                if (stock <= 0) {
                    average = l.cost;   // nothing on hand to weigh against
                } else {
                    const int64_t sum = bench::MulCents(stock, average) + bench::MulCents(l.quantity, l.cost);
                    average = sum == 0 ? 0 : bench::DivCents(sum, stock + l.quantity);
                }
                ledgerAverage = average;
            }
            if (!article_.SetReceiptsAndAverage(article_.receipts + l.quantity, average) ||
                !ledger_.Add({l.article, kDate, document, concepto, kReference, l.quantity, 0, stock + l.quantity,
                              l.cost, ledgerAverage}))
                return db_.Rollback();
            sqlite3_bind_int64(price_, 1, ++priceId);
            sqlite3_bind_int64(price_, 2, l.article);
            BareSqlite::BindText(price_, 3, kSupplier);
            sqlite3_bind_int64(price_, 4, folio);
            sqlite3_bind_double(price_, 5, bench::FromCents(l.cost));
            sqlite3_bind_int64(price_, 6, db_.Version());
            if (!BareSqlite::Run(price_)) return db_.Rollback();
        }
        if (!db_.AdvanceCounter(counter_, advance_, folio)) return db_.Rollback();
        sqlite3_bind_int64(header_, 1, folio);
        sqlite3_bind_int64(header_, 2, kDate);
        BareSqlite::BindText(header_, 3, kSupplier);
        BareSqlite::BindText(header_, 4, kReference);
        sqlite3_bind_int64(header_, 5, db_.Version());
        sqlite3_bind_int64(header_, 6, Document().headerRow);
        if (!BareSqlite::Run(header_) || sqlite3_changes(db_.db()) != 1) return db_.Rollback();
        ledger_.End();
        if (priceId > firstPrice) db_.NoteNumber(priceIds_, priceId);
        return db_.Commit();
    }

private:
    BareSqlite db_;
    bench::BareArticle article_;
    bench::BareLedger ledger_;
    sqlite3_stmt *folioUsed_, *type_, *lineRows_, *price_, *counter_, *advance_, *header_;
    BareSqlite::Numbering priceIds_;
};

template <int kLines>
struct Ours : OurReceipts {
    explicit Ours(const fs::path& f) : OurReceipts(f, kLines) {}
};
template <int kLines>
struct Bare : BareReceipts {
    explicit Bare(const fs::path& f) : BareReceipts(f, kLines) {}
};

// One receipt of 1,000 lines per iteration; 1,000 one-line receipts
// completed one after another per iteration.
[[maybe_unused]] const bool registered =
    bench::RegisterPair<Ours<1000>, Bare<1000>>("Receipt1000Lines", "receipt of 1,000 lines", 1, 1000) &&
    bench::RegisterPair<Ours<1>, Bare<1>>("OneLineReceipts1000", "1,000 one-line receipts", 1000, 1, 3);

}  // namespace
