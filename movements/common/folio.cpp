#include "movements/common/folio.h"

#include <algorithm>

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

long long FolioForNewDocument(data::ThreadTableSet& tables, const FolioRule& rule) {
    const long long start = std::max(FolioCounter(tables, rule), 1LL);
    for (long long f = start; f < start + kMostPassedOver; ++f)
        if (!FolioStored(tables, rule, f) && !HasLines(tables, rule.lines, Value(f))) return f;
    return start;
}

std::optional<std::string> FolioRefusedForLines(data::ThreadTableSet& tables, const FolioRule& rule, long long folio,
                                                const LineTracker& own) {
    if (folio <= 0) return std::string("Escriba el folio antes de agregar artículos: no puede ser cero.");
    if (FolioStored(tables, rule, folio))
        return "El folio " + folioText(folio) + " ya es de " + rule.what + " registrada. Escriba otro folio.";
    if (own.Foreign(tables, Value(folio)) > 0)
        return "El folio " + folioText(folio) + " tiene artículos de otro documento que se está capturando. "
                                                "Escriba otro folio.";
    return std::nullopt;
}

bool CheckFolio(Posting& p, const FolioRule& rule, long long folio, const LineTracker* own) {
    if (p.Failed()) return false;
    if (folio <= 0) return p.RefuseWith(kFolioCaption, "El folio es obligatorio y no puede ser cero; no se guardó nada.");
    if (FolioStored(p.Tables(), rule, folio)) return p.Refuse(15, keyLabel(rule));
    if (own != nullptr && own->Foreign(p.Tables(), Value(folio)) > 0)
        return p.RefuseWith(kFolioCaption, "El folio " + folioText(folio) +
                                               " tiene artículos de otro documento que se está capturando; "
                                               "no se guardó nada.");
    return true;
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
