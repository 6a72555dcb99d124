#include "catalog/places.h"

#include "catalog/catalogue.h"

namespace tv::catalog {

namespace {

// The three tables share one layout (Id, Nombre; KeyId, KeyNombre).
struct Place {
    data::TableId table;
    const char* prefix;        // "CIU"
    const char* plural;        // "Ciudades"
    const char* listTip;       // "Ciudades registradas"
    const char* numberPrompt;  // "&Id:"
    const char* picture;       // "n_4"
    const char* nameTip;       // "Nombre de la ciudad"
    const char* format;        // the list format
    const char* findColumns;   // the find window's column list
};

CatalogueDef place(const Place& p) {
    const std::string x = p.prefix;
    const std::string plural = p.plural;
    CatalogueDef c;
    c.table = p.table;
    c.formProcedure = "Update" + plural;
    c.formTitle = QStringLiteral("Form ") + QString::fromUtf8(p.plural);
    c.codeField = x + ":Id";
    c.codePicture = p.picture;
    c.codePrompt = QString::fromUtf8(p.numberPrompt);
    c.nameField = x + ":Nombre";
    c.namePrompt = QStringLiteral("&Nombre:");
    c.nameTip = QString::fromUtf8(p.nameTip);
    c.namePicture = "s30";
    c.nameRequired = false;
    c.listProcedure = "Browse" + plural;
    c.listCaption = QString::fromUtf8(p.plural) + QStringLiteral(" registrados");
    c.listTip = QString::fromUtf8(p.listTip);
    c.format = p.format;
    c.findColumns = p.findColumns;
    // Order 1 by name, order 2 by number; the first tab shows order 2.
    c.orders = {{x + ":KeyNombre", app::ScrollStepKind::Text, x + ":Nombre"},
                {x + ":KeyId", app::ScrollStepKind::Integer, x + ":Id"}};
    c.tabs = {QStringLiteral("Por Código"), QStringLiteral("Por Nombre")};
    return c;
}

const CatalogueDef& cities() {
    static const CatalogueDef d = place({data::TableId::Ciudades, "CIU", "Ciudades", "Ciudades registradas", "&Id:",
                                         "n_4", "Nombre de la ciudad",
                                         "80R(1)|M*~Código~@n_4@80L(1)|M*~Nombre~@s30@",
                                         "Código|@n_4|CIU:Id|Nombre|@s30|CIU:Nombre|"});
    return d;
}

const CatalogueDef& states() {
    static const CatalogueDef d = place({data::TableId::Estados, "EST", "Estados", "Estados registrados", "Código",
                                         "n_2", "Nombre del estado",
                                         "80R(1)|M*~Código~@n_2@80L(1)|M*~Nombre~@s30@",
                                         "Código|@n_2|EST:Id|Nombre|@s30|EST:Nombre|"});
    return d;
}

const CatalogueDef& countries() {
    static const CatalogueDef d = place({data::TableId::Paises, "PAI", "Paises", "Paises registrados", "&Id:", "n_2",
                                         "Nombre del país", "80R(1)|M*~Código~@n_2@80L(2)|M*~Nombre~@s30@",
                                         "Código|@n_2|PAI:Id|Nombre|@s30|PAI:Nombre|"});
    return d;
}

}  // namespace

void BrowseCiudades() { RunCatalogueBrowse(cities(), UpdateCiudades); }
void UpdateCiudades() { RunCatalogueForm(cities()); }
void BrowseEstados() { RunCatalogueBrowse(states(), UpdateEstados); }
void UpdateEstados() { RunCatalogueForm(states()); }
void BrowsePaises() { RunCatalogueBrowse(countries(), UpdatePaises); }
void UpdatePaises() { RunCatalogueForm(countries()); }

}  // namespace tv::catalog
