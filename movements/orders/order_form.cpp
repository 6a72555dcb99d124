// UpdateOrdenes: one purchase order with its lines; "Aceptar" posts it.
#include "app/form/field_binding.h"
#include "app/form/form_buttons.h"
#include "catalog/suppliers.h"
#include "movements/common/document_form.h"
#include "movements/orders/order_controls.h"
#include "movements/orders/order_lines_view.h"
#include "movements/orders/order_posting.h"
#include "movements/orders/orders.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "platform/ui/window.h"

namespace tv::movements::orders {

using data::TableId;
using ui::ControlKind;
using namespace form_ui;

namespace {

constexpr int kSupplierList = 1;
constexpr int kLineForm = 2;

int OrdField(const char* name) { return data::decl(TableId::Ordenes).fieldIndex(name); }

QString Shown(const Value& v, const char* picture) {
    return QString::fromStdString(std::string(trim(Picture::parse(picture)->format(v))));
}

class OrderForm : public DocumentForm {
public:
    explicit OrderForm(ui::Window& w)
        : DocumentForm("UpdateOrdenes", w, TableId::Ordenes,
                       {.folio = &kOrderFolio, .folioControl = kFolio, .dateControl = kFecha,
                        .dateField = "ORD:Fecha", .linesControl = kLines, .lineInsert = kLineInsert,
                        .lineChange = kLineChange, .lineDelete = kLineDelete, .lineForm = kLineForm}) {}

    int OnAccepted(int control) override {
        if (Closed() || ViewMode()) return DocumentForm::OnAccepted(control);
        switch (control) {
            case kFecha:
            case kPlazo:
                if (TakeControl(control)) Deliver();
                return 0;
            case kCalendar:
                PickDate({kFolio, kFecha, kPlazo, kEntrega, kElabora, kProveedor, kReferencia, kPrioridad});
                Deliver();
                return 0;
            case kProveedor:
                SupplierEntered(kProveedor, proveedor_, kSupplierList);
                return 0;
            case kProveedorLookup:
                if (SaveScreen({kFolio, kFecha, kPlazo, kEntrega, kElabora, kProveedor, kReferencia, kPrioridad}))
                    LookUpSupplier(proveedor_, kSupplierList);
                return 0;
            default:
                return DocumentForm::OnAccepted(control);
        }
    }

protected:
    bool Complete() override { return CompleteOrder(Tables(), &Tracker()); }

    // The supplier's name and the totals.
    void ShowDerived() override {
        Win().at(kNombre).setText(QString::fromStdString(SupplierName(proveedor_)));
        Win().at(kTotalCantidad).setText(Shown(Buffer().get(OrdField("ORD:TOTALARTICULO")), "n-14.2"));
        Win().at(kTotalImporte).setText(Shown(Value(amount_), "n-14.2"));
    }

    // The totals follow the lines stored under the folio shown.
    void LinesChanged() override {
        const OrderTotals t = StoredTotals(Tables(), Folio());
        Buffer().set(OrdField("ORD:TOTALARTICULO"), Value(t.quantity));
        amount_ = t.amount;
        ShowDerived();
    }

    bool AcceptControl(ui::Control& c) override {
        if (c.number() != kProveedor || c.hidden() || c.disabled()) return DocumentForm::AcceptControl(c);
        return TakeControl(kProveedor) && CheckSupplier(kProveedor, proveedor_, kSupplierList);
    }

private:
    // The delivery date from the order date and the term.
    void Deliver() {
        Buffer().set(OrdField("ORD:Entrega"),
                     Value(DeliveryDate(static_cast<long>(Buffer().number(OrdField("ORD:Fecha")).toInt64()),
                                        Buffer().number(OrdField("ORD:Plazo")))));
        ShowBound(kEntrega);
    }

    int proveedor_ = OrdField("ORD:Proveedor");
    Decimal amount_;
};

app::BrowseListSetup LinesSetup() {
    app::BrowseListSetup s = OrderLinesList(kLines);
    s.format =
        "40R(2)|M*~Articulo~@n_10@120L(2)|M*~Descripcion~@s40@50L(2)|M*~UM~@s40@44R(2)|M*~Cantidad~@n10.2@"
        "44R(2)|M*~Costo~@n10.2@50R(2)|M*~Importe~@n-14.2@";
    s.columns = {{"DOR:Articulo"}, {"ART:Descripcion"}, {"UNI:UM"}, {"DOR:Cantidad"}, {"DOR:Costo"},
                 OrderAmountColumn()};
    s.findColumns =
        "Articulo|@n_10|dor:Articulo|Descripcion|@s40|ART:Descripcion|UM|@s40|UNI:UM|Cantidad|@n10.2|dor:Cantidad|"
        "Costo|@n10.2|dor:Costo|Importe|@n-14.2|loc:importe|";
    s.buttons.insert = kLineInsert;
    s.buttons.change = kLineChange;
    s.buttons.del = kLineDelete;
    return s;
}

}  // namespace

void UpdateOrdenes() {
    ui::Window w(QStringLiteral("Orden de compra"), QSize(700, 560), ui::Window::Placement::FrameChild);
    w.add({ControlKind::Sheet, kSheet, "?CURRENTTAB", {}, QRect(4, 4, 692, 510)});
    w.add({ControlKind::Tab, kTab, "?TAB1", QStringLiteral("Datos"), {}, kSheet});
    w.add({ControlKind::Tab, kNotasTab, "?TAB2", QStringLiteral("Notas"), {}, kSheet});
    auto prompt = [&](int n, const char* name, const char* text, QRect r, int parent = kTab) {
        w.add({ControlKind::Prompt, n, name, QString::fromUtf8(text), r, parent});
    };
    auto entry = [&](int n, const char* name, QRect r, const char* tipText, ControlKind k = ControlKind::Entry,
                     const char* text = "") -> ui::Control& {
        ui::Control& c = w.add({k, n, name, QString::fromUtf8(text), r, kTab});
        app::SetTipAndStatus(c, tipText);
        return c;
    };
    auto button = [&](int n, const char* name, const char* text, QRect r, const char* tipText) -> ui::Control& {
        ui::Control& c = w.add({ControlKind::Button, n, name, QString::fromUtf8(text), r, kTab});
        app::SetTipAndStatus(c, tipText);
        return c;
    };
    prompt(kFolioPrompt, "?ORD:Folio:Prompt", "&Folio:", QRect(8, 10, 80, 20));
    entry(kFolio, "?ORD:Folio", QRect(96, 8, 100, 22), "Folio de la orden de compra");
    prompt(kFechaPrompt, "?ORD:Fecha:Prompt", "&Fecha:", QRect(230, 10, 60, 20));
    entry(kFecha, "?ORD:Fecha", QRect(296, 8, 100, 22), "Fecha de elaboración");
    button(kCalendar, "?CALENDAR", "...", QRect(398, 8, 28, 22), "Buscar fecha");
    prompt(kPlazoPrompt, "?ORD:Plazo:Prompt", "Plazo:", QRect(8, 38, 80, 20));
    entry(kPlazo, "?ORD:Plazo", QRect(96, 36, 60, 22), "Días de plazo para entrega");
    prompt(kEntregaPrompt, "?ORD:Entrega:Prompt", "&Entrega:", QRect(230, 38, 60, 20));
    entry(kEntrega, "?ORD:Entrega", QRect(296, 36, 100, 22), "Fecha de entrega");
    prompt(kElaboraPrompt, "?ORD:Elabora:Prompt", "Elabora:", QRect(8, 66, 80, 20));
    entry(kElabora, "?ORD:Elabora", QRect(96, 64, 300, 22), "Nombre de quien elabora");
    w.add({ControlKind::GroupBox, kProveedorGroup, "?GROUP1", QStringLiteral("Proveedor:"), QRect(6, 92, 672, 50), kTab});
    prompt(kProveedorPrompt, "?ORD:Proveedor:Prompt", "&Proveedor:", QRect(16, 114, 78, 20));
    entry(kProveedor, "?ORD:Proveedor", QRect(96, 112, 120, 22), "Código del proveedor");
    button(kProveedorLookup, "?LOOKUP1", "", QRect(218, 112, 26, 22), "Buscar proveedor")
        .setIcon(ui::programIcon("LUPA.ICO"));
    prompt(kNombrePrompt, "?PVD:Nombre:Prompt", "&Nombre:", QRect(256, 114, 60, 20));
    entry(kNombre, "?PVD:Nombre", QRect(318, 114, 252, 20), "Nombre del proveedor", ControlKind::DisplayString);
    prompt(kReferenciaPrompt, "?ORD:Referencia:Prompt", "&Referencia:", QRect(8, 152, 80, 20));
    entry(kReferencia, "?ORD:Referencia", QRect(96, 150, 180, 22), "Referencia de la orden de compra");
    prompt(kPrioridadPrompt, "?ORD:Prioridad:Prompt", "P&rioridad:", QRect(300, 152, 70, 20));
    entry(kPrioridad, "?ORD:Prioridad", QRect(376, 150, 100, 22), "Prioridad de la orden de compra",
          ControlKind::DropCombo, "ALTA|MEDIA|BAJA");
    w.add({ControlKind::FixedText, kLinesLabel, "?STRING1", QString::fromUtf8("Productos de la orden de compra:"),
           QRect(8, 182, 240, 18), kTab});
    app::SetTipAndStatus(w.add({ControlKind::List, kLines, "?LIST", {}, QRect(8, 202, 670, 200), kTab}),
                         "Productos de la orden de compra");
    button(kLineInsert, "?INSERT", "&Agregar", QRect(8, 408, 84, 28), "Agregar producto a la orden")
        .setIcon(ui::programIcon("WAINSERT.ICO"));
    button(kLineChange, "?CHANGE", "&Cambiar", QRect(96, 408, 84, 28), "Modificar el producto de la orden")
        .setIcon(ui::programIcon("WAChange.ICO"));
    button(kLineDelete, "?DELETE", "&Borrar", QRect(184, 408, 84, 28), "Eliminar el producto de la orden")
        .setIcon(ui::programIcon("WADELETE.ICO"));
    prompt(kTotalPrompt, "?ORD:TOTALARTICULO:Prompt", "Total:", QRect(326, 414, 44, 20));
    entry(kTotalCantidad, "?ORD:TOTALARTICULO", QRect(372, 414, 104, 20), "Cantidad total pedida",
          ControlKind::DisplayString);
    prompt(kTotalImportePrompt, "?LOC:TOTALIMPORTE:Prompt", "Importe:", QRect(506, 414, 60, 20));
    entry(kTotalImporte, "?LOC:TOTALIMPORTE", QRect(572, 414, 104, 20), "Importe total de la orden",
          ControlKind::DisplayString);
    prompt(kNotasPrompt, "?ORD:Nota:Prompt", "&Notas:", QRect(8, 10, 80, 20), kNotasTab);
    app::SetTipAndStatus(
        w.add({ControlKind::MultiLineText, kNotas, "?ORD:Nota", {}, QRect(8, 32, 670, 300), kNotasTab}),
        "Notas adicionales");
    app::AddOkCancel(w, kOk, kCancel, QRect(516, 522, 86, 28));

    OrderForm form(w);
    form.SetOkCancel(kOk, kCancel);
    form.SetFirstField(kFolioPrompt);
    // The folio is the document's own: never repeated from the last order.
    form.Bind(kFolio, "ORD:Folio", "n_10", {.required = true, .ditto = false});
    form.Bind(kFecha, "ORD:Fecha", "d6");
    form.Bind(kPlazo, "ORD:Plazo", "n-4.0");
    form.Bind(kEntrega, "ORD:Entrega", "d6");
    form.Bind(kElabora, "ORD:Elabora", "s40");
    form.Bind(kProveedor, "ORD:Proveedor", "s15");
    form.Bind(kReferencia, "ORD:Referencia", "s20");
    form.Bind(kPrioridad, "ORD:Prioridad", "s5");
    form.Bind(kNotas, "ORD:Nota", "s1000");
    form.SetSubProcedure(kSupplierList, [] { catalog::BrowseProveedores(); });
    form.SetSubProcedure(kLineForm, [] { UpdateProdOrden(); });
    form.AddLines(LinesSetup());
    app::RunProcedure(form);
}

}  // namespace tv::movements::orders
