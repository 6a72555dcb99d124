// Adjusting stock from a count of 100,000 lines, beside the bare SQLite C
// API doing the same reads and writes in one transaction.
//
// Both read the count's header and its lines by the count's key, then per
// line read the article by number, rewrite its receipts or issues total and
// add a ledger row numbered after the highest; all in one transaction. The
// bare schema has the same columns and keys (SQLite's NOCASE for the no-case
// keys), the same journal (WAL) and synchronous FULL. 1,000 articles are
// each counted 100 times, alternating between two quantities, so that every
// line moves its article and writes a row.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench/posting/posting_bench_support.h"
#include "data/thread_table_set.h"
#include "data/transaction.h"
#include "movements/counts/count_adjustment.h"
#include "platform/errors/error_reporter.h"
#include "platform/storage/storage.h"

namespace {

using namespace tv;
using data::TableId;
namespace fs = std::filesystem;

constexpr int kArticles = 1000;
constexpr int kLines = 100000;

// The article and quantity of line i of a count.
long long LineArticle(int i) { return i % kArticles + 1; }
long long LineCounted(int i) { return 1 + (i / kArticles) % 2; }

// ---------------------------------------------------------------------------
// Ours: the adjustment through the table layer.

class OurDb {
public:
    explicit OurDb(const fs::path& dir) : conn_(dir / "talvor.db"), tables_(conn_) {
        ErrorReporter::instance().setUp();
        data::DataTransaction tx(tables_, std::chrono::seconds(30));
        for (int a = 1; a <= kArticles; ++a)
            put(TableId::Articulo,
                {{"ART:NoArt", Value(a)}, {"ART:Descripcion", Value("ARTICULO " + std::to_string(a))},
                 {"ART:ExistenciaAnterior", Value(100)}, {"ART:COSTOPROMEDIO", Value(5)}});
        tx.commit();
    }
    void storeCount(long long id) {
        data::DataTransaction tx(tables_, std::chrono::seconds(30));
        put(TableId::Fisico, {{"FIS:Descripcion", Value("CONTEO")}, {"FIS:Fecha", Value(76064)}});
        for (int i = 0; i < kLines; ++i)
            put(TableId::DetFisico, {{"DFI:INVENTARIO", Value(id)}, {"DFI:CodigoArticulo", Value(LineArticle(i))},
                                     {"DFI:Existencia", Value(LineCounted(i))}});
        tx.commit();
    }
    long long adjust(long long id) {
        const movements::counts::AdjustmentResult r = movements::counts::AdjustInventory(tables_, id);
        return r.applied ? r.rows : -1;
    }

private:
    void put(TableId t, const std::vector<std::pair<const char*, Value>>& values) { bench::Put(tables_, t, values); }
    storage::Connection conn_;
    data::ThreadTableSet tables_;
};

// ---------------------------------------------------------------------------
// The bare C API.

// Beside the article and ledger tables (kBareArticleSchema).
const char* kBareSchema = R"(
CREATE TABLE Fisico(r INTEGER PRIMARY KEY, ID INTEGER, Fecha INTEGER, Descripcion TEXT);
CREATE UNIQUE INDEX f0 ON Fisico(ID) WHERE ID<>0;
CREATE INDEX f1 ON Fisico(Fecha, r);
CREATE TABLE DetFisico(r INTEGER PRIMARY KEY, ID INTEGER, INVENTARIO INTEGER, CodigoArticulo INTEGER,
  CODIGOBARRAS TEXT, Existencia REAL, COSTOUNITARIO REAL, Referencia TEXT);
CREATE INDEX d0 ON DetFisico(CODIGOBARRAS COLLATE NOCASE, r) WHERE CODIGOBARRAS<>'';
CREATE UNIQUE INDEX d1 ON DetFisico(ID) WHERE ID<>0;
CREATE INDEX d2 ON DetFisico(INVENTARIO, r);
CREATE INDEX d3 ON DetFisico(CodigoArticulo, r);
)";

class BareDb : public bench::BareSqlite {
public:
    explicit BareDb(const fs::path& dir) : BareSqlite(dir / "bare.db") {
        Exec(bench::kBareArticleSchema);
        Exec(kBareSchema);
        Exec("BEGIN");
        bench::BareArticles(*this, kArticles, 100);
        Exec("COMMIT");
        header_ = Prepare("SELECT Fecha FROM Fisico WHERE ID=?1");
        lines_ = Prepare("SELECT CodigoArticulo, Existencia FROM DetFisico WHERE INVENTARIO=?1 ORDER BY r");
        article_ = Prepare(
            "SELECT r, ExistenciaAnterior, Entradas, Salidas, COSTOPROMEDIO FROM Articulo WHERE NoArt=?1");
        receipts_ = Prepare("UPDATE Articulo SET Entradas=?1 WHERE r=?2");
        issues_ = Prepare("UPDATE Articulo SET Salidas=?1 WHERE r=?2");
        maxKardex_ = Prepare("SELECT coalesce(max(ID),0) FROM Kardex");
        kardex_ = Prepare(
            "INSERT INTO Kardex(ID, ARTICULO, Fecha, Documento, Concepto, Referencia, Entrada, Salida, Existencia,"
            " COSTOUNITARIO, COSTOPROMEDIO) VALUES(?1,?2,?3,?4,'AJUSTE POR INVENTARI',?5,?6,?7,?8,?9,?9)");
        addHeader_ = Prepare("INSERT INTO Fisico(ID, Fecha, Descripcion) VALUES(?1, 76064, 'CONTEO')");
        addLine_ = Prepare(
            "INSERT INTO DetFisico(ID, INVENTARIO, CodigoArticulo, CODIGOBARRAS, Existencia, COSTOUNITARIO,"
            " Referencia) VALUES(?1,?2,?3,'',?4,0,'')");
    }
    void storeCount(long long id) {
        Exec("BEGIN");
        sqlite3_bind_int64(addHeader_, 1, id);
        Step(addHeader_);
        for (int i = 0; i < kLines; ++i) {
            sqlite3_bind_int64(addLine_, 1, ++lineId_);
            sqlite3_bind_int64(addLine_, 2, id);
            sqlite3_bind_int64(addLine_, 3, LineArticle(i));
            sqlite3_bind_double(addLine_, 4, static_cast<double>(LineCounted(i)));
            Step(addLine_);
        }
        Exec("COMMIT");
    }
    long long adjust(long long id) {
        if (!TryExec("BEGIN IMMEDIATE")) return -1;
        sqlite3_bind_int64(header_, 1, id);
        if (sqlite3_step(header_) != SQLITE_ROW) {
            sqlite3_reset(header_);
            Exec("ROLLBACK");
            return 0;
        }
        const long long date = sqlite3_column_int64(header_, 0);
        sqlite3_reset(header_);
        const std::string document = std::to_string(id);
        const std::string reference = "IF" + std::to_string(date);
        struct Line {
            long long article;
            double counted;
        };
        std::vector<Line> lines;
        sqlite3_bind_int64(lines_, 1, id);
        while (sqlite3_step(lines_) == SQLITE_ROW)
            lines.push_back({sqlite3_column_int64(lines_, 0), sqlite3_column_double(lines_, 1)});
        sqlite3_reset(lines_);
        long long kardexId = One(maxKardex_), rows = 0;
        for (const Line& l : lines) {
            sqlite3_bind_int64(article_, 1, l.article);
            if (sqlite3_step(article_) != SQLITE_ROW) {
                sqlite3_reset(article_);
                continue;
            }
            const long long row = sqlite3_column_int64(article_, 0);
            const double entradas = sqlite3_column_double(article_, 2), salidas = sqlite3_column_double(article_, 3);
            const double stock = sqlite3_column_double(article_, 1) + entradas - salidas;
            const double average = sqlite3_column_double(article_, 4);
            sqlite3_reset(article_);
            if (l.counted == stock) continue;
            const double in = l.counted > stock ? l.counted - stock : 0;
            const double out = l.counted < stock ? stock - l.counted : 0;
            sqlite3_stmt* total = in > 0 ? receipts_ : issues_;
            sqlite3_bind_double(total, 1, in > 0 ? entradas + in : salidas + out);
            sqlite3_bind_int64(total, 2, row);
            Step(total);
            sqlite3_bind_int64(kardex_, 1, ++kardexId);
            sqlite3_bind_int64(kardex_, 2, l.article);
            sqlite3_bind_int64(kardex_, 3, date);
            sqlite3_bind_text(kardex_, 4, document.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(kardex_, 5, reference.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_double(kardex_, 6, in);
            sqlite3_bind_double(kardex_, 7, out);
            sqlite3_bind_double(kardex_, 8, l.counted);
            sqlite3_bind_double(kardex_, 9, average);
            Step(kardex_);
            ++rows;
        }
        return TryExec("COMMIT") ? rows : -1;
    }

private:
    long long lineId_ = 0;
    sqlite3_stmt *header_ = nullptr, *lines_ = nullptr, *article_ = nullptr, *receipts_ = nullptr,
                 *issues_ = nullptr, *maxKardex_ = nullptr, *kardex_ = nullptr, *addHeader_ = nullptr,
                 *addLine_ = nullptr;
};

// One count of 100,000 lines adjusted per iteration; the count is stored untimed.
template <class Db>
void CountOf100000Lines(benchmark::State& state) {
    bench::TempDir dir;
    Db db(dir.path());
    long long id = 1;
    for (auto _ : state) {
        state.PauseTiming();
        db.storeCount(id);
        state.ResumeTiming();
        if (db.adjust(id) != kLines) state.SkipWithError("the count was not applied line by line");
        ++id;
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

void BM_Count100000Lines_Ours(benchmark::State& s) { CountOf100000Lines<OurDb>(s); }
void BM_Count100000Lines_Bare(benchmark::State& s) { CountOf100000Lines<BareDb>(s); }

BENCHMARK(BM_Count100000Lines_Ours)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Count100000Lines_Bare)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
