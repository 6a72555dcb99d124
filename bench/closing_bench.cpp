// The period closing beside the bare SQLite C API doing the same deletes
// and writes in one transaction, over one period: TALVOR_BENCH_ARTICLES
// articles (default 100000), TALVOR_BENCH_LEDGER ledger rows (default
// 1000000), a tenth of the articles' count in receipts and in issues with 5
// lines each, and a fiftieth in orders with 3 lines, every other one
// completely received.
//
// Each run starts from a copy of the same database, kept beside the
// benchmark as closing_bench_<articles>_<ledger>_v3.db once built (on the
// program's own tables, its rows written straight through SQLite in one
// transaction, so that building it takes seconds); copying it is not timed,
// the commit is. After its runs each benchmark lets the other side close a
// copy of its own (not timed) and fails when the two closed files differ.
// The peak resident memory of the timed runs is reported as peak_rss_MB:
// run one benchmark per process (--benchmark_filter) to read each one's own.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "bench/support/bare_sqlite.h"
#include "bench/support/folder.h"
#include "bench/support/statement_profile.h"
#include "bench/support/stored_rows.h"
#include "data/thread_table_set.h"
#include "platform/errors/error_reporter.h"
#include "platform/storage/storage.h"
#include "platform/types/date.h"
#include "reports/closing/closing.h"

namespace {

using namespace tv;
using bench::BareSqlite;
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

double cents(long long c) { return static_cast<double>(c) / 100.0; }

// Rows of one table of the period: ?1 the row's number, then its values,
// the row version last.
class Rows {
public:
    Rows(BareSqlite& db, TableId t, const std::string& columns, int values)
        : db_(db), numbers_(db.Numbers(*data::storageDef(t))) {
        std::string params;
        for (int i = 1; i <= values + 2; ++i) params += (i > 1 ? ",?" : "?") + std::to_string(i);
        insert_ = db.Prepare("INSERT INTO " + data::storageDef(t)->table + "(" + numberColumn() + "," + columns +
                             ",tv_version) VALUES(" + params + ")");
    }
    sqlite3_stmt* Next() {
        sqlite3_bind_int64(insert_, 1, ++last_);
        sqlite3_bind_int64(insert_, sqlite3_bind_parameter_count(insert_), db_.Version());
        return insert_;
    }
    void Store() {
        if (!BareSqlite::Run(insert_)) throw std::runtime_error(sqlite3_errmsg(db_.db()));
    }
    void NoteLast() { db_.NoteNumber(numbers_, last_); }

private:
    std::string numberColumn() const { return numbers_.column; }
    BareSqlite& db_;
    BareSqlite::Numbering numbers_;
    sqlite3_stmt* insert_ = nullptr;
    int64_t last_ = 0;
};

// The period every run closes: the program's tables (made as at its start),
// every column the table layer writes (the others keep their defaults, the
// layer's blanks and zeros), row versions from the connection's counter and
// the auto-number counters noted.
void buildPeriod(const fs::path& file) {
    const int64_t n = articles(), k = ledgerRows();
    storage::Connection c(file);
    {
        data::ThreadTableSet set(c);
        if (data::CreateAllTables(set) != data::kDone) throw std::runtime_error("could not make the tables");
    }
    BareSqlite db(c);
    Rows article(db, TableId::Articulo, "NoArt,Descripcion,CodigoBarras,Marca,Entradas,Salidas,COSTOPROMEDIO", 7);
    Rows ledger(db, TableId::Kardex, "ARTICULO,Fecha,Documento,Concepto,Entrada,Existencia,COSTOUNITARIO,COSTOPROMEDIO", 8);
    Rows receipt(db, TableId::Entradas, "Folio,TIPO,PROVEEDOR", 3);
    Rows issue(db, TableId::Salidas, "Folio,TIPO,RECIBE", 3);
    Rows receiptLine(db, TableId::DetEntradas, "ENTRADA,CodigoArticulo,Cantidad", 3);
    Rows issueLine(db, TableId::DetSalidas, "SALIDA,CodigoArticulo,Cantidad", 3);
    Rows order(db, TableId::Ordenes, "Folio,PorcSurtido", 2);
    Rows orderLine(db, TableId::DetOrdenes, "ORDEN,Articulo,Cantidad,Recibido", 4);
    if (!db.Begin()) throw std::runtime_error("could not begin");
    for (int64_t i = 1; i <= n; ++i) {
        sqlite3_stmt* s = article.Next();
        const std::string description = "Artículo de prueba número " + std::to_string(i);
        const std::string barcode = "7501" + std::to_string(1000000 + i);
        sqlite3_bind_int64(s, 2, i);
        BareSqlite::BindText(s, 3, description);
        BareSqlite::BindText(s, 4, barcode);
        sqlite3_bind_int64(s, 5, i % 40 + 1);
        sqlite3_bind_double(s, 6, cents(15050 + i % 997));
        sqlite3_bind_double(s, 7, cents(4025 + i % 313));
        sqlite3_bind_double(s, 8, cents(1780 + i % 1000));
        article.Store();
    }
    for (int64_t i = 0; i < k; ++i) {
        sqlite3_stmt* s = ledger.Next();
        const std::string document = "ENT-" + std::to_string(i / 5 + 1);
        sqlite3_bind_int64(s, 2, i % n + 1);
        sqlite3_bind_int64(s, 3, Today() - 90 + i % 90);
        BareSqlite::BindText(s, 4, document);
        BareSqlite::BindText(s, 5, "COMPRA");
        sqlite3_bind_double(s, 6, cents(100 + i % 50));
        sqlite3_bind_double(s, 7, cents(5000 + i % 700));
        sqlite3_bind_double(s, 8, cents(1234));
        sqlite3_bind_double(s, 9, cents(1234));
        ledger.Store();
    }
    for (int64_t f = 1; f <= n / 10; ++f) {
        sqlite3_stmt* s = receipt.Next();
        sqlite3_bind_int64(s, 2, f);
        sqlite3_bind_int64(s, 3, 1);
        BareSqlite::BindText(s, 4, "PROV1");
        receipt.Store();
        s = issue.Next();
        sqlite3_bind_int64(s, 2, f);
        sqlite3_bind_int64(s, 3, 1);
        sqlite3_bind_int64(s, 4, 2);
        issue.Store();
        for (int64_t l = 0; l < 5; ++l) {
            for (auto [rows, quantity] : {std::pair{&receiptLine, 250}, std::pair{&issueLine, 125}}) {
                s = rows->Next();
                sqlite3_bind_int64(s, 2, f);
                sqlite3_bind_int64(s, 3, (f * 5 + l) % n + 1);
                sqlite3_bind_double(s, 4, cents(quantity));
                rows->Store();
            }
        }
    }
    for (int64_t f = 1; f <= n / 50; ++f) {
        const bool complete = f % 2 == 0;
        sqlite3_stmt* s = order.Next();
        sqlite3_bind_int64(s, 2, f);
        sqlite3_bind_int64(s, 3, complete ? 100 : 40);
        order.Store();
        for (int64_t l = 0; l < 3; ++l) {
            s = orderLine.Next();
            sqlite3_bind_int64(s, 2, f);
            sqlite3_bind_int64(s, 3, l + 1);
            sqlite3_bind_double(s, 4, cents(500));
            sqlite3_bind_double(s, 5, cents(complete ? 500 : 200));
            orderLine.Store();
        }
    }
    for (Rows* r : {&article, &ledger, &receipt, &issue, &receiptLine, &issueLine, &order, &orderLine}) r->NoteLast();
    if (!db.Commit()) throw std::runtime_error("could not store the period");
}

const fs::path& reference() {
    static const fs::path path = [] {
        const fs::path p = fs::current_path() / ("closing_bench_" + std::to_string(articles()) + "_" +
                                                 std::to_string(ledgerRows()) + "_v3.db");
        if (fs::exists(p)) return p;
        const fs::path building = p.string() + ".building";
        for (const char* end : {"", "-wal", "-shm"}) fs::remove(building.string() + end);
        buildPeriod(building);
        fs::rename(building, p);
        for (const char* end : {"-wal", "-shm"}) fs::remove(building.string() + end);
        return p;
    }();
    return path;
}

// A fresh copy of the period to close, at `to`.
void freshCopy(const fs::path& to) {
    for (const char* end : {"", "-wal", "-shm"}) fs::remove(to.string() + end);
    fs::copy_file(reference(), to);
}

void peakMemory(benchmark::State& state) {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    state.counters["peak_rss_MB"] = static_cast<double>(u.ru_maxrss) / 1024.0;
}

// The closing as its window runs it, with the window's progress (it looks
// at the clock and the percentage at every record; nothing is painted here).
class WindowProgress : public reports::ClosingProgress {
public:
    void passStarted(reports::ClosingPass, int64_t total) override { maximum_ = std::max<int64_t>(total, 1); }
    void advanced(reports::ClosingPass, int64_t done) override {
        const int64_t percent = std::min(done, maximum_) * 100 / maximum_;
        const auto now = std::chrono::steady_clock::now();
        if (percent == shown_ && now - last_ < std::chrono::milliseconds(100)) return;
        shown_ = percent;
        last_ = now;
    }

private:
    int64_t maximum_ = 1, shown_ = -1;
    std::chrono::steady_clock::time_point last_{};
};

bool programCloses(storage::Connection& c) {
    data::ThreadTableSet set(c);
    WindowProgress progress;
    const reports::ClosingResult r = reports::RunClosing(Today(), &progress, set);
    return r.done && r.articlesCarried == articles();
}

// The same work straight through SQLite: one transaction, prepared
// statements reading by the keys the table layer reads by, the same rows
// deleted and written (numbers, versions and the auto-number counter kept
// as the table layer keeps them).
bool bareCloses(storage::Connection& c) {
    BareSqlite db(c);
    if (!db.Begin()) return false;
    if (sqlite3_exec(db.db(), "DELETE FROM Kardex", nullptr, nullptr, nullptr) != SQLITE_OK) return db.Rollback();
    for (const char* t : {"Entradas", "Salidas"}) {
        const std::string table = t, link = table == "Entradas" ? "DetEntradas WHERE ENTRADA" : "DetSalidas WHERE SALIDA";
        // Every header reached through its folio key from folio 0.
        sqlite3_stmt* read = db.Prepare("SELECT Folio, tv_row FROM " + table +
                                        " WHERE Folio>=0 AND tv_pending=0 AND (Folio<>0) ORDER BY Folio");
        sqlite3_stmt* lines = db.Prepare("DELETE FROM " + link + "=?1");
        sqlite3_stmt* header = db.Prepare("DELETE FROM " + table + " WHERE tv_row=?1");
        int rc;
        while ((rc = sqlite3_step(read)) == SQLITE_ROW) {
            sqlite3_bind_int64(lines, 1, sqlite3_column_int64(read, 0));
            sqlite3_bind_int64(header, 1, sqlite3_column_int64(read, 1));
            if (!BareSqlite::Run(lines) || !BareSqlite::Run(header)) break;
        }
        sqlite3_reset(read);
        if (rc != SQLITE_DONE) return db.Rollback();
    }
    {
        // Orders at exactly 100 % whose every line has been received in full.
        sqlite3_stmt* read = db.Prepare("SELECT Folio, tv_row, PorcSurtido FROM Ordenes"
                                        " WHERE Folio>=0 AND tv_pending=0 AND (Folio<>0) ORDER BY Folio");
        sqlite3_stmt* pending = db.Prepare("SELECT count(*), sum(Recibido<Cantidad) FROM DetOrdenes WHERE ORDEN=?1");
        sqlite3_stmt* lines = db.Prepare("DELETE FROM DetOrdenes WHERE ORDEN=?1");
        sqlite3_stmt* header = db.Prepare("DELETE FROM Ordenes WHERE tv_row=?1");
        int rc;
        while ((rc = sqlite3_step(read)) == SQLITE_ROW) {
            if (sqlite3_column_int64(read, 2) != 100) continue;
            const int64_t folio = sqlite3_column_int64(read, 0);
            sqlite3_bind_int64(pending, 1, folio);
            sqlite3_step(pending);
            const bool complete = sqlite3_column_int64(pending, 0) > 0 && sqlite3_column_int64(pending, 1) == 0;
            sqlite3_reset(pending);
            if (!complete) continue;
            sqlite3_bind_int64(lines, 1, folio);
            sqlite3_bind_int64(header, 1, sqlite3_column_int64(read, 1));
            if (!BareSqlite::Run(lines) || !BareSqlite::Run(header)) break;
        }
        sqlite3_reset(read);
        if (rc != SQLITE_DONE) return db.Rollback();
    }
    const BareSqlite::Numbering numbers = db.Numbers(*data::storageDef(TableId::Kardex));
    int64_t id = BareSqlite::LastNumber(numbers);
    sqlite3_stmt* read = db.PrepareScan("SELECT tv_row, NoArt, ExistenciaAnterior, Entradas, Salidas, COSTOPROMEDIO,"
                                        " tv_pending FROM Articulo ORDER BY tv_row");
    sqlite3_stmt* add = db.Prepare(
        "INSERT INTO Kardex(ID,ARTICULO,Fecha,Documento,Concepto,Referencia,Entrada,Salida,Existencia,"
        "COSTOUNITARIO,COSTOPROMEDIO,tv_version,tv_pending) VALUES(?1,?2,?3,'1',?4,'',?5,0,?5,?6,?6,?7,0)");
    sqlite3_stmt* carry =
        db.Prepare("UPDATE Articulo SET Entradas=?1, Salidas=0, ExistenciaAnterior=0, tv_version=?2 WHERE tv_row=?3");
    int rc;
    while ((rc = sqlite3_step(read)) == SQLITE_ROW) {
        // A reservation another station holds is not an article yet.
        if (sqlite3_column_int(read, 6) != 0) continue;
        const int64_t stock = bench::ToCents(sqlite3_column_double(read, 2)) +
                              bench::ToCents(sqlite3_column_double(read, 3)) -
                              bench::ToCents(sqlite3_column_double(read, 4));
        const int64_t average = bench::ToCents(sqlite3_column_double(read, 5));
        if (!bench::FitsCents(stock, 11) || !bench::FitsCents(average, 9)) break;
        sqlite3_bind_int64(add, 1, ++id);
        sqlite3_bind_int64(add, 2, sqlite3_column_int64(read, 1));
        sqlite3_bind_int64(add, 3, Today());
        BareSqlite::BindText(add, 4, "INVENTARIO INICIAL");
        sqlite3_bind_double(add, 5, bench::FromCents(stock));
        sqlite3_bind_double(add, 6, bench::FromCents(average));
        sqlite3_bind_int64(add, 7, db.Version());
        sqlite3_bind_double(carry, 1, bench::FromCents(stock));
        sqlite3_bind_int64(carry, 2, db.Version());
        sqlite3_bind_int64(carry, 3, sqlite3_column_int64(read, 0));
        if (!BareSqlite::Run(add) || !BareSqlite::Run(carry)) break;
    }
    sqlite3_reset(read);
    if (rc != SQLITE_DONE) return db.Rollback();
    db.NoteNumber(numbers, id);
    return db.Commit();
}

using Close = bool (*)(storage::Connection&);

// `timed` closes a fresh copy per iteration; then `other` closes one of its
// own, and both closed files must hold the same rows.
void RunClosingPair(benchmark::State& state, const char* title, Close timed, Close other) {
    ErrorReporter::instance().setUp();
    reference();
    bench::Folder dir("tv_closing");
    const fs::path mine = dir.path / "timed.db", theirs = dir.path / "other.db";
    for (auto _ : state) {
        state.PauseTiming();
        freshCopy(mine);
        auto c = std::make_unique<storage::Connection>(mine);
        bench::StatementProfile profile(c->db(), title);
        profile.Units(1);
        state.ResumeTiming();
        const bool ok = timed(*c);
        state.PauseTiming();
        if (!ok) {
            state.SkipWithError((std::string(title) + ": the closing was not done").c_str());
            return;
        }
        c.reset();
        state.ResumeTiming();
    }
    peakMemory(state);
    freshCopy(theirs);
    {
        storage::Connection c(theirs);
        if (!other(c)) {
            state.SkipWithError((std::string(title) + ": the other side did not close").c_str());
            return;
        }
    }
    if (const std::string d = bench::StoredRowsDiffer(mine, theirs); !d.empty())
        state.SkipWithError((std::string(title) + ": the two sides stored other rows: " + d).c_str());
}

void BM_ClosingTalvor(benchmark::State& state) { RunClosingPair(state, "closing, program", programCloses, bareCloses); }
void BM_ClosingBareSqlite(benchmark::State& state) { RunClosingPair(state, "closing, bare", bareCloses, programCloses); }

BENCHMARK(BM_ClosingTalvor)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ClosingBareSqlite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
