#pragma once
// Helpers shared by the storage sources (not part of the public API).
#include <sqlite3.h>

#include <string>
#include <string_view>

#include "platform/storage/storage.h"

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

// Maps an SQLite result to a storage status (without the connection's message).
Status statusFor(int rc, const char* msg);

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
