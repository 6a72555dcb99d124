// UpdateArtEntrada: one line of a receipt, its article picked by number or
// by bar code.
#include "app/browse/message_box.h"
#include "app/form/field_binding.h"
#include "app/form/form_buttons.h"
#include "app/form/form_controller.h"
#include "catalog/articles/articles.h"
#include "movements/common/stock.h"
#include "movements/receipts/receipt_controls.h"
#include "movements/receipts/receipts.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "platform/ui/desktop.h"
#include "platform/ui/window.h"

namespace tv::movements::receipts {

using data::TableId;
using ui::ControlKind;
using namespace line_ui;

namespace {

constexpr int kArticleList = 1;
constexpr int kBarcodeList = 2;

int Field(TableId t, const char* name) { return data::decl(t).fieldIndex(name); }

QString Text(const Value& v) { return QString::fromStdString(std::string(rtrim(v.asText()))); }

class LineForm : public app::FormController {
public:
    explicit LineForm(ui::Window& w) : FormController("UpdateArtEntrada", w, TableId::DetEntradas) {}

    int SetUpBeforeOpen() override {
        // The line belongs to the receipt the form above shows.
        Buffer().set(Field(TableId::DetEntradas, "DEN:ENTRADA"),
                     Tables().buffer(TableId::Entradas).get(Field(TableId::Entradas, "ENT:Folio")));
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
            case kCodigo:
                if (TakeControl(kCodigo) && !Number().isZero()) ArticleByNumber();
                return 0;
            case kCodigoLookup:
                LookUpByNumber();
                return 0;
            case kBarras:
                if (TakeControl(kBarras)) ArticleByBarcode(false);
                return 0;
            case kBarrasLookup:
                ArticleByBarcode(true);
                return 0;
            default:
                return FormController::OnAccepted(control);
        }
    }

protected:
    bool AcceptControl(ui::Control& c) override {
        if (c.hidden() || c.disabled()) return true;
        switch (c.number()) {
            case kCodigo:
                if (!TakeControl(kCodigo)) return false;
                if (Number().isZero()) {
                    // No article named: nothing to receive.
                    ui::beep();
                    c.focus();
                    return false;
                }
                return ArticleByNumber();
            case kCantidad:
                return TakeControl(kCantidad) &&
                       Check(Line().number(Field(TableId::DetEntradas, "DEN:Cantidad")).sign() > 0, c,
                             "Cantidad no válida", "La cantidad debe ser mayor que cero.");
            case kCosto:
                return TakeControl(kCosto) &&
                       Check(Line().number(Field(TableId::DetEntradas, "DEN:CostoUnitario")).sign() >= 0, c,
                             "Costo no válido", "El costo unitario no puede ser negativo.");
            default:
                return FormController::AcceptControl(c);
        }
    }

private:
    Record& Line() const { return Buffer(); }
    Record& Article() const { return Tables().buffer(TableId::Articulo); }
    Record& Alias() const { return Tables().buffer(TableId::AliasArticulos); }
    Decimal Number() const { return Line().number(Field(TableId::DetEntradas, "DEN:CodigoArticulo")); }

    static bool Check(bool ok, ui::Control& c, const char* caption, const char* text) {
        if (ok) return true;
        app::ShowMessage(caption, text, app::MessageIcon::None);
        c.focus();
        return false;
    }

    void Show(int control, const char* field, const char* picture) {
        Win().at(control).setText(QString::fromStdString(
            app::ShowField(Line(), Field(TableId::DetEntradas, field), *Picture::parse(picture))));
    }

    // The article, its unit and the amount, as the line names them.
    void ShowRelated() {
        Alias().set(Field(TableId::AliasArticulos, "AAR:CodigoBarras"),
                    Line().get(Field(TableId::DetEntradas, "DEN:CODBARRAS")));
        Tables().gateway(TableId::AliasArticulos).ReadByKeyOrClear("AAR:KeyCodigoBarras");
        Article().set(Field(TableId::Articulo, "ART:NoArt"), Value(Number()));
        Tables().gateway(TableId::Articulo).ReadByKeyOrClear("ART:KeyNoArt");
        Record& unit = Tables().buffer(TableId::Unidades);
        unit.set(Field(TableId::Unidades, "UNI:Codigo"), Article().get(Field(TableId::Articulo, "ART:UM")));
        Tables().gateway(TableId::Unidades).ReadByKeyOrClear("UNI:KeyCodigo");
        Win().at(kDescripcion).setText(Text(Article().get(Field(TableId::Articulo, "ART:Descripcion"))));
        Win().at(kUm).setText(Text(unit.get(Field(TableId::Unidades, "UNI:UM"))));
        const Decimal amount = LineAmount(Line().get(Field(TableId::DetEntradas, "DEN:Cantidad")),
                                          Line().get(Field(TableId::DetEntradas, "DEN:CostoUnitario")));
        Win().at(kImporte).setText(QString::fromStdString(std::string(trim(Picture::parse("n-14.2")->format(Value(amount))))));
    }

    // The article the number names; a number that names none opens the
    // article list. False (the focus on the number) when none was chosen.
    bool ArticleByNumber() {
        data::TableGateway& g = Tables().gateway(TableId::Articulo);
        Article().set(Field(TableId::Articulo, "ART:NoArt"), Value(Number()));
        if (g.ReadByKey("ART:KeyNoArt") != data::kDone) {
            if (CallSubProcedure(kArticleList, kSelect) != kCompleted) {
                Win().at(kCodigo).focus();
                return false;
            }
            Line().set(Field(TableId::DetEntradas, "DEN:CodigoArticulo"),
                       Article().get(Field(TableId::Articulo, "ART:NoArt")));
            if (g.ReadByKey("ART:KeyNoArt") != data::kDone) {
                Win().at(kCodigo).focus();
                return false;
            }
            Show(kCodigo, "DEN:CodigoArticulo", "n_10");
        }
        // The line keeps the article's bar code.
        Line().set(Field(TableId::DetEntradas, "DEN:CODBARRAS"), Article().get(Field(TableId::Articulo, "ART:CodigoBarras")));
        Show(kBarras, "DEN:CODBARRAS", "s20");
        return true;
    }

    void LookUpByNumber() {
        if (!SaveScreen()) return;
        Article().set(Field(TableId::Articulo, "ART:NoArt"), Value(Number()));
        if (CallSubProcedure(kArticleList, kSelect) == kCompleted) {
            Line().set(Field(TableId::DetEntradas, "DEN:CodigoArticulo"),
                       Article().get(Field(TableId::Articulo, "ART:NoArt")));
            Show(kCodigo, "DEN:CodigoArticulo", "n_10");
            if (!Number().isZero()) ArticleByNumber();
        }
    }

    // The article of the bar code typed (or, from the button, chosen in the
    // bar-code list); then the number, the article's data, and the focus on
    // the quantity.
    void ArticleByBarcode(bool fromButton) {
        const int barras = Field(TableId::DetEntradas, "DEN:CODBARRAS");
        const int aarBarras = Field(TableId::AliasArticulos, "AAR:CodigoBarras");
        if (fromButton && !SaveScreen()) return;
        if (!fromButton && trim(Line().get(barras).asText()).empty()) return;
        Alias().set(aarBarras, Line().get(barras));
        const bool found = !fromButton && Tables().gateway(TableId::AliasArticulos).ReadByKey("AAR:KeyCodigoBarras") == data::kDone;
        if (!found) {
            if (CallSubProcedure(kBarcodeList, kSelect) != kCompleted) {
                if (!fromButton) Win().at(kBarras).focus();
                return;
            }
            Line().set(barras, Alias().get(aarBarras));
        }
        if (trim(Line().get(barras).asText()).empty()) return;
        Line().set(Field(TableId::DetEntradas, "DEN:CodigoArticulo"), Alias().get(Field(TableId::AliasArticulos, "AAR:NoArt")));
        Show(kCodigo, "DEN:CodigoArticulo", "n_10");
        if (ArticleByNumber()) Win().at(kCantidad).focus();
    }

    bool SaveScreen() {
        for (int c : {kCodigo, kBarras, kCantidad, kCosto})
            if (!TakeControl(c)) return false;
        return true;
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
    form.SetSubProcedure(kArticleList, [] { catalog::BrowseArticulo(); });
    form.SetSubProcedure(kBarcodeList, [] { catalog::BrowseArticuloBarras(); });
    app::RunProcedure(form);
}

}  // namespace tv::movements::receipts
