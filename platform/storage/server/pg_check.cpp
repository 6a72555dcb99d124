#include "platform/storage/server/pg_check.h"

#include <string>
#include <vector>

#include "platform/storage/sql_util.h"

namespace tv::storage::server {

namespace {

// The ordinary tables of the working schema (the connection's own
// temporary tables live in a schema of their own).
Status schemaTables(PgConnection& c, std::vector<std::string>& out) {
    PgResult r;
    Status st = c.exec("SELECT relname FROM pg_class WHERE relnamespace = to_regnamespace(current_schema()) "
                       "AND relkind = 'r' ORDER BY relname",
                       {}, &r);
    if (!st.ok()) return st;
    for (int i = 0; i < r.rows(); ++i) out.emplace_back(r.text(i, 0));
    return {};
}

}  // namespace

Status checkTables(PgConnection& c) {
    std::vector<std::string> tables;
    Status st = schemaTables(c, tables);
    if (!st.ok()) return st;
    std::vector<std::string> faults;
    for (const std::string& t : tables) {
        // Every value of every row, out of line ones too: a count alone
        // could be answered from an index.
        Status read = c.exec("SELECT sum(octet_length(t::text)) FROM " + detail::quoteId(t) + " AS t");
        if (read.ok()) continue;
        if (!c.isOpen()) return read;
        faults.push_back("la tabla " + t + " no se puede leer entera (" +
                         (read.detail.empty() ? read.text : read.detail) + ")");
    }
    PgResult r;
    st = c.exec("SELECT t.relname, i.relname FROM pg_index x JOIN pg_class i ON i.oid = x.indexrelid "
                "JOIN pg_class t ON t.oid = x.indrelid WHERE t.relnamespace = to_regnamespace(current_schema()) "
                "AND NOT (x.indisvalid AND x.indisready AND x.indislive) ORDER BY t.relname, i.relname",
                {}, &r);
    if (!st.ok()) return st;
    for (int i = 0; i < r.rows(); ++i)
        faults.push_back("el índice " + std::string(r.text(i, 1)) + " de la tabla " + std::string(r.text(i, 0)) +
                         " no es válido");
    if (faults.empty()) return {};
    Status damaged = Status::make(kKeyFileMustBeRebuilt);
    for (const std::string& f : faults) damaged.detail += (damaged.detail.empty() ? "" : "; ") + f;
    return damaged;
}

Status rebuildIndexes(PgConnection& c, std::chrono::milliseconds lockTimeout) {
    // Inside a unit that is open already, the rebuild is part of it.
    const bool own = !c.inUnit();
    Status st = own ? c.beginUnit(lockTimeout) : Status{};
    if (!st.ok()) return st;
    std::vector<std::string> tables;
    st = schemaTables(c, tables);
    for (size_t i = 0; st.ok() && i < tables.size(); ++i)
        st = c.execScript("REINDEX TABLE " + detail::quoteId(tables[i]));
    if (own) {
        if (!st.ok()) c.rollback();
        else st = c.commit();
    }
    if (!st.ok()) return st;
    return checkTables(c);
}

}  // namespace tv::storage::server
