// UpdateProdInventario: one counted line, its article picked by number or
// by bar code, the quantity found and a counting reference.
#include "app/form/field_binding.h"
#include "app/form/form_controller.h"
#include "catalog/articles/articles.h"
#include "movements/counts/count_controls.h"
#include "movements/counts/counts.h"
#include "movements/counts/window_parts.h"
#include "platform/types/text.h"
#include "platform/ui/desktop.h"
#include "platform/ui/window.h"

namespace tv::movements::counts {

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
    explicit LineForm(ui::Window& w) : FormController("UpdateProdInventario", w, TableId::DetFisico) {}

    int SetUpBeforeOpen() override {
        // The line belongs to the count the form above shows.
        Buffer().set(Field(TableId::DetFisico, "DFI:INVENTARIO"),
                     Tables().buffer(TableId::Fisico).get(Field(TableId::Fisico, "FIS:ID")));
        return FormController::SetUpBeforeOpen();
    }

    void SetUpAfterOpen() override {
        FormController::SetUpAfterOpen();
        if (ViewMode())
            for (int c : {kCodigoLookup, kBarrasLookup}) Win().at(c).setDisabled(true);
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

    uint8_t CallSubProcedure(int number, uint8_t request) override {
        if (ViewMode()) return kCancelled;
        return FormController::CallSubProcedure(number, request);
    }

protected:
    // A line names a stored article: "Aceptar" stops at a number that names
    // none (or 0).
    bool AcceptControl(ui::Control& c) override {
        if (c.number() != kCodigo || c.hidden() || c.disabled()) return FormController::AcceptControl(c);
        if (!TakeControl(kCodigo)) return false;
        if (Number().isZero()) {
            ui::beep();
            c.focus();
            return false;
        }
        return ArticleByNumber();
    }

private:
    Record& Line() const { return Buffer(); }
    Record& Article() const { return Tables().buffer(TableId::Articulo); }
    Record& Alias() const { return Tables().buffer(TableId::AliasArticulos); }
    Decimal Number() const { return Line().number(Field(TableId::DetFisico, "DFI:CodigoArticulo")); }

    void Show(int control, const char* field, const char* picture) {
        Win().at(control).setText(
            QString::fromStdString(app::ShowField(Line(), Field(TableId::DetFisico, field), *Picture::parse(picture))));
    }

    // The article and its unit, as the line names them (blank for none).
    void ShowRelated() {
        Alias().set(Field(TableId::AliasArticulos, "AAR:CodigoBarras"),
                    Line().get(Field(TableId::DetFisico, "DFI:CODIGOBARRAS")));
        Tables().gateway(TableId::AliasArticulos).ReadByKeyOrClear("AAR:KeyCodigoBarras");
        Article().set(Field(TableId::Articulo, "ART:NoArt"), Value(Number()));
        Tables().gateway(TableId::Articulo).ReadByKeyOrClear("ART:KeyNoArt");
        Record& unit = Tables().buffer(TableId::Unidades);
        unit.set(Field(TableId::Unidades, "UNI:Codigo"), Article().get(Field(TableId::Articulo, "ART:UM")));
        Tables().gateway(TableId::Unidades).ReadByKeyOrClear("UNI:KeyCodigo");
        Win().at(kDescripcion).setText(Text(Article().get(Field(TableId::Articulo, "ART:Descripcion"))));
        Win().at(kUm).setText(Text(unit.get(Field(TableId::Unidades, "UNI:UM"))));
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
            Line().set(Field(TableId::DetFisico, "DFI:CodigoArticulo"),
                       Article().get(Field(TableId::Articulo, "ART:NoArt")));
            if (g.ReadByKey("ART:KeyNoArt") != data::kDone) {
                Win().at(kCodigo).focus();
                return false;
            }
            Show(kCodigo, "DFI:CodigoArticulo", "n_10B");
        }
        // The line keeps the article's bar code.
        Line().set(Field(TableId::DetFisico, "DFI:CODIGOBARRAS"),
                   Article().get(Field(TableId::Articulo, "ART:CodigoBarras")));
        Show(kBarras, "DFI:CODIGOBARRAS", "S16");
        return true;
    }

    void LookUpByNumber() {
        SaveScreen();
        Article().set(Field(TableId::Articulo, "ART:NoArt"), Value(Number()));
        if (CallSubProcedure(kArticleList, kSelect) == kCompleted) {
            Line().set(Field(TableId::DetFisico, "DFI:CodigoArticulo"),
                       Article().get(Field(TableId::Articulo, "ART:NoArt")));
            Show(kCodigo, "DFI:CodigoArticulo", "n_10B");
            if (!Number().isZero()) ArticleByNumber();
        }
    }

    // The article of the bar code typed (or, from the button, chosen in the
    // bar-code list); then its number, its data, and the focus on the
    // counted quantity.
    void ArticleByBarcode(bool fromButton) {
        const int barras = Field(TableId::DetFisico, "DFI:CODIGOBARRAS");
        const int aarBarras = Field(TableId::AliasArticulos, "AAR:CodigoBarras");
        if (fromButton) SaveScreen();
        if (!fromButton && trim(Line().get(barras).asText()).empty()) return;
        Alias().set(aarBarras, Line().get(barras));
        const bool found =
            !fromButton && Tables().gateway(TableId::AliasArticulos).ReadByKey("AAR:KeyCodigoBarras") == data::kDone;
        if (!found) {
            if (CallSubProcedure(kBarcodeList, kSelect) != kCompleted) {
                if (!fromButton) Win().at(kBarras).focus();
                return;
            }
            Line().set(barras, Alias().get(aarBarras));
        }
        if (trim(Line().get(barras).asText()).empty()) return;
        Line().set(Field(TableId::DetFisico, "DFI:CodigoArticulo"), Alias().get(Field(TableId::AliasArticulos, "AAR:NoArt")));
        Show(kCodigo, "DFI:CodigoArticulo", "n_10B");
        if (ArticleByNumber()) Win().at(kExistencia).focus();
    }

    void SaveScreen() {
        for (int c : {kCodigo, kBarras, kExistencia, kReferencia}) TakeControl(c);
    }
};

}  // namespace

void UpdateProdInventario() {
    ui::Window w(QStringLiteral("Form DetFisico"), QSize(470, 290), ui::Window::Placement::FrameChild);
    w.add({ControlKind::Sheet, kSheet, "?CURRENTTAB", {}, QRect(4, 4, 462, 240)});
    w.add({ControlKind::Tab, kTab, "?TAB1", QStringLiteral("Datos"), {}, kSheet});
    w.add({ControlKind::GroupBox, kGroup, "?GROUP1", QString::fromUtf8("Artículo:"), QRect(6, 4, 444, 130), kTab});
    struct Row {
        int prompt;
        const char* promptText;
        int control;
        const char* name;
        int y, width;
        const char* tipText;
    };
    for (const Row& r :
         {Row{kCodigoPrompt, "&No Art:", kCodigo, "?DFI:CODIGOARTICULO", 26, 100, "Número de artículo"},
          Row{kDescripcionPrompt, "&Descripcion:", kDescripcion, "?ART:DESCRIPCION", 52, 320, "Descripción del artículo"},
          Row{kUmPrompt, "&UM:", kUm, "?UNI:UM", 78, 200, "Unidad de medida"},
          Row{kBarrasPrompt, "Cod &Barras:", kBarras, "?DFI:CODIGOBARRAS", 104, 160, "Código de barras"},
          Row{kExistenciaPrompt, "&Existencia:", kExistencia, "?DFI:EXISTENCIA", 148, 100, "Existencia física"},
          Row{kReferenciaPrompt, "&Referencia:", kReferencia, "?DFI:REFERENCIA", 176, 180, "Referencia de conteo"}}) {
        w.add({ControlKind::Prompt, r.prompt, std::string(r.name) + ":Prompt", QString::fromUtf8(r.promptText),
               QRect(16, r.y + 2, 100, 20), kTab});
        Tip(w.add({ControlKind::Entry, r.control, r.name, {}, QRect(120, r.y, r.width, 22), kTab}), r.tipText);
    }
    for (int c : {kDescripcion, kUm}) w.at(c).setReadOnly(true);
    for (const auto& [n, name, x, y] : {std::tuple{kCodigoLookup, "?CALLLOOKUP", 222, 26},
                                        std::tuple{kBarrasLookup, "?CALLLOOKUP:2", 282, 104}})
        AddButton(w, {n, name, "", "Buscar artículo", "LUPA.ICO", QRect(x, y, 26, 22), kTab});
    // The read-only article data is passed over by Tab.
    w.setControlOrder({kCodigoPrompt, kCodigo, kCodigoLookup, kBarrasPrompt, kBarras, kBarrasLookup,
                       kExistenciaPrompt, kExistencia, kReferenciaPrompt, kReferencia});
    AddButton(w, {kOk, "?OK", "Aceptar", "Acepta y guarda los datos", "WAOk.ICO", QRect(286, 252, 86, 28)});
    AddButton(w, {kCancel, "?CANCEL", "Cancelar", "Cancela la operación", "WACancel.ico", QRect(376, 252, 86, 28)});

    LineForm form(w);
    form.SetOkCancel(kOk, kCancel);
    form.SetFirstField(kCodigoPrompt);
    form.Bind(kCodigo, "DFI:CodigoArticulo", "n_10B", {.required = true});
    form.Bind(kBarras, "DFI:CODIGOBARRAS", "S16");
    form.Bind(kExistencia, "DFI:Existencia", "n10.2");
    form.Bind(kReferencia, "DFI:Referencia", "s20");
    form.SetSubProcedure(kArticleList, [] { catalog::BrowseArticulo(); });
    form.SetSubProcedure(kBarcodeList, [] { catalog::BrowseArticuloBarras(); });
    app::RunProcedure(form);
}

}  // namespace tv::movements::counts
