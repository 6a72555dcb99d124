#pragma once
// The bare side of a benchmark: the SQLite C API straight on the handle of
// a storage connection (so the same database file, schema, collation,
// journal, synchronous writes and page cache as the program's), statements
// prepared once, stepped and reset.
//
// Every statement's plan is checked when it is prepared: a statement that
// scans a table or sorts its rows is refused (std::logic_error naming it),
// unless it is prepared with PrepareScan() because it reads a whole table
// on purpose. So a bare query that misses the index the table layer seeks
// (a partial index's condition left out) cannot make the bare side slower
// again.
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/storage/storage.h"

namespace tv::bench {

class BareSqlite {
public:
    explicit BareSqlite(storage::Connection& c);
    ~BareSqlite();
    BareSqlite(const BareSqlite&) = delete;
    BareSqlite& operator=(const BareSqlite&) = delete;

    sqlite3* db() const { return db_; }

    // A statement that seeks by a key or a row number.
    sqlite3_stmt* Prepare(std::string_view sql) { return prepare(sql, false); }
    // A statement that reads a whole table (in row order) on purpose.
    sqlite3_stmt* PrepareScan(std::string_view sql) { return prepare(sql, true); }

    bool Begin();      // BEGIN IMMEDIATE
    bool Commit();
    bool Rollback();   // always false, so that `return db.Rollback();` refuses

    // A new row version, from the connection's own counter as the table
    // layer takes it.
    int64_t Version() { return c_.nextVersion(); }

    // The numbers of a table's auto-numbered key, as the layer gives them:
    // one past the higher of its counter (tv_autonumber) and the highest
    // stored; the counter is noted once per unit of work.
    struct Numbering {
        std::string table, column;        // the counter's names (lower case)
        sqlite3_stmt* counter = nullptr;  // SELECT last FROM tv_autonumber ...
        sqlite3_stmt* highest = nullptr;  // SELECT max(key) ... (the key's own condition)
    };
    Numbering Numbers(const storage::TableDef& def);
    static int64_t LastNumber(const Numbering& n);
    // The counter := max(counter, last).
    void NoteNumber(const Numbering& n, int64_t last);

    // The folio counter := max(counter, folio + 1): `read` gives the
    // counter's row (tv_row, value), `write` takes ?1 the value, ?2 a row
    // version, ?3 the row. False without a counter row or when SQLite failed.
    bool AdvanceCounter(sqlite3_stmt* read, sqlite3_stmt* write, int64_t folio);

    // Steps a statement that returns no row (or whose rows are not wanted)
    // and resets it; false when SQLite failed.
    static bool Run(sqlite3_stmt* s);
    // The first column of the first row as an integer (0 when none), reset.
    static int64_t One(sqlite3_stmt* s);
    // Binds text without a copy: it must live until the statement is reset.
    static void BindText(sqlite3_stmt* s, int i, std::string_view v);
    static std::string_view ColumnText(sqlite3_stmt* s, int i);

private:
    sqlite3_stmt* prepare(std::string_view sql, bool scan);

    storage::Connection& c_;
    sqlite3* db_;
    sqlite3_stmt* noteNumber_ = nullptr;
    std::vector<sqlite3_stmt*> statements_;
};

// Cents as the table layer stores a DECIMAL with two places (a REAL), and back.
inline double FromCents(int64_t cents) { return static_cast<double>(cents) / 100.0; }
int64_t ToCents(double stored);
// a x b / 100 and a x 100 / b in cents, rounded half away from zero (the
// layer's Decimal arithmetic on two places).
int64_t MulCents(int64_t a, int64_t b);
int64_t DivCents(int64_t a, int64_t b);
// Whether a DECIMAL(digits, 2) field holds `cents` (the layer refuses a
// value whose whole part is too wide, and so does the bare side).
bool FitsCents(int64_t cents, int digits);

}  // namespace tv::bench
