#include "movements/common/document_line_form.h"

#include <tuple>

#include "app/browse/message_box.h"
#include "app/form/field_binding.h"
#include "app/form/form_buttons.h"
#include "catalog/articles/articles.h"
#include "movements/common/document_line_controls.h"
#include "movements/common/stock.h"
#include "platform/threads/thread_state.h"
#include "platform/types/text.h"
#include "platform/ui/desktop.h"
#include "platform/ui/window.h"

namespace tv::movements {

using data::TableId;
using ui::ControlKind;
using namespace line_ui;

namespace {

int Field(TableId t, const char* name) { return data::decl(t).fieldIndex(name); }

QString Text(const Value& v) { return QString::fromStdString(std::string(rtrim(v.asText()))); }

bool Check(bool ok, ui::Control& c, const char* caption, const char* text) {
    if (ok) return true;
    app::ShowMessage(caption, text, app::MessageIcon::None);
    c.focus();
    return false;
}

void tip(ui::Control& c, const char* text) { app::SetTipAndStatus(c, text); }

}  // namespace

namespace {

// Without a bar-code entry the rows under the article move one row up; with
// the stock shown the quantity and what follows move one row down.
int RowsUp(const LineFormFields& f) { return f.barcode != nullptr ? 0 : 26; }
int Shift(const LineFormFields& f, const LineFormTexts& t) { return (t.withStock ? 26 : 0) - RowsUp(f); }
int Grow(const LineFormFields& f, const LineFormTexts& t) {
    return Shift(f, t) + 24 * static_cast<int>(t.below.size());
}

}  // namespace

QSize LineFormSize(const LineFormFields& f, const LineFormTexts& t) { return QSize(470, 310 + Grow(f, t)); }

void BuildLineFormWindow(ui::Window& w, const LineFormFields& f, const LineFormTexts& t) {
    const int up = RowsUp(f), shift = Shift(f, t), grow = Grow(f, t);
    w.add({ControlKind::Sheet, kSheet, "?CURRENTTAB", {}, QRect(4, 4, 462, 260 + grow)});
    w.add({ControlKind::Tab, kTab, "?TAB1", QStringLiteral("Datos"), {}, kSheet});
    w.add({ControlKind::GroupBox, kGroup, "?GROUP1", QString::fromUtf8("Artículo:"), QRect(6, 4, 444, 122 - up),
           kTab});
    struct Row {
        int prompt;
        const char* promptText;
        int control;
        std::string name;
        ControlKind kind;
        int y, width;
        const char* tipText;
    };
    std::vector<Row> rows = {
        {kCodigoPrompt, t.articlePrompt, kCodigo, std::string("?") + f.article, ControlKind::Entry, 26, 100,
         t.articleTip},
        {kDescripcionPrompt, t.descriptionPrompt, kDescripcion, "?ART:Descripcion", ControlKind::DisplayString,
         78 - up, 320, "Descripción del artículo"},
        {kUmPrompt, t.unitPrompt, kUm, "?UNI:UM", ControlKind::DisplayString, 100 - up, 200, "Unidad de medida"},
        {kCantidadPrompt, "&Cantidad:", kCantidad, std::string("?") + f.quantity, ControlKind::Entry, 140 + shift,
         100, t.quantityTip},
        {kCostoPrompt, t.costPrompt, kCosto, std::string("?") + f.cost, ControlKind::Entry, 166 + shift, 100,
         "Costo unitario"},
        {kImportePrompt, t.amountPrompt, kImporte, "?LOC:IMPORTE", ControlKind::DisplayString, 194 + shift, 120,
         "Importe"},
    };
    if (f.barcode != nullptr)
        rows.insert(rows.begin() + 1, Row{kBarrasPrompt, t.barcodePrompt, kBarras, std::string("?") + f.barcode,
                                          ControlKind::Entry, 52, 160, "Código de barras"});
    if (t.withStock)
        rows.push_back({kExistenciaPrompt, "&Existencia:", kExistencia, "?LOC:EXISTENCIA", ControlKind::DisplayString,
                        140 - up, 120, "Existencia del artículo"});
    int y = 194 + shift;
    for (const LineFormRow& r : t.below)
        rows.push_back({r.prompt, r.promptText, r.control, r.name, ControlKind::DisplayString, y += 24, 120, r.tip});
    for (const Row& r : rows) {
        w.add({ControlKind::Prompt, r.prompt, r.name + ":Prompt", QString::fromUtf8(r.promptText),
               QRect(16, r.y + 2, 100, 20), kTab});
        tip(w.add({r.kind, r.control, r.name, {}, QRect(120, r.y, r.width, 22), kTab}), r.tipText);
    }
    std::vector<std::tuple<int, int, int, const char*>> lookups = {{kCodigoLookup, 222, 26, t.lookupTip}};
    if (f.barcode != nullptr) lookups.emplace_back(kBarrasLookup, 282, 52, "Buscar artículo por código de barras");
    for (const auto& [n, x, y, text] : lookups) {
        ui::Control& b = w.add({ControlKind::Button, n, "?LOOKUP" + std::to_string(n), {}, QRect(x, y, 26, 22), kTab});
        b.setIcon(ui::programIcon("LUPA.ICO"));
        tip(b, text);
    }
    app::AddOkCancel(w, kOk, kCancel, QRect(286, 272 + grow, 86, 28));
}

DocumentLineForm::DocumentLineForm(std::string procedure, ui::Window& w, LineFormFields fields)
    : FormController(std::move(procedure), w, fields.lines), f_(fields) {}

void DocumentLineForm::Configure() {
    SetOkCancel(kOk, kCancel);
    SetFirstField(kCodigoPrompt);
    Bind(kCodigo, f_.article, f_.articlePicture, {.required = true});
    if (f_.barcode != nullptr) Bind(kBarras, f_.barcode, f_.barcodePicture);
    Bind(kCantidad, f_.quantity, "n10.2");
    if (f_.cost != nullptr) Bind(kCosto, f_.cost, "n10.2");
    SetSubProcedure(kArticleList, [] { catalog::BrowseArticulo(); });
    SetSubProcedure(kBarcodeList, [] { catalog::BrowseArticuloBarras(); });
}

int DocumentLineForm::LineField(const char* name) const { return Field(f_.lines, name); }
Record& DocumentLineForm::Article() const { return Tables().buffer(TableId::Articulo); }
Decimal DocumentLineForm::Number() const { return Line().number(LineField(f_.article)); }

int DocumentLineForm::SetUpBeforeOpen() {
    // The line belongs to the document the form above shows.
    Buffer().set(LineField(f_.link), Tables().buffer(f_.header).get(Field(f_.header, f_.headerFolio)));
    return FormController::SetUpBeforeOpen();
}

void DocumentLineForm::SetUpAfterOpen() {
    FormController::SetUpAfterOpen();
    ShowRelated();
}

int DocumentLineForm::DispatchEvent(const ui::WindowEvent& e) {
    const int r = FormController::DispatchEvent(e);
    if (!Closed()) ShowRelated();
    return r;
}

int DocumentLineForm::OnAccepted(int control) {
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

bool DocumentLineForm::AcceptControl(ui::Control& c) {
    if (c.hidden() || c.disabled()) return true;
    switch (c.number()) {
        case kCodigo:
            if (!TakeControl(kCodigo)) return false;
            if (Number().isZero()) {
                // No article named: the line would move nothing.
                ui::beep();
                c.focus();
                return false;
            }
            return ArticleByNumber();
        case kCantidad:
            return TakeControl(kCantidad) && Check(Line().number(LineField(f_.quantity)).sign() > 0, c,
                                                   "Cantidad no válida", "La cantidad debe ser mayor que cero.");
        case kCosto:
            return TakeControl(kCosto) && Check(Line().number(LineField(f_.cost)).sign() >= 0, c, "Costo no válido",
                                                "El costo unitario no puede ser negativo.");
        default:
            return FormController::AcceptControl(c);
    }
}

void DocumentLineForm::ShowRelated() {
    if (f_.barcode != nullptr) {
        Record& alias = Tables().buffer(TableId::AliasArticulos);
        alias.set(Field(TableId::AliasArticulos, "AAR:CodigoBarras"), Line().get(LineField(f_.barcode)));
        Tables().gateway(TableId::AliasArticulos).ReadByKeyOrClear("AAR:KeyCodigoBarras");
    }
    Article().set(Field(TableId::Articulo, "ART:NoArt"), Value(Number()));
    Tables().gateway(TableId::Articulo).ReadByKeyOrClear("ART:KeyNoArt");
    Record& unit = Tables().buffer(TableId::Unidades);
    unit.set(Field(TableId::Unidades, "UNI:Codigo"), Article().get(Field(TableId::Articulo, "ART:UM")));
    Tables().gateway(TableId::Unidades).ReadByKeyOrClear("UNI:KeyCodigo");
    Win().at(kDescripcion).setText(Text(Article().get(Field(TableId::Articulo, "ART:Descripcion"))));
    Win().at(kUm).setText(Text(unit.get(Field(TableId::Unidades, "UNI:UM"))));
    if (f_.cost == nullptr) return;
    const Decimal amount = LineAmount(Line().get(LineField(f_.quantity)), Line().get(LineField(f_.cost)));
    Win().at(kImporte).setText(
        QString::fromStdString(std::string(trim(Picture::parse("n-14.2")->format(Value(amount))))));
}

// The article the number names; a number that names none opens the article
// list. False (the focus on the number) when none was chosen.
bool DocumentLineForm::ArticleByNumber() {
    data::TableGateway& g = Tables().gateway(TableId::Articulo);
    const int noArt = Field(TableId::Articulo, "ART:NoArt");
    Article().set(noArt, Value(Number()));
    if (g.ReadByKey("ART:KeyNoArt") != data::kDone) {
        if (CallSubProcedure(kArticleList, kSelect) != kCompleted) {
            Win().at(kCodigo).focus();
            return false;
        }
        Line().set(LineField(f_.article), Article().get(noArt));
        if (g.ReadByKey("ART:KeyNoArt") != data::kDone) {
            Win().at(kCodigo).focus();
            return false;
        }
        ShowBound(kCodigo);
    }
    // The line keeps the article's bar code.
    if (f_.barcode != nullptr) {
        Line().set(LineField(f_.barcode), Article().get(Field(TableId::Articulo, "ART:CodigoBarras")));
        ShowBound(kBarras);
    }
    return true;
}

void DocumentLineForm::LookUpByNumber() {
    if (!SaveScreen()) return;
    const int noArt = Field(TableId::Articulo, "ART:NoArt");
    Article().set(noArt, Value(Number()));
    if (CallSubProcedure(kArticleList, kSelect) == kCompleted) {
        Line().set(LineField(f_.article), Article().get(noArt));
        ShowBound(kCodigo);
        if (!Number().isZero()) ArticleByNumber();
    }
}

// The article of the bar code typed (or, from the button, chosen in the
// bar-code list); then the number, the article's data, and the focus on the
// quantity.
void DocumentLineForm::ArticleByBarcode(bool fromButton) {
    const int barras = LineField(f_.barcode);
    const int aarBarras = Field(TableId::AliasArticulos, "AAR:CodigoBarras");
    Record& alias = Tables().buffer(TableId::AliasArticulos);
    if (fromButton && !SaveScreen()) return;
    if (!fromButton && trim(Line().get(barras).asText()).empty()) return;
    alias.set(aarBarras, Line().get(barras));
    const bool found = !fromButton && Tables().gateway(TableId::AliasArticulos).ReadByKey("AAR:KeyCodigoBarras") ==
                                          data::kDone;
    if (!found) {
        if (CallSubProcedure(kBarcodeList, kSelect) != kCompleted) {
            if (!fromButton) Win().at(kBarras).focus();
            return;
        }
        Line().set(barras, alias.get(aarBarras));
    }
    if (trim(Line().get(barras).asText()).empty()) return;
    Line().set(LineField(f_.article), alias.get(Field(TableId::AliasArticulos, "AAR:NoArt")));
    ShowBound(kCodigo);
    if (ArticleByNumber()) Win().at(kCantidad).focus();
}

bool DocumentLineForm::SaveScreen() {
    for (int c : {kCodigo, kBarras, kCantidad})
        if ((c != kBarras || f_.barcode != nullptr) && !TakeControl(c)) return false;
    return f_.cost == nullptr || TakeControl(kCosto);
}

}  // namespace tv::movements
