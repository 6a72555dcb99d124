#pragma once
// The brand catalogue (`Marcas`): its list and its form.
namespace tv::catalog {

// The list "Marcas registrados", by code.
void BrowseMarcas();
// The form of one brand (CallRequest 1, 2, 3 or 6).
void UpdateMarcas();

}  // namespace tv::catalog
