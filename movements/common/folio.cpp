#include "movements/common/folio.h"

#include <algorithm>
#include <optional>

#include "data/leftovers.h"
#include "platform/storage/owners.h"

namespace tv::movements {

namespace {

// How many folios a new document passes over at the most before it takes
// one anyway (its completion still checks it).
constexpr int kMostPassedOver = 10000;

int counterField(const FolioRule& rule) { return Posting::Field(data::TableId::Folios, rule.counterField); }

std::string keyLabel(const FolioRule& rule) {
    const data::TableDecl& d = data::decl(rule.header);
    const int key = d.keyIndex(rule.folioKey);
    return key >= 0 ? d.keys[static_cast<std::size_t>(key)].label : std::string(rule.folioKey);
}

std::string folioText(long long folio) { return std::to_string(folio); }

}  // namespace

long long FolioCounter(data::ThreadTableSet& tables, const FolioRule& rule) {
    data::TableGateway& g = tables.gateway(data::TableId::Folios);
    if (g.UseOnDemand() != data::kDone || g.file() == nullptr) return 0;
    storage::Table& f = *g.file();
    const KeepHandle keep(&f);
    Record probe(g.BUFFER.layoutPtr());
    probe.clear();
    f.setOrder(storage::Table::kRecordOrder);
    if (!f.next(probe).ok()) return 0;
    return probe.number(counterField(rule)).toInt64();
}

bool FolioStored(data::ThreadTableSet& tables, const FolioRule& rule, long long folio) {
    data::TableGateway& g = tables.gateway(rule.header);
    if (g.UseOnDemand() != data::kDone || g.file() == nullptr) return false;
    const data::TableDecl& d = g.declaration();
    Record probe(g.BUFFER.layoutPtr());
    probe.clear();
    probe.set(d.fieldIndex(rule.folioField), Value(folio));
    const KeepHandle keep(g.file());
    return g.file()->readByKey(d.keyIndex(rule.folioKey), probe).ok();
}

namespace {

std::string claimTable(const FolioRule& rule) { return data::ClaimTable(rule.header); }

const data::HeldLines& heldLines(const FolioRule& rule) {
    static const data::HeldLines none{};
    const data::HeldLines* h = data::HeldLinesOf(rule.header);
    return h != nullptr ? *h : none;
}

bool claimed(data::ThreadTableSet& tables, const FolioRule& rule, long long folio) {
    std::optional<storage::Claim> claim;
    return !storage::findClaim(tables.connection(), claimTable(rule), folio, claim).ok() || claim.has_value();
}

bool storageFailed(Posting& p, const FolioRule& rule, const storage::Status& st) {
    data::TableGateway& g = p.Gateway(rule.header);
    g.recordError(1, st);
    return p.TableFailed(g);
}

std::string storedText(const FolioRule& rule, long long folio) {
    return "El folio " + folioText(folio) + " ya es de " + rule.what + " registrada. Escriba otro folio.";
}

std::string heldText(long long folio) {
    return "El folio " + folioText(folio) + " es de otro documento que se está capturando. Escriba otro folio.";
}

constexpr const char* kZeroText = "Escriba el folio antes de agregar artículos: no puede ser cero.";

enum class Met { Free, Ours, Stored, Held, Failed };

// In a unit: what `folio` is to this form, once what forms that are no
// longer open left under it (their claim, with its lines) is released;
// with `releaseUnheld`, also the lines under it that nobody holds.
// `storedAsked`: the caller has just found no stored document under it.
Met meetFolio(Posting& p, const FolioRule& rule, long long folio, bool releaseUnheld, bool storedAsked = false) {
    if (p.Failed()) return Met::Failed;
    if (!storedAsked && FolioStored(p.Tables(), rule, folio)) return Met::Stored;
    storage::Connection& c = p.Tables().connection();
    std::optional<storage::Claim> claim;
    storage::Status st = storage::findClaim(c, claimTable(rule), folio, claim);
    if (st.ok() && claim) {
        if (claim->owner == c.owner()) return Met::Ours;
        if (storage::ownersOf(c).isAlive(claim->owner)) return Met::Held;
        st = data::ReleaseOwner(c, claim->owner);
    }
    if (st.ok() && releaseUnheld) st = data::ReleaseUnheldLines(c, heldLines(rule), folio);
    if (!st.ok()) {
        storageFailed(p, rule, st);
        return Met::Failed;
    }
    return Met::Free;
}

}  // namespace

long long FolioForNewDocument(data::ThreadTableSet& tables, const FolioRule& rule) {
    const long long start = std::max(FolioCounter(tables, rule), 1LL);
    for (long long f = start; f < start + kMostPassedOver; ++f)
        if (!FolioStored(tables, rule, f) && !HasLines(tables, rule.lines, Value(f)) && !claimed(tables, rule, f))
            return f;
    return start;
}

std::optional<std::string> FolioRefusal(data::ThreadTableSet& tables, const FolioRule& rule, long long folio) {
    if (folio <= 0) return std::string(kZeroText);
    if (FolioStored(tables, rule, folio)) return storedText(rule, folio);
    storage::Connection& c = tables.connection();
    std::optional<storage::Claim> claim;
    if (storage::findClaim(c, claimTable(rule), folio, claim).ok() && claim && claim->owner != c.owner() &&
        storage::ownersOf(c).isAlive(claim->owner))
        return heldText(folio);
    return std::nullopt;
}

bool HoldFolio(Posting& p, const FolioRule& rule, long long folio) {
    if (p.Failed()) return false;
    if (folio <= 0) return p.RefuseWith(kFolioCaption, kZeroText);
    switch (meetFolio(p, rule, folio, true)) {
        case Met::Ours: return true;
        case Met::Stored: return p.RefuseWith(kFolioCaption, storedText(rule, folio));
        case Met::Held: return p.RefuseWith(kFolioCaption, heldText(folio));
        case Met::Failed: return false;
        case Met::Free: break;
    }
    storage::Connection& c = p.Tables().connection();
    const std::string owner = c.owner();
    storage::Status st = storage::dropClaims(c, claimTable(rule), owner);
    if (st.ok()) st = storage::putClaim(c, {claimTable(rule), folio, owner});
    return st.ok() || storageFailed(p, rule, st);
}

bool ReleaseFolio(Posting& p, const FolioRule& rule) {
    if (p.Failed()) return false;
    storage::Connection& c = p.Tables().connection();
    const storage::Status st = storage::dropClaims(c, claimTable(rule), c.owner());
    return st.ok() || storageFailed(p, rule, st);
}

long long HoldFolioForNewDocument(data::ThreadTableSet& tables, const FolioRule& rule) {
    long long folio = 0;
    const bool held = RunAsOneUnit(tables, {.primary = rule.header, .quiet = true}, [&](Posting& p) {
        const long long start = std::max(FolioCounter(p.Tables(), rule), 1LL);
        for (long long f = start; f < start + kMostPassedOver; ++f) {
            const Met m = meetFolio(p, rule, f, true);
            if (m == Met::Failed) return false;
            if (m == Met::Free || m == Met::Ours) {
                folio = f;
                return HoldFolio(p, rule, f);
            }
        }
        return false;
    });
    return held ? folio : FolioForNewDocument(tables, rule);
}

bool TryHoldFolio(data::ThreadTableSet& tables, const FolioRule& rule, long long folio) {
    if (folio <= 0) return false;
    return RunAsOneUnit(tables, {.primary = rule.header, .quiet = true},
                        [&](Posting& p) { return HoldFolio(p, rule, folio); });
}

bool ReserveLine(data::ThreadTableSet& tables, const FolioRule& rule, long long folio,
                 const std::function<void(Record&)>& prime) {
    const data::TableId t = rule.lines.lines;
    data::TableGateway& g = tables.gateway(t);
    // A reservation nobody completed is not left behind.
    if (g.AUTOINCDONE != 0) tables.relations(t).CancelPendingInsert();
    bool reserved = false;
    const bool ok = RunAsOneUnit(tables, {.primary = t}, [&](Posting& p) {
        if (!HoldFolio(p, rule, folio) || !p.Step("reserve line")) return false;
        g.BUFFER.clear();
        if (prime) prime(g.BUFFER);
        if (g.ReserveAutoNumberQuiet() != data::kDone) return p.TableFailed(g);
        reserved = true;
        return true;
    });
    // The rollback took the reservation back; so ends the log it opened.
    if (!ok && reserved) tables.EndCreationLog();
    return ok;
}

bool CancelNewDocument(data::ThreadTableSet& tables, const FolioRule& rule, LineTracker& own) {
    data::TableGateway& g = tables.gateway(rule.header);
    return own.DeleteStored(tables, [&g, &rule](Posting& p) {
        return (g.AUTOINCDONE == 0 || g.CancelPendingInsert() == data::kDone || p.TableFailed(g)) &&
               ReleaseFolio(p, rule);
    });
}

bool CheckFolio(Posting& p, const FolioRule& rule, long long folio, const LineTracker* own,
                std::vector<Record>* lines) {
    if (p.Failed()) return false;
    if (folio <= 0) return p.RefuseWith(kFolioCaption, "El folio es obligatorio y no puede ser cero; no se guardó nada.");
    if (FolioStored(p.Tables(), rule, folio)) return p.Refuse(15, keyLabel(rule));
    switch (meetFolio(p, rule, folio, own != nullptr && own->Empty(), true)) {
        case Met::Held:
            return p.RefuseWith(kFolioCaption, "El folio " + folioText(folio) +
                                                   " es de otro documento que se está capturando; no se guardó nada.");
        case Met::Failed: return false;
        default: break;
    }
    if (lines != nullptr) {
        *lines = ReadLines(p, rule.lines, Value(folio));
        if (p.Failed()) return false;
    }
    if (own != nullptr && (lines != nullptr ? own->Foreign(p.Tables(), *lines)
                                            : own->Foreign(p.Tables(), Value(folio))) > 0)
        return p.RefuseWith(kFolioCaption, "El folio " + folioText(folio) +
                                               " tiene artículos de otro documento que se está capturando; "
                                               "no se guardó nada.");
    return ReleaseFolio(p, rule);
}

bool AdvanceFolio(Posting& p, const FolioRule& rule, long long folio) {
    if (p.Failed()) return false;
    data::TableGateway& g = p.Gateway(data::TableId::Folios);
    const int field = counterField(rule);
    if (g.SetPositionToStart() != data::kDone) return p.TableFailed(g);
    const int r = g.ReadNextQuiet();
    if (r == data::kDone) {
        const Decimal next = std::max(g.BUFFER.number(field), Decimal(folio + 1));
        if (next == g.BUFFER.number(field)) return true;
        return p.Store(data::TableId::Folios, field, Value(next)) && p.Update(data::TableId::Folios);
    }
    if (g.ATEOF == 0) return p.TableFailed(g);
    // No folio record yet: this completion adds it.
    g.BUFFER.clear();
    return p.Store(data::TableId::Folios, field, Value(Decimal(folio + 1))) && p.Insert(data::TableId::Folios);
}

}  // namespace tv::movements
