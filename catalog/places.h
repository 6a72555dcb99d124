#pragma once
// The place catalogues: countries (`Paises`), states (`Estados`) and cities
// (`Ciudades`). A supplier holds its place names as text copies, so
// renaming or deleting a place changes no supplier.
//
// The supplier form adds a city or a state typed into its drop list by
// preparing a record of the table (the number reserved), putting the typed
// name into it and calling UpdateCiudades or UpdateEstados with
// CallRequest 1 on its own thread; on response 1 the stored record is in
// the thread's record buffer of the table.
namespace tv::catalog {

// The list "Ciudades registrados", by number or by name.
void BrowseCiudades();
// The form of one city (CallRequest 1, 2, 3 or 6).
void UpdateCiudades();

// The list "Estados registrados", by number or by name.
void BrowseEstados();
// The form of one state (CallRequest 1, 2, 3 or 6).
void UpdateEstados();

// The list "Paises registrados", by number or by name.
void BrowsePaises();
// The form of one country (CallRequest 1, 2, 3 or 6).
void UpdatePaises();

}  // namespace tv::catalog
