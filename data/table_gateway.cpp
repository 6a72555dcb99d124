#include "data/table_gateway.h"

#include <cctype>

#include "data/thread_table_set.h"
#include "platform/types/text.h"

namespace tv::data {

namespace {
// Message numbers of the table layer.
enum : int {
    kMsgRead = 1,
    kMsgReadOnly = 2,
    kMsgInsert = 4,
    kMsgChanged = 7,
    kMsgConfirmDelete = 11,
    kMsgCreate = 12,
    kMsgDelete = 13,
    kMsgDuplicate = 15,
    kMsgTransaction = 24,
    kMsgOpen = 26,
    kMsgRewrite = 28,
    kMsgRebuildFailed = 29,
    kMsgRebuild = 30,
    kMsgHeld = 31,
    kMsgAutoNumber = 35,
};

std::string upper(std::string_view s) { return toUpper(s); }
}  // namespace

TableGateway::TableGateway(ThreadTableSet& set, TableId id, Record& buffer)
    : BUFFER(buffer), set_(set), decl_(&decl(id)) {}

TableGateway::~TableGateway() { ShutDown(); }

storage::Connection& TableGateway::connection() const { return set_.connection(); }

bool TableGateway::holdingWrite() const {
    const storage::Connection& c = connection();
    return c.transactionDepth() > 0 || c.streaming();
}

// ---------------------------------------------------------------------------
// Set-up and first use

void TableGateway::SetUpTable() {
    INITIALIZED = 0;
    FILENAMEVALUE = decl_->label;
    ALIASEDFILE = decl_->aliasOf ? &set_.gateway(*decl_->aliasOf) : nullptr;
    OPENED = 0;
    LAZYOPEN = 1;
    SHUTDOWN = false;
}

void TableGateway::ShutDown() {
    if (SHUTDOWN) return;
    // A reservation left by a form that never finished is not left behind
    // as a blank record.
    if (AUTOINCDONE && FILE && !holdingWrite()) FILE->cancelReservation();
    setReserved(false);
    FILE.reset();
    USED = 0;
    SHUTDOWN = true;
}

void TableGateway::setReserved(bool on) {
    if (on && !AUTOINCDONE) createdMark_ = set_.BeginCreationLog();
    if (!on && AUTOINCDONE) set_.EndCreationLog();
    AUTOINCDONE = on ? 1 : 0;
}

void TableGateway::RegisterKey(int key, std::string_view label, bool autoNumbered) {
    const KeyDecl& k = decl_->keys[static_cast<size_t>(key)];
    RegisteredKey r;
    r.key = key;
    r.DESCRIPTION = std::string(label.substr(0, 80));
    for (int f : k.components) {
        const std::string& n = decl_->layout->field(f).name;
        r.FIELDS.push_back(k.noCase ? upper(n) : n);
    }
    r.AUTOINC = autoNumbered;
    r.DUPS = !k.unique;
    r.NOCASE = k.noCase;
    KEYS.push_back(std::move(r));
    if (autoNumbered) HASAUTOINC = 1;
    if (k.primary) PRIMARYKEY = static_cast<uint8_t>(KEYS.size());
}

int TableGateway::UseOnDemand(int useType) {
    if (useType != kUseInitialise) {
        int r = UseOnDemand(kUseInitialise);
        if (r != kDone) return r;
    } else {
        if (!INITIALIZED) {
            INUSEFILE = 1;
            // Binding the file: the key list and the open defaults.
            KEYS.clear();
            HASAUTOINC = 0;
            OPENMODE = kOpenReadWriteShared;
            PRIMARYKEY = 0;
            FILENAMEVALUE = decl_->fileName;
            INITIALIZED = 1;
            CREATE = 1;
            LOCKRECOVER = 10;
            for (size_t i = 0; i < decl_->keys.size(); ++i)
                RegisterKey(static_cast<int>(i), decl_->keys[i].label, decl_->keys[i].autoNumbered);
            INUSEFILE = 0;
        }
        return kDone;
    }
    if (USED) return kDone;
    // A use without an outstanding open counts as one open, never closed.
    if (OPENED == 0) OPENED = 1;
    return openFile(false);
}

int TableGateway::openFile(bool) {
    storage::Connection& c = connection();
    // Values placed in the buffer before the first read survive the open.
    Record saved = BUFFER;
    if (!FILE) FILE = std::make_unique<storage::Table>(c, storageDef(decl_->id));
    int level = kDone;
    for (int pass = 0; pass < 2; ++pass) {
        storage::Status st = FILE->open();
        if (st.ok()) break;
        if (st.code == storage::kAccessDenied) {
            // The storage already fell back to read-only; one more try with
            // the lock-recover option before saying so.
            c.setOption("Recover=" + std::to_string(LOCKRECOVER));
            storage::Status again = FILE->open();
            if (again.ok()) break;
            if (again.code == storage::kAccessDenied) {
                OPENMODE = kOpenReadOnlyShared;
                report(kMsgReadOnly, again);
                break;
            }
            st = again;
        }
        if (st.code == storage::kLockTimeout || st.code == storage::kDiskFull) {
            // The table had to be made while another station held the
            // write lock, or on a full disk: said, and the program goes on
            // (the next use tries again).
            report(kMsgTransaction, st);
            level = kUnusable;
            break;
        }
        if (st.code == storage::kFileReplaced) {
            // The database was removed under the running program: said, and
            // the program goes on (its other windows keep what they hold).
            report(kMsgRead, st);
            level = kUnusable;
            break;
        }
        if (st.code == storage::kFileNotFound && CREATE) {
            report(kMsgCreate, st);  // fatal
            level = kUnusable;
            break;
        }
        if (st.code == storage::kKeyFileMustBeRebuilt && pass == 0) {
            report(kMsgRebuild, st);
            storage::Status rb = c.rebuild();
            if (!rb.ok()) {
                report(kMsgRebuildFailed, rb);  // fatal
                level = kUnusable;
                break;
            }
            continue;
        }
        report(kMsgOpen, st);  // fatal
        level = kUnusable;
        break;
    }
    BUFFER = saved;
    if (level == kDone) USED = 1;
    return level;
}

void TableGateway::BindFields() { FIELDSBOUND = true; }

// ---------------------------------------------------------------------------
// Messages

void TableGateway::recordError(int n, const storage::Status& st, std::string_view message) {
    LASTERROR = n;
    lastErrorCode_ = st.code;
    lastErrorText_ = st.text;
    lastMessage_ = std::string(message);
}

void TableGateway::setErrorSubstitutions() const {
    ErrorReporter& er = ErrorReporter::instance();
    er.setFile(FILENAMEVALUE);
    er.setErrorText(lastErrorCode_, lastErrorText_);
    er.setMessage(lastMessage_);
}

Answer TableGateway::report(int n, const storage::Status& st, std::string_view message) {
    recordError(n, st, message);
    return ShowLastError();
}

Answer TableGateway::ShowLastError() {
    if (LASTERROR == 0) return Answer::Ok;
    if (holdingWrite()) {
        // Nobody is asked while the write lock is held: a question is
        // answered No (and not asked later, when its answer would not
        // count); a notice waits for the end of the unit.
        const MessageDef* def = ErrorReporter::instance().find(LASTERROR);
        if (def != nullptr && def->level == 1) return Answer::No;
        set_.defer({LASTERROR, FILENAMEVALUE, lastErrorCode_, lastErrorText_, lastMessage_});
        return Answer::Ok;
    }
    setErrorSubstitutions();
    return ErrorReporter::instance().raise(LASTERROR);
}

// ---------------------------------------------------------------------------
// Opening and closing

int TableGateway::OpenTable() {
    int r = UseOnDemand(kUseInitialise);
    if (r != kDone) return r;
    BindFields();
    ++OPENED;
    return kDone;
}

int TableGateway::OpenTableQuiet() { return OpenTable(); }

void TableGateway::CloseTable() {
    if (OPENED <= 0) return;
    if (--OPENED == 0 && USED) {
        if (AUTOINCDONE && FILE && !holdingWrite()) FILE->cancelReservation();
        setReserved(false);
        FILE.reset();
        USED = 0;
    }
}

// ---------------------------------------------------------------------------
// Reading

int TableGateway::keyArg(std::string_view name) const { return decl_->keyIndex(name); }

int TableGateway::ReadByKey(int key) {
    int r = UseOnDemand();
    if (r != kDone) return r;
    if (key < 0 || key >= static_cast<int>(decl_->keys.size())) return kNotDone;
    storage::Status st = FILE->readByKey(key, BUFFER);
    return st.ok() ? kDone : kNotDone;
}

int TableGateway::ReadByKey(std::string_view keyName) { return ReadByKey(keyArg(keyName)); }

int TableGateway::ReadByKeyOrClear(int key) {
    int r = ReadByKey(key);
    if (r == kNotDone) BUFFER.clear();
    return r;
}

int TableGateway::ReadByKeyOrClear(std::string_view keyName) { return ReadByKeyOrClear(keyArg(keyName)); }

int TableGateway::ReadByRow(int64_t row) {
    int r = UseOnDemand();
    if (r != kDone) return r;
    return FILE->readByRow(row, BUFFER).ok() ? kDone : kNotDone;
}

storage::Status TableGateway::rereadByUniqueKey() {
    for (size_t k = 0; k < decl_->keys.size(); ++k) {
        const KeyDecl& key = decl_->keys[k];
        if (!key.unique) continue;
        bool empty = true;
        for (int f : key.components) empty = empty && !BUFFER.get(f).truthy();
        if (empty) continue;
        Record probe = BUFFER;
        storage::Status st = FILE->readByKey(static_cast<int>(k), probe);
        if (st.ok()) BUFFER = probe;
        return st;
    }
    return storage::Status::make(storage::kRecordNotAvailable);
}

int TableGateway::Watch() {
    int r = UseOnDemand();
    if (r != kDone) return r;
    if (FILE->hasCurrent()) return kDone;
    return rereadByUniqueKey().ok() ? kDone : kNotDone;
}

int TableGateway::readSeq(bool forward, bool quiet) {
    int r = UseOnDemand();
    if (r != kDone) return r;
    ATEOF = 0;
    storage::Status st = forward ? FILE->next(BUFFER) : FILE->previous(BUFFER);
    if (st.ok()) return kDone;
    if (st.code == storage::kRecordNotAvailable) {
        ATEOF = 1;
        return kNotDone;
    }
    int n = st.code == storage::kLockTimeout ? kMsgHeld : kMsgRead;
    if (quiet) {
        recordError(n, st);
        return n == kMsgRead ? kUnusable : kNotDone;
    }
    report(n, st);
    return kNotDone;
}

int TableGateway::ReadNext() { return readSeq(true, false); }
int TableGateway::ReadPrevious() { return readSeq(false, false); }
int TableGateway::ReadNextQuiet() { return readSeq(true, true); }
int TableGateway::ReadPreviousQuiet() { return readSeq(false, true); }

int TableGateway::SetOrder(int key) {
    int r = UseOnDemand();
    if (r != kDone) return r;
    FILE->setOrder(key);
    return kDone;
}

int TableGateway::SetPositionByKey(int key) {
    int r = UseOnDemand();
    if (r != kDone) return r;
    FILE->setOrder(key);
    FILE->setPosition(key, BUFFER);
    return kDone;
}

int TableGateway::SetPositionToStart(int key) {
    int r = UseOnDemand();
    if (r != kDone) return r;
    // Setting the order drops any position: next() starts at the first record.
    FILE->setOrder(key);
    return kDone;
}

int64_t TableGateway::RecordCount() {
    if (UseOnDemand() != kDone) return -1;
    int64_t n = 0;
    if (!FILE->count(n).ok()) return -1;
    return n;
}

// ---------------------------------------------------------------------------
// Rewriting and deleting

int TableGateway::UpdateRecordQuiet() { return updateQuiet(nullptr); }

int TableGateway::UpdateFieldsQuiet(const std::vector<int>& fields) { return updateQuiet(&fields); }

int TableGateway::UpdateFields(const std::vector<int>& fields) {
    int r = updateQuiet(&fields);
    if (r == kNotDone) ShowLastError();
    return r;
}

int TableGateway::updateQuiet(const std::vector<int>* fields) {
    int r = UseOnDemand();
    if (r != kDone) return kUnusable;
    if (CheckAllFields() != kDone) return kNotDone;
    storage::Status st = fields != nullptr ? FILE->update(BUFFER, *fields) : FILE->update(BUFFER);
    if (st.ok()) return kDone;
    // Changed (or deleted) by another connection since it was read: the
    // buffer now holds that version.
    int n = st.code == storage::kRecordChanged || st.code == storage::kRecordNotAvailable ? kMsgChanged
                                                                                         : kMsgRewrite;
    recordError(n, st);
    return kNotDone;
}

int TableGateway::UpdateRecord() {
    int r = UpdateRecordQuiet();
    if (r == kNotDone) ShowLastError();
    return r;
}

int TableGateway::DeleteCurrentRecord(bool ask) {
    if (ask) {
        if (report(kMsgConfirmDelete, {}) != Answer::Yes) return kCancelled;
        LASTERROR = 0;
    }
    int r = UseOnDemand();
    if (r != kDone) return kUnusable;
    const int64_t row = FILE->currentRow();
    storage::Status st = FILE->deleteCurrent();
    if (st.ok()) {
        set_.ForgetCreated(decl_->id, row);
        if (AUTOINCDONE && !FILE->hasReservation()) setReserved(false);
        return kDone;
    }
    recordError(kMsgDelete, st);
    return kNotDone;
}

int TableGateway::DeleteAllRecords() {
    if (UseOnDemand() != kDone) return kUnusable;
    storage::Status st = FILE->deleteAll();
    if (st.ok()) {
        AUTOINCDONE = 0;  // a reservation of this gateway went with the rest
        return kDone;
    }
    recordError(kMsgDelete, st);
    return kNotDone;
}

// ---------------------------------------------------------------------------
// Auto-numbering and inserting

int TableGateway::PrepareNewRecord(const std::function<void(Record&)>& prime) {
    int r = UseOnDemand();
    if (r != kDone) return r;
    // A reservation nobody completed is not left behind as a blank record;
    // while it cannot be given back, no new record starts.
    if (AUTOINCDONE && CancelPendingInsert() != kDone) {
        ShowLastError();
        return kNotDone;
    }
    BUFFER.clear();
    if (prime) prime(BUFFER);
    if (!HASAUTOINC) return kDone;
    return ReserveAutoNumber();
}

int TableGateway::insertOrReserve(bool quiet, bool reserveOnly) {
    const int autoKey = storageDef(decl_->id)->autoNumberKey();
    for (;;) {
        storage::Status st;
        for (int attempt = 0; attempt < 3; ++attempt) {
            st = reserveOnly ? FILE->reserve(BUFFER) : FILE->insert(BUFFER);
            if (st.ok()) {
                if (reserveOnly) setReserved(true);
                set_.NoteCreated(decl_->id, reserveOnly ? FILE->reservedRow() : FILE->currentRow());
                return kDone;
            }
            // Without write access or room on the disk no attempt can
            // succeed; a database file removed or replaced is said first.
            if (st.code == storage::kAccessDenied || st.code == storage::kDiskFull ||
                st.code == storage::kFileReplaced) {
                recordError(kMsgInsert, st);
                if (!quiet) ShowLastError();
                return kNotDone;
            }
            // A duplicate in a key other than the numbered one will not go
            // away by numbering again.
            if (st.code == storage::kCreatesDuplicateKey && st.keyIndex != autoKey) {
                std::string label = st.keyIndex >= 0 && st.keyIndex < static_cast<int>(decl_->keys.size())
                                        ? decl_->keys[static_cast<size_t>(st.keyIndex)].label
                                        : std::string();
                recordError(kMsgDuplicate, st, label);
                if (!quiet) ShowLastError();
                return kNotDone;
            }
        }
        if (holdingWrite()) {
            // Nobody can be asked inside a unit of work: the insert fails,
            // and says so once the unit has been rolled back.
            recordError(kMsgInsert, st);
            if (!quiet) ShowLastError();
            return kNotDone;
        }
        recordError(kMsgAutoNumber, st);
        if (quiet) return kNotDone;
        if (ShowLastError() != Answer::Yes) return kNotDone;
    }
}

int TableGateway::ReserveAutoNumber() {
    int r = UseOnDemand();
    if (r != kDone) return r;
    if (!HASAUTOINC) return kDone;
    return insertOrReserve(false, true);
}

int TableGateway::ReserveAutoNumberQuiet() {
    int r = UseOnDemand();
    if (r != kDone) return r;
    if (!HASAUTOINC) return kDone;
    return insertOrReserve(true, true);
}

int TableGateway::InsertRecordQuiet() {
    int r = UseOnDemand();
    if (r != kDone) return kUnusable;
    if (CheckAllFields() != kDone) return kNotDone;
    storage::Status st;
    if (AUTOINCDONE && FILE->hasReservation()) {
        st = FILE->completeReservation(BUFFER);
        if (st.ok()) {
            setReserved(false);
            return kDone;
        }
    } else {
        setReserved(false);
        if (HASAUTOINC) return insertOrReserve(true, false);
        st = FILE->insert(BUFFER);
        if (st.ok()) {
            set_.NoteCreated(decl_->id, FILE->currentRow());
            return kDone;
        }
    }
    if (st.code == storage::kCreatesDuplicateKey) {
        std::string label = st.keyIndex >= 0 && st.keyIndex < static_cast<int>(decl_->keys.size())
                                ? decl_->keys[static_cast<size_t>(st.keyIndex)].label
                                : std::string();
        recordError(kMsgDuplicate, st, label);
    } else {
        recordError(kMsgInsert, st);
    }
    return kNotDone;
}

int TableGateway::InsertRecord() {
    int r = UseOnDemand();
    if (r != kDone) return kUnusable;
    if (!(AUTOINCDONE && FILE->hasReservation()) && HASAUTOINC) {
        setReserved(false);
        return insertOrReserve(false, false);
    }
    r = InsertRecordQuiet();
    if (r == kNotDone) ShowLastError();
    return r;
}

int TableGateway::CancelPendingInsert() {
    if (!AUTOINCDONE) return kDone;
    if (FILE && FILE->hasReservation()) {
        storage::Status st = FILE->cancelReservation();
        if (!st.ok()) {
            // The reservation stays, to be given back once that can be done
            // (a full disk freed): a new record of this table cancels it first.
            recordError(kMsgDelete, st);
            return kNotDone;
        }
    }
    setReserved(false);
    return kDone;
}

// ---------------------------------------------------------------------------
// Buffer copies

int TableGateway::SaveBuffer() {
    for (size_t i = 0; i < saved_.size(); ++i)
        if (!saved_[i]) {
            saved_[i] = BUFFER;
            return static_cast<int>(i);
        }
    saved_.emplace_back(BUFFER);
    return static_cast<int>(saved_.size() - 1);
}

void TableGateway::RestoreBuffer(int handle) {
    if (handle < 0 || handle >= static_cast<int>(saved_.size()) || !saved_[static_cast<size_t>(handle)]) return;
    BUFFER = *saved_[static_cast<size_t>(handle)];
    saved_[static_cast<size_t>(handle)].reset();
}

bool TableGateway::BufferChanged(int handle) const {
    if (handle < 0 || handle >= static_cast<int>(saved_.size()) || !saved_[static_cast<size_t>(handle)])
        return false;
    return !(BUFFER == *saved_[static_cast<size_t>(handle)]);
}

void TableGateway::DiscardBuffer(int handle) {
    if (handle >= 0 && handle < static_cast<int>(saved_.size())) saved_[static_cast<size_t>(handle)].reset();
}

// ---------------------------------------------------------------------------
// Stream mode

int TableGateway::BeginStream() {
    int r = UseOnDemand();
    if (r != kDone) return r;
    storage::Status st = connection().beginStream();
    return st.ok() ? kDone : kNotDone;
}

int TableGateway::Flush() {
    storage::Connection& c = connection();
    if (!c.streaming()) return kDone;
    storage::Status st = c.endStream();
    if (st.ok()) {
        set_.showDeferred();
        return kDone;
    }
    recordError(kMsgRewrite, st);
    set_.showDeferred();
    ShowLastError();
    return kNotDone;
}

}  // namespace tv::data
