#include "app/frame/procedures.h"
#include "movements/counts/counts.h"

namespace tv::movements::counts {

void RegisterCountProcedures() {
    app::RegisterProcedure("BrowseFisico", BrowseFisico);
    app::RegisterProcedure("UpdateFisico", UpdateFisico);
    app::RegisterProcedure("UpdateProdInventario", UpdateProdInventario);
    app::RegisterProcedure("ReporteFisico", ReporteFisico);
}

}  // namespace tv::movements::counts
