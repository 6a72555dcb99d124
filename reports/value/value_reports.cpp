// ImpresionValor, ImpresionValorMarca and ImpresionValorCategoria: the stock
// of each chosen article valued at its average cost, with the total of the
// values as printed at the end.
#include "app/frame/procedures.h"
#include "reports/template/article_reports.h"
#include "reports/template/filter_window.h"
#include "reports/template/page_header.h"
#include "reports/value/value.h"

namespace tv::reports {

using report::Align;
using report::Item;

namespace {

// Columns: the numbers end where the next one starts.
constexpr report::Mils kStockX = 4500, kStockW = 1000;
constexpr report::Mils kCostX = 5500, kCostW = 1250;
constexpr report::Mils kValueX = 6750, kValueW = 1250;
// The unit's name ends where the stock starts.
constexpr report::Mils kValueUnitX = kStockX - 50 - kUnitWidth;

report::ReportLayout valueLayout(ArticleGrouping g) {
    report::ReportLayout l = StandardReportLayout(
        "Articulo Report",
        StandardPageHeader("Valor del inventario",
                           {{"No Art", 50, 708, Align::Right},
                            {"Descripción", 854},
                            {"UM", kValueUnitX},
                            {"Existencia", kStockX, kStockW, Align::Right},
                            {"Costo promedio", kCostX, kCostW, Align::Right},
                            {"Costo inv.", kValueX, kValueW, Align::Right}}));
    // The whole report is one group on a value that never changes while it
    // runs: its footer, the total, prints once after the last line.
    report::GroupBreak all;
    all.field = "GLO:EMPRESA";
    all.keepHeaderWithDetail = false;
    all.footer = report::Band{
        400, {Item::line(kValueX + 100, 40, kValueW - 100, 0, true),
              Item::fixed("Total:", kCostX, 120, kCostW, Align::Right),
              Item::sum("LOC:COSTOINV", "n-14.2", kValueX, 120, kValueW, report::TotalReset::Group).withWholeDigits(9)}};
    l.groups.push_back(std::move(all));
    if (g != ArticleGrouping::None) l.groups.push_back(ArticleGroupHeading(g));
    l.detail.height = 250;
    l.detail.items = {Item::value("ART:NoArt", "n_10", 50, 0, 708, Align::Right),
                      Item::value("ART:Descripcion", "s70", 833, 0, 2450),
                      Item::value("UNI:UM", "s40", kValueUnitX, 0, kUnitWidth),
                      Amount("LOC:EXISTENCIAS", kStockX, 0, kStockW),
                      Amount("ART:CostoPromedio", kCostX, 0, kCostW),
                      Amount("LOC:COSTOINV", kValueX, 0, kValueW)};
    return l;
}

void computeValue(const report::RecordValues& r, report::OverlayValues& out) {
    const Decimal stock = StockOnHand(r);
    out.set("LOC:EXISTENCIAS", Value(stock));
    // Kept with two places, a half away from zero: the total adds the
    // values as they print.
    out.set("LOC:COSTOINV", Value((stock * r.value("ART:CostoPromedio").asNumber()).rounded(2)));
}

ReportDefinition valueReport(const char* name, ArticleGrouping g) {
    ReportDefinition d;
    d.procedure = name;
    SetArticleView(d, g, false);
    d.layout = [g] { return valueLayout(g); };
    d.compute = computeValue;
    return d;
}

}  // namespace

const ReportDefinition& ValueReport(int orden) {
    static const ReportDefinition byNumber = valueReport("ImpresionValor", ArticleGrouping::None);
    static const ReportDefinition byBrand = valueReport("ImpresionValorMarca", ArticleGrouping::Brand);
    static const ReportDefinition byCategory = valueReport("ImpresionValorCategoria", ArticleGrouping::Category);
    return orden == 2 ? byBrand : orden == 3 ? byCategory : byNumber;
}

void ImpresionValor(std::string_view filter) { RunReport(ValueReport(1), filter); }
void ImpresionValorMarca(std::string_view filter) { RunReport(ValueReport(2), filter); }
void ImpresionValorCategoria(std::string_view filter) { RunReport(ValueReport(3), filter); }

void FiltroReporteValor() {
    FilterWindowSetup s;
    s.procedure = "FiltroReporteValor";
    s.caption = QString::fromUtf8("Impresión de valor del inventario");
    s.closing = ClosingClause::Stock;
    s.action = [](const FilterChoices& c, const std::string& filter) {
        switch (c.orden) {
            case 2: ImpresionValorMarca(filter); break;
            case 3: ImpresionValorCategoria(filter); break;
            default: ImpresionValor(filter); break;
        }
    };
    RunFilterWindow(s);
}

void RegisterValueProcedures() { app::RegisterProcedure("FiltroReporteValor", FiltroReporteValor); }

}  // namespace tv::reports
