#pragma once
// The category catalogue (`CatArticulos`): its list and its form.
namespace tv::catalog {

// The list "Categorías de artículos": by code or by name.
void BrowseCatArticulos();
// The form of one category (CallRequest 1, 2, 3 or 6).
void UpdateCatArticulos();

}  // namespace tv::catalog
