#include "catalog/departments.h"

#include "catalog/catalogue.h"

namespace tv::catalog {

namespace {

// Issues keep the number of their department: the relation changes and
// deletes nothing, so a department is deleted whatever names it.
const CatalogueDef& departments() {
    static const CatalogueDef d = [] {
        CatalogueDef c;
        c.table = data::TableId::Deptos;
        c.formProcedure = "UpdateDeptos";
        c.formTitle = QStringLiteral("Form Deptos");
        c.codeField = "DEP:Id";
        c.codePicture = "n_4";
        c.codePrompt = QStringLiteral("&Id:");
        c.nameField = "DEP:Nombre";
        c.namePrompt = QStringLiteral("&Nombre:");
        c.nameTip = QStringLiteral("Nombre del departamento");
        c.namePicture = "s30";
        c.nameRequired = false;
        c.listProcedure = "BrowseDeptos";
        c.listCaption = QStringLiteral("Departamentos");
        c.listTip = QStringLiteral("Departamentos registrados");
        c.format = "80R(1)|M*~Código~@n_4@80L(1)|M*~Nombre~@s30@";
        c.findColumns = "Código|@n_4|dep:Id|Nombre|@s30|dep:Nombre|";
        // Order 1 by name, order 2 by number; the first tab shows order 2.
        c.orders = {{"DEP:KeyNombre", app::ScrollStepKind::Text, "DEP:Nombre"},
                    {"DEP:KeyId", app::ScrollStepKind::Integer, "DEP:Id"}};
        c.tabs = {QStringLiteral("Por Código"), QStringLiteral("Por Nombre")};
        return c;
    }();
    return d;
}

}  // namespace

void BrowseDeptos() { RunCatalogueBrowse(departments(), UpdateDeptos); }
void UpdateDeptos() { RunCatalogueForm(departments()); }

}  // namespace tv::catalog
