#pragma once
// Goods issues ("Salidas de almacén"): the list of issues with the lines of
// the selected one (BrowseSalidas), the issue form (UpdateSalidas), its
// line form with the stock check (UpdateProductoSalida) and the printed
// issue (ImpresionSALIDA). All are window procedures: they take their
// request from the thread's CallRequest and leave their answer in
// CallResponse. The posting itself is in issue_posting.h.
namespace tv::movements::issues {

void BrowseSalidas();
// Insert (1) and view (6); change (2) and delete (3) are refused with
// messages 41 and 14.
void UpdateSalidas();
// One line of the issue in the thread's Salidas buffer (1 insert, 2 change,
// 3 delete); a quantity beyond the stock is refused.
void UpdateProductoSalida();
// The issue of the line in the thread's DetSalidas buffer.
void ImpresionSALIDA();

// Registers the procedures the frame starts by name (BrowseSalidas).
void RegisterIssueProcedures();

}  // namespace tv::movements::issues
