#pragma once
// Helpers shared by the storage sources and the views over them (not part
// of the storage's public API).
#include <sqlite3.h>

#include <cmath>
#include <filesystem>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/storage/storage.h"
#include "platform/types/text.h"

namespace tv::storage::detail {

// "identifier" with inner quotes doubled: identifiers come only from
// declarations, but quoting keeps names like "Codigo" or "ID" safe.
inline std::string quoteId(std::string_view s) {
    std::string r = "\"";
    for (char c : s) {
        if (c == '"') r += '"';
        r += c;
    }
    r += '"';
    return r;
}

// How a field is stored: texts as TEXT, DECIMAL with places as REAL (the
// value, scaled back by `scale` on read), every other number as INTEGER.
enum class Kind : uint8_t { Text, Int, Real };

// The stored columns of a declaration, by field index.
struct ColumnMap {
    std::vector<std::string> cols;   // quoted column names
    std::vector<Kind> kinds;
    std::vector<double> scale;       // 10^places for Real columns, else 1
};

// The field's column: its name without the prefix.
inline std::string columnOf(const FieldSpec& f) {
    auto c = f.name.find(':');
    return c == std::string::npos ? f.name : f.name.substr(c + 1);
}

inline ColumnMap columnMap(const TableDef& def) {
    ColumnMap m;
    const RecordLayout& lay = *def.layout;
    for (int i = 0; i < lay.fieldCount(); ++i) {
        const FieldSpec& f = lay.field(i);
        auto idx = static_cast<size_t>(i);
        m.cols.push_back(quoteId(idx < def.columns.size() ? def.columns[idx] : columnOf(f)));
        Kind k = Kind::Int;
        double sc = 1;
        if (f.type == FieldType::String || f.type == FieldType::Memo) {
            k = Kind::Text;
        } else if (f.type == FieldType::Decimal && f.places > 0) {
            k = Kind::Real;
            sc = std::pow(10.0, f.places);
        }
        m.kinds.push_back(k);
        m.scale.push_back(sc);
    }
    return m;
}

// Binds field `i` of `rec` as its column stores it (texts without their
// trailing blanks; the record must outlive the statement's step).
inline void bindField(sqlite3_stmt* s, int idx, const Record& rec, int i, Kind k, double scale) {
    switch (k) {
    case Kind::Text: {
        std::string_view v = rtrim(rec.text(i));
        sqlite3_bind_text(s, idx, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
        break;
    }
    case Kind::Int: sqlite3_bind_int64(s, idx, rec.raw(i)); break;
    case Kind::Real: sqlite3_bind_double(s, idx, static_cast<double>(rec.raw(i)) / scale); break;
    }
}

// Maps an SQLite result to a storage status; SQLite's message `msg` is
// kept as the status' detail (a rule's refusal, in its own words, is the text).
Status statusFor(int rc, const char* msg);
// What an SQLite result means, in Spanish.
std::string sqliteWords(int rc);
// What a system error number means, in Spanish (the driver's words where it has them).
std::string systemWords(int err);

// The side table of the auto-numbers, made with every database.
inline constexpr const char* kNumbersTable =
    "CREATE TABLE IF NOT EXISTS tv_autonumber(tbl TEXT NOT NULL, col TEXT NOT NULL, "
    "last INTEGER NOT NULL, PRIMARY KEY(tbl, col)) WITHOUT ROWID";

// Makes a new database at `path` (where there is none): made whole under
// another name, readable and writable by its owner and the owner's group
// only, and put in place at once, so that nobody ever finds it empty. The
// journals of a database no longer there are removed first (a new database
// never takes an old one's log). 0 (also when another station was first),
// or errno.
int createDatabase(const std::filesystem::path& path);
// Puts the file `made` at `path` unless something is there already (a hard
// link, else a rename that does not replace): 0, EEXIST, or errno. `made`
// stays where it was when it was linked.
int putInPlace(const std::filesystem::path& made, const std::filesystem::path& path);

// The collation of no-case keys.
int registerCollation(sqlite3* db);
inline constexpr const char* kNoCaseCollation = "TVNOCASE";

// Owns a prepared statement; finalizes it.
struct Stmt {
    sqlite3_stmt* s = nullptr;
    Stmt() = default;
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    Stmt(Stmt&& o) noexcept : s(o.s) { o.s = nullptr; }
    ~Stmt() { sqlite3_finalize(s); }
    void reset() {
        if (s) {
            sqlite3_reset(s);
            sqlite3_clear_bindings(s);
        }
    }
    void finalize() {
        sqlite3_finalize(s);
        s = nullptr;
    }
};

// Prepares persistently; returns SQLite's result.
inline int prepare(sqlite3* db, const std::string& sql, Stmt& st) {
    st.finalize();
    return sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &st.s,
                              nullptr);
}

}  // namespace tv::storage::detail
