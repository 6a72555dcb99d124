// Generating an order of 1,000 picked lines in the order wizard, beside the
// bare SQLite C API doing the same reads and writes in one transaction.
//
// Both take the folio from the counter (checking no stored order and no
// stored line has it), read the picked lines from the session's own table
// in the order picked, and per line read the article by number, raise its
// ordered quantity and store the order line; then they store the header
// with the total and advance the counter. The bare schema has the same
// columns and keys, the same journal (WAL) and synchronous FULL; its picked
// lines are in a TEMP table too. Picking the lines is not timed.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "bench/posting/posting_bench_support.h"
#include "data/thread_table_set.h"
#include "data/transaction.h"
#include "movements/wizard/order_generation.h"
#include "platform/errors/error_reporter.h"
#include "platform/storage/storage.h"

namespace {

using namespace tv;
using data::TableId;
namespace fs = std::filesystem;

constexpr int kLines = 1000;

using bench::BareSqlite;
using bench::TempDir;

// ---------------------------------------------------------------------------
// Ours: the generation through the table layer.

class OurWizard {
public:
    explicit OurWizard(const fs::path& dir) : conn_(dir / "talvor.db"), tables_(conn_) {
        ErrorReporter::instance().setUp();
        data::DataTransaction tx(tables_);
        bench::Put(tables_, TableId::Folios, {{"FOL:ORDENCOMPRA", Value(1)}});
        bench::Put(tables_, TableId::Proveedores, {{"PVD:Codigo", Value("PROV1")}});
        for (int a = 1; a <= kLines; ++a)
            bench::Put(tables_, TableId::Articulo,
                       {{"ART:NoArt", Value(a)}, {"ART:Descripcion", Value("ARTICULO " + std::to_string(a))},
                        {"ART:ExistenciaAnterior", Value(5)}, {"ART:StockMinimo", Value(20)}});
        tx.commit();
    }
    // The wizard's picks: every article, quantity and cost set in place.
    void pick() {
        using namespace movements::wizard;
        ClearPicked(tables_);
        data::DataTransaction tx(tables_);
        data::TableGateway& g = tables_.gateway(TableId::Temporden);
        const int quantity = g.declaration().fieldIndex("TOR:Cantidad");
        const int cost = g.declaration().fieldIndex("TOR:Costo");
        for (int a = 1; a <= kLines; ++a) {
            PickArticle(tables_, Decimal(a), Selection::BelowMinimum);
            g.BUFFER.set(quantity, Value(15));
            g.BUFFER.set(cost, Value(Decimal::fromScaled(1250, 2)));
            g.UpdateRecord();
        }
        tx.commit();
    }
    bool generate() {
        movements::wizard::OrderHeader h;
        h.fecha = 80000;
        h.plazo = Decimal(10);
        h.entrega = 80010;
        h.elabora = "ANA";
        h.proveedor = "PROV1";
        h.prioridad = "ALTA";
        return movements::wizard::GenerateOrder(tables_, h).stored;
    }

private:
    storage::Connection conn_;
    data::ThreadTableSet tables_;
};

// ---------------------------------------------------------------------------
// The bare C API.

// Beside the order tables (kBareOrderSchema): the picked lines.
const char* kBarePickedSchema = R"(
CREATE TEMP TABLE Temporden(r INTEGER PRIMARY KEY, ID INTEGER, ORDEN INTEGER, Articulo INTEGER, Cantidad REAL,
  Costo REAL, RECIBIDO REAL);
CREATE UNIQUE INDEX temp.t0 ON Temporden(ID) WHERE ID<>0;
CREATE INDEX temp.t1 ON Temporden(ORDEN, r);
CREATE INDEX temp.t2 ON Temporden(Articulo, r);
)";

class BareWizard {
public:
    explicit BareWizard(const fs::path& dir) : db_(dir / "bare.db") {
        db_.Exec(bench::kBareArticleSchema);
        db_.Exec(bench::kBareOrderSchema);
        db_.Exec(kBarePickedSchema);
        db_.Exec("BEGIN");
        db_.Exec("INSERT INTO Folios(ID, ENTRADAS, SALIDAS, ORDENCOMPRA) VALUES(0, 0, 0, 1)");
        bench::BareArticles(db_, kLines, 5);
        db_.Exec("COMMIT");
        folio_ = db_.Prepare("SELECT r, ORDENCOMPRA FROM Folios LIMIT 1");
        orderUsed_ = db_.Prepare("SELECT r FROM Ordenes WHERE Folio=?1");
        linesUsed_ = db_.Prepare("SELECT r FROM DetOrdenes WHERE ORDEN=?1 LIMIT 1");
        picked_ = db_.Prepare("SELECT Articulo, Cantidad, Costo FROM Temporden ORDER BY r");
        article_ = db_.Prepare("SELECT r, Pedido FROM Articulo WHERE NoArt=?1");
        updateArticle_ = db_.Prepare("UPDATE Articulo SET Pedido=?1 WHERE r=?2");
        maxLine_ = db_.Prepare("SELECT coalesce(max(ID),0) FROM DetOrdenes WHERE ID<>0");
        maxHeader_ = db_.Prepare("SELECT coalesce(max(ID),0) FROM Ordenes");
        line_ = db_.Prepare("INSERT INTO DetOrdenes(ID, ORDEN, Articulo, Cantidad, Costo, Recibido) VALUES(?1,?2,?3,?4,?5,0)");
        header_ = db_.Prepare(
            "INSERT INTO Ordenes(ID, Folio, Fecha, Plazo, Entrega, Elabora, Proveedor, Referencia, Prioridad,"
            " TOTALARTICULO, TOTALSURTIDO, PorcSurtido, Nota) VALUES(?1,?2,80000,10,80010,'ANA','PROV1','','ALTA',"
            "?3,0,0,'')");
        updateFolio_ = db_.Prepare("UPDATE Folios SET ORDENCOMPRA=?1 WHERE r=?2");
        addPicked_ = db_.Prepare("INSERT INTO Temporden(ID, ORDEN, Articulo, Cantidad, Costo, RECIBIDO) VALUES(?1,0,?2,15,12.5,0)");
    }
    void pick() {
        db_.Exec("BEGIN");
        db_.Exec("DELETE FROM Temporden");
        for (int a = 1; a <= kLines; ++a) {
            sqlite3_bind_int64(addPicked_, 1, a);
            sqlite3_bind_int64(addPicked_, 2, a);
            BareSqlite::Step(addPicked_);
        }
        db_.Exec("COMMIT");
    }
    bool generate() {
        if (!db_.TryExec("BEGIN IMMEDIATE")) return false;
        long long folio = 1;
        if (sqlite3_step(folio_) == SQLITE_ROW) folio = std::max(1LL, static_cast<long long>(sqlite3_column_int64(folio_, 1)));
        sqlite3_reset(folio_);
        // Past the folios a stored order or stored lines have.
        while (used(orderUsed_, folio) || used(linesUsed_, folio)) ++folio;
        long long lineId = BareSqlite::One(maxLine_);
        double total = 0;
        while (sqlite3_step(picked_) == SQLITE_ROW) {
            const long long noArt = sqlite3_column_int64(picked_, 0);
            const double qty = sqlite3_column_double(picked_, 1), cost = sqlite3_column_double(picked_, 2);
            sqlite3_bind_int64(article_, 1, noArt);
            if (sqlite3_step(article_) != SQLITE_ROW) {
                sqlite3_reset(article_);
                continue;  // gone: skipped
            }
            const long long row = sqlite3_column_int64(article_, 0);
            const double ordered = sqlite3_column_double(article_, 1) + qty;
            sqlite3_reset(article_);
            sqlite3_bind_double(updateArticle_, 1, ordered);
            sqlite3_bind_int64(updateArticle_, 2, row);
            BareSqlite::Step(updateArticle_);
            sqlite3_bind_int64(line_, 1, ++lineId);
            sqlite3_bind_int64(line_, 2, folio);
            sqlite3_bind_int64(line_, 3, noArt);
            sqlite3_bind_double(line_, 4, qty);
            sqlite3_bind_double(line_, 5, cost);
            BareSqlite::Step(line_);
            total += qty;
        }
        sqlite3_reset(picked_);
        sqlite3_bind_double(header_, 3, total);
        BareSqlite::InsertHeader(maxHeader_, header_, folio);
        BareSqlite::AdvanceFolio(folio_, updateFolio_, folio);
        return db_.TryExec("COMMIT");
    }

private:
    static bool used(sqlite3_stmt* s, long long folio) {
        sqlite3_bind_int64(s, 1, folio);
        const bool found = sqlite3_step(s) == SQLITE_ROW;
        sqlite3_reset(s);
        return found;
    }
    BareSqlite db_;
    sqlite3_stmt *folio_ = nullptr, *orderUsed_ = nullptr, *linesUsed_ = nullptr, *picked_ = nullptr,
                 *article_ = nullptr, *updateArticle_ = nullptr, *maxLine_ = nullptr, *maxHeader_ = nullptr,
                 *line_ = nullptr, *header_ = nullptr, *updateFolio_ = nullptr, *addPicked_ = nullptr;
};

// One generated order of 1,000 lines per iteration; the picking is not timed.
template <class Db>
void GenerateOrderOf1000Lines(benchmark::State& state) {
    TempDir dir;
    Db db(dir.path());
    for (auto _ : state) {
        state.PauseTiming();
        db.pick();
        state.ResumeTiming();
        if (!db.generate()) state.SkipWithError("the order was not generated");
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

void BM_GenerateOrder1000Lines_Ours(benchmark::State& s) { GenerateOrderOf1000Lines<OurWizard>(s); }
void BM_GenerateOrder1000Lines_Bare(benchmark::State& s) { GenerateOrderOf1000Lines<BareWizard>(s); }

BENCHMARK(BM_GenerateOrder1000Lines_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GenerateOrder1000Lines_Bare)->Unit(benchmark::kMillisecond);

}  // namespace
