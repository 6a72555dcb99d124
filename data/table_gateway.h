#pragma once
// TableGateway: one table's access object on one logical thread.
//
// It owns the table's storage handle for the thread, opens it on demand,
// reads and writes the thread's record buffer, numbers new records of an
// auto-numbered key by reserving them at once, and reports failures through
// the ErrorReporter by message number.
//
// Results are levels: 0 done (kDone), 5 not done (kNotDone, after the
// operation's message where it has one), 4 cancelled by the user's answer
// (kCancelled), 3 the table could not be used (kUnusable); 1 (kRewriteFailed)
// only from TableRelations::UpdateWithRelated.
//
// Operations that report come in pairs: the plain form shows its message at
// once, the Quiet form only records it (LASTERROR, with the error text) for
// the caller to show with ShowLastError(). While the thread holds a write
// transaction (a DataTransaction, or stream mode) nothing is shown: messages
// are recorded and shown when the outermost transaction ends, and a question
// is answered No. A logical thread never waits for the user while it holds
// the database's write lock.
//
// The public UPPER-CASE members are the gateway's state as the procedures and
// the relations object read it; only the gateway writes them.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/tables.h"
#include "platform/errors/error_reporter.h"
#include "platform/storage/storage.h"
#include "platform/types/record.h"

namespace tv::data {

class ThreadTableSet;

enum Level : int {
    kDone = 0,
    kRewriteFailed = 1,
    kUnusable = 3,
    kCancelled = 4,
    kNotDone = 5,
};

// Use types of UseOnDemand.
enum UseType : int {
    kUseAccess = 1,      // an access that needs the table physically open
    kUseInitialise = 5,  // first-use initialisation only
};

// The driver's open modes, as OPENMODE holds them.
inline constexpr uint8_t kOpenReadWriteShared = 0x42;
inline constexpr uint8_t kOpenReadOnlyShared = 0x40;

class TableGateway {
public:
    // One registered key (KEYS).
    struct RegisteredKey {
        int key = -1;               // index in the declaration
        std::string DESCRIPTION;    // the label text it was registered under
        std::vector<std::string> FIELDS;  // component field names (upper-cased for a no-case key)
        bool AUTOINC = false;
        bool DUPS = false;
        bool NOCASE = false;
    };

    TableGateway(ThreadTableSet& set, TableId id, Record& buffer);
    virtual ~TableGateway();
    TableGateway(const TableGateway&) = delete;
    TableGateway& operator=(const TableGateway&) = delete;

    const TableDecl& declaration() const { return *decl_; }
    TableId id() const { return decl_->id; }
    ThreadTableSet& tableSet() const { return set_; }
    storage::Connection& connection() const;
    // The storage handle; null until the table is first physically opened.
    storage::Table* file() const { return FILE.get(); }

    // --- set-up and first use ---
    void SetUpTable();
    void ShutDown();
    // The entry every access goes through: initialises the gateway once
    // (kUseInitialise), and for kUseAccess opens the table physically when it
    // is not open yet. kDone, or kUnusable.
    int UseOnDemand(int useType = kUseAccess);
    void RegisterKey(int key, std::string_view label, bool autoNumbered);
    // Binds the record's fields by name for expressions (and the memo of the
    // tables that bind theirs); see ThreadTableSet::lookupBoundField.
    virtual void BindFields();

    // --- opening and closing (counted) ---
    int OpenTable();
    int OpenTableQuiet();
    void CloseTable();

    // --- reading ---
    int ReadByKey(int key);
    int ReadByKey(std::string_view keyName);
    int ReadByKeyOrClear(int key);
    int ReadByKeyOrClear(std::string_view keyName);
    int ReadNext();
    int ReadPrevious();
    int ReadNextQuiet();
    int ReadPreviousQuiet();
    // Reads the record at a place in record order (a list hands its row).
    int ReadByRow(int64_t row);
    // Makes the record in the buffer the current, watched record: a later
    // UpdateRecord is refused if another station changes it meanwhile. A
    // record read through this gateway already is; otherwise it is read
    // again by the first unique key whose value the buffer holds (the
    // buffer then shows the stored version). kDone, or kNotDone when no
    // such record is stored.
    int Watch();
    // Order and position for ReadNext/ReadPrevious: a key index or
    // storage::Table::kRecordOrder; positions at the buffer's key values, or
    // at the start of the order.
    int SetOrder(int key);
    int SetPositionByKey(int key);
    int SetPositionToStart(int key = storage::Table::kRecordOrder);
    // Record count (-1 when the table cannot be used).
    int64_t RecordCount();

    // --- writing ---
    int UpdateRecord();
    int UpdateRecordQuiet();
    // UpdateRecord for the given fields alone (indexes in the layout): the
    // others stay as stored, and the keys on them are not rewritten.
    int UpdateFields(const std::vector<int>& fields);
    int UpdateFieldsQuiet(const std::vector<int>& fields);
    int DeleteCurrentRecord(bool ask);
    // Deletes every record at once, without a question; a failure is
    // recorded as message 13 for the caller to show (ShowLastError).
    int DeleteAllRecords();
    // Clears the buffer, lets `prime` set the range fields, and reserves the
    // auto-number at once for a table that has one.
    int PrepareNewRecord(const std::function<void(Record&)>& prime = {});
    int ReserveAutoNumber();
    int ReserveAutoNumberQuiet();
    int InsertRecord();
    int InsertRecordQuiet();
    // Deletes the reserved record of a cancelled insert, by its own row (the
    // relations object's CancelPendingInsert also deletes the records this
    // thread added under it since the reservation).
    int CancelPendingInsert();
    // While a number is reserved: where the thread's log of added records
    // stood when it was reserved (ThreadTableSet::CreatedSince).
    std::size_t CreationMark() const { return createdMark_; }

    // Shows the message recorded in LASTERROR (with its texts).
    Answer ShowLastError();
    // Field checks: no table of this system defines any.
    int CheckAllFields() { return kDone; }

    // --- buffer copies (a form compares, a select list restores) ---
    int SaveBuffer();                 // returns a handle
    void RestoreBuffer(int handle);   // puts the copy back and discards it
    bool BufferChanged(int handle) const;
    void DiscardBuffer(int handle);

    // --- stream mode (buffered writing for long runs) ---
    int BeginStream();
    int Flush();                      // ends stream mode; always call it after a run

    // --- state, as the procedures read it ---
    Record& BUFFER;
    std::unique_ptr<storage::Table> FILE;
    TableGateway* ALIASEDFILE = nullptr;
    std::string FILENAMEVALUE;
    uint8_t CREATE = 1;
    int16_t LOCKRECOVER = 10;
    uint8_t OPENMODE = kOpenReadWriteShared;
    uint8_t LAZYOPEN = 1;
    int32_t OPENED = 0;
    uint8_t INUSEFILE = 0;
    uint8_t INITIALIZED = 0;
    std::vector<RegisteredKey> KEYS;
    uint8_t HASAUTOINC = 0;
    uint8_t AUTOINCDONE = 0;
    uint8_t PRIMARYKEY = 0;           // 1-based position of the primary key, 0: none
    uint8_t USED = 0;
    uint8_t ATEOF = 0;
    int32_t LASTERROR = 0;
    uint8_t SKIPHELDRECORDS = 0;
    bool FIELDSBOUND = false;         // BindFields ran (the fields are visible to expressions)
    bool SHUTDOWN = false;

    // --- used by TableRelations ---
    // Records message n with the storage status' texts (LASTERROR).
    void recordError(int n, const storage::Status& st, std::string_view message = {});
    // Shows a message now, or defers it while a write transaction is held.
    Answer report(int n, const storage::Status& st, std::string_view message = {});
    // True while this thread's connection holds a write transaction.
    bool holdingWrite() const;

    // Reads the buffer's record again by the first unique key whose
    // components the buffer holds (not all zero or blank).
    storage::Status rereadByUniqueKey();

private:
    // AUTOINCDONE with the thread's log of added records: open while a
    // number is reserved.
    void setReserved(bool on);
    int openFile(bool quiet);
    int readSeq(bool next, bool quiet);
    int insertOrReserve(bool quiet, bool reserveOnly);
    int updateQuiet(const std::vector<int>* fields);
    int keyArg(std::string_view name) const;
    void setErrorSubstitutions() const;

    ThreadTableSet& set_;
    const TableDecl* decl_;
    int lastErrorCode_ = 0;
    std::string lastErrorText_;
    std::string lastMessage_;
    std::vector<std::optional<Record>> saved_;
    std::size_t createdMark_ = 0;
};

}  // namespace tv::data
