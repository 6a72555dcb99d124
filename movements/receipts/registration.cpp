#include "app/frame/procedures.h"
#include "movements/receipts/receipts.h"

namespace tv::movements::receipts {

void RegisterReceiptProcedures() {
    app::RegisterProcedure("BrowseEntradas", BrowseEntradas);
    app::RegisterProcedure("UpdateEntradas", UpdateEntradas);
    app::RegisterProcedure("UpdateArtEntrada", UpdateArtEntrada);
    app::RegisterProcedure("ImprimirEntrada", ImprimirEntrada);
}

}  // namespace tv::movements::receipts
