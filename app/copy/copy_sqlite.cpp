#include "app/copy/copy_sqlite.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cmath>

#include "platform/storage/sql_util.h"
#include "platform/types/text.h"

namespace tv::copy::detail {

using storage::Status;
using storage::detail::quoteId;

namespace {

// The copy reads and writes the file through its own SQLite handle (a
// snapshot of its own), not through the table layer's driver.
struct SqlStmt {
    sqlite3_stmt* s = nullptr;
    SqlStmt() = default;
    SqlStmt(const SqlStmt&) = delete;
    SqlStmt& operator=(const SqlStmt&) = delete;
    ~SqlStmt() { sqlite3_finalize(s); }
};

int prepareSql(sqlite3* db, const std::string& sql, SqlStmt& st) {
    sqlite3_finalize(st.s);
    st.s = nullptr;
    return sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st.s, nullptr);
}


Status fromSqlite(sqlite3* db, int rc) {
    Status st = storage::detail::statusFor(rc, db ? sqlite3_errmsg(db) : nullptr);
    if (!st.detail.empty() && st.text.find(st.detail) == std::string::npos) st.text += " (" + st.detail + ")";
    return st;
}

double tenTo(int places) { return std::pow(10.0, places); }

}  // namespace

// ---------------------------------------------------------------------------
// Reading

SqliteSource::~SqliteSource() {
    if (db_) {
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db_);
    }
}

Status SqliteSource::sqliteFailure(int rc) const { return during(path_.string(), fromSqlite(db_, rc)); }

Status SqliteSource::open(const std::filesystem::path& db) {
    path_ = db;
    struct stat s {};
    if (::stat(db.c_str(), &s) != 0) return failure("No existe el archivo " + db.string());
    if (!S_ISREG(s.st_mode)) return failure(db.string() + " no es un archivo");
    if (s.st_size == 0) return failure("El archivo " + db.string() + " está vacío (0 bytes): no es una base de datos");
    int rc = sqlite3_open_v2(db.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) rc = storage::detail::registerCollation(db_);
    // Every table is read from one snapshot: a station working meanwhile
    // is either wholly in the copy or not at all.
    if (rc == SQLITE_OK) rc = sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        if ((rc & 0xff) == SQLITE_NOTADB) return failure(db.string() + " no es una base de datos");
        return sqliteFailure(rc);
    }
    bool any = hasTable("tv_autonumber");
    for (const TablePlan& t : tablePlans()) any = any || hasTable(t.table);
    if (!any) return failure(db.string() + " no es una base de datos del programa: no tiene ninguna de sus tablas");
    return {};
}

bool SqliteSource::hasTable(const std::string& name) {
    SqlStmt st;
    if (prepareSql(db_, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE",
                                 st) != SQLITE_OK)
        return false;
    sqlite3_bind_text(st.s, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    return sqlite3_step(st.s) == SQLITE_ROW;
}

Status SqliteSource::read(const TablePlan& t, const std::function<Status(const Row&)>& each, int64_t& pending) {
    pending = 0;
    if (!hasTable(t.table)) return {};
    std::vector<std::string> have;
    {
        SqlStmt st;
        int rc = prepareSql(db_, "SELECT name FROM pragma_table_info(?1)", st);
        if (rc != SQLITE_OK) return sqliteFailure(rc);
        sqlite3_bind_text(st.s, 1, t.table.c_str(), -1, SQLITE_TRANSIENT);
        while ((rc = sqlite3_step(st.s)) == SQLITE_ROW)
            have.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st.s, 0)));
        if (rc != SQLITE_DONE) return sqliteFailure(rc);
    }
    auto has = [&](const std::string& col) {
        for (const std::string& h : have)
            if (sqlite3_stricmp(h.c_str(), col.c_str()) == 0) return true;
        return false;
    };
    if (!has("tv_row") || !has("tv_version") || !has("tv_pending"))
        return failure("la tabla " + t.table + " de " + path_.string() + " no fue creada por este programa");

    // A column an older declaration did not have holds its empty value.
    std::string sql = "SELECT tv_row,tv_version";
    for (const PlanColumn& c : t.cols) sql += "," + (has(c.name) ? quoteId(c.name) : std::string("NULL"));
    sql += " FROM " + quoteId(t.table) + " WHERE tv_pending=0 ORDER BY tv_row";
    SqlStmt st;
    int rc = prepareSql(db_, sql, st);
    if (rc != SQLITE_OK) return sqliteFailure(rc);
    Row r;
    r.nums.resize(t.cols.size());
    r.texts.resize(t.cols.size());
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
        r.tvRow = sqlite3_column_int64(st.s, 0);
        r.version = sqlite3_column_int64(st.s, 1);
        for (size_t i = 0; i < t.cols.size(); ++i) {
            const PlanColumn& c = t.cols[i];
            const int col = static_cast<int>(i) + 2;
            const int type = sqlite3_column_type(st.s, col);
            r.nums[i] = 0;
            r.texts[i].clear();
            if (type == SQLITE_NULL) continue;
            if (c.kind == ColKind::Text) {
                const char* p = static_cast<const char*>(sqlite3_column_blob(st.s, col));
                std::string_view v(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st.s, col)));
                if (!storableText(v)) return failure(where(t, r.tvRow, c, "el texto no es UTF-8 válido"));
                r.texts[i] = rtrim(v);
                continue;
            }
            if (type != SQLITE_INTEGER && type != SQLITE_FLOAT)
                return failure(where(t, r.tvRow, c, "no es un número"));
            if (c.kind == ColKind::Int) {
                if (type == SQLITE_INTEGER) {
                    r.nums[i] = sqlite3_column_int64(st.s, col);
                    continue;
                }
                const double d = sqlite3_column_double(st.s, col);
                if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) >= 9.2e18)
                    return failure(where(t, r.tvRow, c, "no es un número entero"));
                r.nums[i] = static_cast<int64_t>(d);
                continue;
            }
            // As the table layer reads it: the nearest value of its places.
            const double x = sqlite3_column_double(st.s, col) * tenTo(c.places);
            if (!std::isfinite(x) || std::fabs(x) >= 9.2e18 || !fitsDigits(std::llround(x), c.digits))
                return failure(where(t, r.tvRow, c,
                                     "el valor " + std::string(reinterpret_cast<const char*>(
                                                       sqlite3_column_text(st.s, col))) +
                                         " no cabe en " + std::to_string(c.digits) + " dígitos con " +
                                         std::to_string(c.places) + " decimales"));
            r.nums[i] = std::llround(x);
        }
        Status s = each(r);
        if (!s.ok()) return s;
    }
    if (rc != SQLITE_DONE) return sqliteFailure(rc);
    SqlStmt count;
    rc = prepareSql(db_, "SELECT count(*) FROM " + quoteId(t.table) + " WHERE tv_pending<>0", count);
    if (rc != SQLITE_OK) return sqliteFailure(rc);
    if ((rc = sqlite3_step(count.s)) != SQLITE_ROW) return sqliteFailure(rc);
    pending = sqlite3_column_int64(count.s, 0);
    return {};
}

Status SqliteSource::counters(std::vector<Counter>& out) {
    out.clear();
    if (!hasTable("tv_autonumber")) return {};
    SqlStmt st;
    int rc = prepareSql(db_, "SELECT tbl, col, last FROM tv_autonumber ORDER BY tbl, col", st);
    if (rc != SQLITE_OK) return sqliteFailure(rc);
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
        Counter c;
        const unsigned char* tbl = sqlite3_column_text(st.s, 0);
        const unsigned char* col = sqlite3_column_text(st.s, 1);
        c.table = tbl ? reinterpret_cast<const char*>(tbl) : "";
        c.column = col ? reinterpret_cast<const char*>(col) : "";
        c.last = sqlite3_column_int64(st.s, 2);
        out.push_back(std::move(c));
    }
    return rc == SQLITE_DONE ? Status{} : sqliteFailure(rc);
}

// ---------------------------------------------------------------------------
// Writing

SqliteWriter::~SqliteWriter() { sqlite3_finalize(insert_); }

Status SqliteWriter::sqliteFailure(int rc) const { return fromSqlite(db_, rc); }

Status SqliteWriter::begin(const TablePlan& t) {
    table_ = &t;
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    std::string sql = "INSERT INTO " + quoteId(t.table) + "(tv_row";
    std::string vals = "?";
    for (const PlanColumn& c : t.cols) {
        sql += "," + quoteId(c.name);
        vals += ",?";
    }
    sql += ",tv_version,tv_pending,tv_owner) VALUES(" + vals + ",?,0,NULL)";
    const int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &insert_, nullptr);
    return rc == SQLITE_OK ? Status{} : during("tabla " + t.table, sqliteFailure(rc));
}

Status SqliteWriter::add(const Row& r) {
    const TablePlan& t = *table_;
    sqlite3_reset(insert_);
    sqlite3_bind_int64(insert_, 1, r.tvRow);
    for (size_t i = 0; i < t.cols.size(); ++i) {
        const int at = static_cast<int>(i) + 2;
        switch (t.cols[i].kind) {
        case ColKind::Text:
            sqlite3_bind_text(insert_, at, r.texts[i].data(), static_cast<int>(r.texts[i].size()), SQLITE_STATIC);
            break;
        case ColKind::Int: sqlite3_bind_int64(insert_, at, r.nums[i]); break;
        // REAL, as the table layer writes a decimal with places.
        case ColKind::Decimal:
            sqlite3_bind_double(insert_, at, static_cast<double>(r.nums[i]) / tenTo(t.cols[i].places));
            break;
        }
    }
    sqlite3_bind_int64(insert_, static_cast<int>(t.cols.size()) + 2, r.version);
    const int rc = sqlite3_step(insert_);
    if (rc == SQLITE_DONE) return {};
    return during("tabla " + t.table + ", registro " + std::to_string(r.tvRow), sqliteFailure(rc));
}

Status SqliteWriter::counter(const Counter& c) {
    SqlStmt st;
    int rc = prepareSql(db_, "INSERT OR REPLACE INTO tv_autonumber(tbl, col, last) VALUES(?1, ?2, ?3)",
                                      st);
    if (rc == SQLITE_OK) {
        sqlite3_bind_text(st.s, 1, c.table.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st.s, 2, c.column.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(st.s, 3, c.last);
        rc = sqlite3_step(st.s);
    }
    return rc == SQLITE_DONE ? Status{} : during("tv_autonumber", sqliteFailure(rc));
}

}  // namespace tv::copy::detail
