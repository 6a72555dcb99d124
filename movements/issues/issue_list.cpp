// BrowseSalidas: the issues, and below them the lines of the selected one.
#include "app/browse/browse_controller.h"
#include "movements/common/document_lines_view.h"
#include "movements/common/document_list.h"
#include "movements/issues/issue_controls.h"
#include "movements/issues/issues.h"
#include "platform/types/text.h"
#include "platform/ui/window.h"

namespace tv::movements::issues {

using data::TableId;
using ui::ControlKind;
using namespace list_ui;

namespace {

// The list window: under the lines, the selected issue's type ("Recibe:").
class IssueList : public DocumentList {
public:
    explicit IssueList(ui::Window& w) : DocumentList("BrowseSalidas", w, kChange, kDelete) {}

protected:
    void ShowSelected(bool read) override {
        QString type;
        if (read) {
            const Record& t = data::tables().buffer(TableId::TipSalidas);
            type = QString::fromStdString(
                std::string(rtrim(t.get(data::decl(TableId::TipSalidas).fieldIndex("TSA:Descripcion")).asText())));
        }
        Win().at(kTypeName).setText(type);
    }
};

app::BrowseListSetup HeaderListSetup() {
    app::BrowseListSetup s;
    s.listControl = kHeaderList;
    s.primary = TableId::Salidas;
    s.joins = {{TableId::TipSalidas, "TSA:KeyCodigo", {{"TSA:Codigo", "SAL:TIPO"}}}};
    s.format =
        "46R(1)|M*~Id~@n_10@47R(1)|M*~Folio~@n_10@120L(1)|M*~Tipo~@s30@52R(1)|M*~Fecha~@d6@"
        "80L(2)|M*~Referencia~@s20@";
    s.columns = {{"SAL:Id"}, {"SAL:Folio"}, {"TSA:Descripcion"}, {"SAL:Fecha"}, {"SAL:Referencia"}};
    s.orders = {{"SAL:KeyFolio", app::ScrollStepKind::Integer, "SAL:Folio"}};
    s.findColumns =
        "Id|@n_10|sal:Id|Folio|@n_10|sal:Folio|Tipo|@s30|tsa:Descripcion|Fecha|@d6|sal:Fecha|Referencia|@s20|"
        "sal:Referencia|";
    s.buttons.insert = kInsert;
    s.buttons.change = kChange;
    s.buttons.del = kDelete;
    s.buttons.view = kView;
    return s;
}

app::BrowseListSetup LinesListSetup() {
    app::BrowseListSetup s;
    s.listControl = kLinesList;
    s.primary = TableId::DetSalidas;
    s.joins = {{TableId::Articulo, "ART:KeyNoArt", {{"ART:NoArt", "DES:CodigoArticulo"}}},
               {TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}}};
    s.format =
        "51R(2)|M*~Codigo Articulo~@n_10@278L(2)|M*~Descripcion~@s70@85L(2)|M*~UM~@s40@"
        "40R(2)|M*~Cantidad~@n10.2@";
    s.columns = {{"DES:CodigoArticulo"}, {"ART:Descripcion"}, {"UNI:UM"}, {"DES:Cantidad"}};
    s.orders = {DocumentLinesOrder("DES:KeySalida", TableId::Salidas)};
    s.findColumns =
        "Codigo Articulo|@n_10|des:CodigoArticulo|Descripcion|@s70|ART:Descripcion|UM|@s40|UNI:UM|Cantidad|"
        "@n10.2|des:Cantidad|";
    s.buttons.print = kPrint;
    return s;
}

}  // namespace

void BrowseSalidas() {
    ui::Window w(QString::fromUtf8("Salidas de almacén"), QSize(824, 460), ui::Window::Placement::FrameChild);
    AddDocumentListControls(w, {.headerTip = "Salidas registradas", .linesTip = "Productos de la salida",
                                .viewTip = "Consultar salida", .printTip = "Imprimir entrada", .buttonsY = 420});
    w.add({ControlKind::FixedText, kTypeLabel, "?STRING2", QStringLiteral("Recibe:"), QRect(8, 390, 60, 18)});
    w.add({ControlKind::DisplayString, kTypeName, "?TSA:DESCRIPCION", {}, QRect(70, 390, 300, 18)});

    IssueList c(w);
    c.SetCloseButton(kClose);
    app::BrowseList& headers = c.AddList(HeaderListSetup());
    app::BrowseList& lines = c.AddList(LinesListSetup());
    headers.AddDependent(lines);
    c.SetProcedure(1, UpdateSalidas);
    c.SetProcedure(2, ImpresionSALIDA);
    app::RunProcedure(c);
}

}  // namespace tv::movements::issues
