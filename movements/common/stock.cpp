#include "movements/common/stock.h"

namespace tv::movements {

namespace {
using data::TableId;
}

Decimal StockOnHand(const Record& a) {
    const data::TableDecl& d = data::decl(TableId::Articulo);
    return a.number(d.fieldIndex("ART:ExistenciaAnterior")) + a.number(d.fieldIndex("ART:Entradas")) -
           a.number(d.fieldIndex("ART:Salidas"));
}

Decimal LineAmount(const Value& quantity, const Value& cost) {
    return (quantity.asNumber() * cost.asNumber()).rounded(2);
}

std::string DocumentText(std::string_view prefix, long long folio) {
    return std::string(prefix) + std::to_string(folio);
}

bool ReadArticle(Posting& p, const Decimal& noArt) {
    if (p.Failed()) return false;
    Record& a = p.Buffer(TableId::Articulo);
    a.clear();
    a.setNumber(Posting::Field(TableId::Articulo, "ART:NoArt"), noArt);
    if (noArt.isZero()) return false;
    if (p.Find(TableId::Articulo, "ART:KeyNoArt")) return true;
    if (!p.Failed()) a.clear();
    return false;
}

bool WriteArticle(Posting& p) { return p.Update(TableId::Articulo); }

bool AddToArticle(Posting& p, std::string_view field, const Decimal& amount) {
    const int f = Posting::Field(TableId::Articulo, field);
    return p.Store(TableId::Articulo, f, Value(p.Buffer(TableId::Articulo).number(f) + amount));
}

bool RaiseArticleTotal(Posting& p, std::string_view field, const Decimal& amount) {
    return AddToArticle(p, field, amount) && p.Update(TableId::Articulo, {Posting::Field(TableId::Articulo, field)});
}

bool ReadTypeDescription(Posting& p, const TypeRule& rule, const Value& code, std::string& out) {
    out.clear();
    if (p.Failed()) return false;
    Record& t = p.Buffer(rule.table);
    t.clear();
    t.set(Posting::Field(rule.table, rule.code), code);
    if (p.Find(rule.table, rule.key)) out = t.get(Posting::Field(rule.table, rule.text)).asText();
    return !p.Failed();
}

bool AddLedgerRow(Posting& p, const LedgerRow& row) {
    if (p.Failed()) return false;
    constexpr TableId k = TableId::Kardex;
    p.Buffer(k).clear();
    return p.Store(k, "KAR:ARTICULO", Value(row.article)) && p.Store(k, "KAR:Fecha", Value(row.date)) &&
           p.Store(k, "KAR:Documento", Value(row.document)) && p.Store(k, "KAR:Concepto", Value(row.concepto)) &&
           p.Store(k, "KAR:Referencia", Value(row.reference)) && p.Store(k, "KAR:Entrada", Value(row.in)) &&
           p.Store(k, "KAR:Salida", Value(row.out)) && p.Store(k, "KAR:Existencia", Value(row.stock)) &&
           p.Store(k, "KAR:COSTOUNITARIO", Value(row.unitCost)) &&
           p.Store(k, "KAR:COSTOPROMEDIO", Value(row.averageCost)) && p.Insert(k);
}

}  // namespace tv::movements
