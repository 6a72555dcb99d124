#include "bench/support/bare_sqlite.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "platform/storage/sql_util.h"

namespace tv::bench {

BareSqlite::BareSqlite(storage::Connection& c) : c_(c), db_(c.db()) {
    if (db_ == nullptr) throw std::runtime_error("the database is not open: " + c.openStatus().text);
}

BareSqlite::~BareSqlite() {
    for (sqlite3_stmt* s : statements_) sqlite3_finalize(s);
}

sqlite3_stmt* BareSqlite::prepare(std::string_view sql, bool scan) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &s, nullptr) !=
        SQLITE_OK)
        throw std::logic_error(std::string(sqlite3_errmsg(db_)) + ": " + std::string(sql));
    statements_.push_back(s);
    if (scan) return s;
    // The plan: every table reached by a key or a row number, nothing sorted.
    sqlite3_stmt* plan = nullptr;
    const std::string explain = "EXPLAIN QUERY PLAN " + std::string(sql);
    if (sqlite3_prepare_v2(db_, explain.c_str(), -1, &plan, nullptr) != SQLITE_OK)
        throw std::logic_error(std::string(sqlite3_errmsg(db_)) + ": " + explain);
    std::string refused;
    while (sqlite3_step(plan) == SQLITE_ROW) {
        const std::string detail(ColumnText(plan, 3));
        const bool fullScan = detail.rfind("SCAN ", 0) == 0 && detail.find(" USING ") == std::string::npos;
        if (fullScan || detail.find("TEMP B-TREE") != std::string::npos) refused = detail;
    }
    sqlite3_finalize(plan);
    if (!refused.empty()) throw std::logic_error("a bare statement reads past the keys (" + refused + "): " + std::string(sql));
    return s;
}

bool BareSqlite::Begin() { return sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK; }

bool BareSqlite::Commit() {
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) return true;
    Rollback();
    return false;
}

bool BareSqlite::Rollback() {
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

BareSqlite::Numbering BareSqlite::Numbers(const storage::TableDef& def) {
    const int key = def.autoNumberKey();
    if (key < 0) throw std::logic_error(def.table + " has no auto-numbered key");
    const storage::KeyDef& k = def.keys[static_cast<size_t>(key)];
    const std::string column = storage::detail::columnOf(def.layout->field(k.fields.at(0)));
    auto lower = [](std::string x) {
        for (char& ch : x) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        return x;
    };
    Numbering n{lower(def.table), lower(column), nullptr, nullptr};
    n.counter = Prepare("SELECT last FROM tv_autonumber WHERE tbl=?1 AND col=?2");
    // Bound once: bindings outlive every reset.
    sqlite3_bind_text(n.counter, 1, n.table.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(n.counter, 2, n.column.c_str(), -1, SQLITE_TRANSIENT);
    const std::string quoted = storage::detail::quoteId(column);
    n.highest = Prepare("SELECT max(" + quoted + ") FROM " + storage::detail::quoteId(def.table) +
                        (k.optional ? " WHERE (" + quoted + "<>0)" : std::string()));
    return n;
}

int64_t BareSqlite::LastNumber(const Numbering& n) { return std::max(One(n.counter), One(n.highest)); }

void BareSqlite::NoteNumber(const Numbering& n, int64_t last) {
    if (noteNumber_ == nullptr)
        noteNumber_ = Prepare("INSERT INTO tv_autonumber(tbl,col,last) VALUES(?1,?2,?3) ON CONFLICT(tbl,col) "
                              "DO UPDATE SET last=excluded.last WHERE excluded.last>last");
    BindText(noteNumber_, 1, n.table);
    BindText(noteNumber_, 2, n.column);
    sqlite3_bind_int64(noteNumber_, 3, last);
    Run(noteNumber_);
}

bool BareSqlite::AdvanceCounter(sqlite3_stmt* read, sqlite3_stmt* write, int64_t folio) {
    if (sqlite3_step(read) != SQLITE_ROW) {
        sqlite3_reset(read);
        return false;
    }
    const int64_t row = sqlite3_column_int64(read, 0), counter = sqlite3_column_int64(read, 1);
    sqlite3_reset(read);
    if (counter >= folio + 1) return true;
    sqlite3_bind_int64(write, 1, folio + 1);
    sqlite3_bind_int64(write, 2, Version());
    sqlite3_bind_int64(write, 3, row);
    return Run(write);
}

bool BareSqlite::Run(sqlite3_stmt* s) {
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
    }
    sqlite3_reset(s);
    return rc == SQLITE_DONE;
}

int64_t BareSqlite::One(sqlite3_stmt* s) {
    const int64_t v = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : 0;
    sqlite3_reset(s);
    return v;
}

void BareSqlite::BindText(sqlite3_stmt* s, int i, std::string_view v) {
    sqlite3_bind_text(s, i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
}

std::string_view BareSqlite::ColumnText(sqlite3_stmt* s, int i) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
    return p == nullptr ? std::string_view() : std::string_view(p, static_cast<size_t>(sqlite3_column_bytes(s, i)));
}

int64_t ToCents(double stored) { return std::llround(stored * 100); }

namespace {
// n / d rounded half away from zero.
int64_t divRounded(__int128 n, __int128 d) {
    if (d < 0) {
        n = -n;
        d = -d;
    }
    const __int128 q = (n < 0 ? -n : n) * 2 + d;
    const __int128 r = q / (2 * d);
    return static_cast<int64_t>(n < 0 ? -r : r);
}
}  // namespace

int64_t MulCents(int64_t a, int64_t b) { return divRounded(static_cast<__int128>(a) * b, 100); }
int64_t DivCents(int64_t a, int64_t b) { return divRounded(static_cast<__int128>(a) * 100, b); }

bool FitsCents(int64_t cents, int digits) {
    int64_t limit = 1;
    for (int i = 0; i < digits && limit < INT64_MAX / 10; ++i) limit *= 10;
    return cents < limit && cents > -limit;
}

}  // namespace tv::bench
