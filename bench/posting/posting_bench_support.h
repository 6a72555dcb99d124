#pragma once
// What the posting benchmarks share: a scratch folder each, records put
// through the table layer, and the bare SQLite C API's small helpers.
#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "data/thread_table_set.h"
#include "platform/types/record.h"

namespace tv::bench {

// A folder of its own for each benchmark, removed afterwards.
class TempDir {
public:
    TempDir() {
        std::string t = (std::filesystem::temp_directory_path() / "tv_posting_XXXXXX").string();
        path_ = mkdtemp(t.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// One record of `t` through the table layer (auto-numbered keys numbered).
inline void Put(data::ThreadTableSet& tables, data::TableId t,
                const std::vector<std::pair<const char*, Value>>& values) {
    data::TableGateway& g = tables.gateway(t);
    g.BUFFER.clear();
    for (const auto& [f, v] : values) g.BUFFER.set(g.declaration().fieldIndex(f), v);
    g.InsertRecord();
}

// The bare C API: statements prepared once, stepped and reset.
class BareSqlite {
public:
    explicit BareSqlite(const std::filesystem::path& file) {
        sqlite3_open(file.c_str(), &db_);
        // The journal, synchronous writes and page cache (64 MiB) of ours.
        Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA cache_size=-65536;");
    }
    ~BareSqlite() {
        for (sqlite3_stmt* s : statements_) sqlite3_finalize(s);
        sqlite3_close(db_);
    }
    BareSqlite(const BareSqlite&) = delete;
    BareSqlite& operator=(const BareSqlite&) = delete;

    void Exec(const std::string& sql) { sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
    bool TryExec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
    sqlite3_stmt* Prepare(const char* sql) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
        statements_.push_back(s);
        return s;
    }
    static void Step(sqlite3_stmt* s) {
        sqlite3_step(s);
        sqlite3_reset(s);
    }
    // The first column of the first row (0 when none).
    static long long One(sqlite3_stmt* s) {
        long long v = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
        sqlite3_reset(s);
        return v;
    }
    // The folio counter (`read`: its row and value; `update`: ?1 the value,
    // ?2 the row) := max(counter, folio + 1).
    static void AdvanceFolio(sqlite3_stmt* read, sqlite3_stmt* update, long long folio) {
        if (sqlite3_step(read) != SQLITE_ROW) {
            sqlite3_reset(read);
            return;
        }
        const long long row = sqlite3_column_int64(read, 0), counter = sqlite3_column_int64(read, 1);
        sqlite3_reset(read);
        sqlite3_bind_int64(update, 1, std::max(counter, folio + 1));
        sqlite3_bind_int64(update, 2, row);
        Step(update);
    }
    // The header (`insert`: ?1 its id, the next after `maxId`; ?2 the folio).
    static void InsertHeader(sqlite3_stmt* maxId, sqlite3_stmt* insert, long long folio) {
        sqlite3_bind_int64(insert, 1, One(maxId) + 1);
        sqlite3_bind_int64(insert, 2, folio);
        Step(insert);
    }
    bool Rollback() {
        Exec("ROLLBACK");
        return false;
    }

private:
    sqlite3* db_ = nullptr;
    std::vector<sqlite3_stmt*> statements_;
};

// The article table as the table layer lays it out, for the bare schemas.
inline constexpr const char* kBareArticleSchema = R"(
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
CREATE TABLE Kardex(r INTEGER PRIMARY KEY, ID INTEGER, ARTICULO INTEGER, Fecha INTEGER, Documento TEXT,
  Concepto TEXT, Referencia TEXT, Entrada REAL, Salida REAL, Existencia REAL, COSTOUNITARIO REAL, COSTOPROMEDIO REAL);
CREATE UNIQUE INDEX k0 ON Kardex(ID) WHERE ID<>0;
CREATE INDEX k1 ON Kardex(Fecha, r) WHERE Fecha<>0;
CREATE INDEX k2 ON Kardex(ARTICULO, r) WHERE ARTICULO<>0;
CREATE INDEX k3 ON Kardex(Documento COLLATE NOCASE, r);
CREATE TABLE Folios(r INTEGER PRIMARY KEY, ID INTEGER, ENTRADAS INTEGER, SALIDAS INTEGER, ORDENCOMPRA INTEGER);
)";

// The purchase order tables as the table layer lays them out.
inline constexpr const char* kBareOrderSchema = R"(
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
)";

// `count` articles numbered 1.., each with `stock` on hand, through the bare API.
inline void BareArticles(BareSqlite& db, int count, int stock) {
    for (int a = 1; a <= count; ++a)
        db.Exec("INSERT INTO Articulo VALUES(NULL," + std::to_string(a) + "," + std::to_string(a) + ",'ARTICULO " +
                std::to_string(a) + "',0,0,0,'','','','','',0,0,0," + std::to_string(stock) + ",0,0,0,0,5,'')");
}

}  // namespace tv::bench
