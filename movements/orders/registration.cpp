#include "app/frame/procedures.h"
#include "movements/orders/orders.h"

namespace tv::movements::orders {

void RegisterOrderProcedures() {
    app::RegisterProcedure("BrowseOrdenes", BrowseOrdenes);
    app::RegisterProcedure("UpdateOrdenes", UpdateOrdenes);
    app::RegisterProcedure("UpdateProdOrden", UpdateProdOrden);
    app::RegisterProcedure("ImprimirOrdenCompra", ImprimirOrdenCompra);
    app::RegisterProcedure("ConsultaArtPendientes", ConsultaArtPendientes);
    // The order list starts the wizard by name; until it is built its
    // stand-in says so under the wizard's own caption.
    app::SetStandInCaption("Asistente", QStringLiteral("Asistente para generar orden de compra"));
}

}  // namespace tv::movements::orders
