// Views over 10,000 and 1,000,000 articles: the first page of 20 rows in each
// key order, paging down and up from the middle and locating a key value
// must cost the same at both sizes (keyset seeks); a full scan with a MATCH
// filter is compared with SQLite's LIKE doing the same work on the same rows.
//
// The two databases are built once per run in a temporary folder (the large
// one takes a while) and removed at the end.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "bench/bench_support.h"
#include "data/tables.h"
#include "data/thread_table_set.h"
#include "platform/view/view_cursor.h"

namespace {

using namespace tv;
using data::TableId;
namespace fs = std::filesystem;

const char* kWords[] = {"Tornillo", "Tuerca", "Arandela", "Cañón", "Broca", "Llave", "Motor", "Pinza", "Martillo"};

tv::bench::Folder& folder() {
    static tv::bench::Folder f("tv_view_bench");
    return f;
}

int field(const char* name) { return data::decl(TableId::Articulo).layout->indexOf(name); }
int key(const char* name) { return data::decl(TableId::Articulo).keyIndex(name); }

// A database of n articles and 50 units, made once.
struct Db {
    std::unique_ptr<storage::Connection> conn;
    Record art{data::decl(TableId::Articulo).layout};
    Record uni{data::decl(TableId::Unidades).layout};
    int64_t rows = 0;

    explicit Db(int n) : rows(n) {
        fs::path file = folder().path / ("articulos_" + std::to_string(n) + ".db");
        conn = std::make_unique<storage::Connection>(file);
        storage::Table a(*conn, data::storageDef(TableId::Articulo));
        storage::Table u(*conn, data::storageDef(TableId::Unidades));
        if (!a.open().ok() || !u.open().ok()) std::abort();
        sqlite3* db = conn->db();
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO Articulo(ID,NoArt,Descripcion,UM,Marca,categoria,CodigoBarras,"
                           "StockMinimo,ExistenciaAnterior,Entradas,Salidas) VALUES(?,?,?,?,?,?,?,?,?,?,?)",
                           -1, &s, nullptr);
        // Article numbers are spread (not in record order) so key order and
        // record order differ, as in a catalogue that grew over the years.
        for (int i = 1; i <= n; ++i) {
            long long no = (static_cast<long long>(i) * 7919) % n + 1;
            std::string d = std::string(kWords[i % 9]) + " de acero " + std::to_string(no) + " mm";
            std::string bar = i % 3 ? "750" + std::to_string(1000000 + no) : "";
            sqlite3_bind_int64(s, 1, i);
            sqlite3_bind_int64(s, 2, no);
            sqlite3_bind_text(s, 3, d.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int64(s, 4, i % 50 + 1);
            sqlite3_bind_int64(s, 5, i % 40 + 1);
            sqlite3_bind_int64(s, 6, i % 30 + 1);
            sqlite3_bind_text(s, 7, bar.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_double(s, 8, (i % 10) * 1.5);
            sqlite3_bind_double(s, 9, i % 100);
            sqlite3_bind_double(s, 10, i % 7);
            sqlite3_bind_double(s, 11, i % 11);
            if (sqlite3_step(s) != SQLITE_DONE) std::abort();
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
        for (int i = 1; i <= 50; ++i) {
            std::string sql = "INSERT INTO Unidades(Codigo,UM) VALUES(" + std::to_string(i) + ",'Unidad " +
                              std::to_string(i) + "')";
            sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        }
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "ANALYZE", nullptr, nullptr, nullptr);
    }

    // The article list's view: articles joined to their unit.
    std::unique_ptr<view::ViewCursor> view(int k) {
        auto v = std::make_unique<view::ViewCursor>(*conn);
        v->setPrimary(data::storageDef(TableId::Articulo), art);
        v->addJoin(data::storageDef(TableId::Unidades), uni, 0, {{0, field("ART:UM")}}, view::JoinKind::Outer);
        v->setOrder(k);
        return v;
    }
};

Db& db(int n) {
    static std::map<int, std::unique_ptr<Db>> all;
    auto& d = all[n];
    if (!d) d = std::make_unique<Db>(n);
    return *d;
}

const char* kKeys[] = {"ART:KeyId", "ART:KeyNoArt", "ART:KeyDescripcion", "ART:KeyUM",
                       "ART:KeyMarca", "ART:KeyCategoria", "ART:KeyCodigoBarras"};

void pageOf(view::ViewCursor& v, bool forward, benchmark::State& state) {
    int got = v.readPage(20, forward, [] {});
    if (got != 20) state.SkipWithError("short page");
}

// Args: rows, key number (index into kKeys).
void BM_FirstPage(benchmark::State& state) {
    Db& d = db(static_cast<int>(state.range(0)));
    auto v = d.view(key(kKeys[state.range(1)]));
    for (auto _ : state) {
        v->reset();
        pageOf(*v, true, state);
    }
    state.SetLabel(kKeys[state.range(1)]);
}

// The position, in v's order, of the article numbered n/2: its record is
// in the middle of the table, and in the middle of its run of equal values
// in the other keys.
std::string middle(view::ViewCursor& v, Db& d) {
    auto byNumber = d.view(key("ART:KeyNoArt"));
    d.art.setRaw(field("ART:NoArt"), d.rows / 2);
    byNumber->setPositionFromBuffer();
    byNumber->next();
    v.setPosition(byNumber->position());  // another order: found by its record number
    v.next();
    return v.position();
}

void BM_PageDownFromMiddle(benchmark::State& state) {
    Db& d = db(static_cast<int>(state.range(0)));
    auto v = d.view(key("ART:KeyNoArt"));
    std::string mid = middle(*v, d);
    for (auto _ : state) {
        v->setPosition(mid);
        pageOf(*v, true, state);
    }
}

void BM_PageUpFromMiddle(benchmark::State& state) {
    Db& d = db(static_cast<int>(state.range(0)));
    auto v = d.view(key("ART:KeyNoArt"));
    std::string mid = middle(*v, d);
    for (auto _ : state) {
        v->setPosition(mid);
        pageOf(*v, false, state);
    }
}

// Paging down by description from the middle (a text key with no-case order).
void BM_PageDownByDescription(benchmark::State& state) {
    Db& d = db(static_cast<int>(state.range(0)));
    auto v = d.view(key("ART:KeyDescripcion"));
    d.art.setText(field("ART:Descripcion"), "Martillo");
    v->setPositionFromBuffer();
    v->next();
    std::string mid = v->position();
    for (auto _ : state) {
        v->setPosition(mid);
        pageOf(*v, true, state);
    }
}

// Paging down by brand from the middle: a key with 40 values, so the page
// starts inside a long run of equal values.
void BM_PageDownByBrand(benchmark::State& state) {
    Db& d = db(static_cast<int>(state.range(0)));
    auto v = d.view(key("ART:KeyMarca"));
    std::string mid = middle(*v, d);
    for (auto _ : state) {
        v->setPosition(mid);
        pageOf(*v, true, state);
    }
}

void BM_PageUpByBrand(benchmark::State& state) {
    Db& d = db(static_cast<int>(state.range(0)));
    auto v = d.view(key("ART:KeyMarca"));
    std::string mid = middle(*v, d);
    for (auto _ : state) {
        v->setPosition(mid);
        pageOf(*v, false, state);
    }
}

// A locator: a typed value into the free key field, then at or after it.
void BM_LocateKeyValue(benchmark::State& state) {
    Db& d = db(static_cast<int>(state.range(0)));
    auto v = d.view(key("ART:KeyDescripcion"));
    const char* typed[] = {"Ll", "tor", "M", "BROCA DE ACERO 5", "Pinza de acero 77"};
    size_t i = 0;
    for (auto _ : state) {
        d.art.setText(field("ART:Descripcion"), typed[i++ % 5]);
        v->setPositionFromBuffer();
        if (!v->next().ok()) state.SkipWithError("not found");
    }
}

// Full scan with a MATCH filter (pushed to SQL), read in record order.
void BM_ScanMatch(benchmark::State& state) {
    Db& d = db(static_cast<int>(state.range(0)));
    auto v = d.view(view::ViewCursor::kRecordOrder);
    v->setFilter("MATCH(ART:Descripcion, '*acero 12?4 *', 17)");
    if (v->pushedFilterCount() != 1) state.SkipWithError("filter not pushed");
    v->setSequential(true);
    int64_t found = 0;
    for (auto _ : state) {
        v->reset();
        found = 0;
        while (v->next().ok()) ++found;
    }
    v->setSequential(false);
    state.counters["rows"] = static_cast<double>(found);
}

// SQLite alone: the same rows with LIKE, every column read, in record order.
void BM_ScanSqliteLike(benchmark::State& state) {
    Db& d = db(static_cast<int>(state.range(0)));
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(d.conn->db(), "SELECT * FROM Articulo WHERE Descripcion LIKE '%acero 12_4 %' ORDER BY tv_row",
                       -1, &s, nullptr);
    int64_t found = 0;
    for (auto _ : state) {
        found = 0;
        while (sqlite3_step(s) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(s); ++c) benchmark::DoNotOptimize(sqlite3_column_text(s, c));
            ++found;
        }
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    state.counters["rows"] = static_cast<double>(found);
}

void keysArgs(benchmark::internal::Benchmark* b) {
    for (int n : {10000, 1000000})
        for (int k = 0; k < 7; ++k) b->Args({n, k});
}
void sizes(benchmark::internal::Benchmark* b) {
    for (int n : {10000, 1000000}) b->Args({n});
}

BENCHMARK(BM_FirstPage)->Apply(keysArgs)->Unit(benchmark::kMicrosecond)->MinTime(0.2);
BENCHMARK(BM_PageDownFromMiddle)->Apply(sizes)->Unit(benchmark::kMicrosecond)->MinTime(0.2);
BENCHMARK(BM_PageUpFromMiddle)->Apply(sizes)->Unit(benchmark::kMicrosecond)->MinTime(0.2);
BENCHMARK(BM_PageDownByDescription)->Apply(sizes)->Unit(benchmark::kMicrosecond)->MinTime(0.2);
BENCHMARK(BM_PageDownByBrand)->Apply(sizes)->Unit(benchmark::kMicrosecond)->MinTime(0.2);
BENCHMARK(BM_PageUpByBrand)->Apply(sizes)->Unit(benchmark::kMicrosecond)->MinTime(0.2);
BENCHMARK(BM_LocateKeyValue)->Apply(sizes)->Unit(benchmark::kMicrosecond)->MinTime(0.2);
BENCHMARK(BM_ScanMatch)->Args({1000000})->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScanSqliteLike)->Args({1000000})->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
