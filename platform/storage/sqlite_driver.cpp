// The database file's driver over SQLite.
#include "platform/storage/sqlite_driver.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <iterator>
#include <thread>
#include <utility>

#include "platform/expr/sql_filter.h"
#include "platform/storage/sql_util.h"
#include "platform/threads/logical_thread.h"
#include "platform/types/text.h"

namespace tv::storage::detail {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const Dialect kFileDialect{};

// Every decimal read or bound scales by one of these: looked up, not computed.
double pow10(int places) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                         1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
    return places >= 0 && places < static_cast<int>(std::size(kPowers)) ? kPowers[places] : std::pow(10.0, places);
}

// round(x) half away from zero, as llround gives it, without the library
// call: a read of a decimal column does this for every field.
int64_t roundHalfAway(double x) {
    constexpr double kExact = 4503599627370496.0;  // 2^52: below it the fraction is exact
    if (!(x > -kExact && x < kExact)) return std::llround(x);
    auto whole = static_cast<int64_t>(x);  // toward zero
    const double frac = x - static_cast<double>(whole);
    if (frac >= 0.5) ++whole;
    else if (frac <= -0.5) --whole;
    return whole;
}

// Whether a unit of work can no longer be written beside `db`: its disk has
// less free space than a unit may need at once (the page cache's worth), or
// the system lets this process write its files only up to a size they have
// (nearly) reached.
bool noRoomFor(const fs::path& db) {
    constexpr unsigned long long kUnitRoom = Connection::kPageCacheKiB * 1024ULL;
    fs::path folder = db.parent_path();
    if (folder.empty()) folder = ".";
    struct statvfs vfs{};
    if (::statvfs(folder.c_str(), &vfs) == 0 && static_cast<unsigned long long>(vfs.f_bavail) * vfs.f_frsize < kUnitRoom)
        return true;
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return false;
    unsigned long long largest = 0;
    for (const char* suffix : {"", "-wal"}) {
        struct stat st{};
        if (::stat((db.string() + suffix).c_str(), &st) == 0)
            largest = std::max(largest, static_cast<unsigned long long>(st.st_size));
    }
    return largest + kUnitRoom > limit.rlim_cur;
}

class SqliteStatement final : public Statement {
public:
    SqliteStatement(const SqliteDriver& d, sqlite3_stmt* s) : d_(d), s_(s) {}
    ~SqliteStatement() override { sqlite3_finalize(s_); }

    int parameterCount() const override { return sqlite3_bind_parameter_count(s_); }
    void bindInt(int i, int64_t v) override { sqlite3_bind_int64(s_, i, v); }
    void bindText(int i, std::string_view v) override {
        sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
    }
    void bindTextCopy(int i, std::string_view v) override {
        sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    void bindReal(int i, double v) override { sqlite3_bind_double(s_, i, v); }
    void bindDecimal(int i, int64_t scaled, int places) override {
        sqlite3_bind_double(s_, i, static_cast<double>(scaled) / pow10(places));
    }
    void bindNull(int i) override { sqlite3_bind_null(s_, i); }

    Step step() override {
        rc_ = sqlite3_step(s_);
        if (rc_ == SQLITE_ROW) return Step::Row;
        if (rc_ == SQLITE_DONE) return Step::Done;
        return Step::Failed;
    }
    Status failure() const override { return d_.statusOf(rc_); }

    Type columnType(int c) override {
        switch (sqlite3_column_type(s_, c)) {
        case SQLITE_INTEGER: return Type::Int;
        case SQLITE_FLOAT: return Type::Real;
        case SQLITE_NULL: return Type::Null;
        default: return Type::Text;
        }
    }
    int64_t columnInt(int c) override { return sqlite3_column_int64(s_, c); }
    double columnReal(int c) override { return sqlite3_column_double(s_, c); }
    std::string_view columnText(int c) override {
        auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s_, c));
        return p ? std::string_view(p, static_cast<size_t>(sqlite3_column_bytes(s_, c))) : std::string_view();
    }
    int64_t columnDecimal(int c, int places) override {
        if (places == 0 && sqlite3_column_type(s_, c) != SQLITE_FLOAT) return sqlite3_column_int64(s_, c);
        return roundHalfAway(sqlite3_column_double(s_, c) * pow10(places));
    }
    // One call into the statement per column (its value), the rest read
    // from the value: a whole record is read for every row.
    void readFields(int first, Record& rec, const Kind* kinds, const int* places, int n, int into) override {
        for (int i = 0; i < n; ++i) {
            sqlite3_value* v = sqlite3_column_value(s_, first + i);
            switch (kinds[i]) {
            case Kind::Text: {
                auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
                rec.setText(into + i, p ? std::string_view(p, static_cast<size_t>(sqlite3_value_bytes(v))) : std::string_view());
                break;
            }
            case Kind::Int: rec.setRaw(into + i, sqlite3_value_int64(v)); break;
            case Kind::Real:
                if (places[i] == 0 && sqlite3_value_type(v) != SQLITE_FLOAT) rec.setRaw(into + i, sqlite3_value_int64(v));
                else rec.setRaw(into + i, roundHalfAway(sqlite3_value_double(v) * pow10(places[i])));
                break;
            }
        }
    }

    void reset() override { sqlite3_reset(s_); }
    void clearBindings() override { sqlite3_clear_bindings(s_); }
    int64_t changes() const override { return sqlite3_changes64(d_.handle()); }
    int64_t insertedRow() const override { return sqlite3_last_insert_rowid(d_.handle()); }

private:
    const SqliteDriver& d_;
    sqlite3_stmt* s_;
    int rc_ = SQLITE_OK;
};

}  // namespace

Status statusFor(int rc, const char* msg) {
    switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return {};
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return Status::make(kKeyFileMustBeRebuilt);
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return Status::make(kAccessDenied);
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return Status::make(kLockTimeout);
    case SQLITE_FULL: return Status::make(kDiskFull);
    case SQLITE_CONSTRAINT:
        if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY)
            return Status::make(kCreatesDuplicateKey);
        // A rule of the table refusing the write says why in its own words.
        if (rc == SQLITE_CONSTRAINT_TRIGGER && msg && *msg) return Status::make(kFileSystemError, msg);
        break;
    default: break;
    }
    Status st = Status::make(kFileSystemError, sqliteWords(rc));
    st.detail = msg && *msg ? msg : sqlite3_errstr(rc);
    // A table or column that went away (a file changed by another program)
    // is named.
    if ((rc & 0xff) == SQLITE_ERROR)
        for (const auto& [english, spanish] : {std::pair<std::string_view, const char*>{"no such table: ", "no existe la tabla "},
                                               {"no such column: ", "no existe la columna "}})
            if (st.detail.starts_with(english)) st.text = spanish + st.detail.substr(english.size());
    return st;
}

std::string sqliteWords(int rc) {
    switch (rc & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return std::string(errorText(kKeyFileMustBeRebuilt));
    case SQLITE_FULL: return std::string(errorText(kDiskFull));
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return std::string(errorText(kLockTimeout));
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return std::string(errorText(kAccessDenied));
    case SQLITE_ERROR: return "el archivo de datos no acepta la instrucción";
    case SQLITE_IOERR: return "no se pudo leer o escribir el archivo de datos (se perdió el acceso al disco)";
    case SQLITE_CANTOPEN: return "no se pudo abrir el archivo de datos";
    case SQLITE_NOMEM: return "no queda memoria libre";
    case SQLITE_ABORT:
    case SQLITE_INTERRUPT: return "la operación se interrumpió";
    case SQLITE_PROTOCOL: return "falló el bloqueo del archivo de datos";
    case SQLITE_SCHEMA: return "la estructura del archivo de datos cambió";
    case SQLITE_TOOBIG: return "un valor es demasiado grande";
    case SQLITE_CONSTRAINT: return "un valor no cumple una regla de la tabla";
    case SQLITE_MISMATCH: return "un valor no es del tipo de su campo";
    case SQLITE_NOLFS: return "el archivo de datos es demasiado grande para este sistema";
    default: return "error del archivo de datos (código " + std::to_string(rc) + ")";
    }
}

namespace {
// Compares through toUpper with the accented pairs, ignoring trailing blanks.
int noCaseCompare(void*, int na, const void* pa, int nb, const void* pb) {
    return compareNoCase(std::string_view(static_cast<const char*>(pa), static_cast<size_t>(na)),
                         std::string_view(static_cast<const char*>(pb), static_cast<size_t>(nb)));
}
}  // namespace

int registerCollation(sqlite3* db) {
    return sqlite3_create_collation_v2(db, kNoCaseCollation, SQLITE_UTF8, nullptr, noCaseCompare, nullptr);
}

void waitForLock(bool* waitingFlag) {
    if (threads::current() != 0) {
        const auto start = Clock::now();
        if (waitingFlag) *waitingFlag = true;
        threads::yieldNow();
        if (waitingFlag) *waitingFlag = false;
        if (Clock::now() - start < std::chrono::microseconds(200))
            std::this_thread::sleep_for(std::chrono::microseconds(500));
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

SqliteDriver::SqliteDriver(sqlite3* db, fs::path path) : db_(db), path_(std::move(path)) {}

SqliteDriver::~SqliteDriver() { sqlite3_close_v2(db_); }

std::unique_ptr<SqliteDriver> SqliteDriver::open(const fs::path& path, bool readOnly, int& rc) {
    sqlite3* db = nullptr;
    rc = sqlite3_open_v2(path.c_str(), &db,
                         (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX, nullptr);
    if (db == nullptr) return nullptr;
    std::unique_ptr<SqliteDriver> d(new SqliteDriver(db, path));
    if (rc != SQLITE_OK) return d;
    registerCollation(db);
    // The filters' functions run the evaluator's own code.
    expr::registerSqlFunctions(db);
    sqlite3_busy_handler(db, &SqliteDriver::busyHandler, d.get());
    sqlite3_extended_result_codes(db, 1);
    return d;
}

const Dialect& SqliteDriver::dialect() const { return kFileDialect; }

Status SqliteDriver::statusOf(int rc) const {
    Status st = statusFor(rc, db_ ? sqlite3_errmsg(db_) : nullptr);
    // The disk filled up while SQLite wrote its log or index: an I/O error
    // with the system's word for it, or, where SQLite kept no word (space
    // reserved ahead for the log), a disk or a size limit with no room left.
    if ((rc & 0xff) == SQLITE_IOERR && db_) {
        const int err = sqlite3_system_errno(db_);
        if (err == ENOSPC || err == EDQUOT || err == EFBIG || noRoomFor(path_)) st = Status::make(kDiskFull);
    }
    return st;
}

std::unique_ptr<Statement> SqliteDriver::prepare(const std::string& sql, Status& failure) {
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &s, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(s);
        failure = statusOf(rc);
        return nullptr;
    }
    return std::make_unique<SqliteStatement>(*this, s);
}

Status SqliteDriver::exec(const std::string& sql) { return statusOf(run(sql.c_str())); }

Status SqliteDriver::begin(bool write, std::chrono::milliseconds timeout) {
    const auto limit = busyLimit_;
    busyLimit_ = timeout;
    const int rc = run(write ? "BEGIN IMMEDIATE" : "BEGIN");
    busyLimit_ = limit;
    return statusOf(rc);
}

Status SqliteDriver::commit() {
    const int rc = run("COMMIT");
    if (rc == SQLITE_OK) return {};
    Status st = statusOf(rc);
    if (inTransaction()) run("ROLLBACK");
    return st;
}

void SqliteDriver::rollback() {
    if (inTransaction()) run("ROLLBACK");
}

namespace {
// First line a check reports; "ok" when the database is sound.
std::string checkResult(sqlite3* db, const char* pragma, int& rc) {
    sqlite3_stmt* s = nullptr;
    rc = sqlite3_prepare_v2(db, pragma, -1, &s, nullptr);
    std::string first;
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(s);
        if (rc == SQLITE_ROW) {
            const unsigned char* t = sqlite3_column_text(s, 0);
            first = t ? reinterpret_cast<const char*>(t) : "";
            rc = SQLITE_OK;
        } else if (rc == SQLITE_DONE) {
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(s);
    return first;
}
}  // namespace

Status SqliteDriver::integrityCheck() {
    int rc = SQLITE_OK;
    std::string r = checkResult(db_, "PRAGMA integrity_check", rc);
    Status damaged = Status::make(kKeyFileMustBeRebuilt);
    damaged.detail = rc != SQLITE_OK ? sqlite3_errstr(rc) : r;
    if (rc != SQLITE_OK || r != "ok") return damaged;
    return {};
}

Status SqliteDriver::reindex() {
    int rc = run("REINDEX");
    if (rc == SQLITE_OK) return {};
    Status failed = Status::make(kKeyFileMustBeRebuilt);
    failed.detail = sqlite3_errstr(rc);
    return failed;
}

// A scan reads each page once, so a large cache (or memory-mapped reads,
// which count as the process's memory too) would only grow with the table.
void SqliteDriver::setScanMode(bool on) {
    const int kib = on ? Connection::kScanCacheKiB : Connection::kPageCacheKiB;
    run(("PRAGMA cache_size=-" + std::to_string(kib)).c_str());
}

int SqliteDriver::setUp(bool readOnly) {
    int rc = run("SELECT count(*) FROM sqlite_master");
    if (rc == SQLITE_OK) rc = run(("PRAGMA cache_size=-" + std::to_string(Connection::kPageCacheKiB)).c_str());
    if (rc != SQLITE_OK || readOnly) return rc;
    int persist = 1;
    sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    rc = run("PRAGMA journal_mode=WAL");
    if (rc == SQLITE_OK) rc = run("PRAGMA synchronous=FULL");
    if (rc == SQLITE_OK) rc = run("PRAGMA journal_size_limit=67108864");
    if (rc == SQLITE_OK) rc = run(kNumbersTable);
    return rc;
}

bool SqliteDriver::canWriteNow() {
    const auto limit = busyLimit_;
    busyLimit_ = std::chrono::milliseconds(0);
    int rc = run("BEGIN IMMEDIATE");
    busyLimit_ = limit;
    if (rc == SQLITE_OK) {
        run("ROLLBACK");
        return true;
    }
    int primary = rc & 0xff;
    return primary != SQLITE_READONLY && primary != SQLITE_CANTOPEN && primary != SQLITE_PERM;
}

void SqliteDriver::checkpoint() { sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_FULL, nullptr, nullptr); }

void SqliteDriver::neverCheckpoint(bool alsoNow) {
    if (alsoNow) run("PRAGMA wal_autocheckpoint=0");
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

// Waiting for the write lock: the others run meanwhile; gives up at the limit.
int SqliteDriver::busyHandler(void* p, int count) {
    auto* self = static_cast<SqliteDriver*>(p);
    auto now = Clock::now();
    if (count == 0) self->busySince_ = now;
    if (now - self->busySince_ >= self->busyLimit_) return 0;
    waitForLock(&self->waitingForLock_);
    return 1;
}

}  // namespace tv::storage::detail
