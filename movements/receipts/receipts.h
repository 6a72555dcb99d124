#pragma once
// Goods receipts ("Entradas de almacén"): the list of receipts with the
// lines of the selected one (BrowseEntradas), the receipt form
// (UpdateEntradas), its line form (UpdateArtEntrada) and the printed
// receipt (ImprimirEntrada). All are window procedures: they take their
// request from the thread's CallRequest and leave their answer in
// CallResponse. The posting itself is in receipt_posting.h.
namespace tv::movements::receipts {

void BrowseEntradas();
// Insert (1) and view (6); change (2) and delete (3) are refused with
// messages 41 and 14.
void UpdateEntradas();
// One line of the receipt in the thread's Entradas buffer (1 insert,
// 2 change, 3 delete).
void UpdateArtEntrada();
// The receipt of the line in the thread's DetEntradas buffer.
void ImprimirEntrada();

// Registers the procedures the frame starts by name (BrowseEntradas).
void RegisterReceiptProcedures();

}  // namespace tv::movements::receipts
