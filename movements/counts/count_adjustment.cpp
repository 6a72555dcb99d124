#include "movements/counts/count_adjustment.h"

#include <deque>
#include <set>

#include "movements/common/stock.h"
#include "platform/types/date.h"

namespace tv::movements::counts {

using data::TableId;

const LineRule kCountLines{TableId::DetFisico, "DFI:ID", "DFI:KeyId", "DFI:KeyInventario", "DFI:INVENTARIO",
                           "DFI:CodigoArticulo"};

namespace {

struct Fields {
    int fisId = Posting::Field(TableId::Fisico, "FIS:ID");
    int fisFecha = Posting::Field(TableId::Fisico, "FIS:Fecha");
    int dfiArticulo = Posting::Field(TableId::DetFisico, "DFI:CodigoArticulo");
    int dfiExistencia = Posting::Field(TableId::DetFisico, "DFI:Existencia");
    int artPromedio = Posting::Field(TableId::Articulo, "ART:COSTOPROMEDIO");
};

const Fields& F() {
    static const Fields f;
    return f;
}

// What the adjustment needs of a line: the lines of a long count are not
// held whole.
struct CountLine {
    Decimal article;
    Decimal counted;
};

// How many articles the notice names before it only counts the rest.
constexpr std::size_t kNamedAtMost = 20;

}  // namespace

std::string AdjustmentReference(long date) {
    // A date that is not one gives day 0.
    return kAdjustmentReferencePrefix + std::to_string(ymdFromDate(date) ? date : 0);
}

LineAdjustment AdjustmentFor(const Decimal& stock, const Decimal& counted) {
    LineAdjustment a;
    if (counted > stock) a.in = counted - stock;
    else if (counted < stock) a.out = stock - counted;
    return a;
}

bool ApplyCount(Posting& p, long long countId, AdjustmentResult& result, const AdjustmentProgress& progress) {
    const Fields& f = F();
    Record& count = p.Buffer(TableId::Fisico);
    count.clear();
    count.set(f.fisId, Value(countId));
    if (!p.Find(TableId::Fisico, "FIS:KeyId")) return !p.Failed();  // no such count: nothing to apply
    result.countFound = true;
    const long date = static_cast<long>(count.number(f.fisFecha).toInt64());

    // A deque: a long count's lines are not moved again each time it grows.
    std::deque<CountLine> lines;
    if (!ForEachLine(p, kCountLines, Value(countId), [&](const Record& line) {
            lines.push_back({line.number(f.dfiArticulo), line.number(f.dfiExistencia)});
        }))
        return false;
    result.lines = static_cast<long long>(lines.size());

    LedgerRow row;
    row.date = date;
    row.document = DocumentText("", countId);
    row.concepto = kAdjustmentConcept;
    row.reference = AdjustmentReference(date);
    std::set<Decimal> missing;
    const Record& a = p.Buffer(TableId::Articulo);
    long long n = 0;
    for (const CountLine& line : lines) {
        ++n;
        if (progress) progress(n, result.lines);
        if (!p.Step("line", n)) return false;
        if (!ReadArticle(p, line.article, ArticleNeeds::StockAndCost)) {
            if (p.Failed()) return false;
            // The article was deleted since the line was counted.
            if (missing.insert(line.article).second) result.missingArticles.push_back(line.article);
            continue;
        }
        const LineAdjustment adj = AdjustmentFor(StockOnHand(a), line.counted);
        if (!adj.Changes()) continue;
        if (!(adj.in.isZero() ? AddToArticle(p, "ART:Salidas", adj.out) : AddToArticle(p, "ART:Entradas", adj.in)) ||
            !WriteArticle(p))
            return false;
        row.article = line.article;
        row.in = adj.in;
        row.out = adj.out;
        row.stock = line.counted;
        // The ledger values the movement at the article's average cost.
        row.unitCost = row.averageCost = a.number(f.artPromedio);
        if (!AddLedgerRow(p, row)) return false;
        ++result.rows;
    }
    return true;
}

AdjustmentResult AdjustInventory(data::ThreadTableSet& tables, long long countId, const AdjustmentProgress& progress) {
    AdjustmentResult result;
    result.applied = RunAsOneUnit(tables, {TableId::Fisico}, [&](Posting& p) {
        result = AdjustmentResult{};
        return ApplyCount(p, countId, result, progress);
    });
    if (!result.applied) {
        // Nothing of the run stands.
        result.rows = 0;
        result.missingArticles.clear();
    }
    return result;
}

std::string MissingArticlesText(const std::vector<Decimal>& articles) {
    if (articles.empty()) return {};
    std::string names;
    for (std::size_t i = 0; i < articles.size() && i < kNamedAtMost; ++i)
        names += (i == 0 ? "" : ", ") + articles[i].toText();
    if (articles.size() > kNamedAtMost) names += " y " + std::to_string(articles.size() - kNamedAtMost) + " más";
    return "No se ajustaron las líneas de estos artículos, que ya no existen: " + names +
           ". Las demás líneas se aplicaron.";
}

}  // namespace tv::movements::counts
