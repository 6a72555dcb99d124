#include "catalog/doc_types.h"

#include "catalog/catalogue.h"

namespace tv::catalog {

namespace {

// The two catalogues share their shape: a code and a description with no
// key (descriptions may repeat or be blank), one order, no column sort.
// Documents keep the code of their type: deleting a type touches none.
CatalogueDef docTypes(data::TableId table, const char* prefix, const char* lowerPrefix, const char* form,
                      const char* list, const char* caption, const char* nameTip) {
    const std::string p = prefix;
    const std::string lp = lowerPrefix;
    CatalogueDef c;
    c.table = table;
    c.formProcedure = form;
    c.formTitle = QStringLiteral("Form ") + QString::fromUtf8(form + 6);  // after "Update"
    c.codeField = p + ":Codigo";
    c.codePicture = "n_3";
    c.codePrompt = QStringLiteral("&Codigo:");
    c.nameField = p + ":Descripcion";
    c.namePrompt = QStringLiteral("&Descripción:");
    c.nameTip = QString::fromUtf8(nameTip);
    c.namePicture = "s30";
    c.nameRequired = false;
    c.listProcedure = list;
    c.listCaption = QString::fromUtf8(caption);
    c.listTip = QString::fromUtf8(caption);
    c.format = "80R(2)|M*~Codigo~@n_3@80L(2)|M*~Descripcion~@s30@";
    c.findColumns = "Codigo|@n_3|" + lp + ":Codigo|Descripcion|@s30|" + lp + ":Descripcion|";
    c.orders = {{p + ":KeyCodigo", app::ScrollStepKind::Integer, p + ":Codigo"}};
    c.tabs = {QStringLiteral("Por Código")};
    c.headerSort = false;
    return c;
}

const CatalogueDef& receiptTypes() {
    static const CatalogueDef d = docTypes(data::TableId::TipEntradas, "TEN", "ten", "UpdateTipEntradas",
                                           "BrowseTiposEntrada", "Tipos de entrada",
                                           "Descripción del tipo de entrada");
    return d;
}

const CatalogueDef& issueTypes() {
    static const CatalogueDef d = docTypes(data::TableId::TipSalidas, "TSA", "tsa", "UpdateTipSalidas",
                                           "BrowseTiposSalidas", "Tipos de salida",
                                           "Descripción del tipo de salida");
    return d;
}

}  // namespace

void BrowseTiposEntrada() { RunCatalogueBrowse(receiptTypes(), UpdateTipEntradas); }
void UpdateTipEntradas() { RunCatalogueForm(receiptTypes()); }
void BrowseTiposSalidas() { RunCatalogueBrowse(issueTypes(), UpdateTipSalidas); }
void UpdateTipSalidas() { RunCatalogueForm(issueTypes()); }

}  // namespace tv::catalog
