#include "catalog/categories.h"

#include "catalog/catalogue.h"

namespace tv::catalog {

namespace {

const CatalogueDef& categories() {
    static const CatalogueDef d = [] {
        CatalogueDef c;
        c.table = data::TableId::CatArticulos;
        c.formProcedure = "UpdateCatArticulos";
        c.formTitle = QStringLiteral("Form CatArticulos");
        c.codeField = "CAR:Codigo";
        c.codePicture = "n_4";
        c.nameField = "CAR:Descripcion";
        c.namePrompt = QStringLiteral("&Descripcion:");
        c.nameTip = QStringLiteral("Descripción de la categoría");
        c.listProcedure = "BrowseCatArticulos";
        c.listCaption = QStringLiteral("Categorías de artículos");
        c.listTip = QStringLiteral("Categorías de artículos");
        c.format = "80R(1)|M*~Código~@n_4@80L(1)|M*~Descripcion~@s40@";
        c.findColumns = "Código|@n_4|car:Codigo|Descripcion|@s40|car:Descripcion|";
        // Order 1 by name, order 2 by code; the first tab shows order 2.
        c.orders = {{"CAR:KeyDescripcion", app::ScrollStepKind::Text, "CAR:Descripcion"},
                    {"CAR:KeyId", app::ScrollStepKind::Integer, "CAR:Codigo"}};
        c.tabs = {QStringLiteral("Por Código"), QStringLiteral("Por Descripción")};
        return c;
    }();
    return d;
}

}  // namespace

void BrowseCatArticulos() { RunCatalogueBrowse(categories(), UpdateCatArticulos); }
void UpdateCatArticulos() { RunCatalogueForm(categories()); }

}  // namespace tv::catalog
