// The period closing beside the bare SQLite C API doing the same deletes
// and writes in one transaction, over one period: TALVOR_BENCH_ARTICLES
// articles (default 100000), TALVOR_BENCH_LEDGER ledger rows (default
// 1000000), a tenth of the articles' count in receipts and in issues with 5
// lines each, and a fiftieth in orders with 3 lines, every other one
// completely received.
//
// Each run starts from a copy of the same database (built once, then kept
// beside the benchmark as closing_bench_<articles>_<ledger>_v2.db); copying it
// is not timed, the commit is. The peak resident memory of the process is
// reported as peak_rss_MB: run one benchmark per process
// (--benchmark_filter) to read each one's own.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "data/thread_table_set.h"
#include "data/transaction.h"
#include "platform/errors/error_reporter.h"
#include "platform/storage/storage.h"
#include "platform/types/date.h"
#include "platform/types/decimal.h"
#include "reports/closing/closing.h"

namespace {

using namespace tv;
using data::TableId;
namespace fs = std::filesystem;

int64_t sizeFrom(const char* name, int64_t fallback) {
    const char* e = std::getenv(name);
    const long long n = e != nullptr ? std::atoll(e) : 0;
    return n > 0 ? n : fallback;
}
int64_t articles() { return sizeFrom("TALVOR_BENCH_ARTICLES", 100000); }
int64_t ledgerRows() { return sizeFrom("TALVOR_BENCH_LEDGER", 1000000); }

// The day closed on, 1 April 2025; computed when the benchmark runs (a
// constant at namespace scope may be computed before the date routines').
long Today() { return dateFromYmd(2025, 4, 1); }

Value dec(long long cents) { return Value(Decimal::fromScaled(cents, 2)); }

void put(data::ThreadTableSet& set, TableId t, std::initializer_list<std::pair<const char*, Value>> row) {
    data::TableGateway& g = set.gateway(t);
    g.BUFFER.clear();
    for (const auto& [field, value] : row) g.BUFFER.set(data::decl(t).fieldIndex(field), value);
    if (g.InsertRecord() != data::kDone) throw std::runtime_error("could not store a row of " + data::decl(t).label);
}

// The period every run closes.
const fs::path& reference() {
    static const fs::path path = [] {
        const int64_t n = articles(), k = ledgerRows();
        fs::path p = fs::current_path() / ("closing_bench_" + std::to_string(n) + "_" + std::to_string(k) + "_v2.db");
        if (fs::exists(p)) return p;
        const fs::path building = p.string() + ".building";
        fs::remove(building);
        {
            storage::Connection c(building);
            data::ThreadTableSet set(c);
            data::DataTransaction tx(set, std::chrono::seconds(30));
            for (int64_t i = 1; i <= n; ++i)
                put(set, TableId::Articulo,
                    {{"ART:NoArt", Value(static_cast<long long>(i))},
                     {"ART:Descripcion", Value("Artículo de prueba número " + std::to_string(i))},
                     {"ART:CodigoBarras", Value("7501" + std::to_string(1000000 + i))},
                     {"ART:Marca", Value(static_cast<long long>(i % 40 + 1))},
                     {"ART:Entradas", dec(15050 + i % 997)},
                     {"ART:Salidas", dec(4025 + i % 313)},
                     {"ART:COSTOPROMEDIO", dec(1780 + i % 1000)}});
            for (int64_t i = 0; i < k; ++i)
                put(set, TableId::Kardex,
                    {{"KAR:ARTICULO", Value(static_cast<long long>(i % n + 1))},
                     {"KAR:Fecha", Value(static_cast<long>(Today() - 90 + i % 90))},
                     {"KAR:Documento", Value("ENT-" + std::to_string(i / 5 + 1))},
                     {"KAR:Concepto", Value("COMPRA")},
                     {"KAR:Entrada", dec(100 + i % 50)},
                     {"KAR:Existencia", dec(5000 + i % 700)},
                     {"KAR:COSTOUNITARIO", dec(1234)},
                     {"KAR:COSTOPROMEDIO", dec(1234)}});
            for (long long f = 1; f <= n / 10; ++f) {
                put(set, TableId::Entradas, {{"ENT:Folio", Value(f)}, {"ENT:TIPO", Value(1)}, {"ENT:PROVEEDOR", Value("PROV1")}});
                put(set, TableId::Salidas, {{"SAL:Folio", Value(f)}, {"SAL:TIPO", Value(1)}, {"SAL:RECIBE", Value(2)}});
                for (long long l = 0; l < 5; ++l) {
                    put(set, TableId::DetEntradas,
                        {{"DEN:ENTRADA", Value(f)}, {"DEN:CodigoArticulo", Value((f * 5 + l) % n + 1)}, {"DEN:Cantidad", dec(250)}});
                    put(set, TableId::DetSalidas,
                        {{"DES:SALIDA", Value(f)}, {"DES:CodigoArticulo", Value((f * 5 + l) % n + 1)}, {"DES:Cantidad", dec(125)}});
                }
            }
            for (long long f = 1; f <= n / 50; ++f) {
                const bool complete = f % 2 == 0;
                put(set, TableId::Ordenes, {{"ORD:Folio", Value(f)}, {"ORD:PorcSurtido", Value(complete ? 100 : 40)}});
                for (long long l = 0; l < 3; ++l)
                    put(set, TableId::DetOrdenes, {{"DOR:ORDEN", Value(f)}, {"DOR:Articulo", Value(l + 1)},
                                                   {"DOR:Cantidad", dec(500)}, {"DOR:Recibido", dec(complete ? 500 : 200)}});
            }
            if (!tx.commit()) throw std::runtime_error("could not store the period");
            // Every table exists, as in a database the program has used.
            for (int t = 0; t < data::kTableCount; ++t)
                if (set.gateway(static_cast<TableId>(t)).UseOnDemand() != data::kDone)
                    throw std::runtime_error("could not create the tables");
        }
        fs::rename(building, p);
        return p;
    }();
    return path;
}

// A fresh copy of the period to close.
fs::path freshCopy() {
    const fs::path work = fs::current_path() / "closing_bench_work.db";
    for (const char* end : {"", "-wal", "-shm"}) fs::remove(work.string() + end);
    fs::copy_file(reference(), work);
    return work;
}

// With TALVOR_BENCH_KEEP set, the last closed copy is kept under `name`, to
// compare what the two did.
void keep(const char* name) {
    if (std::getenv("TALVOR_BENCH_KEEP") == nullptr) return;
    const fs::path to = fs::current_path() / name;
    fs::remove(to);
    fs::copy_file(fs::current_path() / "closing_bench_work.db", to);
}

void peakMemory(benchmark::State& state) {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    state.counters["peak_rss_MB"] = static_cast<double>(u.ru_maxrss) / 1024.0;
}

void BM_ClosingTalvor(benchmark::State& state) {
    ErrorReporter::instance().setUp();
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path db = freshCopy();
        auto c = std::make_unique<storage::Connection>(db);
        auto set = std::make_unique<data::ThreadTableSet>(*c);
        state.ResumeTiming();
        const reports::ClosingResult r = reports::RunClosing(Today(), nullptr, *set);
        state.PauseTiming();
        if (!r.done || r.articlesCarried != articles()) state.SkipWithError("the closing was not done");
        set.reset();
        c.reset();
        keep("closing_bench_talvor.db");
        state.ResumeTiming();
    }
    peakMemory(state);
}

// The same work straight through SQLite: one transaction, prepared
// statements, the same rows deleted and written (numbers, versions and the
// auto-number counter kept as the table layer keeps them).
struct Stmt {
    sqlite3_stmt* s = nullptr;
    Stmt(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db));
    }
    ~Stmt() { sqlite3_finalize(s); }
    bool step() {
        const int rc = sqlite3_step(s);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errstr(rc));
        return rc == SQLITE_ROW;
    }
    void done() {
        while (step()) {
        }
        sqlite3_reset(s);
    }
};

void exec(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db));
}

void bareClosing(sqlite3* db) {
    exec(db, "BEGIN IMMEDIATE");
    exec(db, "DELETE FROM Kardex");
    for (const char* t : {"Entradas", "Salidas"}) {
        const std::string lines = std::string("DELETE FROM ") + (t[0] == 'E' ? "DetEntradas WHERE ENTRADA=?" : "DetSalidas WHERE SALIDA=?");
        Stmt read(db, (std::string("SELECT Folio, tv_row FROM ") + t + " WHERE Folio>0 AND tv_pending=0 ORDER BY Folio").c_str());
        Stmt delLines(db, lines.c_str());
        Stmt delHeader(db, (std::string("DELETE FROM ") + t + " WHERE tv_row=?").c_str());
        while (read.step()) {
            sqlite3_bind_int64(delLines.s, 1, sqlite3_column_int64(read.s, 0));
            delLines.done();
            sqlite3_bind_int64(delHeader.s, 1, sqlite3_column_int64(read.s, 1));
            delHeader.done();
        }
    }
    {
        Stmt read(db, "SELECT Folio, tv_row FROM Ordenes WHERE Folio>0 AND tv_pending=0 AND PorcSurtido=100 ORDER BY Folio");
        Stmt pending(db, "SELECT count(*), sum(Recibido<Cantidad) FROM DetOrdenes WHERE ORDEN=?");
        Stmt delLines(db, "DELETE FROM DetOrdenes WHERE ORDEN=?");
        Stmt delHeader(db, "DELETE FROM Ordenes WHERE tv_row=?");
        while (read.step()) {
            const int64_t folio = sqlite3_column_int64(read.s, 0);
            sqlite3_bind_int64(pending.s, 1, folio);
            pending.step();
            const bool complete = sqlite3_column_int64(pending.s, 0) > 0 && sqlite3_column_int64(pending.s, 1) == 0;
            sqlite3_reset(pending.s);
            if (!complete) continue;
            sqlite3_bind_int64(delLines.s, 1, folio);
            delLines.done();
            sqlite3_bind_int64(delHeader.s, 1, sqlite3_column_int64(read.s, 1));
            delHeader.done();
        }
    }
    {
        int64_t id = 0;
        {
            Stmt last(db, "SELECT coalesce((SELECT last FROM tv_autonumber WHERE tbl='kardex' AND col='id'), 0)");
            last.step();
            id = sqlite3_column_int64(last.s, 0);
        }
        Stmt read(db, "SELECT tv_row, NoArt, ExistenciaAnterior, Entradas, Salidas, COSTOPROMEDIO, tv_pending "
                      "FROM Articulo ORDER BY tv_row");
        Stmt add(db, "INSERT INTO Kardex(ID,ARTICULO,Fecha,Documento,Concepto,Referencia,Entrada,Salida,Existencia,"
                     "COSTOUNITARIO,COSTOPROMEDIO,tv_version,tv_pending) "
                     "VALUES(?1,?2,?3,'1','INVENTARIO INICIAL','',?4,0,?4,?5,?5,?6,0)");
        Stmt carry(db, "UPDATE Articulo SET Entradas=?1, Salidas=0, ExistenciaAnterior=0, tv_version=?2 WHERE tv_row=?3");
        while (read.step()) {
            if (sqlite3_column_int(read.s, 6) != 0) continue;
            auto centsOf = [&](int col) { return std::llround(sqlite3_column_double(read.s, col) * 100); };
            const double stock = static_cast<double>(centsOf(2) + centsOf(3) - centsOf(4)) / 100.0;
            ++id;
            sqlite3_bind_int64(add.s, 1, id);
            sqlite3_bind_int64(add.s, 2, sqlite3_column_int64(read.s, 1));
            sqlite3_bind_int64(add.s, 3, Today());
            sqlite3_bind_double(add.s, 4, stock);
            sqlite3_bind_double(add.s, 5, static_cast<double>(centsOf(5)) / 100.0);
            sqlite3_bind_int64(add.s, 6, id);
            add.done();
            sqlite3_bind_double(carry.s, 1, stock);
            sqlite3_bind_int64(carry.s, 2, id);
            sqlite3_bind_int64(carry.s, 3, sqlite3_column_int64(read.s, 0));
            carry.done();
        }
        Stmt counter(db, "INSERT INTO tv_autonumber(tbl,col,last) VALUES('kardex','id',?1) "
                         "ON CONFLICT(tbl,col) DO UPDATE SET last=excluded.last");
        sqlite3_bind_int64(counter.s, 1, id);
        counter.done();
    }
    exec(db, "COMMIT");
}

void BM_ClosingBareSqlite(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path db = freshCopy();
        // The layer's connection: its collation, WAL and synchronous=FULL.
        auto c = std::make_unique<storage::Connection>(db);
        state.ResumeTiming();
        try {
            bareClosing(c->db());
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
        }
        state.PauseTiming();
        c.reset();
        keep("closing_bench_bare.db");
        state.ResumeTiming();
    }
    peakMemory(state);
}

BENCHMARK(BM_ClosingTalvor)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ClosingBareSqlite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
