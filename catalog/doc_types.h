#pragma once
// The two catalogues that classify stock movements: receipt types
// (`TipEntradas`) and issue types (`TipSalidas`). Each has a list, by code
// only, and a form.
namespace tv::catalog {

// The list "Tipos de entrada".
void BrowseTiposEntrada();
// The form of one receipt type (CallRequest 1, 2, 3 or 6).
void UpdateTipEntradas();

// The list "Tipos de salida".
void BrowseTiposSalidas();
// The form of one issue type (CallRequest 1, 2, 3 or 6).
void UpdateTipSalidas();

}  // namespace tv::catalog
