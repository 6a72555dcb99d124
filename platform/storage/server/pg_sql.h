#pragma once
// The SQL of the tables on a PostgreSQL server: how the layer's SQLite
// pieces are said there, and the functions the server needs so that keys,
// orders and filters give the same answers as in talvor.db.
//
//   no-case keys      tv_nocase(col): the text without trailing blanks,
//                     upper-cased with the program's accented pairs; indexes
//                     and ORDER BY use it, under COLLATE "C" (byte order, as
//                     the program compares texts)
//   UPPER()           tv_upper(text)
//   MATCH()           tv_match(text, pattern, mode) and
//                     tv_match(scaled number, pattern, mode, places)
//   decimals          NUMERIC(size, places): exact, never a binary float
//   record order      tv_row, an identity column
//   parameters        $1, $2, ... (the layer writes ?1 or ?)
//
// The functions use only the server's built-in ones (translate, rtrim,
// LIKE), so they need no extension on the server and are IMMUTABLE (usable
// in indexes).
#include <string>
#include <string_view>
#include <vector>

#include "platform/storage/server/pg_connection.h"
#include "platform/storage/storage.h"

namespace tv::storage::server {

// SQLite's "?", "?NNN" placeholders as PostgreSQL's "$N" (a bare "?" takes
// one more than the highest number so far, as SQLite numbers them); quoted
// texts and identifiers are left alone.
std::string serverPlaceholders(std::string_view sql);

// The text expression folded to upper case as tv::toUpper does (ASCII and
// the accented pairs), in SQL.
std::string foldSql(const std::string& textExpr);

// The server-side functions (tv_upper, tv_nocase, tv_match, ...), as one
// script of CREATE OR REPLACE statements in the connection's schema.
std::string serverFunctionsScript();
// Makes the functions when they are missing or of an older version, inside
// a unit of work (so stations starting at once do not collide).
Status installServerFunctions(PgConnection& c, std::chrono::milliseconds lockTimeout);

// The column type of a field on the server.
std::string serverColumnType(const FieldSpec& f);

// The statements that make a declared table with its keys (IF NOT EXISTS),
// and the side table of auto-numbers. A connection-private table is a
// TEMPORARY one: the server drops it with the session.
std::vector<std::string> serverTableSql(const TableDef& def);
std::string serverAutoNumberTableSql();

// One key component as indexes and ORDER BY take it: tv_nocase(col) for a
// no-case text, the column itself otherwise (its collation is "C").
std::string serverKeyExpr(const TableDef& def, int key, int component, const std::string& qualifier = {});
// The condition the key's index holds (pending reservations left out of
// unique keys, blank values out of optional keys); "" when none.
std::string serverKeyCondition(const TableDef& def, int key, const std::string& qualifier = {});
// The key's index name, "tv_<table>_<k>" (a unique violation names it).
std::string serverIndexName(const TableDef& def, int key);

}  // namespace tv::storage::server
