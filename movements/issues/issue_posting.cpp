#include "movements/issues/issue_posting.h"

#include <map>
#include <vector>

#include "movements/common/stock.h"

namespace tv::movements::issues {

using data::TableId;

const LineRule kIssueLines{TableId::DetSalidas, "DES:ID", "DES:KeyId", "DES:KeySalida", "DES:SALIDA",
                           "DES:CodigoArticulo"};
const FolioRule kIssueFolio{TableId::Salidas, "SAL:Folio", "SAL:KeyFolio", "FOL:SALIDAS", kIssueLines,
                            "una salida de almacén"};

namespace {

struct Fields {
    int folio = Posting::Field(TableId::Salidas, "SAL:Folio");
    int tipo = Posting::Field(TableId::Salidas, "SAL:TIPO");
    int fecha = Posting::Field(TableId::Salidas, "SAL:Fecha");
    int referencia = Posting::Field(TableId::Salidas, "SAL:Referencia");
    int desId = Posting::Field(TableId::DetSalidas, "DES:ID");
    int desSalida = Posting::Field(TableId::DetSalidas, "DES:SALIDA");
    int desArticulo = Posting::Field(TableId::DetSalidas, "DES:CodigoArticulo");
    int desCantidad = Posting::Field(TableId::DetSalidas, "DES:Cantidad");
    int artNoArt = Posting::Field(TableId::Articulo, "ART:NoArt");
};

const Fields& F() {
    static const Fields f;
    return f;
}

const TypeRule kIssueType{TableId::TipSalidas, "TSA:KeyCodigo", "TSA:Codigo", "TSA:Descripcion"};

std::string Amount(const Decimal& d) { return d.toFixed(2); }

}  // namespace

std::string ShortStockText(const ShortStock& s) {
    return std::string(kShortStockText) + " del artículo " + s.article.toText() + ": hay " + Amount(s.onHand) +
           " y la salida pide " + Amount(s.wanted) + "; no se guardó nada.";
}

std::optional<ShortStock> CheckLineStock(data::ThreadTableSet& tables) {
    const Fields& f = F();
    const Record& line = tables.buffer(TableId::DetSalidas);
    ShortStock s;
    s.article = line.number(f.desArticulo);
    s.wanted = line.number(f.desCantidad);
    const long long id = line.number(f.desId).toInt64();
    for (const Record& other : ReadLines(tables, kIssueLines, line.get(f.desSalida)))
        if (other.number(f.desId).toInt64() != id && other.number(f.desArticulo) == s.article)
            s.wanted += other.number(f.desCantidad);
    // The stock as stored now, not as the form read it earlier.
    data::TableGateway& g = tables.gateway(TableId::Articulo);
    if (!s.article.isZero() && g.UseOnDemand() == data::kDone && g.file() != nullptr) {
        Record a(g.BUFFER.layoutPtr());
        a.clear();
        a.setNumber(f.artNoArt, s.article);
        const KeepHandle keep(g.file());
        if (g.file()->readByKey(g.declaration().keyIndex("ART:KeyNoArt"), a).ok()) s.onHand = StockOnHand(a);
    }
    if (s.wanted <= s.onHand) return std::nullopt;
    return s;
}

bool PostIssue(Posting& p, const LineTracker* own) {
    const Fields& f = F();
    const Record& h = p.Buffer(TableId::Salidas);
    const Decimal folio = h.number(f.folio);
    std::vector<Record> lines;
    if (!CheckFolio(p, kIssueFolio, folio.toInt64(), own, &lines)) return false;
    std::string concepto;
    if (!ReadTypeDescription(p, kIssueType, h.get(f.tipo), concepto)) return false;
    // What the issue takes of each article, checked against its stock when
    // the article's first line is posted: read inside the unit, no other
    // completion can take the same units meanwhile.
    std::map<Decimal, Decimal> wanted;
    for (const Record& line : lines) wanted[line.number(f.desArticulo)] += line.number(f.desCantidad);
    std::map<Decimal, bool> checked;
    LedgerRow row;
    row.date = static_cast<long>(h.number(f.fecha).toInt64());
    row.document = DocumentText("SAL-", folio.toInt64());
    row.concepto = concepto;
    row.reference = h.get(f.referencia).asText();
    long long n = 0;
    for (const Record& line : lines) {
        if (!p.Step("line", ++n)) return false;
        const Decimal article = line.number(f.desArticulo);
        const Decimal quantity = line.number(f.desCantidad);
        if (!CheckQuantity(p, article, quantity)) return false;
        if (!ReadArticle(p, article, ArticleNeeds::Stock))
            return p.Failed() ? false : p.RefuseWith(kMissingArticleCaption, MissingArticleText(article));
        Record& a = p.Buffer(TableId::Articulo);
        if (!checked[article]) {
            checked[article] = true;
            const Decimal onHand = StockOnHand(a);
            if (wanted[article] > onHand)
                return p.RefuseWith(kShortStockText, ShortStockText({article, onHand, wanted[article]}));
        }
        if (!AddToArticle(p, "ART:Salidas", quantity) || !WriteArticle(p)) return false;
        row.article = article;
        row.out = quantity;
        row.stock = StockOnHand(a);
        if (!AddLedgerRow(p, row)) return false;
    }
    if (!p.Step("folio") || !AdvanceFolio(p, kIssueFolio, folio.toInt64())) return false;
    return p.Step("header") && p.Insert(TableId::Salidas);
}

bool CompleteIssue(data::ThreadTableSet& tables, const LineTracker* own) {
    return RunAsOneUnit(tables, {TableId::Salidas}, [own](Posting& p) { return PostIssue(p, own); });
}

}  // namespace tv::movements::issues
