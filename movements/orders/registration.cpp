#include "app/frame/procedures.h"
#include "movements/orders/orders.h"

namespace tv::movements::orders {

void RegisterOrderProcedures() {
    app::RegisterProcedure("BrowseOrdenes", BrowseOrdenes);
    app::RegisterProcedure("UpdateOrdenes", UpdateOrdenes);
    app::RegisterProcedure("UpdateProdOrden", UpdateProdOrden);
    app::RegisterProcedure("ImprimirOrdenCompra", ImprimirOrdenCompra);
    app::RegisterProcedure("ConsultaArtPendientes", ConsultaArtPendientes);
}

}  // namespace tv::movements::orders
