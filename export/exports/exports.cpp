#include "export/exports/exports.h"

#include "app/frame/procedures.h"

namespace tv::exports {

void RegisterExportProcedures() {
    app::RegisterProcedure("FiltroArtExcel", FiltroArtExcel);
    app::RegisterProcedure("FiltroExcelProv", FiltroExcelProv);
}

}  // namespace tv::exports
