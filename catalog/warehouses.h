#pragma once
// The warehouse catalogue (`Almacenes`): its list and its form.
namespace tv::catalog {

// The list "Almacenes", by code or by name.
void BrowseAlmacenes();
// The form of one warehouse (CallRequest 1, 2, 3 or 6).
void UpdateAlmacenes();

}  // namespace tv::catalog
