// The libpq connection: non-blocking sends, waits that give the turn away,
// prepared statements, units of work under the schema's write lock.
#include "platform/storage/server/pg_connection.h"

#include <poll.h>

#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>

#include "platform/storage/server/pg_errors.h"
#include "platform/threads/logical_thread.h"

namespace tv::storage::server {

using Clock = std::chrono::steady_clock;

namespace {

// Most answers come within a round trip: the first moment of a wait is
// spent on the socket, so a quick statement costs no trip through the
// scheduler. Longer waits give the turn away.
constexpr int kSpinMs = 1;
// A waiting thread looks at its socket again at least this often, even
// without a sign from it.
constexpr int kRecheckMs = 50;
// libpq leaves the time-out of a non-blocking connect to its caller.
constexpr auto kConnectTimeout = std::chrono::seconds(15);
// Functions the store relies on (trim_scale) came with PostgreSQL 13.
constexpr int kMinServerVersion = 130000;
// The write lock's key: "tv" in the high half, the schema's oid in the low.
constexpr int64_t kLockClass = 0x7476LL << 32;

}  // namespace

// ---------------------------------------------------------------------------
// Values

PgParams& PgParams::add(std::string_view text) {
    values_.emplace_back(std::string(text));
    return *this;
}

PgParams& PgParams::add(int64_t v) {
    values_.emplace_back(std::to_string(v));
    return *this;
}

PgParams& PgParams::addScaled(int64_t scaled, int places) {
    values_.emplace_back(scaledText(scaled, places));
    return *this;
}

PgParams& PgParams::addNull() {
    values_.emplace_back(std::nullopt);
    return *this;
}

void PgParams::clear() { values_.clear(); }

const char* const* PgParams::values() const {
    ptrs_.clear();
    for (const auto& v : values_) ptrs_.push_back(v ? v->c_str() : nullptr);
    return ptrs_.data();
}

std::string scaledText(int64_t scaled, int places) {
    const bool neg = scaled < 0;
    // The magnitude as unsigned: INT64_MIN has no positive counterpart.
    uint64_t mag = neg ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    std::string digits = std::to_string(mag);
    if (places > 0) {
        if (digits.size() <= static_cast<size_t>(places))
            digits.insert(0, static_cast<size_t>(places) + 1 - digits.size(), '0');
        digits.insert(digits.size() - static_cast<size_t>(places), ".");
    }
    return neg && mag != 0 ? "-" + digits : digits;
}

bool parseScaled(std::string_view t, int places, int64_t& out) {
    if (places < 0 || places > 18) return false;
    bool neg = false;
    if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
        neg = t[0] == '-';
        t.remove_prefix(1);
    }
    size_t dot = t.find('.');
    std::string_view ip = t.substr(0, dot);
    std::string_view fp = dot == std::string_view::npos ? std::string_view() : t.substr(dot + 1);
    if (ip.empty() && fp.empty()) return false;
    __int128 v = 0;
    const __int128 limit = static_cast<__int128>(INT64_MAX);
    for (char c : ip) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > limit * 10) return false;
    }
    for (int i = 0; i < places; ++i) {
        char c = static_cast<size_t>(i) < fp.size() ? fp[static_cast<size_t>(i)] : '0';
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > limit * 10) return false;
    }
    if (static_cast<size_t>(places) < fp.size()) {
        char next = fp[static_cast<size_t>(places)];
        for (char c : fp.substr(static_cast<size_t>(places)))
            if (c < '0' || c > '9') return false;
        if (next >= '5') ++v;   // half away from zero, as the record buffers round
    }
    if (v > limit) return false;
    out = static_cast<int64_t>(neg ? -v : v);
    return true;
}

// ---------------------------------------------------------------------------
// Results

std::string_view PgResult::text(int row, int col) const {
    const char* p = PQgetvalue(r_.get(), row, col);
    return std::string_view(p, static_cast<size_t>(PQgetlength(r_.get(), row, col)));
}

int64_t PgResult::int64(int row, int col) const {
    std::string_view t = text(row, col);
    int64_t v = 0;
    std::from_chars(t.data(), t.data() + t.size(), v);
    return v;
}

int64_t PgResult::scaled(int row, int col, int places) const {
    int64_t v = 0;
    parseScaled(text(row, col), places, v);
    return v;
}

int64_t PgResult::affected() const {
    if (!r_) return 0;
    const char* t = PQcmdTuples(r_.get());
    int64_t v = 0;
    std::from_chars(t, t + std::strlen(t), v);
    return v;
}

// ---------------------------------------------------------------------------
// Connecting

PgConnection::PgConnection(std::string conninfo) : conninfo_(std::move(conninfo)) {}

PgConnection::~PgConnection() { close(); }

void PgConnection::close() {
    if (conn_) PQfinish(conn_);
    conn_ = nullptr;
    inUnit_ = false;
    forgetStatements();
}

void PgConnection::forgetStatements() {
    prepared_.clear();
    ++generation_;
}

bool PgConnection::isOpen() const { return conn_ != nullptr && !lost_ && PQstatus(conn_) == CONNECTION_OK; }

std::string PgConnection::serverLabel() const {
    std::string host, port, db;
    if (conn_) {
        host = PQhost(conn_) ? PQhost(conn_) : "";
        port = PQport(conn_) ? PQport(conn_) : "";
        db = PQdb(conn_) ? PQdb(conn_) : "";
    } else {
        char* err = nullptr;
        PQconninfoOption* opts = PQconninfoParse(conninfo_.c_str(), &err);
        if (err) PQfreemem(err);
        for (PQconninfoOption* o = opts; o && o->keyword; ++o) {
            if (!o->val) continue;
            std::string k = o->keyword;
            if (k == "host" || (k == "hostaddr" && host.empty())) host = o->val;
            else if (k == "port") port = o->val;
            else if (k == "dbname") db = o->val;
        }
        if (opts) PQconninfoFree(opts);
    }
    if (host.empty()) host = "local";
    std::string label = "«" + host;
    if (!port.empty()) label += ":" + port;
    if (!db.empty()) label += "/" + db;
    return label + "»";
}

Status PgConnection::open() {
    if (busy_) return Status::make(kFileSystemError, "connection in use");
    return connectNow();
}

Status PgConnection::ensureOpen() {
    if (isOpen()) return {};
    if (inUnit_) return lostStatus("");   // the unit's later statements must not run on their own
    return connectNow();
}

Status PgConnection::connectNow() {
    close();
    lost_ = false;
    // Defaults first (the connection string may set them otherwise), then
    // the string, then what the program needs whatever it says. Keep-alives
    // find a server that went away without a word.
    const char* keys[] = {"keepalives", "keepalives_idle", "keepalives_interval", "keepalives_count",
                          "application_name", "dbname", "client_encoding", nullptr};
    const char* vals[] = {"1", "10", "5", "3", "talvor", conninfo_.c_str(), "UTF8", nullptr};
    conn_ = PQconnectStartParams(keys, vals, 1);
    if (!conn_) return Status::make(kFileSystemError, unreachableText(serverLabel(), "sin memoria"));
    const auto deadline = Clock::now() + kConnectTimeout;
    PostgresPollingStatusType ps = PGRES_POLLING_WRITING;
    while (PQstatus(conn_) != CONNECTION_BAD && ps != PGRES_POLLING_OK && ps != PGRES_POLLING_FAILED) {
        Status w = waitSocket(ps == PGRES_POLLING_READING ? Want::Read : Want::Write, deadline);
        if (!w.ok()) {
            std::string label = serverLabel();
            close();
            return Status::make(kFileSystemError, unreachableText(label, "no contestó a tiempo"));
        }
        ps = PQconnectPoll(conn_);
    }
    if (PQstatus(conn_) != CONNECTION_OK) {
        Status st = Status::make(kFileSystemError, unreachableText(serverLabel(), PQerrorMessage(conn_)));
        close();
        return st;
    }
    if (PQserverVersion(conn_) < kMinServerVersion) {
        Status st = Status::make(kFileSystemError,
                                 unreachableText(serverLabel(), "hace falta PostgreSQL 13 o posterior"));
        close();
        return st;
    }
    PQsetnonblocking(conn_, 1);
    // The server's notices ("already exists, skipping") are for people at a
    // console; the layer has its own words.
    PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
    forgetStatements();
    // No statement outside a unit waits for ever on a lock (a table being
    // changed by another station's start); the schema names the write lock.
    PgResult r;
    Status st = roundTrip(
        [](PGconn* c) {
            return PQsendQuery(c, "SET lock_timeout = '5s'; "
                                  "SELECT oid::bigint FROM pg_namespace WHERE nspname = current_schema()");
        },
        &r);
    if (st.ok() && r.rows() != 1)
        st = Status::make(kFileSystemError, unreachableText(serverLabel(), "el esquema de trabajo no existe"));
    if (!st.ok()) {
        close();
        return st;
    }
    lockKey_ = kLockClass + r.int64(0, 0);
    return {};
}

// ---------------------------------------------------------------------------
// Waiting

Status PgConnection::waitSocket(Want want, std::optional<Clock::time_point> deadline) {
    const int fd = PQsocket(conn_);
    if (fd < 0) return lostStatus("sin conexión");
    const short events = want == Want::Read ? POLLIN : static_cast<short>(POLLIN | POLLOUT);
    auto ready = [&](int ms) {
        pollfd p{fd, events, 0};
        int n = ::poll(&p, 1, ms);
        return n > 0 || (n < 0 && errno != EINTR);
    };
    if (ready(kSpinMs)) return {};
    const threads::ThreadNo me = threads::current();
    const bool keep = me != 0 && !waitingForLock_ && threads::keepsTurn();
    const bool yield = me != 0 && QCoreApplication::instance() != nullptr && !keep && (!mayYield_ || mayYield_());
    for (;;) {
        if (deadline && Clock::now() >= *deadline) return Status::make(kLockTimeout);
        if (yield) {
            // Woken by the socket (or by the clock, to look again).
            QSocketNotifier onRead(static_cast<qintptr>(fd), QSocketNotifier::Read);
            std::optional<QSocketNotifier> onWrite;
            QObject::connect(&onRead, &QSocketNotifier::activated, [me] { threads::wake(me); });
            if (want == Want::Write) {
                onWrite.emplace(static_cast<qintptr>(fd), QSocketNotifier::Write);
                QObject::connect(&*onWrite, &QSocketNotifier::activated, [me] { threads::wake(me); });
            }
            QTimer clock;
            QObject::connect(&clock, &QTimer::timeout, [me] { threads::wake(me); });
            clock.start(kRecheckMs);
            ++yields_;
            // A wait for the write lock lasts as long as another holds it;
            // any other answer comes by itself.
            std::optional<threads::AwaitingAnswer> answer;
            if (!waitingForLock_) answer.emplace();
            threads::suspend();
            if (ready(0)) return {};
        } else if (ready(kRecheckMs)) {
            return {};
        } else if (keep) {
            // The thread keeps the turn, yet its windows repaint.
            threads::serveEventsKeepingTurn();
            if (ready(0)) return {};
        }
    }
}

// ---------------------------------------------------------------------------
// Statements

Status PgConnection::lostStatus(const char* why) {
    lost_ = true;
    std::string detail = why && *why ? why : (conn_ ? PQerrorMessage(conn_) : "");
    return Status::make(kFileSystemError, lostText(serverLabel(), detail));
}

Status PgConnection::resultStatus(PGresult* r) {
    const char* state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
    const char* msg = PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY);
    const char* constraint = PQresultErrorField(r, PG_DIAG_CONSTRAINT_NAME);
    if (!state) {
        // A failure libpq found itself (the server closed the connection).
        if (PQstatus(conn_) == CONNECTION_BAD) return lostStatus(PQresultErrorMessage(r));
        return Status::make(kFileSystemError, PQresultErrorMessage(r));
    }
    if (isConnectionLoss(state)) lost_ = true;
    return statusForSqlState(state, msg ? msg : "", constraint ? constraint : "", serverLabel());
}

Status PgConnection::send(const std::function<int(PGconn*)>& sendFn) {
    if (!sendFn(conn_)) {
        if (PQstatus(conn_) == CONNECTION_BAD) return lostStatus("");
        return Status::make(kFileSystemError, PQerrorMessage(conn_));
    }
    for (;;) {
        int f = PQflush(conn_);
        if (f == 0) return {};
        if (f < 0) return lostStatus("");
        Status st = waitSocket(Want::Write);
        if (!st.ok()) return st;
        if (!PQconsumeInput(conn_)) return lostStatus("");
    }
}

Status PgConnection::awaitAnswer() {
    while (PQisBusy(conn_)) {
        Status st = waitSocket(Want::Read);
        if (!st.ok()) return st;
        if (!PQconsumeInput(conn_)) return lostStatus("");
    }
    return {};
}

Status PgConnection::collect(PgResult* out) {
    Status first;
    for (;;) {
        if (Status st = awaitAnswer(); !st.ok()) return st;
        PGresult* r = PQgetResult(conn_);
        if (!r) break;
        switch (PQresultStatus(r)) {
        case PGRES_COMMAND_OK:
        case PGRES_TUPLES_OK:
            if (out) *out = PgResult(r);
            else PQclear(r);
            break;
        case PGRES_FATAL_ERROR:
            if (first.ok()) first = resultStatus(r);
            PQclear(r);
            break;
        default: PQclear(r); break;
        }
    }
    if (PQstatus(conn_) == CONNECTION_BAD) {
        lost_ = true;
        if (first.ok() || first.text.find(serverLabel()) == std::string::npos) return lostStatus("");
    }
    return first;
}

Status PgConnection::roundTrip(const std::function<int(PGconn*)>& sendFn, PgResult* out) {
    Status st = send(sendFn);
    if (!st.ok()) return st;
    return collect(out);
}

namespace {
// Marks the connection in use for one exchange: a thread whose wait gave
// the turn away must not find its own connection taken by a hook.
struct InUse {
    bool& flag;
    explicit InUse(bool& f) : flag(f) { flag = true; }
    ~InUse() { flag = false; }
};
}  // namespace

Status PgConnection::ready() {
    if (busy_) return Status::make(kFileSystemError, "connection in use");
    return ensureOpen();
}

Status PgConnection::exec(const std::string& sql, const PgParams& params, PgResult* out) {
    Status st = ready();
    if (!st.ok()) return st;
    InUse use(busy_);
    return roundTrip(
        [&](PGconn* c) {
            return PQsendQueryParams(c, sql.c_str(), params.size(), nullptr, params.values(), nullptr, nullptr, 0);
        },
        out);
}

Status PgConnection::execScript(const std::string& sql) {
    Status st = ready();
    if (!st.ok()) return st;
    InUse use(busy_);
    return roundTrip([&](PGconn* c) { return PQsendQuery(c, sql.c_str()); }, nullptr);
}

Status PgConnection::prepare(const std::string& sql, int paramCount, Statement& st) {
    st.sql = sql;
    st.paramCount = paramCount;
    Status s = ready();
    if (!s.ok()) return s;
    auto it = prepared_.find(sql);
    if (it != prepared_.end()) {
        st.name = it->second;
        st.generation = generation_;
        return {};
    }
    InUse use(busy_);
    std::string name = "tv_" + std::to_string(++nextName_);
    s = roundTrip([&](PGconn* c) { return PQsendPrepare(c, name.c_str(), sql.c_str(), paramCount, nullptr); },
                  nullptr);
    if (!s.ok()) return s;
    prepared_.emplace(sql, name);
    st.name = name;
    st.generation = generation_;
    return {};
}

Status PgConnection::run(Statement& st, const PgParams& params, PgResult* out) {
    Status s = ready();
    if (!s.ok()) return s;
    if (st.generation != generation_ || st.name.empty()) {
        // Prepared on a connection that has since been opened again.
        s = prepare(st.sql, st.paramCount, st);
        if (!s.ok()) return s;
    }
    InUse use(busy_);
    return roundTrip(
        [&](PGconn* c) {
            return PQsendQueryPrepared(c, st.name.c_str(), params.size(), params.values(), nullptr, nullptr, 0);
        },
        out);
}

// ---------------------------------------------------------------------------
// Units of work

Status PgConnection::beginUnit(std::chrono::milliseconds lockTimeout) {
    if (inUnit_) return Status::make(kFileSystemError, "a unit of work is open");
    atCommit_.clear();
    Status st = ready();
    if (!st.ok()) return st;
    InUse use(busy_);
    const std::string key = std::to_string(lockKey_);
    // A time-out of 0 would make the server wait for ever: no wait at all.
    const bool noWait = lockTimeout.count() <= 0;
    std::string sql = noWait ? "BEGIN; SELECT pg_try_advisory_xact_lock(" + key + ")"
                             : "BEGIN; SET LOCAL lock_timeout = '" + std::to_string(lockTimeout.count()) +
                                   "ms'; SELECT pg_advisory_xact_lock(" + key + ")";
    PgResult r;
    if (!noWait && threads::keepsTurn()) {
        // A thread that keeps the turn keeps it while the lock is free; only
        // a wait for another station's unit lets the others run, as the
        // file's wait for its lock does.
        const std::string tryLock = "BEGIN; SELECT pg_try_advisory_xact_lock(" + key + ")";
        st = roundTrip([&](PGconn* c) { return PQsendQuery(c, tryLock.c_str()); }, &r);
        if (st.ok() && r.rows() == 1 && r.boolean(0, 0)) {
            inUnit_ = true;
            return {};
        }
        sql = "SET LOCAL lock_timeout = '" + std::to_string(lockTimeout.count()) +
              "ms'; SELECT pg_advisory_xact_lock(" + key + ")";
    }
    if (st.ok()) {
        waitingForLock_ = true;
        st = roundTrip([&](PGconn* c) { return PQsendQuery(c, sql.c_str()); }, &r);
        waitingForLock_ = false;
    }
    if (st.ok() && noWait && !(r.rows() == 1 && r.boolean(0, 0))) st = Status::make(kLockTimeout);
    if (!st.ok()) {
        if (isOpen() && PQtransactionStatus(conn_) != PQTRANS_IDLE)
            roundTrip([](PGconn* c) { return PQsendQuery(c, "ROLLBACK"); }, nullptr);
        return st;
    }
    inUnit_ = true;
    return {};
}

Status PgConnection::beginReadUnit() {
    if (inUnit_) return Status::make(kFileSystemError, "a unit of work is open");
    Status st = execScript("BEGIN");
    if (st.ok()) inUnit_ = true;
    return st;
}

bool PgConnection::unitFailed() const { return conn_ && PQtransactionStatus(conn_) == PQTRANS_INERROR; }

void PgConnection::runAtCommit(Statement& st, PgParams params) {
    if (inUnit_) atCommit_.push_back({&st, std::move(params)});
}

Status PgConnection::commit() {
    if (!inUnit_) return Status::make(kFileSystemError, "no unit of work is open");
    if (busy_) return Status::make(kFileSystemError, "connection in use");
    if (!isOpen()) {
        inUnit_ = false;
        atCommit_.clear();
        return lostStatus("");
    }
    if (!atCommit_.empty()) return commitWithWrites();
    InUse use(busy_);
    PgResult r;
    Status st = roundTrip([](PGconn* c) { return PQsendQuery(c, "COMMIT"); }, &r);
    inUnit_ = false;
    if (!st.ok()) return st;
    // A unit in which a statement failed is rolled back by its COMMIT.
    if (r.raw() && std::strcmp(PQcmdStatus(r.raw()), "ROLLBACK") == 0)
        return Status::make(kFileSystemError, "transaction rolled back");
    return {};
}

void PgConnection::rollback() {
    const bool was = inUnit_;
    inUnit_ = false;
    atCommit_.clear();
    if (!was || busy_ || !isOpen()) return;
    InUse use(busy_);
    roundTrip([](PGconn* c) { return PQsendQuery(c, "ROLLBACK"); }, nullptr);
}

}  // namespace tv::storage::server
