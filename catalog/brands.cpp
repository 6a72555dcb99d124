#include "catalog/brands.h"

#include "catalog/catalogue.h"

namespace tv::catalog {

namespace {

const CatalogueDef& brands() {
    static const CatalogueDef d = [] {
        CatalogueDef c;
        c.table = data::TableId::Marcas;
        c.formProcedure = "UpdateMarcas";
        c.formTitle = QStringLiteral("Form Marcas");
        c.codeField = "MAR:Codigo";
        c.codePicture = "n_4";
        c.nameField = "MAR:Marca";
        c.namePrompt = QStringLiteral("&Marca:");
        c.nameTip = QStringLiteral("Descripción de la marca");
        c.listProcedure = "BrowseMarcas";
        c.listCaption = QStringLiteral("Marcas registrados");
        c.listTip = QStringLiteral("Marcas de artículos");
        c.format = "80R(1)|M*~Código~@n_4@80L(1)|M*~Marca~@s40@";
        c.findColumns = "Código|@n_4|MAR:Codigo|Marca|@s40|MAR:Marca|";
        c.orders = {{"MAR:KeyCodigo", app::ScrollStepKind::Integer, "MAR:Codigo"}};
        c.tabs = {QStringLiteral("Por código")};
        return c;
    }();
    return d;
}

}  // namespace

void BrowseMarcas() { RunCatalogueBrowse(brands(), UpdateMarcas); }
void UpdateMarcas() { RunCatalogueForm(brands()); }

}  // namespace tv::catalog
