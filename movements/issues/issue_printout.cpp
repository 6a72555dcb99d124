// ImpresionSALIDA: the printed issue, on the document printout template.
#include "app/printout/document_printout.h"
#include "movements/common/document_lines_view.h"
#include "movements/issues/issues.h"

namespace tv::movements::issues {

using data::TableId;
using report::Align;
using report::Item;

namespace {

report::ReportLayout IssueLayout() {
    report::ReportLayout l;
    l.title = "DetSalidas Report";
    l.pageHeaderArea = {250, 250, 8000, 1500};
    l.detailArea = {250, 1750, 8000, 8990};
    l.pageFooterArea = {250, 10740, 8000, 0};
    l.pageHeader.items = DocumentPageHeader("Salida de almacén", "Descripción", 1292,
                                            {Item::fixed("Tipo:", 52, 625),
                                             Item::value("TSA:Descripcion", "s30", 1100, 625, 2800),
                                             Item::fixed("Departamento:", 52, 844),
                                             Item::value("DEP:Nombre", "s30", 1100, 844, 2800),
                                             Item::fixed("Folio:", 6833, 625),
                                             Item::value("SAL:Folio", "n_10", 7292, 625, 700, Align::Right),
                                             Item::fixed("Fecha:", 6833, 844),
                                             Item::value("SAL:Fecha", "d6", 7250, 844, 742, Align::Right)});
    l.detail = LineDetailBand("DES:CodigoArticulo", "DES:Cantidad", "DES:CostoUnitario");
    // Everything but the two titles in 8 points, as the columns are set out for.
    SetPlainFontSize(l, 8);
    return l;
}

}  // namespace

void ImpresionSALIDA() {
    app::DocumentPrintoutSetup s;
    s.procedure = "ImpresionSALIDA";
    s.layout = IssueLayout();
    s.lines = TableId::DetSalidas;
    s.linkKey = "DES:KeySalida";
    s.range = app::PrintoutRange::LineBufferValue;
    s.linkField = "DES:SALIDA";
    // In this order: each join reads fields of the ones before it.
    s.joins = {{TableId::Articulo, "ART:KeyNoArt", {{"ART:NoArt", "DES:CodigoArticulo"}}},
               {TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}},
               {TableId::Salidas, "SAL:KeyFolio", {{"SAL:Folio", "DES:SALIDA"}}},
               {TableId::Deptos, "DEP:KeyId", {{"DEP:Id", "SAL:RECIBE"}}},
               {TableId::TipSalidas, "TSA:KeyCodigo", {{"TSA:Codigo", "SAL:TIPO"}}}};
    s.compute = LineAmountStep("DES:Cantidad", "DES:CostoUnitario");
    app::RunDocumentPrintout(s);
}

}  // namespace tv::movements::issues
