// Writes inside a unit of work, each under a savepoint of its own: the
// server gives up a whole transaction at a failed statement, where the file
// gives up the statement alone. The savepoint, the statement and the
// release travel together through libpq's pipeline, so a write costs one
// exchange with the server, as it would without the savepoint; only a
// failed write costs a second one (undoing it back to the savepoint).
#include "platform/storage/server/pg_connection.h"

namespace tv::storage::server {

namespace {

constexpr const char* kSavepoint = "SAVEPOINT tv_w";
constexpr const char* kRelease = "RELEASE SAVEPOINT tv_w";
// Undone, and the savepoint let go: thousands of writes in one unit must
// not leave thousands of nested savepoints behind.
constexpr const char* kUndo = "ROLLBACK TO SAVEPOINT tv_w; RELEASE SAVEPOINT tv_w";

struct Busy {
    bool& flag;
    explicit Busy(bool& f) : flag(f) { flag = true; }
    ~Busy() { flag = false; }
};

}  // namespace

Status PgConnection::runGuarded(Statement& st, const PgParams& params, PgResult* out) {
    if (!inUnit_) return run(st, params, out);
    Status s = ready();
    if (!s.ok()) return s;
    if (st.generation != generation_ || st.name.empty()) {
        s = prepare(st.sql, st.paramCount, st);
        if (!s.ok()) return s;
    }
    // The savepoint's own statements, parsed once per connection too.
    for (auto [sql, named] : {std::pair{kSavepoint, &savepoint_}, std::pair{kRelease, &release_}}) {
        if (named->generation == generation_ && !named->name.empty()) continue;
        s = prepare(sql, 0, *named);
        if (!s.ok()) return s;
    }
    s = pipelineGuarded(st, params, out);
    if (!s.ok() && !lost_) undoGuarded();
    return s;
}

Status PgConnection::pipelineGuarded(Statement& st, const PgParams& params, PgResult* out) {
    Busy use(busy_);
    if (!PQenterPipelineMode(conn_)) return Status::make(kFileSystemError, PQerrorMessage(conn_));
    Status s = send([&](PGconn* c) {
        return PQsendQueryPrepared(c, savepoint_.name.c_str(), 0, nullptr, nullptr, nullptr, 0) &&
               PQsendQueryPrepared(c, st.name.c_str(), params.size(), params.values(), nullptr, nullptr, 0) &&
               PQsendQueryPrepared(c, release_.name.c_str(), 0, nullptr, nullptr, nullptr, 0) && PQpipelineSync(c);
    });
    if (s.ok()) s = collectPipeline(1, out);
    // A pipeline that cannot be left (answers still due after a failure)
    // leaves the connection in a state nothing else expects: it is given
    // up, and with it the unit, which the server then rolls back whole.
    if (conn_ && PQpipelineStatus(conn_) != PQ_PIPELINE_OFF && !PQexitPipelineMode(conn_)) {
        Status lost = lostStatus(PQerrorMessage(conn_));
        if (s.ok()) s = lost;
    }
    return s;
}

Status PgConnection::execScriptGuarded(const std::string& sql) {
    if (!inUnit_) return execScript(sql);
    // Simple queries in one text: the server runs them in order and skips
    // the rest at the first that fails.
    Status s = execScript(std::string(kSavepoint) + ";\n" + sql + ";\n" + kRelease);
    if (!s.ok() && !lost_) undoGuarded();
    return s;
}

Status PgConnection::undoGuarded() {
    if (busy_) return Status::make(kFileSystemError, "connection in use");
    if (!isOpen()) return lostStatus("");
    Busy use(busy_);
    return roundTrip([](PGconn* c) { return PQsendQuery(c, kUndo); }, nullptr);
}

// The answers of one pipeline up to its sync: the first failure is the
// result; `out` gets the answer of statement number `wanted` (from 0).
// Statements after a failed one come back "aborted" and change nothing.
Status PgConnection::collectPipeline(int wanted, PgResult* out) {
    Status first;
    int index = 0;
    bool gap = false;   // two gaps in a row: nothing more is coming
    for (;;) {
        if (Status st = awaitAnswer(); !st.ok()) return st;
        PGresult* r = PQgetResult(conn_);
        if (!r) {
            if (PQstatus(conn_) == CONNECTION_BAD) return lostStatus("");
            if (gap) break;
            gap = true;
            ++index;
            continue;
        }
        gap = false;
        const ExecStatusType type = PQresultStatus(r);
        if (type == PGRES_PIPELINE_SYNC) {
            PQclear(r);
            break;
        }
        if (type == PGRES_FATAL_ERROR) {
            if (first.ok()) first = resultStatus(r);
            PQclear(r);
        } else if (index == wanted && out && (type == PGRES_COMMAND_OK || type == PGRES_TUPLES_OK)) {
            *out = PgResult(r);
        } else {
            PQclear(r);
        }
    }
    if (PQstatus(conn_) == CONNECTION_BAD) {
        lost_ = true;
        if (first.ok()) return lostStatus("");
    }
    return first;
}

// The writes left for the commit, then the COMMIT, in one pipeline. The
// first that fails leaves the unit refusing the rest: it is rolled back and
// that failure is the commit's.
Status PgConnection::commitWithWrites() {
    std::vector<AtCommit> writes;
    writes.swap(atCommit_);
    for (AtCommit& w : writes) {
        if (w.st->generation == generation_ && !w.st->name.empty()) continue;
        if (Status s = prepare(w.st->sql, w.st->paramCount, *w.st); !s.ok()) {
            rollback();
            return s;
        }
    }
    Status s;
    {
        Busy use(busy_);
        if (!PQenterPipelineMode(conn_)) {
            s = Status::make(kFileSystemError, PQerrorMessage(conn_));
        } else {
            s = send([&](PGconn* c) -> int {
                for (const AtCommit& w : writes)
                    if (!PQsendQueryPrepared(c, w.st->name.c_str(), w.params.size(), w.params.values(), nullptr,
                                             nullptr, 0))
                        return 0;
                return PQsendQueryParams(c, "COMMIT", 0, nullptr, nullptr, nullptr, nullptr, 0) &&
                       PQpipelineSync(c) ? 1 : 0;
            });
            if (s.ok()) s = collectPipeline(-1, nullptr);
            if (conn_ && PQpipelineStatus(conn_) != PQ_PIPELINE_OFF && !PQexitPipelineMode(conn_)) {
                Status lost = lostStatus(PQerrorMessage(conn_));
                if (s.ok()) s = lost;
            }
        }
    }
    if (s.ok() && conn_ && PQtransactionStatus(conn_) != PQTRANS_IDLE)
        s = Status::make(kFileSystemError, "transaction rolled back");
    if (!s.ok()) {
        rollback();
        return s;
    }
    inUnit_ = false;
    return {};
}

}  // namespace tv::storage::server
