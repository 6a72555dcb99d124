// ImprimirEntrada: the printed receipt, on the document printout template.
#include "app/printout/document_printout.h"
#include "movements/common/stock.h"
#include "movements/receipts/receipts.h"

namespace tv::movements::receipts {

using data::TableId;
using report::Align;
using report::Item;

namespace {

report::ReportLayout ReceiptLayout() {
    report::ReportLayout l = app::DocumentLayout("Entrada de almacén", "Entrada de almacén", 1729);
    l.pageHeader.items.insert(l.pageHeader.items.end(), {
        Item::fixed("Proveedor:", 52, 625),
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
        Item::value("ENT:OrdenCompra", "n_10", 7292, 1083, 700, Align::Right),
        Item::fixed("Codigo", 396, 1542),
        Item::fixed("Articulo", 844, 1542),
        Item::fixed("UM", 4969, 1542),
        Item::fixed("Cantidad", 5927, 1542),
        Item::fixed("Costo", 6823, 1542),
        Item::fixed("Importe", 7625, 1542),
        Item::line(0, 1708, 8000, 0),
    });
    l.detail.height = 250;
    l.detail.items = {
        Item::value("DEN:CodigoArticulo", "n_10", 50, 50, 700, Align::Right),
        Item::value("ART:Descripcion", "s70", 844, 52, 3990),
        Item::value("UNI:UM", "s40", 4969, 52, 646),
        Item::value("DEN:Cantidad", "n10.2", 5719, 52, 800, Align::Right),
        Item::value("DEN:CostoUnitario", "n10.2", 6458, 52, 700, Align::Right),
        Item::value("LOC:IMPORTE", "n-14.2", 7156, 52, 840, Align::Right),
    };
    app::UseSmallText(l);
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
    s.compute = [](const report::RecordValues& r, report::OverlayValues& o) {
        o.set("LOC:IMPORTE", Value(LineAmount(r.value("DEN:Cantidad"), r.value("DEN:CostoUnitario"))));
    };
    app::RunDocumentPrintout(s);
}

}  // namespace tv::movements::receipts
