// The tables on a PostgreSQL server: statements over a PgConnection.
//
// The answer of a statement comes whole (libpq has no lazy step): the
// layer's scans on the server ask for batches (Dialect::scanBatch) and
// find their place again by key values after each one. A write inside a
// unit of work runs under a savepoint (sent with it in one exchange),
// because the server gives up the whole unit at any failed statement where
// the file gives up the statement alone (a duplicate key is said, and the
// unit goes on).
#include "platform/storage/server_driver.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "platform/storage/server/pg_check.h"
#include "platform/storage/server/pg_connection.h"
#include "platform/storage/server/pg_sql.h"

namespace tv::storage::detail {

using server::PgConnection;
using server::PgParams;
using server::PgResult;

namespace {

const Dialect kServerDialect{Dialect::Store::Server};

// Type oids of the columns the layer reads.
constexpr unsigned kInt8 = 20, kInt2 = 21, kInt4 = 23, kBool = 16, kFloat4 = 700, kFloat8 = 701;

int highestParam(const std::string& sql) {
    int highest = 0;
    char quote = 0;
    for (size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            continue;
        }
        if (c != '$') continue;
        int n = 0;
        size_t j = i + 1;
        while (j < sql.size() && sql[j] >= '0' && sql[j] <= '9') n = n * 10 + (sql[j++] - '0');
        if (n > highest) highest = n;
    }
    return highest;
}

bool startsWithWord(const std::string& sql, const char* word) {
    size_t i = 0;
    while (i < sql.size() && (sql[i] == ' ' || sql[i] == '(')) ++i;
    for (const char* w = word; *w; ++w, ++i)
        if (i >= sql.size() || (sql[i] & ~0x20) != *w) return false;
    return true;
}

class ServerDriver;

class ServerStatement final : public Statement {
public:
    ServerStatement(ServerDriver& d, std::string sql, int params, bool write)
        : d_(d), write_(write), params_(static_cast<size_t>(params)) {
        st_.sql = std::move(sql);
        st_.paramCount = params;
    }
    PgConnection::Statement& prepared() { return st_; }

    int parameterCount() const override { return st_.paramCount; }
    void bindInt(int i, int64_t v) override { set(i, std::to_string(v)); }
    void bindText(int i, std::string_view v) override { set(i, std::string(v)); }
    void bindTextCopy(int i, std::string_view v) override { set(i, std::string(v)); }
    void bindReal(int i, double v) override {
        // Doubles here come from decimals of at most 15 digits: %.15g gives
        // their digits back exactly.
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.15g", v);
        set(i, buf);
    }
    void bindDecimal(int i, int64_t scaled, int places) override { set(i, server::scaledText(scaled, places)); }
    void bindNull(int i) override {
        if (i >= 1 && i <= st_.paramCount) params_[static_cast<size_t>(i - 1)].reset();
    }

    Step step() override;
    Step stepAtCommit() override;
    Status failure() const override { return failure_; }

    Type columnType(int c) override {
        if (res_.isNull(row_, c)) return Type::Null;
        switch (PQftype(res_.raw(), c)) {
        case kInt8:
        case kInt2:
        case kInt4:
        case kBool: return Type::Int;
        case kFloat4:
        case kFloat8: return Type::Real;
        // An exact decimal travels as its text: bound back as text, the
        // server reads it as the exact number it was.
        default: return Type::Text;
        }
    }
    int64_t columnInt(int c) override {
        if (res_.isNull(row_, c)) return 0;
        if (PQftype(res_.raw(), c) == kBool) return res_.boolean(row_, c) ? 1 : 0;
        std::string_view t = res_.text(row_, c);
        if (t.find('.') != std::string_view::npos) return res_.scaled(row_, c, 0);
        return res_.int64(row_, c);
    }
    double columnReal(int c) override {
        if (res_.isNull(row_, c)) return 0;
        return std::strtod(std::string(res_.text(row_, c)).c_str(), nullptr);
    }
    std::string_view columnText(int c) override { return res_.isNull(row_, c) ? std::string_view() : res_.text(row_, c); }
    int64_t columnDecimal(int c, int places) override {
        return res_.isNull(row_, c) ? 0 : res_.scaled(row_, c, places);
    }

    void reset() override {
        res_ = PgResult();
        ran_ = false;
        row_ = -1;
    }
    void clearBindings() override {
        for (auto& p : params_) p.reset();
    }
    int64_t changes() const override { return res_.affected(); }
    int64_t insertedRow() const override { return res_.rows() > 0 ? res_.int64(0, 0) : 0; }

private:
    void set(int i, std::string v) {
        if (i >= 1 && i <= st_.paramCount) params_[static_cast<size_t>(i - 1)] = std::move(v);
    }

    ServerDriver& d_;
    PgConnection::Statement st_;
    bool write_ = false;
    std::vector<std::optional<std::string>> params_;
    PgResult res_;
    bool ran_ = false;
    int row_ = -1;
    Status failure_;
};

class ServerDriver final : public Driver {
public:
    explicit ServerDriver(const std::string& conninfo) : pg_(conninfo) {}

    PgConnection& pg() { return pg_; }

    const Dialect& dialect() const override { return kServerDialect; }

    std::unique_ptr<Statement> prepare(const std::string& sql, Status& failure) override {
        const std::string text = server::serverPlaceholders(sql);
        const bool write = startsWithWord(text, "INSERT") || startsWithWord(text, "UPDATE") ||
                           startsWithWord(text, "DELETE");
        auto s = std::make_unique<ServerStatement>(*this, text, highestParam(text), write);
        failure = pg_.prepare(text, s->parameterCount(), s->prepared());
        if (!failure.ok()) return nullptr;
        return s;
    }

    Status exec(const std::string& sql) override {
        InFlight f(inFlight_);
        // Inside a unit, a failed definition must not take the unit with it.
        return pg_.execScriptGuarded(sql);
    }

    struct InFlight {
        int& n;
        explicit InFlight(int& c) : n(c) { ++n; }
        ~InFlight() { --n; }
    };
    int& inFlight() { return inFlight_; }

    Status begin(bool write, std::chrono::milliseconds timeout) override {
        InFlight f(inFlight_);
        return write ? pg_.beginUnit(timeout) : pg_.beginReadUnit();
    }
    Status commit() override {
        if (pg_.unitFailed()) {
            pg_.rollback();
            return Status::make(kFileSystemError, "la transacción se deshizo; no se guardó nada");
        }
        return pg_.commit();
    }
    void rollback() override { pg_.rollback(); }
    bool inTransaction() const override { return pg_.inUnit() && !pg_.unitFailed() && !pg_.lost(); }
    // A statement in flight: a thread whose wait gave the turn away must
    // not find its statements reset under it.
    bool waitingForLock() const override { return inFlight_ > 0; }
    Status integrityCheck() override {
        InFlight f(inFlight_);
        return server::checkTables(pg_);
    }
    Status reindex() override {
        InFlight f(inFlight_);
        return server::rebuildIndexes(pg_, lockTimeout_);
    }
    void setLockTimeout(std::chrono::milliseconds t) { lockTimeout_ = t; }
    void setScanMode(bool) override {}

private:
    PgConnection pg_;
    int inFlight_ = 0;
    std::chrono::milliseconds lockTimeout_{5000};
};

Statement::Step ServerStatement::step() {
    if (!ran_) {
        ran_ = true;
        row_ = 0;
        PgParams params;
        for (const auto& p : params_) {
            if (p) params.add(std::string_view(*p));
            else params.addNull();
        }
        PgConnection& pg = d_.pg();
        ServerDriver::InFlight f(d_.inFlight());
        failure_ = write_ && pg.inUnit() ? pg.runGuarded(st_, params, &res_) : pg.run(st_, params, &res_);
        if (!failure_.ok()) {
            res_ = PgResult();
            return Step::Failed;
        }
    } else {
        ++row_;
    }
    return row_ < res_.rows() ? Step::Row : Step::Done;
}

Statement::Step ServerStatement::stepAtCommit() {
    PgConnection& pg = d_.pg();
    if (!write_ || !pg.inUnit()) return step();
    PgParams params;
    for (const auto& p : params_) {
        if (p) params.add(std::string_view(*p));
        else params.addNull();
    }
    pg.runAtCommit(st_, std::move(params));
    ran_ = true;
    row_ = 0;
    res_ = PgResult();
    failure_ = {};
    return Step::Done;
}

// The side table of auto-numbers, made under the schema's lock only when it
// is missing: a station opening its tables while another holds the lock
// through a long unit (a closing) must not wait for it.
Status makeAutoNumberTable(PgConnection& pg, std::chrono::milliseconds lockTimeout) {
    PgResult r;
    Status st = pg.exec("SELECT to_regclass('tv_autonumber') IS NOT NULL", {}, &r);
    if (!st.ok() || (r.rows() == 1 && r.boolean(0, 0))) return st;
    st = pg.beginUnit(lockTimeout);
    if (!st.ok()) return st;
    st = pg.execScript(server::serverAutoNumberTableSql());
    if (!st.ok()) {
        pg.rollback();
        return st;
    }
    return pg.commit();
}

}  // namespace

std::unique_ptr<Driver> openServerDriver(const std::string& conninfo, std::chrono::milliseconds lockTimeout,
                                         std::function<bool()> mayYield, Status& status) {
    auto d = std::make_unique<ServerDriver>(conninfo);
    d->setLockTimeout(lockTimeout);
    PgConnection& pg = d->pg();
    pg.setMayYield(std::move(mayYield));
    status = pg.open();
    if (!status.ok()) return nullptr;
    // A role that may only read works read-only, as a file this station
    // cannot write (message 2).
    PgResult r;
    status = pg.exec(
        "SELECT current_setting('transaction_read_only') = 'on' OR NOT has_schema_privilege(current_schema(), "
        "'CREATE') AND (to_regclass('tv_autonumber') IS NULL OR NOT has_table_privilege('tv_autonumber', "
        "'INSERT'))",
        {}, &r);
    if (!status.ok()) return nullptr;
    if (r.rows() == 1 && r.boolean(0, 0)) {
        status = Status::make(kAccessDenied);
        return d;
    }
    status = server::installServerFunctions(pg, lockTimeout);
    if (status.ok()) status = makeAutoNumberTable(pg, lockTimeout);
    if (!status.ok()) return nullptr;
    return d;
}

std::string serverLabelOf(const Driver& d) {
    return const_cast<ServerDriver&>(static_cast<const ServerDriver&>(d)).pg().serverLabel();
}

std::string conninfoLabel(const std::string& conninfo) { return PgConnection(conninfo).serverLabel(); }

}  // namespace tv::storage::detail
