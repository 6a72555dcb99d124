#pragma once
// What the posting benchmarks share: a scratch folder per benchmark, records
// stored through the table layer, and the bare SQLite side's schema of the
// article and ledger tables and its statement helpers.
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "data/thread_table_set.h"

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
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Stores a record of `t` from field values (an auto-numbered key numbered).
inline void Put(data::ThreadTableSet& tables, data::TableId t,
                const std::vector<std::pair<const char*, Value>>& values) {
    data::TableGateway& g = tables.gateway(t);
    g.BUFFER.clear();
    for (const auto& [f, v] : values) g.BUFFER.set(g.declaration().fieldIndex(f), v);
    g.InsertRecordQuiet();
}

// The article and ledger tables as the table layer lays them out, keys included.
inline constexpr const char* kBareArticleAndLedgerSchema = R"(
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
)";

// The bare side: one database with the journal (WAL), synchronous FULL and
// page cache (64 MiB) of ours, the article and ledger tables, and
// `articles` articles with 100 on hand at 5.
class BareSqlite {
public:
    BareSqlite(const std::filesystem::path& file, int articles) {
        sqlite3_open(file.c_str(), &db_);
        exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA cache_size=-65536;");
        exec(kBareArticleAndLedgerSchema);
        exec("BEGIN");
        for (int a = 1; a <= articles; ++a)
            exec("INSERT INTO Articulo VALUES(NULL," + std::to_string(a) + "," + std::to_string(a) + ",'ARTICULO " +
                 std::to_string(a) + "',0,0,0,'','','','','',0,0,0,100,0,0,0,0,5,'')");
        exec("COMMIT");
    }
    ~BareSqlite() {
        for (sqlite3_stmt* s : statements_) sqlite3_finalize(s);
        sqlite3_close(db_);
    }
    BareSqlite(const BareSqlite&) = delete;
    BareSqlite& operator=(const BareSqlite&) = delete;

    void exec(const std::string& sql) { sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
    bool execOk(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
    // A statement kept for the life of the database.
    void prepare(sqlite3_stmt*& s, const char* sql) {
        sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
        statements_.push_back(s);
    }
    static void step(sqlite3_stmt* s) {
        sqlite3_step(s);
        sqlite3_reset(s);
    }
    // The first column of the first row (0 when none).
    static long long one(sqlite3_stmt* s) {
        long long v = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
        sqlite3_reset(s);
        return v;
    }

protected:
    sqlite3* db_ = nullptr;

private:
    std::vector<sqlite3_stmt*> statements_;
};

}  // namespace tv::bench
