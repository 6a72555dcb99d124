// The storage layer beside the bare SQLite C API doing the same work:
// adding articles in one transaction, reading by key, reading next through
// a key, and units of work that read articles by key and rewrite them (a
// posting of 100 lines) or add a few to the full table. Rows per run:
// TALVOR_BENCH_ROWS (default 100000; 1000000 for the full figure).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/storage/storage.h"
#include "platform/types/text.h"

namespace {

using namespace tv;
using namespace tv::storage;
namespace fs = std::filesystem;

int64_t rows() {
    const char* e = std::getenv("TALVOR_BENCH_ROWS");
    long long n = e ? std::atoll(e) : 0;
    return n > 0 ? n : 100000;
}

// The article table: 21 fields, 7 keys.
enum {
    kId, kNoArt, kDescripcion, kUM, kMarca, kCategoria, kCodigoBarras, kModelo, kTamano, kCapacidad,
    kFotografia, kStockMaximo, kStockMinimo, kStockIdeal, kExistenciaAnterior, kEntradas, kSalidas,
    kPedido, kRecibido, kCostoPromedio, kNotas, kFieldCount
};
enum { kKeyId, kKeyNoArt, kKeyDescripcion, kKeyUM, kKeyMarca, kKeyCategoria, kKeyCodigoBarras };

std::shared_ptr<const TableDef> articuloDef() {
    auto S = [](const char* n, int size) { return FieldSpec{std::string("ART:") + n, FieldType::String, size, 0}; };
    auto D = [](const char* n, int size, int places) {
        return FieldSpec{std::string("ART:") + n, FieldType::Decimal, size, places};
    };
    auto L = [](const char* n) { return FieldSpec{std::string("ART:") + n, FieldType::Long, 0, 0}; };
    auto layout = std::make_shared<RecordLayout>(
        "Articulo", "ART",
        std::vector<FieldSpec>{L("ID"), D("NoArt", 11, 0), S("Descripcion", 70), L("UM"), L("Marca"),
                               L("categoria"), S("CodigoBarras", 20), S("Modelo", 20), S("Tamano", 20),
                               S("CAPACIDAD", 20), S("FOTOGRAFIA", 255), D("StockMaximo", 11, 2),
                               D("StockMinimo", 11, 2), D("StockIdeal", 11, 2), D("ExistenciaAnterior", 11, 2),
                               D("Entradas", 11, 2), D("Salidas", 11, 2), D("Pedido", 11, 2), D("Recibido", 11, 2),
                               D("COSTOPROMEDIO", 11, 2), FieldSpec{"ART:Notas", FieldType::Memo, 1000, 0}});
    auto def = std::make_shared<TableDef>();
    def->table = "Articulo";
    def->layout = layout;
    def->keys = {{"ART:KeyId", {kId}, true, true, false, true},
                 {"ART:KeyNoArt", {kNoArt}, true, true, true, false},
                 {"ART:KeyDescripcion", {kDescripcion}, false, true, false, false},
                 {"ART:KeyUM", {kUM}, false, true, false, false},
                 {"ART:KeyMarca", {kMarca}, false, true, false, false},
                 {"ART:KeyCategoria", {kCategoria}, false, true, false, false},
                 {"ART:KeyCodigoBarras", {kCodigoBarras}, false, true, true, false}};
    return def;
}

const std::shared_ptr<const TableDef>& def() {
    static auto d = articuloDef();
    return d;
}

// A pool of varied articles; article i is pool[i % size] with its own number.
constexpr int kPool = 4096;
const std::vector<Record>& pool() {
    static std::vector<Record> p = [] {
        std::vector<Record> v;
        std::mt19937_64 rng(42);
        const char* words[] = {"tornillo", "Ñandú", "cable", "válvula", "TUERCA", "árbol", "llave", "codo", "tubo",
                               "brida", "Manguera", "abrazadera", "arandela", "Perno", "taquete", "clavo"};
        for (int i = 0; i < kPool; ++i) {
            Record r(def()->layout);
            std::string d;
            for (int w = 0; w < 4; ++w) d += std::string(words[rng() % 16]) + " ";
            d += std::to_string(rng() % 100000);
            r.setText(kDescripcion, d);
            r.setRaw(kUM, static_cast<long long>(rng() % 40 + 1));
            r.setRaw(kMarca, static_cast<long long>(rng() % 500 + 1));
            r.setRaw(kCategoria, static_cast<long long>(rng() % 200 + 1));
            if (i % 3) r.setText(kCodigoBarras, std::to_string(7500000000000ULL + rng() % 1000000000ULL));
            r.setText(kModelo, "M-" + std::to_string(rng() % 1000));
            r.setText(kTamano, std::to_string(rng() % 50) + " cm");
            r.setText(kCapacidad, std::to_string(rng() % 20) + " l");
            for (int f = kStockMaximo; f <= kCostoPromedio; ++f) r.setRaw(f, static_cast<long long>(rng() % 10000000));
            v.push_back(std::move(r));
        }
        return v;
    }();
    return p;
}

long long noArtOf(int64_t i) { return 1000 + i * 7; }

// ---------------------------------------------------------------------------
// The bare API: the same columns and keys, built-in NOCASE, numbers given.

const char* kBareSchema =
    "CREATE TABLE Articulo(rowid_ INTEGER PRIMARY KEY, ID INTEGER NOT NULL, NoArt INTEGER NOT NULL,"
    " Descripcion TEXT NOT NULL COLLATE NOCASE, UM INTEGER NOT NULL, Marca INTEGER NOT NULL,"
    " categoria INTEGER NOT NULL, CodigoBarras TEXT NOT NULL COLLATE NOCASE, Modelo TEXT NOT NULL,"
    " Tamano TEXT NOT NULL, CAPACIDAD TEXT NOT NULL, FOTOGRAFIA TEXT NOT NULL, StockMaximo REAL NOT NULL,"
    " StockMinimo REAL NOT NULL, StockIdeal REAL NOT NULL, ExistenciaAnterior REAL NOT NULL,"
    " Entradas REAL NOT NULL, Salidas REAL NOT NULL, Pedido REAL NOT NULL, Recibido REAL NOT NULL,"
    " COSTOPROMEDIO REAL NOT NULL, Notas TEXT NOT NULL);"
    "CREATE UNIQUE INDEX a0 ON Articulo(ID);"
    "CREATE UNIQUE INDEX a1 ON Articulo(NoArt) WHERE NoArt<>0;"
    "CREATE INDEX a2 ON Articulo(Descripcion COLLATE NOCASE, rowid_);"
    "CREATE INDEX a3 ON Articulo(UM, rowid_);"
    "CREATE INDEX a4 ON Articulo(Marca, rowid_);"
    "CREATE INDEX a5 ON Articulo(categoria, rowid_);"
    "CREATE INDEX a6 ON Articulo(CodigoBarras COLLATE NOCASE, rowid_) WHERE CodigoBarras<>'';";

const char* kBareColumns =
    "ID,NoArt,Descripcion,UM,Marca,categoria,CodigoBarras,Modelo,Tamano,CAPACIDAD,FOTOGRAFIA,StockMaximo,"
    "StockMinimo,StockIdeal,ExistenciaAnterior,Entradas,Salidas,Pedido,Recibido,COSTOPROMEDIO,Notas";

sqlite3* bareOpen(const fs::path& p) {
    sqlite3* db = nullptr;
    sqlite3_open(p.c_str(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", nullptr, nullptr, nullptr);
    return db;
}

void bareBind(sqlite3_stmt* s, const Record& r, long long id, long long noArt) {
    const RecordLayout& lay = r.layout();
    for (int f = 0; f < kFieldCount; ++f) {
        const FieldSpec& fs = lay.field(f);
        if (f == kId) {
            sqlite3_bind_int64(s, f + 1, id);
        } else if (f == kNoArt) {
            sqlite3_bind_int64(s, f + 1, noArt);
        } else if (fs.type == FieldType::String || fs.type == FieldType::Memo) {
            std::string_view v = rtrim(r.text(f));
            sqlite3_bind_text(s, f + 1, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
        } else if (fs.type == FieldType::Decimal && fs.places > 0) {
            sqlite3_bind_double(s, f + 1, static_cast<double>(r.raw(f)) / 100.0);
        } else {
            sqlite3_bind_int64(s, f + 1, r.raw(f));
        }
    }
}

// What a bare caller reads a row into.
struct BareArticle {
    long long ints[kFieldCount];
    double reals[kFieldCount];
    std::string texts[kFieldCount];
};

void bareRead(sqlite3_stmt* s, BareArticle& a) {
    for (int f = 0; f < kFieldCount; ++f) {
        switch (sqlite3_column_type(s, f)) {
        case SQLITE_TEXT:
            a.texts[f].assign(reinterpret_cast<const char*>(sqlite3_column_text(s, f)),
                              static_cast<size_t>(sqlite3_column_bytes(s, f)));
            break;
        case SQLITE_FLOAT: a.reals[f] = sqlite3_column_double(s, f); break;
        default: a.ints[f] = sqlite3_column_int64(s, f); break;
        }
    }
}

fs::path benchDir() {
    static fs::path d = [] {
        fs::path p = fs::temp_directory_path() / ("talvor-bench-" + std::to_string(::getpid()));
        fs::create_directories(p);
        return p;
    }();
    return d;
}

void removeDb(const fs::path& p) {
    for (const char* ext : {"", "-wal", "-shm"}) fs::remove(p.string() + ext);
}

// Fills a database through the layer / the bare API.
void fillLayer(const fs::path& p, int64_t n) {
    removeDb(p);
    Connection c(p);
    Table t(c, def());
    Transaction tx(c);
    Record r(def()->layout);
    for (int64_t i = 0; i < n; ++i) {
        r = pool()[static_cast<size_t>(i % kPool)];
        r.setRaw(kNoArt, noArtOf(i));
        if (!t.insert(r).ok()) std::abort();
    }
    if (!tx.commit().ok()) std::abort();
}

void fillBare(const fs::path& p, int64_t n) {
    removeDb(p);
    sqlite3* db = bareOpen(p);
    sqlite3_exec(db, kBareSchema, nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_stmt* s = nullptr;
    std::string sql = std::string("INSERT INTO Articulo(") + kBareColumns +
                      ") VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) std::abort();
    for (int64_t i = 0; i < n; ++i) {
        bareBind(s, pool()[static_cast<size_t>(i % kPool)], i + 1, noArtOf(i));
        if (sqlite3_step(s) != SQLITE_DONE) std::abort();
        sqlite3_reset(s);
    }
    sqlite3_finalize(s);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

void BM_Insert_Layer(benchmark::State& state) {
    const int64_t n = state.range(0);
    fs::path p = benchDir() / "insert-layer.db";
    for (auto _ : state) {
        fillLayer(p, n);
    }
    state.SetItemsProcessed(state.iterations() * n);
    removeDb(p);
}

void BM_Insert_Bare(benchmark::State& state) {
    const int64_t n = state.range(0);
    fs::path p = benchDir() / "insert-bare.db";
    for (auto _ : state) {
        fillBare(p, n);
    }
    state.SetItemsProcessed(state.iterations() * n);
    removeDb(p);
}

const fs::path& layerDb() {
    static fs::path p = [] {
        fs::path q = benchDir() / "read-layer.db";
        fillLayer(q, rows());
        return q;
    }();
    return p;
}

const fs::path& bareDb() {
    static fs::path p = [] {
        fs::path q = benchDir() / "read-bare.db";
        fillBare(q, rows());
        return q;
    }();
    return p;
}

void BM_ReadByKey_Layer(benchmark::State& state) {
    const int64_t n = rows();
    Connection c(layerDb());
    Table t(c, def());
    Record r(def()->layout);
    std::mt19937_64 rng(7);
    for (auto _ : state) {
        r.setRaw(kNoArt, noArtOf(static_cast<int64_t>(rng() % static_cast<uint64_t>(n))));
        if (!t.readByKey(kKeyNoArt, r).ok()) std::abort();
        benchmark::DoNotOptimize(r.raw(kId));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ReadByKey_Bare(benchmark::State& state) {
    const int64_t n = rows();
    sqlite3* db = bareOpen(bareDb());
    sqlite3_stmt* s = nullptr;
    std::string sql = std::string("SELECT ") + kBareColumns + " FROM Articulo WHERE NoArt=? AND NoArt<>0";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) std::abort();
    BareArticle a;
    std::mt19937_64 rng(7);
    for (auto _ : state) {
        sqlite3_bind_int64(s, 1, noArtOf(static_cast<int64_t>(rng() % static_cast<uint64_t>(n))));
        if (sqlite3_step(s) != SQLITE_ROW) std::abort();
        bareRead(s, a);
        sqlite3_reset(s);
        benchmark::DoNotOptimize(a.ints[kId]);
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations());
}

void BM_ReadNext_Layer(benchmark::State& state) {
    Connection c(layerDb());
    Table t(c, def());
    Record r(def()->layout);
    t.setOrder(kKeyDescripcion);
    for (auto _ : state) {
        if (!t.next(r).ok()) t.setOrder(kKeyDescripcion);
        benchmark::DoNotOptimize(r.raw(kId));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ReadNext_Bare(benchmark::State& state) {
    sqlite3* db = bareOpen(bareDb());
    sqlite3_stmt* s = nullptr;
    std::string sql = std::string("SELECT ") + kBareColumns + " FROM Articulo ORDER BY Descripcion COLLATE NOCASE, rowid_";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) std::abort();
    BareArticle a;
    for (auto _ : state) {
        if (sqlite3_step(s) != SQLITE_ROW) sqlite3_reset(s);
        else bareRead(s, a);
        benchmark::DoNotOptimize(a.ints[kId]);
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations());
}

// A unit of work over the full table: 100 articles read by key and
// rewritten (their receipts total), as a posting of 100 lines does.
constexpr int kLinesPerUnit = 100;

void BM_Posting_Layer(benchmark::State& state) {
    const int64_t n = rows();
    Connection c(layerDb());
    Table t(c, def());
    Record r(def()->layout);
    std::mt19937_64 rng(11);
    for (auto _ : state) {
        Transaction tx(c);
        if (!tx.ok()) std::abort();
        for (int i = 0; i < kLinesPerUnit; ++i) {
            r.setRaw(kNoArt, noArtOf(static_cast<int64_t>(rng() % static_cast<uint64_t>(n))));
            if (!t.readByKey(kKeyNoArt, r).ok()) std::abort();
            r.setRaw(kEntradas, r.raw(kEntradas) + 100);
            if (!t.update(r).ok()) std::abort();
        }
        if (!tx.commit().ok()) std::abort();
    }
    state.SetItemsProcessed(state.iterations() * kLinesPerUnit);
}

void BM_Posting_Bare(benchmark::State& state) {
    const int64_t n = rows();
    sqlite3* db = bareOpen(bareDb());
    sqlite3_stmt* get = nullptr;
    sqlite3_stmt* put = nullptr;
    std::string sql = std::string("SELECT rowid_,") + kBareColumns + " FROM Articulo WHERE NoArt=? AND NoArt<>0";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &get, nullptr) != SQLITE_OK) std::abort();
    if (sqlite3_prepare_v2(db, "UPDATE Articulo SET Entradas=? WHERE rowid_=?", -1, &put, nullptr) != SQLITE_OK)
        std::abort();
    std::mt19937_64 rng(11);
    for (auto _ : state) {
        if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
        for (int i = 0; i < kLinesPerUnit; ++i) {
            sqlite3_bind_int64(get, 1, noArtOf(static_cast<int64_t>(rng() % static_cast<uint64_t>(n))));
            if (sqlite3_step(get) != SQLITE_ROW) std::abort();
            const long long row = sqlite3_column_int64(get, 0);
            const double entradas = sqlite3_column_double(get, 1 + kEntradas);
            sqlite3_reset(get);
            sqlite3_bind_double(put, 1, entradas + 1.0);
            sqlite3_bind_int64(put, 2, row);
            if (sqlite3_step(put) != SQLITE_DONE) std::abort();
            sqlite3_reset(put);
        }
        if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
    }
    sqlite3_finalize(get);
    sqlite3_finalize(put);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * kLinesPerUnit);
}

// A unit of work that adds 100 articles to the full table (every key takes
// its entries in the middle of its index).
void BM_AddToFull_Layer(benchmark::State& state) {
    const int64_t n = rows();
    Connection c(layerDb());
    Table t(c, def());
    Record r(def()->layout);
    static int64_t next = n;  // the benchmark runs this more than once
    for (auto _ : state) {
        Transaction tx(c);
        if (!tx.ok()) std::abort();
        for (int i = 0; i < kLinesPerUnit; ++i, ++next) {
            r = pool()[static_cast<size_t>(next % kPool)];
            r.setRaw(kNoArt, noArtOf(next));
            if (Status st = t.insert(r); !st.ok()) {
                std::fprintf(stderr, "insert: %s\n", st.text.c_str());
                std::abort();
            }
        }
        if (!tx.commit().ok()) std::abort();
    }
    state.SetItemsProcessed(state.iterations() * kLinesPerUnit);
}

}  // namespace

int main(int argc, char** argv) {
    const int64_t n = rows();
    benchmark::RegisterBenchmark("Insert/Layer", BM_Insert_Layer)->Arg(n)->Unit(benchmark::kMillisecond)->Iterations(1);
    benchmark::RegisterBenchmark("Insert/Bare", BM_Insert_Bare)->Arg(n)->Unit(benchmark::kMillisecond)->Iterations(1);
    benchmark::RegisterBenchmark("ReadByKey/Layer", BM_ReadByKey_Layer);
    benchmark::RegisterBenchmark("ReadByKey/Bare", BM_ReadByKey_Bare);
    benchmark::RegisterBenchmark("ReadNext/Layer", BM_ReadNext_Layer);
    benchmark::RegisterBenchmark("ReadNext/Bare", BM_ReadNext_Bare);
    benchmark::RegisterBenchmark("Posting/Layer", BM_Posting_Layer)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Posting/Bare", BM_Posting_Bare)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("AddToFull/Layer", BM_AddToFull_Layer)->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(benchDir(), ec);
    return 0;
}
