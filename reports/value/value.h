#pragma once
// The inventory value reports and their filter window.
#include <string_view>

#include "reports/template/report_procedure.h"

namespace tv::reports {

// By the filter window's order: 1 by article, 2 by brand, 3 by category.
const ReportDefinition& ValueReport(int orden);
void ImpresionValor(std::string_view filter);
void ImpresionValorMarca(std::string_view filter);
void ImpresionValorCategoria(std::string_view filter);

// "Impresión de valor del inventario".
void FiltroReporteValor();

void RegisterValueProcedures();

}  // namespace tv::reports
