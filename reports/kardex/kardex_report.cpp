// ImpresionKardex: the stock ledger article by article, each article under a
// heading with its number, description and unit; and its filter window.
#include "reports/kardex/kardex.h"
#include "reports/template/filter_window.h"
#include "reports/template/page_header.h"

namespace tv::reports {

using report::Align;
using report::Item;

namespace {

// Columns of the ledger rows; the numbers end where the next one starts.
constexpr report::Mils kFechaX = 0, kDocumentoX = 950, kConceptoX = 2200, kReferenciaX = 3950;
constexpr report::Mils kEntradaX = 5450, kSalidaX = 6250, kExistenciaX = 7100;
constexpr report::Mils kNumberW = 800;

report::ReportLayout kardexLayout() {
    // No line under the headings: each article's heading starts with one.
    report::ReportLayout l = StandardReportLayout(
        "Kardex Report",
        StandardPageHeader("Kardex de almacén",
                           {{"Fecha", kFechaX},
                            {"Documento", kDocumentoX},
                            {"Concepto", kConceptoX},
                            {"Referencia", kReferenciaX},
                            {"Entrada", kEntradaX, kNumberW, Align::Right},
                            {"Salida", kSalidaX, kNumberW, Align::Right},
                            {"Existencia", kExistenciaX, kReportWidth - kExistenciaX, Align::Right}},
                           false));
    report::GroupBreak article;
    article.field = "KAR:Articulo";
    article.header = report::Band{
        780, {Item::line(0, 40, kReportWidth, 0),
              Item::fixed("No. Art:", 0, 100), Item::value("ART:NoArt", "n_10", 1100, 100, 1200),
              Item::fixed("Descripción:", 0, 320), Item::value("ART:Descripcion", "s70", 1100, 320, 6900),
              Item::fixed("UM:", 0, 540), Item::value("UNI:UM", "s40", 1100, 540, 3500)}};
    l.groups.push_back(std::move(article));
    l.detail.height = 250;
    l.detail.items = {Item::value("KAR:Fecha", "d6", kFechaX, 0, 900),
                      Item::value("KAR:Documento", "s14", kDocumentoX, 0, 1200),
                      Item::value("KAR:Concepto", "s20", kConceptoX, 0, 1700),
                      Item::value("KAR:Referencia", "s20", kReferenciaX, 0, kEntradaX - kReferenciaX - 50),
                      Amount("KAR:Entrada", kEntradaX, 0, kNumberW, "n10.2b"),
                      Amount("KAR:Salida", kSalidaX, 0, kNumberW, "n10.2b"),
                      Amount("KAR:Existencia", kExistenciaX, 0, kReportWidth - kExistenciaX, "n10.2")};
    return l;
}

}  // namespace

const ReportDefinition& KardexReport() {
    static const ReportDefinition d = [] {
        using data::TableId;
        ReportDefinition r;
        r.procedure = "ImpresionKardex";
        r.primary = TableId::Kardex;
        r.lookups = {{TableId::Articulo, "ART:KeyNoArt", {{"ART:NoArt", "KAR:Articulo"}}},
                     {TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}}};
        r.sortKey = "KAR:KeyArticulo";
        r.progressField = "KAR:Articulo";
        r.layout = kardexLayout;
        return r;
    }();
    return d;
}

void ImpresionKardex(std::string_view filter) { RunReport(KardexReport(), filter); }

void FiltroReporteKardex() {
    FilterWindowSetup s;
    s.procedure = "FiltroReporteKardex";
    s.caption = QString::fromUtf8("Impresión de kardex");
    s.zeroStockBox = false;
    s.orderChoice = false;
    s.closing = ClosingClause::None;
    s.action = [](const FilterChoices&, const std::string& filter) { ImpresionKardex(filter); };
    RunFilterWindow(s);
}

}  // namespace tv::reports
