#include "platform/storage/server/pg_sql.h"

#include "platform/storage/sql_util.h"

namespace tv::storage::server {

using detail::ColumnMap;
using detail::Kind;
using detail::quoteId;

namespace {

// Raised whenever the functions' text changes, so every station's start
// brings an older server up to date.
constexpr int kFunctionsVersion = 1;

// The letters tv::toUpper folds: ASCII and the locale's accented pairs.
constexpr const char* kLower = "abcdefghijklmnopqrstuvwxyzäáåæçéíñóöúü";
constexpr const char* kUpper = "ABCDEFGHIJKLMNOPQRSTUVWXYZÄÁÅÆÇÉÍÑÓÖÚÜ";

// MATCH's "*" and "?" as LIKE's "%" and "_", LIKE's own specials escaped.
std::string likePatternSql(const std::string& p) {
    return "replace(replace(replace(replace(replace(" + p +
           ", '\\', '\\\\'), '%', '\\%'), '_', '\\_'), '*', '%'), '?', '_')";
}

}  // namespace

std::string serverPlaceholders(std::string_view sql) {
    std::string out;
    out.reserve(sql.size() + 8);
    char quote = 0;
    int highest = 0;
    for (size_t i = 0; i < sql.size(); ++i) {
        char c = sql[i];
        if (quote) {
            if (c == quote) quote = 0;
            out += c;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            out += c;
            continue;
        }
        if (c != '?') {
            out += c;
            continue;
        }
        size_t j = i + 1;
        int n = 0;
        while (j < sql.size() && sql[j] >= '0' && sql[j] <= '9') n = n * 10 + (sql[j++] - '0');
        if (j == i + 1) n = highest + 1;
        if (n > highest) highest = n;
        out += "$" + std::to_string(n);
        i = j - 1;
    }
    return out;
}

std::string foldSql(const std::string& textExpr) {
    return std::string("translate(") + textExpr + ", '" + kLower + "', '" + kUpper + "')";
}

std::string serverFunctionsScript() {
    const std::string v = "rtrim(v, ' ')";
    const std::string p = "rtrim(p, ' ')";
    std::string s;
    s += "CREATE OR REPLACE FUNCTION tv_upper(t text) RETURNS text LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE "
         "AS $f$ SELECT " + foldSql("t") + " $f$;\n";
    // The no-case keys' order and equality: trailing blanks never count.
    s += "CREATE OR REPLACE FUNCTION tv_nocase(t text) RETURNS text LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE "
         "AS $f$ SELECT " + foldSql("rtrim(t, ' ')") + " $f$;\n";
    // MATCH(value, pattern, mode): modes 0 and 1 wildcards, 4 equality, +16
    // letter case ignored; others match nothing. Both sides without their
    // trailing blanks, the whole value.
    s += "CREATE OR REPLACE FUNCTION tv_match(v text, p text, mode integer) RETURNS boolean LANGUAGE sql "
         "IMMUTABLE STRICT PARALLEL SAFE AS $f$ SELECT CASE"
         " WHEN mode < 0 OR (mode & ~16) NOT IN (0, 1, 4) THEN false"
         " WHEN (mode & ~16) = 4 AND (mode & 16) <> 0 THEN " + foldSql(v) + " = " + foldSql(p) + " COLLATE \"C\""
         " WHEN (mode & ~16) = 4 THEN " + v + " = " + p + " COLLATE \"C\""
         " WHEN (mode & 16) <> 0 THEN " + foldSql(v) + " COLLATE \"C\" LIKE " + likePatternSql(foldSql(p)) +
         " ESCAPE '\\'"
         " ELSE " + v + " COLLATE \"C\" LIKE " + likePatternSql(p) + " ESCAPE '\\' END $f$;\n";
    // A number as the expressions write it: at most 15 significant digits
    // (rounded half away from zero), no trailing zeros, no exponent.
    s += "CREATE OR REPLACE FUNCTION tv_number_text(v numeric) RETURNS text LANGUAGE plpgsql IMMUTABLE STRICT "
         "PARALLEL SAFE AS $f$\n"
         "DECLARE x numeric := abs(v); t text; e integer;\n"
         "BEGIN\n"
         "  IF x = 0 THEN RETURN '0'; END IF;\n"
         "  IF x >= 1 THEN e := length(trunc(x)::text) - 1;\n"
         "  ELSE e := -(length(substring(trim_scale(x)::text FROM '^0[.](0*)')) + 1);\n"
         "  END IF;\n"
         "  t := trim_scale(round(x, 14 - e))::text;\n"
         "  IF v < 0 THEN t := '-' || t; END IF;\n"
         "  RETURN t;\n"
         "END $f$;\n";
    // MATCH on a number column held scaled by 10^places.
    s += "CREATE OR REPLACE FUNCTION tv_match(v numeric, p text, mode integer, places integer) RETURNS boolean "
         "LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $f$ SELECT tv_match(tv_number_text(v * ('1e-' || "
         "places::text)::numeric), p, mode) $f$;\n";
    s += "CREATE OR REPLACE FUNCTION tv_functions_version() RETURNS integer LANGUAGE sql IMMUTABLE AS $f$ SELECT " +
         std::to_string(kFunctionsVersion) + " $f$;\n";
    return s;
}

namespace {
// The functions' version in the connection's schema; 0 when missing.
Status installedVersion(PgConnection& c, int& version) {
    PgResult r;
    Status st = c.exec(
        "SELECT count(*) FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
        "WHERE n.nspname = current_schema() AND p.proname = 'tv_functions_version'",
        {}, &r);
    if (!st.ok()) return st;
    version = 0;
    if (r.int64(0, 0) == 0) return {};
    st = c.exec("SELECT tv_functions_version()", {}, &r);
    if (st.ok()) version = static_cast<int>(r.int64(0, 0));
    return st;
}
}  // namespace

Status installServerFunctions(PgConnection& c, std::chrono::milliseconds lockTimeout) {
    int version = 0;
    Status st = installedVersion(c, version);
    if (!st.ok() || version >= kFunctionsVersion) return st;
    st = c.beginUnit(lockTimeout);
    if (!st.ok()) return st;
    // Another station may have made them while this one waited.
    st = installedVersion(c, version);
    if (st.ok() && version < kFunctionsVersion) st = c.execScript(serverFunctionsScript());
    if (!st.ok()) {
        c.rollback();
        return st;
    }
    return c.commit();
}

std::string serverColumnType(const FieldSpec& f) {
    switch (f.type) {
    case FieldType::String:
    case FieldType::Memo: return "text COLLATE \"C\" NOT NULL DEFAULT ''";
    case FieldType::Decimal:
        if (f.places > 0)
            return "numeric(" + std::to_string(std::max(f.size, f.places)) + "," + std::to_string(f.places) +
                   ") NOT NULL DEFAULT 0";
        return "bigint NOT NULL DEFAULT 0";
    default: return "bigint NOT NULL DEFAULT 0";
    }
}

std::string serverKeyExpr(const TableDef& def, int key, int component, const std::string& qualifier) {
    const KeyDef& k = def.keys.at(static_cast<size_t>(key));
    const int f = k.fields.at(static_cast<size_t>(component));
    ColumnMap m = detail::columnMap(def);
    const std::string col = qualifier + m.cols[static_cast<size_t>(f)];
    if (m.kinds[static_cast<size_t>(f)] == Kind::Text && k.noCase) return "tv_nocase(" + col + ")";
    return col;
}

std::string serverKeyCondition(const TableDef& def, int key, const std::string& qualifier) {
    const KeyDef& k = def.keys.at(static_cast<size_t>(key));
    ColumnMap m = detail::columnMap(def);
    std::string cond;
    if (k.unique && !k.autoNumber) cond = qualifier + "tv_pending=0";
    if (k.optional) {
        std::string opt;
        for (size_t j = 0; j < k.fields.size(); ++j) {
            const size_t f = static_cast<size_t>(k.fields[j]);
            if (j) opt += " OR ";
            opt += qualifier + m.cols[f] + (m.kinds[f] == Kind::Text ? "<>''" : "<>0");
        }
        cond += std::string(cond.empty() ? "" : " AND ") + "(" + opt + ")";
    }
    return cond;
}

std::string serverIndexName(const TableDef& def, int key) { return "tv_" + def.table + "_" + std::to_string(key); }

std::vector<std::string> serverTableSql(const TableDef& def) {
    std::vector<std::string> out;
    ColumnMap m = detail::columnMap(def);
    const RecordLayout& lay = *def.layout;
    const std::string table = quoteId(def.table);
    std::string sql = std::string(def.connectionPrivate ? "CREATE TEMPORARY TABLE" : "CREATE TABLE") +
                      " IF NOT EXISTS " + table + "(tv_row bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY";
    for (int i = 0; i < lay.fieldCount(); ++i)
        sql += "," + m.cols[static_cast<size_t>(i)] + " " + serverColumnType(lay.field(i));
    sql += ",tv_version bigint NOT NULL DEFAULT 0,tv_pending integer NOT NULL DEFAULT 0)";
    out.push_back(sql);
    for (size_t k = 0; k < def.keys.size(); ++k) {
        const KeyDef& kd = def.keys[k];
        const int key = static_cast<int>(k);
        std::string idx = std::string("CREATE ") + (kd.unique ? "UNIQUE " : "") + "INDEX IF NOT EXISTS " +
                          quoteId(serverIndexName(def, key)) + " ON " + table + "(";
        for (size_t j = 0; j < kd.fields.size(); ++j) idx += (j ? "," : "") + serverKeyExpr(def, key, static_cast<int>(j));
        idx += kd.unique ? ")" : ",tv_row)";
        const std::string cond = serverKeyCondition(def, key);
        if (!cond.empty()) idx += " WHERE " + cond;
        out.push_back(idx);
    }
    return out;
}

std::string serverAutoNumberTableSql() {
    return "CREATE TABLE IF NOT EXISTS tv_autonumber(tbl text COLLATE \"C\" NOT NULL, col text COLLATE \"C\" "
           "NOT NULL, last bigint NOT NULL, PRIMARY KEY(tbl, col))";
}

}  // namespace tv::storage::server
