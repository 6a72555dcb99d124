// BrowseFisico: the physical counts, and below them the lines of the
// selected one; from here a count is printed and applied to stock.
#include "app/browse/browse_controller.h"
#include "app/list/find.h"
#include "movements/counts/count_controls.h"
#include "movements/counts/count_lines_list.h"
#include "movements/counts/counts.h"
#include "movements/counts/window_parts.h"
#include "platform/ui/window.h"

namespace tv::movements::counts {

using data::TableId;
using ui::ControlKind;
using namespace list_ui;

namespace {

class CountList : public app::BrowseController {
public:
    using BrowseController::BrowseController;

    int OnAccepted(int control) override {
        const int r = BrowseController::OnAccepted(control);
        if (control == kAdjust && !Closed()) Adjust();
        return r;
    }

    // The count sheet prints the count selected above, whatever line is
    // selected below.
    void PrintSelectedCount() {
        if (List(0).ReadSelected()) ReporteFisico();
    }

private:
    // Applies the count the list shows selected: with none (an empty or
    // filtered-out list) nothing is applied.
    void Adjust() {
        if (List(0).selectedLine() == nullptr || !List(0).ReadSelected()) return;
        const data::TableDecl& fis = data::decl(TableId::Fisico);
        const long long id = data::tables().buffer(TableId::Fisico).number(fis.fieldIndex("FIS:ID")).toInt64();
        ActualizaInventario(id);
        RefreshWindow();
    }
};

app::BrowseListSetup CountsSetup() {
    app::BrowseListSetup s;
    s.listControl = kCountsList;
    s.primary = TableId::Fisico;
    s.format = "52C(2)|M*~Fecha~C(0)@d6@80L(2)|M*~Descripcion~@s60@";
    s.columns = {{"FIS:Fecha"}, {"FIS:Descripcion"}};
    s.orders = {{"FIS:KeyId", app::ScrollStepKind::Integer, "FIS:ID"}};
    s.findColumns = "Fecha|@d6|FIS:Fecha|Descripcion|@s60|FIS:Descripcion|";
    s.buttons.insert = kInsert;
    s.buttons.change = kChange;
    s.buttons.del = kDelete;
    s.buttons.view = kView;
    return s;
}

}  // namespace

app::BrowseListSetup CountLinesSetup(int listControl, const char* format) {
    app::BrowseListSetup s;
    s.listControl = listControl;
    s.primary = TableId::DetFisico;
    s.joins = {{TableId::Articulo, "ART:KeyNoArt", {{"ART:NoArt", "DFI:CodigoArticulo"}}},
               {TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}}};
    s.format = format;
    s.columns = {{"DFI:CodigoArticulo"}, {"ART:Descripcion"}, {"UNI:UM"}, {"DFI:Referencia"}, {"DFI:Existencia"}};
    app::BrowseOrderSetup byCount("DFI:KeyInventario", app::ScrollStepKind::Integer, "");
    byCount.rangeHeader = TableId::Fisico;
    s.orders = {byCount};
    s.findColumns =
        "No Art|@n_10|dfi:CodigoArticulo|Descripcion|@s70|ART:Descripcion|UM|@s40|UNI:UM|Referencia|@s20|"
        "dfi:Referencia|Existencia|@n10.2|dfi:Existencia|";
    return s;
}

void BrowseFisico() {
    ui::Window w(QString::fromUtf8("Inventarios físicos"), QSize(880, 520), ui::Window::Placement::FrameChild);
    SetTipAndStatus(w.add({ControlKind::List, kCountsList, "?BROWSE:1", {}, QRect(8, 8, 864, 150)}),
                    "Inventarios registrados");
    for (const ButtonDecl& b :
         {ButtonDecl{kView, "?VIEW:2", "&Ver", "Consultar registro", "WAView.ico", QRect(8, 164, 84, 28)},
          ButtonDecl{kInsert, "?INSERT:3", "&Agregar", "Agregar registro", "WAINSERT.ICO", QRect(96, 164, 84, 28)},
          ButtonDecl{kChange, "?CHANGE:3", "&Cambiar", "Modificar registro", "WAChange.ICO", QRect(184, 164, 84, 28)},
          ButtonDecl{kDelete, "?DELETE:3", "&Borrar", "Borrar registro", "WADELETE.ICO", QRect(272, 164, 84, 28)},
          ButtonDecl{kPrint, "?PRINT", "Im&primir", "Imprimir inventario físico", "WAPrint.ico",
                     QRect(360, 164, 84, 28)}})
        AddButton(w, b);
    w.add({ControlKind::Sheet, kSheet, "?CURRENTTAB", {}, QRect(4, 198, 872, 280)});
    w.add({ControlKind::Tab, kTab, "?TAB:2", QStringLiteral("Por fecha"), {}, kSheet});
    AddButton(w, {kAdjust, "?BUTTON7", "Ac&tualizar el inventario",
                  "Actualizar el inventario de acuerdo al inventario físico", nullptr, QRect(6, 6, 200, 28), kTab});
    SetTipAndStatus(w.add({ControlKind::List, kLinesList, "?LIST", {}, QRect(6, 40, 854, 200), kTab}),
        "Productos del inventario físico");
    AddButton(w, {kClose, "?CLOSE", "Cerrar", "Cierra la ventana", "WAClose.ico", QRect(788, 486, 84, 28)});
    w.add({ControlKind::FixedText, kHint, "?STRING1", QString::fromUtf8(list::findtext::kHint),
           QRect(8, 492, 80, 18)});

    CountList c("BrowseFisico", w);
    c.SetCloseButton(kClose);
    app::BrowseList& counts = c.AddList(CountsSetup());
    app::BrowseListSetup linesSetup = CountLinesSetup(
        kLinesList,
        "47R(2)|M*~No Art~@n_10@280L(2)|M*~Descripcion~@s70@67L(2)|M*~UM~@s40@87L(2)|M*~Referencia~@s20@"
        "40R(2)|M*~Existencia~@n10.2@");
    linesSetup.buttons.print = kPrint;
    app::BrowseList& lines = c.AddList(linesSetup);
    counts.AddDependent(lines);
    c.SetProcedure(1, UpdateFisico);
    c.SetProcedure(2, [&c] { c.PrintSelectedCount(); });
    app::RunProcedure(c);
}

}  // namespace tv::movements::counts
