// UpdateEntradas: one goods receipt with its lines; "Aceptar" posts it.

#include "app/browse/browse_list.h"
#include "app/browse/message_box.h"
#include "app/form/field_binding.h"
#include "app/form/form_buttons.h"
#include "app/form/form_controller.h"
#include "app/form/lookup_drop_combo.h"
#include "catalog/suppliers.h"
#include "movements/common/document_form.h"
#include "movements/common/stock.h"
#include "movements/receipts/receipt_controls.h"
#include "movements/receipts/receipt_lines_view.h"
#include "movements/receipts/receipt_posting.h"
#include "movements/receipts/receipts.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "platform/ui/window.h"

namespace tv::movements::receipts {

using data::TableId;
using ui::ControlKind;
using namespace form_ui;

namespace {

constexpr int kSupplierList = 1;
constexpr int kLineForm = 2;

int EntField(const char* name) { return data::decl(TableId::Entradas).fieldIndex(name); }

class ReceiptForm : public DocumentForm {
public:
    explicit ReceiptForm(ui::Window& w)
        : DocumentForm("UpdateEntradas", w, TableId::Entradas,
                       {.folio = &kReceiptFolio, .folioControl = kFolio, .dateControl = kFecha,
                        .dateField = "ENT:Fecha", .linesControl = kLines, .lineInsert = kLineInsert,
                        .lineChange = kLineChange, .lineDelete = kLineDelete, .lineForm = kLineForm}) {}

    // ----- events

    int OnAccepted(int control) override {
        if (Closed()) return 0;
        switch (control) {
            case kProveedor:
                SupplierEntered(kProveedor, proveedor_, kSupplierList);
                return 0;
            case kProveedorLookup:
                if (SaveScreen()) LookUpSupplier(proveedor_, kSupplierList);
                return 0;
            case kCalendar:
                PickDate({kFolio, kFecha, kProveedor, kReferencia});
                return 0;
            case kLlamar:
                CallUp();
                return 0;
            default:
                return DocumentForm::OnAccepted(control);
        }
    }

protected:
    bool Complete() override { return CompleteReceipt(Tables(), &Tracker()); }

    bool AcceptControl(ui::Control& c) override {
        if (c.number() != kProveedor || c.hidden() || c.disabled()) return FormController::AcceptControl(c);
        return TakeControl(kProveedor) && CheckSupplier(kProveedor, proveedor_, kSupplierList);
    }

private:
    // The supplier's name and the type's description, as the header names them.
    void ShowDerived() override {
        Win().at(kNombre).setText(QString::fromStdString(SupplierName(proveedor_)));
        const data::TableDecl& ten = data::decl(TableId::TipEntradas);
        Record& type = Tables().buffer(TableId::TipEntradas);
        type.set(ten.fieldIndex("TEN:Codigo"), Buffer().get(EntField("ENT:TIPO")));
        Tables().gateway(TableId::TipEntradas).ReadByKeyOrClear("TEN:KeyCodigo");
        Win().at(kTipoDesc).setText(
            QString::fromStdString(std::string(rtrim(type.get(ten.fieldIndex("TEN:Descripcion")).asText()))));
    }

    bool SaveScreen() { return DocumentForm::SaveScreen({kFolio, kFecha, kProveedor, kReferencia}); }

    // "Llamar datos": the order's pending lines become this receipt's. Once
    // lines were copied the order stays; otherwise another may be chosen.
    void CallUp() {
        if (!SaveScreen()) return;
        const long long order = Buffer().number(EntField("ENT:OrdenCompra")).toInt64();
        if (order == 0) return;
        const std::optional<CalledUp> c = CallUpOrder(Tables(), Tracker());
        if (!c) return;
        if (c->copied > 0) {
            ShowRecord();
            Lines().ResetFromStart();
            Win().at(kLlamar).setDisabled(true);
            Win().at(kOrden).setDisabled(true);
            LockFolio();
            LinesChanged();
        }
        // Said over the lines copied.
        if (std::optional<std::string> notice = CallUpNotice(*c, order))
            app::ShowMessage(kCallUpCaption, *notice, app::MessageIcon::None);
    }

    int proveedor_ = EntField("ENT:PROVEEDOR");
};

void tip(ui::Control& c, const char* text) { app::SetTipAndStatus(c, text); }

app::BrowseListSetup LinesSetup() {
    app::BrowseListSetup s;
    s.listControl = kLines;
    s.primary = TableId::DetEntradas;
    s.joins = {{TableId::Articulo, "ART:KeyNoArt", {{"ART:NoArt", "DEN:CodigoArticulo"}}}};
    s.format =
        "[52R(2)|M*@n_10@167L(2)|M*@s40@]|M~Artículo~21L(2)|M*~UM~@n_3@45R(2)|M*~Cantidad~@n10.2@49R(2)|M*~Costo "
        "Unitario~@n10.2@56R(2)|M*~Importe~@n-14.2@";
    s.columns = {{"DEN:CodigoArticulo"}, {"ART:Descripcion"}, {"ART:UM"}, {"DEN:Cantidad"}, {"DEN:CostoUnitario"},
                 ReceiptAmountColumn("loc:Importe")};
    s.orders = {ReceiptLinesOrder()};
    s.findColumns =
        "UM|@n_3|ART:UM|Cantidad|@n10.2|den:Cantidad|Costo Unitario|@n10.2|den:CostoUnitario|Importe|@n-14.2|"
        "loc:Importe|";
    s.buttons.insert = kLineInsert;
    s.buttons.change = kLineChange;
    s.buttons.del = kLineDelete;
    return s;
}

}  // namespace

void UpdateEntradas() {
    ui::Window w(QString::fromUtf8("Entrada de almacén"), QSize(756, 540), ui::Window::Placement::FrameChild);
    w.add({ControlKind::Sheet, kSheet, "?CURRENTTAB", {}, QRect(4, 4, 748, 490)});
    w.add({ControlKind::Tab, kTab, "?TAB1", QString::fromUtf8("Entrada de almacén"), {}, kSheet});
    auto prompt = [&](int n, const char* name, const char* text, QRect r) {
        w.add({ControlKind::Prompt, n, name, QString::fromUtf8(text), r, kTab});
    };
    auto entry = [&](int n, const char* name, QRect r, const char* tipText) {
        tip(w.add({ControlKind::Entry, n, name, {}, r, kTab}), tipText);
    };
    auto button = [&](int n, const char* name, const char* text, QRect r, const char* tipText) -> ui::Control& {
        ui::Control& c = w.add({ControlKind::Button, n, name, QString::fromUtf8(text), r, kTab});
        tip(c, tipText);
        return c;
    };
    prompt(kFolioPrompt, "?ENT:Folio:Prompt", "&Folio:", QRect(8, 10, 80, 20));
    entry(kFolio, "?ENT:Folio", QRect(96, 8, 100, 22), "Folio de la entrada");
    prompt(kFechaPrompt, "?ENT:Fecha:Prompt", "&Fecha:", QRect(240, 10, 50, 20));
    entry(kFecha, "?ENT:Fecha", QRect(296, 8, 100, 22), "Fecha de entrada");
    button(kCalendar, "?CALENDAR", "...", QRect(398, 8, 28, 22), "Buscar fecha");
    w.add({ControlKind::GroupBox, kTipoGroup, "?GROUP1", QStringLiteral("Tipo:"), QRect(6, 36, 728, 50), kTab});
    prompt(kTipoPrompt, "?ENT:TIPO:Prompt", "&Tipo:", QRect(16, 58, 70, 20));
    tip(w.add({ControlKind::DropCombo, kTipo, "?ENT:TIPO", {}, QRect(96, 56, 150, 22), kTab}), "Tipo de entrada");
    prompt(kTipoDescPrompt, "?TEN:Descripcion:Prompt", "&Descripcion:", QRect(260, 58, 80, 20));
    tip(w.add({ControlKind::DisplayString, kTipoDesc, "?TEN:Descripcion", {}, QRect(344, 58, 286, 20), kTab}),
        "Descripción del tipo de entrada");
    w.add({ControlKind::GroupBox, kProveedorGroup, "?GROUP2", QStringLiteral("Proveedor:"), QRect(6, 92, 728, 50), kTab});
    prompt(kProveedorPrompt, "?ENT:PROVEEDOR:Prompt", "&Proveedor:", QRect(16, 114, 78, 20));
    entry(kProveedor, "?ENT:PROVEEDOR", QRect(96, 112, 120, 22), "Código del proveedor");
    button(kProveedorLookup, "?LOOKUP1", "", QRect(218, 112, 26, 22), "Buscar proveedor").setIcon(ui::programIcon("LUPA.ICO"));
    prompt(kNombrePrompt, "?PVD:Nombre:Prompt", "&Nombre:", QRect(260, 114, 80, 20));
    tip(w.add({ControlKind::DisplayString, kNombre, "?PVD:Nombre", {}, QRect(344, 114, 286, 20), kTab}),
        "Nombre del proveedor");
    prompt(kOrdenPrompt, "?ENT:OrdenCompra:Prompt", "&Orden Compra:", QRect(8, 152, 94, 20));
    tip(w.add({ControlKind::DropCombo, kOrden, "?ENT:OrdenCompra", {}, QRect(104, 150, 100, 22), kTab}),
        "Orden de compra");
    prompt(kReferenciaPrompt, "?ENT:Referencia:Prompt", "&Referencia:", QRect(240, 152, 80, 20));
    entry(kReferencia, "?ENT:Referencia", QRect(324, 150, 180, 22), "Referencia de compra");
    button(kLlamar, "?LLAMAR", "Llamar datos", QRect(8, 180, 110, 26), "Llamar datos de la orden de compra");
    w.add({ControlKind::FixedText, kLinesLabel, "?STRING1", QString::fromUtf8("Artículos de la entrada:"),
           QRect(8, 214, 200, 18), kTab});
    tip(w.add({ControlKind::List, kLines, "?LIST", {}, QRect(8, 234, 724, 180), kTab}), "Artículos de la entrada");
    button(kLineInsert, "?INSERT", "&Agregar", QRect(8, 420, 84, 28), "Agregar artículo a la entrada")
        .setIcon(ui::programIcon("WAINSERT.ICO"));
    button(kLineChange, "?CHANGE", "&Cambiar", QRect(96, 420, 84, 28), "Modificar artículo de la entrada")
        .setIcon(ui::programIcon("WAChange.ICO"));
    button(kLineDelete, "?DELETE", "&Borrar", QRect(184, 420, 84, 28), "Eliminar artículo de la entrada")
        .setIcon(ui::programIcon("WADELETE.ICO"));
    app::AddOkCancel(w, kOk, kCancel, QRect(572, 502, 86, 28));

    ReceiptForm form(w);
    form.SetOkCancel(kOk, kCancel);
    form.SetFirstField(kFolioPrompt);
    form.Bind(kFolio, "ENT:Folio", "n_10", {.required = true, .ditto = false});
    form.Bind(kFecha, "ENT:Fecha", "d6");
    form.Bind(kProveedor, "ENT:PROVEEDOR", "s15");
    form.Bind(kReferencia, "ENT:Referencia", "s20");
    app::LookupDropCombo type(form, {.control = kTipo, .table = TableId::TipEntradas, .codeField = "TEN:Codigo",
                                     .nameField = "TEN:Descripcion", .targetField = "ENT:TIPO",
                                     .keyOrder = "TEN:KeyCodigo"});
    app::LookupDropCombo order(form, {.control = kOrden, .table = TableId::Ordenes, .codeField = "ORD:Folio",
                                      .nameField = "ORD:Folio", .targetField = "ENT:OrdenCompra",
                                      .keyOrder = "ORD:KeyFolio"});
    form.AddLookup(type);
    form.AddLookup(order);
    form.SetSubProcedure(kSupplierList, [] { catalog::BrowseProveedores(); });
    form.SetSubProcedure(kLineForm, [] { UpdateArtEntrada(); });
    form.AddLines(LinesSetup());
    app::RunProcedure(form);
}

}  // namespace tv::movements::receipts
