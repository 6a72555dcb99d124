#pragma once
// A new document as its form builds it at one station, without the
// windows: the header reserved as "&Agregar" does, the folio held when the
// form opens, each line reserved under it (checked in the same unit) and
// then stored as the line form stores it, the cancel giving everything
// back. "Aceptar" is the document's completion with Tracker().
//
//     FormStation form(c.tables, kReceiptFolio, kReceiptShape);
//     const long long folio = form.Open();
//     form.AddLine({10, Decimal(1), D(250)});
//     CompleteReceipt(c.tables, &form.Tracker());
#include "data/thread_table_set.h"
#include "movements/common/folio.h"
#include "movements/common/lines.h"
#include "platform/threads/thread_state.h"
#include "tests/movements/support/document_entry.h"

namespace tv::movements::test {

class FormStation {
public:
    FormStation(data::ThreadTableSet& tables, const FolioRule& rule, DocumentShape shape)
        : tables_(tables), rule_(rule), shape_(shape), tracker_(rule.lines) {}

    // The form opens on a new document: its folio (held when it could be).
    long long Open() {
        data::TableGateway& h = tables_.gateway(shape_.header);
        if (h.PrepareNewRecord() != data::kDone) return 0;
        tracker_ = LineTracker(rule_.lines);
        folio_ = HoldFolioForNewDocument(tables_, rule_);
        Header().set(field(shape_.header, rule_.folioField), Value(folio_));
        return folio_;
    }
    // The user types another folio: held instead when it may be.
    bool Type(long long folio) {
        folio_ = folio;
        Header().set(field(shape_.header, rule_.folioField), Value(folio));
        return TryHoldFolio(tables_, rule_, folio);
    }
    // "&Agregar" and the line form's "Aceptar"; false when the line was refused.
    bool AddLine(const SeedLine& l) {
        const int link = field(shape_.lines, shape_.link);
        const long long folio = folio_;
        if (!ReserveLine(tables_, rule_, folio, [&](Record& r) { r.set(link, Value(folio)); })) return false;
        data::TableGateway& g = tables_.gateway(shape_.lines);
        g.BUFFER.set(field(shape_.lines, shape_.article), Value(l.article));
        g.BUFFER.set(field(shape_.lines, shape_.quantity), Value(l.quantity));
        if (shape_.cost != nullptr) g.BUFFER.set(field(shape_.lines, shape_.cost), Value(l.cost));
        if (g.InsertRecord() != data::kDone) return false;
        tracker_.AfterLineForm(g.BUFFER, kInsert, kCompleted);
        return true;
    }
    // "Cancelar".
    bool Cancel() { return CancelNewDocument(tables_, rule_, tracker_); }

    Record& Header() { return tables_.buffer(shape_.header); }
    LineTracker& Tracker() { return tracker_; }
    long long Folio() const { return folio_; }

private:
    static int field(data::TableId t, const char* name) { return data::decl(t).fieldIndex(name); }

    data::ThreadTableSet& tables_;
    const FolioRule& rule_;
    DocumentShape shape_;
    LineTracker tracker_;
    long long folio_ = 0;
};

}  // namespace tv::movements::test
