#include "catalog/catalogues.h"

#include "app/frame/procedures.h"
#include "catalog/brands.h"
#include "catalog/categories.h"
#include "catalog/departments.h"
#include "catalog/doc_types.h"
#include "catalog/places.h"
#include "catalog/supplier_prices.h"
#include "catalog/suppliers.h"
#include "catalog/units.h"
#include "catalog/warehouses.h"

namespace tv::catalog {

void RegisterCatalogueProcedures() {
    app::RegisterProcedure("BrowseCatArticulos", BrowseCatArticulos);
    app::RegisterProcedure("BrowseMarcas", BrowseMarcas);
    app::RegisterProcedure("BrowseUnidades", BrowseUnidades);
    app::RegisterProcedure("UpdateCatArticulos", UpdateCatArticulos);
    app::RegisterProcedure("UpdateMarcas", UpdateMarcas);
    app::RegisterProcedure("UpdateUnidades", UpdateUnidades);
    // The supporting catalogues.
    app::RegisterProcedure("BrowseAlmacenes", BrowseAlmacenes);
    app::RegisterProcedure("UpdateAlmacenes", UpdateAlmacenes);
    app::RegisterProcedure("BrowseDeptos", BrowseDeptos);
    app::RegisterProcedure("UpdateDeptos", UpdateDeptos);
    app::RegisterProcedure("BrowseTiposEntrada", BrowseTiposEntrada);
    app::RegisterProcedure("UpdateTipEntradas", UpdateTipEntradas);
    app::RegisterProcedure("BrowseTiposSalidas", BrowseTiposSalidas);
    app::RegisterProcedure("UpdateTipSalidas", UpdateTipSalidas);
    app::RegisterProcedure("BrowsePaises", BrowsePaises);
    app::RegisterProcedure("UpdatePaises", UpdatePaises);
    app::RegisterProcedure("BrowseEstados", BrowseEstados);
    app::RegisterProcedure("UpdateEstados", UpdateEstados);
    app::RegisterProcedure("BrowseCiudades", BrowseCiudades);
    app::RegisterProcedure("UpdateCiudades", UpdateCiudades);
    app::RegisterProcedure("BrowseProveedores", BrowseProveedores);
    app::RegisterProcedure("UpdateProveedores", UpdateProveedores);
    app::RegisterProcedure("UpdateContactoProv", UpdateContactoProv);
    app::RegisterProcedure("ConsultaPreciosProv", ConsultaPreciosProv);
}

}  // namespace tv::catalog
