// Completing a purchase order of 1,000 lines beside the bare SQLite C API
// doing the same reads and writes in one transaction.
//
// Per line both read the article by number and rewrite its ordered
// quantity; per order they check that the folio is unused, read the lines,
// advance the folio and store the header with the lines' total. The bare
// schema has the same columns and keys (SQLite's NOCASE for the no-case
// keys), the same journal (WAL) and synchronous FULL.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "bench/posting/posting_bench_support.h"
#include "data/thread_table_set.h"
#include "data/transaction.h"
#include "movements/orders/order_posting.h"
#include "platform/errors/error_reporter.h"
#include "platform/storage/storage.h"

namespace {

using namespace tv;
using data::TableId;
using bench::BareSqlite;
namespace fs = std::filesystem;

constexpr int kArticles = 200;
constexpr int kLines = 1000;

// ---------------------------------------------------------------------------
// Ours: the completion through the table layer.

class OurOrders {
public:
    explicit OurOrders(const fs::path& dir) : conn_(dir / "talvor.db"), tables_(conn_) {
        ErrorReporter::instance().setUp();
        data::DataTransaction tx(tables_);
        bench::Put(tables_, TableId::Folios, {{"FOL:ORDENCOMPRA", Value(1)}});
        for (int a = 1; a <= kArticles; ++a)
            bench::Put(tables_, TableId::Articulo,
                       {{"ART:NoArt", Value(a)}, {"ART:Descripcion", Value("ARTICULO " + std::to_string(a))}});
        tx.commit();
    }
    void storeLines(long long folio) {
        data::DataTransaction tx(tables_);
        for (int i = 0; i < kLines; ++i)
            bench::Put(tables_, TableId::DetOrdenes,
                       {{"DOR:ORDEN", Value(folio)}, {"DOR:Articulo", Value((folio + i) % kArticles + 1)},
                        {"DOR:Cantidad", Value(3)}, {"DOR:Costo", Value(Decimal::fromScaled(1250, 2))}});
        tx.commit();
    }
    bool complete(long long folio) {
        Record& h = tables_.buffer(TableId::Ordenes);
        const data::TableDecl& d = data::decl(TableId::Ordenes);
        h.clear();
        h.set(d.fieldIndex("ORD:Folio"), Value(folio));
        h.set(d.fieldIndex("ORD:Proveedor"), Value("PROV1"));
        h.set(d.fieldIndex("ORD:Elabora"), Value("COMPRAS"));
        return movements::orders::CompleteOrder(tables_);
    }

private:
    storage::Connection conn_;
    data::ThreadTableSet tables_;
};

// ---------------------------------------------------------------------------
// The bare C API, on the order tables of kBareOrderSchema.

class BareOrders {
public:
    explicit BareOrders(const fs::path& dir) : db_(dir / "bare.db") {
        db_.Exec(bench::kBareArticleSchema);
        db_.Exec(bench::kBareOrderSchema);
        db_.Exec("BEGIN");
        db_.Exec("INSERT INTO Folios(ID, ENTRADAS, SALIDAS, ORDENCOMPRA) VALUES(0, 0, 0, 1)");
        bench::BareArticles(db_, kArticles, 0);
        db_.Exec("COMMIT");
        folioUsed_ = db_.Prepare("SELECT r FROM Ordenes WHERE Folio=?1");
        lines_ = db_.Prepare("SELECT Articulo, Cantidad, Costo FROM DetOrdenes WHERE ORDEN=?1 ORDER BY r");
        article_ = db_.Prepare("SELECT r, Pedido FROM Articulo WHERE NoArt=?1");
        updateArticle_ = db_.Prepare("UPDATE Articulo SET Pedido=?1 WHERE r=?2");
        maxHeader_ = db_.Prepare("SELECT coalesce(max(ID),0) FROM Ordenes");
        folio_ = db_.Prepare("SELECT r, ORDENCOMPRA FROM Folios LIMIT 1");
        updateFolio_ = db_.Prepare("UPDATE Folios SET ORDENCOMPRA=?1 WHERE r=?2");
        header_ = db_.Prepare(
            "INSERT INTO Ordenes(ID, Folio, Fecha, Plazo, Entrega, Elabora, Proveedor, Referencia, Prioridad,"
            " TOTALARTICULO, TOTALSURTIDO, PorcSurtido, Nota) VALUES(?1,?2,0,0,0,'COMPRAS','PROV1','','',?3,0,0,'')");
        addLine_ = db_.Prepare(
            "INSERT INTO DetOrdenes(ID, ORDEN, Articulo, Cantidad, Costo, Recibido)"
            " VALUES((SELECT coalesce(max(ID),0)+1 FROM DetOrdenes WHERE ID<>0),?1,?2,3,12.5,0)");
    }
    void storeLines(long long folio) {
        db_.Exec("BEGIN");
        for (int i = 0; i < kLines; ++i) {
            sqlite3_bind_int64(addLine_, 1, folio);
            sqlite3_bind_int64(addLine_, 2, (folio + i) % kArticles + 1);
            BareSqlite::Step(addLine_);
        }
        db_.Exec("COMMIT");
    }
    bool complete(long long folio) {
        if (!db_.TryExec("BEGIN IMMEDIATE")) return false;
        sqlite3_bind_int64(folioUsed_, 1, folio);
        const bool used = sqlite3_step(folioUsed_) == SQLITE_ROW;
        sqlite3_reset(folioUsed_);
        if (used) return db_.Rollback();
        double total = 0;
        sqlite3_bind_int64(lines_, 1, folio);
        while (sqlite3_step(lines_) == SQLITE_ROW) {
            const long long noArt = sqlite3_column_int64(lines_, 0);
            const double qty = sqlite3_column_double(lines_, 1), cost = sqlite3_column_double(lines_, 2);
            if (qty <= 0 || cost < 0) {
                sqlite3_reset(lines_);
                return db_.Rollback();
            }
            sqlite3_bind_int64(article_, 1, noArt);
            if (sqlite3_step(article_) != SQLITE_ROW) {
                sqlite3_reset(article_);
                sqlite3_reset(lines_);
                return db_.Rollback();
            }
            const long long row = sqlite3_column_int64(article_, 0);
            const double ordered = sqlite3_column_double(article_, 1) + qty;
            sqlite3_reset(article_);
            sqlite3_bind_double(updateArticle_, 1, ordered);
            sqlite3_bind_int64(updateArticle_, 2, row);
            BareSqlite::Step(updateArticle_);
            total += qty;
        }
        sqlite3_reset(lines_);
        BareSqlite::AdvanceFolio(folio_, updateFolio_, folio);
        sqlite3_bind_double(header_, 3, total);
        BareSqlite::InsertHeader(maxHeader_, header_, folio);
        return db_.TryExec("COMMIT");
    }

private:
    BareSqlite db_;
    sqlite3_stmt *folioUsed_ = nullptr, *lines_ = nullptr, *article_ = nullptr, *updateArticle_ = nullptr,
                 *maxHeader_ = nullptr, *folio_ = nullptr, *updateFolio_ = nullptr, *header_ = nullptr,
                 *addLine_ = nullptr;
};

// One order of 1,000 lines per iteration; the lines are stored untimed.
template <class Db>
void OrderOf1000Lines(benchmark::State& state) {
    bench::TempDir dir;
    Db db(dir.path());
    long long folio = 1;
    for (auto _ : state) {
        state.PauseTiming();
        db.storeLines(folio);
        state.ResumeTiming();
        if (!db.complete(folio)) state.SkipWithError("the order was not completed");
        ++folio;
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

void BM_Order1000Lines_Ours(benchmark::State& s) { OrderOf1000Lines<OurOrders>(s); }
void BM_Order1000Lines_Bare(benchmark::State& s) { OrderOf1000Lines<BareOrders>(s); }

BENCHMARK(BM_Order1000Lines_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Order1000Lines_Bare)->Unit(benchmark::kMillisecond);

}  // namespace
