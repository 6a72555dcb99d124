#include "app/copy/copy_server.h"

#include <algorithm>

#include "platform/storage/server/pg_sql.h"
#include "platform/storage/sql_util.h"
#include "platform/types/text.h"

namespace tv::copy::detail {

using storage::Status;
using storage::detail::quoteId;
using storage::server::PgParams;
using storage::server::PgResult;

namespace {

// Parameters per statement stay far below the protocol's 65535.
constexpr size_t kMaxParams = 30000;
constexpr size_t kMaxBatchRows = 500;
constexpr int kReadBatch = 5000;

// A text[] literal of plain names (declared names: no quotes, no backslashes).
std::string nameArray(const std::vector<std::string>& names) {
    std::string a = "{";
    for (size_t i = 0; i < names.size(); ++i) a += (i ? ",\"" : "\"") + names[i] + "\"";
    return a + "}";
}

}  // namespace

Status programTablesThere(storage::server::PgConnection& pg, std::vector<std::string>& out) {
    out.clear();
    PgResult r;
    Status st = pg.exec("SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                        "WHERE n.nspname = current_schema() AND c.relname = ANY($1::text[]) ORDER BY 1",
                        PgParams().add(nameArray(programTableNames())), &r);
    if (!st.ok()) return st;
    for (int i = 0; i < r.rows(); ++i) out.emplace_back(r.text(i, 0));
    return {};
}

// ---------------------------------------------------------------------------
// Writing

Status ServerWriter::createTables() {
    std::string script = storage::server::serverFunctionsScript();
    script += storage::server::serverAutoNumberTableSql() + ";\n";
    for (const TablePlan& t : tablePlans())
        for (const std::string& sql : storage::server::serverTableSql(*t.def)) script += sql + ";\n";
    return pg_.execScript(script);
}

std::string ServerWriter::insertSql(size_t rows) const {
    const TablePlan& t = *table_;
    std::string sql = "INSERT INTO " + quoteId(t.table) + "(tv_row";
    for (const PlanColumn& c : t.cols) sql += "," + quoteId(c.name);
    sql += ",tv_version) OVERRIDING SYSTEM VALUE VALUES ";
    const size_t per = t.cols.size() + 2;
    size_t n = 0;
    for (size_t r = 0; r < rows; ++r) {
        sql += r ? ",(" : "(";
        for (size_t i = 0; i < per; ++i) sql += (i ? ",$" : "$") + std::to_string(++n);
        sql += ")";
    }
    return sql;
}

Status ServerWriter::begin(const TablePlan& t) {
    table_ = &t;
    batch_.clear();
    highest_ = 0;
    full_ = {};
    batchRows_ = std::clamp<size_t>(kMaxParams / (t.cols.size() + 2), 1, kMaxBatchRows);
    return {};
}

Status ServerWriter::add(const Row& r) {
    batch_.push_back(r);
    highest_ = std::max(highest_, r.tvRow);
    return batch_.size() >= batchRows_ ? flush() : Status{};
}

Status ServerWriter::flush() {
    if (batch_.empty()) return {};
    const TablePlan& t = *table_;
    PgParams p;
    for (const Row& r : batch_) {
        p.add(r.tvRow);
        for (size_t i = 0; i < t.cols.size(); ++i) {
            switch (t.cols[i].kind) {
            case ColKind::Text: p.add(r.texts[i]); break;
            case ColKind::Int: p.add(r.nums[i]); break;
            case ColKind::Decimal: p.addScaled(r.nums[i], t.cols[i].places); break;
            }
        }
        p.add(r.version);
    }
    const std::string rows =
        "tabla " + t.table + ", registros " + std::to_string(batch_.front().tvRow) + " a " +
        std::to_string(batch_.back().tvRow);
    Status st;
    if (batch_.size() == batchRows_) {
        if (full_.name.empty()) st = pg_.prepare(insertSql(batchRows_), static_cast<int>(p.size()), full_);
        if (st.ok()) st = pg_.run(full_, p);
    } else {
        st = pg_.exec(insertSql(batch_.size()), p);
    }
    batch_.clear();
    return st.ok() ? st : during(rows, st);
}

Status ServerWriter::end() {
    Status st = flush();
    if (!st.ok() || highest_ == 0) return st;
    // The next record added on the server is numbered after the copied ones.
    st = pg_.exec("SELECT setval(pg_get_serial_sequence($1, 'tv_row'), $2)",
                  PgParams().add(quoteId(table_->table)).add(highest_));
    return st.ok() ? st : during("tabla " + table_->table, st);
}

Status ServerWriter::counter(const Counter& c) {
    Status st = pg_.exec("INSERT INTO tv_autonumber(tbl, col, last) VALUES($1, $2, $3)",
                         PgParams().add(c.table).add(c.column).add(c.last));
    return st.ok() ? st : during("tv_autonumber", st);
}

// ---------------------------------------------------------------------------
// Reading

Status ServerSource::begin() {
    Status st = pg_.beginReadUnit();
    // One snapshot for every table, and nothing written by mistake.
    if (st.ok()) st = pg_.exec("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY");
    if (st.ok()) st = programTablesThere(pg_, there_);
    if (!st.ok()) return st;
    if (there_.empty())
        return failure("El servidor de datos " + pg_.serverLabel() +
                       " no tiene las tablas del programa en su esquema de trabajo");
    return {};
}

Status ServerSource::read(const TablePlan& t, const std::function<Status(const Row&)>& each, int64_t& pending) {
    pending = 0;
    if (std::find(there_.begin(), there_.end(), t.table) == there_.end()) return {};
    PgResult r;
    Status st = pg_.exec("SELECT column_name FROM information_schema.columns "
                         "WHERE table_schema = current_schema() AND table_name = $1",
                         PgParams().add(t.table), &r);
    if (!st.ok()) return during("tabla " + t.table, st);
    std::vector<std::string> have;
    for (int i = 0; i < r.rows(); ++i) have.emplace_back(r.text(i, 0));
    auto has = [&](const std::string& c) { return std::find(have.begin(), have.end(), c) != have.end(); };
    if (!has("tv_row") || !has("tv_version") || !has("tv_pending"))
        return failure("la tabla " + t.table + " del servidor no fue creada por este programa");

    std::string sql = "SELECT tv_row,tv_version";
    for (const PlanColumn& c : t.cols) sql += "," + (has(c.name) ? quoteId(c.name) : std::string("NULL"));
    sql += " FROM " + quoteId(t.table) + " WHERE tv_pending=0 AND tv_row>$1 ORDER BY tv_row LIMIT " +
           std::to_string(kReadBatch);
    Row row;
    row.nums.resize(t.cols.size());
    row.texts.resize(t.cols.size());
    int64_t after = 0;
    for (;;) {
        st = pg_.exec(sql, PgParams().add(after), &r);
        if (!st.ok()) return during("tabla " + t.table, st);
        for (int n = 0; n < r.rows(); ++n) {
            row.tvRow = r.int64(n, 0);
            row.version = r.int64(n, 1);
            for (size_t i = 0; i < t.cols.size(); ++i) {
                const PlanColumn& c = t.cols[i];
                const int col = static_cast<int>(i) + 2;
                row.nums[i] = 0;
                row.texts[i].clear();
                if (r.isNull(n, col)) continue;
                if (c.kind == ColKind::Text) {
                    row.texts[i] = rtrim(r.text(n, col));
                } else if (!storage::server::parseScaled(r.text(n, col), c.places, row.nums[i])) {
                    return failure(where(t, row.tvRow, c, "el valor " + std::string(r.text(n, col)) +
                                                              " no cabe en un número del programa"));
                }
            }
            st = each(row);
            if (!st.ok()) return st;
            after = row.tvRow;
        }
        if (r.rows() < kReadBatch) break;
    }
    st = pg_.exec("SELECT count(*) FROM " + quoteId(t.table) + " WHERE tv_pending<>0", {}, &r);
    if (!st.ok()) return during("tabla " + t.table, st);
    pending = r.int64(0, 0);
    return {};
}

Status ServerSource::counters(std::vector<Counter>& out) {
    out.clear();
    if (std::find(there_.begin(), there_.end(), "tv_autonumber") == there_.end()) return {};
    PgResult r;
    Status st = pg_.exec("SELECT tbl, col, last FROM tv_autonumber ORDER BY tbl, col", {}, &r);
    if (!st.ok()) return during("tv_autonumber", st);
    for (int i = 0; i < r.rows(); ++i) out.push_back({std::string(r.text(i, 0)), std::string(r.text(i, 1)), r.int64(i, 2)});
    return {};
}

}  // namespace tv::copy::detail
