#pragma once
// Physical counts ("Inventario físico"): the list of counts with the lines
// of the selected one (BrowseFisico), the count form (UpdateFisico), its
// line form (UpdateProdInventario), the count sheet (ReporteFisico) and the
// adjustment window that applies a count to stock (ActualizaInventario).
// All are window procedures: they take their request from the thread's
// CallRequest and leave their answer in CallResponse. The adjustment itself
// is in count_adjustment.h.
namespace tv::movements::counts {

void BrowseFisico();
// One count in the thread's Fisico buffer (1 insert, 2 change, 3 delete, 6 view).
void UpdateFisico();
// One line of the count in the thread's Fisico buffer.
void UpdateProdInventario();
// The count sheet of the count in the thread's Fisico buffer.
void ReporteFisico();
// The window that applies count `countId` to stock when "&Aceptar" is
// pressed; CallResponse is 2 whichever button closed it.
void ActualizaInventario(long long countId);

// Registers the procedures the frame starts by name (BrowseFisico).
void RegisterCountProcedures();

}  // namespace tv::movements::counts
