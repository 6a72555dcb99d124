#include "data/leftovers.h"

#include <chrono>
#include <cstdio>
#include <set>

#include "platform/storage/owners.h"

namespace tv::data {

namespace {

// How long the start waits for another station's unit of work.
constexpr std::chrono::milliseconds kStartLockTimeout{3000};

int fieldOf(TableId t, const char* name) { return decl(t).fieldIndex(name); }

// The tables whose records can be reserved (every shared base table).
std::vector<TableId> sharedTables() {
    std::vector<TableId> out;
    for (const TableDecl& d : tableDecls())
        if (!d.aliasOf && !d.threadPrivate) out.push_back(d.id);
    return out;
}

storage::Status deleteLinesUnder(storage::Connection& c, const HeldLines& held, int64_t value, Released* r) {
    int64_t n = 0;
    storage::Status st =
        storage::deleteWhere(c, *storageDef(held.lines), fieldOf(held.lines, held.linkField), Value(value), &n);
    if (r != nullptr) r->lines += n;
    return st;
}

}  // namespace

const std::vector<HeldLines>& HeldLinesOfDocuments() {
    static const std::vector<HeldLines> held = {
        {TableId::Entradas, "ENT:Folio", TableId::DetEntradas, "DEN:ENTRADA", true},
        {TableId::Salidas, "SAL:Folio", TableId::DetSalidas, "DES:SALIDA", true},
        {TableId::Ordenes, "ORD:Folio", TableId::DetOrdenes, "DOR:ORDEN", true},
        {TableId::Fisico, "FIS:ID", TableId::DetFisico, "DFI:INVENTARIO", false},
    };
    return held;
}

const HeldLines* HeldLinesOf(TableId header) {
    for (const HeldLines& h : HeldLinesOfDocuments())
        if (h.header == header) return &h;
    return nullptr;
}

std::string ClaimTable(TableId header) { return storageDef(header)->table; }

std::string PendingChildCode(int64_t reservedRow) { return "\x01" + std::to_string(reservedRow); }

storage::Status ReleaseOwner(storage::Connection& c, const std::string& owner, Released* r) {
    for (TableId t : sharedTables()) {
        std::vector<storage::PendingRow> rows;
        storage::Status st = storage::pendingRowsOf(c, *storageDef(t), owner, rows);
        if (!st.ok()) return st;
        for (const storage::PendingRow& row : rows) {
            // What was stored under the reservation's own number goes with it.
            for (const HeldLines& held : HeldLinesOfDocuments())
                if (held.header == t && !held.claimed && row.number != 0)
                    if (st = deleteLinesUnder(c, held, row.number, r); !st.ok()) return st;
            if (t == TableId::Proveedores) {
                int64_t n = 0;
                st = storage::deleteWhere(c, *storageDef(TableId::ContProv), fieldOf(TableId::ContProv, "CPV:PROVEEDOR"),
                                          Value(PendingChildCode(row.row)), &n);
                if (!st.ok()) return st;
                if (r != nullptr) r->lines += n;
            }
            int64_t n = 0;
            if (st = storage::deleteRow(c, *storageDef(t), row.row, &n); !st.ok()) return st;
            if (r != nullptr) r->reservations += n;
        }
    }
    if (owner.empty()) return {};
    std::vector<storage::Claim> claims;
    storage::Status st = storage::listClaims(c, claims, owner);
    if (!st.ok()) return st;
    for (const storage::Claim& claim : claims) {
        for (const HeldLines& held : HeldLinesOfDocuments()) {
            if (!held.claimed || ClaimTable(held.header) != claim.table) continue;
            bool stored = false;
            st = storage::hasStored(c, *storageDef(held.header), fieldOf(held.header, held.headerField), claim.value,
                                    stored);
            if (st.ok() && !stored) st = deleteLinesUnder(c, held, claim.value, r);
            if (!st.ok()) return st;
        }
        st = storage::dropClaims(c, claim.table, owner, claim.value);
        if (!st.ok()) return st;
        if (r != nullptr) ++r->claims;
    }
    return {};
}

storage::Status ReleaseUnheldLines(storage::Connection& c, const HeldLines& held, int64_t value, Released* r) {
    bool stored = false;
    storage::Status st =
        storage::hasStored(c, *storageDef(held.header), fieldOf(held.header, held.headerField), value, stored);
    if (!st.ok() || stored) return st;
    if (held.claimed) {
        std::optional<storage::Claim> claim;
        st = storage::findClaim(c, ClaimTable(held.header), value, claim);
        if (!st.ok() || claim) return st;
    }
    return deleteLinesUnder(c, held, value, r);
}

int ReleaseLeftovers(ThreadTableSet& set, Released* released) {
    storage::Connection& c = set.connection();
    if (!c.isOpen() || c.readOnly()) return kNotDone;
    storage::OwnerRegistry& owners = storage::ownersOf(c);
    // Who holds anything; a dead owner stays dead, so asking before the unit is enough.
    std::set<std::string> holders;
    for (TableId t : sharedTables()) {
        std::vector<std::string> of;
        if (!storage::pendingOwners(c, *storageDef(t), of).ok()) return kNotDone;
        holders.insert(of.begin(), of.end());
    }
    std::vector<storage::Claim> claims;
    if (!storage::listClaims(c, claims).ok()) return kNotDone;
    for (const storage::Claim& claim : claims) holders.insert(claim.owner);
    std::vector<std::string> dead;
    for (const std::string& o : holders)
        if (!owners.isAlive(o)) dead.push_back(o);

    Released r;
    storage::Status st;
    {
        storage::Transaction tx(c, kStartLockTimeout);
        st = tx.status();
        for (std::size_t i = 0; st.ok() && i < dead.size(); ++i) st = ReleaseOwner(c, dead[i], &r);
        // Lines no form holds under a number no document has.
        for (const HeldLines& held : HeldLinesOfDocuments()) {
            if (!st.ok()) break;
            std::vector<int64_t> values;
            const std::string claimTable = ClaimTable(held.header);
            st = storage::unmatchedValues(
                c, *storageDef(held.lines), fieldOf(held.lines, held.linkField), *storageDef(held.header),
                fieldOf(held.header, held.headerField), held.claimed,
                held.claimed ? std::optional<std::string_view>(claimTable) : std::nullopt, values);
            for (std::size_t i = 0; st.ok() && i < values.size(); ++i) st = deleteLinesUnder(c, held, values[i], &r);
        }
        if (st.ok()) st = tx.commit();
        else tx.rollback();
    }
    if (!st.ok()) {
        std::fprintf(stderr, "talvor: leftovers of closed stations not released: %s\n", st.text.c_str());
        return kNotDone;
    }
    owners.sweep();
    if (released != nullptr) *released = r;
    return kDone;
}

}  // namespace tv::data
