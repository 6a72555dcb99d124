#include "movements/wizard/picked_lines.h"

#include <algorithm>

#include "data/transaction.h"
#include "movements/common/stock.h"
#include "platform/errors/error_reporter.h"

namespace tv::movements::wizard {

using data::TableId;

namespace {

constexpr int kMsgTransaction = 24;

struct Fields {
    const data::TableDecl& tor = data::decl(TableId::Temporden);
    const data::TableDecl& art = data::decl(TableId::Articulo);
    int id = tor.fieldIndex("TOR:ID");
    int article = tor.fieldIndex("TOR:Articulo");
    int quantity = tor.fieldIndex("TOR:Cantidad");
    int cost = tor.fieldIndex("TOR:Costo");
    int noArt = art.fieldIndex("ART:NoArt");
    int minimum = art.fieldIndex("ART:StockMinimo");
    int ideal = art.fieldIndex("ART:StockIdeal");
    int ordered = art.fieldIndex("ART:Pedido");
    int received = art.fieldIndex("ART:Recibido");
};

const Fields& F() {
    static const Fields f;
    return f;
}

// The largest value a DECIMAL field holds.
Decimal Largest(const FieldSpec& f) {
    long long unscaled = 1;
    for (int i = 0; i < f.size; ++i) unscaled *= 10;
    return Decimal::fromScaled(unscaled - 1, f.places);
}

}  // namespace

std::string SelectionFilter(Selection s) {
    // The texts as the list has always used them (blanks included).
    switch (s) {
        case Selection::BelowMinimum: return "( ART:ExistenciaAnterior + ART:Entradas - ART:Salidas ) < ART:StockMinimo ";
        case Selection::BelowIdeal: return " ( ART:ExistenciaAnterior + ART:Entradas - ART:Salidas ) < ART:StockIdeal ";
        case Selection::All: break;
    }
    return {};
}

Decimal SuggestedQuantity(const Record& a, Selection s) {
    if (s == Selection::All) return Decimal();
    const Fields& f = F();
    const Decimal level = a.number(s == Selection::BelowMinimum ? f.minimum : f.ideal);
    const Decimal expected = a.number(f.ordered) - a.number(f.received);
    const Decimal q = (level - StockOnHand(a) - expected).rounded(2);
    if (q.sign() <= 0) return Decimal();
    return std::min(q, Largest(f.tor.layout->field(f.quantity)));
}

bool ReadPicked(data::ThreadTableSet& tables, std::vector<PickedLine>& out) {
    data::TableGateway& g = tables.gateway(TableId::Temporden);
    if (g.UseOnDemand() != data::kDone) return false;
    // A handle of its own: the gateway's record and position stay as they are.
    storage::Table t(tables.connection(), data::storageDef(TableId::Temporden));
    Record r(g.BUFFER.layoutPtr());
    t.setOrder(storage::Table::kRecordOrder);
    storage::Status st;
    const Fields& f = F();
    while ((st = t.next(r)).ok())
        out.push_back({r.number(f.id).toInt64(), r.number(f.article), r.number(f.quantity), r.number(f.cost)});
    return st.code == storage::kRecordNotAvailable;
}

bool ClearPicked(data::ThreadTableSet& tables) {
    data::TableGateway& g = tables.gateway(TableId::Temporden);
    if (g.UseOnDemand() != data::kDone) return false;
    data::DataTransaction tx(tables);
    if (!tx.ok()) {
        g.report(kMsgTransaction, tx.status());
        return false;
    }
    bool failed = g.SetPositionToStart() != data::kDone;
    while (!failed && g.ReadNextQuiet() == data::kDone)
        failed = g.DeleteCurrentRecord(false) != data::kDone;
    // The walk ends at the end of the rows, not at a read error.
    failed = failed || g.ATEOF == 0;
    const bool ok = !failed && tx.commit();
    if (!ok) {
        tx.rollback();
        g.ShowLastError();
    }
    g.BUFFER.clear();
    return ok;
}

PickOutcome PickArticle(data::ThreadTableSet& tables, const Decimal& noArt, Selection s) {
    const Fields& f = F();
    data::TableGateway& ag = tables.gateway(TableId::Articulo);
    Record& a = ag.BUFFER;
    if (noArt.isZero()) return PickOutcome::NoArticle;
    a.clear();
    a.setNumber(f.noArt, noArt);
    if (ag.ReadByKey("ART:KeyNoArt") != data::kDone) return PickOutcome::NoArticle;
    data::TableGateway& g = tables.gateway(TableId::Temporden);
    g.BUFFER.clear();
    g.BUFFER.setNumber(f.article, noArt);
    if (g.ReadByKeyOrClear("TOR:KeyArticulo") == data::kDone) return PickOutcome::AlreadyListed;
    g.BUFFER.clear();
    g.BUFFER.setNumber(f.article, noArt);
    g.BUFFER.setNumber(f.quantity, SuggestedQuantity(a, s));
    return g.InsertRecord() == data::kDone ? PickOutcome::Added : PickOutcome::Failed;
}

PickedTotals TotalsOf(const std::vector<PickedLine>& lines) {
    PickedTotals t;
    for (const PickedLine& l : lines) {
        t.quantity += l.quantity;
        t.amount += LineAmount(Value(l.quantity), Value(l.cost));
    }
    return t;
}

}  // namespace tv::movements::wizard
