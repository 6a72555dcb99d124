#pragma once
// The catalogue of units of measure (`Unidades`): its list and its form.
namespace tv::catalog {

// The list "Unidades de medida", by code.
void BrowseUnidades();
// The form of one unit (CallRequest 1, 2, 3 or 6).
void UpdateUnidades();

}  // namespace tv::catalog
