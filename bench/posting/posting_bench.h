#pragma once
// What the posting benchmarks share: a scratch folder of their own, and the
// bare SQLite C API side (the same journal, WAL, and synchronous FULL).
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "data/thread_table_set.h"
#include "platform/errors/error_reporter.h"
#include "platform/storage/storage.h"

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

// Our side: the table layer on a database of its own in `dir`.
class OurTables {
public:
    explicit OurTables(const std::filesystem::path& dir) : conn_(dir / "talvor.db"), tables_(conn_) {
        ErrorReporter::instance().setUp();
    }

protected:
    // Stores a record of `t` from field values (its auto-number given).
    void put(data::TableId t, const std::vector<std::pair<const char*, Value>>& values) {
        data::TableGateway& g = tables_.gateway(t);
        g.BUFFER.clear();
        for (const auto& [f, v] : values) g.BUFFER.set(g.declaration().fieldIndex(f), v);
        g.InsertRecord();
    }
    storage::Connection conn_;
    data::ThreadTableSet tables_;
};

// The article table of the bare side, with the keys of ours.
inline constexpr const char* kBareArticulo = R"(
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
)";

// A bare database: opened with the journal and syncing of ours, and the
// few calls every bare side makes.
class BareSqlite {
public:
    explicit BareSqlite(const std::filesystem::path& file) {
        sqlite3_open(file.c_str(), &db_);
        exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;");
    }
    ~BareSqlite() { sqlite3_close_v2(db_); }
    BareSqlite(const BareSqlite&) = delete;
    BareSqlite& operator=(const BareSqlite&) = delete;

    void exec(const std::string& sql) { sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
    bool ok(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
    // Statements are finalized by their owner before the database closes
    // (sqlite3_close_v2 waits for them anyway).
    void prepare(sqlite3_stmt*& s, const char* sql) {
        sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
    }
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

private:
    sqlite3* db_ = nullptr;
};

}  // namespace tv::bench
