#include "bench/support/stored_rows.h"

#include <sqlite3.h>

#include <memory>
#include <string_view>
#include <vector>

#include "platform/storage/sql_util.h"

namespace tv::bench {

namespace {

using storage::detail::quoteId;

struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Db = std::unique_ptr<sqlite3, Closer>;
using Statement = std::unique_ptr<sqlite3_stmt, Closer>;

Statement prepare(sqlite3* db, const std::string& sql, std::string& error) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) error = sqlite3_errmsg(db) + (": " + sql);
    return Statement(s);
}

std::string text(sqlite3_stmt* s, int i) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
    return p == nullptr ? std::string() : std::string(p, static_cast<size_t>(sqlite3_column_bytes(s, i)));
}

// The first column of every row of `sql` (one text parameter, `arg`).
std::vector<std::string> firstColumn(sqlite3* db, const std::string& sql, const std::string& arg, std::string& error) {
    std::vector<std::string> out;
    Statement s = prepare(db, sql, error);
    if (!s) return out;
    if (!arg.empty()) sqlite3_bind_text(s.get(), 1, arg.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(s.get()) == SQLITE_ROW) out.push_back(text(s.get(), 0));
    return out;
}

std::string shown(sqlite3_stmt* s, int i) {
    switch (sqlite3_column_type(s, i)) {
    case SQLITE_NULL: return "NULL";
    case SQLITE_TEXT: return "'" + text(s, i) + "'";
    default: return text(s, i);
    }
}

bool sameValue(sqlite3_stmt* a, sqlite3_stmt* b, int i) {
    const int t = sqlite3_column_type(a, i);
    if (t != sqlite3_column_type(b, i)) return false;
    switch (t) {
    case SQLITE_NULL: return true;
    case SQLITE_INTEGER: return sqlite3_column_int64(a, i) == sqlite3_column_int64(b, i);
    case SQLITE_FLOAT: return sqlite3_column_double(a, i) == sqlite3_column_double(b, i);
    default: return text(a, i) == text(b, i);
    }
}

// One table of both files, in key order.
std::string tableDiffers(sqlite3* db, const std::string& table) {
    std::string error;
    const std::string info = "SELECT name, pk FROM pragma_table_info(?1, '%s') ORDER BY cid";
    auto columns = [&](const char* schema) {
        std::string sql = info;
        sql.replace(sql.find("%s"), 2, schema);
        return firstColumn(db, sql, table, error);
    };
    const std::vector<std::string> cols = columns("main");
    if (cols != columns("other")) return error.empty() ? table + ": the columns differ" : error;
    const std::vector<std::string> key = firstColumn(
        db, "SELECT name FROM pragma_table_info(?1, 'main') WHERE pk>0 ORDER BY pk", table, error);
    std::string list, order;
    for (const std::string& c : cols)
        list += (list.empty() ? "" : ",") +
                (c == "tv_version" ? std::string("dense_rank() OVER (ORDER BY tv_version)") : quoteId(c));
    for (const std::string& c : key) order += (order.empty() ? "" : ",") + quoteId(c);
    if (order.empty()) order = "rowid";
    auto select = [&](const char* schema) {
        return prepare(db, "SELECT " + list + " FROM " + schema + "." + quoteId(table) + " ORDER BY " + order, error);
    };
    Statement a = select("main"), b = select("other");
    if (!a || !b) return error;
    for (long long n = 1;; ++n) {
        const int ra = sqlite3_step(a.get()), rb = sqlite3_step(b.get());
        if (ra != rb) {
            if (ra == SQLITE_ROW && rb == SQLITE_DONE) return table + ": row " + std::to_string(n) + " is missing in the second";
            if (ra == SQLITE_DONE && rb == SQLITE_ROW) return table + ": row " + std::to_string(n) + " is missing in the first";
            return table + ": " + sqlite3_errmsg(db);
        }
        if (ra == SQLITE_DONE) return {};
        if (ra != SQLITE_ROW) return table + ": " + sqlite3_errmsg(db);
        for (int i = 0; i < static_cast<int>(cols.size()); ++i)
            if (!sameValue(a.get(), b.get(), i)) {
                std::string where;
                for (int k = 0; k < static_cast<int>(cols.size()); ++k)
                    if (cols[static_cast<size_t>(k)] == "tv_row") where = " (tv_row " + shown(a.get(), k) + ")";
                const std::string& col = cols[static_cast<size_t>(i)];
                const std::string what = col == "tv_version" ? "the row version's place in the table" : col;
                return table + ", row " + std::to_string(n) + where + ": " + what + " is " + shown(a.get(), i) +
                       " in the first, " + shown(b.get(), i) + " in the second";
            }
    }
}

}  // namespace

std::string StoredRowsDiffer(const std::filesystem::path& a, const std::filesystem::path& b) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(a.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    Db db(raw);
    if (rc != SQLITE_OK) return a.string() + ": " + sqlite3_errstr(rc);
    storage::detail::registerCollation(db.get());
    std::string error;
    {
        Statement attach = prepare(db.get(), "ATTACH DATABASE ?1 AS other", error);
        if (!attach) return error;
        sqlite3_bind_text(attach.get(), 1, b.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(attach.get()) != SQLITE_DONE) return b.string() + ": " + sqlite3_errmsg(db.get());
    }
    const std::string tables =
        "SELECT name FROM %s.sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite%' ORDER BY name";
    auto tablesOf = [&](const char* schema) {
        std::string sql = tables;
        sql.replace(sql.find("%s"), 2, schema);
        return firstColumn(db.get(), sql, {}, error);
    };
    const std::vector<std::string> names = tablesOf("main");
    if (names != tablesOf("other")) return error.empty() ? std::string("the two files have other tables") : error;
    if (names.empty()) return "no tables to compare";
    for (const std::string& t : names)
        if (std::string d = tableDiffers(db.get(), t); !d.empty()) return d;
    return {};
}

}  // namespace tv::bench
