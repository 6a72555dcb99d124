#pragma once
// Pushing a filter down to SQLite: when an expression is made only of
// comparisons, MATCH and AND/OR/NOT over columns of one table, numbers and
// texts, it is translated into a WHERE condition with bound parameters that
// selects exactly the rows the evaluator would accept. Anything else (computed
// names, functions other than UPPER and MATCH, a text column compared with a
// number, multiplication) is not translated: the caller evaluates it per row.
//
// Assumptions about the stored columns (say so in SqlColumn):
// - a number column holds round(value * 10^places) as an INTEGER (the
//   record's raw cell), never NULL;
// - a text column holds the field's text, never NULL, with or without its
//   trailing blanks (`trimmed` says which).
//
// Texts are compared with COLLATE BINARY whatever the column's own
// collation. MATCH on a text column becomes LIKE (letter case ignored, an
// ASCII pattern: LIKE then folds exactly the letters MATCH folds that can
// matter; PRAGMA case_sensitive_like must stay off) or GLOB (case kept);
// otherwise, and for UPPER, the functions tv_match and tv_upper are used,
// which registerSqlFunctions() installs on a connection and which run the
// very code the evaluator runs. Storing texts without their trailing blanks
// (`trimmed`) keeps these conditions free of rtrim() calls.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/expr/ast.h"

struct sqlite3;

namespace tv::expr {

struct SqlColumn {
    enum class Kind { Text, Number };
    std::string sql;          // the column as SQL text, quoted: "\"NoArt\"" or "a.\"NoArt\""
    Kind kind = Kind::Text;
    int places = 0;           // Number: decimal places of the stored integer
    int digits = 18;          // Number: most digits (integer + places) a value has
    bool trimmed = false;     // Text: stored without trailing blanks
};

using SqlParam = std::variant<long long, std::string>;

struct SqlFilter {
    std::string where;            // a condition, e.g. "(\"NoArt\" >= ? AND \"NoArt\" <= ?)"
    std::vector<SqlParam> params; // bound in the order of the "?" in `where`
    bool usesFunctions = false;   // needs registerSqlFunctions() on the connection
};

// The column of a name used in the expression, or nullopt when the name is
// not a plain column of the table being read (the filter then stays in C++).
using ColumnLookup = std::function<std::optional<SqlColumn>(std::string_view name)>;

// Whose SQL the condition is written in: the database file's (SQLite) or
// the server's (PostgreSQL: TRUE/FALSE, COLLATE "C", ILIKE for LIKE, LIKE
// for GLOB, the same functions installed there).
enum class SqlFlavor { File, Server };

std::optional<SqlFilter> toSqlWhere(const Expression& e, const ColumnLookup& columns,
                                    SqlFlavor flavor = SqlFlavor::File);

// For an expression that cannot be pushed down whole: the terms of its
// top-level AND chain that can, ANDed (nullopt when none can). Every row the
// expression accepts passes this condition, so SQL may narrow the rows and
// the evaluator then tests the whole expression on what is left. `complete`
// tells whether the condition is the whole expression (then the evaluator
// need not run).
std::optional<SqlFilter> toSqlPrefilter(const Expression& e, const ColumnLookup& columns,
                                        bool* complete = nullptr, SqlFlavor flavor = SqlFlavor::File);

// Installs tv_upper(text) and tv_match(value, pattern, mode [, places]) on the
// connection. Returns false when SQLite refuses.
bool registerSqlFunctions(sqlite3* db);

}  // namespace tv::expr
