#include "app/frame/procedures.h"
#include "movements/issues/issues.h"

namespace tv::movements::issues {

void RegisterIssueProcedures() {
    app::RegisterProcedure("BrowseSalidas", BrowseSalidas);
    app::RegisterProcedure("UpdateSalidas", UpdateSalidas);
    app::RegisterProcedure("UpdateProductoSalida", UpdateProductoSalida);
    app::RegisterProcedure("ImpresionSALIDA", ImpresionSALIDA);
}

}  // namespace tv::movements::issues
