// FiltroReporteExistencia, "Impresión de existencias": the stock reports'
// filter window; its order choice picks the report.
#include "reports/stock/stock.h"
#include "reports/template/filter_window.h"

namespace tv::reports {

void FiltroReporteExistencia() {
    FilterWindowSetup s;
    s.procedure = "FiltroReporteExistencia";
    s.caption = QString::fromUtf8("Impresión de existencias");
    s.closing = ClosingClause::Stock;
    s.action = [](const FilterChoices& c, const std::string& filter) {
        switch (c.orden) {
            case 2: ImpresionExistenciasMarca(filter); break;
            case 3: ImpresionExistenciasCategoria(filter); break;
            default: ImpresionExistencias(filter); break;
        }
    };
    RunFilterWindow(s);
}

}  // namespace tv::reports
