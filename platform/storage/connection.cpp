// Connections, transactions and stream mode.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <map>
#include <mutex>
#include <random>

#include "platform/storage/driver.h"
#include "platform/storage/owners.h"
#include "platform/storage/sql_util.h"
#include "platform/storage/server_driver.h"
#include "platform/storage/sqlite_driver.h"
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

}  // namespace

Connection::Connection(fs::path path) : path_(std::move(path)) {
    noteConnectionOpened(this);
    openDb();
    std::lock_guard<std::mutex> g(openLock);
    ++openCounts()[openKey(path_)];
}

Connection::Connection(Server server) : conninfo_(std::move(server.conninfo)) {
    noteConnectionOpened(this);
    openServer();
}

Connection::~Connection() {
    closeHandle(false);
    noteConnectionClosed(this);
    if (onServer()) return;
    std::lock_guard<std::mutex> g(openLock);
    auto it = openCounts().find(openKey(path_));
    if (it != openCounts().end() && --it->second <= 0) openCounts().erase(it);
}

// Closes the SQLite handle. Handles of tables that outlive it stop using the
// connection, or, with `keepTables`, start afresh on the file opened next.
void Connection::closeHandle(bool keepTables) {
    forgetConnectionStatements(this);
    if (keepTables) {
        for (Table* t : tables_) t->forgetFile();
    } else {
        for (Table* t : std::vector<Table*>(tables_)) t->detach();
        tables_.clear();
        cursors_.clear();
    }
    numbers_.clear();
    numberPut_.reset();
    if (driver_ && !file_) driver_->rollback();
    if (file_) {
        // A file overwritten in place is not written to by a checkpoint of
        // the log of what it was.
        const FileState state = readOnly_ ? FileState::Same : fileState();
        if ((state == FileState::Missing || state == FileState::Replaced) && !overwritten_) {
            // Its journals out of the way of the file now at the path, and
            // what its log holds written into it, wherever it is now.
            if (state == FileState::Replaced && depth_ == 0 && !streamOpen_ && !implicitOpen_ &&
                file_->run("BEGIN IMMEDIATE") == SQLITE_OK) {
                checkFileUnderLock();
                file_->run("ROLLBACK");
            }
            file_->checkpoint();
        }
        if (state == FileState::Overwritten) overwritten_ = true;
        if (overwritten_) file_->neverCheckpoint(false);
        // Buffered stream writes are kept (while the file is still ours); an
        // unfinished unit of work is not.
        if (streamOpen_ && depth_ == 0 && !implicitOpen_ && state == FileState::Same) file_->run("COMMIT");
        file_->rollback();
    }
    driver_.reset();
    file_ = nullptr;
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
        std::unique_ptr<SqliteDriver> d = SqliteDriver::open(path_, false, rc);
        if (rc != SQLITE_OK) {
            Status st = d ? d->statusOf(rc) : statusFor(rc, nullptr);
            if (st.code == kFileSystemError && !exists) st = Status::make(kFileNotFound, st.text);
            openStatus_ = st;
            return;
        }
        useFile(std::move(d));
        noteFile();
        prepareHandle();
        rc = setupDb();
        if (rc == SQLITE_OK && file_->canWriteNow()) {
            noteFile();
            return;
        }
        Status st = rc == SQLITE_OK ? Status::make(kAccessDenied) : file_->statusOf(rc);
        if ((rc & 0xff) == SQLITE_CANTOPEN) st = Status::make(kAccessDenied);  // its journals cannot be made here
        if (st.code != kAccessDenied) {
            openStatus_ = st;  // kept open: rebuild() works on it
            return;
        }
        // The file or its journals refused writing after all: read-only.
        driver_.reset();
        file_ = nullptr;
    }
    if (!openReadOnly()) return;
    noteFile();
    prepareHandle();
    readOnly_ = true;
    rc = setupDb();
    openStatus_ = rc == SQLITE_OK ? Status::make(kAccessDenied) : file_->statusOf(rc);
}

// The server: connected, its functions and side tables made (a station
// that may write), or why not. A logical thread's waits for the server give
// the turn away unless it holds the write lock, as with the file.
void Connection::openServer() {
    closeHandle(true);
    readOnly_ = false;
    openStatus_ = {};
    Status st;
    driver_ = openServerDriver(conninfo_, lockTimeout_, [this] { return !holdsWriteLock(); }, st);
    openStatus_ = st;
    if (!driver_) return;
    prepareHandle();
    readOnly_ = st.code == kAccessDenied;
}

std::string Connection::storeName() const {
    if (!onServer()) return path_.string();
    return driver_ ? serverLabelOf(*driver_) : conninfoLabel(conninfo_);
}

void Connection::useFile(std::unique_ptr<SqliteDriver> d) {
    file_ = d.get();
    driver_ = std::move(d);
    file_->setBusyLimit(lockTimeout_);
}

// Reading without write access goes through the database's own -wal and
// -shm files, so it sees what the other stations write. A database whose
// journal files are missing cannot be read that way from a folder nobody
// here may write: that is said, never read from a snapshot that would go
// stale (or look damaged while another station checkpoints).
bool Connection::openReadOnly() {
    int rc = SQLITE_OK;
    std::unique_ptr<SqliteDriver> d = SqliteDriver::open(path_, true, rc);
    if (rc == SQLITE_OK) rc = d->run("SELECT count(*) FROM sqlite_master");
    if (rc == SQLITE_OK || (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB) {
        useFile(std::move(d));
        return true;
    }
    Status st = d ? d->statusOf(rc) : statusFor(rc, nullptr);
    if (st.code == kAccessDenied || (rc & 0xff) == SQLITE_CANTOPEN)
        st = Status::make(kFileSystemError, "Access Denied: sin permiso de escritura en su carpeta, " +
                                                path_.filename().string() + " se lee a través de sus archivos -wal y "
                                                "-shm, y faltan (los crea una estación con permiso de escritura)");
    openStatus_ = st;
    return false;
}

// Versions this connection writes start at a random place, so that two
// connections never write the same version of a row.
void Connection::prepareHandle() {
    std::random_device rd;
    versionSeed_ = (static_cast<int64_t>(rd()) << 32 | rd()) & 0x3fffffffffffffffLL;
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
        const int rc = file_->setUp(readOnly_);
        if ((rc & 0xff) != SQLITE_BUSY || Clock::now() >= until) return rc;
        waitForLock();
    }
}

const Status& Connection::setUpAgainIfBusy() {
    if (file_ != nullptr && !readOnly_ && openStatus_.code == kLockTimeout) {
        const int rc = setupDb();
        if (rc != SQLITE_OK) openStatus_ = file_->statusOf(rc);
        else if (file_->canWriteNow()) openStatus_ = {};
    }
    return openStatus_;
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
    if (!driver_ || !driver_->waitingForLock()) quiesce();
}

Connection& Connection::current() {
    static const bool hooked = [] {
        threads::setBeforeSwitchHook(&releaseReadsBeforeSwitch);
        threads::setMayYieldCheck(&mayYieldNow);
        return true;
    }();
    (void)hooked;
    Holder& h = threads::perThread<Holder>();
    const std::string server = databaseServer();
    if (!server.empty()) {
        if (!h.c || h.c->serverConninfo() != server) h.c = std::make_unique<Connection>(Server{server});
        return *h.c;
    }
    fs::path want = databasePath();
    if (!h.c || h.c->onServer() || h.c->path() != want) h.c = std::make_unique<Connection>(want);
    return *h.c;
}

std::unique_ptr<Connection> Connection::open(const fs::path& file) {
    const std::string server = databaseServer();
    if (!server.empty()) return std::make_unique<Connection>(Server{server});
    return std::make_unique<Connection>(file);
}

sqlite3* Connection::db() const { return file_ ? file_->handle() : nullptr; }

const Dialect& Connection::dialect() const {
    static const Dialect file{};
    static const Dialect server{Dialect::Store::Server};
    return onServer() ? server : file;
}

Status Connection::prepare(const std::string& sql, std::unique_ptr<Statement>& out) {
    if (!driver_) return openStatus_.ok() ? Status::make(kFileSystemError, kNotOpen) : openStatus_;
    Status st;
    out = driver_->prepare(sql, st);
    return out ? Status{} : noteFailure(st);
}

Status Connection::failed(const Statement& s) const { return noteFailure(s.failure()); }

Status Connection::noteFailure(Status st) const {
    if (!st.ok() && driver_ && lostBy_.ok() && (depth_ > 0 || streamOpen_) && !driver_->inTransaction()) lostBy_ = st;
    return st;
}

Status Connection::lostUnit() const {
    return lostBy_.ok() ? Status::make(kFileSystemError, "la transacción se deshizo; no se guardó nada") : lostBy_;
}

Status Connection::exec(const std::string& sql) {
    if (!driver_) return openStatus_.ok() ? Status::make(kFileSystemError, kNotOpen) : openStatus_;
    return noteFailure(driver_->exec(sql));
}

Status Connection::integrityCheck() {
    if (!driver_) return openStatus_.ok() ? Status::make(kFileSystemError, kNotOpen) : openStatus_;
    quiesce();
    return driver_->integrityCheck();
}

Status Connection::rebuild() {
    if (!driver_) return openStatus_.ok() ? Status::make(kFileSystemError, kNotOpen) : openStatus_;
    if (readOnly_) return Status::make(kAccessDenied);
    quiesce();
    if (!file_) return driver_->reindex();
    Status st = integrityCheck();
    if (!st.ok()) {
        st = driver_->reindex();
        if (!st.ok()) return st;
        st = integrityCheck();
        if (!st.ok()) return st;
    }
    // Sound again: finish the set-up the damage stopped. The handles on this
    // connection keep working; their tables are checked again at next use.
    int rc = setupDb();
    openStatus_ = rc == SQLITE_OK ? (readOnly_ ? Status::make(kAccessDenied) : Status{}) : noteFailure(file_->statusOf(rc));
    ready_.clear();
    for (Table* t : tables_) t->markUnopened();
    return openStatus_.code == kAccessDenied ? Status{} : openStatus_;
}

// "Recover=N": lock time-out of N seconds. "QUICKSCAN=on/off": a small page
// cache for a scan read forward once, or the usual one.
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
        if (!driver_) return openStatus_;
        if (value == "on" || value == "off") {
            driver_->setScanMode(value == "on");
            return {};
        }
    }
    return Status::make(kUnsupported);
}

void Connection::setLockTimeout(std::chrono::milliseconds t) {
    lockTimeout_ = t;
    if (file_) file_->setBusyLimit(t);
}

void Connection::registerTable(Table* t) { tables_.push_back(t); }

void Connection::unregisterTable(Table* t) { tables_.erase(std::remove(tables_.begin(), tables_.end(), t), tables_.end()); }

void Connection::noteCursorOpen(Table* t) {
    if (std::find(cursors_.begin(), cursors_.end(), t) == cursors_.end()) cursors_.push_back(t);
}

void Connection::noteCursorClosed(Table* t) { std::erase(cursors_, t); }

// Only the tables with a running read statement: a write does not walk every
// table the thread ever opened.
void Connection::quiesce(const Table* except) {
    size_t i = 0;
    while (i < cursors_.size()) {
        Table* t = cursors_[i];
        if (t != except) t->resetCursor();  // takes it off the list
        if (i < cursors_.size() && cursors_[i] == t) ++i;
    }
}

bool Connection::tableReady(const std::string& table) const {
    return std::any_of(ready_.begin(), ready_.end(), [&](const std::string& r) { return sameNameNoCase(r, table); });
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
            Status ps = prepare("INSERT INTO tv_autonumber(tbl,col,last) VALUES(?1,?2,?3) ON CONFLICT(tbl,col) "
                                "DO UPDATE SET last=excluded.last WHERE excluded.last>tv_autonumber.last",
                                numberPut_);
            if (!ps.ok()) return ps;
        }
        const size_t cut = n.key.find('\x1f');
        const std::string tbl = n.key.substr(0, cut), col = n.key.substr(cut + 1);
        numberPut_->bindText(1, tbl);
        numberPut_->bindText(2, col);
        numberPut_->bindInt(3, n.unwritten);
        // Its failure fails the commit: a server takes it with the COMMIT.
        Status failure = numberPut_->stepAtCommit() == Statement::Step::Failed ? failed(*numberPut_) : Status{};
        numberPut_->reset();
        numberPut_->clearBindings();
        if (!failure.ok()) return failure;
        n.unwritten = 0;
    }
    return {};
}

int64_t Connection::nextVersion() { return versionSeed_ + static_cast<int64_t>(++versionCounter_); }

Status Connection::beginImmediate(std::chrono::milliseconds timeout, bool ownTablesOnly) {
    if (!driver_) return openStatus_.ok() ? Status::make(kFileSystemError, kNotOpen) : openStatus_;
    if (readOnly_ && !ownTablesOnly) return Status::make(kAccessDenied);
    quiesce();
    lostBy_ = {};
    Status st = driver_->begin(!ownTablesOnly, timeout);
    ++txnId_;
    ownTablesOnly_ = ownTablesOnly;
    if (!st.ok() || ownTablesOnly || !file_) return st;
    // Holding the lock: is the file still the one this connection opened?
    Status file = checkFileUnderLock();
    if (file.ok()) return {};
    driver_->rollback();
    ++txnId_;
    leaveChangedFile();
    return file;
}

Status Connection::commitNow() {
    quiesce();
    if (!driver_->inTransaction()) {
        // The store rolled the unit back by itself (a full disk, an I/O
        // error, a server gone): nothing to commit, and the caller learns
        // why. The driver lets go of the unit, so the next one can begin.
        driver_->rollback();
        ++txnId_;
        return lostUnit();
    }
    if (Status numbers = writeNumbers(); !numbers.ok()) {
        if (driver_->inTransaction()) driver_->rollback();
        ++txnId_;
        return numbers;
    }
    // The last moment before it counts: nothing is committed to a file
    // that is no longer the one at the path.
    if (Status file = ownTablesOnly_ || !file_ ? Status{} : checkFileUnderLock(); !file.ok()) {
        driver_->rollback();
        ++txnId_;
        leaveChangedFile();
        return file;
    }
    Status st = driver_->commit();
    ++txnId_;
    return st;
}

void Connection::rollbackNow() {
    quiesce();
    if (driver_) driver_->rollback();
    ++txnId_;
}

Status Connection::beginWrite(bool ownTableOnly) {
    if (!driver_) return openStatus_.ok() ? Status::make(kFileSystemError, kNotOpen) : openStatus_;
    if (readOnly_ && !ownTableOnly) return Status::make(kAccessDenied);
    if (doomed_) return lostUnit();
    quiesce();
    if ((depth_ > 0 || streamOpen_) && !driver_->inTransaction()) {
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
