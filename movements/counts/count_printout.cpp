// ReporteFisico: the count sheet of the count in the Fisico buffer, on the
// document printout template. It shows what was counted, not the stock.
#include "app/printout/document_printout.h"
#include "movements/common/document_lines_view.h"
#include "movements/counts/counts.h"

namespace tv::movements::counts {

using data::TableId;
using report::Align;
using report::Item;

namespace {

report::ReportLayout CountSheetLayout() {
    report::ReportLayout l;
    l.title = "DetFisico Report";
    l.pageHeaderArea = {250, 250, 8000, 1300};
    l.detailArea = {250, 1571, 8000, 9169};
    l.pageFooterArea = {250, 10740, 8000, 0};
    l.pageHeader.items = DocumentPageTop("Inventario físico");
    l.pageHeader.items.insert(l.pageHeader.items.end(), {
        Item::value("FIS:Descripcion", "s60", 52, 688, 5000),
        Item::value("FIS:Fecha", "d6", 7000, 688, 992, Align::Right),
        Item::fixed("No Art", 50, 1042, 700, Align::Right),
        Item::fixed("Descripción", 844, 1042),
        Item::fixed("UM", 4700, 1042),
        Item::fixed("Existencia", 5719, 1042, 800, Align::Right),
        Item::fixed("Referencia", 6750, 1042),
        Item::line(0, 1260, 8000, 0),
    });
    l.detail.height = 250;
    l.detail.items = {
        Item::value("DFI:CodigoArticulo", "n_10", 50, 50, 700, Align::Right),
        Item::value("ART:Descripcion", "s70", 844, 52, 3800),
        Item::value("UNI:UM", "s40", 4700, 52, 900),
        Item::value("DFI:Existencia", "n10.2", 5719, 52, 800, Align::Right),
        Item::value("DFI:Referencia", "s20", 6750, 52, 1240),
    };
    // Everything but the two titles in 8 points, as the columns are set out for.
    SetPlainFontSize(l, 8);
    return l;
}

}  // namespace

void ReporteFisico() {
    app::DocumentPrintoutSetup s;
    s.procedure = "ReporteFisico";
    s.layout = CountSheetLayout();
    s.lines = TableId::DetFisico;
    s.linkKey = "DFI:KeyInventario";
    s.range = app::PrintoutRange::HeaderRelation;
    s.header = TableId::Fisico;
    s.addedOrder = "dfi:CodigoArticulo";
    s.joins = {{TableId::Fisico, "FIS:KeyId", {{"FIS:ID", "DFI:INVENTARIO"}}},
               {TableId::Articulo, "ART:KeyNoArt", {{"ART:NoArt", "DFI:CodigoArticulo"}}},
               {TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}}};
    app::RunDocumentPrintout(s);
}

}  // namespace tv::movements::counts
