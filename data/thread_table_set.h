#pragma once
// The table set of a logical thread: every table's record buffer, its
// TableGateway and its TableRelations, created together when the thread
// first asks for them (nothing is opened until a table is used).
//
// How procedures reach them, on the current logical thread:
//
//     using namespace tv::data;
//     Record& art = tables().Articulo();              // the record buffer
//     TableGateway& g = tables().ArticuloTableGateway();
//     TableRelations& r = tables().ArticuloTableRelations();
//     // or, the same through free functions:
//     ArticuloTableGateway().ReadByKey("ART:KeyNoArt");
//     EntradasTableRelations().DeleteWithRelated(true);
//     // or generically: tables().buffer(TableId::Kardex), gateway(..), relations(..)
//
// Thread 1's set is made by the program's start (initThreadTables()); any
// other logical thread gets its own on first use and loses it when it ends.
// The sets of tables() work on the thread's storage::Connection::current();
// a set made again after storage::setDatabasePath() changed the path starts
// afresh on the new database. Tests that want their own database without
// touching the path make a ThreadTableSet on their own Connection.
//
// Expressions (filters, ranges, find) see the fields of every table opened on
// the thread by their label, "ART:NoArt", without regard to case; Articulo and
// Ordenes also bind their memos "ART:Notas" and "ORD:Nota" (the alias
// AliasArticulos does not bind its memo). See lookupBoundField().
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/table_gateway.h"
#include "data/table_relations.h"
#include "data/tables.h"
#include "platform/storage/storage.h"
#include "platform/types/record.h"

namespace tv::data {

// X-macro of the 31 labels, in declaration order.
#define TV_DATA_TABLES(X)                                                                        \
    X(DetOrdenes) X(Ordenes) X(TipEntradas) X(TipSalidas) X(DetEntradas) X(Entradas) X(Almacenes) \
    X(Paises) X(Estados) X(Salidas) X(Ciudades) X(Temporden) X(DetSalidas) X(ContProv)            \
    X(Proveedores) X(Deptos) X(Articulo) X(CatArticulos) X(Unidades) X(Marcas) X(AliasArticulos) \
    X(catega2) X(catega1) X(marcasa2) X(marcasa1) X(usuarios) X(PreProv) X(DetFisico) X(Fisico)  \
    X(Folios) X(Kardex)

// The storage declaration of a table (an alias resolves to its base's SQL
// table and columns). Built once, shared by every thread.
const std::shared_ptr<const storage::TableDef>& storageDef(TableId t);

class ThreadTableSet {
public:
    // Uses this logical thread's connection (storage::Connection::current()).
    ThreadTableSet();
    // Uses the given connection (tests: a database in a scratch folder; it
    // must outlive the set).
    explicit ThreadTableSet(storage::Connection& connection);
    ~ThreadTableSet();
    ThreadTableSet(const ThreadTableSet&) = delete;
    ThreadTableSet& operator=(const ThreadTableSet&) = delete;

    storage::Connection& connection() const { return *conn_; }

    Record& buffer(TableId t) { return *slots_[idx(t)].buffer; }
    TableGateway& gateway(TableId t) { return *slots_[idx(t)].gateway; }
    TableRelations& relations(TableId t) { return *slots_[idx(t)].relations; }

#define TV_DATA_ACCESSORS(L)                                                       \
    Record& L() { return buffer(TableId::L); }                                     \
    TableGateway& L##TableGateway() { return gateway(TableId::L); }                \
    TableRelations& L##TableRelations() { return relations(TableId::L); }
    TV_DATA_TABLES(TV_DATA_ACCESSORS)
#undef TV_DATA_ACCESSORS

    // A field of a table whose fields are bound on this thread, by its label
    // ("PRE:Name", case-insensitive); nullopt when no such bound field.
    std::optional<Value> lookupBoundField(std::string_view name);
    // The buffer and field index behind a bound name (for assignment).
    bool findBoundField(std::string_view name, Record*& record, int& field);

    // Messages recorded while a write transaction was held, shown when the
    // outermost transaction ends (see DataTransaction).
    struct Deferred {
        int number = 0;
        std::string file;
        int errorCode = 0;
        std::string errorText;
        std::string message;
    };
    void defer(Deferred d) { deferred_.push_back(std::move(d)); }
    void showDeferred();
    const std::vector<Deferred>& deferred() const { return deferred_; }

    // The records added on this thread while some number is reserved on it
    // (a document's form adds its lines under its reserved header): a
    // cancelled insert releases only what this thread added under it since
    // it was reserved, never records that merely share its link values.
    // Logs nest; the log is emptied when the last one ends.
    std::size_t BeginCreationLog() {
        ++logging_;
        return created_.size();
    }
    void EndCreationLog() {
        if (logging_ > 0 && --logging_ == 0) created_.clear();
    }
    // The log as it stands, to be put back when a unit of work that ended
    // or began a reservation is rolled back (TableSetSnapshot).
    struct CreationLog {
        int logging = 0;
        std::vector<std::pair<TableId, int64_t>> created;
        uint64_t file = 0;
    };
    CreationLog SaveCreationLog() const { return {logging_, created_, createdIn_}; }
    void RestoreCreationLog(CreationLog log) {
        logging_ = log.logging;
        created_ = std::move(log.created);
        createdIn_ = log.file;
    }
    void NoteCreated(TableId t, int64_t row);
    void ForgetCreated(TableId t, int64_t row);
    bool CreatedSince(std::size_t mark, TableId t, int64_t row) const;
    // Whether the log holds a record of `t` (or of its base table).
    bool HasCreated(TableId t) const;
    // While set, a cascading delete reaches only records added since the
    // mark (TableRelations::CancelPendingInsert).
    std::optional<std::size_t> cascadeOnlySince;

    // Stamp source of the open/close walks.
    int32_t nextStamp() { return ++stamp_; }

    // Room for a copy of every record buffer (TableSetSnapshot), kept
    // between units of work so that copying the buffers reuses the room
    // the last unit's copy had instead of allocating it again.
    struct BufferCopies {
        std::array<std::optional<Record>, kTableCount> buffers;
    };
    std::unique_ptr<BufferCopies> TakeBufferCopies();
    void GiveBackBufferCopies(std::unique_ptr<BufferCopies> copies);

private:
    static size_t idx(TableId t) { return static_cast<size_t>(t); }
    void init();   // creates and sets up module 1 then module 2
    void kill();   // shuts down module 1 then module 2

    struct Slot {
        std::unique_ptr<Record> buffer;
        std::unique_ptr<TableGateway> gateway;
        std::unique_ptr<TableRelations> relations;
    };
    storage::Connection* conn_;
    std::array<Slot, kTableCount> slots_;
    std::vector<Deferred> deferred_;
    int32_t stamp_ = 0;
    std::vector<std::unique_ptr<BufferCopies>> spareCopies_;   // one per unit nesting level at most
    int logging_ = 0;
    std::vector<std::pair<TableId, int64_t>> created_;
    uint64_t createdIn_ = 0;   // the connection's file generation the rows are of
};

// The current logical thread's table set (created on first use).
ThreadTableSet& tables();
// Creates thread 1's table set; the program's start calls it once the
// ErrorReporter is set up.
void initThreadTables();

// Makes every table exist, with its keys and rules, in one unit of work:
// the program's start does it before the first window opens, so that a
// table first used later never needs the write lock. Nothing is written
// when they all exist. Another station holding the write lock longer than
// the time-out is reported (message 24) and the program goes on (a table
// still missing is then made at its first use); any other failure is left
// to the first use of a table to report. kDone or kNotDone.
int CreateAllTables(ThreadTableSet& set = tables());

// Message 24, "Transacción Cancelada": a unit of work could not be begun.
inline constexpr int kMsgTransactionNotStarted = 24;
// Why the database refuses to delete the last administrator or take the
// mark from him (the text of its refusal).
inline constexpr const char* kLastAdministratorText =
    "El último administrador del sistema no puede borrarse ni dejar de ser administrador";

#define TV_DATA_FREE_ACCESSORS(L)                                                      \
    inline TableGateway& L##TableGateway() { return tables().L##TableGateway(); }      \
    inline TableRelations& L##TableRelations() { return tables().L##TableRelations(); }
TV_DATA_TABLES(TV_DATA_FREE_ACCESSORS)
#undef TV_DATA_FREE_ACCESSORS

// Looks a bound field up on the current thread's table set.
inline std::optional<Value> lookupBoundField(std::string_view name) {
    return tables().lookupBoundField(name);
}

}  // namespace tv::data
