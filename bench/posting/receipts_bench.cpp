// Completing receipts beside the bare SQLite C API doing the same reads and
// writes: a receipt of 1,000 lines in one transaction, and 1,000 one-line
// receipts completed one after another (each a durable commit).
//
// Per line both read the article by number, rewrite it, and add a ledger
// row and a supplier price row; per receipt they check the folio, read the
// receipt type and the lines, advance the folio and store the header. The
// bare schema has the same columns and keys (SQLite's NOCASE for the no-case
// keys), the same journal (WAL) and synchronous FULL.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "data/thread_table_set.h"
#include "data/transaction.h"
#include "movements/receipts/receipt_posting.h"
#include "platform/errors/error_reporter.h"
#include "platform/storage/storage.h"
#include "bench/posting/posting_bench_support.h"

namespace {

using namespace tv;
using data::TableId;
namespace fs = std::filesystem;

constexpr int kArticles = 200;

using bench::BareSqlite;
using bench::TempDir;

// ---------------------------------------------------------------------------
// Ours: the posting through the table layer.

class OurDb {
public:
    explicit OurDb(const fs::path& dir) : conn_(dir / "talvor.db"), tables_(conn_) {
        ErrorReporter::instance().setUp();
        data::DataTransaction tx(tables_);
        put(TableId::TipEntradas, {{"TEN:Descripcion", Value("COMPRA")}});
        put(TableId::Folios, {{"FOL:ENTRADAS", Value(1)}});
        for (int a = 1; a <= kArticles; ++a)
            put(TableId::Articulo, {{"ART:NoArt", Value(a)}, {"ART:Descripcion", Value("ARTICULO " + std::to_string(a))},
                                    {"ART:ExistenciaAnterior", Value(100)}, {"ART:COSTOPROMEDIO", Value(5)}});
        tx.commit();
    }
    // Stores the lines of `receipts` receipts from folio `first` on, `each` lines each.
    void storeLines(long long first, int receipts, int each) {
        data::DataTransaction tx(tables_);
        for (long long folio = first; folio < first + receipts; ++folio)
            for (int i = 0; i < each; ++i)
                put(TableId::DetEntradas, {{"DEN:ENTRADA", Value(folio)},
                                           {"DEN:CodigoArticulo", Value((folio + i) % kArticles + 1)},
                                           {"DEN:Cantidad", Value(2)},
                                           {"DEN:CostoUnitario", Value(Decimal::fromScaled(750, 2))}});
        tx.commit();
    }
    bool complete(long long folio) {
        Record& h = tables_.buffer(TableId::Entradas);
        const data::TableDecl& d = data::decl(TableId::Entradas);
        h.clear();
        h.set(d.fieldIndex("ENT:Folio"), Value(folio));
        h.set(d.fieldIndex("ENT:TIPO"), Value(1));
        h.set(d.fieldIndex("ENT:PROVEEDOR"), Value("PROV1"));
        h.set(d.fieldIndex("ENT:Referencia"), Value("FACT-1"));
        return movements::receipts::CompleteReceipt(tables_);
    }

private:
    void put(TableId t, const std::vector<std::pair<const char*, Value>>& values) { bench::Put(tables_, t, values); }
    storage::Connection conn_;
    data::ThreadTableSet tables_;
};

// ---------------------------------------------------------------------------
// The bare C API.

const char* kBareSchema = R"(
CREATE TABLE DetEntradas(r INTEGER PRIMARY KEY, ID INTEGER, ENTRADA INTEGER, CodigoArticulo INTEGER, CODBARRAS TEXT,
  Cantidad REAL, CostoUnitario REAL);
CREATE UNIQUE INDEX d0 ON DetEntradas(ID) WHERE ID<>0;
CREATE INDEX d1 ON DetEntradas(ENTRADA, r);
CREATE INDEX d2 ON DetEntradas(CodigoArticulo, r);
CREATE INDEX d3 ON DetEntradas(CODBARRAS COLLATE NOCASE, r) WHERE CODBARRAS<>'';
CREATE TABLE Entradas(r INTEGER PRIMARY KEY, Id INTEGER, Folio INTEGER, TIPO INTEGER, Fecha INTEGER,
  OrdenCompra INTEGER, PROVEEDOR TEXT, Referencia TEXT);
CREATE UNIQUE INDEX e0 ON Entradas(Id);
CREATE UNIQUE INDEX e1 ON Entradas(Folio) WHERE Folio<>0;
CREATE INDEX e2 ON Entradas(TIPO, r);
CREATE INDEX e3 ON Entradas(Fecha, r);
CREATE INDEX e4 ON Entradas(OrdenCompra, r);
CREATE INDEX e5 ON Entradas(PROVEEDOR COLLATE NOCASE, r);
CREATE TABLE PreProv(r INTEGER PRIMARY KEY, ID INTEGER, Articulo INTEGER, PROVEEDOR TEXT, Entrada INTEGER, Precio REAL);
CREATE UNIQUE INDEX p0 ON PreProv(ID) WHERE ID<>0;
CREATE INDEX p1 ON PreProv(Articulo, r);
CREATE INDEX p2 ON PreProv(PROVEEDOR COLLATE NOCASE, r);
CREATE INDEX p3 ON PreProv(Entrada, r);
CREATE TABLE TipEntradas(r INTEGER PRIMARY KEY, Codigo INTEGER, Descripcion TEXT);
CREATE UNIQUE INDEX t0 ON TipEntradas(Codigo) WHERE Codigo<>0;
)";

class BareDb {
public:
    explicit BareDb(const fs::path& dir) : db_(dir / "bare.db") {
        db_.Exec(bench::kBareArticleSchema);
        db_.Exec(kBareSchema);
        db_.Exec("BEGIN");
        db_.Exec("INSERT INTO TipEntradas(Codigo, Descripcion) VALUES(1, 'COMPRA')");
        db_.Exec("INSERT INTO Folios(ID, ENTRADAS, SALIDAS, ORDENCOMPRA) VALUES(0, 1, 0, 0)");
        bench::BareArticles(db_, kArticles, 100);
        db_.Exec("COMMIT");
        folioUsed_ = db_.Prepare("SELECT r FROM Entradas WHERE Folio=?1");
        type_ = db_.Prepare("SELECT Descripcion FROM TipEntradas WHERE Codigo=?1");
        lines_ = db_.Prepare("SELECT CodigoArticulo, Cantidad, CostoUnitario FROM DetEntradas WHERE ENTRADA=?1 ORDER BY r");
        article_ = db_.Prepare("SELECT r, ExistenciaAnterior, Entradas, Salidas, COSTOPROMEDIO FROM Articulo WHERE NoArt=?1");
        updateArticle_ = db_.Prepare("UPDATE Articulo SET Entradas=?1, COSTOPROMEDIO=?2 WHERE r=?3");
        maxKardex_ = db_.Prepare("SELECT coalesce(max(ID),0) FROM Kardex");
        maxPrice_ = db_.Prepare("SELECT coalesce(max(ID),0) FROM PreProv");
        maxHeader_ = db_.Prepare("SELECT coalesce(max(Id),0) FROM Entradas");
        kardex_ = db_.Prepare("INSERT INTO Kardex(ID, ARTICULO, Fecha, Documento, Concepto, Referencia, Entrada, Salida, Existencia,"
                " COSTOUNITARIO, COSTOPROMEDIO) VALUES(?1,?2,0,?3,?4,?5,?6,0,?7,?8,?9)");
        price_ = db_.Prepare("INSERT INTO PreProv(ID, Articulo, PROVEEDOR, Entrada, Precio) VALUES(?1,?2,?3,?4,?5)");
        folio_ = db_.Prepare("SELECT r, ENTRADAS FROM Folios LIMIT 1");
        updateFolio_ = db_.Prepare("UPDATE Folios SET ENTRADAS=?1 WHERE r=?2");
        header_ = db_.Prepare("INSERT INTO Entradas(Id, Folio, TIPO, Fecha, OrdenCompra, PROVEEDOR, Referencia)"
                " VALUES(?1,?2,1,0,0,'PROV1','FACT-1')");
        addLine_ = db_.Prepare("INSERT INTO DetEntradas(ID, ENTRADA, CodigoArticulo, CODBARRAS, Cantidad, CostoUnitario)"
                " VALUES((SELECT coalesce(max(ID),0)+1 FROM DetEntradas),?1,?2,'',2,7.5)");
    }
    void storeLines(long long first, int receipts, int each) {
        db_.Exec("BEGIN");
        for (long long folio = first; folio < first + receipts; ++folio)
            for (int i = 0; i < each; ++i) {
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
        sqlite3_bind_int64(type_, 1, 1);
        std::string concepto;
        if (sqlite3_step(type_) == SQLITE_ROW) concepto = reinterpret_cast<const char*>(sqlite3_column_text(type_, 0));
        sqlite3_reset(type_);
        long long kardexId = BareSqlite::One(maxKardex_), priceId = BareSqlite::One(maxPrice_);
        const std::string document = "ENT-" + std::to_string(folio);
        sqlite3_bind_int64(lines_, 1, folio);
        while (sqlite3_step(lines_) == SQLITE_ROW) {
            const long long noArt = sqlite3_column_int64(lines_, 0);
            const double qty = sqlite3_column_double(lines_, 1), cost = sqlite3_column_double(lines_, 2);
            sqlite3_bind_int64(article_, 1, noArt);
            if (sqlite3_step(article_) != SQLITE_ROW) {
                sqlite3_reset(article_);
                sqlite3_reset(lines_);
                return db_.Rollback();
            }
            const long long row = sqlite3_column_int64(article_, 0);
            const double stock = sqlite3_column_double(article_, 1) + sqlite3_column_double(article_, 2) -
                                 sqlite3_column_double(article_, 3);
            const double average = sqlite3_column_double(article_, 4);
            const double entradas = sqlite3_column_double(article_, 2) + qty;
            sqlite3_reset(article_);
            const double newAverage = stock <= 0 ? cost : (stock * average + qty * cost) / (stock + qty);
            sqlite3_bind_double(updateArticle_, 1, entradas);
            sqlite3_bind_double(updateArticle_, 2, newAverage);
            sqlite3_bind_int64(updateArticle_, 3, row);
            BareSqlite::Step(updateArticle_);
            sqlite3_bind_int64(kardex_, 1, ++kardexId);
            sqlite3_bind_int64(kardex_, 2, noArt);
            sqlite3_bind_text(kardex_, 3, document.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(kardex_, 4, concepto.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(kardex_, 5, "FACT-1", -1, SQLITE_STATIC);
            sqlite3_bind_double(kardex_, 6, qty);
            sqlite3_bind_double(kardex_, 7, stock + qty);
            sqlite3_bind_double(kardex_, 8, cost);
            sqlite3_bind_double(kardex_, 9, newAverage);
            BareSqlite::Step(kardex_);
            sqlite3_bind_int64(price_, 1, ++priceId);
            sqlite3_bind_int64(price_, 2, noArt);
            sqlite3_bind_text(price_, 3, "PROV1", -1, SQLITE_STATIC);
            sqlite3_bind_int64(price_, 4, folio);
            sqlite3_bind_double(price_, 5, cost);
            BareSqlite::Step(price_);
        }
        sqlite3_reset(lines_);
        BareSqlite::AdvanceFolio(folio_, updateFolio_, folio);
        BareSqlite::InsertHeader(maxHeader_, header_, folio);
        return db_.TryExec("COMMIT");
    }

private:
    BareSqlite db_;
    sqlite3_stmt *folioUsed_ = nullptr, *type_ = nullptr, *lines_ = nullptr, *article_ = nullptr,
                 *updateArticle_ = nullptr, *maxKardex_ = nullptr, *maxPrice_ = nullptr, *maxHeader_ = nullptr,
                 *kardex_ = nullptr, *price_ = nullptr, *folio_ = nullptr, *updateFolio_ = nullptr,
                 *header_ = nullptr, *addLine_ = nullptr;
};

// One receipt of 1,000 lines per iteration; the lines are stored untimed.
template <class Db>
void ReceiptOf1000Lines(benchmark::State& state) {
    TempDir dir;
    Db db(dir.path());
    long long folio = 1;
    for (auto _ : state) {
        state.PauseTiming();
        db.storeLines(folio, 1, 1000);
        state.ResumeTiming();
        if (!db.complete(folio)) state.SkipWithError("the receipt was not completed");
        ++folio;
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}

// 1,000 one-line receipts completed one after another per iteration.
template <class Db>
void OneLineReceipts1000(benchmark::State& state) {
    TempDir dir;
    Db db(dir.path());
    long long folio = 1;
    for (auto _ : state) {
        state.PauseTiming();
        db.storeLines(folio, 1000, 1);
        state.ResumeTiming();
        for (int i = 0; i < 1000; ++i)
            if (!db.complete(folio + i)) state.SkipWithError("a receipt was not completed");
        folio += 1000;
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}

void BM_Receipt1000Lines_Ours(benchmark::State& s) { ReceiptOf1000Lines<OurDb>(s); }
void BM_Receipt1000Lines_Bare(benchmark::State& s) { ReceiptOf1000Lines<BareDb>(s); }
void BM_OneLineReceipts1000_Ours(benchmark::State& s) { OneLineReceipts1000<OurDb>(s); }
void BM_OneLineReceipts1000_Bare(benchmark::State& s) { OneLineReceipts1000<BareDb>(s); }

BENCHMARK(BM_Receipt1000Lines_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Receipt1000Lines_Bare)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneLineReceipts1000_Ours)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_OneLineReceipts1000_Bare)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
