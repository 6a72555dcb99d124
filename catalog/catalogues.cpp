#include "catalog/catalogues.h"

#include "app/frame/procedures.h"
#include "catalog/brands.h"
#include "catalog/categories.h"
#include "catalog/units.h"

namespace tv::catalog {

void RegisterCatalogueProcedures() {
    app::RegisterProcedure("BrowseCatArticulos", BrowseCatArticulos);
    app::RegisterProcedure("BrowseMarcas", BrowseMarcas);
    app::RegisterProcedure("BrowseUnidades", BrowseUnidades);
    app::RegisterProcedure("UpdateCatArticulos", UpdateCatArticulos);
    app::RegisterProcedure("UpdateMarcas", UpdateMarcas);
    app::RegisterProcedure("UpdateUnidades", UpdateUnidades);
}

}  // namespace tv::catalog
