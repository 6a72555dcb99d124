#pragma once
// The plain catalogues (categories, brands, units of measure, warehouses,
// departments, document types, places): a list over one table and the form
// of one record, code and name (and, for some, further text fields). They
// differ only in the texts, fields and orders described here; the list, form
// and find behaviour is that of app/browse and app/form.
#include <string>
#include <vector>

#include <QString>

#include "app/browse/browse_list.h"
#include "data/tables.h"

namespace tv::catalog {

// Control numbers of a catalogue form.
enum CatalogueFormControl : int {
    kCatSheet = 1,       // ?CURRENTTAB
    kCatTab = 2,         // ?TAB:1 "Datos"
    kCatCodePrompt = 3,  // "&Código:"
    kCatCode = 4,        // the code, a display string
    kCatNamePrompt = 5,
    kCatName = 6,        // the name entry
    kCatOk = 7,          // "Aceptar"
    kCatCancel = 8,      // "Cancelar"
    kCatMore = 9,        // further fields: prompt kCatMore + 2i, entry kCatMore + 2i + 1
};

// A further text field of the form, after the name (the warehouse's location).
struct CatalogueField {
    std::string field;           // "ALM:Ubicacion"
    QString prompt;              // "&Ubicacion:"
    std::string picture;         // "s255"
    QString tip;                 // tip and status text
};

struct CatalogueDef {
    data::TableId table{};
    // The form.
    std::string formProcedure;   // "UpdateMarcas"
    QString formTitle;           // "Form Marcas" (the caption replaces it)
    std::string codeField;       // "MAR:Codigo"
    std::string codePicture;     // "n_4"
    QString codePrompt = QStringLiteral("&Código:");
    std::string nameField;       // "MAR:Marca"
    QString namePrompt;          // "&Marca:"
    QString nameTip;             // "Descripción de la marca"
    std::string namePicture = "s40";
    bool nameRequired = true;    // a blank name is refused on "Aceptar"
    std::vector<CatalogueField> more;
    // The list.
    std::string listProcedure;   // "BrowseMarcas"
    QString listCaption;         // "Marcas registrados"
    QString listTip;
    std::string format;          // the list format string
    std::string findColumns;     // the find window's column list
    std::vector<app::BrowseOrderSetup> orders;
    std::vector<QString> tabs;
    bool headerSort = true;      // a click on a column header re-sorts
};

// Runs the form with CallRequest on the record in the table's buffer.
void RunCatalogueForm(const CatalogueDef& def);
// Runs the list; its procedure 1 is `form`.
void RunCatalogueBrowse(const CatalogueDef& def, void (*form)());

}  // namespace tv::catalog
