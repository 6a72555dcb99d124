// ImprimirOrdenCompra: the printed purchase order, on the document printout
// template.
#include "app/printout/document_printout.h"
#include "movements/common/document_lines_view.h"
#include "movements/orders/orders.h"

namespace tv::movements::orders {

using data::TableId;
using report::Align;
using report::Item;

namespace {

// Column edges of the boxed rows (band units, thousandths of an inch).
constexpr int kLeft = 0, kUnit = 4400, kQuantity = 5400, kCost = 6300, kAmount = 7100, kRight = 8000;

report::ReportLayout OrderLayout() {
    report::ReportLayout l;
    l.title = "Orden de Compra";
    l.pageHeaderArea = {250, 250, 8000, 2150};
    l.detailArea = {250, 2400, 8000, 8300};
    l.pageFooterArea = {250, 10700, 8000, 0};
    report::Font title;
    title.size = 14;
    title.bold = true;
    report::Font company = title;
    company.size = 12;
    report::Font heading;
    heading.bold = true;
    l.pageHeader.items = {
        Item::value("GLO:EMPRESA", "s60", 1344, 0, 5313, Align::Center).withFont(company),
        Item::fixed("Orden de Compra", 2823, 281, 2354, Align::Center).withFont(title),
        // The supplier, at the left.
        Item::box(0, 625, 4600, 1125),
        Item::fixed("Proveedor:", 60, 665),
        Item::value("PVD:Nombre", "s40", 900, 665, 3650),
        Item::value("PVD:Nombre2", "s40", 900, 865, 3650),
        Item::line(0, 1075, 4600, 0),
        Item::fixed("Dirección:", 60, 1115),
        Item::value("PVD:DIRECCION", "s40", 900, 1115, 3650),
        Item::value("PVD:DIRECCION2", "s40", 900, 1315, 3650),
        Item::line(0, 1525, 4600, 0),
        Item::fixed("Ciudad:", 60, 1565),
        Item::value("GLO:CIUDADPROVEEDOR", "s40", 900, 1565, 3650),
        // The order, at the right.
        Item::box(5800, 625, 2200, 500),
        Item::fixed("Folio:", 5860, 665),
        Item::value("ORD:Folio", "n_10", 6600, 665, 1340, Align::Right),
        Item::line(5800, 875, 2200, 0),
        Item::fixed("Fecha:", 5860, 915),
        Item::value("ORD:Fecha", "d6", 6600, 915, 1340, Align::Right),
        // The column headings.
        Item::box(kLeft, 1850, kRight, 280),
        Item::fixed("Artículo", kLeft + 60, 1895).withFont(heading),
        Item::line(kUnit, 1850, 0, 280),
        Item::fixed("UM", kUnit + 60, 1895).withFont(heading),
        Item::line(kQuantity, 1850, 0, 280),
        Item::fixed("Cantidad", kQuantity + 60, 1895, kCost - kQuantity - 120, Align::Right).withFont(heading),
        Item::line(kCost, 1850, 0, 280),
        Item::fixed("Costo", kCost + 60, 1895, kAmount - kCost - 120, Align::Right).withFont(heading),
        Item::line(kAmount, 1850, 0, 280),
        Item::fixed("Importe", kAmount + 60, 1895, kRight - kAmount - 120, Align::Right).withFont(heading),
    };
    l.detail.height = 260;
    l.detail.items = {
        Item::box(kLeft, 0, kRight, 260),
        Item::value("ART:Descripcion", "s70", kLeft + 60, 40, kUnit - 120),
        Item::line(kUnit, 0, 0, 260),
        Item::value("UNI:UM", "s10", kUnit + 60, 40, kQuantity - kUnit - 120),
        Item::line(kQuantity, 0, 0, 260),
        Item::value("DOR:Cantidad", "n10.2", kQuantity + 60, 40, kCost - kQuantity - 120, Align::Right),
        Item::line(kCost, 0, 0, 260),
        Item::value("DOR:Costo", "n10.2", kCost + 60, 40, kAmount - kCost - 120, Align::Right),
        Item::line(kAmount, 0, 0, 260),
        Item::value("LOC:IMPORTE", "n-14.2", kAmount + 60, 40, kRight - kAmount - 120, Align::Right),
    };
    // Once, after the last line: who drew the order up, and its total.
    report::Band closing;
    closing.height = 900;
    closing.items = {
        Item::value("ORD:Elabora", "s40", 300, 520, 3400, Align::Center),
        Item::line(300, 760, 3400, 0),
        Item::line(kCost, 120, kRight - kCost, 0, true),
        Item::fixed("Total:", kCost + 60, 200),
        Item::sum("LOC:IMPORTE", "n-14.2", kAmount + 60, 200, kRight - kAmount - 120, report::TotalReset::Report),
    };
    l.groups.push_back({"GLO:EMPRESA", std::nullopt, closing});
    return l;
}

}  // namespace

void ImprimirOrdenCompra() {
    app::DocumentPrintoutSetup s;
    s.procedure = "ImprimirOrdenCompra";
    s.layout = OrderLayout();
    s.lines = TableId::DetOrdenes;
    s.linkKey = "DOR:KeyOrden";
    s.range = app::PrintoutRange::HeaderRelation;
    s.header = TableId::Ordenes;
    s.joins = {{TableId::Articulo, "ART:KeyNoArt", {{"ART:NoArt", "DOR:Articulo"}}},
               {TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}},
               {TableId::Ordenes, "ORD:KeyFolio", {{"ORD:Folio", "DOR:ORDEN"}}},
               {TableId::Proveedores, "PVD:KeyCodigo", {{"PVD:Codigo", "ORD:Proveedor"}}}};
    s.compute = LineAmountStep("DOR:Cantidad", "DOR:Costo");
    app::RunDocumentPrintout(s);
}

}  // namespace tv::movements::orders
