#pragma once
// The ledger query, the ledger report and its filter window.
#include <string_view>

#include "reports/template/report_procedure.h"

namespace tv::reports {

const ReportDefinition& KardexReport();
void ImpresionKardex(std::string_view filter);
// "Impresión de kardex".
void FiltroReporteKardex();
// "Kardex de almacén": the articles with their current stock, and the
// ledger rows of the highlighted one.
void BrowseConsultaKardex();

void RegisterKardexProcedures();

}  // namespace tv::reports
