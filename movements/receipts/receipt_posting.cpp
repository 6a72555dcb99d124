#include "movements/receipts/receipt_posting.h"

#include <algorithm>
#include <map>
#include <string>

#include "movements/common/stock.h"
#include "platform/types/text.h"

namespace tv::movements::receipts {

using data::TableId;

const LineRule kReceiptLines{TableId::DetEntradas, "DEN:ID", "DEN:KeyId", "DEN:KeyEntrada", "DEN:ENTRADA",
                             "DEN:CodigoArticulo"};
const FolioRule kReceiptFolio{TableId::Entradas, "ENT:Folio", "ENT:KeyFolio", "FOL:ENTRADAS", kReceiptLines,
                              "una entrada de almacén"};

namespace {

const LineRule kOrderLines{TableId::DetOrdenes, "DOR:ID", "DOR:KeyId", "DOR:KeyOrden", "DOR:ORDEN", "DOR:Articulo"};

// Field indexes, looked up once.
struct Fields {
    int folio = Posting::Field(TableId::Entradas, "ENT:Folio");
    int tipo = Posting::Field(TableId::Entradas, "ENT:TIPO");
    int fecha = Posting::Field(TableId::Entradas, "ENT:Fecha");
    int orden = Posting::Field(TableId::Entradas, "ENT:OrdenCompra");
    int proveedor = Posting::Field(TableId::Entradas, "ENT:PROVEEDOR");
    int referencia = Posting::Field(TableId::Entradas, "ENT:Referencia");
    int denId = Posting::Field(TableId::DetEntradas, "DEN:ID");
    int denEntrada = Posting::Field(TableId::DetEntradas, "DEN:ENTRADA");
    int denArticulo = Posting::Field(TableId::DetEntradas, "DEN:CodigoArticulo");
    int denBarras = Posting::Field(TableId::DetEntradas, "DEN:CODBARRAS");
    int denCantidad = Posting::Field(TableId::DetEntradas, "DEN:Cantidad");
    int denCosto = Posting::Field(TableId::DetEntradas, "DEN:CostoUnitario");
    int artPromedio = Posting::Field(TableId::Articulo, "ART:COSTOPROMEDIO");
    int artBarras = Posting::Field(TableId::Articulo, "ART:CodigoBarras");
    int ordFolio = Posting::Field(TableId::Ordenes, "ORD:Folio");
    int ordProveedor = Posting::Field(TableId::Ordenes, "ORD:Proveedor");
    int ordTotal = Posting::Field(TableId::Ordenes, "ORD:TOTALARTICULO");
    int ordSurtido = Posting::Field(TableId::Ordenes, "ORD:TOTALSURTIDO");
    int ordPorc = Posting::Field(TableId::Ordenes, "ORD:PorcSurtido");
    int dorId = Posting::Field(TableId::DetOrdenes, "DOR:ID");
    int dorArticulo = Posting::Field(TableId::DetOrdenes, "DOR:Articulo");
    int dorCantidad = Posting::Field(TableId::DetOrdenes, "DOR:Cantidad");
    int dorCosto = Posting::Field(TableId::DetOrdenes, "DOR:Costo");
    int dorRecibido = Posting::Field(TableId::DetOrdenes, "DOR:Recibido");
    int ppvArticulo = Posting::Field(TableId::PreProv, "PPV:Articulo");
    int ppvProveedor = Posting::Field(TableId::PreProv, "PPV:PROVEEDOR");
    int ppvEntrada = Posting::Field(TableId::PreProv, "PPV:Entrada");
    int ppvPrecio = Posting::Field(TableId::PreProv, "PPV:Precio");
};

const Fields& F() {
    static const Fields f;
    return f;
}

bool PostLine(Posting& p, const Record& line, const std::string& document, const std::string& concepto) {
    const Fields& f = F();
    const Record& h = p.Buffer(TableId::Entradas);
    const Decimal article = line.number(f.denArticulo);
    const Decimal quantity = line.number(f.denCantidad);
    const Decimal cost = line.number(f.denCosto);
    if (!CheckQuantityAndCost(p, article, quantity, cost)) return false;
    if (!ReadArticle(p, article, ArticleNeeds::StockAndCost))
        return p.Failed() ? false : p.RefuseWith(kMissingArticleCaption, MissingArticleText(article));
    Record& a = p.Buffer(TableId::Articulo);
    const std::optional<AverageCost> avg = NewAverageCost(StockOnHand(a), a.number(f.artPromedio), quantity, cost);
    if (avg && !p.Store(TableId::Articulo, f.artPromedio, Value(avg->newAverage))) return false;
    if (!AddToArticle(p, "ART:Entradas", quantity) || !WriteArticle(p)) return false;
    LedgerRow row;
    row.article = article;
    row.date = static_cast<long>(h.number(f.fecha).toInt64());
    row.document = document;
    row.concepto = concepto;
    row.reference = h.get(f.referencia).asText();
    row.in = quantity;
    row.stock = StockOnHand(a);
    row.unitCost = cost;
    row.averageCost = avg ? avg->newAverage : Decimal();
    if (!AddLedgerRow(p, row)) return false;
    // A supplier price row for every line of a receipt that names a supplier.
    const Value supplier = h.get(f.proveedor);
    if (trim(supplier.asText()).empty()) return true;
    constexpr TableId pp = TableId::PreProv;
    p.Buffer(pp).clear();
    return p.Store(pp, f.ppvArticulo, Value(article)) && p.Store(pp, f.ppvProveedor, supplier) &&
           p.Store(pp, f.ppvEntrada, h.get(f.folio)) && p.Store(pp, f.ppvPrecio, Value(cost)) && p.Insert(pp);
}

// The order the receipt names: each receipt line's quantity goes once to the
// order lines of its article, the article's received total rises by it, and
// the order's supplied total and percentage follow.
bool FulfilOrder(Posting& p, const Decimal& orderFolio, const std::vector<Record>& lines) {
    const Fields& f = F();
    Record& o = p.Buffer(TableId::Ordenes);
    o.clear();
    o.setNumber(f.ordFolio, orderFolio);
    if (!p.Find(TableId::Ordenes, "ORD:KeyFolio")) return !p.Failed();  // no such order: nothing to fulfil
    const Record order = o;
    const std::vector<Record> orderLines = ReadLines(p, kOrderLines, Value(orderFolio));
    if (p.Failed()) return false;
    std::map<Decimal, std::vector<std::size_t>> ofArticle;
    std::vector<OrderLineState> state;
    for (std::size_t i = 0; i < orderLines.size(); ++i) {
        ofArticle[orderLines[i].number(f.dorArticulo)].push_back(i);
        state.push_back({orderLines[i].number(f.dorCantidad), orderLines[i].number(f.dorRecibido)});
    }
    std::vector<bool> changed(orderLines.size(), false);
    std::map<Decimal, Decimal> receivedOf;  // by article
    Decimal supplied;
    for (const Record& line : lines) {
        const Decimal article = line.number(f.denArticulo);
        const auto it = ofArticle.find(article);
        if (it == ofArticle.end()) continue;  // not on the order
        const Decimal quantity = line.number(f.denCantidad);
        std::vector<OrderLineState> of;
        for (std::size_t i : it->second) of.push_back(state[i]);
        const std::vector<Decimal> given = DistributeToOrderLines(of, quantity);
        for (std::size_t k = 0; k < given.size(); ++k) {
            state[it->second[k]].received += given[k];
            changed[it->second[k]] = changed[it->second[k]] || !given[k].isZero();
        }
        receivedOf[article] += quantity;
        supplied += quantity;
    }
    Record& dor = p.Buffer(TableId::DetOrdenes);
    for (std::size_t i = 0; i < orderLines.size(); ++i) {
        if (!changed[i]) continue;
        dor = orderLines[i];
        if (!p.Find(TableId::DetOrdenes, "DOR:KeyId")) return p.Failed() ? false : p.RefuseWith(
            "Orden de compra", "Una línea de la orden de compra ya no existe; no se guardó nada.");
        if (!p.Store(TableId::DetOrdenes, f.dorRecibido, Value(state[i].received)) || !p.Update(TableId::DetOrdenes))
            return false;
    }
    for (const auto& [article, quantity] : receivedOf) {
        if (!ReadArticle(p, article))
            return p.Failed() ? false : p.RefuseWith(kMissingArticleCaption, MissingArticleText(article));
        if (!AddToArticle(p, "ART:Recibido", quantity) || !WriteArticle(p)) return false;
    }
    o = order;
    if (!p.Find(TableId::Ordenes, "ORD:KeyFolio")) return false;
    const Decimal total = o.number(f.ordSurtido) + supplied;
    return p.Store(TableId::Ordenes, f.ordSurtido, Value(total)) &&
           p.Store(TableId::Ordenes, f.ordPorc, Value(FulfilledPercent(o.number(f.ordTotal), total))) &&
           p.Update(TableId::Ordenes);
}

}  // namespace

std::optional<AverageCost> NewAverageCost(const Decimal& stock, const Decimal& average, const Decimal& quantity,
                                          const Decimal& cost) {
    if (cost.isZero()) return std::nullopt;
    AverageCost a;
    a.lineValue = (quantity * cost).rounded(2);
    a.newStock = stock + quantity;
    if (stock.sign() <= 0) {
        // Nothing on hand to weigh against: the line's cost is the average.
        a.newAverage = cost.rounded(2);
        return a;
    }
    a.stockValue = (stock * average).rounded(2);
    const Decimal sum = a.stockValue + a.lineValue;
    a.newAverage = a.newStock.isZero() || sum.isZero() ? Decimal() : (sum / a.newStock).rounded(2);
    return a;
}

std::vector<Decimal> DistributeToOrderLines(const std::vector<OrderLineState>& lines, const Decimal& quantity) {
    std::vector<Decimal> given(lines.size());
    Decimal rest = quantity;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i + 1 == lines.size()) {
            given[i] = rest;
            break;
        }
        const Decimal lacking = std::max(lines[i].ordered - lines[i].received, Decimal());
        given[i] = std::min(rest, lacking);
        rest -= given[i];
    }
    return given;
}

Decimal FulfilledPercent(const Decimal& ordered, const Decimal& received) {
    if (ordered.isZero()) return Decimal();
    return (Decimal(100) * received / ordered).rounded(0);
}

bool PostReceipt(Posting& p, const LineTracker* own) {
    const Fields& f = F();
    const Record& h = p.Buffer(TableId::Entradas);
    const Decimal folio = h.number(f.folio);
    std::vector<Record> lines;
    if (!CheckFolio(p, kReceiptFolio, folio.toInt64(), own, &lines)) return false;
    std::string concepto;
    if (!ReadTypeDescription(p, {TableId::TipEntradas, "TEN:KeyCodigo", "TEN:Codigo", "TEN:Descripcion"},
                             h.get(f.tipo), concepto))
        return false;
    const std::string document = DocumentText("ENT-", folio.toInt64());
    long long n = 0;
    for (const Record& line : lines)
        if (!p.Step("line", ++n) || !PostLine(p, line, document, concepto)) return false;
    const Decimal order = h.number(f.orden);
    if (!order.isZero() && (!p.Step("order") || !FulfilOrder(p, order, lines))) return false;
    if (!p.Step("folio") || !AdvanceFolio(p, kReceiptFolio, folio.toInt64())) return false;
    return p.Step("header") && p.Insert(TableId::Entradas);
}

bool CompleteReceipt(data::ThreadTableSet& tables, const LineTracker* own) {
    return RunAsOneUnit(tables, {TableId::Entradas}, [own](Posting& p) { return PostReceipt(p, own); });
}

std::optional<CalledUp> CallUpOrder(data::ThreadTableSet& tables, LineTracker& own) {
    const Fields& f = F();
    Record& h = tables.buffer(TableId::Entradas);
    const Decimal orderFolio = h.number(f.orden);
    if (orderFolio.isZero()) return std::nullopt;
    data::TableGateway& og = tables.gateway(TableId::Ordenes);
    if (og.UseOnDemand() != data::kDone) return std::nullopt;
    Record order(og.BUFFER.layoutPtr());
    order.clear();
    order.setNumber(f.ordFolio, orderFolio);
    if (!og.file()->readByKey(og.declaration().keyIndex("ORD:KeyFolio"), order).ok())
        return CalledUp{.orderFound = false};
    const std::vector<Record> orderLines = ReadLines(tables, kOrderLines, Value(orderFolio));
    const long long folio = h.number(f.folio).toInt64();
    std::vector<long long> added;
    CalledUp out;
    const bool ok = RunAsOneUnit(tables, {TableId::DetEntradas}, [&](Posting& p) {
        added.clear();
        out.missing.clear();
        // The lines go under the folio this form holds, checked in this unit.
        if (!HoldFolio(p, kReceiptFolio, folio)) return false;
        for (const Record& ol : orderLines) {
            const Decimal pending = ol.number(f.dorCantidad) - ol.number(f.dorRecibido);
            if (pending.sign() <= 0) continue;
            const Decimal article = ol.number(f.dorArticulo);
            if (!ReadArticle(p, article)) {
                if (p.Failed()) return false;
                out.missing.push_back(article);
                continue;
            }
            constexpr TableId t = TableId::DetEntradas;
            p.Buffer(t).clear();
            if (!p.Store(t, f.denEntrada, Value(Decimal(folio))) || !p.Store(t, f.denArticulo, Value(article)) ||
                !p.Store(t, f.denBarras, p.Buffer(TableId::Articulo).get(f.artBarras)) ||
                !p.Store(t, f.denCantidad, Value(pending)) || !p.Store(t, f.denCosto, ol.get(f.dorCosto)) ||
                !p.Insert(t))
                return false;
            added.push_back(p.Buffer(t).number(f.denId).toInt64());
        }
        return true;
    });
    if (!ok) return std::nullopt;
    for (long long id : added) own.Add(id);
    out.copied = static_cast<int>(added.size());
    if (out.copied > 0) h.set(f.proveedor, order.get(f.ordProveedor));
    return out;
}

std::optional<std::string> CallUpNotice(const CalledUp& c, long long folio) {
    const std::string n = std::to_string(folio);
    if (!c.orderFound) return "No hay ninguna orden de compra con el folio " + n + ".";
    if (c.missing.empty()) {
        if (c.copied > 0) return std::nullopt;
        return "La orden de compra " + n + " no tiene artículos por recibir.";
    }
    std::string text = c.missing.size() == 1
                           ? "El artículo " + ArticleList(c.missing) + " de la orden de compra " + n +
                                 " ya no existe: no se copió a la entrada."
                           : "Los artículos " + ArticleList(c.missing) + " de la orden de compra " + n +
                                 " ya no existen: no se copiaron a la entrada.";
    if (c.copied == 0) text += " No hay otros artículos por recibir.";
    return text;
}

}  // namespace tv::movements::receipts
