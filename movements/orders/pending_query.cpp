// ConsultaArtPendientes: the articles of which more was ordered than
// received, with the quantity still to receive.
#include "app/browse/browse_controller.h"
#include "app/form/form_buttons.h"
#include "app/frame/procedures.h"
#include "app/list/find.h"
#include "catalog/articles/articles.h"
#include "movements/orders/order_controls.h"
#include "movements/orders/orders.h"
#include "movements/orders/pending_items.h"
#include "platform/threads/thread_state.h"
#include "platform/ui/window.h"

namespace tv::movements::orders {

using data::TableId;
using ui::ControlKind;
using namespace pending_ui;

namespace {

constexpr const char* kReportFilter = "FiltroReportePorSurtir";

class PendingQuery : public app::BrowseController {
public:
    using BrowseController::BrowseController;

    int DispatchEvent(const ui::WindowEvent& e) override {
        if (e.kind == ui::EventKind::Accepted && e.control == kReport && !Closed()) {
            PrintReport();
            return 0;
        }
        return BrowseController::DispatchEvent(e);
    }

private:
    // The report's own filter window, on this thread until it closes.
    void PrintReport() {
        UpdateComponents();
        threadState().callRequest = 0;
        app::FindProcedure(kReportFilter)();
        threadState().callRequest = 0;
        if (!Closed()) List(0).ReloadInPlace();
    }
};


app::BrowseListSetup ListSetup() {
    app::BrowseListSetup s;
    s.listControl = kList;
    s.primary = TableId::Articulo;
    s.joins = {{TableId::Unidades, "UNI:KeyCodigo", {{"UNI:Codigo", "ART:UM"}}}};
    s.format =
        "80R(2)|M*~No Art~@n_10@200L(2)|M*~Descripcion~@s70@56L(2)|M*~UM~@s40@56R(2)|M*~Pedido~@n-14.2@"
        "56R(2)|M*~Recibido~@n-14.2@56R(2)|M*~Por Recibir~@n-14.2@";
    // The pending quantity of the record the view reads: a find on the
    // column tests each record's own value.
    s.columns = {{"ART:NoArt"},   {"ART:Descripcion"}, {"UNI:UM"},
                 {"ART:Pedido"},  {"ART:Recibido"},
                 {"PorRecibir", [] { return Value(PendingQuantity(data::tables().buffer(TableId::Articulo))); }}};
    s.orders = {{"ART:KeyNoArt", app::ScrollStepKind::Integer, "ART:NoArt"}};
    s.filter = kPendingFilter;
    s.findColumns =
        "No Art|@n_10|ART:NoArt|Descripcion|@s70|ART:Descripcion|UM|@s40|UNI:UM|Pedido|@n-14.2|ART:Pedido|"
        "Recibido|@n-14.2|ART:Recibido|Por Recibir|@n-14.2|PorRecibir|";
    s.headerSort = false;
    // "C&onsultar el artículo" is the list's view: the highlighted article,
    // read again whole, in the article form with request 6.
    s.buttons.view = kViewArticle;
    return s;
}

}  // namespace

void ConsultaArtPendientes() {
    ui::Window w(QString::fromUtf8("Artículos pendientes de surtir"), QSize(900, 400),
                 ui::Window::Placement::FrameChild);
    w.add({ControlKind::Sheet, kSheet, "?CURRENTTAB", {}, QRect(4, 4, 892, 352)});
    w.add({ControlKind::Tab, kTab, "?TAB1", QString::fromUtf8("Por No de Artículo"), {}, kSheet});
    app::SetTipAndStatus(w.add({ControlKind::List, kList, "?BROWSE:1", {}, QRect(6, 6, 874, 310), kTab}),
                         "Articulos");
    ui::Control& view = w.add({ControlKind::Button, kViewArticle, "?VIEW:2", QString::fromUtf8("C&onsultar el artículo"),
                               QRect(560, 364, 160, 28)});
    view.setIcon(ui::programIcon("WAView.ico"));
    app::SetTipAndStatus(view, "Consultar el artículo");
    ui::Control& report =
        w.add({ControlKind::Button, kReport, "?IMPRESION", QString::fromUtf8("Im&presión"), QRect(728, 364, 160, 28)});
    report.setIcon(ui::programIcon("WAPrint.ico"));
    app::SetTipAndStatus(report, "Impresión del reporte");
    w.add({ControlKind::FixedText, kHint, "?STRING1", QString::fromUtf8(list::findtext::kHint),
           QRect(8, 370, 80, 18)});

    PendingQuery c("ConsultaArtPendientes", w);
    app::BrowseList& list = c.AddList(ListSetup());
    list.USEPOPUP = 0;
    c.SetProcedure(1, [] { catalog::UpdateArticulo(); });
    app::RunProcedure(c);
}

}  // namespace tv::movements::orders
