#include "catalog/units.h"

#include "catalog/catalogue.h"

namespace tv::catalog {

namespace {

const CatalogueDef& units() {
    static const CatalogueDef d = [] {
        CatalogueDef c;
        c.table = data::TableId::Unidades;
        c.formProcedure = "UpdateUnidades";
        c.formTitle = QStringLiteral("Form Unidades");
        c.codeField = "UNI:Codigo";
        c.codePicture = "n_3";
        c.nameField = "UNI:UM";
        c.namePrompt = QStringLiteral("&Unidad de Medida");
        c.nameTip = QStringLiteral("Unidad de medida");
        c.listProcedure = "BrowseUnidades";
        c.listCaption = QStringLiteral("Unidades de medida");
        c.listTip = QStringLiteral("Unidades de medida");
        c.format = "80R(1)|M*~Código~@n_3@80L(1)|M*~Unidad de Medida~@s40@";
        c.findColumns = "Código|@n_3|UNI:Codigo|Unidad de Medida|@s40|UNI:UM|";
        c.orders = {{"UNI:KeyCodigo", app::ScrollStepKind::Integer, "UNI:Codigo"}};
        c.tabs = {QStringLiteral("Por Código")};
        return c;
    }();
    return d;
}

}  // namespace

void BrowseUnidades() { RunCatalogueBrowse(units(), UpdateUnidades); }
void UpdateUnidades() { RunCatalogueForm(units()); }

}  // namespace tv::catalog
