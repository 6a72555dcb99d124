// ImpresionExistencias, ImpresionExistenciasMarca and
// ImpresionExistenciasCategoria: the current stock of the chosen articles,
// by article number, grouped by brand or grouped by category.
#include "reports/stock/stock.h"
#include "reports/template/article_reports.h"
#include "reports/template/page_header.h"

namespace tv::reports {

using report::Align;

namespace {

report::ReportLayout stockLayout(ArticleGrouping g) {
    report::ReportLayout l = StandardReportLayout(
        "Articulo Report",
        StandardPageHeader("Existencia en almacén", {{"No Art", 50, 708, Align::Right},
                                                     {"Descripción", 854},
                                                     {"UM", kUnitX},
                                                     {"Entradas", 5656},
                                                     {"Salidas", 6625},
                                                     {"Existencia", 7417}}));
    // No total: the groups have a heading only.
    if (g != ArticleGrouping::None) l.groups.push_back(ArticleGroupHeading(g));
    l.detail = ArticleAmountsDetail("ART:Entradas", "ART:Salidas", "LOC:EXISTENCIAS");
    return l;
}

void computeStock(const report::RecordValues& r, report::OverlayValues& out) {
    out.set("LOC:EXISTENCIAS", Value(StockOnHand(r)));
}

ReportDefinition stockReport(const char* name, ArticleGrouping g) {
    ReportDefinition d;
    d.procedure = name;
    SetArticleView(d, g, true);
    d.layout = [g] { return stockLayout(g); };
    d.compute = computeStock;
    return d;
}

}  // namespace

const ReportDefinition& StockReport(int orden) {
    static const ReportDefinition byNumber = stockReport("ImpresionExistencias", ArticleGrouping::None);
    static const ReportDefinition byBrand = stockReport("ImpresionExistenciasMarca", ArticleGrouping::Brand);
    static const ReportDefinition byCategory = stockReport("ImpresionExistenciasCategoria", ArticleGrouping::Category);
    return orden == 2 ? byBrand : orden == 3 ? byCategory : byNumber;
}

void ImpresionExistencias(std::string_view filter) { RunReport(StockReport(1), filter); }
void ImpresionExistenciasMarca(std::string_view filter) { RunReport(StockReport(2), filter); }
void ImpresionExistenciasCategoria(std::string_view filter) { RunReport(StockReport(3), filter); }

}  // namespace tv::reports
