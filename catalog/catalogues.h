#pragma once
// The plain catalogues of the article data: categories, brands and units of
// measure (categories.h, brands.h, units.h).
namespace tv::catalog {

// Registers the three lists and their forms with the frame's procedures
// (app/frame/procedures.h) under their names.
void RegisterCatalogueProcedures();

}  // namespace tv::catalog
