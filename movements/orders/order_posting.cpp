#include "movements/orders/order_posting.h"

#include "movements/common/stock.h"
#include "platform/types/date.h"
#include "platform/types/text.h"

namespace tv::movements::orders {

using data::TableId;

const LineRule kOrderLines{TableId::DetOrdenes, "DOR:ID", "DOR:KeyId", "DOR:KeyOrden", "DOR:ORDEN", "DOR:Articulo"};
const FolioRule kOrderFolio{TableId::Ordenes, "ORD:Folio", "ORD:KeyFolio", "FOL:ORDENCOMPRA", kOrderLines,
                            "una orden de compra"};

namespace {

struct Fields {
    int folio = Posting::Field(TableId::Ordenes, "ORD:Folio");
    int total = Posting::Field(TableId::Ordenes, "ORD:TOTALARTICULO");
    int supplied = Posting::Field(TableId::Ordenes, "ORD:TOTALSURTIDO");
    int percent = Posting::Field(TableId::Ordenes, "ORD:PorcSurtido");
    int article = Posting::Field(TableId::DetOrdenes, "DOR:Articulo");
    int quantity = Posting::Field(TableId::DetOrdenes, "DOR:Cantidad");
    int cost = Posting::Field(TableId::DetOrdenes, "DOR:Costo");
};

const Fields& F() {
    static const Fields f;
    return f;
}

}  // namespace

long DeliveryDate(long orderDate, const Decimal& termDays) {
    if (orderDate == 0) return 0;
    const long long day = static_cast<long long>(orderDate) + termDays.rounded(0).toInt64();
    if (day <= 0 || day > 0x7fffffffLL || !ymdFromDate(static_cast<long>(day))) return 0;
    return static_cast<long>(day);
}

std::string SupplierCityLine(std::string_view city, std::string_view state, std::string_view country) {
    std::string line = std::string(rtrim(city)) + " " + std::string(rtrim(state)) + " " + std::string(rtrim(country));
    return cutText(line, 40);
}

Decimal ReceivedPercent(const Decimal& ordered, const Decimal& received) {
    if (ordered.isZero()) return Decimal();
    return (Decimal(100) / ordered * received).rounded(0);
}

OrderTotals TotalsOf(const std::vector<Record>& lines) {
    OrderTotals t;
    for (const Record& l : lines) {
        t.quantity += l.number(F().quantity);
        t.amount += LineAmount(l.get(F().quantity), l.get(F().cost));
    }
    return t;
}

OrderTotals StoredTotals(data::ThreadTableSet& tables, long long folio) {
    if (folio == 0) return {};
    return TotalsOf(ReadLines(tables, kOrderLines, Value(folio)));
}

bool RaiseOrdered(Posting& p, const std::vector<Record>& lines) {
    long long n = 0;
    for (const Record& line : lines) {
        if (!p.Step("line", ++n)) return false;
        const Decimal article = line.number(F().article);
        if (!CheckQuantityAndCost(p, article, line.number(F().quantity), line.number(F().cost))) return false;
        if (!ReadArticle(p, article, ArticleNeeds::Ordered))
            return p.Failed() ? false : p.RefuseWith(kMissingArticleCaption, MissingArticleText(article));
        if (!RaiseArticleTotal(p, "ART:Pedido", line.number(F().quantity))) return false;
    }
    return !p.Failed();
}

bool PostOrder(Posting& p, const LineTracker* own) {
    const Fields& f = F();
    Record& h = p.Buffer(TableId::Ordenes);
    const long long folio = h.number(f.folio).toInt64();
    std::vector<Record> lines;
    if (!CheckFolio(p, kOrderFolio, folio, own, &lines) || !RaiseOrdered(p, lines)) return false;
    // The totals are those of the lines stored now, whatever the form last
    // summed (only the quantities: the amount is not kept).
    Decimal total;
    for (const Record& l : lines) total += l.number(f.quantity);
    if (!p.Store(TableId::Ordenes, f.total, Value(total)) ||
        !p.Store(TableId::Ordenes, f.percent, Value(ReceivedPercent(total, h.number(f.supplied)))))
        return false;
    if (!p.Step("folio") || !AdvanceFolio(p, kOrderFolio, folio)) return false;
    return p.Step("header") && p.Insert(TableId::Ordenes);
}

bool CompleteOrder(data::ThreadTableSet& tables, const LineTracker* own) {
    return RunAsOneUnit(tables, {TableId::Ordenes}, [own](Posting& p) { return PostOrder(p, own); });
}

}  // namespace tv::movements::orders
