#pragma once
// One connection to a PostgreSQL server through libpq, for the tables kept
// on a server instead of in talvor.db.
//
// Everything goes through libpq's non-blocking calls: a statement is sent,
// and while its answer is awaited the logical thread gives the turn away
// (it is woken when the socket has something to read), so a window whose
// statement waits for a lock held by another station leaves the other
// windows working. On the main stack, or while the wait policy says the
// thread must keep the turn (it holds the write lock), the wait blocks on
// the socket instead: nothing here ever runs an event loop of its own.
//
// Statements take their values as bound parameters, always in text form
// (exact for NUMERIC). Statements used again are prepared once per
// connection (prepare()); a lost connection forgets them, and the next
// use prepares them again on the new connection.
//
// A unit of work (beginUnit/commit/rollback) is a transaction that first
// takes the schema's write lock: a transaction-level advisory lock keyed
// by the schema, so units of all stations on the same tables run one at a
// time, as with SQLite's write lock, and stations working on other schemas
// of the same database never wait for each other. The wait for it is
// bounded by the server's lock_timeout; beyond it the result is
// kLockTimeout and nothing was done.
#include <libpq-fe.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/storage/storage.h"

namespace tv::storage::server {

// Values bound to a statement's $1, $2, ... in text form; a missing value
// is SQL NULL.
class PgParams {
public:
    PgParams& add(std::string_view text);
    PgParams& add(const char* text) { return add(std::string_view(text)); }
    PgParams& add(int64_t v);
    PgParams& add(int v) { return add(static_cast<int64_t>(v)); }
    // A number of `places` decimal places held scaled as an integer
    // (12345 with 2 places is "123.45"): exact, never through a double.
    PgParams& addScaled(int64_t scaled, int places);
    PgParams& addNull();
    void clear();
    int size() const { return static_cast<int>(values_.size()); }

    // For libpq: pointers into the values (valid until the next change).
    const char* const* values() const;

private:
    std::vector<std::optional<std::string>> values_;
    mutable std::vector<const char*> ptrs_;
};

// The answer to one statement: rows in text form, or a command's count.
class PgResult {
public:
    PgResult() = default;
    explicit PgResult(PGresult* r) : r_(r, &PQclear) {}
    bool empty() const { return !r_; }
    int rows() const { return r_ ? PQntuples(r_.get()) : 0; }
    int columns() const { return r_ ? PQnfields(r_.get()) : 0; }
    bool isNull(int row, int col) const { return PQgetisnull(r_.get(), row, col) != 0; }
    std::string_view text(int row, int col) const;
    // Whole numbers; a NUMERIC column with places, scaled exactly by 10^places.
    int64_t int64(int row, int col) const;
    int64_t scaled(int row, int col, int places) const;
    bool boolean(int row, int col) const { return text(row, col) == "t"; }
    // Rows an INSERT, UPDATE or DELETE touched.
    int64_t affected() const;
    PGresult* raw() const { return r_.get(); }

private:
    std::shared_ptr<PGresult> r_;
};

// A number's text ("-123.45", "7", "0.5") scaled by 10^places into an
// integer, rounding half away from zero beyond `places`; false when it is
// not a number or does not fit.
bool parseScaled(std::string_view text, int places, int64_t& out);
// The text of scaled/10^places, exact ("-0.05" for -5 with 2 places).
std::string scaledText(int64_t scaled, int places);

class PgConnection {
public:
    // Nothing is opened yet: open() connects. `conninfo` is a libpq
    // connection string ("host=server dbname=talvor user=talvor") or URI.
    explicit PgConnection(std::string conninfo);
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Connects (yielding while the server answers). A server that cannot
    // be reached gives kFileSystemError with a Spanish text naming the
    // server; never kAccessDenied, which means "opened read-only".
    Status open();
    bool isOpen() const;
    // The connection broke (the server stopped or restarted, the network
    // went): the open unit is lost; the next open() or unit connects again.
    bool lost() const { return lost_; }
    void close();

    // The server as the messages name it: "host:port/database" (the
    // socket's folder for a local socket); never the password.
    std::string serverLabel() const;
    const std::string& conninfo() const { return conninfo_; }

    // Runs one statement with its parameters; `out` gets the rows.
    Status exec(const std::string& sql, const PgParams& params = {}, PgResult* out = nullptr);
    // Runs SQL text without parameters, several statements at once
    // (definitions, scripts). Identifiers only, never user data.
    Status execScript(const std::string& sql);

    // A statement prepared once on this connection, run many times.
    struct Statement {
        std::string sql;
        int paramCount = 0;
        std::string name;          // on the server
        uint64_t generation = 0;   // of the connection it was prepared on
    };
    Status prepare(const std::string& sql, int paramCount, Statement& st);
    Status run(Statement& st, const PgParams& params, PgResult* out = nullptr);
    // The same inside the open unit, so that its failure leaves the unit
    // usable: the savepoint, the statement and its release go out in one
    // exchange (a pipeline), and a failed statement is undone alone.
    Status runGuarded(Statement& st, const PgParams& params, PgResult* out = nullptr);
    // SQL text without parameters, inside the open unit, guarded alike.
    Status execScriptGuarded(const std::string& sql);

    // --- units of work ---
    // BEGIN, then the schema's write lock, waiting at most `lockTimeout`
    // (kLockTimeout when another station holds it longer). A lost
    // connection is opened again first.
    Status beginUnit(std::chrono::milliseconds lockTimeout);
    // A transaction that takes no write lock: reads of one snapshot, writes
    // to the connection's own (temporary) tables.
    Status beginReadUnit();
    Status commit();
    // A write whose outcome matters only to the commit (the unit fails
    // whole if it does): it goes out with the COMMIT, in one exchange.
    // Rolled back or lost with the unit.
    void runAtCommit(Statement& st, PgParams params);
    void rollback();
    bool inUnit() const { return inUnit_; }
    // A statement of the unit failed: the server refuses the rest of it
    // until it is rolled back.
    bool unitFailed() const;

    // Whether a wait on the server may give the turn away. Default: on any
    // logical thread. The table layer says no while the thread holds the
    // write lock, as it does for SQLite.
    void setMayYield(std::function<bool()> check) { mayYield_ = std::move(check); }
    // How often waits gave the turn away (tests).
    uint64_t yieldCount() const { return yields_; }

    PGconn* raw() const { return conn_; }

private:
    enum class Want { Read, Write };
    Status connectNow();
    Status ready();
    Status roundTrip(const std::function<int(PGconn*)>& sendFn, PgResult* out);
    Status send(const std::function<int(PGconn*)>& sendFn);
    // Waits, giving the turn away, until libpq holds a whole answer.
    Status awaitAnswer();
    Status collect(PgResult* out);
    Status collectPipeline(int wanted, PgResult* out);
    Status pipelineGuarded(Statement& st, const PgParams& params, PgResult* out);
    Status undoGuarded();
    Status waitSocket(Want want, std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);
    Status ensureOpen();
    Status lostStatus(const char* why);
    Status resultStatus(PGresult* r);
    void forgetStatements();

    std::string conninfo_;
    PGconn* conn_ = nullptr;
    bool lost_ = false;
    bool busy_ = false;
    bool inUnit_ = false;
    bool waitingForLock_ = false;  // beginUnit's wait for the schema's lock
    uint64_t generation_ = 0;
    uint64_t nextName_ = 0;
    uint64_t yields_ = 0;
    int64_t lockKey_ = 0;          // the schema's write lock
    std::function<bool()> mayYield_;
    std::unordered_map<std::string, std::string> prepared_;   // sql -> name, this generation
    Statement savepoint_, release_;                            // around a guarded write
    struct AtCommit {
        Statement* st;
        PgParams params;
    };
    std::vector<AtCommit> atCommit_;                           // sent with the COMMIT
    Status commitWithWrites();
};

}  // namespace tv::storage::server
