// ImpresionPorSurtir: per article the quantity ordered, the quantity
// received and what is still to be received; and its filter window, which
// always asks for the articles with something still to be received.
#include "app/frame/procedures.h"
#include "reports/pending/pending.h"
#include "reports/template/article_reports.h"
#include "reports/template/filter_window.h"
#include "reports/template/page_header.h"

namespace tv::reports {

using report::Align;

namespace {

report::ReportLayout pendingLayout() {
    report::ReportLayout l = StandardReportLayout(
        "Articulo Report",
        StandardPageHeader("Artículos por surtir",
                           {{"No Art", 50, 708, Align::Right},
                            {"Descripción", 854},
                            {"UM", kUnitX},
                            {"Pedido", 5260, 886, Align::Right},
                            {"Recibido", 6146, 937, Align::Right},
                            {"Por Recibir", 7083, 917, Align::Right}}));
    l.detail = ArticleAmountsDetail("ART:Pedido", "ART:Recibido", "LOC:PENDIENTE");
    return l;
}

}  // namespace

const ReportDefinition& PendingReport() {
    static const ReportDefinition d = [] {
        ReportDefinition r;
        r.procedure = "ImpresionPorSurtir";
        SetArticleView(r, ArticleGrouping::None, false);
        r.layout = pendingLayout;
        r.compute = [](const report::RecordValues& rec, report::OverlayValues& out) {
            out.set("LOC:PENDIENTE",
                    Value((rec.value("ART:Pedido").asNumber() - rec.value("ART:Recibido").asNumber()).rounded(2)));
        };
        return r;
    }();
    return d;
}

void ImpresionPorSurtir(std::string_view filter) { RunReport(PendingReport(), filter); }

void FiltroReportePorSurtir() {
    FilterWindowSetup s;
    s.procedure = "FiltroReportePorSurtir";
    s.caption = QString::fromUtf8("Artículos por surtir");
    s.zeroStockBox = false;
    s.orderChoice = false;
    s.closing = ClosingClause::Pending;
    s.action = [](const FilterChoices&, const std::string& filter) { ImpresionPorSurtir(filter); };
    RunFilterWindow(s);
}

void RegisterPendingProcedures() { app::RegisterProcedure("FiltroReportePorSurtir", FiltroReportePorSurtir); }

}  // namespace tv::reports
