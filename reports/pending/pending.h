#pragma once
// The report of the articles ordered and not yet received in full, and its
// filter window (also called by the pending items query).
#include <string_view>

#include "reports/template/report_procedure.h"

namespace tv::reports {

const ReportDefinition& PendingReport();
void ImpresionPorSurtir(std::string_view filter);
// "Artículos por surtir".
void FiltroReportePorSurtir();

void RegisterPendingProcedures();

}  // namespace tv::reports
