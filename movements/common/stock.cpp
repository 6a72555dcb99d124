#include "movements/common/stock.h"

#include <vector>

namespace tv::movements {

namespace {
using data::TableId;

// Field indexes, looked up once (a posting uses them per line).
struct Fields {
    int noArt = Posting::Field(TableId::Articulo, "ART:NoArt");
    int anterior = Posting::Field(TableId::Articulo, "ART:ExistenciaAnterior");
    int entradas = Posting::Field(TableId::Articulo, "ART:Entradas");
    int salidas = Posting::Field(TableId::Articulo, "ART:Salidas");
    int pedido = Posting::Field(TableId::Articulo, "ART:Pedido");
    int promedio = Posting::Field(TableId::Articulo, "ART:COSTOPROMEDIO");
    std::vector<int> ordered{pedido};
    std::vector<int> stock{anterior, entradas, salidas};
    std::vector<int> stockAndCost{anterior, entradas, salidas, promedio};
    int karArticulo = Posting::Field(TableId::Kardex, "KAR:ARTICULO");
    int karFecha = Posting::Field(TableId::Kardex, "KAR:Fecha");
    int karDocumento = Posting::Field(TableId::Kardex, "KAR:Documento");
    int karConcepto = Posting::Field(TableId::Kardex, "KAR:Concepto");
    int karReferencia = Posting::Field(TableId::Kardex, "KAR:Referencia");
    int karEntrada = Posting::Field(TableId::Kardex, "KAR:Entrada");
    int karSalida = Posting::Field(TableId::Kardex, "KAR:Salida");
    int karExistencia = Posting::Field(TableId::Kardex, "KAR:Existencia");
    int karCosto = Posting::Field(TableId::Kardex, "KAR:COSTOUNITARIO");
    int karPromedio = Posting::Field(TableId::Kardex, "KAR:COSTOPROMEDIO");
};

const Fields& F() {
    static const Fields f;
    return f;
}

int articleField(std::string_view field) {
    const Fields& f = F();
    if (field == "ART:Entradas") return f.entradas;
    if (field == "ART:Salidas") return f.salidas;
    if (field == "ART:Pedido") return f.pedido;
    return Posting::Field(TableId::Articulo, field);
}
}  // namespace

Decimal StockOnHand(const Record& a) {
    const Fields& f = F();
    return a.number(f.anterior) + a.number(f.entradas) - a.number(f.salidas);
}

Decimal LineAmount(const Value& quantity, const Value& cost) {
    return (quantity.asNumber() * cost.asNumber()).rounded(2);
}

std::string DocumentText(std::string_view prefix, long long folio) {
    return std::string(prefix) + std::to_string(folio);
}

bool ReadArticle(Posting& p, const Decimal& noArt, ArticleNeeds needs) {
    if (p.Failed()) return false;
    const Fields& f = F();
    Record& a = p.Buffer(TableId::Articulo);
    a.clear();
    a.setNumber(f.noArt, noArt);
    if (noArt.isZero()) return false;
    const std::vector<int>* fields = needs == ArticleNeeds::Ordered ? &f.ordered
                                     : needs == ArticleNeeds::Stock ? &f.stock
                                     : needs == ArticleNeeds::StockAndCost ? &f.stockAndCost
                                                                          : nullptr;
    const bool found = fields ? p.Find(TableId::Articulo, "ART:KeyNoArt", *fields) : p.Find(TableId::Articulo, "ART:KeyNoArt");
    if (found) return true;
    if (!p.Failed()) a.clear();
    return false;
}

bool WriteArticle(Posting& p) { return p.UpdateStored(TableId::Articulo); }

bool AddToArticle(Posting& p, std::string_view field, const Decimal& amount) {
    const int f = articleField(field);
    return p.Store(TableId::Articulo, f, Value(p.Buffer(TableId::Articulo).number(f) + amount));
}

bool RaiseArticleTotal(Posting& p, std::string_view field, const Decimal& amount) {
    return AddToArticle(p, field, amount) && p.Update(TableId::Articulo, {articleField(field)});
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
    const Fields& f = F();
    p.Buffer(k).clear();
    return p.Store(k, f.karArticulo, Value(row.article)) && p.Store(k, f.karFecha, Value(row.date)) &&
           p.Store(k, f.karDocumento, Value(row.document)) && p.Store(k, f.karConcepto, Value(row.concepto)) &&
           p.Store(k, f.karReferencia, Value(row.reference)) && p.Store(k, f.karEntrada, Value(row.in)) &&
           p.Store(k, f.karSalida, Value(row.out)) && p.Store(k, f.karExistencia, Value(row.stock)) &&
           p.Store(k, f.karCosto, Value(row.unitCost)) && p.Store(k, f.karPromedio, Value(row.averageCost)) &&
           p.Insert(k);
}

}  // namespace tv::movements
