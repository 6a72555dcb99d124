// ImprimirEntrada: the printed receipt, on the document printout template.
#include "app/printout/document_printout.h"
#include "movements/common/document_lines_view.h"
#include "movements/receipts/receipts.h"

namespace tv::movements::receipts {

using data::TableId;
using report::Align;
using report::Item;

namespace {

report::ReportLayout ReceiptLayout() {
    report::ReportLayout l;
    l.title = "Entrada de almacén";
    l.pageHeaderArea = {250, 250, 8000, 1729};
    l.detailArea = {250, 2000, 8000, 8740};
    l.pageFooterArea = {250, 10740, 8000, 0};
    l.pageHeader.items = DocumentPageHeader("Entrada de almacén", "Articulo", 1542,
                                            {Item::fixed("Proveedor:", 52, 625),
                                             Item::value("PVD:Nombre", "s40", 656, 625, 2500),
                                             Item::value("PVD:Nombre2", "s40", 656, 844, 2500),
                                             Item::fixed("Tipo:", 52, 1083),
                                             Item::value("TEN:Descripcion", "s30", 656, 1083, 2500),
                                             Item::fixed("Referencia:", 52, 1292),
                                             Item::value("ENT:Referencia", "s20", 656, 1292, 2000),
                                             Item::fixed("Folio:", 6833, 625),
                                             Item::value("ENT:Folio", "n_10", 7292, 625, 700, Align::Right),
                                             Item::fixed("Fecha:", 6833, 844),
                                             Item::value("ENT:Fecha", "d6", 7250, 844, 742, Align::Right),
                                             Item::fixed("O.C:", 6833, 1083),
                                             Item::value("ENT:OrdenCompra", "n_10", 7292, 1083, 700, Align::Right)});
    l.detail = LineDetailBand("DEN:CodigoArticulo", "DEN:Cantidad", "DEN:CostoUnitario");
    // Everything but the two titles in 8 points, as the columns are set out for.
    SetPlainFontSize(l, 8);
    return l;
}

}  // namespace

void ImprimirEntrada() {
    app::DocumentPrintoutSetup s;
    s.procedure = "ImprimirEntrada";
    s.layout = ReceiptLayout();
    s.lines = TableId::DetEntradas;
    s.linkKey = "DEN:KeyEntrada";
    s.range = app::PrintoutRange::LineBufferValue;
    s.linkField = "DEN:ENTRADA";
    s.joins = {{TableId::Entradas, "ENT:KeyFolio", {{"ENT:Folio", "DEN:ENTRADA"}}},
               {TableId::TipEntradas, "TEN:KeyCodigo", {{"TEN:Codigo", "ENT:TIPO"}}},
               {TableId::Proveedores, "PVD:KeyCodigo", {{"PVD:Codigo", "ENT:PROVEEDOR"}}},
               {TableId::Articulo, "ART:KeyNoArt", {{"ART:NoArt", "DEN:CodigoArticulo"}}},
               {TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}}};
    s.compute = LineAmountStep("DEN:Cantidad", "DEN:CostoUnitario");
    app::RunDocumentPrintout(s);
}

}  // namespace tv::movements::receipts
