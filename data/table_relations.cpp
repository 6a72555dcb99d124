#include "data/table_relations.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>

#include "data/table_set_snapshot.h"
#include "data/thread_table_set.h"
#include "platform/storage/storage.h"
#include "platform/types/text.h"

namespace tv::data {

namespace {
bool holdsUniqueKey(const TableGateway& g) {
    for (const KeyDecl& k : g.declaration().keys) {
        if (!k.unique) continue;
        for (int f : k.components)
            if (g.BUFFER.get(f).truthy()) return true;
    }
    return false;
}

enum : int {
    kMsgConfirmDelete = 11,
    kMsgDelete = 13,
    kMsgTransaction = 24,
    kMsgRewrite = 28,
    kMsgRestrict = 33,
    kMsgDeleteAgain = 36,
    kMsgChanged = 7,
    kMsgChangedShown = 8,
};
}  // namespace

TableRelations::TableRelations(ThreadTableSet& set, TableId id) : set_(set), id_(id) {}

TableRelations::~TableRelations() = default;

// ---------------------------------------------------------------------------
// Set-up

void TableRelations::SetUp(TableGateway& gateway) {
    ME = &gateway;
    RELATIONS.clear();
    USELOGOUT = 1;
    PREVUSELOGOUT = 1;
    LOGOUTTIMEOUT = 2;
    DEFEREDRELATIONSDONE = 0;
}

void TableRelations::SetAliasOf(TableRelations& base) { ALIASFILE = &base; }

void TableRelations::DeclareRelations() {
    RELATIONS.clear();
    for (const RelationDecl& rd : decl(id_).relations) {
        Entry e;
        e.related = &set_.relations(rd.related);
        e.decl = &rd;
        e.updateMode = rd.updateMode;
        e.deleteMode = rd.deleteMode;
        RELATIONS.push_back(std::move(e));
    }
    DEFEREDRELATIONSDONE = 1;
}

void TableRelations::ShutDown() {
    if (ME != nullptr) ME->ShutDown();
    RELATIONS.clear();
    DEFEREDRELATIONSDONE = 0;
}

// ---------------------------------------------------------------------------
// Opening and closing with related tables

void TableRelations::openWalk(int32_t stamp, bool forcing, std::vector<Entry*>& list) {
    for (Entry& e : RELATIONS) {
        TableRelations* rel = e.related;
        if (rel->LASTTOUCHED == stamp) continue;
        rel->LASTTOUCHED = stamp;
        if (rel->ME->OpenTable() == kDone) {
            ++e.opens;
            list.push_back(&e);
        }
        // Further only through relations already declared, unless forcing.
        if (forcing && !rel->DEFEREDRELATIONSDONE) rel->DeclareRelations();
        if (rel->DEFEREDRELATIONSDONE) rel->openWalk(stamp, forcing, list);
    }
}

int TableRelations::OpenWithRelated() {
    const bool forcing = FORCINGOPEN != 0;
    int r = ME->OpenTable();
    if (r != kDone) {
        FORCINGOPEN = 0;
        return r;
    }
    if (!DEFEREDRELATIONSDONE) DeclareRelations();
    r = ME->UseOnDemand(kUseAccess);
    const int32_t stamp = set_.nextStamp();
    LASTTOUCHED = stamp;
    opened_.emplace_back();
    openWalk(stamp, forcing, opened_.back());
    FORCINGOPEN = 0;
    return r;
}

void TableRelations::CloseWithRelated() {
    // Undoes exactly the opens of the matching OpenWithRelated.
    if (!opened_.empty()) {
        std::vector<Entry*> list = std::move(opened_.back());
        opened_.pop_back();
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            Entry* e = *it;
            if (e->opens > 0) --e->opens;
            e->related->ME->CloseTable();
        }
    }
    ME->CloseTable();
}

void TableRelations::PropagateQuickScan(bool on, bool) {
    // The option belongs to the thread's connection, so it reaches the
    // related tables as well.
    if (ME->USED) ME->connection().setOption(on ? "QUICKSCAN=on" : "QUICKSCAN=off");
}

// ---------------------------------------------------------------------------
// Link values

std::vector<Value> TableRelations::ownerLinkValues(const Entry& e) const {
    std::vector<Value> v;
    for (const LinkDecl& l : e.decl->links) v.push_back(ME->BUFFER.get(l.ownField));
    return v;
}

void TableRelations::SnapshotLinkFields() {
    if (!DEFEREDRELATIONSDONE) DeclareRelations();
    for (Entry& e : RELATIONS)
        if (e.decl->linked) e.snapshot = ownerLinkValues(e);
}

bool TableRelations::linkMatches(const Entry& e, const std::vector<Value>& owner) const {
    const Record& child = e.related->ME->BUFFER;
    for (size_t i = 0; i < e.decl->links.size(); ++i) {
        const LinkDecl& l = e.decl->links[i];
        Value cv = child.get(l.relatedField);
        if (l.text) {
            // Compared as the child key does (no-case), at the child's width.
            std::string o = fitText(owner[i].asText(), static_cast<size_t>(l.relatedLength));
            if (compareNoCase(o, cv.asText()) != 0) return false;
        } else if (!(cv.asNumber() == owner[i].asNumber())) {
            return false;
        }
    }
    return true;
}

void TableRelations::assignLinks(const Entry& e, const std::vector<Value>& owner) {
    Record& child = e.related->ME->BUFFER;
    for (size_t i = 0; i < e.decl->links.size(); ++i) child.set(e.decl->links[i].relatedField, owner[i]);
}

// Rows of the related records whose link fields equal `owner`, in the order
// of the child key. Collected first so that changing or deleting them does
// not disturb the walk.
static int relatedRows(TableRelations::Entry& e, const std::vector<Value>& owner,
                       const std::function<bool()>& matches, std::vector<int64_t>& rows, TableGateway*& failed) {
    TableGateway* g = e.related->ME;
    if (g->UseOnDemand() != kDone) {
        failed = g;
        return kUnusable;
    }
    (void)owner;
    g->SetPositionByKey(e.decl->childKey);
    for (;;) {
        int r = g->ReadNextQuiet();
        if (r != kDone) {
            if (g->ATEOF) break;
            failed = g;
            return kNotDone;
        }
        if (!matches()) break;
        rows.push_back(g->file()->currentRow());
    }
    return kDone;
}

// Whether the related records of `e` can go in one statement: deleted
// (nothing of theirs to cascade further), linked by numbers that the related
// buffer holds unchanged (a text link is compared at the related field's
// width, without case), and none of them this thread's reservation, a record
// it logged as added, or one a cancelled insert alone may reach.
bool TableRelations::deletesInOneStatement(const Entry& e, const std::vector<Value>& owner) const {
    const TableRelations* rel = e.related;
    const TableGateway* g = rel->ME;
    if (e.deleteMode != RelMode::Cascade || set_.cascadeOnlySince || g->AUTOINCDONE) return false;
    // The log of added records names rows: those are forgotten one by one.
    if (set_.HasCreated(rel->id())) return false;
    if (g->file() == nullptr || g->file()->hasReservation()) return false;
    for (const Entry& own : rel->RELATIONS)
        if (own.decl->linked && own.deleteMode != RelMode::None) return false;
    for (size_t i = 0; i < e.decl->links.size(); ++i) {
        const LinkDecl& l = e.decl->links[i];
        if (l.text || !(g->BUFFER.get(l.relatedField).asNumber() == owner[i].asNumber())) return false;
    }
    return true;
}

int TableRelations::cascadeDelete(Entry& e, TableGateway*& failed) {
    TableRelations* rel = e.related;
    TableGateway* g = rel->ME;
    if (!rel->DEFEREDRELATIONSDONE) rel->DeclareRelations();
    const std::vector<Value> owner = ownerLinkValues(e);
    assignLinks(e, owner);
    if (g->UseOnDemand() == kDone && deletesInOneStatement(e, owner)) {
        int64_t deleted = 0;
        const storage::Status st = g->file()->deleteByKey(e.decl->childKey, g->BUFFER, &deleted);
        if (!st.ok()) {
            g->recordError(kMsgDelete, st);
            failed = g;
            return kNotDone;
        }
        return kDone;
    }
    std::vector<int64_t> rows;
    int r = relatedRows(e, owner, [&] { return linkMatches(e, owner); }, rows, failed);
    if (r != kDone) return r;
    if (set_.cascadeOnlySince)
        std::erase_if(rows, [&](int64_t row) { return !set_.CreatedSince(*set_.cascadeOnlySince, rel->id(), row); });
    for (int64_t row : rows) {
        storage::Status st = g->file()->readByRow(row, g->BUFFER);
        if (!st.ok()) {
            g->recordError(kMsgDelete, st);
            failed = g;
            return kNotDone;
        }
        switch (e.deleteMode) {
        case RelMode::Restrict:
            g->recordError(kMsgRestrict, {});
            failed = g;
            return kNotDone;
        case RelMode::Clear:
            for (const LinkDecl& l : e.decl->links) g->BUFFER.set(l.relatedField, Value());
            for (const LinkDecl& l : e.decl->links)
                if (l.text) g->BUFFER.setText(l.relatedField, "");
            if (g->UpdateRecordQuiet() != kDone) {
                failed = g;
                return kNotDone;
            }
            break;
        case RelMode::Cascade:
            r = rel->applyDeleteModes(failed);
            if (r != kDone) return r;
            if (g->DeleteCurrentRecord(false) != kDone) {
                failed = g;
                return kNotDone;
            }
            break;
        case RelMode::None:
            break;
        }
    }
    return kDone;
}

int TableRelations::applyDeleteModes(TableGateway*& failed) {
    if (!DEFEREDRELATIONSDONE) DeclareRelations();
    for (Entry& e : RELATIONS) {
        if (!e.decl->linked || e.deleteMode == RelMode::None) continue;
        int r = cascadeDelete(e, failed);
        if (r != kDone) return r;
    }
    return kDone;
}

int TableRelations::cascadeUpdate(Entry& e, TableGateway*& failed) {
    TableRelations* rel = e.related;
    TableGateway* g = rel->ME;
    const std::vector<Value> oldValues = e.snapshot;
    const std::vector<Value> newValues = ownerLinkValues(e);
    assignLinks(e, oldValues);
    std::vector<int64_t> rows;
    int r = relatedRows(e, oldValues, [&] { return linkMatches(e, oldValues); }, rows, failed);
    if (r != kDone) return r;
    for (int64_t row : rows) {
        storage::Status st = g->file()->readByRow(row, g->BUFFER);
        if (!st.ok()) {
            g->recordError(kMsgRewrite, st);
            failed = g;
            return kNotDone;
        }
        switch (e.updateMode) {
        case RelMode::Restrict:
            g->recordError(kMsgRestrict, {});
            failed = g;
            return kNotDone;
        case RelMode::Clear:
            for (const LinkDecl& l : e.decl->links) g->BUFFER.set(l.relatedField, l.text ? Value("") : Value());
            break;
        case RelMode::Cascade:
            assignLinks(e, newValues);
            break;
        case RelMode::None:
            continue;
        }
        if (g->UpdateRecordQuiet() != kDone) {
            failed = g;
            return kNotDone;
        }
    }
    return kDone;
}

void TableRelations::collectCascade(std::vector<TableRelations*>& out, bool forDelete) {
    if (std::find(out.begin(), out.end(), this) != out.end()) return;
    out.push_back(this);
    if (!DEFEREDRELATIONSDONE) DeclareRelations();
    for (Entry& e : RELATIONS) {
        if (!e.decl->linked) continue;
        RelMode m = forDelete ? e.deleteMode : e.updateMode;
        if (m == RelMode::None) continue;
        // A clear on delete rewrites the related records: their own update
        // relations come in as for a change.
        e.related->collectCascade(out, forDelete && m != RelMode::Clear);
    }
}

// ---------------------------------------------------------------------------
// Deleting and changing with related records

int TableRelations::DeleteWithRelated(bool ask) { return deleteWithRelated(ask, false); }

int TableRelations::DeleteReadWithRelated() { return deleteWithRelated(false, true); }

int TableRelations::deleteWithRelated(bool ask, bool readInUnit) {
    if (ask) {
        if (ME->report(kMsgConfirmDelete, {}) != Answer::Yes) return kCancelled;
        ME->LASTERROR = 0;
    }
    for (;;) {
        // Where the record is, so that it is read again inside the unit.
        const bool hadCurrent = ME->file() != nullptr && ME->file()->hasCurrent();
        const int64_t row = hadCurrent ? ME->file()->currentRow() : 0;
        const Record keyValues = ME->BUFFER;
        const bool inUnit = ME->connection().transactionDepth() > 0;

        RequestRelatedOpen();
        OpenWithRelated();
        int result = kDone;
        TableGateway* failed = nullptr;

        // Every table the delete reaches is opened before the write lock is
        // taken: an open may have to show a message.
        std::vector<TableRelations*> reach;
        collectCascade(reach, true);
        for (TableRelations* t : reach)
            if (t->ME->UseOnDemand() != kDone) {
                failed = t->ME;
                result = kUnusable;
                break;
            }

        if (result == kDone) {
            std::optional<storage::Transaction> tx;
            if (USELOGOUT) tx.emplace(ME->connection(), std::chrono::milliseconds(LOGOUTTIMEOUT * 1000));
            if (tx && !tx->ok()) {
                ME->recordError(kMsgTransaction, tx->status());
                failed = ME;
                result = kNotDone;
            } else {
                // The record the buffer holds (the one the form or list
                // shows), found again by its key: the table may have read
                // other records since on this thread.
                ME->BUFFER = keyValues;
                // Read inside the unit of work that still holds the write
                // lock: nobody can have changed it since.
                const bool asRead = readInUnit && hadCurrent && inUnit;
                storage::Status st = asRead ? storage::Status{} : ME->rereadByUniqueKey();
                if (st.code == storage::kRecordNotAvailable && hadCurrent && !holdsUniqueKey(*ME)) {
                    // No key value to find it by: the current record serves
                    // only when it is the very record the buffer holds.
                    Record probe(ME->BUFFER.layoutPtr());
                    st = ME->file()->readByRow(row, probe);
                    if (st.ok() && !(probe == keyValues)) st = storage::Status::make(storage::kRecordNotAvailable);
                    if (st.ok()) ME->BUFFER = probe;
                }
                if (!st.ok()) {
                    ME->BUFFER = keyValues;
                    ME->recordError(kMsgDelete, st);
                    failed = ME;
                    result = kNotDone;
                }
                if (result == kDone) result = applyDeleteModes(failed);
                if (result == kDone && ME->DeleteCurrentRecord(false) != kDone) {
                    failed = ME;
                    result = kNotDone;
                }
                if (tx) {
                    if (result == kDone) {
                        storage::Status cs = tx->commit();
                        if (!cs.ok()) {
                            ME->recordError(kMsgDelete, cs);
                            failed = ME;
                            result = kNotDone;
                        }
                    } else {
                        tx->rollback();
                    }
                }
            }
        }
        CloseWithRelated();
        if (result == kDone) {
            set_.showDeferred();
            return kDone;
        }
        // The unit is over: now the failure may be shown and the user asked.
        set_.showDeferred();
        if (failed != nullptr) failed->ShowLastError();
        if (ME->report(kMsgDeleteAgain, {}) != Answer::Yes) return result == kUnusable ? kUnusable : kNotDone;
        ME->LASTERROR = 0;
    }
}

int TableRelations::UpdateWithRelated(bool use8) {
    RequestRelatedOpen();
    OpenWithRelated();
    std::vector<TableRelations*> reach;
    collectCascade(reach, false);
    for (TableRelations* t : reach)
        if (t->ME->UseOnDemand() != kDone) {
            CloseWithRelated();
            return kUnusable;
        }
    std::optional<storage::Transaction> tx;
    if (USELOGOUT) {
        tx.emplace(ME->connection(), std::chrono::milliseconds(LOGOUTTIMEOUT * 1000));
        if (!tx->ok()) {
            ME->recordError(kMsgTransaction, tx->status());
            tx.reset();
            CloseWithRelated();
            ME->ShowLastError();
            return kNotDone;
        }
    }
    TableGateway* failed = nullptr;
    int result = kDone;
    if (ME->UpdateRecordQuiet() != kDone) {
        failed = ME;
        result = ME->LASTERROR == kMsgChanged ? kNotDone : kRewriteFailed;
        if (use8 && ME->LASTERROR == kMsgChanged) ME->LASTERROR = kMsgChangedShown;
    }
    if (result == kDone) {
        for (Entry& e : RELATIONS) {
            if (!e.decl->linked || e.updateMode == RelMode::None || e.snapshot.empty()) continue;
            std::vector<Value> now = ownerLinkValues(e);
            bool changed = false;
            for (size_t i = 0; i < now.size(); ++i) {
                const LinkDecl& l = e.decl->links[i];
                if (l.text ? compareNoCase(now[i].asText(), e.snapshot[i].asText()) != 0
                           : !(now[i].asNumber() == e.snapshot[i].asNumber()))
                    changed = true;
            }
            if (!changed) continue;
            if (cascadeUpdate(e, failed) != kDone) {
                result = kRewriteFailed;
                break;
            }
        }
    }
    if (tx) {
        if (result == kDone) {
            storage::Status cs = tx->commit();
            if (!cs.ok()) {
                ME->recordError(kMsgRewrite, cs);
                failed = ME;
                result = kRewriteFailed;
            }
        } else {
            tx->rollback();
        }
        tx.reset();
    }
    CloseWithRelated();
    set_.showDeferred();
    if (result != kDone && failed != nullptr) failed->ShowLastError();
    if (result == kDone) SnapshotLinkFields();
    return result;
}

int TableRelations::CancelPendingInsert() {
    if (!ME->AUTOINCDONE) return kDone;
    std::vector<TableRelations*> reach;
    collectCascade(reach, true);
    for (TableRelations* t : reach)
        if (t->ME->UseOnDemand() != kDone) return kUnusable;
    TableGateway* failed = nullptr;
    int result = kDone;
    // A cancel that is rolled back leaves the reservation and the log of what
    // was added under it as they were, so that it can be done again.
    TableSetSnapshot before(set_);
    {
        storage::Transaction tx(ME->connection(), std::chrono::milliseconds(LOGOUTTIMEOUT * 1000));
        if (!tx.ok()) {
            ME->recordError(kMsgTransaction, tx.status());
            failed = ME;
            result = kNotDone;
        } else {
            // What this thread stored under the new record since its number
            // was reserved (the lines its form added) goes with it; records
            // of others that share its link values (a folio shown to two
            // users, a typed code) stay.
            set_.cascadeOnlySince = ME->CreationMark();
            result = applyDeleteModes(failed);
            set_.cascadeOnlySince.reset();
            if (result == kDone && ME->CancelPendingInsert() != kDone) {
                failed = ME;
                result = kNotDone;
            }
            if (result == kDone) {
                storage::Status cs = tx.commit();
                if (!cs.ok()) {
                    ME->recordError(kMsgDelete, cs);
                    failed = ME;
                    result = kNotDone;
                }
            } else {
                tx.rollback();
            }
        }
    }
    if (result != kDone) before.restore();
    set_.showDeferred();
    if (result != kDone && failed != nullptr) failed->ShowLastError();
    return result;
}

}  // namespace tv::data
