// UpdateProdOrden: one line of a purchase order: the article by its
// number, the quantity and the unit cost; the amount, the quantity received
// and the quantity still to receive are shown.
#include "app/browse/message_box.h"
#include "app/form/field_binding.h"
#include "app/form/form_controller.h"
#include "catalog/articles/articles.h"
#include "movements/common/stock.h"
#include "movements/orders/order_controls.h"
#include "movements/orders/order_windows.h"
#include "movements/orders/orders.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "platform/ui/desktop.h"
#include "platform/ui/window.h"

namespace tv::movements::orders {

using data::TableId;
using ui::ControlKind;
using namespace line_ui;

namespace {

constexpr int kArticleList = 1;

int Field(TableId t, const char* name) { return data::decl(t).fieldIndex(name); }

QString Text(const Value& v) { return QString::fromStdString(std::string(rtrim(v.asText()))); }

class LineForm : public app::FormController {
public:
    explicit LineForm(ui::Window& w) : FormController("UpdateProdOrden", w, TableId::DetOrdenes) {}

    int SetUpBeforeOpen() override {
        // The line belongs to the order the form above shows.
        Buffer().set(Field(TableId::DetOrdenes, "DOR:ORDEN"),
                     Tables().buffer(TableId::Ordenes).get(Field(TableId::Ordenes, "ORD:Folio")));
        return FormController::SetUpBeforeOpen();
    }

    void SetUpAfterOpen() override {
        FormController::SetUpAfterOpen();
        ShowRelated();
    }

    int DispatchEvent(const ui::WindowEvent& e) override {
        const int r = FormController::DispatchEvent(e);
        if (!Closed()) ShowRelated();
        return r;
    }

    int OnAccepted(int control) override {
        if (Closed() || ViewMode()) return FormController::OnAccepted(control);
        switch (control) {
            case kArticulo:
                // A number that names no article opens the article list; 0 looks nothing up.
                if (TakeControl(kArticulo) && !Number().isZero()) ArticleByNumber();
                return 0;
            case kArticuloLookup:
                LookUp();
                return 0;
            default:
                return FormController::OnAccepted(control);
        }
    }

protected:
    bool AcceptControl(ui::Control& c) override {
        if (c.hidden() || c.disabled()) return true;
        switch (c.number()) {
            case kArticulo:
                if (!TakeControl(kArticulo)) return false;
                if (Number().isZero()) {
                    // An order line names the article it orders.
                    ui::beep();
                    c.focus();
                    return false;
                }
                return ArticleByNumber();
            case kCantidad:
                return TakeControl(kCantidad) &&
                       Check(Line().number(Field(TableId::DetOrdenes, "DOR:Cantidad")).sign() > 0, c,
                             "Cantidad no válida", "La cantidad debe ser mayor que cero.");
            case kCosto:
                return TakeControl(kCosto) &&
                       Check(Line().number(Field(TableId::DetOrdenes, "DOR:Costo")).sign() >= 0, c,
                             "Costo no válido", "El costo unitario no puede ser negativo.");
            default:
                return FormController::AcceptControl(c);
        }
    }

private:
    Record& Line() const { return Buffer(); }
    Record& Article() const { return Tables().buffer(TableId::Articulo); }
    Decimal Number() const { return Line().number(Field(TableId::DetOrdenes, "DOR:Articulo")); }

    static bool Check(bool ok, ui::Control& c, const char* caption, const char* text) {
        if (ok) return true;
        app::ShowMessage(caption, text, app::MessageIcon::None);
        c.focus();
        return false;
    }

    static QString Amount(const Decimal& d) {
        return QString::fromStdString(std::string(trim(Picture::parse("n-14.2")->format(Value(d)))));
    }

    // The article and its unit as the line names them (blanks when it names
    // none), the amount and the quantity still to receive.
    void ShowRelated() {
        Article().set(Field(TableId::Articulo, "ART:NoArt"), Value(Number()));
        Tables().gateway(TableId::Articulo).ReadByKeyOrClear("ART:KeyNoArt");
        Record& unit = Tables().buffer(TableId::Unidades);
        unit.set(Field(TableId::Unidades, "UNI:Codigo"), Article().get(Field(TableId::Articulo, "ART:UM")));
        Tables().gateway(TableId::Unidades).ReadByKeyOrClear("UNI:KeyCodigo");
        Win().at(kDescripcion).setText(Text(Article().get(Field(TableId::Articulo, "ART:Descripcion"))));
        Win().at(kUm).setText(Text(unit.get(Field(TableId::Unidades, "UNI:UM"))));
        const Value quantity = Line().get(Field(TableId::DetOrdenes, "DOR:Cantidad"));
        Win().at(kImporte).setText(Amount(LineAmount(quantity, Line().get(Field(TableId::DetOrdenes, "DOR:Costo")))));
        Win().at(kPorRecibir).setText(
            Amount((quantity.asNumber() - Line().number(Field(TableId::DetOrdenes, "DOR:Recibido"))).rounded(2)));
    }

    // The article the number names; a number that names none opens the
    // article list. False (the focus on the number) when none was chosen.
    bool ArticleByNumber() {
        data::TableGateway& g = Tables().gateway(TableId::Articulo);
        Article().set(Field(TableId::Articulo, "ART:NoArt"), Value(Number()));
        if (g.ReadByKey("ART:KeyNoArt") == data::kDone) return true;
        if (CallSubProcedure(kArticleList, kSelect) == kCompleted) {
            Line().set(Field(TableId::DetOrdenes, "DOR:Articulo"), Article().get(Field(TableId::Articulo, "ART:NoArt")));
            ShowRecord();
            if (!Number().isZero() && g.ReadByKey("ART:KeyNoArt") == data::kDone) return true;
        }
        Win().at(kArticulo).focus();
        return false;
    }

    void LookUp() {
        for (int c : {kArticulo, kCantidad, kCosto}) TakeControl(c);
        Article().set(Field(TableId::Articulo, "ART:NoArt"), Value(Number()));
        if (CallSubProcedure(kArticleList, kSelect) == kCompleted)
            Line().set(Field(TableId::DetOrdenes, "DOR:Articulo"), Article().get(Field(TableId::Articulo, "ART:NoArt")));
        ShowRecord();
    }
};


}  // namespace

void UpdateProdOrden() {
    ui::Window w(QStringLiteral("Form DetOrdenes"), QSize(470, 340), ui::Window::Placement::FrameChild);
    w.add({ControlKind::Sheet, kSheet, "?CURRENTTAB", {}, QRect(4, 4, 462, 290)});
    w.add({ControlKind::Tab, kTab, "?TAB1", QStringLiteral("Datos"), {}, kSheet});
    w.add({ControlKind::GroupBox, kGroup, "?GROUP1", QString::fromUtf8("Artículo:"), QRect(6, 4, 444, 100), kTab});
    struct Row {
        int prompt;
        const char* promptText;
        int control;
        const char* name;
        ControlKind kind;
        int y, width;
        const char* tipText;
    };
    for (const Row& r : {Row{kArticuloPrompt, "&Articulo:", kArticulo, "?DOR:Articulo", ControlKind::Entry, 26, 100,
                             "Número de artículo"},
                         Row{kDescripcionPrompt, "&Descripcion:", kDescripcion, "?ART:Descripcion",
                             ControlKind::DisplayString, 52, 320, "Descripción del artículo"},
                         Row{kUmPrompt, "&UM:", kUm, "?UNI:UM", ControlKind::DisplayString, 76, 200, "Unidad de medida"},
                         Row{kCantidadPrompt, "&Cantidad:", kCantidad, "?DOR:Cantidad", ControlKind::Entry, 116, 100,
                             "Cantidad pedida"},
                         Row{kCostoPrompt, "&Costo:", kCosto, "?DOR:Costo", ControlKind::Entry, 142, 100,
                             "Costo unitario"},
                         Row{kImportePrompt, "&Importe:", kImporte, "?LOC:IMPORTE", ControlKind::DisplayString, 170, 120,
                             "Importe"},
                         Row{kRecibidoPrompt, "&Recibido:", kRecibido, "?DOR:Recibido", ControlKind::DisplayString, 194,
                             120, "Cantidad recibida"},
                         Row{kPorRecibirPrompt, "&Por recibir:", kPorRecibir, "?LOC:PORRECIBIR",
                             ControlKind::DisplayString, 218, 120, "Cantidad por recibir"}}) {
        w.add({ControlKind::Prompt, r.prompt, std::string(r.name) + ":Prompt", QString::fromUtf8(r.promptText),
               QRect(16, r.y + 2, 100, 20), kTab});
        Tip(w.add({r.kind, r.control, r.name, {}, QRect(120, r.y, r.width, 22), kTab}), r.tipText);
    }
    ui::Control& lookup = w.add({ControlKind::Button, kArticuloLookup, "?LOOKUP1", {}, QRect(222, 26, 26, 22), kTab});
    lookup.setIcon(ui::programIcon("LUPA.ICO"));
    Tip(lookup, "Buscar artículo");
    AddOkCancel(w, kOk, kCancel, 286, 302);

    LineForm form(w);
    form.SetOkCancel(kOk, kCancel);
    form.SetFirstField(kArticuloPrompt);
    form.Bind(kArticulo, "DOR:Articulo", "n_10", {.required = true});
    form.Bind(kCantidad, "DOR:Cantidad", "n10.2");
    form.Bind(kCosto, "DOR:Costo", "n10.2");
    // Received so far is the receipts' to write: shown, never read back nor repeated.
    form.Show(kRecibido, "DOR:Recibido", "n10.2");
    form.SetSubProcedure(kArticleList, [] { catalog::BrowseArticulo(); });
    app::RunProcedure(form);
}

}  // namespace tv::movements::orders
