#pragma once
// Helpers shared by the storage sources and the views over them (not part
// of the storage's public API).
#include <cmath>
#include <filesystem>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/storage/driver.h"
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

// Names compared as SQL compares identifiers (ASCII letters without case).
inline bool sameNameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

using storage::Kind;

// The stored columns of a declaration, by field index.
struct ColumnMap {
    std::vector<std::string> cols;   // quoted column names
    std::vector<Kind> kinds;
    std::vector<double> scale;       // 10^places for Real columns, else 1
    std::vector<int> places;         // places of Real columns, else 0
    std::vector<int> digits;         // all digits of Real columns, else 0
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
        int places = 0, digits = 0;
        if (f.type == FieldType::String || f.type == FieldType::Memo) {
            k = Kind::Text;
        } else if (f.type == FieldType::Decimal && f.places > 0) {
            k = Kind::Real;
            sc = std::pow(10.0, f.places);
            places = f.places;
            digits = f.size;
        }
        m.kinds.push_back(k);
        m.scale.push_back(sc);
        m.places.push_back(places);
        m.digits.push_back(digits);
    }
    return m;
}

// Binds field `i` of `rec` as its column stores it (texts without their
// trailing blanks; the record must outlive the statement's step).
inline void bindField(Statement& s, int idx, const Record& rec, int i, Kind k, int places) {
    switch (k) {
    case Kind::Text: s.bindText(idx, rtrim(rec.text(i))); break;
    case Kind::Int: s.bindInt(idx, rec.raw(i)); break;
    case Kind::Real: s.bindDecimal(idx, rec.raw(i), places); break;
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

// Owns a prepared statement.
struct Stmt {
    std::unique_ptr<Statement> s;
    void reset() {
        if (s) {
            s->reset();
            s->clearBindings();
        }
    }
    void finalize() { s.reset(); }
};

// Prepares `sql` on the connection into `st`.
inline Status prepare(Connection& c, const std::string& sql, Stmt& st) { return c.prepare(sql, st.s); }

}  // namespace tv::storage::detail
