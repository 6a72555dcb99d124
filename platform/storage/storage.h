#pragma once
// Indexed storage for the table layer, on SQLite.
//
// All tables live in one database file ("talvor.db" in the working folder
// unless setDatabasePath() says otherwise), so a transaction spans tables.
// Each logical thread has its own Connection (Connection::current()); a
// Table is a handle on one declared table over one connection, with its own
// position (an alias declaration gets its own handle on its base table).
//
// Rules that keep logical threads (fibers on one OS thread) from blocking
// each other:
//  - A write transaction is begun with BEGIN IMMEDIATE, so the only wait is
//    for the lock, and it happens in the busy handler, which yields to the
//    other logical threads (sleeps briefly on the main stack) until the
//    time-out. Nothing in this layer yields while a write transaction is held.
//  - Callers must not yield (message boxes, waits) while they hold a
//    Transaction or an unflushed stream: show messages after the rollback.
//
// Physical layout of a declared table: one SQL table named after the base
// table's label, one column per field (the field name without prefix, memos
// too), plus hidden columns: tv_row (INTEGER PRIMARY KEY, record order),
// tv_version (row version for the watch), tv_pending (1 while the record
// is an auto-number reservation) and tv_owner (who reserved it, owners.h). Texts are stored without trailing blanks
// and padded again on read; DECIMAL(d,0), LONG, SHORT, BYTE, DATE as INTEGER;
// DECIMAL(d,p>0) as REAL (exact for up to 15 digits, rounded to the places on
// read). Auto-numbers are kept in the side table tv_autonumber.
//
// Files: the database is created readable and writable by its owner and the
// owner's group only (it holds the password hashes); its -wal and -shm files
// take the same permissions and are kept between runs, so a station without
// write access can always read the live database through them. A new
// database is made whole under another name and put in place at once, so an
// empty file at the path is never a database being made: it is refused
// (kEmptyFile), as is making a new one where this process had one open.
//
// The file under a running program: every unit of work checks, once it holds
// the write lock and again before its commit, that the file at the path is
// still the one it opened (device and inode, not emptied or shrunk). If not,
// the unit is rolled back and says so (kFileReplaced): a removed file is not
// made again; a file put in its place is opened instead (its handles start
// afresh; the replaced file's journals are moved out of its way first, so the
// new file never takes the old one's log); a file overwritten in place is
// written no more.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types/record.h"

struct sqlite3;

namespace tv::storage {

class Driver;
class Statement;
struct Dialect;
namespace detail {
class SqliteDriver;
struct Stmt;
}

// Runtime error codes of the storage, with their texts (errorText()). The
// driver's classic texts stay as the messages quote them ("File Not Found",
// ...); every other text is the program's own, in Spanish.
enum ErrorCode : int {
    kOk = 0,
    kFileNotFound = 2,            // "File Not Found": the database/table could not be created
    kAccessDenied = 5,            // "Access Denied": no write access (open falls back to read-only)
    kRecordNotAvailable = 33,     // "Record Not Available": no (further) record
    kCreatesDuplicateKey = 40,    // "Creates Duplicate Key": Status::keyIndex names the key
    kKeyFileMustBeRebuilt = 46,   // "Key File Must Be Rebuilt": damaged database
    kUnsupported = 80,            // "Unsupported File Driver Function"
    kRecordChanged = 89,          // "Record Changed By Another Station"
    kFileSystemError = 90,        // any other failure; Status::text says what in Spanish
    kLockTimeout = 91,            // "Base de datos ocupada": the write lock was not obtained in time
    kDiskFull = 92,               // "Disco lleno": no room left on the disk (or the user's quota)
    kFileReplaced = 93,           // the file at the database's path is no longer the one opened
                                  // (removed, replaced, emptied): nothing was stored; the text says which
    kEmptyFile = 94,              // the database's file is empty (0 bytes): not taken for a new database
};

// The words for a code ("File Not Found", "Disco lleno: ..."); "" for kOk.
std::string_view errorText(int code);

struct Status {
    int code = kOk;
    std::string text;     // errorText(code), or what failed, in Spanish, for kFileSystemError
    std::string detail;   // SQLite's own words when it said more (for logs and tests; never shown)
    int keyIndex = -1;    // kCreatesDuplicateKey: index (declaration order) of the
                          // FIRST key the record duplicates
    bool ok() const { return code == kOk; }
    explicit operator bool() const { return ok(); }
    static Status make(int code, std::string text = {});
};

// ---------------------------------------------------------------------------
// Declarations

struct KeyDef {
    std::string label;          // registered label, e.g. "ART:KeyNoArt" (for messages)
    std::vector<int> fields;    // field indexes in the layout, ascending components
    bool unique = true;         // false: duplicates allowed (equal values in record order)
    bool noCase = true;         // text components compare through toUpper (TVNOCASE)
    bool optional = false;      // records whose key fields are all zero/blank are left out
    bool autoNumber = false;    // single numeric field numbered by the layer
};

// A rule of the table's records kept inside every unit of work that writes
// them (a trigger each store writes in its own SQL): before `event` ("DELETE",
// "UPDATE OF \"col\"") of a row for which `when` holds (SQL over OLD and
// NEW), the write is refused with `refusal` (Spanish) as kFileSystemError.
struct TableRule {
    std::string name;
    std::string event;
    std::string when;
    std::string refusal;
};

struct TableDef {
    std::string table;          // SQL table: the BASE table's label ("Articulo" also for AliasArticulos)
    std::shared_ptr<const RecordLayout> layout;
    std::vector<KeyDef> keys;   // declaration order
    // Column names by field index; empty: each field's name without its prefix.
    // An alias must resolve to the base table's columns (names compare without case).
    std::vector<std::string> columns;
    std::vector<TableRule> rules;   // created with the table
    // A table of each connection alone (an SQLite TEMP table): its rows are
    // never seen by another connection, logical thread or process, and are
    // gone when the connection closes, also when the process dies. Its rules
    // are not made.
    bool connectionPrivate = false;

    int autoNumberKey() const;  // index of the auto-numbered key, -1 if none
};

// ---------------------------------------------------------------------------
// Connections

// The database every Connection::current() opens; default "talvor.db",
// relative to the working folder at the moment of the open. Set it before
// first use (tests: a file in their scratch folder).
void setDatabasePath(const std::filesystem::path& p);
std::filesystem::path databasePath();

// The PostgreSQL server every Connection::current() opens instead of the
// file, as a libpq connection string ("host=almacen dbname=talvor
// user=talvor"); blank (the default): the file at databasePath(). A server
// that cannot be reached is said, never replaced by the file.
void setDatabaseServer(const std::string& conninfo);
std::string databaseServer();

class Table;

class Connection {
public:
    // Opens (creating when missing) the database at `path`; never throws.
    // openStatus() tells the outcome:
    //   kOk;
    //   kAccessDenied: no write access, opened READ-ONLY and usable (readOnly()):
    //     it reads the live database, other stations' changes included;
    //   kFileNotFound: the database could not be created (text says why);
    //   kLockTimeout: another station held the new database's lock past the
    //     time-out while this one set it up; the next table open tries again;
    //   kKeyFileMustBeRebuilt: damaged (corrupt / not a database): rebuild();
    //   kFileSystemError: anything else.
    explicit Connection(std::filesystem::path path);
    // The tables on the server `conninfo` names. The same outcomes; a server
    // that cannot be reached is kFileSystemError naming it; a role that may
    // only read is kAccessDenied (usable read-only); tables missing and a
    // role that may not make them, kFileNotFound.
    struct Server {
        std::string conninfo;
    };
    explicit Connection(Server server);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // This logical thread's connection to the store (the server
    // databaseServer() names, else databasePath()), opened on first use and
    // closed when the thread ends.
    static Connection& current();
    // A connection of its own to the store: the server databaseServer()
    // names, else the file at `file`.
    static std::unique_ptr<Connection> open(const std::filesystem::path& file);

    const Status& openStatus() const { return openStatus_; }
    // The open status, after one more try of a set-up that found the
    // database busy (kLockTimeout above).
    const Status& setUpAgainIfBusy();
    bool isOpen() const { return driver_ != nullptr; }
    // Changes each time the connection opens a file again (one put in place
    // of the file it had): statements and positions of an earlier one are void.
    uint64_t fileGeneration() const { return fileGeneration_; }
    bool readOnly() const { return readOnly_; }
    const std::filesystem::path& path() const { return path_; }
    bool onServer() const { return !conninfo_.empty(); }
    const std::string& serverConninfo() const { return conninfo_; }
    // How messages name the store: the file's path, or the server
    // ("host:port/database", never the password).
    std::string storeName() const;
    // Who this connection's reservations and claims belong to: this process
    // and this connection (owners.h).
    std::string owner() const;

    // Repairs a damaged database: integrity check, REINDEX, integrity check
    // again. Ok when the database passes; else kKeyFileMustBeRebuilt with the
    // check's first complaint (a file that is not a database cannot be repaired).
    Status rebuild();
    // Full integrity check only (PRAGMA integrity_check).
    Status integrityCheck();

    // Driver options, as strings:
    //   "Recover=N"     lock time-out of N seconds for this connection (default 5 s);
    //   "QUICKSCAN=on"  a long scan read forward once (a report, an export):
    //                   a small page cache (kScanCacheKiB), so that the
    //                   memory a scan takes does not grow with the table;
    //   "QUICKSCAN=off" back to the defaults.
    // Every connection has a page cache of kPageCacheKiB, so that a table
    // of a million rows is read and written without going back to the
    // kernel for every page.
    // Unknown options: kUnsupported.
    Status setOption(std::string_view option);
    void setLockTimeout(std::chrono::milliseconds t);
    std::chrono::milliseconds lockTimeout() const { return lockTimeout_; }

    // Transactions: see Transaction below. Depth 0 = none.
    int transactionDepth() const { return depth_; }
    // True while this connection holds the write lock (a Transaction, an
    // unflushed stream): the logical thread must not yield now.
    bool holdsWriteLock() const { return depth_ > 0 || streamOpen_ || implicitOpen_; }

    // Stream mode (buffered writing for long runs): writes made while it is
    // on go into one implicit write transaction, begun at the first write and
    // committed by flush() or endStream(). Between writes and flush the
    // caller must not yield. A Transaction begun in stream mode flushes first.
    // A failed write in stream mode leaves the earlier buffered writes in place.
    Status beginStream();
    Status flush();
    Status endStream();   // flush, then back to one commit per write
    bool streaming() const { return stream_; }

    // The database file's own handle, for its tests and benchmarks (null
    // when it is not open).
    sqlite3* db() const;
    // The store's SQL texts and statements (isOpen() first).
    const Dialect& dialect() const;
    Driver& driver() const { return *driver_; }
    // Prepares `sql` (with ?N placeholders) into `out`.
    Status prepare(const std::string& sql, std::unique_ptr<Statement>& out);
    // Why a step of `s` failed, noted as the loss of the open unit when the
    // store rolled it back by itself.
    Status failed(const Statement& s) const;
    // Runs SQL text without parameters (identifiers only; never user data).
    Status exec(const std::string& sql);

    static constexpr int kPageCacheKiB = 64 * 1024;
    static constexpr int kScanCacheKiB = 2 * 1024;

    // --- internal (used by Table and Transaction) ---
    // A write outside a Transaction gets an implicit one (or joins the
    // stream's); endWrite commits or rolls back that implicit one. A write
    // to a connection-private table alone takes no lock of the database.
    Status beginWrite(bool ownTableOnly = false);
    Status endWrite(bool ok);
    // A failure as the status it is; a unit of work that the store rolled
    // back by itself (a full disk, an I/O error) remembers why, and its later
    // writes and its commit say so (lostUnit()).
    Status noteFailure(Status st) const;
    Status lostUnit() const;
    void quiesce(const Table* except = nullptr);    // resets open read cursors
    void quiesceUnlessBusy();                       // the same, unless inside a wait for the lock
    void registerTable(Table* t);
    void unregisterTable(Table* t);
    void noteCursorOpen(Table* t);     // a table's read statement runs: quiesce() resets it
    void noteCursorClosed(Table* t);
    uint64_t writeGeneration() const { return writeGen_; }
    uint64_t transactionId() const { return txnId_; }   // changes at every begin/commit/rollback
    bool tableReady(const std::string& table) const;
    void markTableReady(const std::string& table);
    void forgetReadyTables() { ready_.clear(); }
    int64_t nextVersion();
    // Auto-number cache, valid within one write transaction. Inside a
    // Transaction the highest number given is written to tv_autonumber once,
    // at its commit (writeNumbers), not at every insert.
    struct NumberCache {
        std::string key;             // "<table>\x1f<column>", lower case
        uint64_t txn = 0;
        int64_t last = 0;
        uint64_t unwrittenTxn = 0;   // the Transaction that gave `unwritten`
        int64_t unwritten = 0;       // its highest number, not yet in tv_autonumber
    };
    NumberCache& numberCache(const std::string& key);

private:
    friend class Transaction;
    // The identity of a file (0, 0: none).
    struct FileId {
        uint64_t dev = 0, ino = 0;
        bool operator==(const FileId&) const = default;
    };
    enum class FileState { Same, Missing, Replaced, Overwritten };
    void openDb(bool mayCreate = true);
    void openServer();
    void noteFile();
    FileState fileState();
    Status fileChanged(FileState s) const;
    // With the write lock held: the unit may go on (ok), or why not, after
    // moving the replaced file's journals out of the new file's way.
    Status checkFileUnderLock();
    // Once the refused unit is rolled back: the file moved away is made
    // whole; one put in place of it is opened.
    void leaveChangedFile();
    void closeHandle(bool keepTables);
    bool openReadOnly();
    void prepareHandle();
    void useFile(std::unique_ptr<detail::SqliteDriver> d);
    int setupDb();
    // BEGIN IMMEDIATE; with ownTablesOnly a deferred BEGIN, for work on
    // connection-private tables, which never waits for another station.
    Status beginImmediate(std::chrono::milliseconds timeout, bool ownTablesOnly = false);
    Status commitNow();
    void rollbackNow();
    Status writeNumbers();   // the numbers the open Transaction gave, into tv_autonumber

    std::filesystem::path path_;
    std::string conninfo_;                   // the server's, when the tables are there
    std::unique_ptr<Driver> driver_;
    detail::SqliteDriver* file_ = nullptr;   // driver_ when it is the database file's
    Status openStatus_;
    bool readOnly_ = false;
    std::chrono::milliseconds lockTimeout_{5000};
    mutable Status lostBy_;         // why SQLite rolled the open unit back
    int depth_ = 0;              // Transaction nesting
    bool doomed_ = false;        // an inner Transaction failed: the outermost rolls back
    bool stream_ = false;
    bool streamOpen_ = false;    // the stream's implicit transaction is begun
    bool implicitOpen_ = false;  // a single write's implicit transaction is begun
    uint64_t writeGen_ = 0;
    uint64_t txnId_ = 1;
    int64_t versionSeed_ = 0;
    uint64_t versionCounter_ = 0;
    std::vector<Table*> tables_;
    std::vector<Table*> cursors_;  // the tables among them with a running read statement
    std::vector<std::string> ready_;
    std::vector<NumberCache> numbers_;
    std::unique_ptr<Statement> numberPut_;
    FileId dbId_, walId_, shmId_;   // the files this connection opened
    uint64_t dbSize_ = 0;           // the largest size seen of its database file
    uint64_t fileGeneration_ = 0;
    FileState refusedFor_ = FileState::Same;   // why the last unit was refused (leaveChangedFile())
    bool overwritten_ = false;      // ours was overwritten in place: nothing more is written to it
    bool ownTablesOnly_ = false;    // the open unit writes connection-private tables only
};

// One unit of work over any tables of a connection. Begins with BEGIN
// IMMEDIATE (takes the write lock at once, waiting at most `lockTimeout`);
// nestable: only the outermost begins and commits, inner ones count. Rolled
// back unless committed: by the destructor (an exception, an early return) or
// by rollback(). An inner Transaction that is not committed dooms the whole
// unit: everything is rolled back at once and the outer commit() fails.
class Transaction {
public:
    explicit Transaction(Connection& c = Connection::current(),
                         std::optional<std::chrono::milliseconds> lockTimeout = std::nullopt,
                         bool ownTablesOnly = false);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    const Status& status() const { return begin_; }  // of the begin (kLockTimeout, ...)
    bool ok() const { return begin_.ok() && active_; }
    Status commit();
    void rollback();

private:
    Connection& c_;
    Status begin_;
    bool active_ = false;
    bool outermost_ = false;
};

// Makes sure every table of `defs` exists with its keys and rules. Nothing
// is written when they all do; else the missing ones are made in one unit of
// work (kLockTimeout when another station holds the write lock longer than
// the connection's time-out; then nothing is made).
Status createTables(Connection& c, const std::vector<std::shared_ptr<const TableDef>>& defs);

// ---------------------------------------------------------------------------
// Table handles

class Table {
public:
    static constexpr int kRecordOrder = -1;

    Table(Connection& c, std::shared_ptr<const TableDef> def);
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    const TableDef& def() const { return *def_; }
    Connection& connection() const { return c_; }

    // Physical open: creates the table and its keys when missing (in a
    // transaction), adds missing columns/keys of a changed declaration. Result
    // codes as Connection::openStatus() (kAccessDenied = usable read-only).
    // Every other operation opens on demand.
    Status open();
    bool isOpen() const { return opened_; }
    // Whether the table, its keys or its rules are missing, without writing.
    Status checkSchema(bool& missing);

    // --- reading ---
    // Exact match on key `key`'s fields taken from `rec`; the first in record
    // order among equals. Found: fills `rec`, becomes the current record (and
    // the position). An optional key with all-zero/blank values finds nothing.
    Status readByKey(int key, Record& rec);
    // The record at `row` (record order number); becomes current.
    Status readByRow(int64_t row, Record& rec);
    // readByKey reading only `fields` (and the fields of the key and of the
    // current order): the record's other fields are left blank. For a
    // posting that needs a few columns of a wide record. A record read so
    // may be rewritten field by field (update(rec, fields)) but not whole:
    // update(rec) refuses it with kUnsupported, as the unread columns would
    // be blanked; read it whole again first. On a server, where fewer
    // columns save nothing, the record is read whole (currentPartial() is
    // false).
    Status readByKey(int key, Record& rec, const std::vector<int>& fields);
    // The current record was read in part (above).
    bool currentPartial() const { return partialRow_ != 0 && partialRow_ == currentRow_; }

    // Order for next/previous: key index or kRecordOrder. Without a position
    // next() starts at the first record, previous() at the last.
    void setOrder(int key);
    int order() const { return order_; }
    // Position at key values from `rec`: next() reads the first record >= them,
    // previous() the last <= them (equal values in record order; `row`
    // narrows within equals: from/up to that record).
    void setPosition(int key, const Record& rec, std::optional<int64_t> row = std::nullopt);
    // Record order: next() from `row` (inclusive), previous() up to it.
    void setPositionRow(int64_t row);
    // Following / preceding record in the order; kRecordNotAvailable past the
    // end (the position stays at the last record read). Consecutive calls step
    // one open statement; after a write on the connection, a change of
    // direction or a pause of a few milliseconds the scan finds its place
    // again by key values, so it sees what was written meanwhile. Held
    // records do not exist here (no "Record Is Already Held").
    Status next(Record& rec);
    Status previous(Record& rec);

    Status count(int64_t& n);

    // --- current record (last one read or written) ---
    bool hasCurrent() const { return currentRow_ != 0; }
    int64_t currentRow() const { return currentRow_; }
    int64_t currentVersion() const { return currentVersion_; }
    // The current record is an auto-number reservation (of this handle or of
    // another station's form that has not stored its record yet).
    bool currentPending() const { return currentPending_; }
    // Restores a remembered current record (row and watched version).
    void setCurrent(int64_t row, int64_t version) { currentRow_ = row; currentVersion_ = version; }

    // --- writing ---
    enum class Numbering { Assign, Keep };
    // Adds `rec`. Assign (default): a table with an auto-numbered key gets its
    // next number written into `rec`; Keep: stored as given (imports), the
    // counter follows it. Becomes current. kCreatesDuplicateKey with keyIndex.
    Status insert(Record& rec, Numbering n = Numbering::Assign);
    // Rewrites the current record from `rec` under watch: when it was changed
    // since this handle read it (by another connection, or another handle),
    // nothing is written, the result is kRecordChanged and `rec` holds the
    // other version (now watched); deleted meanwhile: kRecordNotAvailable.
    // Every write on a read-only connection: kAccessDenied.
    Status update(Record& rec);
    // The same for `fields` alone: the other columns stay as stored, so the
    // keys on them are not rewritten (a posting that changes a few totals).
    // A reserved record stays reserved: only a whole rewrite completes it.
    Status update(Record& rec, const std::vector<int>& fields);
    // Deletes the current record (no watch). kRecordNotAvailable if gone.
    Status deleteCurrent();
    // Deletes every record at once (reservations too); `deleted` gets how
    // many. Numbering goes on from where it was: no number is given again.
    Status deleteAll(int64_t* deleted = nullptr);
    // Deletes, in one statement, every record that a scan of key `key`
    // positioned at `rec`'s values would read while they stay equal (each
    // component compared as the key compares it, reservations too); `deleted`
    // gets how many. The handle keeps no current record; one holding a
    // reservation deletes record by record instead.
    Status deleteByKey(int key, const Record& rec, int64_t* deleted = nullptr);

    // Auto-number reservation: adds `rec` at once with the next number (written
    // into `rec`) and the pending flag; the pending record is not in the
    // table's other unique keys. completeReservation() rewrites it from `rec`
    // and clears the flag (unique checks happen here: kCreatesDuplicateKey
    // leaves it reserved); cancelReservation() deletes it.
    Status reserve(Record& rec);
    Status completeReservation(Record& rec);
    Status cancelReservation();
    bool hasReservation() const { return reservedRow_ != 0; }
    int64_t reservedRow() const { return reservedRow_; }

    // The next number the auto-numbered key would get (no write).
    Status peekNextNumber(int64_t& n);

    // What the handle knows of its records: the current record with its
    // watched version and the reservation. A unit of work that is rolled
    // back puts it back as it was before the unit, so that the handle
    // agrees with the records again (a completed reservation is pending
    // again, a watched version is the stored one).
    struct HandleState {
        int64_t currentRow = 0, currentVersion = 0;
        int64_t reservedRow = 0, reservedVersion = 0, reservedNumber = 0;
        int64_t partialRow = 0;
        uint64_t file = 0;   // Connection::fileGeneration(): rows of another file are not put back
    };
    HandleState handleState() const;
    void restoreHandleState(const HandleState& s);

    // --- internal ---
    void resetCursor();   // Connection::quiesce(): remember the place, free the statement
    void detach();        // the connection is closing
    void forgetFile();    // the connection opens another file: statements, positions, reservation go
    void markUnopened() { opened_ = false; }
    struct Impl;

private:
    Status openSchema(bool create, bool* missing);
    Status widenDecimals(std::vector<std::string>& ddl);
    Status step(int dir, Record& rec);
    Status startScan(int kind);
    Status add(Record& rec, Numbering n, bool pending);
    Status rewrite(Record& rec, int64_t row, int64_t version, int64_t& newVersion, bool& changed,
                   const std::vector<int>* fields = nullptr);
    Status updateCurrent(Record& rec, const std::vector<int>* fields);
    Status removeRow(int64_t row, bool onlyPending);
    Status failWrite(const Statement& s, const Record& rec, int64_t selfRow, bool pending);
    // `runs`: only those columns are read, the others blanked.
    Status readOne(detail::Stmt& st, Record& rec, const std::vector<std::pair<int, int>>* runs = nullptr);
    bool keyBlank(int key, const Record& rec) const;
    std::string byKeySql(int key, const std::string& selectList) const;
    std::string keyEquals(int key, int firstParam) const;
    int duplicatedKey(const Record& rec, int64_t selfRow, bool pending);
    Status nextNumber(int64_t& n);
    Status noteNumber(int64_t n);

    Connection& c_;
    std::shared_ptr<const TableDef> def_;
    std::unique_ptr<Impl> impl_;
    bool opened_ = false;
    int order_ = kRecordOrder;
    int64_t currentRow_ = 0;
    int64_t currentVersion_ = 0;
    bool currentPending_ = false;
    int64_t reservedRow_ = 0;
    int64_t partialRow_ = 0;   // the row last read in part
};

}  // namespace tv::storage
