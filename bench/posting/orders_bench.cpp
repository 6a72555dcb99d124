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
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "data/thread_table_set.h"
#include "data/transaction.h"
#include "movements/orders/order_posting.h"
#include "platform/errors/error_reporter.h"
#include "platform/storage/storage.h"

namespace {

using namespace tv;
using data::TableId;
namespace fs = std::filesystem;

constexpr int kArticles = 200;
constexpr int kLines = 1000;

// A scratch folder of the benchmark's own, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string t = (fs::temp_directory_path() / "tv_orders_XXXXXX").string();
        path_ = mkdtemp(t.data());
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// ---------------------------------------------------------------------------
// Ours: the completion through the table layer.

class OurOrders {
public:
    explicit OurOrders(const fs::path& dir) : conn_(dir / "talvor.db"), tables_(conn_) {
        ErrorReporter::instance().setUp();
        data::DataTransaction tx(tables_);
        put(TableId::Folios, {{"FOL:ORDENCOMPRA", Value(1)}});
        for (int a = 1; a <= kArticles; ++a)
            put(TableId::Articulo, {{"ART:NoArt", Value(a)}, {"ART:Descripcion", Value("ARTICULO " + std::to_string(a))}});
        tx.commit();
    }
    void storeLines(long long folio) {
        data::DataTransaction tx(tables_);
        for (int i = 0; i < kLines; ++i)
            put(TableId::DetOrdenes, {{"DOR:ORDEN", Value(folio)}, {"DOR:Articulo", Value((folio + i) % kArticles + 1)},
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
    void put(TableId t, const std::vector<std::pair<const char*, Value>>& values) {
        data::TableGateway& g = tables_.gateway(t);
        g.BUFFER.clear();
        for (const auto& [f, v] : values) g.BUFFER.set(g.declaration().fieldIndex(f), v);
        g.InsertRecord();
    }
    storage::Connection conn_;
    data::ThreadTableSet tables_;
};

// ---------------------------------------------------------------------------
// The bare C API.

const char* kBareSchema = R"(
CREATE TABLE Articulo(r INTEGER PRIMARY KEY, ID INTEGER, NoArt INTEGER, Descripcion TEXT, UM INTEGER, Marca INTEGER,
  categoria INTEGER, CodigoBarras TEXT, Modelo TEXT, Tamano TEXT, CAPACIDAD TEXT, FOTOGRAFIA TEXT, StockMaximo REAL,
  StockMinimo REAL, StockIdeal REAL, ExistenciaAnterior REAL, Entradas REAL, Salidas REAL, Pedido REAL, Recibido REAL,
  COSTOPROMEDIO REAL, Notas TEXT);
CREATE UNIQUE INDEX a0 ON Articulo(ID);
CREATE UNIQUE INDEX a1 ON Articulo(NoArt) WHERE NoArt<>0;
CREATE INDEX a2 ON Articulo(Descripcion COLLATE NOCASE, r);
CREATE INDEX a3 ON Articulo(UM, r);
CREATE INDEX a4 ON Articulo(Marca, r);
CREATE INDEX a5 ON Articulo(categoria, r);
CREATE INDEX a6 ON Articulo(CodigoBarras COLLATE NOCASE, r) WHERE CodigoBarras<>'';
CREATE TABLE DetOrdenes(r INTEGER PRIMARY KEY, ID INTEGER, ORDEN INTEGER, Articulo INTEGER, Cantidad REAL, Costo REAL,
  Recibido REAL);
CREATE UNIQUE INDEX d0 ON DetOrdenes(ID) WHERE ID<>0;
CREATE INDEX d1 ON DetOrdenes(ORDEN, r);
CREATE INDEX d2 ON DetOrdenes(Articulo, r);
CREATE TABLE Ordenes(r INTEGER PRIMARY KEY, ID INTEGER, Folio INTEGER, Fecha INTEGER, Plazo INTEGER, Entrega INTEGER,
  Elabora TEXT, Proveedor TEXT, Referencia TEXT, Prioridad TEXT, TOTALARTICULO REAL, TOTALSURTIDO REAL,
  PorcSurtido INTEGER, Nota TEXT);
CREATE UNIQUE INDEX o0 ON Ordenes(ID);
CREATE UNIQUE INDEX o1 ON Ordenes(Folio) WHERE Folio<>0;
CREATE INDEX o2 ON Ordenes(Fecha, r);
CREATE INDEX o3 ON Ordenes(Proveedor COLLATE NOCASE, r);
CREATE TABLE Folios(r INTEGER PRIMARY KEY, ID INTEGER, ENTRADAS INTEGER, SALIDAS INTEGER, ORDENCOMPRA INTEGER);
)";

class BareOrders {
public:
    explicit BareOrders(const fs::path& dir) {
        sqlite3_open((dir / "bare.db").c_str(), &db_);
        exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;");
        exec(kBareSchema);
        exec("BEGIN");
        exec("INSERT INTO Folios(ID, ENTRADAS, SALIDAS, ORDENCOMPRA) VALUES(0, 0, 0, 1)");
        for (int a = 1; a <= kArticles; ++a)
            exec("INSERT INTO Articulo VALUES(NULL," + std::to_string(a) + "," + std::to_string(a) + ",'ARTICULO " +
                 std::to_string(a) + "',0,0,0,'','','','','',0,0,0,0,0,0,0,0,0,'')");
        exec("COMMIT");
        prepare(folioUsed_, "SELECT r FROM Ordenes WHERE Folio=?1");
        prepare(lines_, "SELECT Articulo, Cantidad, Costo FROM DetOrdenes WHERE ORDEN=?1 ORDER BY r");
        prepare(article_, "SELECT r, Pedido FROM Articulo WHERE NoArt=?1");
        prepare(updateArticle_, "UPDATE Articulo SET Pedido=?1 WHERE r=?2");
        prepare(maxHeader_, "SELECT coalesce(max(ID),0) FROM Ordenes");
        prepare(folio_, "SELECT r, ORDENCOMPRA FROM Folios LIMIT 1");
        prepare(updateFolio_, "UPDATE Folios SET ORDENCOMPRA=?1 WHERE r=?2");
        prepare(header_,
                "INSERT INTO Ordenes(ID, Folio, Fecha, Plazo, Entrega, Elabora, Proveedor, Referencia, Prioridad,"
                " TOTALARTICULO, TOTALSURTIDO, PorcSurtido, Nota) VALUES(?1,?2,0,0,0,'COMPRAS','PROV1','','',?3,0,0,'')");
        prepare(addLine_,
                "INSERT INTO DetOrdenes(ID, ORDEN, Articulo, Cantidad, Costo, Recibido)"
                " VALUES((SELECT coalesce(max(ID),0)+1 FROM DetOrdenes WHERE ID<>0),?1,?2,3,12.5,0)");
    }
    ~BareOrders() {
        for (sqlite3_stmt* s : {folioUsed_, lines_, article_, updateArticle_, maxHeader_, folio_, updateFolio_,
                                header_, addLine_})
            sqlite3_finalize(s);
        sqlite3_close(db_);
    }
    void storeLines(long long folio) {
        exec("BEGIN");
        for (int i = 0; i < kLines; ++i) {
            sqlite3_bind_int64(addLine_, 1, folio);
            sqlite3_bind_int64(addLine_, 2, (folio + i) % kArticles + 1);
            step(addLine_);
        }
        exec("COMMIT");
    }
    bool complete(long long folio) {
        if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return false;
        sqlite3_bind_int64(folioUsed_, 1, folio);
        const bool used = sqlite3_step(folioUsed_) == SQLITE_ROW;
        sqlite3_reset(folioUsed_);
        if (used) return rollback();
        double total = 0;
        sqlite3_bind_int64(lines_, 1, folio);
        while (sqlite3_step(lines_) == SQLITE_ROW) {
            const long long noArt = sqlite3_column_int64(lines_, 0);
            const double qty = sqlite3_column_double(lines_, 1), cost = sqlite3_column_double(lines_, 2);
            if (qty <= 0 || cost < 0) {
                sqlite3_reset(lines_);
                return rollback();
            }
            sqlite3_bind_int64(article_, 1, noArt);
            if (sqlite3_step(article_) != SQLITE_ROW) {
                sqlite3_reset(article_);
                sqlite3_reset(lines_);
                return rollback();
            }
            const long long row = sqlite3_column_int64(article_, 0);
            const double ordered = sqlite3_column_double(article_, 1) + qty;
            sqlite3_reset(article_);
            sqlite3_bind_double(updateArticle_, 1, ordered);
            sqlite3_bind_int64(updateArticle_, 2, row);
            step(updateArticle_);
            total += qty;
        }
        sqlite3_reset(lines_);
        if (sqlite3_step(folio_) == SQLITE_ROW) {
            const long long row = sqlite3_column_int64(folio_, 0), counter = sqlite3_column_int64(folio_, 1);
            sqlite3_reset(folio_);
            sqlite3_bind_int64(updateFolio_, 1, std::max(counter, folio + 1));
            sqlite3_bind_int64(updateFolio_, 2, row);
            step(updateFolio_);
        } else {
            sqlite3_reset(folio_);
        }
        sqlite3_bind_int64(header_, 1, one(maxHeader_) + 1);
        sqlite3_bind_int64(header_, 2, folio);
        sqlite3_bind_double(header_, 3, total);
        step(header_);
        return sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    }

private:
    void exec(const std::string& sql) { sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
    void prepare(sqlite3_stmt*& s, const char* sql) { sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr); }
    static void step(sqlite3_stmt* s) {
        sqlite3_step(s);
        sqlite3_reset(s);
    }
    static long long one(sqlite3_stmt* s) {
        long long v = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
        sqlite3_reset(s);
        return v;
    }
    bool rollback() {
        exec("ROLLBACK");
        return false;
    }
    sqlite3* db_ = nullptr;
    sqlite3_stmt *folioUsed_ = nullptr, *lines_ = nullptr, *article_ = nullptr, *updateArticle_ = nullptr,
                 *maxHeader_ = nullptr, *folio_ = nullptr, *updateFolio_ = nullptr, *header_ = nullptr,
                 *addLine_ = nullptr;
};

// One order of 1,000 lines per iteration; the lines are stored untimed.
template <class Db>
void OrderOf1000Lines(benchmark::State& state) {
    ScratchFolder dir;
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
