#pragma once
// The plain catalogues: those of the article data (categories.h, brands.h,
// units.h) and the supporting ones (warehouses.h, departments.h,
// doc_types.h, places.h, suppliers.h with the supplier price query in
// supplier_prices.h).
namespace tv::catalog {

// Registers their lists and forms with the frame's procedures
// (app/frame/procedures.h) under their names.
void RegisterCatalogueProcedures();

}  // namespace tv::catalog
