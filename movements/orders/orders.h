#pragma once
// Purchase orders ("Ordenes de compra"): the list of orders with the lines
// of the selected one (BrowseOrdenes), the order form (UpdateOrdenes), its
// line form (UpdateProdOrden), the printed order (ImprimirOrdenCompra) and
// the query of the articles ordered and not yet received
// (ConsultaArtPendientes). All are window procedures: they take their
// request from the thread's CallRequest and leave their answer in
// CallResponse. The posting itself is in order_posting.h.
namespace tv::movements::orders {

void BrowseOrdenes();
// Insert (1) and view (6); change (2) and delete (3) are refused with
// messages 41 and 14.
void UpdateOrdenes();
// One line of the order in the thread's Ordenes buffer (1 insert,
// 2 change, 3 delete).
void UpdateProdOrden();
// The order in the thread's Ordenes buffer, with the supplier's city line
// the list put in GLO:CIUDADPROVEEDOR.
void ImprimirOrdenCompra();
void ConsultaArtPendientes();

// Registers the procedures the frame starts by name.
void RegisterOrderProcedures();

}  // namespace tv::movements::orders
