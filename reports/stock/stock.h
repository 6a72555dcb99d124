#pragma once
// The stock query, the stock reports and their filter window.
#include <string_view>

#include "reports/template/report_procedure.h"

namespace tv::reports {

// The three stock reports, by the filter window's order 1, 2 and 3.
const ReportDefinition& StockReport(int orden);
void ImpresionExistencias(std::string_view filter);
void ImpresionExistenciasMarca(std::string_view filter);
void ImpresionExistenciasCategoria(std::string_view filter);

// "Impresión de existencias": the filter window of the stock reports.
void FiltroReporteExistencia();
// "Existencias de almacén": every article's stock and its distance to the
// maximum, minimum and ideal levels.
void BrowseConsultaExistencias();

// The stock query's computed columns, worked out from the Articulo buffer
// of the current thread.
Value ExistenciaActual();
Value DiferenciaMaximo();
Value DiferenciaMinimo();
Value DiferenciaIdeal();

void RegisterStockProcedures();

}  // namespace tv::reports
