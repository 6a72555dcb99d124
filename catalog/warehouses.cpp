#include "catalog/warehouses.h"

#include "catalog/catalogue.h"

namespace tv::catalog {

namespace {

const CatalogueDef& warehouses() {
    static const CatalogueDef d = [] {
        CatalogueDef c;
        c.table = data::TableId::Almacenes;
        c.formProcedure = "UpdateAlmacenes";
        c.formTitle = QStringLiteral("Form Almacenes");
        c.codeField = "ALM:Codigo";
        c.codePicture = "n_3";
        c.nameField = "ALM:Nombre";
        c.namePrompt = QStringLiteral("&Nombre:");
        c.nameTip = QStringLiteral("Nombre del almacén");
        c.namePicture = "s40";
        c.nameRequired = false;
        c.more = {{"ALM:Ubicacion", QStringLiteral("&Ubicacion:"), "s255", QStringLiteral("Ubicación del almacén")}};
        c.listProcedure = "BrowseAlmacenes";
        c.listCaption = QStringLiteral("Almacenes");
        c.listTip = QStringLiteral("Almacenes registrados");
        c.format = "80R(1)|M*~Código~@n_3@80L(2)|M*~Nombre~@s40@";
        c.findColumns = "Código|@n_3|ALM:Codigo|Nombre|@s40|ALM:Nombre|";
        // Order 1 by name, order 2 by code; the first tab shows order 2.
        c.orders = {{"ALM:KeyNombre", app::ScrollStepKind::Text, "ALM:Nombre"},
                    {"ALM:KeyCodigo", app::ScrollStepKind::Integer, "ALM:Codigo"}};
        c.tabs = {QStringLiteral("Por Código"), QStringLiteral("Por Nombre")};
        return c;
    }();
    return d;
}

}  // namespace

void BrowseAlmacenes() { RunCatalogueBrowse(warehouses(), UpdateAlmacenes); }
void UpdateAlmacenes() { RunCatalogueForm(warehouses()); }

}  // namespace tv::catalog
