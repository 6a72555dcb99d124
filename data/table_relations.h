#pragma once
// TableRelations: one table's relations on one logical thread. It opens and
// closes the table together with its related tables, and deletes or changes
// a record together with what refers to it, inside one storage transaction.
//
// Deletes and changes through this object run in one unit (BEGIN IMMEDIATE,
// waiting LOGOUTTIMEOUT seconds for the write lock): the cascades (the lines
// of an order, receipt, issue or count, a supplier's contacts) and the record
// itself are deleted together or not at all. Messages and questions come only
// after the transaction has ended, never while the write lock is held.
#include <cstdint>
#include <string>
#include <vector>

#include "data/table_gateway.h"
#include "data/tables.h"
#include "platform/types/record.h"

namespace tv::data {

class ThreadTableSet;

class TableRelations {
public:
    // A relation entry (RELATIONS).
    struct Entry {
        TableRelations* related = nullptr;
        const RelationDecl* decl = nullptr;   // links, child key, modes
        RelMode updateMode = RelMode::None;
        RelMode deleteMode = RelMode::None;
        int32_t opens = 0;                    // opens of the related table this entry caused
        std::vector<Value> snapshot;          // owner link values at SnapshotLinkFields
    };

    TableRelations(ThreadTableSet& set, TableId id);
    virtual ~TableRelations();
    TableRelations(const TableRelations&) = delete;
    TableRelations& operator=(const TableRelations&) = delete;

    TableId id() const { return id_; }

    // --- set-up ---
    void SetUp(TableGateway& gateway);
    void SetAliasOf(TableRelations& base);
    void DeclareRelations();
    void ShutDown();

    // --- opening and closing with related tables ---
    // Opens the table (physically at once) and counts an open of every
    // directly related table; a forcing open (RequestRelatedOpen) goes on to
    // every table reachable through relations.
    int OpenWithRelated();
    void CloseWithRelated();
    void RequestRelatedOpen() { FORCINGOPEN = 1; }

    // --- changing and deleting with related records ---
    int DeleteWithRelated(bool ask);
    // The same for the record the table read last, when it was read inside
    // the unit of work that is still open (nobody can have changed it
    // since): it is not read again. Without an open unit it is, as above.
    int DeleteReadWithRelated();
    // use8: message 8 in place of 7 when another station changed the record.
    int UpdateWithRelated(bool use8 = false);
    // Deletes the reserved record of a cancelled insert and what refers to it.
    int CancelPendingInsert();
    // Keeps the link values of the buffer (a form calls it when it starts a change).
    void SnapshotLinkFields();
    // Quick scan for long reads (reports): passes "QUICKSCAN=on/off".
    void PropagateQuickScan(bool on, bool related = true);

    // --- state ---
    TableGateway* ME = nullptr;
    std::vector<Entry> RELATIONS;
    TableRelations* ALIASFILE = nullptr;
    uint8_t USELOGOUT = 1;
    uint8_t PREVUSELOGOUT = 1;
    uint8_t LOGOUTTIMEOUT = 2;        // seconds
    int32_t LASTTOUCHED = 0;
    uint8_t FORCINGOPEN = 0;
    uint8_t DEFEREDRELATIONSDONE = 0;

private:
    void openWalk(int32_t stamp, bool forcing, std::vector<Entry*>& list);
    // Every table a delete (or change) reaches through cascading modes.
    void collectCascade(std::vector<TableRelations*>& out, bool forDelete);
    // Applies the delete modes of this table's relations to the records
    // related to the record in ME's buffer. kDone or kNotDone (error recorded
    // in `failed`).
    int applyDeleteModes(TableGateway*& failed);
    int deleteWithRelated(bool ask, bool readInUnit);
    int cascadeDelete(Entry& e, TableGateway*& failed);
    bool deletesInOneStatement(const Entry& e, const std::vector<Value>& owner) const;
    int cascadeUpdate(Entry& e, TableGateway*& failed);
    bool linkMatches(const Entry& e, const std::vector<Value>& ownerValues) const;
    std::vector<Value> ownerLinkValues(const Entry& e) const;
    void assignLinks(const Entry& e, const std::vector<Value>& ownerValues);

    ThreadTableSet& set_;
    TableId id_;
    // Per OpenWithRelated still outstanding: the entries whose related
    // table it opened, so that CloseWithRelated undoes exactly those.
    std::vector<std::vector<Entry*>> opened_;
};

}  // namespace tv::data
