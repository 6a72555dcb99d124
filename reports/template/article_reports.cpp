#include "reports/template/article_reports.h"

#include "reports/template/page_header.h"

namespace tv::reports {

using report::Align;
using report::Item;

void SetArticleView(ReportDefinition& d, ArticleGrouping g, bool appendOrderText) {
    using data::TableId;
    d.primary = TableId::Articulo;
    d.lookups.clear();
    switch (g) {
        case ArticleGrouping::None:
            d.sortKey = "ART:KeyNoArt";
            d.progressField = "ART:NoArt";
            break;
        case ArticleGrouping::Brand:
            d.lookups.push_back({TableId::Marcas, "MAR:KeyCodigo", {{"MAR:Codigo", "ART:Marca"}}});
            d.sortKey = "ART:KeyMarca";
            d.progressField = "ART:Marca";
            if (appendOrderText) d.addedOrder = "art:marca";
            break;
        case ArticleGrouping::Category:
            d.lookups.push_back({TableId::CatArticulos, "car:KeyId", {{"CAR:Codigo", "ART:Categoria"}}});
            d.sortKey = "ART:KeyCategoria";
            d.progressField = "ART:Categoria";
            if (appendOrderText) d.addedOrder = "art:categoria";
            break;
    }
    d.lookups.push_back({TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}});
}

Decimal StockOnHand(const report::RecordValues& r) {
    return (r.value("ART:ExistenciaAnterior").asNumber() + r.value("ART:Entradas").asNumber() -
            r.value("ART:Salidas").asNumber())
        .rounded(2);
}

report::GroupBreak ArticleGroupHeading(ArticleGrouping g) {
    report::GroupBreak brk;
    if (g == ArticleGrouping::Brand) {
        brk.field = "ART:Marca";
        brk.header = report::Band{385, {Item::fixed("Marca:", 313, 104), Item::value("MAR:Marca", "s40", 719, 104, 3021)}};
    } else {
        brk.field = "ART:Categoria";
        brk.header = report::Band{
            385, {Item::fixed("Categoría:", 313, 104), Item::value("CAR:Descripcion", "s40", 875, 104, 3021)}};
    }
    return brk;
}

report::Band ArticleAmountsDetail(const std::string& first, const std::string& second, const std::string& third) {
    return report::Band{250,
                        {Item::value("ART:NoArt", "n_10", 50, 0, 708, Align::Right),
                         Item::value("ART:Descripcion", "s70", 833, 0, 3200),
                         Item::value("UNI:UM", "s40", kUnitX, 0, kUnitWidth),
                         Amount(first, 5260, 0, 886), Amount(second, 6146, 0, 937), Amount(third, 7083, 0, 917)}};
}

}  // namespace tv::reports
