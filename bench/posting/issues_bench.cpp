// Completing an issue of 1,000 lines beside the bare SQLite C API doing the
// same reads and writes in one transaction.
//
// Both check the folio, read the issue type and the lines, check every
// article's total against its stock, read each line's article by number,
// rewrite it and add a ledger row, advance the folio and store the header.
// The bare schema has the same columns and keys (SQLite's NOCASE for the
// no-case keys), the same journal (WAL) and synchronous FULL.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/posting/posting_bench_support.h"
#include "data/thread_table_set.h"
#include "data/transaction.h"
#include "movements/issues/issue_posting.h"
#include "platform/errors/error_reporter.h"
#include "platform/storage/storage.h"

namespace {

using namespace tv;
using data::TableId;
using bench::BareSqlite;
namespace fs = std::filesystem;

constexpr int kArticles = 200;
constexpr int kLines = 1000;
constexpr int kStock = 100000000;   // never short: every iteration posts

class OurIssues {
public:
    explicit OurIssues(const fs::path& dir) : conn_(dir / "talvor.db"), tables_(conn_) {
        ErrorReporter::instance().setUp();
        data::DataTransaction tx(tables_);
        bench::Put(tables_, TableId::TipSalidas, {{"TSA:Descripcion", Value("CONSUMO")}});
        bench::Put(tables_, TableId::Folios, {{"FOL:SALIDAS", Value(1)}});
        for (int a = 1; a <= kArticles; ++a)
            bench::Put(tables_, TableId::Articulo,
                       {{"ART:NoArt", Value(a)}, {"ART:Descripcion", Value("ARTICULO " + std::to_string(a))},
                        {"ART:ExistenciaAnterior", Value(kStock)}});
        tx.commit();
    }
    void storeLines(long long folio) {
        data::DataTransaction tx(tables_);
        for (int i = 0; i < kLines; ++i)
            bench::Put(tables_, TableId::DetSalidas,
                       {{"DES:SALIDA", Value(folio)}, {"DES:CodigoArticulo", Value((folio + i) % kArticles + 1)},
                        {"DES:Cantidad", Value(2)}, {"DES:CostoUnitario", Value(Decimal::fromScaled(750, 2))}});
        tx.commit();
    }
    bool complete(long long folio) {
        Record& h = tables_.buffer(TableId::Salidas);
        const data::TableDecl& d = data::decl(TableId::Salidas);
        h.clear();
        h.set(d.fieldIndex("SAL:Folio"), Value(folio));
        h.set(d.fieldIndex("SAL:TIPO"), Value(1));
        h.set(d.fieldIndex("SAL:RECIBE"), Value(1));
        h.set(d.fieldIndex("SAL:Referencia"), Value("VALE-1"));
        return movements::issues::CompleteIssue(tables_);
    }

private:
    storage::Connection conn_;
    data::ThreadTableSet tables_;
};

const char* kBareIssueSchema = R"(
CREATE TABLE DetSalidas(r INTEGER PRIMARY KEY, ID INTEGER, SALIDA INTEGER, CodigoArticulo INTEGER,
  CODIGOBARRAS TEXT, Cantidad REAL, CostoUnitario REAL);
CREATE INDEX d0 ON DetSalidas(CODIGOBARRAS COLLATE NOCASE, r) WHERE CODIGOBARRAS<>'';
CREATE UNIQUE INDEX d1 ON DetSalidas(ID) WHERE ID<>0;
CREATE INDEX d2 ON DetSalidas(SALIDA, r);
CREATE INDEX d3 ON DetSalidas(CodigoArticulo, r);
CREATE TABLE Salidas(r INTEGER PRIMARY KEY, Id INTEGER, Folio INTEGER, TIPO INTEGER, Fecha INTEGER,
  RECIBE INTEGER, PROVEEDOR TEXT, Referencia TEXT);
CREATE UNIQUE INDEX s0 ON Salidas(Id);
CREATE UNIQUE INDEX s1 ON Salidas(Folio) WHERE Folio<>0;
CREATE INDEX s2 ON Salidas(TIPO, r);
CREATE INDEX s3 ON Salidas(Fecha, r);
CREATE INDEX s4 ON Salidas(RECIBE, r);
CREATE INDEX s5 ON Salidas(PROVEEDOR COLLATE NOCASE, r);
CREATE TABLE TipSalidas(r INTEGER PRIMARY KEY, Codigo INTEGER, Descripcion TEXT);
CREATE UNIQUE INDEX t0 ON TipSalidas(Codigo) WHERE Codigo<>0;
)";

class BareIssues {
public:
    explicit BareIssues(const fs::path& dir) : db_(dir / "bare.db") {
        db_.Exec(bench::kBareArticleSchema);
        db_.Exec(kBareIssueSchema);
        db_.Exec("BEGIN");
        db_.Exec("INSERT INTO TipSalidas(Codigo, Descripcion) VALUES(1, 'CONSUMO')");
        db_.Exec("INSERT INTO Folios(ID, ENTRADAS, SALIDAS, ORDENCOMPRA) VALUES(0, 0, 1, 0)");
        bench::BareArticles(db_, kArticles, kStock);
        db_.Exec("COMMIT");
        folioUsed_ = db_.Prepare("SELECT r FROM Salidas WHERE Folio=?1");
        type_ = db_.Prepare("SELECT Descripcion FROM TipSalidas WHERE Codigo=?1");
        lines_ = db_.Prepare("SELECT CodigoArticulo, Cantidad FROM DetSalidas WHERE SALIDA=?1 ORDER BY r");
        article_ = db_.Prepare("SELECT r, ExistenciaAnterior, Entradas, Salidas FROM Articulo WHERE NoArt=?1");
        updateArticle_ = db_.Prepare("UPDATE Articulo SET Salidas=?1 WHERE r=?2");
        maxKardex_ = db_.Prepare("SELECT coalesce(max(ID),0) FROM Kardex");
        maxHeader_ = db_.Prepare("SELECT coalesce(max(Id),0) FROM Salidas");
        kardex_ = db_.Prepare(
            "INSERT INTO Kardex(ID, ARTICULO, Fecha, Documento, Concepto, Referencia, Entrada, Salida, Existencia,"
            " COSTOUNITARIO, COSTOPROMEDIO) VALUES(?1,?2,0,?3,?4,'VALE-1',0,?5,?6,0,0)");
        folio_ = db_.Prepare("SELECT r, SALIDAS FROM Folios LIMIT 1");
        updateFolio_ = db_.Prepare("UPDATE Folios SET SALIDAS=?1 WHERE r=?2");
        header_ = db_.Prepare(
            "INSERT INTO Salidas(Id, Folio, TIPO, Fecha, RECIBE, PROVEEDOR, Referencia) VALUES(?1,?2,1,0,1,'','VALE-1')");
        addLine_ = db_.Prepare(
            "INSERT INTO DetSalidas(ID, SALIDA, CodigoArticulo, CODIGOBARRAS, Cantidad, CostoUnitario)"
            " VALUES((SELECT coalesce(max(ID),0)+1 FROM DetSalidas),?1,?2,'',2,7.5)");
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
        sqlite3_bind_int64(type_, 1, 1);
        std::string concepto;
        if (sqlite3_step(type_) == SQLITE_ROW) concepto = reinterpret_cast<const char*>(sqlite3_column_text(type_, 0));
        sqlite3_reset(type_);
        struct Line {
            long long article;
            double quantity;
        };
        std::vector<Line> lines;
        std::map<long long, double> wanted;
        sqlite3_bind_int64(lines_, 1, folio);
        while (sqlite3_step(lines_) == SQLITE_ROW) {
            lines.push_back({sqlite3_column_int64(lines_, 0), sqlite3_column_double(lines_, 1)});
            wanted[lines.back().article] += lines.back().quantity;
        }
        sqlite3_reset(lines_);
        std::map<long long, bool> checked;
        long long kardexId = BareSqlite::One(maxKardex_);
        const std::string document = "SAL-" + std::to_string(folio);
        for (const Line& l : lines) {
            sqlite3_bind_int64(article_, 1, l.article);
            if (sqlite3_step(article_) != SQLITE_ROW) {
                sqlite3_reset(article_);
                return db_.Rollback();
            }
            const long long row = sqlite3_column_int64(article_, 0);
            const double salidas = sqlite3_column_double(article_, 3);
            const double stock = sqlite3_column_double(article_, 1) + sqlite3_column_double(article_, 2) - salidas;
            sqlite3_reset(article_);
            if (!checked[l.article]) {
                checked[l.article] = true;
                if (wanted[l.article] > stock) return db_.Rollback();
            }
            sqlite3_bind_double(updateArticle_, 1, salidas + l.quantity);
            sqlite3_bind_int64(updateArticle_, 2, row);
            BareSqlite::Step(updateArticle_);
            sqlite3_bind_int64(kardex_, 1, ++kardexId);
            sqlite3_bind_int64(kardex_, 2, l.article);
            sqlite3_bind_text(kardex_, 3, document.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(kardex_, 4, concepto.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_double(kardex_, 5, l.quantity);
            sqlite3_bind_double(kardex_, 6, stock - l.quantity);
            BareSqlite::Step(kardex_);
        }
        BareSqlite::AdvanceFolio(folio_, updateFolio_, folio);
        BareSqlite::InsertHeader(maxHeader_, header_, folio);
        return db_.TryExec("COMMIT");
    }

private:
    BareSqlite db_;
    sqlite3_stmt *folioUsed_ = nullptr, *type_ = nullptr, *lines_ = nullptr, *article_ = nullptr,
                 *updateArticle_ = nullptr, *maxKardex_ = nullptr, *maxHeader_ = nullptr, *kardex_ = nullptr,
                 *folio_ = nullptr, *updateFolio_ = nullptr, *header_ = nullptr, *addLine_ = nullptr;
};

// One issue of 1,000 lines per iteration; the lines are stored untimed.
template <class Db>
void IssueOf1000Lines(benchmark::State& state) {
    bench::TempDir dir;
    Db db(dir.path());
    long long folio = 1;
    for (auto _ : state) {
        state.PauseTiming();
        db.storeLines(folio);
        state.ResumeTiming();
        if (!db.complete(folio)) state.SkipWithError("the issue was not completed");
        ++folio;
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

void BM_Issue1000Lines_Ours(benchmark::State& s) { IssueOf1000Lines<OurIssues>(s); }
void BM_Issue1000Lines_Bare(benchmark::State& s) { IssueOf1000Lines<BareIssues>(s); }

BENCHMARK(BM_Issue1000Lines_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Issue1000Lines_Bare)->Unit(benchmark::kMillisecond);

}  // namespace
