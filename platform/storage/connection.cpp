// Connections, the busy handler, transactions and stream mode.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <map>
#include <mutex>
#include <thread>

#include "platform/storage/owners.h"
#include "platform/storage/sql_util.h"
#include "platform/storage/storage.h"
#include "platform/threads/logical_thread.h"

namespace tv::storage {

using namespace detail;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kNotOpen = "el archivo de datos no está abierto";

bool canWrite(const fs::path& p) { return ::access(p.c_str(), W_OK) == 0; }

fs::path folderOf(const fs::path& p) {
    fs::path f = p.parent_path();
    return f.empty() ? fs::path(".") : f;
}

// Runs a statement that returns no rows we need; SQLite's result.
int run(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

// Connections of this process by database, so that nothing below is done
// to files this process has open (closing a descriptor of a file drops the
// process's locks on it).
std::mutex openLock;
std::map<std::string, int>& openCounts() {
    static std::map<std::string, int> m;
    return m;
}
std::string openKey(const fs::path& p) {
    std::error_code ec;
    fs::path a = fs::weakly_canonical(fs::absolute(p, ec), ec);
    return a.string();
}

// Whether another process holds a lock SQLite takes on `file` at
// [start, start+len): every open connection keeps a shared lock on the
// database (WAL mode) and on the -shm's dead-man byte. A file that cannot be
// asked counts as held.
bool lockHeld(const fs::path& file, off_t start, off_t len) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno != ENOENT;
    struct flock fl{};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = len;
    bool held = ::fcntl(fd, F_GETLK, &fl) != 0 || fl.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

// Journal files this station cannot write make SQLite open the database
// read-only even when the database itself is writable. A run without write
// access leaves them so (it creates them with the database's permissions of
// the time and cannot remove them). When nobody has the database open, the
// -shm is only an index that SQLite rebuilds and an empty log holds
// nothing, so both may go; a log with contents is never touched.
void clearUnwritableJournals(const fs::path& db) {
    const fs::path wal = db.string() + "-wal", shm = db.string() + "-shm";
    std::error_code ec;
    const bool walStuck = fs::exists(wal, ec) && !canWrite(wal);
    const bool shmStuck = fs::exists(shm, ec) && !canWrite(shm);
    if (!walStuck && !shmStuck) return;
    if (walStuck && fs::file_size(wal, ec) != 0) return;
    {
        std::lock_guard<std::mutex> g(openLock);
        auto it = openCounts().find(openKey(db));
        if (it != openCounts().end() && it->second > 0) return;
    }
    constexpr off_t kPendingByte = 0x40000000;   // SQLite's lock bytes on the database
    constexpr off_t kShmDeadMan = 128;           // and its dead-man byte in the -shm
    if (lockHeld(db, kPendingByte, 512) || lockHeld(shm, kShmDeadMan, 1)) return;
    // The log first: an index left without its log is rebuilt, never trusted.
    if (walStuck && ::unlink(wal.c_str()) != 0) return;
    ::unlink(shm.c_str());
}

// Whether a unit of work can no longer be written beside `db`: its disk has
// less free space than a unit may need at once (the page cache's worth), or
// the system lets this process write its files only up to a size they have
// (nearly) reached.
bool noRoomFor(const fs::path& db) {
    constexpr unsigned long long kUnitRoom = Connection::kPageCacheKiB * 1024ULL;
    struct statvfs vfs{};
    if (::statvfs(folderOf(db).c_str(), &vfs) == 0 &&
        static_cast<unsigned long long>(vfs.f_bavail) * vfs.f_frsize < kUnitRoom)
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

}  // namespace

Connection::Connection(fs::path path) : path_(std::move(path)) {
    noteConnectionOpened(this);
    openDb();
    std::lock_guard<std::mutex> g(openLock);
    ++openCounts()[openKey(path_)];
}

Connection::~Connection() {
    closeHandle(false);
    noteConnectionClosed(this);
    std::lock_guard<std::mutex> g(openLock);
    auto it = openCounts().find(openKey(path_));
    if (it != openCounts().end() && --it->second <= 0) openCounts().erase(it);
}

// Closes the SQLite handle. Handles of tables that outlive it stop using the
// connection, or, with `keepTables`, start afresh on the file opened next.
void Connection::closeHandle(bool keepTables) {
    if (keepTables) {
        for (Table* t : tables_) t->forgetFile();
    } else {
        for (Table* t : std::vector<Table*>(tables_)) t->detach();
        tables_.clear();
    }
    numbers_.clear();
    sqlite3_finalize(numberPut_);
    numberPut_ = nullptr;
    if (db_) {
        // A file overwritten in place is not written to by a checkpoint of
        // the log of what it was.
        const FileState state = readOnly_ ? FileState::Same : fileState();
        if ((state == FileState::Missing || state == FileState::Replaced) && !overwritten_) {
            // Its journals out of the way of the file now at the path, and
            // what its log holds written into it, wherever it is now.
            if (state == FileState::Replaced && depth_ == 0 && !streamOpen_ && !implicitOpen_ &&
                run(db_, "BEGIN IMMEDIATE") == SQLITE_OK) {
                checkFileUnderLock();
                run(db_, "ROLLBACK");
            }
            sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_FULL, nullptr, nullptr);
        }
        if (state == FileState::Overwritten) overwritten_ = true;
        if (overwritten_) sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        // Buffered stream writes are kept (while the file is still ours); an
        // unfinished unit of work is not.
        if (streamOpen_ && depth_ == 0 && !implicitOpen_ && state == FileState::Same) run(db_, "COMMIT");
        if (!sqlite3_get_autocommit(db_)) run(db_, "ROLLBACK");
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    depth_ = 0;
    doomed_ = false;
    streamOpen_ = false;
    implicitOpen_ = false;
    ready_.clear();
}

// The open with its fall-backs: a missing database is created (owner and
// group only), unless `mayCreate` is false or this process has it open (it
// was removed under the running program); an empty file is refused; journal
// files this station cannot write but may remove are cleared first; without
// write access the live database is opened read-only; a damaged file is
// reported for rebuild().
void Connection::openDb(bool mayCreate) {
    closeHandle(true);
    readOnly_ = false;
    overwritten_ = false;
    refusedFor_ = FileState::Same;
    openStatus_ = {};
    std::error_code ec;
    const bool exists = fs::exists(path_, ec);
    const fs::path folder = folderOf(path_);
    if (!exists) {
        bool openHere = false;
        {
            std::lock_guard<std::mutex> g(openLock);
            auto it = openCounts().find(openKey(path_));
            openHere = it != openCounts().end() && it->second > 0;
        }
        if (!mayCreate || openHere) {
            openStatus_ = fileChanged(FileState::Missing);
            return;
        }
        if (!canWrite(folder)) {
            openStatus_ = Status::make(kFileNotFound, "Access Denied");
            return;
        }
        if (int err = createDatabase(path_); err != 0) {
            openStatus_ = Status::make(kFileNotFound, systemWords(err));
            return;
        }
    } else if (fs::is_regular_file(path_, ec) && fs::file_size(path_, ec) == 0 && !ec) {
        openStatus_ = Status::make(kEmptyFile, "El archivo de datos " + path_.string() +
                                                   " está vacío (0 bytes): no es una base de datos. Ponga en su "
                                                   "lugar una copia buena, o bórrelo para empezar una base de datos "
                                                   "nueva");
        return;
    } else if (canWrite(path_) && canWrite(folder)) {
        clearUnwritableJournals(path_);
    }
    int rc = SQLITE_OK;
    if (canWrite(path_)) {
        rc = sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK) {
            Status st = statusFor(rc, db_ ? sqlite3_errmsg(db_) : nullptr);
            sqlite3_close_v2(db_);
            db_ = nullptr;
            if (st.code == kFileSystemError && !exists) st = Status::make(kFileNotFound, st.text);
            openStatus_ = st;
            return;
        }
        noteFile();
        prepareHandle();
        rc = setupDb();
        if (rc == SQLITE_OK && canWriteNow()) {
            noteFile();
            return;
        }
        Status st = rc == SQLITE_OK ? Status::make(kAccessDenied) : statusFor(rc, sqlite3_errmsg(db_));
        if ((rc & 0xff) == SQLITE_CANTOPEN) st = Status::make(kAccessDenied);  // its journals cannot be made here
        if (st.code != kAccessDenied) {
            openStatus_ = st;  // kept open: rebuild() works on it
            return;
        }
        // The file or its journals refused writing after all: read-only.
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    if (!openReadOnly()) return;
    noteFile();
    prepareHandle();
    readOnly_ = true;
    rc = setupDb();
    openStatus_ = rc == SQLITE_OK ? Status::make(kAccessDenied) : statusFor(rc, sqlite3_errmsg(db_));
}

// Reading without write access goes through the database's own -wal and
// -shm files, so it sees what the other stations write. A database whose
// journal files are missing cannot be read that way from a folder nobody
// here may write: that is said, never read from a snapshot that would go
// stale (or look damaged while another station checkpoints).
bool Connection::openReadOnly() {
    int rc = sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        registerCollation(db_);
        rc = run(db_, "SELECT count(*) FROM sqlite_master");
    }
    if (rc == SQLITE_OK || (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB) return true;
    Status st = statusFor(rc, db_ ? sqlite3_errmsg(db_) : nullptr);
    if (st.code == kAccessDenied || (rc & 0xff) == SQLITE_CANTOPEN)
        st = Status::make(kFileSystemError, "Access Denied: sin permiso de escritura en su carpeta, " +
                                                path_.filename().string() + " se lee a través de sus archivos -wal y "
                                                "-shm, y faltan (los crea una estación con permiso de escritura)");
    openStatus_ = st;
    sqlite3_close_v2(db_);
    db_ = nullptr;
    return false;
}

void Connection::prepareHandle() {
    registerCollation(db_);
    sqlite3_busy_handler(db_, &Connection::busyHandler, this);
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_randomness(sizeof versionSeed_, &versionSeed_);
    versionSeed_ &= 0x3fffffffffffffffLL;
}

// Reading the schema is what finds a file that is not a database or whose
// first pages are damaged; then the journal and the side table of numbers.
// The -wal and -shm files stay when the last connection closes, so that a
// station without write access to the folder can still read (and its log
// is cut back to nothing then, so a long import leaves no large file).
//
// Two stations that open a new database at the same moment both make it a
// WAL database; the one that comes second finds the other writing the
// file's header, and SQLite does not wait for that lock by itself (it
// would have to turn a read into a write). Left so, the connection would
// stay unusable for the whole run, so the set-up is tried again, as any
// busy database is waited for, up to the lock time-out.
int Connection::setupDb() {
    const auto until = Clock::now() + lockTimeout_;
    for (;;) {
        const int rc = setupDbOnce();
        if ((rc & 0xff) != SQLITE_BUSY || Clock::now() >= until) return rc;
        waitForLock();
    }
}

const Status& Connection::setUpAgainIfBusy() {
    if (db_ != nullptr && !readOnly_ && openStatus_.code == kLockTimeout) {
        const int rc = setupDb();
        if (rc != SQLITE_OK) openStatus_ = statusFor(rc, sqlite3_errmsg(db_));
        else if (canWriteNow()) openStatus_ = {};
    }
    return openStatus_;
}

int Connection::setupDbOnce() {
    int rc = run(db_, "SELECT count(*) FROM sqlite_master");
    if (rc == SQLITE_OK)
        rc = run(db_, ("PRAGMA cache_size=-" + std::to_string(kPageCacheKiB)).c_str());
    if (rc != SQLITE_OK || readOnly_) return rc;
    int persist = 1;
    sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    rc = run(db_, "PRAGMA journal_mode=WAL");
    if (rc == SQLITE_OK) rc = run(db_, "PRAGMA synchronous=FULL");
    if (rc == SQLITE_OK) rc = run(db_, "PRAGMA journal_size_limit=67108864");
    if (rc == SQLITE_OK) rc = run(db_, kNumbersTable);
    return rc;
}

// Opened for writing, the database may still refuse it (journal files this
// station cannot write). A write is begun and dropped at once, without
// waiting for a lock another station holds (busy counts as writable).
bool Connection::canWriteNow() {
    busyLimit_ = std::chrono::milliseconds(0);
    int rc = run(db_, "BEGIN IMMEDIATE");
    busyLimit_ = lockTimeout_;
    if (rc == SQLITE_OK) {
        run(db_, "ROLLBACK");
        return true;
    }
    int primary = rc & 0xff;
    return primary != SQLITE_READONLY && primary != SQLITE_CANTOPEN && primary != SQLITE_PERM;
}

namespace {
struct Holder {
    std::unique_ptr<Connection> c;
};

// A logical thread that gives the turn away (waits for the user, yields in a
// long loop) lets go of its open read statements: an idle statement keeps a
// snapshot, and no checkpoint can pass it, so the log would grow for as long
// as the thread waits. Its tables find their place again at the next read.
void releaseReadsBeforeSwitch() {
    Holder& h = threads::perThread<Holder>();
    if (h.c) h.c->quiesceUnlessBusy();
}

// A long loop inside a unit of work (or an unflushed stream) keeps the turn:
// the others could only wait for the write lock meanwhile.
bool mayYieldNow() {
    Holder& h = threads::perThread<Holder>();
    return !(h.c && h.c->holdsWriteLock());
}
}  // namespace

void Connection::quiesceUnlessBusy() {
    // A wait for the lock yields from inside a running statement: that one
    // must not be reset under SQLite's feet.
    if (!waitingForLock_) quiesce();
}

Connection& Connection::current() {
    static const bool hooked = [] {
        threads::setBeforeSwitchHook(&releaseReadsBeforeSwitch);
        threads::setMayYieldCheck(&mayYieldNow);
        return true;
    }();
    (void)hooked;
    Holder& h = threads::perThread<Holder>();
    fs::path want = databasePath();
    if (!h.c || h.c->path() != want) h.c = std::make_unique<Connection>(want);
    return *h.c;
}

Status Connection::statusFromSqlite(int rc) const {
    Status st = statusFor(rc, db_ ? sqlite3_errmsg(db_) : nullptr);
    // The disk filled up while SQLite wrote its log or index: an I/O error
    // with the system's word for it, or, where SQLite kept no word (space
    // reserved ahead for the log), a disk or a size limit with no room left.
    if ((rc & 0xff) == SQLITE_IOERR && db_) {
        const int err = sqlite3_system_errno(db_);
        if (err == ENOSPC || err == EDQUOT || err == EFBIG || noRoomFor(path_)) st = Status::make(kDiskFull);
    }
    if (!st.ok() && db_ && lostBy_.ok() && (depth_ > 0 || streamOpen_) && sqlite3_get_autocommit(db_)) lostBy_ = st;
    return st;
}

Status Connection::lostUnit() const {
    return lostBy_.ok() ? Status::make(kFileSystemError, "la transacción se deshizo; no se guardó nada") : lostBy_;
}

Status Connection::exec(const std::string& sql) {
    if (!db_) return openStatus_.ok() ? Status::make(kFileSystemError, kNotOpen) : openStatus_;
    int rc = run(db_, sql.c_str());
    return statusFromSqlite(rc);
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

Status Connection::integrityCheck() {
    if (!db_) return openStatus_.ok() ? Status::make(kFileSystemError, kNotOpen) : openStatus_;
    quiesce();
    int rc = SQLITE_OK;
    std::string r = checkResult(db_, "PRAGMA integrity_check", rc);
    Status damaged = Status::make(kKeyFileMustBeRebuilt);
    damaged.detail = rc != SQLITE_OK ? sqlite3_errstr(rc) : r;
    if (rc != SQLITE_OK || r != "ok") return damaged;
    return {};
}

Status Connection::rebuild() {
    if (!db_) return openStatus_.ok() ? Status::make(kFileSystemError, kNotOpen) : openStatus_;
    if (readOnly_) return Status::make(kAccessDenied);
    quiesce();
    Status st = integrityCheck();
    if (!st.ok()) {
        int rc = run(db_, "REINDEX");
        if (rc != SQLITE_OK) {
            Status failed = Status::make(kKeyFileMustBeRebuilt);
            failed.detail = sqlite3_errstr(rc);
            return failed;
        }
        st = integrityCheck();
        if (!st.ok()) return st;
    }
    // Sound again: finish the set-up the damage stopped. The handles on this
    // connection keep working; their tables are checked again at next use.
    int rc = setupDb();
    openStatus_ = rc == SQLITE_OK ? (readOnly_ ? Status::make(kAccessDenied) : Status{}) : statusFromSqlite(rc);
    ready_.clear();
    for (Table* t : tables_) t->markUnopened();
    return openStatus_.code == kAccessDenied ? Status{} : openStatus_;
}

// "Recover=N": lock time-out of N seconds. "QUICKSCAN=on/off": a small page
// cache for a scan read forward once, or the usual one. A scan reads each
// page once, so a large cache (or memory-mapped reads, which count as the
// process's memory too) would only grow with the table.
Status Connection::setOption(std::string_view option) {
    auto eq = option.find('=');
    if (eq == std::string_view::npos) return Status::make(kUnsupported);
    std::string name(option.substr(0, eq)), value(option.substr(eq + 1));
    for (char& ch : name) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    for (char& ch : value) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (name == "RECOVER") {
        char* end = nullptr;
        long secs = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || secs < 0) return Status::make(kUnsupported);
        setLockTimeout(std::chrono::seconds(secs));
        return {};
    }
    if (name == "QUICKSCAN") {
        if (!db_) return openStatus_;
        if (value == "on") {
            run(db_, ("PRAGMA cache_size=-" + std::to_string(kScanCacheKiB)).c_str());
            return {};
        }
        if (value == "off") {
            run(db_, ("PRAGMA cache_size=-" + std::to_string(kPageCacheKiB)).c_str());
            return {};
        }
    }
    return Status::make(kUnsupported);
}

void Connection::setLockTimeout(std::chrono::milliseconds t) {
    lockTimeout_ = t;
    busyLimit_ = t;
}

// Waiting for the write lock: a logical thread lets the others run; the main
// stack (no logical thread) sleeps a moment. Gives up at the time-out.
int Connection::busyHandler(void* p, int count) {
    auto* self = static_cast<Connection*>(p);
    auto now = Clock::now();
    if (count == 0) self->busySince_ = now;
    if (now - self->busySince_ >= self->busyLimit_) return 0;
    self->waitForLock();
    return 1;
}

void Connection::waitForLock() {
    if (threads::current() != 0) {
        const auto start = Clock::now();
        waitingForLock_ = true;
        threads::yieldNow();
        waitingForLock_ = false;
        if (Clock::now() - start < std::chrono::microseconds(200))
            std::this_thread::sleep_for(std::chrono::microseconds(500));
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void Connection::registerTable(Table* t) { tables_.push_back(t); }

void Connection::unregisterTable(Table* t) { tables_.erase(std::remove(tables_.begin(), tables_.end(), t), tables_.end()); }

void Connection::quiesce(const Table* except) {
    for (Table* t : tables_)
        if (t != except) t->resetCursor();
}

bool Connection::tableReady(const std::string& table) const {
    for (const auto& r : ready_)
        if (sqlite3_stricmp(r.c_str(), table.c_str()) == 0) return true;
    return false;
}

void Connection::markTableReady(const std::string& table) {
    if (!tableReady(table)) ready_.push_back(table);
}

Connection::NumberCache& Connection::numberCache(const std::string& key) {
    for (auto& n : numbers_)
        if (n.key == key) return n;
    numbers_.push_back(NumberCache{key});
    return numbers_.back();
}

Status Connection::writeNumbers() {
    for (NumberCache& n : numbers_) {
        if (n.unwrittenTxn != txnId_ || n.unwritten <= 0) continue;
        if (!numberPut_) {
            const char* sql = "INSERT INTO tv_autonumber(tbl,col,last) VALUES(?1,?2,?3) ON CONFLICT(tbl,col) "
                              "DO UPDATE SET last=excluded.last WHERE excluded.last>last";
            int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &numberPut_, nullptr);
            if (rc != SQLITE_OK) return statusFromSqlite(rc);
        }
        const size_t cut = n.key.find('\x1f');
        const std::string tbl = n.key.substr(0, cut), col = n.key.substr(cut + 1);
        sqlite3_bind_text(numberPut_, 1, tbl.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(numberPut_, 2, col.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_int64(numberPut_, 3, n.unwritten);
        const int rc = sqlite3_step(numberPut_);
        sqlite3_reset(numberPut_);
        sqlite3_clear_bindings(numberPut_);
        if (rc != SQLITE_DONE) return statusFromSqlite(rc);
        n.unwritten = 0;
    }
    return {};
}

int64_t Connection::nextVersion() { return versionSeed_ + static_cast<int64_t>(++versionCounter_); }

Status Connection::beginImmediate(std::chrono::milliseconds timeout, bool ownTablesOnly) {
    if (!db_) return openStatus_.ok() ? Status::make(kFileSystemError, kNotOpen) : openStatus_;
    if (readOnly_ && !ownTablesOnly) return Status::make(kAccessDenied);
    quiesce();
    lostBy_ = {};
    busyLimit_ = timeout;
    int rc = run(db_, ownTablesOnly ? "BEGIN" : "BEGIN IMMEDIATE");
    busyLimit_ = lockTimeout_;
    ++txnId_;
    ownTablesOnly_ = ownTablesOnly;
    if (rc != SQLITE_OK || ownTablesOnly) return statusFromSqlite(rc);
    // Holding the lock: is the file still the one this connection opened?
    Status file = checkFileUnderLock();
    if (file.ok()) return {};
    run(db_, "ROLLBACK");
    ++txnId_;
    leaveChangedFile();
    return file;
}

Status Connection::commitNow() {
    quiesce();
    if (sqlite3_get_autocommit(db_)) {
        // SQLite rolled the unit back by itself (a full disk, an I/O
        // error): nothing to commit, and the caller learns why.
        ++txnId_;
        return lostUnit();
    }
    if (Status numbers = writeNumbers(); !numbers.ok()) {
        if (!sqlite3_get_autocommit(db_)) run(db_, "ROLLBACK");
        ++txnId_;
        return numbers;
    }
    // The last moment before it counts: nothing is committed to a file
    // that is no longer the one at the path.
    if (Status file = ownTablesOnly_ ? Status{} : checkFileUnderLock(); !file.ok()) {
        run(db_, "ROLLBACK");
        ++txnId_;
        leaveChangedFile();
        return file;
    }
    int rc = run(db_, "COMMIT");
    if (rc != SQLITE_OK) {
        Status st = statusFromSqlite(rc);
        if (!sqlite3_get_autocommit(db_)) run(db_, "ROLLBACK");
        ++txnId_;
        return st;
    }
    ++txnId_;
    return {};
}

void Connection::rollbackNow() {
    quiesce();
    if (db_ && !sqlite3_get_autocommit(db_)) run(db_, "ROLLBACK");
    ++txnId_;
}

Status Connection::beginWrite(bool ownTableOnly) {
    if (!db_) return openStatus_.ok() ? Status::make(kFileSystemError, kNotOpen) : openStatus_;
    if (readOnly_ && !ownTableOnly) return Status::make(kAccessDenied);
    if (doomed_) return lostUnit();
    quiesce();
    if ((depth_ > 0 || streamOpen_) && sqlite3_get_autocommit(db_)) {
        // SQLite rolled the whole unit back by itself (disk full, I/O
        // error): a write now would be committed on its own. The unit has
        // failed; its commit (or the stream's flush) says so.
        if (depth_ > 0) doomed_ = true;
        return lostUnit();
    }
    if (depth_ > 0) return {};
    if (stream_) {
        if (streamOpen_) return {};
        Status st = beginImmediate(lockTimeout_);
        if (st.ok()) streamOpen_ = true;
        return st;
    }
    Status st = beginImmediate(lockTimeout_, ownTableOnly);
    if (st.ok()) implicitOpen_ = true;
    return st;
}

Status Connection::endWrite(bool ok) {
    ++writeGen_;
    if (!implicitOpen_) return {};
    implicitOpen_ = false;
    if (ok) return commitNow();
    rollbackNow();
    return {};
}

Status Connection::beginStream() {
    stream_ = true;
    return {};
}

Status Connection::flush() {
    if (!streamOpen_) return {};
    streamOpen_ = false;
    return commitNow();
}

Status Connection::endStream() {
    Status st = flush();
    stream_ = false;
    return st;
}

// ---------------------------------------------------------------------------

Transaction::Transaction(Connection& c, std::optional<std::chrono::milliseconds> lockTimeout, bool ownTablesOnly)
    : c_(c) {
    if (c_.depth_ > 0) {
        if (c_.doomed_) {
            begin_ = c_.lostUnit();
            return;
        }
        ++c_.depth_;
        active_ = true;
        return;
    }
    if (c_.streamOpen_) {
        begin_ = c_.flush();
        if (!begin_.ok()) return;
    }
    begin_ = c_.beginImmediate(lockTimeout.value_or(c_.lockTimeout_), ownTablesOnly);
    if (!begin_.ok()) return;
    c_.depth_ = 1;
    active_ = true;
    outermost_ = true;
}

Transaction::~Transaction() { rollback(); }

Status Transaction::commit() {
    if (!active_) return begin_.ok() ? Status::make(kFileSystemError, "no hay una transacción abierta") : begin_;
    active_ = false;
    --c_.depth_;
    if (!outermost_) {
        if (c_.doomed_) return c_.lostUnit();
        return {};
    }
    if (c_.doomed_) {
        Status why = c_.lostUnit();
        c_.doomed_ = false;
        c_.rollbackNow();
        return why;
    }
    return c_.commitNow();
}

void Transaction::rollback() {
    if (!active_) return;
    active_ = false;
    --c_.depth_;
    if (!outermost_) {
        c_.doomed_ = true;  // the outermost rolls everything back
        return;
    }
    c_.doomed_ = false;
    c_.rollbackNow();
}

}  // namespace tv::storage
