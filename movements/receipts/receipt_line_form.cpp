// UpdateArtEntrada: one line of a receipt, its article picked by number or
// by bar code.
#include "app/browse/message_box.h"
#include "app/form/field_binding.h"
#include "app/form/form_buttons.h"
#include "app/form/form_controller.h"
#include "movements/common/article_line_form.h"
#include "movements/common/stock.h"
#include "movements/receipts/receipt_controls.h"
#include "movements/receipts/receipts.h"
#include "platform/types/text.h"
#include "platform/ui/window.h"

namespace tv::movements::receipts {

using data::TableId;
using ui::ControlKind;
using namespace line_ui;

namespace {

int Field(TableId t, const char* name) { return data::decl(t).fieldIndex(name); }

class LineForm : public ArticleLineForm {
public:
    explicit LineForm(ui::Window& w)
        : ArticleLineForm("UpdateArtEntrada", w, TableId::DetEntradas,
                          {.articleField = "DEN:CodigoArticulo",
                           .barcodeField = "DEN:CODBARRAS",
                           .article = kCodigo,
                           .articleLookup = kCodigoLookup,
                           .barcode = kBarras,
                           .barcodeLookup = kBarrasLookup,
                           .description = kDescripcion,
                           .unit = kUm,
                           .quantity = kCantidad,
                           .entries = {kCodigo, kBarras, kCantidad, kCosto}}) {}

    int SetUpBeforeOpen() override {
        // The line belongs to the receipt the form above shows.
        Buffer().set(Field(TableId::DetEntradas, "DEN:ENTRADA"),
                     Tables().buffer(TableId::Entradas).get(Field(TableId::Entradas, "ENT:Folio")));
        return ArticleLineForm::SetUpBeforeOpen();
    }

protected:
    bool AcceptControl(ui::Control& c) override {
        if (c.hidden() || c.disabled()) return true;
        switch (c.number()) {
            case kCantidad:
                return TakeControl(kCantidad) &&
                       Check(Line().number(LineField("DEN:Cantidad")).sign() > 0, c, "Cantidad no válida",
                             "La cantidad debe ser mayor que cero.");
            case kCosto:
                return TakeControl(kCosto) &&
                       Check(Line().number(LineField("DEN:CostoUnitario")).sign() >= 0, c, "Costo no válido",
                             "El costo unitario no puede ser negativo.");
            default:
                return ArticleLineForm::AcceptControl(c);
        }
    }

    // The line's amount.
    void ShowDerived() override {
        const Decimal amount =
            LineAmount(Line().get(LineField("DEN:Cantidad")), Line().get(LineField("DEN:CostoUnitario")));
        Win().at(kImporte).setText(
            QString::fromStdString(std::string(trim(Picture::parse("n-14.2")->format(Value(amount))))));
    }

private:
    static bool Check(bool ok, ui::Control& c, const char* caption, const char* text) {
        if (ok) return true;
        app::ShowMessage(caption, text, app::MessageIcon::None);
        c.focus();
        return false;
    }
};

void tip(ui::Control& c, const char* text) { app::SetTipAndStatus(c, text); }

}  // namespace

void UpdateArtEntrada() {
    ui::Window w(QStringLiteral("Form DetEntradas"), QSize(470, 310), ui::Window::Placement::FrameChild);
    w.add({ControlKind::Sheet, kSheet, "?CURRENTTAB", {}, QRect(4, 4, 462, 260)});
    w.add({ControlKind::Tab, kTab, "?TAB1", QStringLiteral("Datos"), {}, kSheet});
    w.add({ControlKind::GroupBox, kGroup, "?GROUP1", QString::fromUtf8("Artículo:"), QRect(6, 4, 444, 122), kTab});
    struct Row {
        int prompt;
        const char* promptText;
        int control;
        const char* name;
        ControlKind kind;
        int y, width;
        const char* tipText;
    };
    for (const Row& r : {Row{kCodigoPrompt, "&Codigo:", kCodigo, "?DEN:CodigoArticulo", ControlKind::Entry, 26, 100,
                             "Codigo del articúlo"},
                         Row{kBarrasPrompt, "Cod &Barras:", kBarras, "?DEN:CODBARRAS", ControlKind::Entry, 52, 160,
                             "Código de barras"},
                         Row{kDescripcionPrompt, "&Descripcion:", kDescripcion, "?ART:Descripcion",
                             ControlKind::DisplayString, 78, 320, "Descripción del artículo"},
                         Row{kUmPrompt, "UM:", kUm, "?UNI:UM", ControlKind::DisplayString, 100, 200, "Unidad de medida"},
                         Row{kCantidadPrompt, "&Cantidad:", kCantidad, "?DEN:Cantidad", ControlKind::Entry, 140, 100,
                             "Cantidad de artículos"},
                         Row{kCostoPrompt, "&Costo Unitario:", kCosto, "?DEN:CostoUnitario", ControlKind::Entry, 166, 100,
                             "Costo unitario"},
                         Row{kImportePrompt, "&Importe:", kImporte, "?LOC:IMPORTE", ControlKind::DisplayString, 194, 120,
                             "Importe"}}) {
        w.add({ControlKind::Prompt, r.prompt, std::string(r.name) + ":Prompt", QString::fromUtf8(r.promptText),
               QRect(16, r.y + 2, 100, 20), kTab});
        tip(w.add({r.kind, r.control, r.name, {}, QRect(120, r.y, r.width, 22), kTab}), r.tipText);
    }
    for (const auto& [n, x, y, t] : {std::tuple{kCodigoLookup, 222, 26, "Buscar artículo por número"},
                                     std::tuple{kBarrasLookup, 282, 52, "Buscar artículo por código de barras"}}) {
        ui::Control& b = w.add({ControlKind::Button, n, "?LOOKUP" + std::to_string(n), {}, QRect(x, y, 26, 22), kTab});
        b.setIcon(ui::programIcon("LUPA.ICO"));
        tip(b, t);
    }
    app::AddOkCancel(w, kOk, kCancel, QRect(286, 272, 86, 28));

    LineForm form(w);
    form.SetOkCancel(kOk, kCancel);
    form.SetFirstField(kCodigoPrompt);
    form.Bind(kCodigo, "DEN:CodigoArticulo", "n_10", {.required = true});
    form.Bind(kBarras, "DEN:CODBARRAS", "s20");
    form.Bind(kCantidad, "DEN:Cantidad", "n10.2");
    form.Bind(kCosto, "DEN:CostoUnitario", "n10.2");
    app::RunProcedure(form);
}

}  // namespace tv::movements::receipts
